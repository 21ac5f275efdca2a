#include "exchange/orv/orv_file.h"
#include "lib/string_table.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// One ORV table dump as the import reads it: version, header, field list, then records to the end,
// in the view's and the import's forms, into a view table sized as the view sizes it. Every step either
// succeeds within the bytes given or stops.
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
    if (!OrvViewFits(header, qint64(header.recordCount) + 1))
        return 0;
    TD2D view;
    view.Init(header.fieldCount, header.recordCount + 1);
    OrvValueForms forms;
    for (int row = 1; ReadOrvRecord(buffer, header, forms) == OrvReadStatus::Ok; ++row) {
        if (row >= view.RowCount()) {
            if (!OrvViewFits(header, qint64(row) + 1))
                return 0;
            view.AddRows(1);
        }
        for (int i = 0; i < header.fieldCount; ++i)
            view.SetCell(i, row, header.texts[i]);
        forms.viewOnly = row % 2 == 0;
    }
    return 0;
}
