#include "lib/errors.h"
#include "lib/number_routines.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <string>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The conversions must read the same under a locale whose decimal separator is a comma.
class NumbersUnderLocale : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        m_saved = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr) << GetParam();
    }
    void TearDown() override { std::setlocale(LC_ALL, m_saved.c_str()); }

private:
    std::string m_saved;
};

TEST_P(NumbersUnderLocale, EitherSeparatorIsAccepted)
{
    const std::pair<const char *, double> cases[] = {
        {"3,5", 3.5}, {"3.5", 3.5}, {" 2.25 ", 2.25}, {"-1e3", -1000.0}, {"+1.5E-2", 0.015},
        {".5", 0.5},  {"7.", 7.0},  {"0", 0.0},       {"-0,125", -0.125}};
    for (const auto &[s, want] : cases) {
        EXPECT_DOUBLE_EQ(StrToFloatAny(u(s)), want) << s;
        double v = -1;
        EXPECT_TRUE(TryStrToFloatAny(u(s), v)) << s;
        EXPECT_DOUBLE_EQ(v, want) << s;
    }
    TFormatSettings comma;
    comma.DecimalSeparator = QLatin1Char(',');
    EXPECT_DOUBLE_EQ(StrToFloatAnyFS(u("3.5"), comma), 3.5);
    EXPECT_DOUBLE_EQ(StrToFloatAnyFS(u("3,5"), comma), 3.5);
    EXPECT_DOUBLE_EQ(StrToFloatAnyFS(u("3,5"), DefaultFormatSettings()), 3.5);
}

TEST_P(NumbersUnderLocale, BadTextRaisesOrFails)
{
    const std::pair<const char *, const char *> cases[] = {
        {"abc", "\"abc\" - не число"},     {"", "\"\" - не число"},
        {"1,5,", "\"1.5,\" - не число"},   {"1,234.5", "\"1.234.5\" - не число"},
        {"1e", "\"1e\" - не число"},       {"inf", "\"inf\" - не число"},
        {"NAN", "\"NAN\" - не число"},     {"1 2", "\"1 2\" - не число"},
        {"1e999", "\"1e999\" - не число"},
    };
    for (const auto &[s, message] : cases) {
        try {
            StrToFloatAny(u(s));
            ADD_FAILURE() << "no error for " << s;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), u(message));
        }
        double v = 42;
        EXPECT_FALSE(TryStrToFloatAny(u(s), v)) << s;
        EXPECT_FALSE(CheckNumStr(u(s))) << s;
    }
    TFormatSettings comma;
    comma.DecimalSeparator = QLatin1Char(',');
    EXPECT_THROW(StrToFloatAnyFS(u("x"), comma), EConvertError);
}

INSTANTIATE_TEST_SUITE_P(Locales, NumbersUnderLocale, ::testing::Values("C", "ru_RU.UTF-8"));

TEST(CheckNumStr, IntegerThenFloat)
{
    int i = 0;
    double f = 0;
    EXPECT_TRUE(CheckNumStr(u("12"), &i, &f));
    EXPECT_EQ(i, 12);
    EXPECT_DOUBLE_EQ(f, 12.0);
    EXPECT_FALSE(CheckNumStr(u("1.5"), &i, &f));
    EXPECT_TRUE(CheckNumStr(u("1,5"), nullptr, &f));
    EXPECT_DOUBLE_EQ(f, 1.5);
    EXPECT_TRUE(CheckNumStr(u("1,5")));
    EXPECT_FALSE(CheckNumStr(u("x"), &i));
}

TEST(Integers, IsIntStrAndRanges)
{
    const std::pair<const char *, bool> cases[] = {
        {" - 12  ", true}, {"1 2", false}, {"", false},    {"-+1", false}, {"- -1", false}, {"+", false},
        {"12", true},      {"  7", true},  {"12a", false}, {"1.0", false}, {"   ", false},  {"+ 3 ", true}};
    for (const auto &[s, isInt] : cases)
        EXPECT_EQ(IsIntStr(u(s)), isInt) << '"' << s << '"';

    int n = 0;
    EXPECT_TRUE(StrToIntInRange(u("5"), n, 1, 10));
    EXPECT_EQ(n, 5);
    EXPECT_FALSE(StrToIntInRange(u("15"), n, 1, 10));
    EXPECT_EQ(n, 15);
    EXPECT_TRUE(StrToIntInRange(u("-10"), n, -10, 10));
    EXPECT_FALSE(StrToIntInRange(u("a"), n, 1, 10));
    EXPECT_FALSE(StrToIntInRange(u("2147483648"), n, INT_MIN, INT_MAX));
    EXPECT_TRUE(StrToIntInRange(u("-2147483648"), n, INT_MIN, INT_MAX));
    EXPECT_EQ(n, INT_MIN);
}

TEST(HexToDWord, ValuesAndMessages)
{
    EXPECT_EQ(HexToDWord(u("")), 0u);
    EXPECT_EQ(HexToDWord(u("ff")), 255u);
    EXPECT_EQ(HexToDWord(u("1a2B")), 0x1A2Bu);
    EXPECT_EQ(HexToDWord(u("FFFFFFFF")), 4294967295u);
    const std::pair<const char *, const char *> bad[] = {
        {"123456789", "Too long hex string, does not match DWORD"},
        {"12G", "Wrong symbol in hex string (\"G\")"},
        {"0x1", "Wrong symbol in hex string (\"x\")"},
        {"Ф", "Wrong symbol in hex string (\"Ф\")"}};
    for (const auto &[s, message] : bad) {
        try {
            HexToDWord(u(s));
            ADD_FAILURE() << "no error for " << s;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), u(message));
        }
    }
}

TEST(IntLines, FindAndMinMax)
{
    const QStringList lines{"3", "", "x", "9", "-2", "9", "-2"};
    EXPECT_EQ(FindIntLine(lines, 9), 3);
    EXPECT_EQ(FindIntLine(lines, -2), 4);
    EXPECT_EQ(FindIntLine(lines, 0), -1);

    int maxV = 0, minV = 0, maxIdx = 0, minIdx = 0;
    MinMaxIntLines(lines, maxV, minV, &maxIdx, &minIdx);
    EXPECT_EQ(maxV, 9);
    EXPECT_EQ(maxIdx, 3);
    EXPECT_EQ(minV, -2);
    EXPECT_EQ(minIdx, 4);

    MinMaxIntLines({"", "a"}, maxV, minV, &maxIdx, &minIdx);
    EXPECT_EQ(maxV, INT_MIN);
    EXPECT_EQ(minV, INT_MAX);
    EXPECT_EQ(maxIdx, -1);
    EXPECT_EQ(minIdx, -1);

    MinMaxIntLines({"2147483647"}, maxV, minV, &maxIdx, &minIdx);
    EXPECT_EQ(maxIdx, 0);
    EXPECT_EQ(minIdx, 0);
}

TEST(DateLines, MinMaxByDatePart)
{
    const QStringList lines{"05.03.2008 10:00", "", "bad", "01.01.2000", "05.03.2008", "31.12.1999 23:59:59"};
    TDateTime maxD = 0, minD = 0;
    int maxIdx = 0, minIdx = 0;
    MinMaxDateLines(lines, &maxD, &minD, &maxIdx, &minIdx);
    EXPECT_EQ(maxIdx, 0);
    EXPECT_DOUBLE_EQ(maxD, EncodeDate(2008, 3, 5) + EncodeTime(10, 0, 0, 0));
    EXPECT_EQ(minIdx, 5);
    EXPECT_DOUBLE_EQ(minD, EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 0));

    TFormatSettings iso;
    iso.ShortDateFormat = u("yyyy-mm-dd");
    iso.DateSeparator = QLatin1Char('-');
    MinMaxDateLines({"2001-01-02", "05.03.2008", "2008-03-05"}, &maxD, &minD, &maxIdx, &minIdx, &iso);
    EXPECT_EQ(maxIdx, 2);
    EXPECT_DOUBLE_EQ(maxD, EncodeDate(2008, 3, 5));
    EXPECT_EQ(minIdx, 0);

    MinMaxDateLines({"x"}, &maxD, &minD, &maxIdx, &minIdx);
    EXPECT_DOUBLE_EQ(maxD, -1000.0);
    EXPECT_DOUBLE_EQ(minD, 1800000.0);
    EXPECT_EQ(maxIdx, -1);
    EXPECT_EQ(minIdx, -1);
    MinMaxDateLines(lines, nullptr, nullptr, nullptr, nullptr);
}

TEST(Histogram, CountAndMostFrequent)
{
    dptarray hist;
    for (int v : {5, 7, 5, 9, 5, 7})
        CountValue(hist, v);
    EXPECT_EQ(hist, dptarray({{5, 3}, {7, 2}, {9, 1}}));
    int others = -1;
    EXPECT_EQ(MostFrequent(hist, &others), 0);
    EXPECT_EQ(others, 3);

    EXPECT_EQ(MostFrequent({{1, 2}, {2, 2}}), 0);
    others = -1;
    EXPECT_EQ(MostFrequent({}, &others), -1);
    EXPECT_EQ(MostFrequent({{1, 0}}, &others), -1);
    EXPECT_EQ(others, -1);
}

} // namespace
