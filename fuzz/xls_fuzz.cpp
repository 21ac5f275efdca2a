#include "exchange/excel/workbook.h"
#include "lib/errors.h"

#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>

// An .xls workbook, which the BIFF reader takes from a file: any bytes give sheets or a message.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open())
        return 0;
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.flush();
    try {
        ReadWorkbook(file.fileName());
    } catch (const BrenvaleError &) {
    }
    return 0;
}
