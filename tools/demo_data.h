#pragma once

#include "demo_samples.h"

#include <QDate>
#include <QString>
#include <QStringList>

// The demo program folder: settings, reference files, an ORX database and one bulletin database per
// station, all made up but consistent with each other. The same parameters give the same folder.
//
//   <folder>/system/Brenvale.ini, Stations.ini, orx.ini, filters.txt, waves.txt
//   <folder>/data/orx.db            the ORX database (a SQLite file)
//   <folder>/data/<code>.mdb        the bulletin database of each station (a SQLite file as well)
//   <folder>/samples/               a file of each kind the import page reads (demo_samples.h)
//
// Each station's bulletin holds what the copy from the ORX database would make of that station's
// arrivals: one event row per event it recorded, one reading per arrival, measurements for the
// readings with an amplitude; and the working copies origin and arrival as that copy leaves them.
struct DemoParams
{
    int stations = 6;
    int days = 21;
    QDate lastDay = QDate(2026, 11, 30);
    int eventsPerDay = 8;
    // Averages over the whole folder; the totals are these times the counts, rounded.
    double readingsPerEvent = 5.0;       // arrivals of one station per event
    double measurementsPerReading = 0.8; // below 1 only some readings carry an amplitude
    quint64 seed = 1;
};

// The stations the generator knows; more cannot be asked for.
int DemoStationLimit();

struct DemoSummary
{
    QString orxPath;
    QStringList stationCodes; // internal codes, in the order of Stations.ini
    QStringList bulletinPaths;
    int events = 0;
    int arrivals = 0;
    int amplitudeReadings = 0;
    int measurements = 0;
    DemoSampleFiles samples;
};

// Writes the folder, replacing the files named above; BrenvaleError (DbError, EFileError) on failure
// and EConvertError for parameters out of range. Brenvale.ini is written last, so its presence marks
// a finished folder.
DemoSummary GenerateDemoFolder(const QString &folder, const DemoParams &params);

// The Jet statements the folder's databases are made with (the ORX tables, then its indexes and the
// statistics; the bulletin tables), for benchmarks that put the same rows on a server.
QStringList DemoOrxCreates();
QStringList DemoOrxIndexes();
QStringList DemoBulletinCreates();
// The working copies of origin and arrival that a station's bulletin database holds for the copy from
// the ORX database; the demo's bulletin databases have them beside the tables above.
QStringList DemoWorkingCopyCreates();
// The staging table Access and its stored query Add_time, which a station database keeps for the
// Paradox journal.
QStringList DemoJournalCreates();
