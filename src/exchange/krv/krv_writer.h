#pragma once

#include <QString>

class DbConnection;
class TD2D;

// What the partner bulletin writer needs of the main window and its data module; tests give a fake.
class KrvWriteHost
{
public:
    virtual ~KrvWriteHost() = default;

    virtual bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index,
                                    bool Silent) = 0;
    virtual DbConnection &BulletinConnection() = 0;
    virtual bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User,
                            const QString &Password, bool Silent) = 0;
    virtual void CloseDB_ADO(DbConnection &Conn) = 0;
    // The progress window: shown with its caption and range, moved (letting pending events run), hidden.
    virtual void ShowProgress(const QString &Caption, int Maximum) = 0;
    virtual void SetProgress(int Position) = 0;
    virtual void HideProgress() = 0;
};

// Writes the KRV table (as the partner bulletin reader lays it out) into the current station's bulletin
// database: one row of События per event, numbered from the first free number, and one row of
// Станционный бюллетень per phase time, in one transaction. Stops at the first failure with its own
// message, leaving the database as it was. With AskWhenKnown, a table one of whose events the database
// already holds (an event of the same origin time with a reading of one of its stations) is written
// only when the analyst says Yes to the question asked first, No being the default; a value the write could
// not take is named before the question. True when everything was written; false, with nothing written, on
// a No.
bool WriteKrvTable(KrvWriteHost &Host, const TD2D &Table, bool AskWhenKnown = false);

// A phase or origin time in seconds split into whole seconds and tenths, tenths that round up to 10
// carrying into the seconds.
void SplitTenths(double Seconds, qint64 &Whole, int &Tenths);
