#pragma once

#include "app/data_module.h"
#include "app/main_window.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/codec.h"
#include "support/test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

// A program folder for the station tests: the data module, the two reference files, and the settings
// and station files each test writes (UTF-8 text here, windows-1251 on disk).
struct StationProgram
{
    TestDir dir;
    Tdm dm;
    // Add and update end in the station editor, which these tests leave unanswered.
    ModalDialogCloser editorCloser;

    StationProgram()
    {
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        write("system/filters.txt", "");
        write("system/waves.txt", "");
    }
    void write(const char *relative, const QString &text) const
    {
        ASSERT_TRUE(writeBytes(dir.file(QString::fromLatin1(relative)), toCp1251(text)));
    }
    QString read(const char *relative) const
    {
        return fromCp1251(readBytes(dir.file(QString::fromLatin1(relative))));
    }
    std::unique_ptr<Tmainf> start() const
    {
        TmainfOptions options;
        options.programFolder = dir.path();
        options.arguments = QStringList();
        options.workArea = QRect(0, 0, 1280, 1024);
        return std::make_unique<Tmainf>(options);
    }
};

// The list's internal codes in list order.
inline QStringList listedCodes(const Tmainf &w)
{
    QStringList codes;
    for (int i = 0; i < w.stas->count(); ++i)
        codes << w.stas->item(i)->text();
    return codes;
}

// The ORX database on either back end; the main window reaches it through "ORX_source".
class OrxSqlite
{
public:
    static bool available() { return true; }
    OrxSqlite() : m_path(m_dir.file(QStringLiteral("orx.db"))) { writeBytes(m_path, {}); }
    QString source() const { return m_path; }
    QString user() const { return {}; }
    QString password() const { return {}; }
    std::unique_ptr<DbConnection> open() const
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

class OrxPostgres
{
public:
    static bool available() { return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN"); }
    OrxPostgres()
        : m_dsn(qEnvironmentVariable("BRENVALE_TEST_PG_DSN")),
          m_user(qEnvironmentVariable("BRENVALE_TEST_PG_USER")),
          m_password(qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD")),
          m_database(QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128))
    {
        auto admin = connect(QStringLiteral("DSN=%1").arg(m_dsn));
        run(*admin, QStringLiteral("CREATE DATABASE %1").arg(m_database));
    }
    ~OrxPostgres()
    {
        try {
            auto admin = connect(QStringLiteral("DSN=%1").arg(m_dsn));
            run(*admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_database));
        } catch (const DbError &) {
        }
    }
    QString source() const { return QStringLiteral("DSN=%1;Database=%2").arg(m_dsn, m_database); }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    std::unique_ptr<DbConnection> open() const { return connect(source()); }

    static void run(DbConnection &c, const QString &sql)
    {
        DbCommand cmd(&c);
        cmd.SetCommandText(sql);
        cmd.Execute();
    }

private:
    std::unique_ptr<DbConnection> connect(const QString &source) const
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(QStringLiteral("MSDASQL"));
        c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(source));
        c->Open(m_user, m_password);
        return c;
    }

    QString m_dsn, m_user, m_password, m_database;
};

// The ORX tables as the station list uses them, with four stations (PET stored blank-padded), arrivals
// at PET and KDN, and three networks: "east" (PET;MNK;), "empty" (NULL) and "semi" (";;").
template <class Env> struct OrxFixture
{
    Env env;
    std::unique_ptr<DbConnection> db;

    OrxFixture()
    {
        db = env.open();
        for (const char *sql : {
                 "create table site (sta varchar(10),cod varchar(10),descr varchar(60),elev float,lat float,"
                 "lon float,underground float,nindex integer,ngroups integer,DNORTH float,DEAST float,"
                 "REFSTA varchar(6),STANAME varchar(50),STATYPE varchar(4),ONDATE date,OFFDATE date,"
                 "lddate date)",
                 "create table networks (netname varchar(30),netlist varchar(255))",
                 "create table arrival (arid integer,sta varchar(10),itime float)",
                 "insert into site (sta,cod,descr,nindex) values ('PET  ','PTK','Петропавловск',1)",
                 "insert into site (sta,cod,descr,nindex) values ('MNK','MNKI','Минск',2)",
                 "insert into site (sta,cod,descr,nindex) values ('KDN','KDN','Кадан',5)",
                 "insert into site (sta,cod,descr,nindex) values ('ZZZ','ZZ','',3)",
                 "insert into arrival (arid,sta,itime) values (1,'PET ',100)",
                 "insert into arrival (arid,sta,itime) values (2,'KDN',200)",
                 "insert into arrival (arid,sta,itime) values (3,'KDN',20)",
                 "insert into networks (netname,netlist) values ('east','PET;MNK;')",
                 "insert into networks (netname,netlist) values ('empty',null)",
                 "insert into networks (netname,netlist) values ('semi',';;')",
             })
            exec(QString::fromUtf8(sql));
    }
    void exec(const QString &sql) { OrxPostgres::run(*db, sql); }
    // The first column of every row, in the statement's order.
    QStringList column(const QString &sql)
    {
        DbQuery q(db.get());
        q.SetSQL(sql);
        q.Open();
        QStringList values;
        for (; !q.Eof(); q.Next())
            values << (q.Field(0)->IsNull() ? QStringLiteral("<null>") : q.Field(0)->AsString());
        return values;
    }
    // Settings that put the main window on this database in the ORX-only mode.
    QString globalIni(bool showEmpty, const QString &net) const
    {
        return QStringLiteral(
                   "[global]\r\neffects=0\r\nfullorx=1\r\norxini=0\r\nORX_source=%1\r\nORX_user=%2\r\n"
                   "ORX_pass=%3\r\nshowempty=%4\r\nnet=%5\r\n")
            .arg(env.source(), env.user(), env.password(), QString::number(int(showEmpty)), net);
    }
};

class OrxBackendNames
{
public:
    template <class T> static std::string GetName(int)
    {
        return std::is_same_v<T, OrxSqlite> ? "SQLite" : "PostgreSQL";
    }
};
using OrxBackends = ::testing::Types<OrxSqlite, OrxPostgres>;
