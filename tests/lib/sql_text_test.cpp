#include "lib/sql_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(SqlText, QuotesAreDoubled)
{
    const struct
    {
        QString text;
        QString escaped;
        QString quoted;
    } cases[] = {
        {QString(), QString(), u"''"_s},
        {u"MNK"_s, u"MNK"_s, u"'MNK'"_s},
        {u"O'Brien"_s, u"O''Brien"_s, u"'O''Brien'"_s},
        {u"''"_s, u"''''"_s, u"''''''"_s},
        {u"x' or '1'='1"_s, u"x'' or ''1''=''1"_s, u"'x'' or ''1''=''1'"_s},
        {u"Обнинск \"ОБН\""_s, u"Обнинск \"ОБН\""_s, u"'Обнинск \"ОБН\"'"_s},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SqlEscape(c.text), c.escaped) << c.text.toStdString();
        EXPECT_EQ(SqlQuote(c.text), c.quoted) << c.text.toStdString();
    }
}

} // namespace
