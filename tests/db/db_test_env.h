#pragma once

#include "../support/test_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/table_creates.h"

#include <QUuid>

#include <gtest/gtest.h>

#include <memory>
#include <span>

// The two back ends every dataset test runs on. Each test gets a database of its own: a fresh SQLite
// file, or a fresh PostgreSQL database on the server that scripts/test starts (reached through the DSN
// in BRENVALE_TEST_PG_DSN), so the tests may run in parallel.

// The bulletin tables as the program creates them.
inline const std::span<const char *const> kBulletinCreates = BulletinTableCreates();

class SqliteEnv
{
public:
    static constexpr bool odbc = false;
    static bool available() { return true; }

    SqliteEnv() : m_path(m_dir.file(QStringLiteral("станция.mdb"))) { writeBytes(m_path, {}); }
    // The database a server holds for the test: none, a file is read by the test's own process.
    QString serverDatabase() const { return QString(); }

    std::unique_ptr<DbConnection> open()
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(m_path));
        c->Open(QString(), QString());
        return c;
    }

private:
    TestDir m_dir;
    QString m_path;
};

class PostgresEnv
{
public:
    static constexpr bool odbc = true;
    static bool available() { return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN"); }

    PostgresEnv()
        : m_dsn(qEnvironmentVariable("BRENVALE_TEST_PG_DSN")),
          m_user(qEnvironmentVariable("BRENVALE_TEST_PG_USER")),
          m_password(qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD")),
          m_database(QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128))
    {
        if (!available())
            return;
        auto admin = connect(QStringLiteral("DSN=%1").arg(m_dsn));
        DbCommand create(admin.get());
        create.SetCommandText(QStringLiteral("CREATE DATABASE %1").arg(m_database));
        create.Execute();
        m_created = true;
    }

    ~PostgresEnv()
    {
        if (!m_created)
            return;
        try {
            auto admin = connect(QStringLiteral("DSN=%1").arg(m_dsn));
            DbCommand drop(admin.get());
            drop.SetCommandText(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_database));
            drop.Execute();
        } catch (const DbError &) {
        }
    }

    std::unique_ptr<DbConnection> open()
    {
        return connect(QStringLiteral("DSN=%1;Database=%2").arg(m_dsn, m_database));
    }
    QString serverDatabase() const { return m_database; }

private:
    std::unique_ptr<DbConnection> connect(const QString &source)
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(QStringLiteral("MSDASQL"));
        c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(source));
        c->Open(m_user, m_password);
        return c;
    }

    QString m_dsn, m_user, m_password, m_database;
    bool m_created = false;
};

inline void exec(DbConnection &c, const QString &sql, const QVariantList &params = {})
{
    DbCommand cmd(&c);
    cmd.SetCommandText(sql);
    cmd.SetParams(params);
    cmd.Execute();
}

inline void exec(DbConnection &c, const char *sql)
{
    exec(c, QString::fromUtf8(sql));
}

// A typed fixture with a fresh database of the back end Env; the PostgreSQL half is skipped without a
// server.
template <class Env> class OnFreshDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Env::available())
            GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
        env = std::make_unique<Env>();
        db = env->open();
    }

    std::unique_ptr<Env> env;
    std::unique_ptr<DbConnection> db;
};

using BothBackends = ::testing::Types<SqliteEnv, PostgresEnv>;
struct BackendName
{
    template <class T> static std::string GetName(int) { return T::odbc ? "PostgreSQL" : "SQLite"; }
};
