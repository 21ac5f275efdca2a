#pragma once

#include <QList>
#include <QString>

// One column of the ORX event grids: field name, caption (empty for none) and width in pixels.
struct tcolwid
{
    QString field;
    QString caption;
    int width = 0;
};

using tcwarr = QList<tcolwid>;

tcwarr OriginColumnTable();  // ORIGIN, 20 rows
tcwarr ArrivalColumnTable(); // ARRIVAL, 36 rows

// Index of the first row whose field name equals FieldName regardless of case; -1 when none. Drivers
// report column names in either case, and the tables hold them in lower case.
int ColumnIndex(const tcwarr &Cols, const QString &FieldName);
