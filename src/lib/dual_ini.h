#pragma once

#include "lib/ini_file.h"

#include <QString>
#include <QStringList>

#include <memory>

// Settings store over the two INI files: a key listed in the common-key list lives in section "station"
// of system/Brenvale.ini, shared by all stations; any other key lives in system/Stations.ini under the
// station's own section. Each file is read on the first operation that routes to it and written back
// only by UpdateFile.
class TDualIni : public SettingsAccess
{
public:
    // Keys is not owned and may be null; BaseDir is the program folder with its trailing "/".
    TDualIni(const QStringList *Keys, const QString &BaseDir);
    // Frees the images without writing them.
    virtual ~TDualIni();
    TDualIni(const TDualIni &) = delete;
    TDualIni &operator=(const TDualIni &) = delete;

    QString ReadString(const QString &Section, const QString &Key, const QString &Default) override;
    void WriteString(const QString &Section, const QString &Key, const QString &Value) override;

    // Writes back every image that was created, the stations file first; EFileError on failure.
    void UpdateFile();
    // Section names of the stations file, that is the internal codes of the stations with settings.
    void ReadSections(QStringList &Strings);

private:
    IniFile &route(const QString &Section, const QString &Key, QString &targetSection);
    IniFile &stations();

    std::unique_ptr<IniFile> StationsIni;
    std::unique_ptr<IniFile> MainIni;
    const QStringList *Keys;
    QString BaseDir;
};
