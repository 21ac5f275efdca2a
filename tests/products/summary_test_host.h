#pragma once

// For the summary tests: stands in for the main window, answers the dialog and the editor, and keeps what
// it was asked. The bulletin summary reads the station's database, the ORX one the ORX database; both are
// the one connection given.

#include "db/sql_literals.h"
#include "lib/codec.h"
#include "products/orx_summary.h"
#include "products/summary_rules.h"
#include "support/program_env.h"

class FakeSummaryHost : public OrxSummaryHost
{
public:
    FakeSummaryHost(DbConnection &connection, bool odbc, const QString &source)
        : conn(connection), odbc(odbc), source(source)
    {
        // MSK-85 name, phase, multiplier, channels.
        const QStringList rows[] = {
            {"P", "P", "1", "SP=1000 MP"}, {"S", "S", "1", "MP=10"}, {"PN", "Pn", "1", "*"},
            {"LR", "LR", "1", "*"},        {"LQ", "LQ", "10", "*"},  {"E", "E", "1", "*"},
        };
        waves.Init(4, 0, true);
        for (const QStringList &r : rows)
            waves.SetRow(waves.AddRows(1), r);
        ParseWaveTable(waves, factors);
        filters << tfilt{QStringLiteral("SP"), 1, 5} << tfilt{QStringLiteral("MP"), 0.5, 2};
    }

    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return sett; }
    bool AskSummaryParameters() override { return dialogOk; }
    QString CurrentStationCode() override { return code; }
    QString CurrentStationSection() override { return section.isEmpty() ? code : section; }
    bool GetStationDBParams(QString &Source, QString &, QString &, int Index, bool Silent) override
    {
        EXPECT_EQ(Index, -1);
        EXPECT_FALSE(Silent);
        Source = source;
        return true;
    }
    void GetOrxConnParams(QString &Source, QString &, QString &) override { Source = source; }
    DbConnection &BulletinConnection() override { return conn; }
    DbConnection &OrxConnection() override { return conn; }
    bool OpenDB_ADO(DbConnection &c, const QString &Source, const QString &, const QString &, bool) override
    {
        EXPECT_EQ(Source, source);
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(odbc, FromDate, ToDate, FromLit, ToLit);
    }
    // The editor shows the file; its lines are what the user leaves in it.
    int EditSummary(const QString &FileName, bool SendMode, QStringList &Lines) override
    {
        edited << FileName;
        sendModes << SendMode;
        Lines =
            editorLines.isEmpty() ? fromCp1251(readBytes(FileName)).split(QLatin1Char('\n')) : editorLines;
        return editorResult;
    }
    bool SendMail(QChar Kind, const QString &Body, const QString &Attachment) override
    {
        mails << QStringList{QString(Kind), Body, Attachment};
        return mailOk;
    }
    QStringList CheckedStations() override { return checked; }
    bool SelectedNetwork(QStringList &Codes) override
    {
        Codes = network;
        return networkSelected || !network.isEmpty();
    }
    QString StationSta(const QString &Code) override
    {
        return Code == QLatin1String("ABC") ? "ABK" : QString();
    }
    const TD2D &WaveTable() override { return waves; }
    const tmulss &WaveFactors() override { return factors; }
    const tfilts &Filters() override { return filters; }

    DbConnection &conn;
    bool odbc;
    QString source;
    Tsett sett;
    bool dialogOk = true, mailOk = true;
    bool networkSelected = false; // with network empty: a network without stations
    QString code, section;
    int editorResult = IDOK;
    QStringList editorLines, checked, network;
    TD2D waves;
    tmulss factors;
    tfilts filters;
    QStringList edited;
    QList<bool> sendModes;
    QList<QStringList> mails;
};
