#include "lib/datetime.h"
#include "lib/errors.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace Qt::StringLiterals;

namespace {

struct Fields
{
    int y, mo, d, h, n, s, ms;
};

void expectFields(TDateTime v, Fields f)
{
    int y, mo, d, h, n, s, ms;
    DecodeDateTime(v, y, mo, d, h, n, s, ms);
    EXPECT_EQ((std::array{y, mo, d, h, n, s, ms}), (std::array{f.y, f.mo, f.d, f.h, f.n, f.s, f.ms})) << v;
}

TEST(DateTimeValue, KnownValues)
{
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 31), 1.0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 3, 1), 61.0); // 1900 has no 29 February
    EXPECT_DOUBLE_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_DOUBLE_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_THROW(EncodeDate(2008, 2, 30), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
}

TEST(DateTimeValue, DecodeSplitsTheSystemsWay)
{
    expectFields(0.0, {1899, 12, 30, 0, 0, 0, 0});
    expectFields(1.5, {1899, 12, 31, 12, 0, 0, 0});
    // Negative values: whole days count back, the fraction is still the time of day.
    expectFields(-1.25, {1899, 12, 29, 6, 0, 0, 0});
    expectFields(-0.5, {1899, 12, 30, 12, 0, 0, 0});
    // Rounded to the millisecond before splitting, so a value a hair below midnight is midnight.
    expectFields(EncodeDate(2008, 12, 31) + 0.99999999999, {2009, 1, 1, 0, 0, 0, 0});
    expectFields(EncodeDate(2000, 2, 29) + EncodeTime(23, 59, 59, 999), {2000, 2, 29, 23, 59, 59, 999});
    expectFields(EncodeDate(9999, 12, 31), {9999, 12, 31, 0, 0, 0, 0});
}

TEST(DateTimeValue, ComposeKeepsTimeForwardBefore1900)
{
    const TDateTime v = ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0));
    EXPECT_DOUBLE_EQ(v, -1.25);
    EXPECT_DOUBLE_EQ(ComposeDateTime(EncodeDate(2008, 3, 5), 0.25), EncodeDate(2008, 3, 5) + 0.25);
}

TEST(DateTimeValue, EveryDayRoundTrips)
{
    for (int y : {1, 4, 100, 400, 1582, 1899, 1900, 1970, 2000, 2024, 2100, 9999})
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= DaysInMonth(y, m); ++d) {
                int yy, mm, dd;
                DecodeDate(EncodeDate(y, m, d), yy, mm, dd);
                ASSERT_EQ((std::array{yy, mm, dd}), (std::array{y, m, d}));
            }
}

TEST(DateTimeValue, DayOfTheYear)
{
    EXPECT_EQ(DayOfTheYear(EncodeDate(2008, 1, 1)), 1);
    EXPECT_EQ(DayOfTheYear(EncodeDate(2008, 3, 1)), 61);
    EXPECT_EQ(DayOfTheYear(EncodeDate(2007, 3, 1)), 60);
    EXPECT_EQ(DayOfTheYear(EncodeDate(2008, 12, 31)), 366);
}

struct FormatCase
{
    const char *format;
    const char *expected;
};

TEST(FormatDateTime, Codes)
{
    const TDateTime v = EncodeDate(2008, 3, 5) + EncodeTime(7, 4, 9, 45);
    const FormatCase cases[] = {
        {"dd.mm.yyyy", "05.03.2008"}, {"d.m.yy", "5.3.08"},
        {"hh:nn:ss", "07:04:09"},     {"hh-nn-ss", "07-04-09"},
        {"nn-ss", "04-09"},           {"hh:mm", "07:04"}, // m after h is minutes
        {"h:n:s.zzz", "7:4:9.045"},   {"yyyy-mm-dd", "2008-03-05"},
        {"dd/mm/yyyy", "05.03.2008"}, // '/' is the date separator
        {"'day' d", "day 5"},         {"ddddd tt", "05.03.2008 07:04:09"},
        {"c", "05.03.2008 07:04:09"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatDateTime(QString::fromUtf8(c.format), v), QString::fromUtf8(c.expected)) << c.format;

    EXPECT_EQ(FormatDateTime(u"c"_s, EncodeDate(2008, 3, 5)), u"05.03.2008"_s);
    TFormatSettings iso;
    iso.DateSeparator = QLatin1Char('-');
    EXPECT_EQ(FormatDateTime(u"yyyy/mm/dd"_s, v, iso), u"2008-03-05"_s);
}

TEST(RoundHalfEven, Halves)
{
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
}

class FloatToStrTest : public ::testing::TestWithParam<const char *>
{
};

TEST_P(FloatToStrTest, SameTextInEveryLocale)
{
    const char *old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr) << "locale missing: " << GetParam();
    EXPECT_EQ(FloatToStr(1.5), u"1.5"_s);
    EXPECT_EQ(FloatToStr(-0.25), u"-0.25"_s);
    EXPECT_EQ(FloatToStr(100), u"100"_s);
    EXPECT_EQ(FloatToStr(0.1 + 0.2), u"0.3"_s); // 15 digits hide the binary tail
    EXPECT_EQ(FloatToStr(123456789012345.0), u"123456789012345"_s);
    EXPECT_EQ(FloatToStr(1e15), u"1E15"_s);
    EXPECT_EQ(FloatToStr(0.0001), u"0.0001"_s);
    EXPECT_EQ(FloatToStr(0.00001), u"1E-5"_s);
    EXPECT_EQ(FloatToStr(-1.5e-7), u"-1.5E-7"_s);
    EXPECT_EQ(FloatToStr(0.0), u"0"_s);
    EXPECT_EQ(FloatToStr(3.5, QLatin1Char(',')), u"3,5"_s);
    std::setlocale(LC_ALL, saved.c_str());
}

INSTANTIATE_TEST_SUITE_P(Locales, FloatToStrTest, ::testing::Values("C", "ru_RU.UTF-8"));

} // namespace
