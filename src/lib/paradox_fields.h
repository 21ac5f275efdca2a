#pragma once

#include "lib/datetime.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class QIODevice;

// Field types of a Paradox table that the import reads; the others are left to the caller.
enum : uint8_t {
    pxAlpha = 1,
    pxDate = 2,
    pxShort = 3,
    pxLong = 4,
    pxMoney = 5,
    pxNumber = 6,
};

// One field of a Paradox table as its header describes it.
struct TFullFldRec
{
    uint8_t FldType = 0;
    uint8_t FldSize = 0; // bytes of the field in a record
    QString Name;
};

// The date of a Paradox day number (day 1 is 01.01.0001) in FS's short date format.
QString PdxDaysToStr(int Days, const TFormatSettings &FS);

// Reads one field value at F's position and turns it into text; an all-zero number, date or money
// value is empty, a day outside 01.01.0001 to 31.12.9999 its day number. Alpha bytes are windows-1251, or
// cp866 when CodePage is 866. A type the decoder does not read, or a number field whose size is not that of
// its type, gives false before any byte is read; so does a read that falls short. Raw, when given, receives
// the field's bytes decoded: numbers in native order, alpha text in windows-1251.
bool ReadPdxField(QIODevice &F, const TFullFldRec &Fld, uint16_t CodePage, QString &Value,
                  const TFormatSettings &FS, QByteArray *Raw = nullptr);

// Reads a zero-ended name (windows-1251) byte by byte, consuming the zero. Stops early, without a
// zero, after MaxLen characters (a negative MaxLen is no limit) or at the end of F; Terminated tells
// whether the zero was read. False only when a read fails.
bool ReadZStrFromHandle(QIODevice &F, QString &S, int MaxLen, bool *Terminated = nullptr);
