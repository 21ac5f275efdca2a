#include "lib/number_routines.h"

#include "lib/date_routines.h"
#include "lib/errors.h"

#include <QByteArrayView>
#include <QVarLengthArray>

#include <climits>
#include <cmath>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Sign, digits, at most one separator, an optional exponent; blanks around it are allowed. The text is
// checked here and only then handed to Qt's C-locale conversion, which is more lenient ("inf", "nan").
// Either separator is taken: the first of the one the settings do not use (at other) stands for theirs.
bool textToFloat(QStringView S, QChar sep, qsizetype other, double &value)
{
    qsizetype i = 0, end = S.size();
    while (i < end && S.at(i) == QLatin1Char(' '))
        ++i;
    while (end > i && S.at(end - 1) == QLatin1Char(' '))
        --end;

    // Every character kept is ASCII, so the text is built as bytes, without an allocation for most.
    QVarLengthArray<char, 64> ascii;
    const auto keep = [&](QChar c) { ascii.append(char(c.unicode())); };
    if (i < end && (S.at(i) == QLatin1Char('+') || S.at(i) == QLatin1Char('-')))
        keep(S.at(i++));
    int digits = 0;
    ascii.append('0');
    while (i < end && isDigit(S.at(i))) {
        keep(S.at(i++));
        ++digits;
    }
    if (i < end && (S.at(i) == sep || i == other)) {
        ++i;
        ascii.append('.');
        while (i < end && isDigit(S.at(i))) {
            keep(S.at(i++));
            ++digits;
        }
        ascii.append('0');
    }
    if (digits == 0)
        return false;
    if (i < end && (S.at(i) == QLatin1Char('e') || S.at(i) == QLatin1Char('E'))) {
        keep(S.at(i++));
        if (i < end && (S.at(i) == QLatin1Char('+') || S.at(i) == QLatin1Char('-')))
            keep(S.at(i++));
        int expDigits = 0;
        while (i < end && isDigit(S.at(i))) {
            keep(S.at(i++));
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != end)
        return false;

    bool ok = false;
    const double v = QByteArrayView(ascii.constData(), ascii.size()).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// Where the separator the settings do not use stands first: it counts as theirs.
qsizetype otherSeparator(const QString &S, QChar sep)
{
    return S.indexOf(sep != QLatin1Char('.') ? QLatin1Char('.') : QLatin1Char(','));
}

// The text as the settings' separator makes it, for a message.
QString unifySeparator(const QString &S, QChar sep)
{
    QString r = S;
    const qsizetype at = otherSeparator(S, sep);
    if (at >= 0)
        r[at] = sep;
    return r;
}

double strictFloat(const QString &S, QChar sep)
{
    double v = 0;
    if (!textToFloat(S, sep, otherSeparator(S, sep), v))
        throw EConvertError(NotNumberText(unifySeparator(S, sep)));
    return v;
}

} // namespace

bool TryStrToInt(const QString &S, int &Value)
{
    qsizetype i = 0;
    while (i < S.size() && S.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < S.size() && (S.at(i) == QLatin1Char('+') || S.at(i) == QLatin1Char('-')))
        negative = S.at(i++) == QLatin1Char('-');
    if (i >= S.size())
        return false;
    int64_t v = 0;
    for (; i < S.size(); ++i) {
        if (!isDigit(S.at(i)))
            return false;
        v = v * 10 + (S.at(i).unicode() - '0');
        if (v > int64_t(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        return false;
    Value = int(v);
    return true;
}

int StrToInt(const QString &S)
{
    int value = 0;
    if (!TryStrToInt(S, value))
        throw EConvertError(NotIntegerText(S));
    return value;
}

double StrToFloatAny(const QString &S)
{
    return strictFloat(S, DefaultFormatSettings().DecimalSeparator);
}

double StrToFloatAnyFS(const QString &S, const TFormatSettings &FS)
{
    return strictFloat(S, FS.DecimalSeparator);
}

bool TryStrToFloatAny(const QString &S, double &Value)
{
    const QChar sep = DefaultFormatSettings().DecimalSeparator;
    return textToFloat(S, sep, otherSeparator(S, sep), Value);
}

bool CheckNumStr(const QString &S, int *PInt, double *PFloat)
{
    if (!PInt && !PFloat) {
        double v = 0;
        return TryStrToFloatAny(S, v);
    }
    if (PInt && !TryStrToInt(S, *PInt))
        return false;
    return !PFloat || TryStrToFloatAny(S, *PFloat);
}

bool IsIntStr(const QString &S)
{
    qsizetype i = 0;
    bool signSeen = false;
    for (; i < S.size(); ++i) {
        const QChar c = S.at(i);
        if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
            if (signSeen)
                return false;
            signSeen = true;
        } else if (c != QLatin1Char(' ')) {
            break;
        }
    }
    const qsizetype digitsFrom = i;
    while (i < S.size() && isDigit(S.at(i)))
        ++i;
    if (i == digitsFrom)
        return false;
    while (i < S.size() && S.at(i) == QLatin1Char(' '))
        ++i;
    return i == S.size();
}

bool StrToIntInRange(const QString &S, int &N, int Min, int Max)
{
    return TryStrToInt(S, N) && N >= Min && N <= Max;
}

uint32_t HexToDWord(const QString &S)
{
    if (S.size() > 8)
        throw EConvertError(QStringLiteral("Too long hex string, does not match DWORD"));
    uint32_t v = 0;
    for (const QChar c : S) {
        const ushort u = c.unicode();
        int digit = -1;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        if (digit < 0)
            throw EConvertError(QStringLiteral("Wrong symbol in hex string (\"%1\")").arg(c));
        v = v << 4 | uint32_t(digit);
    }
    return v;
}

int FindIntLine(const QStringList &Lines, int Value)
{
    for (int i = 0; i < Lines.size(); ++i) {
        int v = 0;
        if (!Lines.at(i).isEmpty() && TryStrToInt(Lines.at(i), v) && v == Value)
            return i;
    }
    return -1;
}

void MinMaxIntLines(const QStringList &Lines, int &MaxV, int &MinV, int *MaxIdx, int *MinIdx)
{
    MaxV = INT_MIN;
    MinV = INT_MAX;
    int maxIdx = -1, minIdx = -1;
    for (int i = 0; i < Lines.size(); ++i) {
        int v = 0;
        if (Lines.at(i).isEmpty() || !TryStrToInt(Lines.at(i), v))
            continue;
        // A line holding the start value itself still gets its index.
        if (maxIdx < 0 || v > MaxV) {
            MaxV = v;
            maxIdx = i;
        }
        if (minIdx < 0 || v < MinV) {
            MinV = v;
            minIdx = i;
        }
    }
    if (MaxIdx)
        *MaxIdx = maxIdx;
    if (MinIdx)
        *MinIdx = minIdx;
}

void MinMaxDateLines(const QStringList &Lines, TDateTime *MaxD, TDateTime *MinD, int *MaxIdx, int *MinIdx,
                     const TFormatSettings *FS)
{
    TDateTime maxD = -1000.0, minD = 1800000.0;
    int maxIdx = -1, minIdx = -1;
    const TFormatSettings &fs = FS ? *FS : DefaultFormatSettings();
    for (int i = 0; i < Lines.size(); ++i) {
        TDateTime d = 0;
        if (Lines.at(i).isEmpty() || !TryStrToDateTime(Lines.at(i), d, fs))
            continue;
        if (std::trunc(d) > std::trunc(maxD)) {
            maxD = d;
            maxIdx = i;
        }
        if (std::trunc(d) < std::trunc(minD)) {
            minD = d;
            minIdx = i;
        }
    }
    if (MaxD)
        *MaxD = maxD;
    if (MinD)
        *MinD = minD;
    if (MaxIdx)
        *MaxIdx = maxIdx;
    if (MinIdx)
        *MinIdx = minIdx;
}

void CountValue(dptarray &Hist, int Value)
{
    for (auto &[value, count] : Hist) {
        if (value == Value) {
            ++count;
            return;
        }
    }
    Hist.append({Value, 1});
}

int MostFrequent(const dptarray &Hist, int *OthersSum)
{
    int best = -1, bestCount = 0, total = 0;
    for (int i = 0; i < Hist.size(); ++i) {
        const int count = Hist.at(i).second;
        total += count;
        if (count > bestCount) {
            best = i;
            bestCount = count;
        }
    }
    if (OthersSum && best >= 0)
        *OthersSum = total - bestCount;
    return best;
}
