#include "lib/datetime.h"
#include "lib/epoch.h"
#include "lib/errors.h"

#include <QDate>

#include <array>
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace {

// Year, month, day, hour, minute, second, fraction.
using Parts = std::array<int, 7>;

Parts split(double epoch, bool useMSec, bool *ok = nullptr, double *secOut = nullptr)
{
    quint16 y = 7, mo = 7, d = 7, h = 7, mi = 7, s = 7, f = 7;
    const bool result = etoh(epoch, y, mo, d, h, mi, s, f, useMSec, secOut);
    if (ok)
        *ok = result;
    return {y, mo, d, h, mi, s, f};
}

TEST(Epoch, DocumentedValues)
{
    const std::tuple<double, bool, Parts> cases[] = {
        {0, false, {1970, 1, 1, 0, 0, 0, 0}},
        {951782400, false, {2000, 2, 29, 0, 0, 0, 0}},
        {-2203891200.0 - 86400, false, {1900, 2, 28, 0, 0, 0, 0}},
        {-2203891200.0, false, {1900, 3, 1, 0, 0, 0, 0}},
        {59.96, false, {1970, 1, 1, 0, 1, 0, 0}},
        {86399.9996, true, {1970, 1, 2, 0, 0, 0, 0}},
        {-0.4, false, {1969, 12, 31, 23, 59, 59, 6}},
        {946684799.96, false, {2000, 1, 1, 0, 0, 0, 0}}, // 1999-12-31 23:59:59.96
        {1204675200 + 45296.789, true, {2008, 3, 5, 12, 34, 56, 789}},
        {0.25, false, {1970, 1, 1, 0, 0, 0, 2}}, // halves to even
        {0.75, false, {1970, 1, 1, 0, 0, 0, 8}},
        {-62135596800.0, false, {1, 1, 1, 0, 0, 0, 0}},
        {253402300799.0, false, {9999, 12, 31, 23, 59, 59, 0}},
    };
    for (const auto &[epoch, msec, parts] : cases) {
        bool ok = false;
        EXPECT_EQ(split(epoch, msec, &ok), parts) << std::fixed << epoch;
        EXPECT_TRUE(ok) << epoch;
    }
    EXPECT_EQ(htoe(1970, 1, 1, 0, 0, 0), 0.0);
    EXPECT_EQ(htoe(2000, 2, 29, 0, 0, 0), 951782400.0);
    EXPECT_EQ(htoe(1900, 3, 1, 0, 0, 0), -2203891200.0);
    EXPECT_NEAR(htoe(1969, 12, 31, 23, 59, 59.6), -0.4, 1e-9);
}

TEST(Epoch, SecondsOut)
{
    double out = -1;
    EXPECT_EQ(split(1.25, true, nullptr, &out)[6], 250);
    EXPECT_EQ(out, 1.25);
    EXPECT_EQ(split(1.25, false, nullptr, &out)[6], 2);
    EXPECT_DOUBLE_EQ(out, 1.2);
    split(59.96, false, nullptr, &out);
    EXPECT_EQ(out, 0.0);
}

TEST(Epoch, EpochToPartsKeepsTheFraction)
{
    quint16 y, mo, d, h, mi;
    double sec;
    ASSERT_TRUE(EpochToParts(951782400 + 3723.5, y, mo, d, h, mi, sec));
    EXPECT_EQ((std::array{y, mo, d, h, mi}), (std::array<quint16, 5>{2000, 2, 29, 1, 2}));
    EXPECT_EQ(sec, 3.5);
}

TEST(Epoch, UnrepresentableEpochsFail)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[] = {std::nan(""), inf, -inf, 1e300, -1e300, -62135596800.0 - 1, 253402300800.0};
    for (double epoch : cases) {
        bool ok = true;
        double out = -1;
        EXPECT_EQ(split(epoch, true, &ok, &out), (Parts{0, 0, 0, 0, 0, 0, 0})) << epoch;
        EXPECT_FALSE(ok) << epoch;
        EXPECT_EQ(out, 0.0) << epoch;

        quint16 y = 1, mo = 1, d = 1, h = 1, mi = 1;
        double sec = 1;
        EXPECT_FALSE(EpochToParts(epoch, y, mo, d, h, mi, sec)) << epoch;
        EXPECT_EQ((std::array{y, mo, d, h, mi}), (std::array<quint16, 5>{})) << epoch;
        EXPECT_EQ(sec, 0.0);
    }
}

TEST(Epoch, HtoeRejectsMonthOutsideTheYear)
{
    EXPECT_THROW(htoe(2008, 0, 1, 0, 0, 0), EConvertError);
    EXPECT_THROW(htoe(2008, 13, 1, 0, 0, 0), EConvertError);
    // Other fields out of range simply add up, as the arithmetic always did.
    EXPECT_EQ(htoe(2008, 1, 32, 0, 0, 0), htoe(2008, 2, 1, 0, 0, 0));
    EXPECT_EQ(htoe(2008, 2, 29, 24, 0, 0), htoe(2008, 3, 1, 0, 0, 0));
}

// Calendar days checked against QDate's proleptic Gregorian day numbers; every sampled second must come
// back from etoh with the fields it went into htoe with.
TEST(Epoch, RoundTripOverYears1To9999)
{
    const qint64 epochDay = QDate(1970, 1, 1).toJulianDay();
    std::vector<Parts> samples = {
        {1, 1, 1, 0, 0, 0, 0},        {4, 12, 31, 23, 59, 59, 0},    {100, 12, 31, 12, 0, 0, 0},
        {400, 12, 31, 23, 59, 59, 0}, {401, 1, 1, 0, 0, 0, 0},       {1600, 2, 29, 1, 1, 1, 0},
        {1900, 12, 31, 0, 0, 1, 0},   {1996, 12, 31, 23, 59, 59, 0}, {2000, 12, 31, 23, 59, 59, 0},
        {2100, 3, 1, 0, 0, 0, 0},     {8000, 12, 31, 0, 0, 0, 0},    {9999, 12, 31, 23, 59, 59, 0},
    };
    std::mt19937 random(1104);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int i = 0; i < 5000; ++i) {
        const int y = uniform(1, 9999), mo = uniform(1, 12);
        samples.push_back({y, mo, uniform(1, DaysInMonth(y, mo)), uniform(0, 23), uniform(0, 59),
                           uniform(0, 59), uniform(0, 1) * 5});
    }
    for (const Parts &p : samples) {
        const double sec = p[5] + p[6] / 10.0;
        const double epoch = htoe(p[0], p[1], p[2], p[3], p[4], sec);
        const qint64 days = QDate(p[0], p[1], p[2]).toJulianDay() - epochDay;
        ASSERT_EQ(epoch, double(days * 86400 + p[3] * 3600 + p[4] * 60) + sec)
            << p[0] << "-" << p[1] << "-" << p[2];
        ASSERT_EQ(split(epoch, false), p) << std::fixed << epoch;
        ASSERT_EQ(split(epoch, true)[6], p[6] * 100) << std::fixed << epoch;
    }
}

TEST(Epoch, DayOfYear)
{
    const std::tuple<int, int, int, int, bool> cases[] = {
        {1, 2001, 1, 1, true},     {31, 2001, 1, 31, true},     {32, 2001, 2, 1, true},
        {59, 2001, 2, 28, true},   {60, 2001, 3, 1, true},      {60, 2000, 2, 29, true},
        {365, 2001, 12, 31, true}, {366, 2000, 12, 31, true},   {366, 1900, 0, 0, false},
        {0, 2001, 0, 0, false},    {366, 2001, 0, 0, false},    {367, 2000, 0, 0, false},
        {-1, 2000, 0, 0, false},   {-32768, 2000, 0, 0, false},
    };
    for (const auto &[doy, year, wantMonth, wantDay, ok] : cases) {
        quint16 month = 99, day = 99;
        EXPECT_EQ(DoyToMonthDay(qint16(doy), quint16(year), month, day), ok) << doy << "/" << year;
        EXPECT_EQ((std::pair<int, int>{month, day}), (std::pair{wantMonth, wantDay})) << doy << "/" << year;
    }
}

} // namespace
