#pragma once

// Paradox tables for the tests, written by Debian's pxlib so that the reader meets files it did not
// write itself. pxlib writes Paradox 7 tables only; the older layouts are made from them by hand, as
// the file format lays them out.

#include "lib/codec.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// pxlib's header has no C++ linkage of its own.
extern "C" {
#include <paradox.h>
}

#include <cstdlib>
#include <cstring>

struct PxColumn
{
    const char *name;
    int type; // pxfAlpha, pxfDate, pxfShort, pxfLong, pxfCurrency, pxfNumber
    int size;
};

// A station journal's sixteen fields as stations keep them.
inline const QList<PxColumn> kPxJournal = {
    {"N c/c", pxfAlpha, 6}, {"N event", pxfShort, 2}, {"Data", pxfDate, 4},   {"Faza", pxfAlpha, 8},
    {"Dev", pxfAlpha, 6},   {"Ho", pxfShort, 2},      {"Min", pxfShort, 2},   {"Sek", pxfNumber, 8},
    {"T", pxfNumber, 8},    {"A E-W", pxfAlpha, 8},   {"A N-S", pxfAlpha, 8}, {"A Z", pxfAlpha, 8},
    {"S-P", pxfAlpha, 6},   {"Del", pxfNumber, 8},    {"M", pxfAlpha, 8},     {"Notes", pxfAlpha, 30},
};

// A cell: an invalid QVariant is NULL; QDate for dates, int for short and long, double for money and
// number, QByteArray for alpha (bytes as the table's code page has them).
using PxRow = QList<QVariant>;

inline QByteArray writePxTable(const QString &path, const QList<PxColumn> &columns, const QList<PxRow> &rows,
                               int codePage)
{
    pxdoc_t *px = PX_new();
    // pxlib keeps and frees the descriptors itself.
    auto *fields = static_cast<pxfield_t *>(std::calloc(columns.size(), sizeof(pxfield_t)));
    for (qsizetype i = 0; i < columns.size(); ++i) {
        fields[i].px_fname = strdup(columns[i].name);
        fields[i].px_ftype = char(columns[i].type);
        fields[i].px_flen = columns[i].size;
    }
    const QByteArray file = QFile::encodeName(path);
    if (PX_create_file(px, fields, int(columns.size()), file.constData(), pxfFileTypNonIndexDB) < 0) {
        PX_delete(px);
        return {};
    }
    PX_set_value(px, "codepage", float(codePage));
    PX_set_tablename(px, "journal");
    const int recordSize = PX_get_recordsize(px);
    QByteArray record(recordSize, '\0');
    for (const PxRow &row : rows) {
        record.fill('\0');
        char *at = record.data();
        for (qsizetype c = 0; c < columns.size(); at += columns[c].size, ++c) {
            const QVariant &v = c < row.size() ? row[c] : QVariant();
            if (!v.isValid())
                continue; // NULL: the field's bytes stay zero, as pxlib writes an empty value
            switch (columns[c].type) {
            case pxfAlpha: {
                QByteArray text = v.toByteArray();
                PX_put_data_alpha(px, at, columns[c].size, text.data());
                break;
            }
            case pxfDate: {
                const QDate d = v.toDate();
                // pxlib counts Paradox days from its serial day 1721425, the day before 01.01.0001.
                PX_put_data_long(px, at, 4, int(PX_GregorianToSdn(d.year(), d.month(), d.day()) - 1721425));
                break;
            }
            case pxfShort:
                PX_put_data_short(px, at, 2, short(v.toInt()));
                break;
            case pxfLong:
                PX_put_data_long(px, at, 4, v.toInt());
                break;
            default:
                PX_put_data_double(px, at, 8, v.toDouble());
                break;
            }
        }
        PX_put_record(px, record.data());
    }
    PX_close(px);
    PX_delete(px);
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A row written by hand, cells joined by "|" in the columns' types: dates dd.mm.yyyy, alpha text in
// cp866, an empty cell NULL.
inline PxRow pxRow(const QList<PxColumn> &columns, const char *text)
{
    const QStringList cells = QString::fromUtf8(text).split(QLatin1Char('|'));
    PxRow row;
    for (qsizetype c = 0; c < cells.size(); ++c) {
        const QString &cell = cells[c];
        const int type = columns[c].type;
        row << (cell.isEmpty()     ? QVariant()
                : type == pxfAlpha ? QVariant(toCp866(cell))
                : type == pxfDate  ? QVariant(QDate::fromString(cell, QStringLiteral("dd.MM.yyyy")))
                : type == pxfShort || type == pxfLong ? QVariant(cell.toInt())
                                                      : QVariant(cell.toDouble()));
    }
    return row;
}

// Header offsets of the format.
constexpr int kPxRecords = 6, kPxFirstBlock = 14, kPxFields = 33, kPxVersion = 57, kPxDescriptors = 120;

inline int pxHeaderSize(const QByteArray &t)
{
    return uchar(t[2]) | uchar(t[3]) << 8;
}
inline int pxFieldCount(const QByteArray &t)
{
    return uchar(t[kPxFields]) | uchar(t[kPxFields + 1]) << 8;
}
inline void pxPut16(QByteArray &t, qsizetype at, int v)
{
    t[at] = char(v & 0xFF);
    t[at + 1] = char((v >> 8) & 0xFF);
}
inline void pxPut32(QByteArray &t, qsizetype at, qint32 v)
{
    for (int i = 0; i < 4; ++i)
        t[at + i] = char((quint32(v) >> (8 * i)) & 0xFF);
}

// The same table in an older layout: versions 5 to 11 keep a 79-byte table name instead of 261 bytes;
// versions 4 and below also have no extended header (bytes 88 to 119), so no code page. The header
// keeps its size: the bytes taken out are made up with zeros before the first data block.
inline QByteArray pxOlderVersion(QByteArray t, int version)
{
    const int n = pxFieldCount(t);
    const int headerSize = pxHeaderSize(t);
    const qsizetype nameField = kPxDescriptors + 2 * n + 4 * (n + 1);
    int removed = 261 - 79;
    t.remove(nameField + 79, 261 - 79);
    if (version <= 4) {
        t.remove(88, 32);
        removed += 32;
    }
    t.insert(headerSize - removed, QByteArray(removed, '\0'));
    t[kPxVersion] = char(version);
    return t;
}
