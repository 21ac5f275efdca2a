#include "lib/paradox_fields.h"

#include "lib/codec.h"
#include "lib/codepage_keys.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int expectedSize(uint8_t type)
{
    switch (type) {
    case pxDate:
    case pxLong:
        return 4;
    case pxShort:
        return 2;
    case pxMoney:
    case pxNumber:
        return 8;
    default:
        return 0;
    }
}

// Paradox keeps numbers big-endian so that their bytes sort as the values do: integers with the sign
// bit flipped, floating point values with the sign bit set when positive and every bit inverted when
// negative. Flipping the sign bit alone, as integers need, would turn -1.25 into -3.5.
void decodeNumberBytes(uint8_t type, unsigned char *b, int size)
{
    const bool floating = type == pxMoney || type == pxNumber;
    if (floating && !(b[0] & 0x80)) {
        for (int i = 0; i < size; ++i)
            b[i] = static_cast<unsigned char>(~b[i]);
    } else {
        b[0] ^= 0x80;
    }
    std::reverse(b, b + size);
}

} // namespace

QString PdxDaysToStr(int Days, const TFormatSettings &FS)
{
    return FormatDateTime(QStringLiteral("ddddd"), TDateTime(int64_t(Days) - DateDelta), FS);
}

bool ReadPdxField(QIODevice &F, const TFullFldRec &Fld, uint16_t CodePage, QString &Value,
                  const TFormatSettings &FS, QByteArray *Raw)
{
    if (Fld.FldType < pxAlpha || Fld.FldType > pxNumber)
        return false;
    const int size = Fld.FldSize;
    if (Fld.FldType != pxAlpha && size != expectedSize(Fld.FldType))
        return false;
    QByteArray bytes(size, Qt::Uninitialized);
    if (size > 0 && F.read(bytes.data(), size) != size)
        return false;

    if (Fld.FldType == pxAlpha) {
        const qsizetype zero = bytes.indexOf('\0');
        Value = fromCp1251(zero < 0 ? bytes : bytes.left(zero));
        if (CodePage == 866)
            Cp866ToCp1251(Value);
        if (Raw) {
            *Raw = toCp1251(Value);
            Raw->resize(size, '\0');
        }
        return true;
    }

    auto *b = reinterpret_cast<unsigned char *>(bytes.data());
    const bool null = std::all_of(b, b + size, [](unsigned char c) { return c == 0; });
    if (!null)
        decodeNumberBytes(Fld.FldType, b, size);
    else
        b[size - 1] = 0x80; // the decoded form of the all-zero field, as callers of Raw expect it
    if (Raw)
        *Raw = bytes;
    if (null) {
        Value.clear();
        return true;
    }

    switch (Fld.FldType) {
    case pxDate:
    case pxLong: {
        int32_t v;
        std::memcpy(&v, b, 4);
        // A day outside the calendar is no date: the number the field holds is what a message can quote.
        if (Fld.FldType == pxDate && IsValidDateTime(TDateTime(int64_t(v) - DateDelta)))
            Value = PdxDaysToStr(v, FS);
        else
            Value = QString::number(v);
        break;
    }
    case pxShort: {
        int16_t v;
        std::memcpy(&v, b, 2);
        Value = QString::number(v);
        break;
    }
    default: {
        double v;
        std::memcpy(&v, b, 8);
        // Money is shown in whole kopecks, halves to even; nearbyint keeps huge values out of integers.
        if (Fld.FldType == pxMoney && std::isfinite(v))
            v = std::nearbyint(v * 100) / 100;
        Value = FloatToStr(v, FS.DecimalSeparator);
        break;
    }
    }
    return true;
}

bool ReadZStrFromHandle(QIODevice &F, QString &S, int MaxLen, bool *Terminated)
{
    S.clear();
    if (Terminated)
        *Terminated = false;
    QByteArray bytes;
    char c;
    while (MaxLen < 0 || bytes.size() < MaxLen) {
        if (F.atEnd())
            break;
        if (!F.getChar(&c)) {
            S = fromCp1251(bytes);
            return false;
        }
        if (c == '\0') {
            if (Terminated)
                *Terminated = true;
            break;
        }
        bytes.append(c);
    }
    S = fromCp1251(bytes);
    return true;
}
