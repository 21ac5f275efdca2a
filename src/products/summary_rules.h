#pragma once

#include "app/settings/reference_tables.h"

#include <QString>

class TField;

// Rules the summaries apply to single values.

// 1 for a P-type phase, 3 for LR/LRM, 4 for LQ/LQM, 2 for anything else; exact, case-sensitive.
int PhaseGroup(const QString &Phase);
// True unless ChanType is exactly "SP".
bool IsNotSP(const QString &ChanType);
// Appends "." when S has none: 7 becomes "7.".
void EnsureDecimalPoint(QString &S);
// Fills an empty S with the field's value rounded to Digits decimals, followed by a point when it has
// none; a null field, or with SkipZero a value within 1E-6 of zero, leaves S alone.
void FieldToSummaryNumber(QString &S, int Digits, const TField *Field, bool SkipZero);

// The factor of wave-table row Row for the wave type WaveType: the row's entry of that name (upper case),
// else its multiplier; EConvertError when the multiplier is no number.
double GetAmplitudeFactor(const TD2D &RefTable, const tmulss &Waves, int Row, const QString &WaveType);
// "JAN" to "DEC" for the months 1 to 12.
QString MonthAbbreviation(int Month);

// Value rounded to Digits decimals, halves to even.
double RoundDecimals(double Value, int Digits);
// The rounded value in the shortest form with "." (0.80 gives 0.8, 3.0 gives 3).
QString SummaryNumber(double Value, int Digits);
