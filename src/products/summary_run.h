#pragma once

#include "app/settings/settings_record.h"
#include "lib/datetime.h"

#include <QChar>
#include <QString>
#include <QStringList>

class DbConnection;
class QWidget;

// What the daily summary needs from the main window and its data module. The main window implements it;
// tests answer the dialog and the editor with a fake.
class SummaryHost
{
public:
    virtual ~SummaryHost() = default;

    // Owner of the dialogs and messages.
    virtual QWidget *Owner() = 0;
    // The main settings record, filled by the parameter dialog.
    virtual Tsett &Settings() = 0;
    // The parameter dialog in mode 1 on the main settings; true when it ended with OK.
    virtual bool AskSummaryParameters() = 0;
    // The current station's international code and its internal code (its section in the stations file).
    virtual QString CurrentStationCode() = 0;
    virtual QString CurrentStationSection() = 0;
    // Connection values of a station's bulletin database; false after the callee told the user why.
    virtual bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index,
                                    bool Silent) = 0;
    // The data module's bulletin connection and how it opens and closes.
    virtual DbConnection &BulletinConnection() = 0;
    virtual bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User,
                            const QString &Password, bool Silent) = 0;
    virtual void CloseDB_ADO(DbConnection &Conn) = 0;
    // SQL literals of the first and last day of a period in the bulletin database's dialect.
    virtual void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) = 0;
    // The summary editor on the file, shown modally: 1 send, 6 saved without sending, 2 neither. Lines
    // receive the editor's lines as it closed.
    virtual int EditSummary(const QString &FileName, bool SendMode, QStringList &Lines) = 0;
    // One mail of Kind with the station's own header (no UseGlobal flag, empty sender, recipients, copy
    // and subject); true when the server took it.
    virtual bool SendMail(QChar Kind, const QString &Body, const QString &Attachment) = 0;
};

// What a run did, for the benchmarks.
struct SummaryRunStats
{
    int statements = 0; // statements run through QAct
    int stations = 0;
    int rows = 0; // data rows of the summary tables
    QString fileName;
};

// The daily summary from the station bulletin database: asks for the day, composes the MSK-85 telegram of
// every station with rows on that day, writes it to the summary folder, shows it in the editor and mails
// it when asked to. Every outcome is shown to the user.
void SvodkaProc(SummaryHost &Host, SummaryRunStats *Stats = nullptr);
