#include "lib/sql_text.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlText, QuotesAreDoubled)
{
    const struct
    {
        QString text;
        QString escaped;
        QString quoted;
    } cases[] = {
        {QString(), QString(), QStringLiteral("''")},
        {QStringLiteral("MNK"), QStringLiteral("MNK"), QStringLiteral("'MNK'")},
        {QStringLiteral("O'Brien"), QStringLiteral("O''Brien"), QStringLiteral("'O''Brien'")},
        {QStringLiteral("''"), QStringLiteral("''''"), QStringLiteral("''''''")},
        {QStringLiteral("x' or '1'='1"), QStringLiteral("x'' or ''1''=''1"),
         QStringLiteral("'x'' or ''1''=''1'")},
        {QStringLiteral("Обнинск \"ОБН\""), QStringLiteral("Обнинск \"ОБН\""),
         QStringLiteral("'Обнинск \"ОБН\"'")},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SqlEscape(c.text), c.escaped) << c.text.toStdString();
        EXPECT_EQ(SqlQuote(c.text), c.quoted) << c.text.toStdString();
    }
}

} // namespace
