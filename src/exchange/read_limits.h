#pragma once

#include <QString>
#include <QtGlobal>

// What a table read from an outside file may take, whatever the file declares. Each reader first bounds
// a table by what the file can hold; this bounds the files that could hold it.

// Cells of one table (rows times columns, empty ones included: each costs a string in memory).
constexpr qint64 MaxTableCells = qint64(1) << 25;

inline bool TableFits(qint64 columns, qint64 rows)
{
    return columns >= 0 && rows >= 0 && (columns == 0 || rows <= MaxTableCells / columns);
}

// The reason given for a table past the limit, naming it.
inline QString TooManyCellsText(qint64 columns, qint64 rows)
{
    return QStringLiteral("таблица больше предела в %1 ячеек (%2 столбцов x %3 строк)")
        .arg(MaxTableCells)
        .arg(columns)
        .arg(rows);
}
