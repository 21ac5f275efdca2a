#include "lib/date_routines.h"

#include "lib/number_routines.h"
#include "lib/text_routines.h"

#include <QDate>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

QString twoDigits(int v)
{
    return Zero2(QString::number(v));
}

bool unsignedPart(const QString &text, int &value)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    return true;
}

// Positions of day, month and year in the settings' short date format.
std::array<int, 3> dateOrder(const QString &format)
{
    const QString f = format.toLower();
    auto at = [&f](QChar c, int fallback) {
        const qsizetype p = f.indexOf(c);
        return p < 0 ? fallback : int(p);
    };
    std::array<std::pair<int, int>, 3> keyed{
        {{at(QLatin1Char('d'), 0), 0}, {at(QLatin1Char('m'), 1), 1}, {at(QLatin1Char('y'), 2), 2}}};
    std::stable_sort(keyed.begin(), keyed.end());
    return {keyed[0].second, keyed[1].second, keyed[2].second};
}

} // namespace

TDateTime StrToDateTimeDMY(const QString &S, bool *Error, TDateTime Default)
{
    if (Error)
        *Error = true;
    int day = 0, month = 0, year = 0, hour = 0, min = 0, sec = 0;
    QString rest = S;
    // Each part runs to the next separator in turn; a separator that is missing fails the whole text.
    auto take = [&rest](QChar sep, int &value) {
        const qsizetype p = rest.indexOf(sep);
        if (p < 0)
            return false;
        const bool ok = TryStrToInt(rest.left(p), value);
        rest = rest.mid(p + 1);
        return ok;
    };
    if (!take(QLatin1Char('.'), day) || !take(QLatin1Char('.'), month))
        return Default;
    const bool withTime = rest.contains(QLatin1Char(' '));
    if (withTime) {
        if (!take(QLatin1Char(' '), year) || !take(QLatin1Char(':'), hour) || !take(QLatin1Char(':'), min) ||
            !TryStrToInt(rest, sec))
            return Default;
    } else if (!TryStrToInt(rest, year)) {
        return Default;
    }
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, min, sec, 0, time))
        return Default;
    if (Error)
        *Error = false;
    return ComposeDateTime(date, time);
}

QString DateTimeToStrDMY(TDateTime D)
{
    int year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0, msec = 0;
    DecodeDateTime(D, year, month, day, hour, min, sec, msec);
    QString r;
    if (DateOf(D) > 0)
        r = twoDigits(day) + QLatin1Char('.') + twoDigits(month) + QLatin1Char('.') + twoDigits(year);
    if (hour != 0 || min != 0 || sec != 0) {
        if (!r.isEmpty())
            r += QLatin1Char(' ');
        r += twoDigits(hour) + QLatin1Char(':') + twoDigits(min) + QLatin1Char(':') + twoDigits(sec);
    }
    return r.isEmpty() ? QStringLiteral("30.12.1899") : r;
}

void SplitDateTimeStr(uint16_t Year, uint16_t Month, uint16_t Day, uint16_t Hour, uint16_t Min, uint16_t Sec,
                      uint16_t MSec, QString &YearS, QString &MonthS, QString &DayS, QString &HourS,
                      QString &MinS, QString &SecS, QString &SecFracS, bool DotIfNoTenths)
{
    YearS = PadStr(QString::number(Year), QLatin1Char('0'), 4, true);
    MonthS = twoDigits(Month);
    DayS = twoDigits(Day);
    HourS = twoDigits(Hour);
    MinS = twoDigits(Min);
    SecS = twoDigits(Sec);
    const int tenths = MSec / 100;
    if (tenths != 0)
        SecFracS = SecS + QLatin1Char('.') + QString::number(tenths);
    else if (DotIfNoTenths)
        SecFracS = SecS + QLatin1Char('.');
    else
        SecFracS = SecS;
}

void DecadeDays(uint16_t Decade, uint16_t Year, uint16_t Month, uint16_t &FirstDay, uint16_t &LastDay)
{
    switch (Decade) {
    case 1:
        FirstDay = 1;
        LastDay = 10;
        break;
    case 2:
        FirstDay = 11;
        LastDay = 20;
        break;
    default:
        FirstDay = 21;
        LastDay = uint16_t(DaysInMonth(Year, Month));
        break;
    }
}

int StartupYear()
{
    static const int year = QDate::currentDate().year();
    return year;
}

bool TryStrToDateTime(const QString &S, TDateTime &Value, const TFormatSettings &FS)
{
    const QString text = TrimBlanks(S);
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    const QString datePart = blank < 0 ? text : text.left(blank);
    const QString timePart = blank < 0 ? QString() : TrimBlanks(text.mid(blank + 1));

    const QStringList parts = datePart.split(FS.DateSeparator);
    if (parts.size() != 3)
        return false;
    const std::array<int, 3> order = dateOrder(FS.ShortDateFormat);
    int dmy[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i)
        if (!unsignedPart(parts.at(i), dmy[order[i]]))
            return false;
    int year = dmy[2];
    if (parts.at(order[0] == 2 ? 0 : order[1] == 2 ? 1 : 2).size() <= 2) {
        const int reference = FS.WindowYear > 0 ? FS.WindowYear : StartupYear();
        const int window = FS.TwoDigitYearCenturyWindow;
        const int windowStart = window > 0 ? reference - window : reference / 100 * 100;
        year += windowStart / 100 * 100;
        if (window > 0 && year < windowStart)
            year += 100;
    }
    TDateTime date = 0;
    if (!TryEncodeDate(year, dmy[1], dmy[0], date))
        return false;

    TDateTime time = 0;
    if (!timePart.isEmpty()) {
        const QStringList t = timePart.split(FS.TimeSeparator);
        int hms[3] = {0, 0, 0};
        if (t.size() < 2 || t.size() > 3)
            return false;
        for (int i = 0; i < t.size(); ++i)
            if (!unsignedPart(t.at(i), hms[i]))
                return false;
        if (!TryEncodeTime(hms[0], hms[1], hms[2], 0, time))
            return false;
    }
    Value = ComposeDateTime(date, time);
    return true;
}
