#pragma once

#include "app/settings/reference_tables.h"
#include "products/bulletin_html.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

class TDataSet;

// The readings of one event in the ORX bulletin: channel descriptions of a station, the station values of
// an event, the S-P pair and the amplitude rows ("XM") of one phase. They walk the open readings dataset
// and return to the row they started from.
class OrxBulletinRows
{
public:
    OrxBulletinRows(TDataSet &Readings, const tfilts &Filters, BulletinLines &Out)
        : m_arr(Readings), m_filters(Filters), m_out(Out)
    {}

    // Channel names and descriptions of a station from sitechan (through Sitechan); a failed statement
    // leaves both empty. A station's channels are read once a run. The statement is added to Statements
    // when given.
    void LoadSiteChannels(TDataSet &Sitechan, const QString &Sta, QStringList *Statements = nullptr);
    QString SiteChannelDescr(const QString &Chan) const;

    void ClearEventValues();
    void FillEventValues();
    // P and S of one pair from the current reading on; false when no pair is found.
    bool FindPSPair();
    QString SPText() const; // "nn-ss.t" of the pair
    static bool SamePhase(const QString &A, const QString &B, bool &IsTX);

    using Row = std::array<QString, 18>;
    int FindOrInsertRow(const QString &Desc, const QString &TimeText, const QString &TXFlag, double Time,
                        int Year, const QString &Filter);
    void PutArrivalToTable(const QString &ChannelType);
    void WriteTableRows();
    void ClearTable() { m_table.clear(); }
    const QList<Row> &table() const { return m_table; }

    QString distance, azimuth, angle, regclass;

private:
    TDataSet &m_arr;
    const tfilts &m_filters;
    BulletinLines &m_out;
    QStringList m_chans, m_descrs;
    QHash<QString, std::pair<QStringList, QStringList>> m_loaded;
    QList<Row> m_table;
    double m_pTime = 0, m_sTime = 0;
};

// Epoch seconds as the bulletin writes them: the time of day with Sep between its parts and tenths
// ("hh:nn:ss.t"), and the calendar date.
QString EpochTimeText(double Epoch, QChar Sep);
bool EpochYearAfter1970(double Epoch);
