#include "products/summary_rules.h"

#include "lib/dataset_api.h"
#include "lib/datetime.h"
#include "lib/number_routines.h"

#include <cmath>

int PhaseGroup(const QString &Phase)
{
    static const char *const pType[] = {"P",     "PN",    "PB",    "P*",   "PG",    "PLOC", "PKP", "PDIF",
                                        "PKIKP", "PKHKP", "PKPBC", "PKP1", "PKPAB", "PKP2", "UNK"};
    for (const char *name : pType)
        if (Phase == QLatin1String(name))
            return 1;
    if (Phase == QLatin1String("LR") || Phase == QLatin1String("LRM"))
        return 3;
    if (Phase == QLatin1String("LQ") || Phase == QLatin1String("LQM"))
        return 4;
    return 2;
}

bool IsNotSP(const QString &ChanType)
{
    return ChanType != QLatin1String("SP");
}

void EnsureDecimalPoint(QString &S)
{
    if (!S.contains(QLatin1Char('.')))
        S += QLatin1Char('.');
}

double RoundDecimals(double Value, int Digits)
{
    const double scale = std::pow(10.0, Digits);
    const double scaled = Value * scale;
    // Past 2^53 a double has no fraction left to round, and no integer holds what is beyond 2^63: such a
    // value (an impossible one) stays as it is, and so does one that is not a number.
    if (!(std::fabs(scaled) < 9007199254740992.0))
        return Value;
    return double(RoundHalfEven(scaled)) / scale;
}

QString SummaryNumber(double Value, int Digits)
{
    const double rounded = RoundDecimals(Value, Digits);
    // Keeps "-0" out of the text.
    return FloatToStr(rounded == 0 ? 0.0 : rounded);
}

void FieldToSummaryNumber(QString &S, int Digits, const TField *Field, bool SkipZero)
{
    if (!S.isEmpty() || !Field || Field->IsNull())
        return;
    const double value = Field->AsFloat();
    if (SkipZero && std::fabs(value) <= 1E-6)
        return;
    S = SummaryNumber(value, Digits);
    EnsureDecimalPoint(S);
}

double GetAmplitudeFactor(const TD2D &RefTable, const tmulss &Waves, int Row, const QString &WaveType)
{
    const QString type = WaveType.toUpper();
    if (Row < Waves.size())
        for (const tphchmul &m : Waves.at(Row))
            if (m.name == type)
                return m.factor;
    return StrToFloatAny(RefTable.GetCell(wcMultiplier, Row));
}

QString MonthAbbreviation(int Month)
{
    static const char *const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    return Month >= 1 && Month <= 12 ? QLatin1String(months[Month - 1]) : QString();
}
