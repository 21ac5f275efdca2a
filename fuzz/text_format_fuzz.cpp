#include "exchange/page/import_type.h"
#include "exchange/text/text_format.h"
#include "fuzz_support.h"
#include "lib/date_routines.h"
#include "lib/errors.h"

// A station's .spe format file of any bytes, read in both modes of the import page; the formats it gives
// then convert dates and numbers as the text import and export would.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    const QString &dir = fuzz::workFolder();
    fuzz::writeFile(SpecFilePath(dir, QStringLiteral("fuzz")), fuzz::bytesOf(data, size));
    for (const int importType : {int(ImportText), int(ImportParadox)}) {
        TextFormats formats;
        formats.SetDefaults();
        formats.LoadSpec(dir, QStringLiteral("fuzz"), false, importType);
        for (const tspec &spec : formats.importSpec) {
            TFormatSettings fs;
            TspecToFormatSettings(fs, spec, DefaultFormatSettings(), 2026);
            const TDateTime when = EncodeDate(2026, 11, 30) + 0.5;
            const QString text = FormatDateTime(QStringLiteral("c"), when, fs) +
                                 FormatDateTime(QStringLiteral("ddddd tt"), when, fs);
            TDateTime back = 0;
            TryStrToDateTime(text, back, fs);
        }
    }
    return 0;
}
