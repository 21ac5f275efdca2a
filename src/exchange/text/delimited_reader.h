#pragma once

#include "exchange/read_limits.h"
#include "exchange/text/text_format.h"
#include "lib/string_table.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads a delimited text table laid out by spec into table: one column per column of spec (used or
// not), one row per line (no header line), cells as text. A token with letters of DOS cp866 is taken
// as such and converted. False after a message: a line with too few fields (the rows before it stay,
// and the row of that line as far as it was read), or a file that cannot be read, is past a limit or
// holds the character NUL (the table is cleared). Fields beyond the format's columns are ignored. The
// file is read line by line: the table grows with the lines read and within budget, which a read made
// without one takes from the file's own size.
bool Txt2dsl(TD2D &table, const tspec &spec, const QString &fileName, ReadBudget *budget = nullptr);

// The same over bytes already read; fileName only names the file in messages.
bool Txt2dslBytes(TD2D &table, const tspec &spec, const QByteArray &bytes, const QString &fileName,
                  ReadBudget *budget = nullptr);

// The three text tables of an import (Events, Station_bulletin, XM_Add) from their files, read one after
// another within the share of the three files together; the first failure ends the read.
bool ReadTextTables(TD2D *const (&tables)[3], const tspec *const (&specs)[3], const QString (&files)[3]);
