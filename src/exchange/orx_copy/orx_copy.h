#pragma once

#include "app/settings/settings_record.h"
#include "lib/datetime.h"

#include <QString>
#include <QStringList>

class DbConnection;
class QWidget;

// What the copy from the ORX database needs of the main window and its data module. The main window
// implements it; tests answer the dialog and watch the progress with a fake.
class OrxCopyHost
{
public:
    virtual ~OrxCopyHost() = default;

    virtual QWidget *Owner() = 0;
    // The main settings record; the period dialog writes start_date and end_date into it.
    virtual Tsett &Settings() = 0;
    // The parameter dialog in its period mode; true when it ended with OK.
    virtual bool AskPeriod() = 0;
    // The internal code of the selected station: Station_Cod of its readings, sta of its ORX arrivals.
    virtual QString CurrentStationSection() = 0;
    virtual void GetOrxConnParams(QString &Source, QString &User, QString &Password) = 0;
    virtual bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index,
                                    bool Silent) = 0;
    virtual DbConnection &OrxConnection() = 0;
    virtual DbConnection &BulletinConnection() = 0;
    virtual bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User,
                            const QString &Password, bool Silent) = 0;
    virtual void CloseDB_ADO(DbConnection &Conn) = 0;
    // SQL literals of two days in the bulletin database's dialect.
    virtual void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) = 0;
    // The progress window: shown with its caption and range, moved (letting pending events run), hidden.
    virtual void ShowProgress(const QString &Caption, int Maximum) = 0;
    virtual void SetProgress(int Position) = 0;
    virtual void HideProgress() = 0;
};

// What a run did, for the benchmarks and the tests.
struct OrxCopyStats
{
    int statements = 0; // statements run through the statement runners
    int arrivals = 0;   // rows put into the arrival copy
    int origins = 0;    // rows put into the origin copy
    int events = 0;
    int readings = 0;
    int measurements = 0;
};

// The button "Импорт из ORX": replaces the station's readings of a period in its bulletin database with
// those of the ORX database. The clearing and the copy are one transaction on the bulletin connection,
// so a run that fails or finds nothing leaves the bulletin database as it was. Shows its own messages.
void ImportOrx(OrxCopyHost &Host, OrxCopyStats *Stats = nullptr);

// Epoch seconds of the period's whole days [StartDate's day, the day after EndDate's day), the days the
// copy clears; a time of day does not count. Consecutive periods meet without a gap or an overlap.
void OrxPeriodBounds(TDateTime StartDate, TDateTime EndDate, double &Lower, double &Upper);

// Event identifiers in their intended order: those made of digits by their number ("9" before "10"),
// before any other, which compare as text.
bool EventIdLess(const QString &A, const QString &B);

// The phase names whose first arrival gives an event its distance, azimuth, emergence and class.
bool IsOrxPGroup(const QString &Phase);

// Installs the copy as the main window's "Импорт из ORX".
void InstallOrxImportCommand();
