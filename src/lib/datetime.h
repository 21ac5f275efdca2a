#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

// The date-time value of the system: days since 30.12.1899, the fraction being the time of day. A
// negative value counts its whole days back from that date while its fraction still runs forward
// (-1.25 is 29.12.1899 06:00).
using TDateTime = double;

constexpr int MSecsPerDay = 86400000;
constexpr int DateDelta = 693594; // days from 01.01.0001 to 30.12.1899

// Separators and short formats that text conversions use; the default is the system's own fixed form.
struct TFormatSettings
{
    QChar DecimalSeparator = QLatin1Char('.');
    QChar DateSeparator = QLatin1Char('.');
    QChar TimeSeparator = QLatin1Char(':');
    QString ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    QString ShortTimeFormat = QStringLiteral("hh:nn:ss");
    QString LongTimeFormat = QStringLiteral("hh:nn:ss");
    // Two-digit years read as the century that starts this many years before WindowYear; 0 keeps them
    // in WindowYear's century.
    int TwoDigitYearCenturyWindow = 50;
    // The year the window is counted from: the one fixed at program start (0 stands for StartupYear()),
    // so a date never reads differently as the clock moves on.
    int WindowYear = 0;
};

const TFormatSettings &DefaultFormatSettings();

// Round to nearest with halves to even, as the system's Round does. EConvertError for NaN, an infinity
// or a value beyond the 64-bit range; TryRoundHalfEven reports those by its result instead.
int64_t RoundHalfEven(double value);
bool TryRoundHalfEven(double value, int64_t &result);

// Whether a value lies between 01.01.0001 00:00 and 31.12.9999 23:59:59.999, the dates the value can
// be decoded into; false for NaN and infinities.
bool IsValidDateTime(TDateTime value);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

bool TryEncodeDate(int year, int month, int day, TDateTime &result);
// EConvertError "Неверная дата: 31.2.2026" on an invalid date (and the same for a time).
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime &result);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
// Date plus time of day, the time running forward also for dates before 30.12.1899.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Fields of a value rounded to the millisecond first; a value that is no valid date-time decodes as zeros.
void DecodeDate(TDateTime value, int &year, int &month, int &day);
void DecodeTime(TDateTime value, int &hour, int &min, int &sec, int &msec);
void DecodeDateTime(TDateTime value, int &year, int &month, int &day, int &hour, int &min, int &sec,
                    int &msec);

TDateTime DateOf(TDateTime value); // whole days; 0 for a value that is no valid date-time
TDateTime TimeOf(TDateTime value); // time of day as a positive fraction
int DayOfTheYear(TDateTime value);

TDateTime Now();
TDateTime Today();
TDateTime FromQDateTime(const QDateTime &dt);
QDateTime ToQDateTime(TDateTime value);

// Format codes: d dd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz, "ddddd" (short date), "t"/"tt" (short
// and long time), "c" (short date and long time, the time left out at midnight), '/' and ':' for the
// date and time separators, text in single or double quotes as it stands. An "m" right after an "h"
// means minutes. The codes that stand for a settings format expand one level deep: inside such an
// expansion they are plain text, so a separator or format from a file cannot make the expansion endless.
QString FormatDateTime(const QString &format, TDateTime value,
                       const TFormatSettings &fs = DefaultFormatSettings());

// A number as the system writes it: up to 15 significant digits, no trailing zeros, exponent form
// ("1E15", "1.5E-7") outside 0.0001 <= |v| < 1E15. Never depends on the process locale.
QString FloatToStr(double value, QChar decimalSeparator = QLatin1Char('.'));
