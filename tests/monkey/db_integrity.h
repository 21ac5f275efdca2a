#pragma once

#include <QString>
#include <QStringList>

// What a separate connection finds in one SQLite file of the program (the ORX database, a station's
// bulletin database): PRAGMA integrity_check and PRAGMA foreign_key_check.
struct IntegrityResult
{
    bool busy = false;    // the program held a lock past the wait: nothing was checked
    QStringList problems; // empty when the file is whole
};
// The program's locks are awaited up to busyMs.
IntegrityResult CheckSqliteIntegrity(const QString &path, int busyMs = 5000);

// True when a connection holds the file's write lock: another connection cannot start a write now.
bool HoldsWriteLock(const QString &path);
