#include "app/settings/reference_tables.h"
#include "fuzz_support.h"
#include "lib/string_table.h"

// Fixed-width text tables as users edit them: any bytes as a table with its own header line, and as the
// two reference files of the program folder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    const QString &dir = fuzz::workFolder();
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const QString table = dir + QStringLiteral("table.txt");
    fuzz::writeFile(table, bytes);
    TD2D grid;
    dptarray cols;
    ReadFWTxt(grid, table, cols, false);

    fuzz::writeFile(dir + QStringLiteral("system/filters.txt"), bytes);
    fuzz::writeFile(dir + QStringLiteral("system/waves.txt"), bytes);
    TD2D refTable;
    tfilts filters;
    tmulss waves;
    LoadFiltersAndWaves(dir, refTable, filters, waves);
    for (int row = 0; row < refTable.RowCount(); ++row)
        for (const QString &channel : {QStringLiteral("SPZ"), QString()})
            WaveAmplitudeFactor(refTable, waves, row, channel);
    return 0;
}
