#include "lib/date_routines.h"
#include "products/bulletin_periods.h"

#include <gtest/gtest.h>

namespace {

QString dmy(TDateTime d)
{
    return DateTimeToStrDMY(d);
}

struct ReadCase
{
    const char *name;
    int kind;
    PeriodControls controls;
    const char *beg, *end;
    int number;
};

TEST(BulletinPeriods, ReadPeriodByKind)
{
    const ReadCase cases[] = {
        {"daily",
         StyleDaily,
         {EncodeDate(2024, 1, 1), EncodeDate(2024, 3, 5), 17, 0, 0, 1},
         "05.03.2024",
         "05.03.2024",
         17},
        {"february third decade of a leap year",
         StyleMonthDecade,
         {0, 0, 2024, 1, 2, 1},
         "21.02.2024",
         "29.02.2024",
         6},
        {"first decade of a month", StyleMonthDecade, {0, 0, 2023, 10, 0, 1}, "01.11.2023", "10.11.2023", 31},
        {"second decade", StyleMonthDecade, {0, 0, 2023, 3, 1, 1}, "11.04.2023", "20.04.2023", 11},
        {"year decade 36", StyleYearDecade, {0, 0, 2023, 0, 0, 36}, "21.12.2023", "31.12.2023", 36},
        {"year decade 1", StyleYearDecade, {0, 0, 2023, 0, 0, 1}, "01.01.2023", "10.01.2023", 1},
        {"year decade 5", StyleYearDecade, {0, 0, 2023, 0, 0, 5}, "11.02.2023", "20.02.2023", 5},
        {"arbitrary across months",
         StyleArbitrary,
         {EncodeDate(2024, 2, 28) + 0.5, EncodeDate(2024, 3, 5), 3, 0, 0, 1},
         "28.02.2024",
         "05.03.2024",
         3},
        {"arbitrary backwards kept",
         StyleArbitrary,
         {EncodeDate(2024, 3, 5), EncodeDate(2024, 3, 1), 0, 0, 0, 1},
         "05.03.2024",
         "01.03.2024",
         0},
    };
    for (const ReadCase &c : cases) {
        trsets p;
        p.fileName = QStringLiteral("kept.htm");
        ReadPeriod(c.kind, c.controls, p);
        EXPECT_EQ(dmy(p.begDate), QString::fromLatin1(c.beg)) << c.name;
        EXPECT_EQ(dmy(p.endDate), QString::fromLatin1(c.end)) << c.name;
        EXPECT_EQ(p.number, c.number) << c.name;
        EXPECT_EQ(p.fileName, QStringLiteral("kept.htm")) << c.name;
    }
}

TEST(BulletinPeriods, ControlsFollowThePeriodAcrossKinds)
{
    struct Case
    {
        int day;
        int rmdec;
        int rydec;
    };
    // Day 1 is the first decade, 11 the second, 21 the third; days 30 and 31 stay in the third.
    for (const Case &c : {Case{1, 0, 7}, Case{11, 1, 8}, Case{21, 2, 9}, Case{31, 2, 9}}) {
        trsets p;
        p.begDate = EncodeDate(2024, 3, c.day);
        p.endDate = EncodeDate(2024, 3, 31);
        PeriodControls m;
        PeriodControlsFromPeriod(StyleMonthDecade, p, m);
        EXPECT_EQ(m.rnum, 2024);
        EXPECT_EQ(m.rmonth, 2);
        EXPECT_EQ(m.rmdec, c.rmdec) << c.day;
        PeriodControls y;
        PeriodControlsFromPeriod(StyleYearDecade, p, y);
        EXPECT_EQ(y.rydec, c.rydec) << c.day;
        // What is shown reads back as a whole decade.
        trsets back;
        ReadPeriod(StyleMonthDecade, m, back);
        int yy, mm, dd;
        DecodeDate(back.begDate, yy, mm, dd);
        EXPECT_EQ(dd, c.rmdec * 10 + 1);
    }
    trsets p;
    p.begDate = EncodeDate(2024, 5, 2);
    p.endDate = EncodeDate(2024, 5, 9);
    p.number = 12;
    PeriodControls a;
    PeriodControlsFromPeriod(StyleArbitrary, p, a);
    EXPECT_EQ(a.begDate, p.begDate);
    EXPECT_EQ(a.endDate, p.endDate);
    EXPECT_EQ(a.rnum, 12);
    PeriodControls d;
    PeriodControlsFromPeriod(StyleDaily, p, d);
    EXPECT_EQ(d.endDate, p.begDate);
    EXPECT_EQ(d.rnum, 12);
}

} // namespace
