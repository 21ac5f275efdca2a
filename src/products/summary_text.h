#pragma once

#include "lib/datetime.h"
#include "lib/string_table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The MSK-85 telegram of a station's day, composed from the summary table: one row per arrival, or per
// measurement of an arrival; row 0 names the measurement columns. Lines are separated by single LF
// characters until the file is written.

enum SummaryColumn : int {
    ColNum = 0,
    ColTime = 1, // origin time as a date-time number text
    ColDec = 2,
    ColLat = 3,
    ColLon = 4,
    ColDepth = 5,
    ColDeltaGr = 6,
    ColDeltaKm = 7,
    ColComment = 8,
    ColArid = 9,
    ColDate = 11, // day of the arrival as a date-time number text
    ColFM = 12,
    ColQual = 13,
    ColInterpretation = 14,
    ColPhase = 15,
    ColChannelCod = 16,
    ColChannelComponent = 17,
    ColArrTime = 18, // arrival time as a date-time number text
    ColArrDec = 19,
    ColFMNS = 20,
    ColFMEW = 21,
    FirstMeasurementColumn = 22,
};

// A wave designation: the bulletin's phase name and the MSK-85 token it is written as.
struct SummaryDesignation
{
    QString iphase;
    QString phase;
};

// What the composer needs besides the table.
struct SummaryStation
{
    QString code;
    TDateTime day = 0; // the day of the summary; only its date counts
    bool dperiod = false;
    int lineLimit = 50;
    QStringList outTexts;                   // the events' free texts, in query order
    QList<SummaryDesignation> designations; // in table order; the first match wins
};

// How a date-time value is kept in the table: a text that reads back to the same number.
QString DateTimeNumberText(double value);

// "SEISMO N..." with the day's BEG/END and "STOP", for a station without data rows.
void AppendEmptyTelegram(QString &Text, const QString &Code, TDateTime Day, bool DPeriod);

// A summary names its day and the next one: a day whose next one the calendar has not (or one before
// 1900) raises EConvertError saying so, before anything is read or written.
void RefuseSummaryDay(TDateTime Day);

// Appends the telegram of the table's data rows (there must be at least one). A row whose arrival
// crosses midnight has its arrival time rewritten in the table. EConvertError on unreadable numbers.
void ComposeTelegram(QString &Text, TD2D &Table, const SummaryStation &Station);

// Trims every line, drops the empty ones but the last, halves runs of blanks once and turns everything to
// upper case; the last line keeps no line break.
QString CleanSummaryText(const QString &Text);

// The "OUT" part of an event's free text as the telegram carries it; empty when it has none.
QString OutTextLine(const QString &StrQuake);

// The summary file's name: internal station code + "_" + day of the year in three digits.
QString SummaryFileName(const QString &InternalCode, TDateTime Day);
// The file's bytes: the text in windows-1251 with its own line breaks, and CR LF after it.
QByteArray SummaryFileBytes(const QString &Text);
