#include "exchange/text/data_format_rules.h"

#include "exchange/text/delimited_writer.h"
#include "lib/codec.h"
#include "lib/datetime.h"

namespace {

// A separator as the format file will hold it: one byte of code page 1251.
bool storable(QChar c)
{
    return fromCp1251Char(toCp1251Char(c)) == c;
}

} // namespace

QString DataFormatSample(const tspec &spec, const TFormatSettings &locale, int currentYear, TDateTime now)
{
    TFormatSettings fs;
    TspecToFormatSettings(fs, spec, locale, currentYear);
    return QStringList{DelimitedValueText(1234, FieldType::Integer, spec, fs),
                       DelimitedValueText(now, FieldType::DateTime, spec, fs),
                       DelimitedValueText(12.753, FieldType::Float, spec, fs),
                       DelimitedValueText(QStringLiteral("комментарий"), FieldType::String, spec, fs)}
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
