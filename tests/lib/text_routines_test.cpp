#include "lib/text_routines.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

TEST(GetNextToken, TokensQuotesAndDelimiterRuns)
{
    // Text, length (-1: all), start, delimiters, quotes; token, next position, commas passed.
    const std::tuple<const char *, int, int, const char *, const char *, const char *, int, int> cases[] = {
        {"a, b", -1, 1, " ,", "", "a", 4, 1},
        {"a , ,b", -1, 1, " ,", "", "a", 6, 2},
        {"a,,", -1, 1, ",", "", "a", 0, 2},
        {",a", -1, 1, ",", "", "", 2, 1},
        {"abc", -1, 2, ",", "", "bc", 0, 0},
        {"abc", -1, 5, ",", "", "", 0, 0},
        {"abc", -1, 0, ",", "", "", 0, 0},
        {"ab,cd", 2, 1, ",", "", "ab", 0, 0},
        // doubled quote inside a section is one quote; delimiters inside a section are text
        {"\"x\"\"y\"", -1, 1, ",", "\"", "x\"y", 0, 0},
        {"\"a,b\",c", -1, 1, ",", "\"", "a,b", 7, 1},
        {"a\"b c\"d e", -1, 1, " ", "\"", "ab cd", 9, 0},
        // unterminated section
        {"\"abc,d", -1, 1, ",", "\"", "", 0, 0},
        // a quote of another kind inside a section is dropped unless doubled
        {"'a\"b'", -1, 1, ",", "'\"", "ab", 0, 0},
        {"'a\"\"b'", -1, 1, ",", "'\"", "a\"b", 0, 0},
        // two different quote characters in a row fail the token
        {"'a'\"b'", -1, 1, ",", "'\"", "", 0, 0},
    };
    for (const auto &[text, len, start, delims, quotes, token, nextPos, commas] : cases) {
        const QString s = u(text);
        int pos = start;
        int count = -1;
        EXPECT_EQ(
            GetNextToken(s, len < 0 ? int(s.size()) : len, pos, delims, quotes, QLatin1Char(','), &count),
            u(token))
            << text;
        EXPECT_EQ(pos, nextPos) << text;
        EXPECT_EQ(count, commas) << text;
    }
}

TEST(GetNextToken, CollectsTheDelimitersOfTheRun)
{
    CharSet found("x");
    int pos = 1;
    EXPECT_EQ(GetNextToken(u("a ;; b;c"), 8, pos, " ;", "", QChar(0), nullptr, &found), u("a"));
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(found.size(), 2);
    EXPECT_TRUE(found.contains(QLatin1Char(' ')));
    EXPECT_TRUE(found.contains(QLatin1Char(';')));
    EXPECT_EQ(GetNextToken(u("a ;; b;c"), 8, pos, " ;", "", QChar(0), nullptr, &found), u("b"));
    EXPECT_EQ(found.chars(), u(";"));
    EXPECT_EQ(GetNextToken(u("a ;; b;c"), 8, pos, " ;", "", QChar(0), nullptr, &found), u("c"));
    EXPECT_TRUE(found.isEmpty());
}

TEST(SplitTokens, Parts)
{
    const std::pair<const char *, QStringList> cases[] = {
        {"a,,b", {"a", "b"}},
        {",a", {"", "a"}},
        {"a,", {"a"}},
        {"", {}},
        {",", {}},
        {"\"x,y\",z", {"x,y", "z"}},
        {"\"open,z", {}},
        {"Москва,Обнинск", {u("Москва"), u("Обнинск")}},
    };
    for (const auto &[text, expected] : cases) {
        QStringList parts{"stale"};
        SplitTokens(u(text), ",", "\"", parts);
        EXPECT_EQ(parts, expected) << text;
    }
}

TEST(SplitFixedWidth, ColumnsTrimAndLinesTooShort)
{
    QStringList parts;
    EXPECT_TRUE(SplitFixedWidth(u(" ab\t x"), {{1, 4}, {5, 6}}, parts, true));
    EXPECT_EQ(parts, QStringList({"ab", "x"}));
    EXPECT_TRUE(SplitFixedWidth(u(" ab\t x"), {{1, 4}, {5, 6}}, parts, false));
    EXPECT_EQ(parts, QStringList({" ab\t", " x"}));
    // Cyrillic counts one position per letter
    EXPECT_TRUE(SplitFixedWidth(u("Ёжик ДА"), {{1, 4}, {6, 7}}, parts, true));
    EXPECT_EQ(parts, QStringList({u("Ёжик"), u("ДА")}));

    parts = QStringList{"stale"};
    EXPECT_FALSE(SplitFixedWidth(u("abcdef"), {{1, 2}, {10, 12}}, parts, true));
    EXPECT_TRUE(parts.isEmpty());
    parts = QStringList{"stale"};
    EXPECT_FALSE(SplitFixedWidth(u("abc"), {{1, 10}}, parts, true));
    EXPECT_TRUE(parts.isEmpty());
}

TEST(SplitFixedWidth, OpenEndFollowsEachLine)
{
    const dptarray cols{{1, 3}, {5, 0}};
    QStringList parts;
    EXPECT_TRUE(SplitFixedWidth(u("abc de"), cols, parts, true));
    EXPECT_EQ(parts, QStringList({"abc", "de"}));
    EXPECT_TRUE(SplitFixedWidth(u("xyz 123456789"), cols, parts, true));
    EXPECT_EQ(parts, QStringList({"xyz", "123456789"}));
    EXPECT_EQ(cols.at(1).second, 0);
}

TEST(SmallStrings, FillJoinAndPick)
{
    // The edges: a text already too long, positions outside the text, empty parts.
    EXPECT_EQ(PadStr(u("7"), QLatin1Char('0'), 3, true), u("007"));
    EXPECT_EQ(PadStr(u("abcdef"), QLatin1Char('.'), 4, true), u("abcdef"));
    EXPECT_EQ(Zero2(u("")), u("00"));
    EXPECT_EQ(Zero2(u("123")), u("123"));
    EXPECT_EQ(DoubleChar(u("O'Neil's"), QLatin1Char('\'')), u("O''Neil''s"));
    EXPECT_EQ(CharAt(u("abc"), 0), QChar(0));
    EXPECT_EQ(CharAt(u("abc"), 4), QChar(0));
    EXPECT_EQ(CharFromEnd(u("abc"), 3), QLatin1Char('a'));
    EXPECT_EQ(CharFromEnd(u("abc"), 4), QChar(0));
    EXPECT_EQ(JoinSpace(u(""), u("b")), u("b"));
    EXPECT_EQ(JoinSpace(u("a"), u("")), u("a"));
    EXPECT_EQ(JoinLines({"a", "b"}, u("\r\n"), true), u("a\r\nb\r\n"));
    EXPECT_EQ(JoinLines({}, u(";"), true), u(""));
    EXPECT_EQ(NbspIfEmpty(u("")), u("&nbsp"));
    EXPECT_EQ(KPrefix(u("")), u(""));
    EXPECT_EQ(KPrefix(u("12.5")), u("K=12.5"));
}

TEST(SmallStrings, Positions)
{
    EXPECT_EQ(PosFrom(u("ab"), u("xabab"), 1), 2);
    EXPECT_EQ(PosFrom(u("ab"), u("xabab"), 3), 4);
    EXPECT_EQ(PosFrom(u("AB"), u("xabab"), 1), 0);
    EXPECT_EQ(PosFrom(u("ab"), u("xabab"), 9), 0);
    EXPECT_EQ(FirstCharInSet(" ,", u("ab, c"), 1), 3);
    EXPECT_EQ(FirstCharInSet(" ,", u("ab, c"), 5), 0);
    EXPECT_EQ(FirstCharInSet(" ,", u("ab, c"), 6), 0);
    EXPECT_EQ(LastCharNotInSet(" \t", u("ab \t "), 5), 2);
    EXPECT_EQ(LastCharNotInSet(" ", u("ab c  "), 3), 2);
    EXPECT_EQ(LastCharNotInSet(" ", u("   "), 3), 0);
    EXPECT_EQ(SkipChar(QLatin1Char('0'), u("0012"), 1), 3);
    EXPECT_EQ(SkipChar(QLatin1Char('0'), u("000"), 1), 0);
    EXPECT_EQ(SkipChar(QLatin1Char('0'), u("0012"), 5), 0);
}

TEST(SmallStrings, IndexOf)
{
    const QStringList items{"Alpha", u("Пётр"), "alpha"};
    EXPECT_EQ(IndexOfText(items, u("ALPHA")), 0);
    EXPECT_EQ(IndexOfText(items, u("ПЁТР")), 1);
    EXPECT_EQ(IndexOfText(items, u("beta")), -1);
    const QList<int> ints{4, 7, 9, 7};
    EXPECT_EQ(IndexOfInt(ints, 7, -1), 1);
    EXPECT_EQ(IndexOfInt(ints, 9, 1), -1);
    EXPECT_EQ(IndexOfInt(ints, 9, 2), 2);
    EXPECT_EQ(IndexOfInt(ints, 9, 100), 2);
    EXPECT_EQ(IndexOfInt({}, 9, -1), -1);
}

TEST(NextStr, Successors)
{
    const std::pair<const char *, const char *> cases[] = {
        {"ab~", "ac!"}, {"~~", "!!"}, {"", "!"}, {"a", "b"}, {" ", "!"}, {"a~~", "b!!"}, {"}", "~"}};
    for (const auto &[text, next] : cases)
        EXPECT_EQ(NextStr(u(text)), u(next)) << text;
}

TEST(TrimBlanks, ControlCharactersToo)
{
    EXPECT_EQ(TrimBlanks(u("\t a b\r\n")), u("a b"));
    EXPECT_EQ(TrimBlanks(u("   ")), u(""));
    // a non-breaking space is text, not a blank
    EXPECT_EQ(TrimBlanks(u("\u00A0x ")), u("\u00A0x"));
}

} // namespace
