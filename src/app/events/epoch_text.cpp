#include "app/events/epoch_text.h"

#include "lib/dataset_api.h"
#include "lib/datetime.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/number_routines.h"
#include "lib/work_dates.h"

namespace {

struct EpochFields
{
    quint16 year = 0, month = 0, day = 0, hour = 0, min = 0;
    int whole = 0;
    int tenths = 0;
};

EpochFields splitEpoch(double epoch)
{
    EpochFields f;
    double sec = 0;
    EpochToParts(epoch, f.year, f.month, f.day, f.hour, f.min, sec);
    f.whole = int(sec);
    f.tenths = int(RoundHalfEven((sec - f.whole) * 10));
    if (f.tenths > 9) {
        f.tenths = 0;
        ++f.whole;
    }
    return f;
}

QString two(int v)
{
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

QString format(const EpochFields &f, bool padYear)
{
    const QString year =
        padYear ? QString::number(f.year).rightJustified(4, QLatin1Char('0')) : QString::number(f.year);
    return two(f.day) + QLatin1Char('.') + two(f.month) + QLatin1Char('.') + year + QLatin1Char(' ') +
           two(f.hour) + QLatin1Char(':') + two(f.min) + QLatin1Char(':') + two(f.whole) + QLatin1Char('.') +
           QString::number(f.tenths);
}

int intAt(const QString &text, int pos, int len)
{
    const QString part = text.mid(pos - 1, len);
    bool ok = false;
    const int v = part.trimmed().toInt(&ok);
    if (!ok)
        throw EConvertError(NotIntegerText(part));
    return v;
}

} // namespace

QString EpochFieldText(const TField &field)
{
    if (field.IsNull())
        return QString();
    return format(splitEpoch(field.AsFloat()), false);
}

QString EpochText(const TField *field, double epoch)
{
    if (field) {
        if (field->IsNull())
            return QStringLiteral("00.00.0000 00:00:00.0");
        epoch = field->AsFloat();
    }
    return format(splitEpoch(epoch), true);
}

bool DateTextToEpoch(const QString &text, TDataSet *dataset, TField *field, double *epoch)
{
    if (!field && !epoch)
        return false;
    const int day = intAt(text, 1, 2);
    const int month = intAt(text, 4, 2);
    const int year = intAt(text, 7, 4);
    const int hour = intAt(text, 12, 2);
    const int minute = intAt(text, 15, 2);
    const double seconds = StrToFloatAny(text.mid(17, 4));
    const bool empty = day == 0 || month == 0 || year == 0;
    const double value =
        empty ? 0.0
              : htoe(quint16(year), quint16(month), quint16(day), quint16(hour), quint16(minute), seconds);
    if (field) {
        if (dataset && dataset->State() != DataSetState::Edit && dataset->State() != DataSetState::Insert)
            dataset->Edit();
        field->SetValue(empty ? QVariant() : QVariant(value));
    } else {
        *epoch = value;
    }
    return true;
}

bool IsValidDateText(const QString &text)
{
    bool okDay = false, okMonth = false, okYear = false;
    const int day = text.mid(0, 2).toInt(&okDay);
    const int month = text.mid(3, 2).toInt(&okMonth);
    const int year = text.mid(6, 4).toInt(&okYear);
    if (!okDay || !okMonth || !okYear || month < 1 || month > 12)
        return false;
    return day <= DaysInMonth(year, month);
}

QString EpochTextProblem(const QString &text)
{
    if (text.left(10) == QLatin1String("00.00.0000"))
        return QString();
    const QString invalid = QStringLiteral("Неверная дата!");
    // Day 0 with a month and year is no empty time either.
    if (!IsValidDateText(text) || text.left(2) == QLatin1String("00"))
        return invalid;
    bool okHour = false, okMinute = false;
    const int hour = text.mid(11, 2).toInt(&okHour);
    const int minute = text.mid(14, 2).toInt(&okMinute);
    double seconds = 0;
    if (!okHour || !okMinute || hour > 23 || minute > 59 || !TryStrToFloatAny(text.mid(17, 4), seconds) ||
        seconds < 0 || seconds >= 61)
        return invalid;
    const QDate day(text.mid(6, 4).toInt(), text.mid(3, 2).toInt(), text.mid(0, 2).toInt());
    return IsWorkDate(day) ? QString() : WorkDateProblem(text.left(10));
}
