#include "exchange/orv/orv_file.h"
#include "lib/string_table.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// One ORV table dump as the import reads it: version, header, field list, then records to the end, in
// the view's and the import's forms, into a view table sized and filled within the view's share of
// memory. Every step either succeeds within the bytes given or stops. The import reads values only and
// makes a field's text or literal when it needs one: each is the one a full read gives, and the reads
// stop at the same record.
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
    const qint64 inputBytes = qint64(size);
    OrvViewBudget budget(inputBytes, inputBytes);
    if (!budget.takeCells(header.fieldCount, qint64(header.recordCount) + 1))
        return 0;
    QBuffer valuesBuffer(&bytes);
    valuesBuffer.open(QIODevice::ReadOnly);
    valuesBuffer.seek(buffer.pos());
    orxheader valuesHeader = header;
    OrvValueForms valuesForms;
    valuesForms.valuesOnly = true;

    TD2D view;
    view.Init(header.fieldCount, header.recordCount + 1);
    OrvValueForms forms;
    for (int row = 1;; ++row) {
        const OrvReadStatus status = ReadOrvRecord(buffer, header, forms);
        if (ReadOrvRecord(valuesBuffer, valuesHeader, valuesForms) != status)
            __builtin_trap();
        if (status != OrvReadStatus::Ok)
            break;
        const bool added = row >= view.RowCount();
        if ((added && !budget.takeCells(header.fieldCount, 1)) || !budget.takeTexts(header.texts))
            return 0;
        if (added)
            view.AddRows(1);
        for (int i = 0; i < header.fieldCount; ++i) {
            view.SetCell(i, row, header.texts[i]);
            if (valuesHeader.nulls[i] != header.nulls[i] ||
                OrvFieldText(valuesHeader, i, true) != header.literals[i] ||
                (!forms.viewOnly && OrvFieldText(valuesHeader, i, false) != header.texts[i]))
                __builtin_trap();
        }
        forms.viewOnly = row % 2 == 0;
    }
    return 0;
}
