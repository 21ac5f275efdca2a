#pragma once

#include "lib/datetime.h"

#include <QString>

#include <cstdint>

// The system's own date text "dd.mm.yyyy hh:nn:ss", independent of any settings; Default and *Error
// (true) on text that does not read as a valid date and time.
TDateTime StrToDateTimeDMY(const QString &S, bool *Error, TDateTime Default);
QString DateTimeToStrDMY(TDateTime D);

void SplitDateTimeStr(uint16_t Year, uint16_t Month, uint16_t Day, uint16_t Hour, uint16_t Min, uint16_t Sec,
                      uint16_t MSec, QString &YearS, QString &MonthS, QString &DayS, QString &HourS,
                      QString &MinS, QString &SecS, QString &SecFracS, bool DotIfNoTenths);

// Bulletin decades: 1 is days 1..10, 2 is 11..20, anything else 21 to the end of the month.
void DecadeDays(uint16_t Decade, uint16_t Year, uint16_t Month, uint16_t &FirstDay, uint16_t &LastDay);

// The current year as the program found it on first asking, at start-up; it does not change while the
// program runs.
int StartupYear();

// A date in the order of FS.ShortDateFormat with FS.DateSeparator, optionally followed by blanks and a
// time h:n[:s] with FS.TimeSeparator. A one- or two-digit year falls in FS's century window, counted
// from FS.WindowYear (StartupYear() when 0), never from today's date.
bool TryStrToDateTime(const QString &S, TDateTime &Value,
                      const TFormatSettings &FS = DefaultFormatSettings());
