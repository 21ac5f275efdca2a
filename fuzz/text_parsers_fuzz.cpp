#include "fuzz_support.h"
#include "lib/codec.h"
#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/number_routines.h"
#include "lib/text_routines.h"

#include <cstring>

// Dates, numbers and tokens typed by users or read from files, and date patterns and separators from
// format files: every conversion ends with a result or its own error.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    if (size < 12)
        return 0;
    double value = 0;
    std::memcpy(&value, data, sizeof value); // any bit pattern: NaN, infinities, huge values
    const QChar dateSep = QChar(char16_t(data[8]));
    const QChar timeSep = QChar(char16_t(data[9]));
    const QByteArray rest = fuzz::bytesOf(data + 10, size - 10);
    const QString text = fromCp1251(rest);
    const qsizetype half = text.size() / 2;

    TFormatSettings fs;
    fs.DateSeparator = dateSep;
    fs.TimeSeparator = timeSep;
    fs.DecimalSeparator = timeSep;
    fs.ShortDateFormat = text.left(half);
    fs.LongTimeFormat = text.mid(half);
    fs.ShortTimeFormat = text;
    for (const TFormatSettings &settings : {DefaultFormatSettings(), fs}) {
        FormatDateTime(text, value, settings);
        TDateTime parsed = 0;
        if (TryStrToDateTime(text, parsed, settings))
            FormatDateTime(QStringLiteral("c"), parsed, settings);
        try {
            StrToFloatAnyFS(text, settings);
        } catch (const EConvertError &) {
        }
    }

    bool error = true;
    DateTimeToStrDMY(StrToDateTimeDMY(text, &error, value));
    DateTimeToStrDMY(value);
    double number = 0;
    TryStrToFloatAny(text, number);
    int n = 0;
    CheckNumStr(text, &n, &number);
    IsIntStr(text);
    StrToIntInRange(text, n, -100, 100);
    TryIniTextToInt(text, n);
    try {
        HexToDWord(text);
    } catch (const EConvertError &) {
    }
    try {
        StrToFloatAny(text);
    } catch (const EConvertError &) {
    }

    dsarray parts;
    SplitTokens(text, CharSet(dateSep), CharSet(timeSep), parts);
    // Each token moves on, so a reader looping over them ends.
    int pos = 1, count = 0;
    while (pos > 0) {
        const int before = pos;
        GetNextToken(text, int(text.size()), pos, CharSet(dateSep), CharSet(timeSep), dateSep, &count);
        if (pos != 0 && pos <= before)
            __builtin_trap();
    }
    return 0;
}
