#pragma once

#include "app/settings/reference_tables.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The filter and wave grids of the settings dialog turned into the fixed-width files that
// LoadFiltersAndWaves reads. Rows are grid rows: filters (type, low, high), waves (phase, summary name,
// multiplier, channels). Cells are taken trimmed; rows with every cell empty are skipped.

struct ReferenceFile
{
    QByteArray bytes;   // windows-1251, CR LF
    QList<int> badRows; // grid row numbers (first data row 1) of the rows left out
    QString overlong;   // a cell wider than its column: the message, and nothing may be written
};

// Type of 1 to 6 characters and two numbers ('.' or ','); written type, low and high in 7, 8 and 8 columns.
ReferenceFile BuildFiltersFile(const QList<QStringList> &Rows, tfilts *Filters);
// Phase and summary name under 10 characters, a summary name, a number for the multiplier; written
// summary name, phase and multiplier in 10 columns each and the channels in 20. Table gets the kept
// rows in the file's column order.
ReferenceFile BuildWavesFile(const QList<QStringList> &Rows, TD2D *Table);

// "filters: Встретились ошибки чисел в строках №№ 2,5" and the like; empty when nothing was left out.
QString BadRowsMessage(const QString &Prefix, const QList<int> &Rows);
