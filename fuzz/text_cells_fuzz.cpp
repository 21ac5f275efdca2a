#include "exchange/text/text_cells.h"
#include "fuzz_support.h"
#include "lib/codec.h"

#include <cstring>

// The cells of a text table's column as the text import converts them: the column reader of dates gives
// the general reading's result and value for every cell, whatever the cells above it were, and numbers
// convert or refuse. The first bytes are the format: separators, the date pattern's order, the century
// window and the current year; then a float to write as a cell; the rest is the column, a cell a line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    if (size < 15)
        return 0;
    static const char *const patterns[] = {"dd.mm.yyyy", "mm/dd/yy", "yyyy-mm-dd",
                                           "d.m.yy",     "yy.mm.dd", "dmy"};
    TFormatSettings fs;
    fs.DateSeparator = QChar(char16_t(data[0]));
    fs.TimeSeparator = QChar(char16_t(data[1]));
    fs.DecimalSeparator = QChar(char16_t(data[2]));
    fs.ShortDateFormat = QString::fromLatin1(patterns[data[3] % std::size(patterns)]);
    fs.TwoDigitYearCenturyWindow = data[4] % 120;
    const int currentYear = 1900 + data[5] % 200;
    fs.WindowYear = currentYear;
    double value = 0;
    std::memcpy(&value, data + 6, sizeof value); // any bit pattern: NaN, infinities, huge values
    FloatCellText(value, fs.DecimalSeparator);

    const QString text = fromCp1251(fuzz::bytesOf(data + 14, size - 14));
    TextDateTimeCells column(fs, currentYear);
    for (const QString &cell : text.split(QLatin1Char('\n'))) {
        TDateTime alone = -1, read = -1;
        const bool ok = TextCellToDateTime(cell, fs, currentYear, alone);
        if (column.read(cell, read) != ok || (ok && read != alone))
            __builtin_trap();
        double number = 0;
        TextCellToFloat(cell, fs, number);
    }
    return 0;
}
