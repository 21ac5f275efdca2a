#pragma once

#include "lib/datetime.h"
#include "lib/text_routines.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Number conversions never depend on the process locale: the decimal separator is the one of the
// format settings, '.' by default.

// Decimal integer: leading blanks and one sign allowed, nothing after the digits.
bool TryStrToInt(const QString &S, int &Value);
// The same, raising EConvertError with the conversion's own message on text that is no integer.
int StrToInt(const QString &S);

// "." and "," are both taken as the decimal separator. The strict forms raise EConvertError.
double StrToFloatAny(const QString &S);
double StrToFloatAnyFS(const QString &S, const TFormatSettings &FS);
bool TryStrToFloatAny(const QString &S, double &Value);
bool CheckNumStr(const QString &S, int *PInt = nullptr, double *PFloat = nullptr);
bool IsIntStr(const QString &S);
bool StrToIntInRange(const QString &S, int &N, int Min, int Max);
uint32_t HexToDWord(const QString &S);

// Routines over lines of text holding numbers or dates; lines that do not convert are skipped.
int FindIntLine(const QStringList &Lines, int Value);
void MinMaxIntLines(const QStringList &Lines, int &MaxV, int &MinV, int *MaxIdx = nullptr,
                    int *MinIdx = nullptr);
// MaxD and MinD receive the whole converted values; the comparison uses their dates only.
void MinMaxDateLines(const QStringList &Lines, TDateTime *MaxD, TDateTime *MinD, int *MaxIdx = nullptr,
                     int *MinIdx = nullptr, const TFormatSettings *FS = nullptr);

// Histograms of (Value, Count) pairs.
void CountValue(dptarray &Hist, int Value);
int MostFrequent(const dptarray &Hist, int *OthersSum = nullptr);
