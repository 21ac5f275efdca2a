#include "app/main/orx_ini.h"

#include "lib/errors.h"
#include "lib/ini_file.h"

#include <QDir>

QString OrxIniPath()
{
    const QString dir = qEnvironmentVariable("ORX_INI_DIR");
    return QDir(dir.isEmpty() ? QStringLiteral("/etc") : dir).filePath(QStringLiteral("orx.ini"));
}

OrxIniValues ReadOrxIni(const QString &path)
{
    OrxIniValues values;
    try {
        const IniFile ini(path);
        const QString section = QStringLiteral("database");
        values.source = ini.ReadString(section, QStringLiteral("odbc"), QString());
        values.user = ini.ReadString(section, QStringLiteral("user"), QString());
        values.password = ini.ReadString(section, QStringLiteral("password"), QString());
    } catch (const EFileError &) {
        return OrxIniValues();
    }
    if (values.user.isEmpty())
        values.user = QStringLiteral("qzv");
    if (values.password.isEmpty())
        values.password = QStringLiteral("qzv");
    return values;
}
