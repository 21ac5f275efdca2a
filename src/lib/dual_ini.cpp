#include "lib/dual_ini.h"

#include "lib/ini_file.h"

namespace {

const QString kMainFile = QStringLiteral("system/Brenvale.ini");
const QString kStationsFile = QStringLiteral("system/Stations.ini");
const QString kCommonSection = QStringLiteral("station");

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

void TDualIni::WriteString(const QString &Section, const QString &Key, const QString &Value)
{
    QString section;
    IniFile &ini = route(Section, Key, section);
    ini.WriteString(section, Key, Value);
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
