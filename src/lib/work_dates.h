#pragma once

#include "lib/datetime.h"

#include <QDate>
#include <QString>

class QDateTimeEdit;

// The days the program carries through every product. Each product reaches the day after its period
// (a summary's END, a bulletin's or copy's half-open range, a decade's last day), so the calendar's last
// day, 31.12.9999, is not one of them, nor the year before it is done; before 1900 the day serials turn
// negative. Dates are refused where they are entered: date edits are limited to these days and typed
// dates are checked.
QDate FirstWorkDate(); // 01.01.1900
QDate LastWorkDate();  // 31.12.9998
bool IsWorkDate(const QDate &Date);
bool IsWorkDate(TDateTime Date); // by its day, whatever its time
// Why a date is refused: What + " " + Shown + " вне допустимых пределов: от 01.01.1900 до 31.12.9998.", or
// with the days From and To of the range it is outside of.
QString WorkDateProblem(const QString &Shown, const QString &What = QStringLiteral("Дата"));
QString DateRangeProblem(const QString &Shown, const QDate &From, const QDate &To,
                         const QString &What = QStringLiteral("Дата"));

// A date edit, or a date-and-time edit, that offers only these days.
void SetWorkDateRange(QDateTimeEdit *Edit);
// Only the upper limit: an edit bound to a field shows a missing date as 30.12.1899, below the range.
void SetWorkDateMaximum(QDateTimeEdit *Edit);
