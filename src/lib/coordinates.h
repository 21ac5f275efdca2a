#pragma once

#include <QChar>

// Degrees, minutes and seconds of a latitude or longitude. The seconds are rounded without a carry
// into the degrees, so Min can come out as 60. EConvertError for NaN, an infinity or degrees beyond the
// integer range.
void DegToDMS(double Value, bool IsLon, int &Deg, int &Min, int &Sec, QChar &Hemi);
// Negative in the southern and western hemispheres ("S", "s", "W", "w").
double DMSToDeg(int Deg, int Min, int Sec, QChar Hemi);
