#pragma once

#include <QString>

class Tmainf;

// What a run did, for the tests and the benchmarks.
struct OrvImportStats
{
    int inserted = 0;
    int skipped = 0; // arrivals without their event in the file
    int renamed = 0;
    bool committed = false;
    bool viewed = false; // view mode read the whole file into the import tables
};

// Reads an ORV event file. View mode fills the main window's origin and arrival import tables (with
// header rows) and opens no connection; import mode writes the file's rows into the ORX database,
// replacing what the file's stations hold there for its period. Every outcome is shown to the user.
// The archive is unpacked into a temporary folder of its own, removed at the end; the whole import,
// replacement included, is one transaction, so a run that ends early leaves the database as it was.
void ReadORV(Tmainf &Mainf, const QString &FileName, bool ViewOnly, OrvImportStats *Stats = nullptr);
