#include "lib/sql_text.h"

#include <gtest/gtest.h>

#include <cmath>

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

// Every number reads back as the double it came from, in its shortest text: a bound of a range written
// with fifteen digits missed the arrival it was taken from.
TEST(SqlText, NumbersReadBackExactly)
{
    const std::pair<double, QString> cases[] = {
        {1796079732.3000002, u"1796079732.3000002"_s},
        {1796079732.3, u"1796079732.3"_s},
        {0.1, u"0.1"_s},
        {-5, u"-5"_s},
        {0, u"0"_s},
        {1000000000, u"1e+09"_s},
        {1e20, u"1e+20"_s},
        {1.5e308, u"1.5e+308"_s},
        {5e-324, u"5e-324"_s},
        {1204374900.125, u"1204374900.125"_s},
    };
    for (const auto &[value, text] : cases) {
        EXPECT_EQ(SqlNumber(value), text) << text.toStdString();
        EXPECT_EQ(SqlNumber(value).toDouble(), value) << text.toStdString();
    }
    // Neighbours that fifteen digits would make one.
    for (double v = 1796079732.3; v < 1796079732.3 + 1e-5; v = std::nextafter(v, 2e9)) {
        ASSERT_EQ(SqlNumber(v).toDouble(), v) << SqlNumber(v).toStdString();
        ASSERT_FALSE(SqlNumber(v).contains(u','));
    }
}

} // namespace
