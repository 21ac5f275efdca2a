#include "lib/sql_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(SqlText, QuotesAreDoubled)
{
    const std::tuple<QString, QString, QString> cases[] = {
        {QString(), QString(), u"''"_s},
        {u"MNK"_s, u"MNK"_s, u"'MNK'"_s},
        {u"O'Brien"_s, u"O''Brien"_s, u"'O''Brien'"_s},
        {u"''"_s, u"''''"_s, u"''''''"_s},
        {u"x' or '1'='1"_s, u"x'' or ''1''=''1"_s, u"'x'' or ''1''=''1'"_s},
        {u"Обнинск \"ОБН\""_s, u"Обнинск \"ОБН\""_s, u"'Обнинск \"ОБН\"'"_s},
    };
    for (const auto &[text, escaped, quoted] : cases) {
        EXPECT_EQ(SqlEscape(text), escaped) << text.toStdString();
        EXPECT_EQ(SqlQuote(text), quoted) << text.toStdString();
    }
}

} // namespace
