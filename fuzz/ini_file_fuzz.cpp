#include "fuzz_support.h"
#include "lib/errors.h"
#include "lib/ini_file.h"

// An INI file of any bytes: it loads as an image or fails as a damaged file, and every section and key
// it shows can be read back by its name in another case.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    try {
        IniFile ini = IniFile::FromBytes(fuzz::bytesOf(data, size));
        for (const QString &section : ini.ReadSections()) {
            if (!ini.SectionExists(section.toUpper()) || !ini.SectionExists(section.toLower()))
                __builtin_trap();
            for (const QString &key : ini.ReadSection(section))
                ini.ReadInteger(section.toLower(), key.toUpper(), 0);
        }
        if (!ini.ReadSections().isEmpty()) {
            const QString first = ini.ReadSections().first();
            ini.WriteString(first, QStringLiteral("key"), QStringLiteral("value"));
            ini.EraseSection(first.toUpper());
            if (ini.SectionExists(first))
                __builtin_trap();
        }
    } catch (const EFileError &) {
    }
    return 0;
}
