#include "app/settings/connection_params.h"
#include "lib/errors.h"
#include "lib/statements.h"
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

    // A data source name is no file: the reason is said in Russian, the driver's own text after it.
    messages.clear();
    EXPECT_FALSE(dm.OpenDB_ADO(dm.conPubs, QStringLiteral("brenvale_no_such_dsn"), QString(), QString()));
    ASSERT_EQ(messages.count(), 1);
    const QString said = messages.last().text;
    EXPECT_TRUE(said.startsWith(QStringLiteral(
        "OpenDB_ADO: Не удалось подключиться к базе данных \"brenvale_no_such_dsn\" (подключение conPubs)\r"
        "Сообщение об ошибке:\rИсточник данных ODBC \"brenvale_no_such_dsn\" не найден: его нет среди "
        "источников данных ODBC этого компьютера\rСообщение СУБД: ")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("Data source name not found"))) << said.toStdString();

    // A source pasted 32,785 characters long is quoted as far as a message quotes.
    messages.clear();
    const QString pasted(32785, QLatin1Char('s'));
    EXPECT_FALSE(dm.OpenDB_ADO(dm.conPubs, pasted, QString(), QString()));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(
        QStringLiteral("OpenDB_ADO: Не удалось подключиться к базе данных \"%1…\" (подключение conPubs)\r")
            .arg(QString(200, QLatin1Char('s')))))
        << messages.last().text.left(400).toStdString();
    EXPECT_LT(messages.last().text.size(), 10000);
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

// A handler's work on the ORX database, on both back ends: what comes before runs whatever follows, the
// step works on the open connection, and nothing of the data module stays open after any outcome. The
// block itself reports only a throw, in the caller's words.
template <class Env> class OrxBlock : public OnBothBackends<Env>
{
protected:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        this->orx->exec("create table networks (netname varchar(30),netlist varchar(255))");
        o.useOrx(this->orx->source(), this->orx->user(), this->orx->password());
        o.rec.clear();
    }
    ProgramWindow o;
};
TYPED_TEST_SUITE(OrxBlock, BothBackends, BackendName);

TYPED_TEST(OrxBlock, OpensRunsClosesAndReportsAThrow)
{
    ProgramWindow &o = this->o;
    Tdm &dm = o.dm;
    const QString failure = QStringLiteral("Не удалось добавить сеть.");
    enum Outcome { Done, Refused, Threw, BeforeThrew, NoConnection };
    const struct
    {
        const char *name;
        Outcome outcome;
        QString failure;
        bool result;
        QStringList order;
        QList<Shown> shown;
    } cases[] = {
        {"done", Done, failure, true, {"before", "step"}, {}},
        {"step gives false", Refused, failure, false, {"before", "step"}, {}},
        {"step throws",
         Threw,
         failure,
         false,
         {"before", "step"},
         {{QStringLiteral("Не удалось добавить сеть. Сообщение об ошибке:\rСеть занята"), 16}}},
        {"step throws, no text of the caller's",
         Threw,
         QString(),
         false,
         {"before", "step"},
         {{QStringLiteral("Сообщение об ошибке:\rСеть занята"), 16}}},
        {"before throws",
         BeforeThrew,
         failure,
         false,
         {"before"},
         {{QStringLiteral("Не удалось добавить сеть. Сообщение об ошибке:\rСеть занята"), 16}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        o.rec.clear();
        QStringList order;
        const bool result = dm.WithOrx(
            *o.w, o.w.get(), c.failure,
            [&](Tdm &step) {
                order << QStringLiteral("step");
                EXPECT_EQ(&step, &dm);
                EXPECT_TRUE(step.conPubs->Connected());
                QExe(*step.acm_in11, QStringLiteral("insert into networks (netname) values ('east')"));
                QAct(*step.rstORX, QStringLiteral("select netname from networks"));
                if (c.outcome == Threw)
                    throw BrenvaleError(QStringLiteral("Сеть занята"));
                return c.outcome == Done;
            },
            [&] {
                order << QStringLiteral("before");
                EXPECT_FALSE(dm.conPubs->Connected());
                if (c.outcome == BeforeThrew)
                    throw BrenvaleError(QStringLiteral("Сеть занята"));
            });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(shown(o.rec), c.shown);
        EXPECT_FALSE(dm.acmi->Active() || dm.rstORX->Active() || dm.conPubs->Connected());
    }
    // Every step that ran wrote its row: a throw after the statement undoes nothing of it.
    EXPECT_EQ(this->orx->rows(QStringLiteral("select count(*) from networks")), QStringList{"4"});

    // A connection that does not open: what comes before still runs, the step does not, and the one
    // message is the connection's own.
    o.useOrx(o.path("no-such-orx.db"));
    o.rec.clear();
    QStringList order;
    EXPECT_FALSE(dm.WithOrx(
        *o.w, o.w.get(), failure,
        [&](Tdm &) {
            order << QStringLiteral("step");
            return true;
        },
        [&] { order << QStringLiteral("before"); }));
    EXPECT_EQ(order, QStringList{"before"});
    ASSERT_EQ(o.rec.count(), 1);
    EXPECT_TRUE(o.rec.last().text.startsWith(QStringLiteral("OpenDB_ADO: Не найден файл базы данных")))
        << o.rec.last().text.toStdString();
    EXPECT_FALSE(dm.conPubs->Connected());
}

} // namespace
