#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// ZIP archives of the data module. Both raise EFileError on any failure; the caller's protection block
// reports it.

// Writes the archive zipName anew (an old file of that name is replaced once the new one is whole, and
// stays as it was when packing fails): oneFile alone, or every file of files in list order when oneFile
// is empty. Members are deflated at level 9 under their bare file names; an empty list gives a valid
// empty archive. EFileError on failure.
void zipFiles(const QString &zipName, const QString &oneFile, const QStringList &files);

// Extracts every member into dir (empty: the archive's own folder), creating stored subfolders and
// overwriting existing files. A member whose name is absolute or climbs out with ".." is not written;
// the others are, and then the refusal is raised.
void unzipAll(const QString &zipName, const QString &dir);

// A member name as stored: UTF-8 when the archive says so, otherwise DOS cp866 as Windows tools write it.
QString zipMemberName(const QByteArray &raw, bool utf8);
