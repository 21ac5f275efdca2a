#include "lib/dual_ini.h"

#include "lib/ini_file.h"

#include <QSet>

namespace {

const QString kMainFile = QStringLiteral("system/Brenvale.ini");
const QString kStationsFile = QStringLiteral("system/Stations.ini");
const QString kCommonSection = QStringLiteral("station");

// The common keys case-folded, for finding a key by hash: made once for each list the stores are given.
// The index holds a copy of the list it was made from, so the list's data cannot change in place: a list
// changed or replaced since has other data, and is indexed again.
const QSet<QString> &commonKeyIndex(const QStringList &keys)
{
    thread_local QStringList indexed;
    thread_local QSet<QString> index;
    if (indexed.constData() != keys.constData() || indexed.size() != keys.size()) {
        indexed = QStringList();
        index = QSet<QString>();
        for (const QString &key : keys)
            index.insert(key.toCaseFolded());
        indexed = keys;
    }
    return index;
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
    if (Keys && !Keys->isEmpty() && commonKeyIndex(*Keys).contains(Key.toLower().toCaseFolded())) {
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
