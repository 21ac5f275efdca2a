#include "lib/coordinates.h"

#include "lib/datetime.h"
#include "lib/errors.h"
#include "lib/number_routines.h"

#include <cmath>
#include <cstdlib>

void DegToDMS(double Value, bool IsLon, int &Deg, int &Min, int &Sec, QChar &Hemi)
{
    // A degree count beyond the integer range (or NaN) has no degrees, minutes and seconds.
    if (!(std::fabs(Value) < 2147483648.0))
        throw EConvertError(QStringLiteral("Координата вне допустимых пределов: %1").arg(FloatToStr(Value)));
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

QString DegToStationText(double Value, bool IsLon)
{
    int deg = 0, min = 0, sec = 0;
    QChar hemi;
    DegToDMS(Value, IsLon, deg, min, sec, hemi);
    return QString::number(deg).leftJustified(IsLon ? 3 : 2) + QString::number(min).leftJustified(2) +
           QString::number(sec).leftJustified(2) + hemi;
}

bool StationTextToDeg(const QString &Text, bool IsLon, double &Value)
{
    const int degWidth = IsLon ? 3 : 2;
    if (Text.size() != degWidth + 5)
        return false;
    const auto part = [&](int from, int width) { return StrToInt(Text.mid(from, width).trimmed()); };
    const int deg = part(0, degWidth);
    const int min = part(degWidth, 2);
    const int sec = part(degWidth + 2, 2);
    Value = DMSToDeg(deg, min, sec, Text.at(degWidth + 4));
    return true;
}
