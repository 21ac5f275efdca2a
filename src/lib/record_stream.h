#pragma once

#include <QString>

class QIODevice;
class TDataSet;

// The binary records of the ORV table dumps. Numbers are little-endian; a string is a signed 32-bit
// byte count followed by that many windows-1251 bytes.

bool WriteStr2Stream(QIODevice &Stream, const QString &S);
// Fails, leaving S as it was, on a short read and on a count that is negative or beyond what the
// stream holds.
bool ReadStrStream(QIODevice &Stream, QString &S);
// The current record: per field a NULL byte (1 NULL, 0 a value follows), then the value by type.
bool WriteRec2Stream(QIODevice &Stream, TDataSet &DataSet);
// "NAME type" per field, comma-separated, for a Jet create statement.
bool copytablestruc(TDataSet &DataSet, QString &Columns);
