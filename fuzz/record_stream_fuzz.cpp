#include "lib/record_stream.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// A sequence of counted strings as the ORV dumps hold them: every read either succeeds within the
// bytes given or fails without allocating beyond them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QString s;
    while (ReadStrStream(buffer, s)) {
    }
    return 0;
}
