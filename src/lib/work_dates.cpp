#include "lib/work_dates.h"

#include <QDateTimeEdit>

QDate FirstWorkDate()
{
    return QDate(1900, 1, 1);
}

QDate LastWorkDate()
{
    return QDate(9998, 12, 31);
}

bool IsWorkDate(const QDate &Date)
{
    return Date.isValid() && Date >= FirstWorkDate() && Date <= LastWorkDate();
}

bool IsWorkDate(TDateTime Date)
{
    if (!IsValidDateTime(Date))
        return false;
    int y, m, d;
    DecodeDate(Date, y, m, d);
    return IsWorkDate(QDate(y, m, d));
}

QString WorkDateProblem(const QString &Shown, const QString &What)
{
    return DateRangeProblem(Shown, FirstWorkDate(), LastWorkDate(), What);
}

QString DateRangeProblem(const QString &Shown, const QDate &From, const QDate &To, const QString &What)
{
    return What + QLatin1Char(' ') + Shown + QStringLiteral(" вне допустимых пределов: от ") +
           From.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" до ") +
           To.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char('.');
}

void SetWorkDateRange(QDateTimeEdit *Edit)
{
    Edit->setDateRange(FirstWorkDate(), LastWorkDate());
}

void SetWorkDateMaximum(QDateTimeEdit *Edit)
{
    Edit->setMaximumDate(LastWorkDate());
}
