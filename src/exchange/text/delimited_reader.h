#pragma once

#include "exchange/read_limits.h"
#include "exchange/text/text_format.h"
#include "lib/string_table.h"

#include <QByteArray>
#include <QString>

// Reads a delimited text table laid out by spec into table: one column per column of spec (used or
// not), one row per line (no header line), cells as text. A token with letters of DOS cp866 is taken
// as such and converted. False after a message: a line with too few fields (the rows before it stay),
// or a file that cannot be read, is past a limit or holds the character NUL (the table is cleared).
// Fields beyond the format's columns are ignored.
bool Txt2dsl(TD2D &table, const tspec &spec, const QString &fileName);

// The same over bytes already read; fileName only names the file in messages.
bool Txt2dslBytes(TD2D &table, const tspec &spec, const QByteArray &bytes, const QString &fileName);

// The largest text table the reader takes in one piece.
constexpr qint64 MaxTextTableBytes = qint64(1) << 28;
// Cells of one staging table (lines times the format's columns), so a file of empty lines cannot ask
// for more memory than the machine has.
constexpr qint64 MaxTextTableCells = MaxTableCells;
