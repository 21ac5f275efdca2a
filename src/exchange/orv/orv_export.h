#pragma once

#include "app/settings/settings_record.h"
#include "exchange/orv/orv_host.h"
#include "lib/datetime.h"

#include <QString>
#include <QStringList>

// The deflate level of the event file: its format leaves the level open, and level 6 takes a fifth of the
// time of the highest for an archive about 4 % larger.
constexpr int OrvDeflateLevel = 6;

// What the ORV export needs of the program. The main window answers through the export command; tests
// and benchmarks run the export headless with their own.
class OrvExportHost : public OrvHost
{
public:
    // A copy of the settings in force: the export's period, folder, station set and mail.
    virtual Tsett Settings() = 0;
    // The internal code of the selected station, and those of the ticked ones.
    virtual QString CurrentStationSection() = 0;
    virtual QStringList CheckedStations() = 0;
    // Packs the members at OrvDeflateLevel; EFileError on failure.
    virtual void ZipFiles(const QString &ZipName, const QStringList &Files) = 0;
    // The archive mailed to the export's recipients; false once the failure is shown.
    virtual bool SendMail(const QString &Body, const QString &Attachment) = 0;
};

// What a run did, for the tests and the benchmarks.
struct OrvExportStats
{
    QString archive; // empty when no archive was made
    int origins = 0;
    int arrivals = 0;
    bool mailed = false;
};

// The export of the ORX database to an ORV event file on the export settings in force (period, folder,
// station set, mail), after the parameter dialog. Shows its own messages.
void RunOrxExport(OrvExportHost &Host, OrvExportStats *Stats = nullptr);

// The archive's file name without folder: [code_]yyyymmdd[hhnnss]_yyyymmdd[hhnnss].orv, the time only
// when it is not midnight; the code only for the current station alone (StationSet 0).
QString OrvArchiveName(int StationSet, const QString &CurrentCode, TDateTime Start, TDateTime End);
