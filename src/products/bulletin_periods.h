#pragma once

#include "lib/datetime.h"

#include <QString>

// The report period of a report window: whole days, the bulletin number and the last name a copy was
// saved under.
struct trsets
{
    TDateTime begDate = 0;
    TDateTime endDate = 0;
    int number = 0;
    QString fileName;
};

// Period kinds, the items of the window's "Вид отчёта" combo.
enum ReportStyle : int { StyleDaily = 0, StyleMonthDecade = 1, StyleYearDecade = 2, StyleArbitrary = 3 };

// What the period controls hold: the two date pickers, the number (the year in the decade kinds), the
// month index (0..11), the decade-of-month index (0..2) and the decade of the year (1..36).
struct PeriodControls
{
    TDateTime begDate = 0;
    TDateTime endDate = 0;
    int rnum = 0;
    int rmonth = 0;
    int rmdec = 0;
    int rydec = 1;
};

// The controls of Kind as they are filled from the period. A begin date late in a month gives a decade
// index beyond the lists; it is held to the last decade so that the period read back is a whole one.
void PeriodControlsFromPeriod(int Kind, const trsets &Period, PeriodControls &Controls);
// The period the controls of Kind stand for; the file name is kept.
void ReadPeriod(int Kind, const PeriodControls &Controls, trsets &Period);
