#pragma once

#include <QString>

class TDataSet;
class TField;

// Epoch seconds of the ORX database as the event pages show and take them: day.month.year
// hours:minutes:seconds.tenths. Rounded tenths carry into the seconds only, so 59.96 s shows as "60.0".

// "DD.MM.Y hh:mm:ss.t" with the year as it is; "" for a null field.
QString EpochFieldText(const TField &field);
// "DD.MM.YYYY hh:mm:ss.t" of the field (a null field gives "00.00.0000 00:00:00.0"), or of epoch when
// there is no field.
QString EpochText(const TField *field, double epoch = 0);
// Reads "DD.MM.YYYY HH:MM:SS.d" (seconds with '.' or ','); a day, month or year of 0 is an empty time.
// With a field, stores the epoch (or NULL) in it, putting its dataset into edit state; otherwise hands
// the epoch (0 for empty) back. False when there is neither. EConvertError on text that is no number.
bool DateTextToEpoch(const QString &text, TDataSet *dataset, TField *field, double *epoch);
// Month 1..12 and a day that exists in that month of that year.
bool IsValidDateText(const QString &text);
// Why a text of the epoch edits is no time to store: "" for a day and time of day that exist on one of
// the days the program carries (01.01.1900 to 31.12.9998, lib/work_dates.h) or for the empty time
// "00.00.0000 ..."; "Неверная дата!" for a day, month or time of day that does not exist (seconds up to
// 60.9, as 59.95 s is shown); the working days' own message for a day outside them.
QString EpochTextProblem(const QString &text);
