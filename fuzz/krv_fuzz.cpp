#include "exchange/krv/krv_reader.h"
#include "lib/errors.h"
#include "lib/string_table.h"

#include <cstddef>
#include <cstdint>

// A partner bulletin: any bytes give a table or a conversion error, never a crash.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TD2D table;
    int lines = 0;
    try {
        ParseKrvBulletin(bytes, table, lines);
    } catch (const BrenvaleError &) {
    }
    return 0;
}
