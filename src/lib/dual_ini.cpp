#include "lib/dual_ini.h"

#include "lib/ini_file.h"

namespace {

const QString kMainFile = QStringLiteral("system/Brenvale.ini");
const QString kStationsFile = QStringLiteral("system/Stations.ini");
const QString kCommonSection = QStringLiteral("station");

// Integer text as the system reads it: optional sign, then decimal digits or "$" and hex digits, nothing
// else (no blanks); false when the text is no 32-bit integer.
bool TryIniTextToInt(const QString &text, int &value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    const bool hex = i < text.size() && text[i] == u'$';
    if (hex)
        ++i;
    if (i == text.size())
        return false;
    // Hex text covers the whole 32-bit pattern ($FFFFFFFF is -1); decimal text must fit the signed range.
    const quint64 limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit)
            return false;
    }
    const quint32 bits = quint32(magnitude);
    value = int(negative ? 0u - bits : bits);
    return true;
}

} // namespace

TDualIni::TDualIni(const QStringList *Keys, const QString &BaseDir) : Keys(Keys), BaseDir(BaseDir) {}

TDualIni::~TDualIni() = default;

IniFile &TDualIni::stations()
{
    if (!StationsIni)
        StationsIni = std::make_unique<IniFile>(BaseDir + kStationsFile);
    return *StationsIni;
}

IniFile &TDualIni::route(const QString &Section, const QString &Key, QString &targetSection)
{
    if (Keys && Keys->contains(Key.toLower(), Qt::CaseInsensitive)) {
        targetSection = kCommonSection;
        if (!MainIni)
            MainIni = std::make_unique<IniFile>(BaseDir + kMainFile);
        return *MainIni;
    }
    targetSection = Section;
    return stations();
}

QString TDualIni::ReadString(const QString &Section, const QString &Key, const QString &Default)
{
    QString section;
    IniFile &ini = route(Section, Key, section);
    return ini.ReadString(section, Key, Default);
}

int TDualIni::ReadInteger(const QString &Section, const QString &Key, int Default)
{
    int value;
    return TryIniTextToInt(ReadString(Section, Key, QString()), value) ? value : Default;
}

bool TDualIni::ReadBool(const QString &Section, const QString &Key, bool Default)
{
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TDualIni::WriteString(const QString &Section, const QString &Key, const QString &Value)
{
    QString section;
    IniFile &ini = route(Section, Key, section);
    ini.WriteString(section, Key, Value);
}

void TDualIni::WriteInteger(const QString &Section, const QString &Key, int Value)
{
    WriteString(Section, Key, QString::number(Value));
}

void TDualIni::WriteBool(const QString &Section, const QString &Key, bool Value)
{
    WriteString(Section, Key, Value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TDualIni::UpdateFile()
{
    if (StationsIni)
        StationsIni->UpdateFile();
    if (MainIni)
        MainIni->UpdateFile();
}

void TDualIni::ReadSections(QStringList &Strings)
{
    Strings = stations().ReadSections();
}
