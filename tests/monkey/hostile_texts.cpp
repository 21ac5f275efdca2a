#include "hostile_texts.h"

#include "monkey_rng.h"

int MonkeyRng::weighted(const QList<int> &weights)
{
    int total = 0;
    for (int w : weights)
        total += qMax(0, w);
    int draw = below(total);
    for (int i = 0; i < weights.size(); ++i) {
        draw -= qMax(0, weights[i]);
        if (draw < 0)
            return i;
    }
    return 0;
}

QStringList HostileTexts()
{
    return {
        // empty and blank
        QString(),
        QStringLiteral(" "),
        QStringLiteral("   "),
        // very long
        QString(2000, QLatin1Char('9')),
        QString(300, QChar(0x416)), // Ж
        QString(70000, QLatin1Char('x')),
        // Cyrillic
        QStringLiteral("Обнинск"),
        QStringLiteral("ёлка ЁЛКА"),
        QStringLiteral("Ъ"),
        QStringLiteral("Станция с пробелами  "),
        QStringLiteral("ПЕТ"),
        // quotes, semicolons and what statements or patterns read
        QStringLiteral("'"),
        QStringLiteral("\""),
        QStringLiteral("';"),
        QStringLiteral("\";--"),
        QStringLiteral("a'b\"c;d"),
        QStringLiteral("'; drop table origin; --"),
        QStringLiteral(";;;"),
        QStringLiteral("%_*?"),
        QStringLiteral("[Станционный бюллетень]"),
        QStringLiteral("&nbsp<b>"),
        // numbers
        QStringLiteral("1.5e308"),
        QStringLiteral("-1.5e308"),
        QStringLiteral("1e309"),
        QStringLiteral("4.9e-324"),
        QStringLiteral("NaN"),
        QStringLiteral("inf"),
        QStringLiteral("-0"),
        QStringLiteral("0"),
        QStringLiteral("-1"),
        QStringLiteral("2147483648"),
        QStringLiteral("-2147483649"),
        QStringLiteral("9223372036854775808"),
        QStringLiteral("99999999999999999999"),
        QStringLiteral("0,5"),
        QStringLiteral("1.5"),
        QStringLiteral("  42  "),
        QStringLiteral("0x1F"),
        // dates and times
        QStringLiteral("31.02.2026"),
        QStringLiteral("31.12.9999"),
        QStringLiteral("01.01.0001"),
        QStringLiteral("29.02.2027"),
        QStringLiteral("00.00.0000"),
        QStringLiteral("30.12.1899"),
        QStringLiteral("32.13.2026"),
        QStringLiteral("10.11.2026"),
        QStringLiteral("30.11.2026"),
        QStringLiteral("1.1.1"),
        QStringLiteral("31.12.9999 23:59:59"),
        QStringLiteral("2026-11-30"),
        QStringLiteral("25:61:61"),
        QStringLiteral("23:59:59.9"),
        // codes
        QStringLiteral("PET"),
        QStringLiteral("pet "),
        QStringLiteral("XXXXXXXXXXXX"),
    };
}

QString PickHostileText(MonkeyRng &rng)
{
    static const QStringList texts = HostileTexts();
    if (!rng.chance(10))
        return rng.pick(texts);
    // A long text of mixed characters, as pasted from somewhere else.
    static const QString alphabet = QStringLiteral("abcXYZ0123456789 .,-:+eЁёЖжЯя'\";%");
    QString text;
    const int length = 100 + rng.below(3000);
    text.reserve(length);
    for (int i = 0; i < length; ++i)
        text += alphabet.at(rng.below(int(alphabet.size())));
    return text;
}
