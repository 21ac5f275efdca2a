#include "fuzz_support.h"
#include "lib/errors.h"
#include "lib/ini_file.h"

namespace {

// A mark that begins a name or value is not read back as one: at a line's start it is read as nothing,
// and UTF-8 text drops one it begins with. A name that begins with a blank had a mark before it when it
// was trimmed, and loses the blank when read again.
bool beginsWithMark(const QString &text, bool name)
{
    return text.startsWith(QChar(0xFEFF)) || text.startsWith(QStringLiteral("п»ї")) ||
           (name && !text.isEmpty() && text.front().isSpace());
}

// The image its written bytes make again is the image, in the file's own encoding.
bool writtenAsRead(const IniFile &ini)
{
    const QStringList sections = ini.ReadSections();
    for (const QString &section : sections) {
        if (beginsWithMark(section, true))
            return true;
        for (const QString &line : ini.ReadSectionValues(section))
            if (beginsWithMark(line, true) || beginsWithMark(line.section(QLatin1Char('='), 1), false))
                return true;
    }
    const IniFile again = IniFile::FromBytes(ini.FileBytes());
    if (again.ReadSections() != sections)
        return false;
    for (const QString &section : sections)
        if (again.ReadSectionValues(section) != ini.ReadSectionValues(section))
            return false;
    return true;
}

} // namespace

// An INI file of any bytes: it loads as an image or fails as a damaged file, every section and key it
// shows can be read back by its name in another case, and what it writes reads back as the same image.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    try {
        IniFile ini = IniFile::FromBytes(fuzz::bytesOf(data, size));
        for (const QString &section : ini.ReadSections()) {
            // Another case of a name, where Qt takes it for the same name ("ß" is upper-cased "SS").
            for (const QString &name : {section.toUpper(), section.toLower()})
                if (name.compare(section, Qt::CaseInsensitive) == 0 && !ini.SectionExists(name))
                    __builtin_trap();
            for (const QString &key : ini.ReadSection(section))
                ini.ReadInteger(section.toLower(), key.toUpper(), 0);
        }
        if (!writtenAsRead(ini))
            __builtin_trap();
        if (!ini.ReadSections().isEmpty()) {
            const QString first = ini.ReadSections().first();
            ini.WriteString(first, QStringLiteral("key"), QStringLiteral("value"));
            const QString upper = first.toUpper();
            ini.EraseSection(upper.compare(first, Qt::CaseInsensitive) == 0 ? upper : first);
            if (ini.SectionExists(first))
                __builtin_trap();
        }
    } catch (const EFileError &) {
    }
    return 0;
}
