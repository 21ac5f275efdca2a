#include "lib/date_routines.h"

#include <gtest/gtest.h>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

TDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, ms));
}

TEST(StrToDateTimeDMY, ReadsDatesAndTimes)
{
    const TDateTime def = -7.0;
    const std::tuple<const char *, bool, TDateTime> cases[] = {
        {"5.3.2008", true, at(2008, 3, 5)},
        {"05.03.2008 10:20:30", true, at(2008, 3, 5, 10, 20, 30)},
        {"01.01.1800 06:00:00", true, at(1800, 1, 1, 6)},
        {"5.3.2008 10:00", false, def},
        {"5.3.2008 ", false, def},
        {"31.2.2008", false, def},
        {"29.2.2007", false, def},
        {"5.3.2008 25:00:00", false, def},
        {"5.3.2008 10:00:00.5", false, def},
        {"5.3", false, def},
        {"", false, def},
        {"a.3.2008", false, def},
        {"5/3/2008", false, def},
    };
    for (const auto &[s, ok, value] : cases) {
        bool error = !ok;
        EXPECT_DOUBLE_EQ(StrToDateTimeDMY(u(s), &error, def), value) << s;
        EXPECT_EQ(error, !ok) << s;
        EXPECT_DOUBLE_EQ(StrToDateTimeDMY(u(s), nullptr, def), value) << s;
    }
}

TEST(DateTimeToStrDMY, WritesTheStoredForm)
{
    const std::pair<TDateTime, const char *> cases[] = {
        {at(2008, 3, 5, 10), "05.03.2008 10:00:00"},
        {at(2008, 3, 5), "05.03.2008"},
        {at(2008, 3, 5, 0, 0, 0, 500), "05.03.2008"},
        {at(2008, 11, 25, 0, 0, 1), "25.11.2008 00:00:01"},
        {0.0, "30.12.1899"},
        {0.5, "12:00:00"},
    };
    for (const auto &[d, text] : cases)
        EXPECT_EQ(DateTimeToStrDMY(d), u(text)) << text;

    for (const TDateTime d : {at(2008, 3, 5, 10, 20, 30), at(1999, 12, 31)}) {
        bool error = true;
        EXPECT_DOUBLE_EQ(StrToDateTimeDMY(DateTimeToStrDMY(d), &error, 0), d);
        EXPECT_FALSE(error);
    }
}

TEST(SplitDateTimeStr, PartsAndTenths)
{
    QString y, mo, d, h, mi, s, frac;
    SplitDateTimeStr(2008, 3, 5, 7, 8, 9, 250, y, mo, d, h, mi, s, frac, false);
    EXPECT_EQ(QStringList({y, mo, d, h, mi, s, frac}),
              QStringList({"2008", "03", "05", "07", "08", "09", "09.2"}));
    SplitDateTimeStr(800, 12, 31, 23, 59, 59, 50, y, mo, d, h, mi, s, frac, true);
    EXPECT_EQ(QStringList({y, mo, d, h, mi, s, frac}),
              QStringList({"0800", "12", "31", "23", "59", "59", "59."}));
    SplitDateTimeStr(2008, 1, 1, 0, 0, 0, 99, y, mo, d, h, mi, s, frac, false);
    EXPECT_EQ(frac, u("00"));
    SplitDateTimeStr(2008, 1, 1, 0, 0, 0, 999, y, mo, d, h, mi, s, frac, false);
    EXPECT_EQ(frac, u("00.9"));
}

TEST(DecadeDays, Bounds)
{
    const std::tuple<uint16_t, uint16_t, uint16_t, uint16_t, uint16_t> cases[] = {
        {1, 2008, 2, 1, 10},  {2, 2008, 2, 11, 20}, {3, 2008, 2, 21, 29},
        {3, 2007, 2, 21, 28}, {0, 2008, 4, 21, 30}, {7, 2008, 1, 21, 31}};
    for (const auto &[decade, year, month, wantFirst, wantLast] : cases) {
        uint16_t first = 0, last = 0;
        DecadeDays(decade, year, month, first, last);
        EXPECT_EQ((std::pair{first, last}), (std::pair{wantFirst, wantLast})) << decade << ' ' << month;
    }
}

TEST(TryStrToDateTime, FollowsTheFormatSettings)
{
    TDateTime v = 0;
    EXPECT_TRUE(TryStrToDateTime(u("05.03.2008"), v));
    EXPECT_DOUBLE_EQ(v, at(2008, 3, 5));
    EXPECT_TRUE(TryStrToDateTime(u(" 5.3.2008  10:20 "), v));
    EXPECT_DOUBLE_EQ(v, at(2008, 3, 5, 10, 20));

    TFormatSettings us;
    us.ShortDateFormat = u("m/d/yyyy");
    us.DateSeparator = QLatin1Char('/');
    EXPECT_TRUE(TryStrToDateTime(u("3/5/2008 1:02:03"), v, us));
    EXPECT_DOUBLE_EQ(v, at(2008, 3, 5, 1, 2, 3));

    for (const char *bad :
         {"", "5.3", "5.3.2008.1", "32.1.2008", "5.3.2008 10", "5.3.2008 24:00", "x.3.2008"})
        EXPECT_FALSE(TryStrToDateTime(u(bad), v)) << bad;
}

TEST(TryStrToDateTime, TwoDigitYearsFollowTheWindowOfTheFixedYear)
{
    const struct
    {
        int windowYear, window;
        const char *text;
        int year;
    } cases[] = {
        // The window of a text format with pivot 50 fixed in 2026 (2026 - 1950) and in 2126 (2126 - 2050).
        {2026, 76, "01.03.65", 1965},
        {2026, 76, "01.03.49", 2049},
        {2026, 76, "01.03.50", 1950},
        {2126, 76, "01.03.65", 2065},
        {2126, 76, "01.03.49", 2149},
        // Pivot 0: the whole century before.
        {2026, 126, "1.3.0", 1900},
        {2026, 126, "1.3.99", 1999},
        // The system's own settings: fifty years either side; no window: the year's own century.
        {2026, 50, "01.03.76", 1976},
        {2026, 50, "01.03.75", 2075},
        {2026, 0, "01.03.65", 2065},
        {1999, 0, "01.03.65", 1965},
        // Four digits are taken as they stand.
        {2026, 76, "01.03.2065", 2065},
        {2026, 76, "01.03.0065", 65},
    };
    for (const auto &c : cases) {
        TFormatSettings fs;
        fs.WindowYear = c.windowYear;
        fs.TwoDigitYearCenturyWindow = c.window;
        TDateTime v = 0;
        ASSERT_TRUE(TryStrToDateTime(u(c.text), v, fs)) << c.text;
        int y = 0, m = 0, d = 0;
        DecodeDate(v, y, m, d);
        EXPECT_EQ(y, c.year) << c.text << " window " << c.window << " from " << c.windowYear;
    }

    // Without a year of its own the window counts from the year fixed at start-up.
    TFormatSettings fixed;
    fixed.WindowYear = StartupYear();
    TDateTime own = 0, started = 0;
    for (const char *text : {"01.03.00", "01.03.49", "01.03.50", "01.03.99"}) {
        ASSERT_TRUE(TryStrToDateTime(u(text), own));
        ASSERT_TRUE(TryStrToDateTime(u(text), started, fixed));
        EXPECT_DOUBLE_EQ(own, started) << text;
    }
}

} // namespace
