#pragma once

#include <QStringView>
#include <QtGlobal>

#include <array>

// Epoch seconds of the ORX database: seconds since 1970-01-01 00:00:00 on the proleptic Gregorian
// calendar, no time zone, no leap seconds. Converted with integer day arithmetic, never through
// TDateTime, whose epoch and precision differ.

// Month names in the genitive case, January at index 0 ("5 марта 2008").
extern const std::array<QStringView, 12> GenitiveMonthNames;

// Calendar fields of an epoch; Sec holds the whole seconds plus the fraction. False, with every field
// 0, when the epoch is not finite or falls outside the years 1 to 9999.
bool EpochToParts(double Epoch, quint16 &Year, quint16 &Month, quint16 &Day, quint16 &Hour, quint16 &Min,
                  double &Sec);

// Calendar fields with whole seconds and the fraction rounded to milliseconds (UseMSec) or tenths; a
// fraction that rounds up to a whole second carries up to the year. SecOut, when given, receives Sec +
// Frac/1000 (or /10). False, with every field 0, where EpochToParts fails.
bool etoh(double Epoch, quint16 &Year, quint16 &Month, quint16 &Day, quint16 &Hour, quint16 &Min,
          quint16 &Sec, quint16 &Frac, bool UseMSec, double *SecOut = nullptr);

// Epoch seconds of a calendar time. Days, hours and minutes beyond their ranges simply add up; a month
// outside 1..12 raises EConvertError.
double htoe(quint16 Year, quint16 Month, quint16 Day, quint16 Hour, quint16 Min, double Sec);

// Month and day of a 1-based day of the year; false, with both 0, outside 1..365 (366 in a leap year).
bool DoyToMonthDay(qint16 DayOfYear, quint16 Year, quint16 &Month, quint16 &Day);
