#include "app/settings/odbc_admin.h"

#include "lib/messages.h"
#include "lib/safe_write.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

OdbcAdminSeams systemSeams()
{
    OdbcAdminSeams s;
    s.findProgram = [](const QString &name) { return QStandardPaths::findExecutable(name); };
    s.startProgram = [](const QString &program) { return QProcess::startDetached(program, {}); };
    s.openDocument = [](const QString &file) { return QDesktopServices::openUrl(QUrl::fromLocalFile(file)); };
    return s;
}

const char *const kOdbcIniComment = "; Источники данных ODBC пользователя (unixODBC).\n"
                                    "; Каждый источник - раздел с именем источника, например:\n"
                                    "; [orx]\n"
                                    "; Driver = PostgreSQL Unicode\n"
                                    "; Servername = localhost\n"
                                    "; Database = orx\n";

} // namespace

QStringList OdbcAdminPrograms()
{
    return {QStringLiteral("ODBCManageDataSourcesQ5"), QStringLiteral("ODBCManageDataSourcesQ4"),
            QStringLiteral("iodbcadm-gtk")};
}

QString UserOdbcIniPath(const QString &Home)
{
    return Home + QStringLiteral("/.odbc.ini");
}

OdbcAdminOutcome RunOdbcAdministrator(QWidget *Owner, const QString &Home, const OdbcAdminSeams &Seams)
{
    for (const QString &name : OdbcAdminPrograms()) {
        const QString program = Seams.findProgram(name);
        if (!program.isEmpty() && Seams.startProgram(program))
            return OdbcAdminOutcome::ProgramStarted;
    }
    const QString file = UserOdbcIniPath(Home);
    QString reason;
    bool ready = QFileInfo::exists(file);
    if (!ready)
        ready = SafeWriteFile(file, QByteArray(kOdbcIniComment), &reason);
    if (ready && Seams.openDocument(file))
        return OdbcAdminOutcome::SourceFileOpened;
    MessageProc(Owner,
                QStringLiteral("Программа администрирования ODBC не найдена.\rИсточники данных ODBC "
                               "описываются в файле ") +
                    file +
                    QStringLiteral(" (общие для всех пользователей - в /etc/odbc.ini);\rоткройте его в "
                                   "текстовом редакторе.") +
                    (reason.isEmpty() ? QString() : QStringLiteral("\rСообщение об ошибке:\r") + reason),
                MB_ICONINFORMATION, MB_OK);
    return OdbcAdminOutcome::Told;
}

OdbcAdminSeams &CurrentOdbcAdminSeams()
{
    static OdbcAdminSeams seams = systemSeams();
    return seams;
}
