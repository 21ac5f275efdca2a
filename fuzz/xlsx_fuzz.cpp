#include "exchange/excel/workbook.h"
#include "lib/errors.h"

#include <cstddef>
#include <cstdint>

// An .xlsx workbook: any bytes give sheets or a message about the damage, within the sizes they state.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        ReadXlsxBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    } catch (const BrenvaleError &) {
    }
    return 0;
}
