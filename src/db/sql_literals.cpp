#include "db/sql_literals.h"

#include "lib/errors.h"

#include <cmath>

namespace {

QString dayLiteral(bool odbc, TDateTime value)
{
    if (!IsValidDateTime(value))
        throw EConvertError(NotDateText(FloatToStr(value)));
    const TDateTime day = std::trunc(value);
    if (!odbc)
        return QString::number(qint64(day));
    int y, m, d;
    DecodeDate(day, y, m, d);
    return QStringLiteral("{d '%1-%2-%3'}")
        .arg(y, 4, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(d, 2, 10, QLatin1Char('0'));
}

} // namespace

void SqlDateRangeLiterals(bool odbc, TDateTime from, TDateTime to, QString &fromLit, QString &toLit)
{
    fromLit = dayLiteral(odbc, from);
    toLit = dayLiteral(odbc, to);
}
