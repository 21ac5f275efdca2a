// What the user waits for after "Создать отчёт" in the ORX-only mode: the bulletin of decade 36 for every
// station with data, grouped by station and by event, on a year of ORX data (20 stations, 20,000 events,
// 400,000 arrivals) in a SQLite file; and the same statements run raw through sqlite3 in the same run.

#include "bench_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/table_creates.h"
#include "lib/epoch.h"
#include "lib/messages.h"
#include "products/bulletin_report.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <iostream>
#include <map>
#include <memory>

namespace {

void sql(sqlite3 *db, const std::string &statement)
{
    char *error = nullptr;
    if (sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::cerr << statement << ": " << (error ? error : "?") << '\n';
        sqlite3_free(error);
        std::abort();
    }
}

constexpr int kStations = 20;
constexpr int kEvents = 20000;
constexpr int kReadingsPerEvent = 20; // ten stations, a P and an S each

// A year of ORX data. The indexes are those a working ORX database keeps for its readers: arrivals by
// event, by time and by trimmed station code, origins by time; and its statistics are up to date.
struct OrxYear
{
    QTemporaryDir dir;
    QString path;

    OrxYear()
    {
        path = dir.filePath(QStringLiteral("orx.db"));
        sqlite3 *db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        for (const char *create : OrxTableCreates())
            sql(db, create);
        for (const char *create : {"create index arrival_eventid on arrival (eventid)",
                                   "create index arrival_itime on arrival (itime)",
                                   "create index arrival_rsta on arrival (rtrim(sta))",
                                   "create index origin_time on origin (origintime)"})
            sql(db, create);
        sql(db, "begin");
        for (int s = 0; s < kStations; ++s) {
            const std::string code = "S" + std::to_string(10 + s);
            sql(db, "insert into site (sta,cod,descr,lat,lon,elev) values ('" + code + "','I" + code +
                        "','Станция " + code + "'," + std::to_string(40 + s) + "," + std::to_string(30 + s) +
                        ",100)");
            for (const char *chan : {"SHZ", "SHN", "SHE"})
                sql(db, "insert into sitechan values ('" + code + "','" + chan + "','СКМ-3')");
        }
        sqlite3_stmt *origin = nullptr, *arrival = nullptr;
        sqlite3_prepare_v2(db,
                           "insert into origin (eventid,lat,lon,depth,origintime,mb,comment) values "
                           "(?,?,?,?,?,?,?)",
                           -1, &origin, nullptr);
        sqlite3_prepare_v2(
            db,
            "insert into arrival (arid,eventid,sta,chan,iphase,itime,amptime,ampl,per,fm,im_em,"
            "dist,azimuth,ema,chantype,afiltype) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            -1, &arrival, nullptr);
        const double y0 = htoe(2025, 1, 1, 0, 0, 0);
        const double step = 365.0 * 86400 / kEvents;
        int arid = 0;
        for (int e = 0; e < kEvents; ++e) {
            const std::string id = "2025E" + std::to_string(100000 + e);
            const double t0 = y0 + e * step + (e % 7) * 3.3;
            sqlite3_bind_text(origin, 1, id.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(origin, 2, 50 + (e % 100) * 0.1);
            sqlite3_bind_double(origin, 3, 40 + (e % 50) * 0.2);
            sqlite3_bind_double(origin, 4, 10 + e % 30);
            sqlite3_bind_double(origin, 5, t0);
            sqlite3_bind_double(origin, 6, 4 + (e % 20) * 0.1);
            sqlite3_bind_text(origin, 7, e % 5 == 0 ? "ощутимое" : "", -1, SQLITE_STATIC);
            sqlite3_step(origin);
            sqlite3_reset(origin);
            for (int k = 0; k < kReadingsPerEvent; ++k) {
                const int station = (e + k / 2) % kStations;
                const bool s = k % 2 == 1;
                const std::string code = "S" + std::to_string(10 + station);
                const double travel = 20 + station * 7 + (s ? 25 + station * 5 : 0);
                sqlite3_bind_int(arrival, 1, ++arid);
                sqlite3_bind_text(arrival, 2, id.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(arrival, 3, code.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(arrival, 4, s ? "SHE" : "SHZ", -1, SQLITE_STATIC);
                sqlite3_bind_text(arrival, 5, s ? "S" : "P", -1, SQLITE_STATIC);
                sqlite3_bind_double(arrival, 6, t0 + travel);
                sqlite3_bind_double(arrival, 7, t0 + travel + 0.4);
                sqlite3_bind_double(arrival, 8, 1 + (arid % 13) * 0.5);
                sqlite3_bind_double(arrival, 9, 0.2 + (arid % 5) * 0.1);
                sqlite3_bind_text(arrival, 10, s ? "d" : "c", -1, SQLITE_STATIC);
                sqlite3_bind_text(arrival, 11, s ? "e" : "i", -1, SQLITE_STATIC);
                sqlite3_bind_double(arrival, 12, 1.5 + station * 0.3);
                sqlite3_bind_double(arrival, 13, (station * 17) % 360);
                sqlite3_bind_double(arrival, 14, 30 + station);
                sqlite3_bind_text(arrival, 15, "SH", -1, SQLITE_STATIC);
                sqlite3_bind_text(arrival, 16, "0.5 5", -1, SQLITE_STATIC);
                sqlite3_step(arrival);
                sqlite3_reset(arrival);
            }
        }
        sqlite3_finalize(origin);
        sqlite3_finalize(arrival);
        sql(db, "commit");
        // Without statistics SQLite reads a station's readings through the station index to find one event's.
        sql(db, "analyze");
        sqlite3_close(db);
    }
};

OrxYear &year()
{
    static OrxYear y;
    return y;
}

// The same year on the PostgreSQL server of the test script (scripts/test's environment, see
// tests/support/pg_server.sh), made by the server itself, in a database of its own.
struct PgYear
{
    QString dsn = qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    QString user = qEnvironmentVariable("BRENVALE_TEST_PG_USER");
    QString password = qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
    QString database = QStringLiteral("bench_") + QUuid::createUuid().toString(QUuid::Id128);

    static bool available() { return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN"); }
    QString source() const { return QStringLiteral("DSN=%1;Database=%2").arg(dsn, database); }

    void run(DbConnection &c, const QString &statement)
    {
        DbCommand cmd(&c);
        cmd.SetCommandText(statement);
        cmd.Execute();
    }

    PgYear()
    {
        {
            DbConnection admin;
            admin.SetProvider(QStringLiteral("MSDASQL"));
            admin.SetConnectionString(QStringLiteral("Data Source=\"DSN=%1\"").arg(dsn));
            admin.Open(user, password);
            run(admin, QStringLiteral("CREATE DATABASE ") + database);
        }
        DbConnection c;
        c.SetProvider(QStringLiteral("MSDASQL"));
        c.SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(source()));
        c.Open(user, password);
        const double y0 = htoe(2025, 1, 1, 0, 0, 0);
        const QString t0 = QStringLiteral("(%1 + e * %2 + (e %% 7) * 3.3)")
                               .arg(FloatToStr(y0), FloatToStr(365.0 * 86400 / kEvents))
                               .replace(QStringLiteral("%%"), QStringLiteral("%"));
        for (const char *create : OrxTableCreates())
            run(c, QString::fromUtf8(create));
        for (
            const QString &statement : QStringList{
                QStringLiteral(
                    "insert into site (sta,cod,descr,lat,lon,elev) select 'S'||(10+s),'IS'||(10+s),"
                    "'Станция S'||(10+s),40+s,30+s,100 from generate_series(0,%1) s")
                    .arg(kStations - 1),
                QStringLiteral(
                    "insert into sitechan select 'S'||(10+s),c,'СКМ-3' from generate_series(0,%1) s,"
                    "(values ('SHZ'),('SHN'),('SHE')) v(c)")
                    .arg(kStations - 1),
                QStringLiteral("insert into origin (eventid,lat,lon,depth,origintime,mb,comment) select "
                               "'2025E'||(100000+e),50+(e%100)*0.1,40+(e%50)*0.2,10+e%30,%1,4+(e%20)*0.1,"
                               "case when e%5=0 then 'ощутимое' else '' end from generate_series(0,%2) e")
                    .arg(t0)
                    .arg(kEvents - 1),
                // Reading k of event e: station (e + k / 2) mod 20, a P for even k and an S for odd k.
                QStringLiteral(
                    "insert into arrival (arid,eventid,sta,chan,iphase,itime,amptime,ampl,per,fm,im_em,dist,"
                    "azimuth,ema,chantype,afiltype) select g+1,'2025E'||(100000+e),'S'||(10+st),case when s "
                    "then "
                    "'SHE' else 'SHZ' end,case when s then 'S' else 'P' end,T0+tr,T0+tr+0.4,1+((g+1)%13)*0.5,"
                    "0.2+((g+1)%5)*0.1,case when s then 'd' else 'c' end,case when s then 'e' else 'i' end,"
                    "1.5+st*0.3,(st*17)%360,30+st,'SH','0.5 5' from (select g,e,st,s,20+st*7+case when s "
                    "then "
                    "25+st*5 else 0 end as tr from (select g,g/20 as e,(g/20+(g%20)/2)%20 as st,(g%2)=1 as s "
                    "from "
                    "generate_series(0,399999) g) a) b")
                    .replace(QStringLiteral("T0"), t0),
                QStringLiteral("create index arrival_eventid on arrival (eventid)"),
                QStringLiteral("create index arrival_itime on arrival (itime)"),
                QStringLiteral("create index arrival_rsta on arrival ((rtrim(sta)))"),
                QStringLiteral("create index origin_time on origin (origintime)"), QStringLiteral("analyze")})
            run(c, statement);
    }
    ~PgYear()
    {
        try {
            DbConnection admin;
            admin.SetProvider(QStringLiteral("MSDASQL"));
            admin.SetConnectionString(QStringLiteral("Data Source=\"DSN=%1\"").arg(dsn));
            admin.Open(user, password);
            run(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
        } catch (const std::exception &) {
        }
    }
};

PgYear &pgYear()
{
    static PgYear y;
    return y;
}

class BenchHost : public QuietReportHost
{
public:
    BenchHost(const QString &folder, bool pg) : m_folder(folder), m_pg(pg) {}
    bool GetStationDBParams(QString &, QString &, QString &) override { return false; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &, const QString &, const QString &) override
    {
        if (m_pg) {
            Conn.SetProvider(QStringLiteral("MSDASQL"));
            Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(pgYear().source()));
            Conn.Open(pgYear().user, pgYear().password);
            return true;
        }
        Conn.SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(year().path));
        Conn.Open(QString(), QString());
        return true;
    }
    const tfilts &Filters() override { return m_filters; }
    QString ProgramFolder() override { return m_folder + QLatin1Char('/'); }

private:
    QString m_folder;
    bool m_pg;
    tfilts m_filters{tfilt{QStringLiteral("FA"), 0.5, 5.0}};
};

std::map<std::pair<int, int>, QStringList> lastStatements;

// Arguments: grouping (qtype) and back end (0 SQLite, 1 PostgreSQL).
void BM_OrxBulletin(benchmark::State &state)
{
    const bool pg = state.range(1) == 1;
    if (pg && !PgYear::available()) {
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
        return;
    }
    if (pg)
        pgYear();
    OrxYear &y = year();
    BenchHost host(y.dir.path(), pg);
    QDir(y.dir.path()).mkpath(QStringLiteral("system"));
    ReportState report;
    report.sett.fullorx = true;
    report.codes = {QStringLiteral("S10")};
    report.tempFile = y.dir.filePath(QStringLiteral("system/stbul_1.htm"));
    report.period = {EncodeDate(2025, 12, 21), EncodeDate(2025, 12, 31), 36, {}};
    report.options.repset = 3;
    report.options.qtype = int(state.range(0));
    DbConnection conn;
    OrxReportStats stats;
    for (auto _ : state) {
        stats = OrxReportStats();
        ORXMakeReport(report, host, conn, false, &stats);
    }
    if (!report.reportMade)
        state.SkipWithError("no bulletin");
    lastStatements[{int(state.range(0)), int(state.range(1))}] = stats.statements;
    state.counters["statements"] = double(stats.statements.size());
    state.counters["events"] = stats.events;
}

// The statements of the run above through sqlite3 itself, every value of every row read.
void BM_OrxBulletinRaw(benchmark::State &state)
{
    const QStringList &statements = lastStatements[{int(state.range(0)), 0}];
    if (statements.isEmpty()) {
        state.SkipWithError("run BM_OrxBulletin first");
        return;
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(year().path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::int64_t rows = 0;
    for (auto _ : state) {
        for (const QString &text : statements) {
            sqlite3_stmt *st = nullptr;
            const QByteArray utf8 = text.toUtf8();
            if (sqlite3_prepare_v2(db, utf8.constData(), -1, &st, nullptr) != SQLITE_OK) {
                state.SkipWithError(sqlite3_errmsg(db));
                break;
            }
            const int columns = sqlite3_column_count(st);
            while (sqlite3_step(st) == SQLITE_ROW) {
                ++rows;
                for (int c = 0; c < columns; ++c)
                    switch (sqlite3_column_type(st, c)) {
                    case SQLITE_INTEGER:
                        benchmark::DoNotOptimize(sqlite3_column_int64(st, c));
                        break;
                    case SQLITE_FLOAT:
                        benchmark::DoNotOptimize(sqlite3_column_double(st, c));
                        break;
                    case SQLITE_TEXT:
                        benchmark::DoNotOptimize(
                            std::string(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                        sqlite3_column_bytes(st, c)));
                        break;
                    default:
                        break;
                    }
            }
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    state.counters["statements"] = double(statements.size());
    state.counters["rows"] = double(rows) / double(state.iterations());
}

// The statements of the PostgreSQL run through the ODBC driver's own API, every value of every row read
// as text.
void BM_OrxBulletinRawPg(benchmark::State &state)
{
    const QStringList &statements = lastStatements[{int(state.range(0)), 1}];
    if (statements.isEmpty()) {
        state.SkipWithError("run BM_OrxBulletin on PostgreSQL first");
        return;
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const QByteArray connect =
        (pgYear().source() + QStringLiteral(";UID=%1;PWD=%2").arg(pgYear().user, pgYear().password)).toUtf8();
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR *)connect.constData(), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("no ODBC connection");
        return;
    }
    std::int64_t rows = 0;
    char buffer[4096];
    for (auto _ : state) {
        for (const QString &text : statements) {
            SQLHSTMT st = SQL_NULL_HSTMT;
            SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
            const QByteArray utf8 = text.toUtf8();
            if (!SQL_SUCCEEDED(SQLExecDirect(st, (SQLCHAR *)utf8.constData(), SQL_NTS))) {
                state.SkipWithError(utf8.constData());
                SQLFreeHandle(SQL_HANDLE_STMT, st);
                break;
            }
            SQLSMALLINT columns = 0;
            SQLNumResultCols(st, &columns);
            while (SQL_SUCCEEDED(SQLFetch(st))) {
                ++rows;
                for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c) {
                    SQLLEN length = 0;
                    SQLGetData(st, c, SQL_C_CHAR, buffer, sizeof buffer, &length);
                    benchmark::DoNotOptimize(length);
                }
            }
            SQLFreeHandle(SQL_HANDLE_STMT, st);
        }
    }
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    state.counters["statements"] = double(statements.size());
    state.counters["rows"] = double(rows) / double(state.iterations());
}

} // namespace

BENCHMARK(BM_OrxBulletin)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrxBulletinRaw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrxBulletinRawPg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    MessageProc = ErrorMessageProc = [](QWidget *, const QString &text, unsigned, unsigned) {
        std::cerr << text.toStdString() << '\n';
        return int(IDOK);
    };
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
