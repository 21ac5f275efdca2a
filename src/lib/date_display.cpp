#include "lib/date_display.h"

#include <QRegularExpression>

namespace {

// True when every field of a Qt date pattern is a number: day, month and year, nothing spelt out.
bool numericDate(const QString &pattern)
{
    static const QRegularExpression spelt(QStringLiteral("ddd|MMM|[^dMy\\W_]"));
    return pattern.contains(QLatin1Char('d')) && pattern.contains(QLatin1Char('M')) &&
           pattern.contains(QLatin1Char('y')) && !pattern.contains(spelt);
}

} // namespace

TFormatSettings LocaleFormatSettings(const QLocale &Locale)
{
    TFormatSettings fs;
    if (!Locale.decimalPoint().isEmpty())
        fs.DecimalSeparator = Locale.decimalPoint().at(0);
    QString date = Locale.dateFormat(QLocale::ShortFormat);
    if (numericDate(date)) {
        // Two-digit years are ambiguous in a list of dates and in a date edit.
        static const QRegularExpression shortYear(QStringLiteral("(?<!y)yy(?!y)"));
        date.replace(shortYear, QStringLiteral("yyyy"));
        for (const QChar c : std::as_const(date))
            if (!c.isLetter()) {
                fs.DateSeparator = c;
                break;
            }
        date.replace(QLatin1Char('M'), QLatin1Char('m'));
        fs.ShortDateFormat = date;
    } else {
        fs.DateSeparator = QLatin1Char('.');
        fs.ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    }
    QString time = Locale.timeFormat(QLocale::ShortFormat);
    time.replace(QLatin1Char('H'), QLatin1Char('h')).replace(QLatin1Char('m'), QLatin1Char('n'));
    fs.ShortTimeFormat = time;
    return fs;
}

QString DateEditFormat(const TFormatSettings &Fs)
{
    QString out;
    for (const QChar c : Fs.ShortDateFormat) {
        if (c == QLatin1Char('m'))
            out += QLatin1Char('M');
        else if (c == QLatin1Char('/'))
            out += Fs.DateSeparator;
        else
            out += c;
    }
    return out;
}

QString SystemDateEditFormat()
{
    return DateEditFormat(LocaleFormatSettings());
}
