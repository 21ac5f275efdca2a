#include "app/main/program_folder.h"

#include <QCoreApplication>

namespace {
QString g_folder;

QString withSlash(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

QString ResolveProgramFolder()
{
    const QString home = qEnvironmentVariable("BRENVALE_HOME");
    return withSlash(home.isEmpty() ? QCoreApplication::applicationDirPath() : home);
}

QString ProgramFolder()
{
    return g_folder;
}

void SetProgramFolder(const QString &folder)
{
    g_folder = withSlash(folder);
}
