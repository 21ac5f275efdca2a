#include "products/bulletin_periods.h"

#include "lib/date_routines.h"

#include <algorithm>

void PeriodControlsFromPeriod(int Kind, const trsets &Period, PeriodControls &Controls)
{
    int y, m, d;
    DecodeDate(Period.begDate, y, m, d);
    switch (Kind) {
    case StyleDaily:
        Controls.endDate = Period.begDate;
        Controls.rnum = Period.number;
        break;
    case StyleMonthDecade:
        Controls.rnum = y;
        Controls.rmonth = m - 1;
        Controls.rmdec = std::clamp(d / 10, 0, 2);
        break;
    case StyleYearDecade:
        Controls.rnum = y;
        Controls.rydec = std::clamp(std::min(d / 10, 2) + (m - 1) * 3 + 1, 1, 36);
        break;
    default:
        Controls.begDate = Period.begDate;
        Controls.endDate = Period.endDate;
        Controls.rnum = Period.number;
        break;
    }
}

namespace {

void readDecade(int year, int month, int decade, trsets &period)
{
    uint16_t first = 0, last = 0;
    DecadeDays(uint16_t(decade), uint16_t(year), uint16_t(month), first, last);
    period.begDate = EncodeDate(year, month, first);
    period.endDate = EncodeDate(year, month, last);
}

} // namespace

void ReadPeriod(int Kind, const PeriodControls &Controls, trsets &Period)
{
    switch (Kind) {
    case StyleDaily:
        Period.begDate = DateOf(Controls.endDate);
        Period.endDate = Period.begDate;
        Period.number = Controls.rnum;
        break;
    case StyleMonthDecade:
        readDecade(Controls.rnum, Controls.rmonth + 1, Controls.rmdec + 1, Period);
        Period.number = Controls.rmonth * 3 + Controls.rmdec + 1;
        break;
    case StyleYearDecade: {
        const int d = std::clamp(Controls.rydec, 1, 36);
        readDecade(Controls.rnum, (d - 1) / 3 + 1, (d - 1) % 3 + 1, Period);
        Period.number = Controls.rydec;
        break;
    }
    default:
        Period.begDate = DateOf(Controls.begDate);
        Period.endDate = DateOf(Controls.endDate);
        Period.number = Controls.rnum;
        break;
    }
}
