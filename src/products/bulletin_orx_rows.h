#pragma once

#include "app/settings/reference_tables.h"
#include "products/bulletin_html.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class TDataSet;
class TField;

// One reading of an event as the ORX bulletin uses it, read once from the readings statement.
struct OrxReading
{
    QString sta;      // trimmed
    QString chan;     // as stored
    QString phase;    // trimmed
    QString fm;       // trimmed, in lower case
    QString imEm;     // trimmed
    QString chanType; // trimmed, in upper case
    QString afilType, pfilType;
    bool hasItime = false, hasAmptime = false, hasAmpl = false;
    double itime = 0, amptime = 0, per = 0; // 0 for null, as AsFloat reads them
    // Distance, azimuth, emergence angle, class: present when the field's text is a number.
    bool has[4] = {};
    double values[4] = {};
    QString ampl, period, magnitudes; // as the amplitude rows write them
};

// The readings of one event in the ORX bulletin: channel descriptions of a station, the station values of
// an event, the S-P pair and the amplitude rows ("XM") of one phase. The routines look ahead from a
// reading of the event and leave the walk where it was.
class OrxBulletinRows
{
public:
    OrxBulletinRows(const tfilts &Filters, BulletinLines &Out) : m_filters(Filters), m_out(Out) {}

    // The readings of the open statement, every column the bulletin needs looked up once; DbError when
    // one of the readings table's columns is missing.
    void LoadReadings(TDataSet &Readings);
    const std::vector<OrxReading> &readings() const { return m_readings; }

    // Channel names and descriptions of a station from sitechan (through Sitechan); a failed statement
    // leaves both empty. A station's channels are read once a run. The statement is added to Statements
    // when given.
    void LoadSiteChannels(TDataSet &Sitechan, const QString &Sta, QStringList *Statements = nullptr);
    QString SiteChannelDescr(const QString &Chan) const;

    void ClearEventValues();
    // From reading From on, for its station.
    void FillEventValues(int From);
    // P and S of one pair from reading From on, for its station; false when no pair is found.
    bool FindPSPair(int From);
    QString SPText() const; // "nn-ss.t" of the pair
    static bool SamePhase(const QString &A, const QString &B, bool &IsTX);

    // The amplitude rows of the phase that begins at reading From.
    void PutArrivalToTable(int From, const QString &ChannelType);
    void WriteTableRows();
    void ClearTable() { m_table.clear(); }

    QString distance, azimuth, angle, regclass;

private:
    struct AmplitudeRow
    {
        QString desc, timeText, filter;
        bool tx = false;
        int year = 0;
        double time = 0;               // as its text reads back, the order of the rows
        std::array<QString, 12> cells; // N, E, Z: amplitude, period, magnitudes, class
    };
    int FindOrInsertRow(const QString &Desc, const QString &TimeText, bool TX, double Time, int Year,
                        const QString &Filter);
    // The name of the filter whose bounds a filter text gives; empty when none has them.
    QString filterNamed(const QString &Text);

    const tfilts &m_filters;
    BulletinLines &m_out;
    std::vector<OrxReading> m_readings;
    QStringList m_chans, m_descrs;
    QHash<QString, std::pair<QStringList, QStringList>> m_loaded;
    QList<AmplitudeRow> m_table;
    QHash<QString, QString> m_filterNames;
    double m_pTime = 0, m_sTime = 0;
};

// Epoch seconds as the bulletin writes them: the time of day with Sep between its parts and tenths
// ("hh:nn:ss.t"), and the calendar date.
QString EpochTimeText(double Epoch, QChar Sep);
bool EpochYearAfter1970(double Epoch);
