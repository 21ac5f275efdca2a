#pragma once

#include <QChar>
#include <QString>

// Degrees, minutes and seconds of a latitude or longitude. The seconds are rounded without a carry
// into the degrees, so Min can come out as 60. EConvertError for NaN, an infinity or degrees beyond the
// integer range.
void DegToDMS(double Value, bool IsLon, int &Deg, int &Min, int &Sec, QChar &Hemi);
// Negative in the southern and western hemispheres ("S", "s", "W", "w").
double DMSToDeg(int Deg, int Min, int Sec, QChar Hemi);

// Coordinates as system/Stations.ini keeps them: "fi" in 7 characters (degrees 2, minutes 2, seconds 2,
// each left-aligned and blank-filled, then N or S), "lamb" in 8 (degrees in 3, then E or W).
QString DegToStationText(double Value, bool IsLon);
// False, Value untouched, for a text of another length; EConvertError when a part is no integer.
bool StationTextToDeg(const QString &Text, bool IsLon, double &Value);
