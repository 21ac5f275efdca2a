#include "app/settings/odbc_admin.h"
#include "support/program_env.h"

namespace {

struct OdbcAdmin : ::testing::Test
{
    // Runs the administrator with Installed programs found, starts and opens working or not.
    OdbcAdminOutcome run(const QStringList &installed, bool startWorks, bool openWorks,
                         const QString &sub = {})
    {
        OdbcAdminSeams s;
        s.findProgram = [this, installed](const QString &name) {
            looked << name;
            return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
        s.startProgram = [this, startWorks](const QString &program) {
            started << program;
            return startWorks;
        };
        s.openDocument = [this, openWorks](const QString &file) {
            opened << file;
            return openWorks;
        };
        return RunOdbcAdministrator(nullptr, home.path() + sub, s);
    }
    MessageRecorder rec;
    TestDir home;
    const QString file = home.path() + QStringLiteral("/.odbc.ini");
    QStringList looked, started, opened;
};

TEST_F(OdbcAdmin, FirstInstalledAdministratorStarts)
{
    EXPECT_EQ(run({QStringLiteral("ODBCManageDataSourcesQ4")}, true, true), OdbcAdminOutcome::ProgramStarted);
    EXPECT_EQ(looked, QStringList({"ODBCManageDataSourcesQ5", "ODBCManageDataSourcesQ4"}));
    EXPECT_EQ(started, QStringList{QStringLiteral("/usr/bin/ODBCManageDataSourcesQ4")});
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(rec.count(), 0);
}

// Without a graphical administrator (or one that does not start) the user's source file opens, created
// with nothing but comments when missing, kept as it is when there.
TEST_F(OdbcAdmin, WithoutAdministratorTheSourceFileOpens)
{
    EXPECT_EQ(run({}, true, true), OdbcAdminOutcome::SourceFileOpened);
    EXPECT_EQ(looked.size(), 3);
    EXPECT_EQ(opened, QStringList{file});
    const QString created = QString::fromUtf8(readBytes(file));
    EXPECT_TRUE(created.startsWith(QStringLiteral("; Источники данных ODBC пользователя (unixODBC).\n")));
    for (const QString &line : created.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith(QLatin1Char(';'))) << line.toStdString();

    writeBytes(file, "[orx]\nDriver = x\n");
    EXPECT_EQ(run({QStringLiteral("iodbcadm-gtk")}, false, true), OdbcAdminOutcome::SourceFileOpened);
    EXPECT_EQ(readBytes(file), QByteArray("[orx]\nDriver = x\n"));
    EXPECT_EQ(rec.count(), 0);
}

TEST_F(OdbcAdmin, NothingOpensThenTheUserIsToldWhatToEdit)
{
    EXPECT_EQ(run({}, false, false), OdbcAdminOutcome::Told);
    EXPECT_EQ(shown(rec),
              QList<Shown>({{QStringLiteral("Программа администрирования ODBC не найдена.\rИсточники "
                                            "данных ODBC описываются в файле ") +
                                 file +
                                 QStringLiteral(" (общие для всех пользователей - в /etc/odbc.ini);\r"
                                                "откройте его в текстовом редакторе."),
                             64}}));
    // A home that cannot take the file: the message gives the reason as well.
    rec.clear();
    EXPECT_EQ(run({}, false, true, QStringLiteral("/missing")), OdbcAdminOutcome::Told);
    ASSERT_EQ(rec.count(), 1);
    EXPECT_TRUE(rec.last().text.contains(QStringLiteral("\rСообщение об ошибке:\r")));
}

} // namespace
