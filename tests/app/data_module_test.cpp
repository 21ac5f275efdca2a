#include "app/settings/connection_params.h"
#include "support/program_env.h"

#include <QFileInfo>

namespace {

class DataModule : public ::testing::Test
{
protected:
    void SetUp() override { dm.dbs->SetProvider(ProviderJet); }

    TestDir dir;
    MessageRecorder messages;
    Tdm dm;
};

TEST_F(DataModule, EmptySourceIsReportedUnlessSilent)
{
    EXPECT_FALSE(dm.OpenDB_ADO(dm.dbs, QString(), QStringLiteral("admin"), QString()));
    EXPECT_FALSE(dm.OpenDB_ADO(dm.dbs, QString(), QString(), QString(), true));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(lastShown(messages),
              Shown("OpenDB_ADO: Не задан источник данных (имя файла базы или ODBC)", 16));
    EXPECT_FALSE(messages.last().error); // the general procedure, not the statement runners'
    EXPECT_EQ(dm.dbs->ConnectionString(), QStringLiteral("Data Source=a;Mode=ReadWrite")); // untouched
}

TEST_F(DataModule, MissingFileIsNamedAndNothingIsCreated)
{
    // A bulletin file, and the ORX database as a file behind the ODBC provider: either is reported as the
    // missing file it is, not as an unknown ODBC source or by the connection's name.
    const QString path = dir.file(QStringLiteral("missing.mdb"));
    const QString missing = QStringLiteral("Не найден файл базы данных \"") + path + QStringLiteral("\"");
    const QString own = QStringLiteral("Не удалось подключиться к выходной БД.");
    for (DbConnection *conn : {dm.dbs, dm.conPubs}) {
        SCOPED_TRACE(conn->objectName().toStdString());
        conn->SetProvider(conn == dm.dbs ? ProviderJet : ProviderOdbc);
        messages.clear();
        EXPECT_FALSE(dm.OpenDB_ADO(conn, path, QStringLiteral("admin"), QString()));
        // A caller's own first line comes first.
        EXPECT_FALSE(dm.OpenDB_ADO(conn, path, QString(), QString(), false, own));
        EXPECT_FALSE(dm.OpenDB_ADO(conn, path, QString(), QString(), true));
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_FALSE(conn->Connected());
        EXPECT_EQ(shown(messages),
                  QList<Shown>({{QStringLiteral("OpenDB_ADO: ") + missing, 16},
                                {own + QStringLiteral("\rСообщение об ошибке:\r") + missing, 16}}));
    }

    // A data source name is no file: the driver's failure is shown as it is.
    messages.clear();
    EXPECT_FALSE(dm.OpenDB_ADO(dm.conPubs, QStringLiteral("brenvale_no_such_dsn"), QString(), QString()));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(
        QStringLiteral("OpenDB_ADO: Не удалось подключиться к базе данных \"brenvale_no_such_dsn\"")))
        << messages.last().text.toStdString();
}

TEST_F(DataModule, GoodFileOpensAndClosesQuietly)
{
    SqliteEnv bulletin;
    const QString path = bulletin.open()->DataSource();
    exec(*bulletin.open(), "create table [Каналы] (channel_name varchar(10))");
    ASSERT_TRUE(dm.OpenDB_ADO(dm.dbs, path, QStringLiteral("admin"), QString()));
    EXPECT_EQ(dm.dbs->ConnectionString(),
              QStringLiteral("Data Source=\"") + path + QStringLiteral("\";Mode=ReadWrite"));
    dm.imd->SetConnection(dm.dbs);
    dm.imd->Open();
    EXPECT_EQ(dm.imd->RecordCount(), 0);

    // Opening again closes first and takes the new source.
    ASSERT_TRUE(dm.OpenDB_ADO(dm.dbs, path, QString(), QString()));
    EXPECT_TRUE(dm.CloseDB_ADO(dm.dbs));
    EXPECT_FALSE(dm.dbs->Connected());
    EXPECT_TRUE(dm.CloseDB_ADO(dm.dbs)); // closing a closed connection is fine
    EXPECT_FALSE(dm.CloseDB_ADO(nullptr));
    EXPECT_EQ(messages.count(), 0);
}

} // namespace
