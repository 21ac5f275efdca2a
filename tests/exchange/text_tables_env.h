#pragma once

// For the tests that write the import text tables into a database on both back ends.

#include "exchange/text/text_to_bulletin.h"
#include "exchange_test_env.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

// The table's rows replaced by rows, cells by position.
inline void fillTable(TD2D &t, int columns, const QList<QStringList> &rows)
{
    t.Init(columns, 0);
    for (const QStringList &r : rows) {
        const int row = t.AddRows(1);
        for (int c = 0; c < r.size(); ++c)
            t.SetCell(c, row, r[c]);
    }
}

// The same with rows written by hand, cells joined by "|".
inline void fillRows(TD2D &t, int columns, const QList<const char *> &rows)
{
    QList<QStringList> cells;
    for (const char *row : rows)
        cells << cellsOf(row);
    fillTable(t, columns, cells);
}

// A fresh database of the back end Env, the three tables and their formats, and a message recorder.
template <class Env> class TextTablesTest : public OnFreshDatabase<Env>
{
protected:
    using OnFreshDatabase<Env>::db;

    // Every row of sql, its fields joined by "|", NULL and empty text as "-".
    QStringList rows(const char *sql)
    {
        return dbRows(*db, QString::fromUtf8(sql), QStringLiteral("-"), true);
    }

    TextTablesInput input(bool merge)
    {
        TextTablesInput in;
        for (int t = 0; t < 3; ++t) {
            in.tables[t] = &tables[t];
            in.specs[t] = &specs[t];
        }
        in.merge = merge;
        in.currentYear = 2026;
        return in;
    }

    TD2D tables[3];
    tspec specs[3];
    MessageRecorder rec;
};
