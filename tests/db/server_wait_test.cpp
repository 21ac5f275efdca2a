#include "db/odbc_driver.h"
#include "db_test_env.h"
#include "support/cpu_time.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

TEST(OdbcDriver, AttributesOfAConnectionString)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"DSN=bulletin;Database=t1", "dsn", "bulletin"},
        {"DSN=bulletin;Database=t1", "Database", "t1"},
        {"DRIVER={PostgreSQL Unicode};SERVER=db;pqopt={a=1 b=2};Port=5432", "driver", "PostgreSQL Unicode"},
        {"DRIVER={PostgreSQL Unicode};SERVER=db;pqopt={a=1 b=2};Port=5432", "pqopt", "a=1 b=2"},
        {"DRIVER={PostgreSQL Unicode};SERVER=db;pqopt={a=1 b=2};Port=5432", "port", "5432"},
        {" UID = me ;PWD={x;y}", "pwd", "x;y"},
        {"DSN=bulletin", "Database", ""},
        {"bulletin", "DSN", ""},
    };
    for (const auto &[text, key, value] : cases)
        EXPECT_EQ(OdbcAttribute(QString::fromUtf8(text), QString::fromUtf8(key)), QString::fromUtf8(value))
            << text << " / " << key;
}

class PostgresServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PostgresEnv::available())
            GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
        env = std::make_unique<PostgresEnv>();
        db = env->open();
    }

    QVariant one(DbConnection &c, const QString &sql, const QVariantList &params = {})
    {
        DbQuery q(&c);
        // Forward-only: a static cursor asks the server about its table afterwards.
        q.SetForwardOnly(true);
        q.SetSQL(sql);
        q.SetParams(params);
        q.Open();
        return q.Field(0)->Value();
    }

    std::unique_ptr<PostgresEnv> env;
    std::unique_ptr<DbConnection> db;
};

TEST_F(PostgresServerTest, TheTestSourceIsPsqlOdbcAndAFileIsNot)
{
    const QString dsn = qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    EXPECT_TRUE(IsPsqlOdbcSource(dsn));
    EXPECT_TRUE(IsPsqlOdbcSource(u"DSN=%1;Database=x"_s.arg(dsn)));
    EXPECT_FALSE(IsPsqlOdbcSource(u"no_such_dsn"_s));
    EXPECT_FALSE(IsPsqlOdbcSource(u"DRIVER={No Such Driver};SERVER=x"_s));
}

// A statement goes to the server in one round trip, its parameters put in by the driver, rather than
// prepared on the server first: the server sees the values, not placeholders.
TEST_F(PostgresServerTest, StatementsReachTheServerWithTheirValues)
{
    const qlonglong pid = one(*db, u"select pg_backend_pid()"_s).toLongLong();
    EXPECT_EQ(one(*db, u"select count(*) from pg_class where relpages=? and relname=?"_s,
                  {qlonglong(-987654), u"no such table"_s})
                  .toLongLong(),
              0);
    auto other = env->open();
    const QString seen = one(*other, u"select query from pg_stat_activity where pid=?"_s, {pid}).toString();
    EXPECT_TRUE(seen.contains(u"-987654"_s)) << seen.toStdString();
    EXPECT_TRUE(seen.contains(u"'no such table'"_s)) << seen.toStdString();
    EXPECT_FALSE(seen.contains(u"$1"_s)) << seen.toStdString();
}

// The server's processor time of a piece of work is counted however many sessions it takes, also where
// each session ends before the server's processes are next read: forty sessions running a statement
// each cost the server at least what one session running it forty times does. A database no process of
// this machine serves leaves only this program's time, said in the log rather than failed.
TEST_F(PostgresServerTest, ServerTimeOfSessionsThatEndBetweenReadingsIsCounted)
{
    const QString work = u"select count(*) from generate_series(1, 30000)"_s;
    const auto serverTime = [&](int sessions, int statements) {
        const CpuTime all(env->serverDatabase());
        const CpuTime client;
        for (int s = 0; s < sessions; ++s) {
            auto c = env->open();
            for (int i = 0; i < statements; ++i)
                one(*c, work);
        }
        return all.milliseconds() - client.milliseconds();
    };
    const qint64 oneSession = serverTime(1, 40);
    EXPECT_GT(oneSession, 0);
    EXPECT_GE(serverTime(40, 1), oneSession * 3 / 4);

    const CpuTime client;
    const CpuTime elsewhere(u"t_served_on_another_machine"_s);
    one(*db, work);
    EXPECT_LE(elsewhere.milliseconds(), client.milliseconds());
}

// Stops a server process and resumes it whatever happens to the test: at the end, or after a minute
// when the client under test does not give up by itself (it then sees the answer and the test fails).
class StoppedProcess
{
public:
    explicit StoppedProcess(pid_t pid) : m_pid(pid)
    {
        if (::kill(pid, SIGSTOP) != 0)
            return;
        m_stopped = true;
        m_guard = std::thread([this] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, 60s, [this] { return m_finished; }))
                m_resumedEarly = true;
            ::kill(m_pid, SIGCONT);
        });
    }
    ~StoppedProcess()
    {
        if (!m_stopped)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_guard.join();
    }
    bool stopped() const { return m_stopped; }
    // True once the guard resumed the server because the client had not given up by then.
    bool resumedEarly()
    {
        std::lock_guard lock(m_mutex);
        return m_resumedEarly;
    }

private:
    pid_t m_pid;
    bool m_stopped = false;
    bool m_finished = false;
    bool m_resumedEarly = false;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::thread m_guard;
};

// The bytes a server process has been sent on its TCP connection and not yet read: what a stopped server
// holds of what it was sent. -1 when its connection is not found.
qint64 unreadByServer(pid_t pid)
{
    QSet<QString> sockets;
    const QString fds = u"/proc/%1/fd"_s.arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::System)) {
        char target[64] = {};
        if (::readlink(QFile::encodeName(fds + u'/' + fd).constData(), target, sizeof target - 1) > 0 &&
            std::strncmp(target, "socket:[", 8) == 0)
            sockets << QString::fromLatin1(target + 8).chopped(1);
    }
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        f.readLine();
        while (!f.atEnd()) {
            // sl local remote st tx_queue:rx_queue tr:when retrnsmt uid timeout inode ...
            const QList<QByteArray> fields = f.readLine().simplified().split(' ');
            if (fields.size() > 9 && sockets.contains(QString::fromLatin1(fields[9]))) {
                // A connection its client has shut down counts its end as a byte.
                const bool ended = fields[3] == "08" || fields[3] == "09" || fields[3] == "0B";
                return fields[4].mid(fields[4].indexOf(':') + 1).toLongLong(nullptr, 16) - (ended ? 1 : 0);
            }
        }
    }
    return -1;
}

// A server that stops answering (its process stopped, its machine still acknowledging every packet)
// is given up after the response time-out, reported as a lost connection. The connection is then known
// lost: the next statement is reported the same without being sent, and neither it nor closing waits
// for the server again, which would take the time-out at the least however fast the machine. All of it
// while the server is still stopped.
TEST_F(PostgresServerTest, SilentServerIsReportedAsALostConnection)
{
    constexpr auto timeout = 1500ms;
    db->SetResponseTimeout(timeout);
    db->Open();
    const pid_t pid = pid_t(one(*db, u"select pg_backend_pid()"_s).toLongLong());
    ASSERT_GT(pid, 0);
    StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.stopped());

    const QString lost = LostConnectionText(timeout);
    // How long a statement took to be refused.
    const auto refused = [&] {
        QElapsedTimer clock;
        clock.start();
        try {
            one(*db, u"select count(*) from pg_class"_s);
            ADD_FAILURE() << "the statement came back from a stopped server";
        } catch (const DbError &e) {
            EXPECT_EQ(e.message(), lost);
        }
        EXPECT_FALSE(stopped.resumedEarly());
        return clock.elapsed();
    };
    EXPECT_GE(refused(), timeout.count() - 100);
    const qint64 unread = unreadByServer(pid);
    EXPECT_GT(unread, 0) << "the first statement is not seen to reach the server";
    EXPECT_LT(refused(), timeout.count()) << "the second statement waited";
    EXPECT_EQ(unreadByServer(pid), unread) << "the second statement was sent";
    QElapsedTimer clock;
    clock.start();
    db->Close();
    EXPECT_LT(clock.elapsed(), timeout.count()) << "closing waited";
    EXPECT_FALSE(stopped.resumedEarly());
}

// A connection that does not open says why in Russian, the driver's own text after it: a source that is
// not there, a user or password the server refuses, a server that does not answer, a database it lacks;
// a refusal the program has no words for names the connection and the source.
TEST(OdbcConnection, FailureSaysTheReasonInRussian)
{
    const QString dsn = qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    const QString user = qEnvironmentVariable("BRENVALE_TEST_PG_USER");
    const QString password = qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
    const struct
    {
        bool server;
        QString source, user, password;
        DbFault fault;
        QString words;
        const char *driverSays; // a part of the driver's own text
        const char *provider = "MSDASQL";
    } cases[] = {
        {false, u"abc"_s, QString(), QString(), DbFault::NoSource,
         u"Источник данных ODBC \"abc\" не найден: его нет среди источников данных ODBC этого компьютера"_s,
         "Data source name not found"},
        {false, u"DRIVER={No Such Driver};SERVER=localhost"_s, QString(), QString(), DbFault::NoSource,
         u"Не удалось загрузить драйвер ODBC источника данных \"DRIVER={No Such Driver};SERVER=localhost\": "
         "драйвер не установлен"_s,
         "Can't open lib"},
        {true, dsn, user, u"wrong"_s, DbFault::LoginRefused,
         u"Сервер базы данных \"%1\" не принял имя пользователя или пароль: они неверны"_s.arg(dsn),
         "password authentication failed"},
        {true, dsn, u"nobody"_s, u"nobody"_s, DbFault::LoginRefused,
         u"Сервер базы данных \"%1\" не принял имя пользователя или пароль: они неверны"_s.arg(dsn),
         "nobody"},
        {true, u"DSN=%1;Port=1"_s.arg(dsn), user, password, DbFault::ConnectionLost,
         u"Сервер базы данных \"DSN=%1;Port=1\" не отвечает: он остановлен, недоступен по сети или указан "
         "неверно"_s.arg(dsn),
         "Connection refused"},
        {true, u"DSN=%1;Database=no_such_base"_s.arg(dsn), user, password, DbFault::NoSource,
         u"На сервере источника данных \"DSN=%1;Database=no_such_base\" нет такой базы данных"_s.arg(dsn),
         "no_such_base"},
        {false, u"/home/analyst/brenvale/data/orx.db"_s, QString(), QString(), DbFault::Other,
         u"Не удалось подключиться к базе данных через ODBC (подключение conPubs, источник "
         "\"/home/analyst/brenvale/data/orx.db\"): причину сообщает драйвер"_s,
         "DRIVER keyword syntax error", "OraOLEDB.Oracle"},
        {true, dsn, user, QString(40000, u'p'), DbFault::Other,
         u"Не удалось подключиться к базе данных через ODBC (подключение conPubs, источник \"%1\"): причину "
         "сообщает драйвер"_s.arg(dsn),
         "Invalid string or buffer length"},
        {true, dsn, QString(4808, u'Ж'), password, DbFault::Other,
         u"Не удалось подключиться к базе данных через ODBC (подключение conPubs, источник \"%1\"): причину "
         "сообщает драйвер"_s.arg(dsn),
         "SqlState=08001"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source.toStdString() + " / " + c.user.toStdString());
        if (c.server && !PostgresEnv::available())
            continue;
        DbConnection conn;
        conn.setObjectName(u"conPubs"_s);
        conn.SetProvider(QString::fromLatin1(c.provider));
        conn.SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(c.source));
        try {
            conn.Open(c.user, c.password);
            ADD_FAILURE() << "opened";
        } catch (const DbError &e) {
            EXPECT_EQ(e.fault(), c.fault);
            EXPECT_EQ(e.words(), c.words);
            EXPECT_TRUE(e.message().startsWith(c.words + u"\rСообщение СУБД: "_s))
                << e.message().toStdString();
            EXPECT_TRUE(e.driverText().contains(QString::fromUtf8(c.driverSays)))
                << e.driverText().toStdString();
        }
        EXPECT_FALSE(conn.Connected());
    }
}

} // namespace
