#include "lib/coordinates.h"

#include "lib/datetime.h"
#include "lib/errors.h"

#include <cmath>
#include <cstdlib>

void DegToDMS(double Value, bool IsLon, int &Deg, int &Min, int &Sec, QChar &Hemi)
{
    // A degree count beyond the integer range (or NaN) has no degrees, minutes and seconds.
    if (!(std::fabs(Value) < 2147483648.0))
        throw EConvertError(QStringLiteral("'%1' is not a valid coordinate").arg(FloatToStr(Value)));
    double whole = 0;
    const double fraction = std::modf(Value, &whole);
    Deg = int(std::fabs(whole));
    const int seconds = int(std::llabs(RoundHalfEven(fraction * 3600)));
    Min = seconds / 60;
    Sec = seconds % 60;
    if (IsLon)
        Hemi = QLatin1Char(Value < 0 ? 'W' : 'E');
    else
        Hemi = QLatin1Char(Value < 0 ? 'S' : 'N');
}

double DMSToDeg(int Deg, int Min, int Sec, QChar Hemi)
{
    const double v = Deg + Min / 60.0 + Sec / 3600.0;
    const bool negative = Hemi == QLatin1Char('S') || Hemi == QLatin1Char('s') || Hemi == QLatin1Char('W') ||
                          Hemi == QLatin1Char('w');
    return negative ? -v : v;
}
