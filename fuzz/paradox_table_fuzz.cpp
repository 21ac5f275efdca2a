#include "exchange/paradox/paradox_table.h"
#include "fuzz_support.h"

#include <QBuffer>

// A Paradox table as the import reads it: every count, offset and size in it is checked against the
// bytes given before the reader seeks, reads or allocates.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = fuzz::bytesOf(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TD2D table;
    ImportStats stats;
    // As the import page reads it, with the grid's 8 bytes a row.
    const ParadoxResult result = ReadParadoxTable(buffer, table, TFormatSettings(), stats, ParadoxBuiltIn, 8);
    ParadoxFailureMessage(result);
    ParadoxCountNote(result, QString());
    return 0;
}
