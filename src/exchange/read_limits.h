#pragma once

#include "lib/read_budget.h"

#include <QString>
#include <QtGlobal>

// The readers' limits of memory are the budget of lib/read_budget.h; this is the bound of the ORV view's
// table, counted in cells.

// Cells of one table (rows times columns, empty ones included).
constexpr qint64 MaxTableCells = qint64(1) << 25;

inline bool TableFits(qint64 columns, qint64 rows)
{
    return columns >= 0 && rows >= 0 && (columns == 0 || rows <= MaxTableCells / columns);
}

// The reason given for a table past the cell limit, naming it.
inline QString TooManyCellsText(qint64 columns, qint64 rows)
{
    return QStringLiteral("таблица больше предела в %1 ячеек (%2 столбцов x %3 строк)")
        .arg(MaxTableCells)
        .arg(columns)
        .arg(rows);
}
