#pragma once

#include "lib/datetime.h"

#include <QList>
#include <QString>

// Runs of days on which a station has arrivals. A gap shorter than the limit (the tolerance in days
// plus 1) keeps a run going, so with the limit 2 only the next day continues it.

struct DataPeriod
{
    TDateTime start = 0; // whole days
    TDateTime end = 0;
    bool operator==(const DataPeriod &) const = default;
};

// The tolerance typed by the user, '.' or ',' as the decimal separator; false when the text is no
// number.
bool ReadPeriodTolerance(const QString &Text, double &Tolerance);

// The calendar day (whole TDateTime) of an epoch time, the seconds rounded to milliseconds first.
// False for an epoch outside the calendar.
bool EpochDay(double Epoch, TDateTime &Day);

class DataPeriodRuns
{
public:
    explicit DataPeriodRuns(double Limit) : m_limit(Limit) {}
    // Days come in ascending order.
    void add(TDateTime Day);
    const QList<DataPeriod> &periods() const { return m_periods; }

private:
    double m_limit;
    QList<DataPeriod> m_periods;
};

// The two cells of a period's grid row: the end is empty for a one-day period.
void PeriodCells(const DataPeriod &Period, const TFormatSettings &Fs, QString &Start, QString &End);
