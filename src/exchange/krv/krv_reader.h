#pragma once

#include <QByteArray>
#include <QString>

class TD2D;

// Partner (KRV) text bulletins. The KRV table has 18 columns, row 0 holding their names; each event is a
// block whose first row r holds the event's reference date-time and V1-V4, row r + 1 the origin, row r + 2
// the coordinates and their errors, row r + 3 stays empty, and from r + 4 one row per station. Blocks after
// the first are preceded by one empty row.

inline constexpr int KrvColumnCount = 18;
// The table's column names in order.
const char *KrvColumnName(int Col);

// The station code of a partner station number; unknown numbers give "?" and the number.
void KrvStationCode(int Number, QString &Code);

// Fills Table from a bulletin's bytes (windows-1251, taken character for character). LinesRead counts
// every line taken from the text, also when a bad field stops the read with EConvertError. A table that
// would pass the bytes' share of memory (ReadBudgetBytes) stops the read with EFileError.
void ParseKrvBulletin(const QByteArray &Bytes, TD2D &Table, int &LinesRead);

// The largest bulletin file read.
constexpr qint64 MaxKrvFileBytes = qint64(32) << 20;

// Reads the file into Table; false with the message to show when the file cannot be read, is past the
// size limit, holds the character NUL or a field does not convert. Table is re-created in either case.
bool ReadKrvFile(const QString &FileName, TD2D &Table, QString &Message);
