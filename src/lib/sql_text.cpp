#include "lib/sql_text.h"

#include <QLocale>

QString SqlEscape(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString SqlQuote(const QString &text)
{
    return QLatin1Char('\'') + SqlEscape(text) + QLatin1Char('\'');
}

QString SqlNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
