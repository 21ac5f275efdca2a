#include "lib/datetime.h"
#include "lib/errors.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>

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
    // What they say is Russian and names the value.
    const std::pair<std::function<void()>, const char *> refused[] = {
        {[] { EncodeDate(2008, 2, 30); }, "Неверная дата: 30.2.2008"},
        {[] { EncodeDate(0, 1, 1); }, "Неверная дата: 1.1.0"},
        {[] { EncodeTime(24, 0, 0, 0); }, "Неверное время: 24:00:00"},
        {[] { EncodeTime(12, 5, 60, 0); }, "Неверное время: 12:05:60"},
    };
    for (const auto &[call, message] : refused) {
        try {
            call();
            ADD_FAILURE() << message;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(message));
        }
    }
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
    EXPECT_EQ((std::array{DayOfTheYear(EncodeDate(2008, 3, 1)), DayOfTheYear(EncodeDate(2007, 3, 1)),
                          DayOfTheYear(EncodeDate(2008, 12, 31))}),
              (std::array{61, 60, 366}));
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
    for (const auto &[v, rounded] : {std::pair{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-3.5, -4}, {2.6, 3}})
        EXPECT_EQ(RoundHalfEven(v), rounded) << v;
}

TEST(RoundHalfEven, OutOfRangeFailsClearly)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (const double v : {1e308, -1e308, inf, -inf, std::nan(""), 9223372036854775808.0}) {
        int64_t r = 7;
        EXPECT_FALSE(TryRoundHalfEven(v, r)) << v;
        EXPECT_EQ(r, 7) << v;
        EXPECT_THROW(RoundHalfEven(v), EConvertError) << v;
    }
    int64_t r = 0;
    EXPECT_TRUE(TryRoundHalfEven(-9223372036854775808.0, r));
    EXPECT_EQ(r, std::numeric_limits<int64_t>::min());
}

// Values a database field or a file may hold that are no date at all decode as zeros.
TEST(DateTimeValue, OutOfRangeValuesDecodeAsZeros)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double lastMs = EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59, 999);
    for (const double v : {1e308, -1e308, inf, -inf, std::nan(""), 9.3e18 / MSecsPerDay, -693594.0,
                           EncodeDate(9999, 12, 31) + 1}) {
        EXPECT_FALSE(IsValidDateTime(v)) << v;
        expectFields(v, {0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(DateOf(v), 0.0) << v;
        EXPECT_EQ(TimeOf(v), 0.0) << v;
        EXPECT_EQ(FormatDateTime(u"c"_s, v), u"00.00.0000"_s) << v;
    }
    for (const double v : {-693593.5, lastMs, 0.0})
        EXPECT_TRUE(IsValidDateTime(v)) << v;
    expectFields(-693593.5, {1, 1, 1, 12, 0, 0, 0});
    expectFields(lastMs, {9999, 12, 31, 23, 59, 59, 999});
}

// A settings format that holds the codes it stands for (a separator "c" or "t" from a format file)
// expands once; inside the expansion the codes are text.
TEST(FormatDateTime, SettingsFormatsExpandOnce)
{
    const TDateTime v = EncodeDate(2008, 3, 5) + EncodeTime(7, 4, 9, 0);
    TFormatSettings fs;
    fs.DateSeparator = QLatin1Char('c');
    fs.ShortDateFormat = u"dcMcyy"_s;
    fs.LongTimeFormat = u"hh:nn tt"_s;
    fs.ShortTimeFormat = u"ddddd t"_s;
    const FormatCase cases[] = {
        {"c", "5c3c08 07:04 tt"}, {"ddddd", "5c3c08"},
        {"t", "05055 t"},                                 // "ddddd" inside an expansion is day, day, day
        {"tt", "07:04 tt"},       {"yyyy/mm", "2008c03"}, // the separator is text
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatDateTime(QString::fromUtf8(c.format), v, fs), QString::fromUtf8(c.expected))
            << c.format;
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
