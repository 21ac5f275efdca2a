#pragma once

#include "lib/datetime.h"

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QList>
#include <QString>

// One column of a delimited text table: the database column it carries and its flags.
struct tspeccol
{
    QString name; // at most 71 characters are stored
    bool key = false;
    bool used = true;
    // Bytes after the name in a stored entry; carried so a file reads and writes back unchanged.
    QByteArray nameTail;
};

// How one table is laid out as delimited text.
struct tspec
{
    quint8 mark = 1;
    qint32 codepage = 1251;
    QChar fdel = QLatin1Char(';');
    QChar sdel = QLatin1Char('"');
    QString datefmt = QStringLiteral("mdy"); // order of day, month and year
    QChar dtdel = QLatin1Char('/');
    QChar tmdel = QLatin1Char(':');
    QChar decdel = QLatin1Char(',');
    bool foury = false;
    bool ext0 = false;
    quint16 byear = 50;
    QList<tspeccol> cols;
};

constexpr int SpecHeaderSize = 24;
constexpr int SpecColumnSize = 74;

enum SpecTable : int { SpecEvents = 0, SpecStationBulletin = 1, SpecXmAdd = 2 };

// Default column lists of Events, Station_bulletin and XM_Add.
QList<tspeccol> DefaultSpecColumns(SpecTable table);

QByteArray SpecHeaderBytes(const tspec &spec);
void SpecHeaderFromBytes(tspec &spec, const QByteArray &header); // header: exactly 24 bytes

// One record at the device's position; false when a read or write fails or falls short. A column
// count that the rest of the device cannot hold fails before anything is allocated.
bool ReadSpecRecord(QIODevice &file, tspec &spec, bool full);
bool WriteSpecRecord(QIODevice &file, const tspec &spec, bool full);

void CopySpec(const tspec &src, tspec &dst, bool copyHeader, bool copyColumns);

// Number and date settings for reading and writing text in this format. currentYear and the century
// base derived from it are those fixed at program start.
void TspecToFormatSettings(TFormatSettings &fs, const tspec &spec, const TFormatSettings &locale,
                           int currentYear);

// The six formats a station keeps, and whether they differ from their file.
struct TextFormats
{
    tspec importSpec[3];
    tspec exportSpec[3];
    bool specsDirty = false;
    // What a station's file would hold where it could not be written, by the file's path: until a save
    // succeeds (or a reset), the station gets its formats back from here rather than from the old file.
    QHash<QString, QByteArray> unsaved;

    void SetDefaults();
    // programDir ends with "/". Messages go through the message procedure. A file that cannot be read
    // whole is reported and gives the defaults; a file that cannot be written is reported with the reason,
    // the old one stays and the formats are kept in unsaved. True only when a file was read whole.
    bool LoadSpec(const QString &programDir, const QString &name, bool reset, int importType);
    bool SaveSpec(const QString &programDir, const QString &name, int importType);
    // The records of a format file in the layout of importType; false when one falls short.
    bool ReadSpecFile(QIODevice &file, int importType);
};

QString SpecFilePath(const QString &programDir, const QString &name);
