#pragma once

#include "lib/datetime.h"

#include <QString>

class DbConnection;
class QWidget;
class TD2D;

// What writing a Paradox journal needs of the main window and its data module. The main window
// implements it; tests give their own database and watch the progress.
class ParadoxJournalHost
{
public:
    virtual ~ParadoxJournalHost() = default;

    virtual QWidget *Owner() = 0;
    virtual bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index,
                                    bool Silent) = 0;
    virtual DbConnection &BulletinConnection() = 0;
    // ErrText replaces the first line of the failure message.
    virtual bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User,
                            const QString &Password, bool Silent, const QString &ErrText) = 0;
    virtual void CloseDB_ADO(DbConnection &Conn) = 0;
    virtual void ShowProgress(const QString &Caption, int Minimum, int Maximum) = 0;
    virtual void SetProgress(int Position) = 0; // lets pending painting run
    virtual void HideProgress() = 0;
};

// Writes a journal read from a Paradox table (row 0 the field names, one column per journal column in
// the journal's order) into the selected station's bulletin database: the lines are staged in the
// station's table Access, then read back through its stored query Add_time and turned into events,
// phase readings and amplitude measurements. Each stage is one transaction, so a failure leaves the
// database as it was before that stage; Access is emptied at the end of every run. The lines are staged
// and read back one at a time, so the run costs no more memory for a longer journal. The closing
// message says how many events, readings and measurements were written, or that nothing was, and names
// the lines that gave neither a reading nor a measurement. FS: the settings of the import format
// "Events". Shows its own messages.
void WriteParadoxGridToDB(ParadoxJournalHost &Host, const TD2D &Journal, const TFormatSettings &FS);
