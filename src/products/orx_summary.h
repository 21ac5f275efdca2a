#pragma once

#include "app/settings/reference_tables.h"
#include "products/summary_run.h"

#include <QList>
#include <QString>
#include <QStringList>

class TDataSet;

// What the summary from the ORX database needs besides what the bulletin summary does.
class OrxSummaryHost : public SummaryHost
{
public:
    virtual void GetOrxConnParams(QString &Source, QString &User, QString &Password) = 0;
    virtual DbConnection &OrxConnection() = 0;
    // The ticked stations' codes, sorted.
    virtual QStringList CheckedStations() = 0;
    // The codes of the network selected in the network list (none for a network without stations); false
    // when "<<< все станции >>>" (or nothing) is selected.
    virtual bool SelectedNetwork(QStringList &Codes) = 0;
    // The international code of the listed station with this internal code; empty when there is none.
    virtual QString StationSta(const QString &Code) = 0;
    // The wave table (rows: MSK-85 name, phase, multiplier, channels), its parsed factors, the filters.
    virtual const TD2D &WaveTable() = 0;
    virtual const tmulss &WaveFactors() = 0;
    virtual const tfilts &Filters() = 0;
};

// A channel designation waiting to be inserted into a station's text.
struct tchanrec
{
    QString text;     // the designation and one blank
    int position = 0; // 1-based index in the station text
    bool keep = false;
    bool remove = false;
};

// The MSK-85 groups of the events of one station, appended to its text event by event.
class OrxEventText
{
public:
    OrxEventText(const TD2D &Waves, const tmulss &Factors, const tfilts &Filters, QStringList &Unknown)
        : m_waves(Waves), m_factors(Factors), m_filters(Filters), m_unknown(Unknown)
    {}
    // A new station: the next arrival writes its date line.
    void StartStation() { m_lastDay = -1; }
    // Appends the event of the origin row (current row of Origin) with the station's arrivals (all rows
    // of Arrivals, in time order). OrxSummaryError for a channel that cannot be read.
    void AppendEvent(QString &Text, TDataSet &Origin, TDataSet &Arrivals);

private:
    const TD2D &m_waves;
    const tmulss &m_factors;
    const tfilts &m_filters;
    QStringList &m_unknown;
    int m_lastDay = -1;
};

// A reading the summary cannot write; the text is the message shown.
struct OrxSummaryError
{
    QString text;
};

// "SEISMO N..." with the day's BEG/END, no line feed.
QString OrxTelegramHeader(const QString &Code, TDateTime Day, bool DPeriod);
// Lines of at most 70 characters, words of one input line refilled; every line ended by a line feed.
QString LayoutSummaryLines(const QString &Text);

// Fills List (sorted, no duplicates) with the stations of the summary choice and sets SetName. Mode 3
// asks the ORX database on Query; false when that statement failed (shown).
bool GetSummaryStations(OrxSummaryHost &Host, TDataSet &Query, QStringList &List, const QString &PeriodCond,
                        QString &SetName);

// The daily summary from the ORX database: true once the editor has been shown.
bool ORXSvodka(OrxSummaryHost &Host, SummaryRunStats *Stats = nullptr);
