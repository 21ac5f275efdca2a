#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// One file of each kind the import page reads, for the first station (PET), all telling of the same two
// Kamchatka earthquakes of the two days FirstDay and FirstDay + 1, which lie before the demo's period:
//
//   <folder>/samples/PET_journal.db     the station's journal as a Paradox table (events 9001, 9002)
//   <folder>/samples/Events1.txt, Station_bulletin1.txt, Xm_Add1.txt
//                                       the three text tables in the default formats (9003, 9004)
//   <folder>/samples/PET.xlsx           the station's workbook (9005, 9006)
//   <folder>/samples/tab_1.txt          a partner (KRV) bulletin of stations KRV and ELT
//   <folder>/samples/PET_<days>.orv     an ORV event file of PET (for the ORX-only mode)
struct DemoSampleFiles
{
    QString folder, journal, events, stationBulletin, xmAdd, workbook, partner, eventFile;
};

// Writes the files; BrenvaleError on failure.
DemoSampleFiles WriteDemoSamples(const QString &root, const QDate &firstDay);
