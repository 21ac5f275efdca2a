#include "exchange/data_format_rules.h"

#include "lib/codec.h"
#include "lib/datetime.h"

namespace {

// A separator as the format file will hold it: one byte of code page 1251.
bool storable(QChar c)
{
    return fromCp1251Char(toCp1251Char(c)) == c;
}

} // namespace

QString QualifiedText(const QString &text, QChar sdel)
{
    QString doubled = text;
    doubled.replace(sdel, QString(2, sdel));
    return sdel + doubled + sdel;
}

QString DataFormatSample(const tspec &spec, const TFormatSettings &locale, int currentYear, TDateTime now)
{
    TFormatSettings fs;
    TspecToFormatSettings(fs, spec, locale, currentYear);
    const auto clashes = [&spec](QChar c) { return c == spec.fdel || c == spec.sdel; };

    QString moment;
    if (DateOf(now) == 0)
        moment = FormatDateTime(QStringLiteral("tt"), now, fs);
    else if (TimeOf(now) == 0)
        moment = FormatDateTime(QStringLiteral("ddddd"), now, fs);
    else
        moment = FormatDateTime(QStringLiteral("ddddd tt"), now, fs);
    if (clashes(spec.dtdel) || clashes(spec.tmdel))
        moment = QualifiedText(moment, spec.sdel);

    QString number = FloatToStr(12.753, spec.decdel);
    if (clashes(spec.decdel))
        number = QualifiedText(number, spec.sdel);

    return QStringList{QStringLiteral("1234"), moment, number,
                       QualifiedText(QStringLiteral("комментарий"), spec.sdel)}
        .join(spec.fdel);
}

QString FormatRefusal(const tspec &spec)
{
    for (const QChar c : {spec.fdel, spec.sdel, spec.dtdel, spec.tmdel, spec.decdel})
        if (!c.isNull() && !storable(c))
            return QStringLiteral(
                       "Символ \"%1\" нельзя записать в формат данных:\rего нет в кодировке windows-1251.")
                .arg(c);
    if (spec.fdel.isNull())
        return QStringLiteral("Не задан разделитель полей.");
    if (spec.fdel == spec.sdel)
        return QStringLiteral("Разделитель полей совпадает с ограничителем текста.");
    return {};
}

QString PivotExplanation(int currentYear)
{
    QString text =
        QStringLiteral("Пояснение: если год состоит из 2 цифр, то числа, начиная с граничного года, "
                       "считаются принадлежащими 00 веку, а до граничного - 00 веку");
    const int century = currentYear / 100 + 1;
    const int first = text.indexOf(QStringLiteral("00"));
    text.replace(first, 2, QString::number(century - 1));
    const int second = text.indexOf(QStringLiteral("00"), first + 2);
    text.replace(second, 2, QString::number(century));
    return text;
}
