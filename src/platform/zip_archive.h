#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// ZIP archives of the data module. Both raise EFileError on any failure; the caller's protection block
// reports it.

// Writes the archive zipName anew (an old file of that name is replaced once the new one is whole, and
// stays as it was when packing fails): oneFile alone, or every file of files in list order when oneFile
// is empty. Members are deflated at level (9, the highest, unless a caller's format leaves it open)
// under their bare file names; an empty list gives a valid empty archive. EFileError on failure.
void zipFiles(const QString &zipName, const QString &oneFile, const QStringList &files, int level = 9);

// What one unpacking may write: an archive past these gets EFileError naming the limit. The sizes the
// archive states are checked before anything is written, the bytes it really gives while they come.
struct UnzipLimits
{
    int maxMembers = 10000;
    qint64 maxBytes = qint64(1) << 30; // all members together
    // Unpacked bytes per byte of the archive, once the members hold more than ratioFrom in all.
    int maxRatio = 100;
    qint64 ratioFrom = qint64(1) << 20;
    // The folder is private and removed after use: members are not synced to the disk.
    bool scratch = false;
    // Two members that would be one file on the Windows disks the archives come from (paths equal but
    // for case) make the archive damaged: one of them would be lost unsaid. Checked before anything is
    // written.
    bool distinctNames = false;
};

// Extracts every member into dir (empty: the archive's own folder), creating stored subfolders and
// overwriting existing files. A member whose name is absolute, climbs out with ".." or names no file
// ("", ".") is not written; the others are, and then the refusal is raised.
void unzipAll(const QString &zipName, const QString &dir, const UnzipLimits &limits = {});

struct zip;
struct zip_file;

// libzip's error in Russian words, its own text after them for the specialist.
QString ZipErrorText(int zipError, const char *rawText);
QString ZipErrorText(struct zip *archive);
QString ZipErrorText(struct zip_file *member);

// A member name as stored: UTF-8 when the archive says so, otherwise DOS cp866 as Windows tools write it.
QString zipMemberName(const QByteArray &raw, bool utf8);
