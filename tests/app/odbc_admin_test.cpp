#include "app/settings/odbc_admin.h"
#include "support/program_env.h"

namespace {

struct Calls
{
    QStringList looked, started, opened;
};

OdbcAdminSeams seams(Calls &calls, const QStringList &installed, bool startWorks, bool openWorks)
{
    OdbcAdminSeams s;
    s.findProgram = [&calls, installed](const QString &name) {
        calls.looked << name;
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    };
    s.startProgram = [&calls, startWorks](const QString &program) {
        calls.started << program;
        return startWorks;
    };
    s.openDocument = [&calls, openWorks](const QString &file) {
        calls.opened << file;
        return openWorks;
    };
    return s;
}

TEST(OdbcAdmin, FirstInstalledAdministratorStarts)
{
    MessageRecorder rec;
    TestDir home;
    Calls calls;
    EXPECT_EQ(RunOdbcAdministrator(nullptr, home.path(),
                                   seams(calls, {QStringLiteral("ODBCManageDataSourcesQ4")}, true, true)),
              OdbcAdminOutcome::ProgramStarted);
    EXPECT_EQ(calls.looked, QStringList({QStringLiteral("ODBCManageDataSourcesQ5"),
                                         QStringLiteral("ODBCManageDataSourcesQ4")}));
    EXPECT_EQ(calls.started, QStringList{QStringLiteral("/usr/bin/ODBCManageDataSourcesQ4")});
    EXPECT_TRUE(calls.opened.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(UserOdbcIniPath(home.path())));
    EXPECT_EQ(rec.count(), 0);
}

// Without a graphical administrator the user's source file opens, created with a comment when missing.
TEST(OdbcAdmin, WithoutAdministratorTheSourceFileOpens)
{
    MessageRecorder rec;
    TestDir home;
    const QString file = home.path() + QStringLiteral("/.odbc.ini");
    Calls calls;
    EXPECT_EQ(RunOdbcAdministrator(nullptr, home.path(), seams(calls, {}, true, true)),
              OdbcAdminOutcome::SourceFileOpened);
    EXPECT_EQ(calls.looked.size(), 3);
    EXPECT_EQ(calls.opened, QStringList{file});
    const QString created = QString::fromUtf8(readBytes(file));
    EXPECT_TRUE(created.startsWith(QStringLiteral("; Источники данных ODBC пользователя (unixODBC).\n")));
    for (const QString &line : created.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith(QLatin1Char(';'))) << line.toStdString(); // nothing but comments

    // An existing file is opened as it is.
    writeBytes(file, "[orx]\nDriver = x\n");
    EXPECT_EQ(RunOdbcAdministrator(nullptr, home.path(), seams(calls, {}, true, true)),
              OdbcAdminOutcome::SourceFileOpened);
    EXPECT_EQ(readBytes(file), QByteArray("[orx]\nDriver = x\n"));
    // An administrator that does not start is passed over.
    EXPECT_EQ(RunOdbcAdministrator(nullptr, home.path(),
                                   seams(calls, {QStringLiteral("iodbcadm-gtk")}, false, true)),
              OdbcAdminOutcome::SourceFileOpened);
    EXPECT_EQ(rec.count(), 0);
}

TEST(OdbcAdmin, NothingOpensThenTheUserIsToldWhatToEdit)
{
    MessageRecorder rec;
    TestDir home;
    Calls calls;
    EXPECT_EQ(RunOdbcAdministrator(nullptr, home.path(), seams(calls, {}, false, false)),
              OdbcAdminOutcome::Told);
    const QString file = home.path() + QStringLiteral("/.odbc.ini");
    EXPECT_EQ(shown(rec),
              QList<Shown>({{QStringLiteral("Программа администрирования ODBC не найдена.\rИсточники "
                                            "данных ODBC описываются в файле ") +
                                 file +
                                 QStringLiteral(" (общие для всех пользователей - в /etc/odbc.ini);\r"
                                                "откройте его в текстовом редакторе."),
                             64}}));
    // A home that cannot take the file: the message gives the reason as well.
    rec.clear();
    EXPECT_EQ(RunOdbcAdministrator(nullptr, home.path() + QStringLiteral("/missing"),
                                   seams(calls, {}, false, true)),
              OdbcAdminOutcome::Told);
    ASSERT_EQ(rec.count(), 1);
    EXPECT_TRUE(rec.last().text.contains(QStringLiteral("\rСообщение об ошибке:\r")));
}

} // namespace
