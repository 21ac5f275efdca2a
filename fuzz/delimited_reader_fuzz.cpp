#include "exchange/text/delimited_reader.h"
#include "lib/messages.h"

#include <cstddef>
#include <cstdint>

// Any bytes as a text table: the first four choose the separator, the qualifier and the column count,
// the rest is the file. Every read ends with a table of the format's width and never reads past it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        MessageProc = [](QWidget *, const QString &, unsigned, unsigned) { return IDOK; };
        ErrorMessageProc = MessageProc;
        return true;
    }();
    (void)quiet;
    if (size < 3)
        return 0;
    tspec spec;
    spec.fdel = QChar(char16_t(data[0] & 0x7f));
    spec.sdel = QChar(char16_t(data[1] & 0x7f));
    const int columns = data[2] % 40;
    for (int i = 0; i < columns; ++i)
        spec.cols.append(tspeccol{QStringLiteral("c%1").arg(i), false, true, {}});
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 3, qsizetype(size - 3));
    TD2D table;
    Txt2dslBytes(table, spec, bytes, QStringLiteral("fuzz.txt"));
    if (table.ColCount() != 0 && table.ColCount() != columns)
        __builtin_trap();
    return 0;
}
