#pragma once

#include "lib/datetime.h"

#include <QString>

class Tmainf;

// What a run did, for the tests and the benchmarks.
struct OrvExportStats
{
    QString archive; // empty when no archive was made
    int origins = 0;
    int arrivals = 0;
    bool mailed = false;
};

// The export of the ORX database to an ORV event file: the parameter dialog, then RunOrxExport.
void ORXExport(Tmainf &Mainf);
// Everything after the dialog, on the export settings in force (period, folder, station set, mail).
void RunOrxExport(Tmainf &Mainf, OrvExportStats *Stats = nullptr);

// The archive's file name without folder: [code_]yyyymmdd[hhnnss]_yyyymmdd[hhnnss].orv, the time only
// when it is not midnight; the code only for the current station alone (StationSet 0).
QString OrvArchiveName(int StationSet, const QString &CurrentCode, TDateTime Start, TDateTime End);

// The export button of the event page: the ORV export in ORX-only mode, the text export otherwise.
void InstallOrvExportCommand();
