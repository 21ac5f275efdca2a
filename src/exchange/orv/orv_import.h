#pragma once

#include "exchange/orv/orv_host.h"
#include "lib/datetime.h"

#include <QString>

class TD2D;

// What the ORV import needs of the program. The import page answers for the main window; tests and
// benchmarks run the import headless with their own.
class OrvImportHost : public OrvHost
{
public:
    // The user's date settings: the periods in the questions and the status lines.
    virtual TFormatSettings LocaleSettings() = 0;
    // "Сливать с имеющимися событиями": the file's events join those of the database, so only the
    // arrivals of its stations are replaced and a taken EVENTID is an event already there.
    virtual bool MergeEvents() = 0;
    // With its trailing "/": the log of renamed and skipped EVENTIDs goes into its "system" folder.
    virtual QString ProgramFolder() = 0;
    // View mode fills the import table of a slot: 1 origin, 2 arrival.
    virtual TD2D &ViewTable(int Slot) = 0;
    // A read begins: what the page shows of an earlier one goes.
    virtual void ClearImportGrid() = 0;
    // After a whole read: the file's stations, its period and its version.
    virtual void ShowStatus(const QString &Stations, const QString &Period, const QString &Version) = 0;
    // A steady clock in milliseconds, by which the import tells how long its work took.
    virtual qint64 ClockMs();
};

// What a run did, for the tests and the benchmarks.
struct OrvImportStats
{
    int inserted = 0;
    int skipped = 0; // arrivals without their event in the file
    int renamed = 0;
    bool committed = false;
    bool viewed = false; // view mode read the whole file into the import tables
};

// Reads an ORV event file. View mode fills the origin and arrival view tables (with header rows) and
// opens no connection; import mode writes the file's rows into the ORX database, replacing what the
// file's stations hold there for its period. Every outcome is shown to the user. The archive is unpacked
// into a temporary folder of its own, removed at the end; the whole import, replacement included, is one
// transaction, so a run that ends early leaves the database as it was.
void ReadORV(OrvImportHost &Host, const QString &FileName, bool ViewOnly, OrvImportStats *Stats = nullptr);
