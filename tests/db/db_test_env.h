#pragma once

#include "../support/test_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"

#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

// The two back ends every dataset test runs on. Each test gets a database of its own: a fresh SQLite
// file, or a fresh PostgreSQL database on the server that scripts/test starts (reached through the DSN
// in BRENVALE_TEST_PG_DSN), so the tests may run in parallel.

inline const char *const kBulletinCreates[] = {
    "create table [События] (orid counter,num integer,[time] date,dec integer,lat float,lon float,depdp "
    "integer,"
    "deltagr float,deltakm float,seaz float,emares float,S_P_time date,S_P_dec integer,Kps float,FlagQuake "
    "integer,"
    "StrQuake varchar(255),comment varchar(150),lddate date,primary key (num))",
    "create table [Станционный бюллетень] (arid counter,N_seismo varchar(20),N_equake integer,Station_Cod "
    "varchar(20),[date] Date,FM char(2),Qual char(10),Interpretation integer,Phase char(10),Channel_name "
    "char(10),"
    "Channel_Cod char(3),KPCH integer,Channel_component char(4),[Time] date,[Dec] integer,FM_NS "
    "char(2),FM_EW "
    "char(2),FM_Z char(2),FM_Period_NS float,FM_Amp_NS float,FM_Period_EW float,FM_Amp_EW float,FM_Period_Z "
    "float,FM_Amp_Z float,Comments varchar(60),primary key (arid),CONSTRAINT cstb111 foreign key (N_equake) "
    "references [События] (num))",
    "create table [Динамические замеры] (Id_XM counter,arid integer,Channel_nameXM "
    "char(10),Channel_componentXM "
    "char(4),Channel_CodXM char(3),TimeXM date,DecXm integer,Period_NS float,Amp_NS float,Period_EW "
    "float,Amp_EW "
    "float,Period_Z float,Amp_Z float,Magnitude_NE float,Klass_NE float,Magnitude_Z float,Klass_Z "
    "float,Comments "
    "varchar(50),primary key (Id_XM),CONSTRAINT cxm111 foreign key (arid) references [Станционный "
    "бюллетень])",
};

class SqliteEnv
{
public:
    static constexpr bool odbc = false;
    static bool available() { return true; }

    SqliteEnv() : m_path(m_dir.file(QStringLiteral("станция.mdb"))) { writeBytes(m_path, {}); }

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
