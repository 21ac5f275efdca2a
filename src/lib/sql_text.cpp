#include "lib/sql_text.h"

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
