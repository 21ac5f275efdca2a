#include "exchange/orv_file.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// One ORV table dump as the import reads it: version, header, field list, then records to the end,
// in the view's and the import's forms. Every step either succeeds within the bytes given or stops.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const OrvVersion version = DetectOrvVersion(buffer);
    if (version == OrvVersion::Unknown)
        return 0;
    orxheader header;
    if (ReadOrvHeader(buffer, version, header) != OrvReadStatus::Ok ||
        ReadOrvFieldList(buffer, header) != OrvReadStatus::Ok)
        return 0;
    OrvValueForms forms;
    for (int record = 0; ReadOrvRecord(buffer, header, forms) == OrvReadStatus::Ok; ++record)
        forms.viewOnly = record % 2 == 0;
    return 0;
}
