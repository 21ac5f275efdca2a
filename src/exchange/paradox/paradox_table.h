#pragma once

#include "lib/datetime.h"
#include "lib/paradox_fields.h"
#include "lib/string_table.h"

#include <QList>
#include <QString>

class QIODevice;

// What a read gathers for the import grid's status panels: the first event number (-1 none seen, -2
// numbering broken), the last one and the one before, the first and the last date text.
struct ImportStats
{
    int FirstNum = -1;
    int CurNum = -1;
    int PrevNum = -1;
    QString FirstDate;
    QString LastDate;
};

// One cell's share of the statistics: kind 1 is an event number, kind 2 a date; other kinds count
// nothing.
void AddImportStat(int Kind, const QString &Value, const TFormatSettings &FS, ImportStats &Stats);

enum class ParadoxStatus {
    Complete,     // every record the header counts has its row
    NotDataTable, // the file type is not that of a data table
    ReadError,    // a read fell short, a value could not be decoded, or the structure is damaged
    EngineMissing // the engine reader was asked for and there is no engine
};

// Paradox interface choices of the settings ("in_provider").
enum : int { ParadoxBuiltIn = 0, ParadoxEngine = 1 };

struct ParadoxResult
{
    ParadoxStatus status = ParadoxStatus::Complete;
    QString detail; // why a read failed, for the message's second line; may be empty
    uint16_t codePage = 0;
    int version = 0;
    QList<TFullFldRec> fields;
    qint64 recordsCounted = 0; // by the header
    qint64 recordsRead = 0;    // the data rows of the table
    qint64 recordsInChain = 0; // held by the block chain, as far as it could be walked
    bool chainCut = false;     // the chain past the header's count is damaged: it holds more than counted
};

// Reads a Paradox table from F into Table: one column per field, row 0 the field names, row r record r
// of the block chain. Every count, offset and size from the header is checked against the size of F
// before it is used, so a damaged file ends as a read error without reading or allocating beyond it.
// The block chain is walked before the table is sized: the table gets the smaller of the header's count
// and the records the chain holds, so a count past them costs nothing and the records there are read
// (ParadoxCountNote tells of it, and of records past the count). The table, and RowBytes for each of its rows
// where a view keeps something per row, stay within the read's share of memory (ReadBudgetBytes of F's size).
// Table keeps what was read up to a failure. Stats gathers the cells of field index 1 (event number) and 2
// (date). Provider other than the two known ones reads the header only.
ParadoxResult ReadParadoxTable(QIODevice &F, TD2D &Table, const TFormatSettings &FS, ImportStats &Stats,
                               int Provider = ParadoxBuiltIn, qint64 RowBytes = 0);

// The message of a read that did not complete.
QString ParadoxFailureMessage(const ParadoxResult &Result);

// The note of a complete read whose header counts another number of records than its block chain holds,
// naming the file and both counts; empty otherwise.
QString ParadoxCountNote(const ParadoxResult &Result, const QString &FileName);
