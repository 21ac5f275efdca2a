#pragma once

#include "app/settings/connection_params.h"
#include "app/settings/reference_tables.h"
#include "app/settings/settings_record.h"
#include "app/stations/station_types.h"
#include "products/bulletin_html.h"
#include "products/bulletin_periods.h"

#include <QList>
#include <QString>
#include <QStringList>

class DbConnection;
class QWidget;

// The controls of a report window that the bulletin builders read.
struct ReportOptions
{
    bool putBegDate = false;
    bool drawTable = false;
    bool dline = true;
    int qtype = 0;
    int repset = 0; // 0..3: rs1..rs4
    bool mailSend = false;
    bool mailGlobal = true;
    QString mailFrom, mailTo, mailCc, mailSubject; // column 1 of the mail grid
    // The coordinate edits as shown ("55° 45' 30\" N"), the height and the ground.
    QString fi, lamb, hval, subter;
};

// What a report window froze at its creation, and what the builders leave in it.
struct ReportState
{
    trsets period;
    Tsett sett;               // the main window's settings at the window's creation
    QList<tstainfo> stations; // the selected station, then the checked ones
    QStringList codes;        // their internal codes in that order
    // The stations of the network chosen on the main window; empty for "<<< все станции >>>" and for a
    // network without stations, which narrow nothing.
    QStringList networkCodes;
    QStringList reportCodes; // the stations the bulletin covers, sorted
    QList<int> codeIndex;    // per report code: its index among the stations, -1 for none
    QString tempFile;        // system/stbul_<n>.htm
    bool reportMade = false;
    ReportOptions options;
};

// What the builders need from the main window, the data module and the screen. The report window
// implements it; tests replace it.
class ReportHost
{
public:
    virtual ~ReportHost() = default;
    virtual QWidget *Owner() = 0;
    // The bulletin database of the station selected in the main station list now; false once the reason
    // is shown.
    virtual bool GetStationDBParams(QString &Source, QString &User, QString &Password) = 0;
    virtual bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User,
                            const QString &Password) = 0;
    virtual void CloseDB_ADO(DbConnection &Conn) = 0;
    virtual ConnParams OrxConnParams(const Tsett &Sett) = 0;
    // The main window's station of an internal code; false when it has none.
    virtual bool MainStation(const QString &Code, tstainfo &Station) = 0;
    // The code as the station list shows it, with the mark of a checked station when Mark.
    virtual QString CodeToSta(const QString &Code, bool Mark) = 0;
    virtual const tfilts &Filters() = 0;
    virtual QString ProgramFolder() = 0; // with its trailing "/"
    virtual int ReportCounter() = 0;
    virtual QString ShortDateText(TDateTime Date) = 0;
    // Raises EFileError.
    virtual void ZipFiles(const QString &ZipName, const QString &File) = 0;
    // True when the server took it; otherwise the reason has been shown.
    virtual bool SendMail(const QString &Body, const QString &Attachment, bool UseGlobal, const QString &From,
                          const QString &To, const QString &Cc, const QString &Subject) = 0;
    // Progress of a long run: shown with Max at the first call; the cancel button sets *Cancel.
    virtual void Progress(int Max, int Position, const QString &Caption, bool *Cancel) = 0;
    virtual void HideProgress() = 0;
    virtual void ShowReport(const QString &FileName) = 0;
};

// The SQL literals of two days by the provider kind of a settings copy: non-zero the ODBC date escape,
// zero the day number.
void ReportSqlDateRange(const Tsett &Sett, TDateTime From, TDateTime To, QString &FromLit, QString &ToLit);

// The head values of the report station at Index of the window's report codes, in the station bulletin
// database's way (the window's edits and the station records).
HeaderStation WindowHeaderStation(const ReportState &State, ReportHost &Host, int Index);
HeaderOptions ReportHeaderOptions(const ReportState &State);

// Zips the bulletin and mails it with the window's mail header; the archive is removed in every case.
void MailBulletin(const ReportState &State, ReportHost &Host);

// The builders: from the station bulletin database of the selected station, and from the ORX database.
// Each reports its own errors and leaves reportMade set only when the whole bulletin was written.
void MakeReport(ReportState &State, ReportHost &Host, DbConnection &dbs, bool Show);

// What an ORX run did, for the tests and the benchmarks.
struct OrxReportStats
{
    bool keepStatements = true;
    QStringList statements; // in the order they ran, when kept
    int events = 0;         // events printed
};
void ORXMakeReport(ReportState &State, ReportHost &Host, DbConnection &conPubs, bool Show,
                   OrxReportStats *Stats = nullptr);
