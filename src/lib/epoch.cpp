#include "lib/epoch.h"

#include "lib/datetime.h"
#include "lib/errors.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double kSecondsBeforeEpoch = 62135596800.0; // 0001-01-01 to 1970-01-01: 719162 days
constexpr int64_t kDaysBeforeEpoch = 719162;
constexpr double kSecondsBeforeYear10000 = 3652059.0 * 86400.0;
constexpr int64_t kDaysPer400Years = 146097;
constexpr int64_t kDaysPer100Years = 36524;
constexpr int64_t kDaysPer4Years = 1461;
constexpr int64_t kDaysPerYear = 365;
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

} // namespace

const std::array<QStringView, 12> GenitiveMonthNames = {
    u"января", u"февраля", u"марта",    u"апреля",  u"мая",    u"июня",
    u"июля",   u"августа", u"сентября", u"октября", u"ноября", u"декабря",
};

bool DoyToMonthDay(qint16 DayOfYear, quint16 Year, quint16 &Month, quint16 &Day)
{
    Month = 0;
    Day = 0;
    if (DayOfYear < 1 || DayOfYear > (IsLeapYear(Year) ? 366 : 365))
        return false;
    int month = 1;
    int rest = DayOfYear;
    while (rest > DaysInMonth(Year, month)) {
        rest -= DaysInMonth(Year, month);
        ++month;
    }
    Month = quint16(month);
    Day = quint16(rest);
    return true;
}

bool EpochToParts(double Epoch, quint16 &Year, quint16 &Month, quint16 &Day, quint16 &Hour, quint16 &Min,
                  double &Sec)
{
    Year = Month = Day = Hour = Min = 0;
    Sec = 0;
    const double t = Epoch + kSecondsBeforeEpoch;
    // Also false for NaN; outside this range the 64-bit conversion below would be undefined.
    if (!(t >= 0.0 && t < kSecondsBeforeYear10000))
        return false;
    const double whole = std::trunc(t);
    const int64_t n = static_cast<int64_t>(whole);
    const int64_t days = n / 86400;
    const int64_t s = n % 86400;
    Hour = quint16(s / 3600);
    Min = quint16(s % 3600 / 60);
    Sec = double(s % 60) + (t - whole);

    const int64_t q400 = days / kDaysPer400Years;
    int64_t r = days % kDaysPer400Years;
    const int64_t q100 = r == kDaysPer400Years - 1 ? 3 : r / kDaysPer100Years;
    r -= kDaysPer100Years * q100;
    const int64_t q4 = r / kDaysPer4Years;
    r %= kDaysPer4Years;
    int64_t q1 = r / kDaysPerYear;
    if (q1 == 4)
        q1 = 3;
    r -= kDaysPerYear * q1;
    Year = quint16(400 * q400 + 100 * q100 + 4 * q4 + q1 + 1);
    return DoyToMonthDay(qint16(r + 1), Year, Month, Day);
}

bool etoh(double Epoch, quint16 &Year, quint16 &Month, quint16 &Day, quint16 &Hour, quint16 &Min,
          quint16 &Sec, quint16 &Frac, bool UseMSec, double *SecOut)
{
    double seconds;
    if (!EpochToParts(Epoch, Year, Month, Day, Hour, Min, seconds)) {
        Year = Month = Day = Hour = Min = Sec = Frac = 0;
        if (SecOut)
            *SecOut = 0;
        return false;
    }
    const int scale = UseMSec ? 1000 : 10;
    const double whole = std::trunc(seconds);
    Sec = quint16(whole);
    int64_t frac = RoundHalfEven((seconds - whole) * scale);
    if (frac >= scale) {
        ++Sec;
        frac = 0;
    }
    Frac = quint16(frac);

    if (Sec > 59) {
        Sec = 0;
        ++Min;
    }
    if (Min > 59) {
        Min = 0;
        ++Hour;
    }
    if (Hour > 23) {
        Hour = 0;
        ++Day;
    }
    if (Day > DaysInMonth(Year, Month)) {
        Day = 1;
        ++Month;
    }
    if (Month > 12) {
        Month = 1;
        ++Year;
    }
    if (SecOut)
        *SecOut = Sec + double(Frac) / scale;
    return true;
}

double htoe(quint16 Year, quint16 Month, quint16 Day, quint16 Hour, quint16 Min, double Sec)
{
    if (Month < 1 || Month > 12)
        throw EConvertError(QStringLiteral("Неверный номер месяца: %1").arg(Month));
    const int64_t year = Year;
    int64_t days = 365 * (year - 1) + year / 4 - year / 100 + year / 400 + kDaysBeforeMonth[Month - 1] + Day -
                   1 - kDaysBeforeEpoch;
    // The leap day counted above has not come yet in January and February.
    if (Month <= 2 && IsLeapYear(Year))
        --days;
    const int64_t seconds = days * 86400 + int64_t(Hour) * 3600 + int64_t(Min) * 60;
    return double(seconds) + Sec;
}
