#pragma once

#include "lib/datetime.h"
#include "lib/read_budget.h"
#include "platform/zip_archive.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class QIODevice;

// The ORV event file: a ZIP of typed table dumps ("_ori1101.orv", "_arr1101.orv") and the member
// "system" naming the tables in import order. Numbers little-endian, text windows-1251.

inline const QString OrvOriginMember = QStringLiteral("_ori1101.orv");
inline const QString OrvArrivalMember = QStringLiteral("_arr1101.orv");
inline const QString OrvSystemMember = QStringLiteral("system");

enum class OrvVersion { Unknown, V10, V11 };

// One station entry of a version-1.1 dump.
struct torxhsta
{
    QString code;
    TDateTime start = 0; // earliest exported arrival, 0 when none
    TDateTime end = 0;
};

// The member "system".
struct orxsystem
{
    QString text;
    QStringList tables; // lower-cased, in order
};

// What the reader keeps of one table dump; version 1.0 and 1.1 headers land in the same fields.
struct orxheader
{
    QString version; // "1.1" as written; "ZIP" for version 1.0
    QString table;   // lower-cased by the reader
    qint32 fieldCount = 0;
    qint32 recordCount = 0;
    TDateTime periodStart = 0;
    TDateTime periodEnd = 0;
    QString stationCode; // version 1.0 only
    QList<torxhsta> stations;
    QString fileName;
    QStringList fieldNames;
    QByteArray fieldTypes;
    // The current record, per field: text, SQL literal, NULL flag, and the value to bind (QString,
    // qlonglong, double or QDateTime).
    QStringList texts;
    QStringList literals;
    QList<bool> nulls;
    QVariantList values;
    QList<double> dates; // the day serial of each date field
    // Fields the target table lacks.
    QStringList missing;
    QString missingText;
};

constexpr int OrvHeaderSize11 = 164;
constexpr int OrvHeaderSize10 = 168;
constexpr int OrvTableNameCapacity = 127;

// Splits the member "system": blanks separate, a run of blanks is one separator, a name may stand in
// double quotes; names come back lower-cased.
QStringList SplitOrvSystem(const QString &text);

// The 164-byte header of a version-1.1 dump, its station entries and the field list. A short write
// shows "Ошибка при записи заголовка экспортного файла!".
bool WriteOrvHeader(QIODevice &stream, const orxheader &header);
// The record count as that header holds it, and where: a writer that reads its rows forward only puts
// the count in after the rows.
constexpr qint64 OrvRecordCountOffset = 140;
QByteArray OrvRecordCountBytes(qint32 count);

// Reads a length byte and that many bytes from the start and rewinds: "ZIP" is version 1.0, anything
// else 1.1. Unknown when not even the length byte could be read.
OrvVersion DetectOrvVersion(QIODevice &stream);

// Why a dump could not be read; the caller decides what the user is told.
// Short: a fixed-size value was cut, nothing shown yet; ShortText: a string was cut and ReadStrStream
// has said so; NulText: a text holds the character NUL, which would cut a statement made of it.
enum class OrvReadStatus { Ok, End, Short, ShortText, Damaged, Unsupported, NulText };

// The header of the version (for 1.1 with its station entries); leaves the stream at the field list.
// Counts are checked against what is left of the stream before anything is sized by them: a station
// or field count that cannot fit, or a record count beyond what the fields need, gives Damaged.
OrvReadStatus ReadOrvHeader(QIODevice &stream, OrvVersion version, orxheader &header);
// The field list: type code and name per field.
OrvReadStatus ReadOrvFieldList(QIODevice &stream, orxheader &header);

// How a record's values are given back: texts for showing, literals for an INSERT.
struct OrvValueForms
{
    bool viewOnly = false;
    TFormatSettings fs; // the user's date and time formats for the view
    // Values and NULL flags only (texts and literals of dates aside): an import binds the values and
    // wants a field's text or literal rarely, through OrvFieldText.
    bool valuesOnly = false;
};

// One record into header.texts/literals/nulls. End at the end of the stream before the record. An
// unsupported type code shows "ReadSQLStream: операция прервана.\rТип данных ..." and gives
// Unsupported.
OrvReadStatus ReadOrvRecord(QIODevice &stream, orxheader &header, const OrvValueForms &forms);

// The text or the SQL literal of a field of the record read last, as ReadOrvRecord gives them outside the
// view; "" for NULL.
QString OrvFieldText(const orxheader &header, int field, bool literal);
// The same of a value bound for a field of that type code; a date's comes from its day serial.
QString OrvValueText(char fieldType, const QVariant &value, double date, bool literal);

// What the import unpacks of an event file at most: its three members and a few more, each name once,
// into a private folder of its own that need not reach the disk.
UnzipLimits OrvUnzipLimits();

// What the view of an event file may hold in memory: the share of an input as large as the archive and
// as what it unpacked (lib/read_budget.h). Every table of the view counts against it: the cells of a
// table before a value is read, then the texts set into them.
class OrvViewBudget
{
public:
    OrvViewBudget(qint64 ArchiveBytes, qint64 UnpackedBytes);
    qint64 limit() const { return m_budget.limit(); }
    qint64 spent() const { return m_budget.spent(); }
    // Cells about to be made; false, with nothing spent, when they would pass the share.
    bool takeCells(qint64 Columns, qint64 Rows) { return growTable(Columns, 0, Rows); }
    // A table of Columns grown from FromRows to ToRows rows, as its columns allocate their cells.
    bool growTable(qint64 Columns, qint64 FromRows, qint64 ToRows);
    // The texts of a row as they are set into the table; false once the share is passed.
    bool takeTexts(const QStringList &Texts);
    // Why the view stops at a table of that size, naming the limit.
    QString refusal(qint64 Columns, qint64 Rows) const;

private:
    ReadBudget m_budget;
};

// Type codes whose values are counted strings, quoted in statements.
bool IsOrvStringType(char code);
// Type codes the reader has a value for; the others stop it at their first value.
bool IsOrvReadableType(char code);

// The SQL literals of date-time values: "{ts 'yyyy-mm-dd hh:nn:ss'}" and "{t 'hh:nn:ss'}".
QString OrvTimestampLiteral(TDateTime value);
QString OrvTimeLiteral(TDateTime value);
