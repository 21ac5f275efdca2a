#pragma once

#include "lib/string_table.h"

#include <QStringList>

// A table's rows as text, cells joined by "|" and trailing empty cells left off, to compare with rows
// written by hand.
inline QStringList tableRows(const TD2D &t)
{
    QStringList rows;
    for (int r = 0; r < t.RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t.ColCount(); ++c)
            cells << t.GetCell(c, r);
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}
