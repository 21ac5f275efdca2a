#include "lib/codepage_keys.h"

#include "lib/codec.h"

namespace {

unsigned char cp866ByteToCp1251(unsigned char b)
{
    if (b >= 0x80 && b <= 0xAF)
        return b + 0x40;
    if (b >= 0xE0 && b <= 0xEF)
        return b + 0x10;
    if (b == 0xF0)
        return 0xA8;
    if (b == 0xF1)
        return 0xB8;
    return b;
}

} // namespace

void Cp866ToCp1251(QString &S)
{
    QByteArray bytes = toCp1251(S);
    for (char &b : bytes)
        b = char(cp866ByteToCp1251(static_cast<unsigned char>(b)));
    S = fromCp1251(bytes);
}

void Cp866CharToCp1251(QChar &C)
{
    C = fromCp1251Char(char(cp866ByteToCp1251(static_cast<unsigned char>(toCp1251Char(C)))));
}

bool DetectDosText(const QString &S, QString &Converted, bool Convert, int Threshold)
{
    int count = 0;
    for (const char c : toCp1251(S)) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0xAF && b != 0xA8)
            ++count;
    }
    Converted.clear();
    if (count <= Threshold)
        return false;
    if (Convert) {
        Converted = S;
        Cp866ToCp1251(Converted);
    }
    return true;
}

QChar RusKeyToLat(QChar C)
{
    // Upper-case Cyrillic А..Я in alphabet order and the Latin letter on each key; 0 for Б, Ж, Х, Ъ, Э, Ю
    // (punctuation keys).
    static const char kLatin[32] = {'F', 0,   'D', 'U', 'L', 'T', 0,   'P', 'B', 'Q', 'R',
                                    'K', 'V', 'Y', 'J', 'G', 'H', 'C', 'N', 'E', 'A', 0,
                                    'W', 'X', 'I', 'O', 0,   'S', 'M', 0,   0,   'Z'};
    const QChar upper = C.toUpper();
    const ushort u = upper.unicode();
    if (u < 0x0410 || u > 0x042F)
        return QChar(0);
    const char latin = kLatin[u - 0x0410];
    if (latin == 0)
        return QChar(0);
    return C == upper ? QChar(QLatin1Char(latin)) : QChar(QLatin1Char(latin)).toLower();
}
