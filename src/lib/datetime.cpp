#include "lib/datetime.h"

#include "lib/errors.h"

#include <QDate>
#include <QTime>

#include <cmath>

namespace {

constexpr int kDaysBeforeMonth[2][13] = {{0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
                                         {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};

const char *const kShortMonths[12] = {"янв", "фев", "мар", "апр", "май", "июн",
                                      "июл", "авг", "сен", "окт", "ноя", "дек"};
const char *const kLongMonths[12] = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                                     "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};

// Milliseconds since 30.12.1899 split the system's way: whole days truncated toward zero, the time of
// day taken from the absolute remainder. False, with zeros, for a value that is no valid date-time.
bool splitStamp(TDateTime value, int64_t &days, int64_t &msOfDay)
{
    days = msOfDay = 0;
    if (!IsValidDateTime(value))
        return false;
    const int64_t total = RoundHalfEven(value * MSecsPerDay);
    days = total / MSecsPerDay;
    msOfDay = (total < 0 ? -total : total) % MSecsPerDay;
    return true;
}

void civilFromDayNumber(int64_t dayNumber, int &year, int &month, int &day)
{
    // dayNumber: 1 is 01.01.0001
    if (dayNumber <= 0 || dayNumber > 3652059) {
        year = month = day = 0;
        return;
    }
    int64_t d = dayNumber - 1;
    const int64_t q400 = d / 146097;
    d %= 146097;
    int64_t q100 = d / 36524;
    if (q100 == 4)
        q100 = 3;
    d -= q100 * 36524;
    const int64_t q4 = d / 1461;
    d %= 1461;
    int64_t q1 = d / 365;
    if (q1 == 4)
        q1 = 3;
    d -= q1 * 365;
    year = int(q400 * 400 + q100 * 100 + q4 * 4 + q1 + 1);
    const int leap = IsLeapYear(year) ? 1 : 0;
    month = 12;
    while (month > 1 && kDaysBeforeMonth[leap][month] > d)
        --month;
    day = int(d - kDaysBeforeMonth[leap][month] + 1);
}

QString twoDigits(int v)
{
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

} // namespace

const TFormatSettings &DefaultFormatSettings()
{
    static const TFormatSettings fs;
    return fs;
}

bool TryRoundHalfEven(double value, int64_t &result)
{
    // The default floating-point rounding mode rounds halves to even.
    const double rounded = std::nearbyint(value);
    // 2^63 itself is out of range; the comparisons are false for NaN.
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        return false;
    result = static_cast<int64_t>(rounded);
    return true;
}

int64_t RoundHalfEven(double value)
{
    int64_t result = 0;
    if (!TryRoundHalfEven(value, result))
        throw EConvertError(NotIntegerText(FloatToStr(value)));
    return result;
}

bool IsValidDateTime(TDateTime value)
{
    // Whole days count toward zero, so 01.01.0001 12:00 is -693593.5; the millisecond rounding must
    // not carry the last millisecond of 9999 into the year 10000.
    constexpr double before = -double(DateDelta);
    constexpr double end = 2958466.0 - 0.5 / MSecsPerDay;
    return value > before && value < end;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kLen[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime &result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    const int64_t y = year - 1;
    const int64_t days =
        y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[IsLeapYear(year)][month] + day;
    result = double(days - DateDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r = 0;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError(QStringLiteral("Неверная дата: %1.%2.%3").arg(day).arg(month).arg(year));
    return r;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime &result)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    result = double(hour * 3600000 + min * 60000 + sec * 1000 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime r = 0;
    if (!TryEncodeTime(hour, min, sec, msec, r))
        throw EConvertError(QStringLiteral("Неверное время: %1:%2:%3")
                                .arg(hour)
                                .arg(min, 2, 10, QLatin1Char('0'))
                                .arg(sec, 2, 10, QLatin1Char('0')));
    return r;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time)
{
    return date < 0 ? date - time : date + time;
}

void DecodeDate(TDateTime value, int &year, int &month, int &day)
{
    int64_t days = 0, ms = 0;
    if (!splitStamp(value, days, ms)) {
        year = month = day = 0;
        return;
    }
    civilFromDayNumber(days + DateDelta, year, month, day);
}

void DecodeTime(TDateTime value, int &hour, int &min, int &sec, int &msec)
{
    int64_t days = 0, ms = 0;
    splitStamp(value, days, ms);
    hour = int(ms / 3600000);
    min = int(ms / 60000 % 60);
    sec = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

void DecodeDateTime(TDateTime value, int &year, int &month, int &day, int &hour, int &min, int &sec,
                    int &msec)
{
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, min, sec, msec);
}

TDateTime DateOf(TDateTime value)
{
    int64_t days = 0, ms = 0;
    splitStamp(value, days, ms); // zeros for an invalid value
    return double(days);
}

TDateTime TimeOf(TDateTime value)
{
    int64_t days = 0, ms = 0;
    splitStamp(value, days, ms);
    return double(ms) / MSecsPerDay;
}

int DayOfTheYear(TDateTime value)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(value, y, m, d);
    if (y == 0)
        return 0;
    return kDaysBeforeMonth[IsLeapYear(y)][m] + d;
}

TDateTime FromQDateTime(const QDateTime &dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(d.year(), d.month(), d.day(), date))
        return 0;
    TryEncodeTime(t.hour(), t.minute(), t.second(), t.msec(), time);
    return ComposeDateTime(date, time);
}

QDateTime ToQDateTime(TDateTime value)
{
    int y, m, d, h, n, s, ms;
    DecodeDateTime(value, y, m, d, h, n, s, ms);
    return QDateTime(QDate(y, m, d), QTime(h, n, s, ms));
}

TDateTime Now()
{
    return FromQDateTime(QDateTime::currentDateTime());
}
TDateTime Today()
{
    return DateOf(Now());
}

namespace {

// nested: formatting a settings format on behalf of a code, whose own such codes stay text.
QString formatDateTime(const QString &format, TDateTime value, const TFormatSettings &fs, bool nested)
{
    int y, mo, d, h, n, s, ms;
    DecodeDateTime(value, y, mo, d, h, n, s, ms);

    QString out;
    bool lastWasHour = false;
    const int len = format.size();
    auto runOf = [&](int i, QChar c) {
        int j = i;
        while (j < len && format[j].toLower() == c)
            ++j;
        return j - i;
    };
    for (int i = 0; i < len;) {
        const QChar c = format[i];
        const QChar lc = c.toLower();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const int end = format.indexOf(c, i + 1);
            const int stop = end < 0 ? len : end;
            out += format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == QLatin1Char('/')) {
            out += fs.DateSeparator;
            ++i;
            continue;
        }
        if (c == QLatin1Char(':')) {
            out += fs.TimeSeparator;
            ++i;
            continue;
        }
        const int run = runOf(i, lc);
        if (lc == QLatin1Char('d')) {
            if (run >= 5 && !nested) {
                out += formatDateTime(fs.ShortDateFormat, value, fs, true);
                i += 5;
            } else {
                out += run == 1 ? QString::number(d) : twoDigits(d);
                i += qMin(run, 2);
            }
            lastWasHour = false;
        } else if (lc == QLatin1Char('m')) {
            const int take = qMin(run, 4);
            if (lastWasHour && take <= 2) {
                out += take == 1 ? QString::number(n) : twoDigits(n);
            } else if (take == 1) {
                out += QString::number(mo);
            } else if (take == 2) {
                out += twoDigits(mo);
            } else if (mo >= 1) {
                out += QString::fromUtf8(take == 3 ? kShortMonths[mo - 1] : kLongMonths[mo - 1]);
            }
            i += take;
            lastWasHour = false;
        } else if (lc == QLatin1Char('y')) {
            out += run >= 3 ? QString::number(y).rightJustified(4, QLatin1Char('0')) : twoDigits(y % 100);
            i += run;
            lastWasHour = false;
        } else if (lc == QLatin1Char('h')) {
            out += run == 1 ? QString::number(h) : twoDigits(h);
            i += qMin(run, 2);
            lastWasHour = true;
        } else if (lc == QLatin1Char('n')) {
            out += run == 1 ? QString::number(n) : twoDigits(n);
            i += qMin(run, 2);
            lastWasHour = false;
        } else if (lc == QLatin1Char('s')) {
            out += run == 1 ? QString::number(s) : twoDigits(s);
            i += qMin(run, 2);
            lastWasHour = false;
        } else if (lc == QLatin1Char('z')) {
            out += run >= 3 ? QString::number(ms).rightJustified(3, QLatin1Char('0')) : QString::number(ms);
            i += run >= 3 ? 3 : 1;
            lastWasHour = false;
        } else if (lc == QLatin1Char('t') && !nested) {
            out += formatDateTime(run >= 2 ? fs.LongTimeFormat : fs.ShortTimeFormat, value, fs, true);
            i += qMin(run, 2);
            lastWasHour = false;
        } else if (lc == QLatin1Char('c') && run == 1 && !nested) {
            out += formatDateTime(fs.ShortDateFormat, value, fs, true);
            if (h != 0 || n != 0 || s != 0 || ms != 0)
                out += QLatin1Char(' ') + formatDateTime(fs.LongTimeFormat, value, fs, true);
            ++i;
            lastWasHour = false;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace

QString FormatDateTime(const QString &format, TDateTime value, const TFormatSettings &fs)
{
    return formatDateTime(format, value, fs, false);
}

QString FloatToStr(double value, QChar decimalSeparator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    // QString::number never looks at the process locale, which a QApplication sets from the environment.
    QString text = QString::number(value, 'g', 15);
    const int e = text.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        QString mantissa = text.left(e);
        const QChar sign = text[e + 1];
        QString digits = text.mid(e + 2);
        while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
            digits.remove(0, 1);
        text = mantissa + QLatin1Char('E') + (sign == QLatin1Char('-') ? QStringLiteral("-") : QString()) +
               digits;
    }
    if (decimalSeparator != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalSeparator);
    return text;
}
