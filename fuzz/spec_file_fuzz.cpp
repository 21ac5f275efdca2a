#include "exchange/import_type.h"
#include "exchange/text_format.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// A station's format file under both layouts: every read either succeeds within the bytes given or fails
// without allocating for columns the file cannot hold.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const int importType : {ImportText, ImportParadox}) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        TextFormats formats;
        formats.ReadSpecFile(buffer, importType);
    }
    return 0;
}
