// What the user waits for after "Создать отчёт" in the ORX-only mode: the bulletin of decade 36 for every
// station with data, grouped by station and by event, on a year of ORX data (20 stations, 20,000 events,
// 400,000 arrivals) in a SQLite file and on PostgreSQL; and the same statements run raw in the same run,
// through sqlite3 opened as Qt opens it and through psqlODBC as the layer sets it up, each statement shape
// prepared once. And the memory of a big bulletin: thirty days of sixteen times that density (26,301
// events, 526,020 arrivals), grouped by event, its peak resident set against the size of the file.

#include "bench_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/table_creates.h"
#include "lib/epoch.h"
#include "lib/messages.h"
#include "products/bulletin_report.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

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
constexpr int kReadingsPerEvent = 20; // ten stations, a P and an S each

// The ORX data of a bench: Events events spread evenly over Days days from First. Reading k of event e:
// station (e + k / 2) mod 20, a P for even k and an S for odd k.
struct OrxShape
{
    int events;
    int days;
    QDate first;

    double begin() const
    {
        return htoe(quint16(first.year()), quint16(first.month()), quint16(first.day()), 0, 0, 0);
    }
    double step() const { return double(days) * 86400 / events; }
};

// A year: 20,000 events, 400,000 arrivals.
const OrxShape kYear{20000, 365, QDate(2025, 1, 1)};
// Thirty days at sixteen times the year's density.
const OrxShape kMonth16{int(std::lround(16.0 * 20000 * 30 / 365)), 30, QDate(2025, 12, 2)};

// A SQLite file of ORX data. The indexes are those a working ORX database keeps for its readers:
// arrivals by event, by time and by trimmed station code, origins by time; and its statistics are up to
// date.
struct OrxFile
{
    QTemporaryDir dir;
    QString path;

    explicit OrxFile(const OrxShape &shape)
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
        const double y0 = shape.begin();
        const double step = shape.step();
        int arid = 0;
        for (int e = 0; e < shape.events; ++e) {
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

// The data of each shape, made when a case first asks; main drops them while Qt is still there.
std::map<int, std::unique_ptr<OrxFile>> orxFiles;

OrxFile &orxFile(const OrxShape &shape)
{
    auto &f = orxFiles[shape.events];
    if (!f)
        f = std::make_unique<OrxFile>(shape);
    return *f;
}

bool pgAvailable()
{
    return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN");
}

// The same data on the PostgreSQL server of the test script (scripts/test's environment, see
// tests/support/pg_server.sh), made by the server itself, in a database of its own.
struct PgData
{
    QString dsn = qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    QString user = qEnvironmentVariable("BRENVALE_TEST_PG_USER");
    QString password = qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
    QString database = QStringLiteral("bench_") + QUuid::createUuid().toString(QUuid::Id128);

    QString source() const { return QStringLiteral("DSN=%1;Database=%2").arg(dsn, database); }

    void run(DbConnection &c, const QString &statement)
    {
        DbCommand cmd(&c);
        cmd.SetCommandText(statement);
        cmd.Execute();
    }

    explicit PgData(const OrxShape &shape)
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
        const QString t0 = QStringLiteral("(%1 + e * %2 + (e %% 7) * 3.3)")
                               .arg(FloatToStr(shape.begin()), FloatToStr(shape.step()))
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
                    .arg(shape.events - 1),
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
                    "generate_series(0,LAST) g) a) b")
                    .replace(QStringLiteral("T0"), t0)
                    .replace(QStringLiteral("LAST"), QString::number(shape.events * kReadingsPerEvent - 1)),
                QStringLiteral("create index arrival_eventid on arrival (eventid)"),
                QStringLiteral("create index arrival_itime on arrival (itime)"),
                QStringLiteral("create index arrival_rsta on arrival ((rtrim(sta)))"),
                QStringLiteral("create index origin_time on origin (origintime)"), QStringLiteral("analyze")})
            run(c, statement);
    }
    ~PgData()
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

std::map<int, std::unique_ptr<PgData>> pgDatas;

PgData &pgData(const OrxShape &shape)
{
    auto &d = pgDatas[shape.events];
    if (!d)
        d = std::make_unique<PgData>(shape);
    return *d;
}

class BenchHost : public QuietReportHost
{
public:
    BenchHost(const OrxShape &shape, bool pg) : m_shape(shape), m_pg(pg) {}
    bool GetStationDBParams(QString &, QString &, QString &) override { return false; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &, const QString &, const QString &) override
    {
        if (m_pg) {
            PgData &d = pgData(m_shape);
            Conn.SetProvider(QStringLiteral("MSDASQL"));
            Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(d.source()));
            Conn.Open(d.user, d.password);
            return true;
        }
        Conn.SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        Conn.SetConnectionString(
            QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(orxFile(m_shape).path));
        Conn.Open(QString(), QString());
        return true;
    }
    const tfilts &Filters() override { return m_filters; }
    QString ProgramFolder() override { return orxFile(m_shape).dir.path() + QLatin1Char('/'); }

private:
    const OrxShape &m_shape;
    bool m_pg;
    tfilts m_filters{tfilt{QStringLiteral("FA"), 0.5, 5.0}};
};

ReportState reportOn(const OrxShape &shape, TDateTime from, TDateTime to, int number, int qtype)
{
    OrxFile &f = orxFile(shape);
    QDir(f.dir.path()).mkpath(QStringLiteral("system"));
    ReportState report;
    report.sett.fullorx = true;
    report.codes = {QStringLiteral("S10")};
    report.tempFile = f.dir.filePath(QStringLiteral("system/stbul_1.htm"));
    report.period = {from, to, number, {}};
    report.options.repset = 3;
    report.options.qtype = qtype;
    return report;
}

std::map<std::pair<int, int>, QStringList> lastStatements;

// Arguments: grouping (qtype) and back end (0 SQLite, 1 PostgreSQL).
void BM_OrxBulletin(benchmark::State &state)
{
    const bool pg = state.range(1) == 1;
    if (pg && !pgAvailable()) {
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
        return;
    }
    if (pg)
        pgData(kYear);
    BenchHost host(kYear, pg);
    ReportState report =
        reportOn(kYear, EncodeDate(2025, 12, 21), EncodeDate(2025, 12, 31), 36, int(state.range(0)));
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

// A statement's text with its quoted literals compared by "=" as parameters: the shape a database layer
// prepares once and binds the literals into.
struct Shape
{
    std::string text;
    std::vector<std::string> literals;
};

Shape shapeOf(const QString &statement)
{
    const std::string s = statement.toStdString();
    Shape shape;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\'') {
            shape.text += s[i];
            continue;
        }
        const std::size_t before = shape.text.find_last_not_of(' ');
        const bool compared = before != std::string::npos && shape.text[before] == '=';
        const std::size_t open = i;
        std::string literal;
        for (++i; i < s.size(); ++i) {
            if (s[i] != '\'')
                literal += s[i];
            else if (i + 1 < s.size() && s[i + 1] == '\'')
                literal += s[++i];
            else
                break;
        }
        if (compared) {
            shape.text += '?';
            shape.literals.push_back(std::move(literal));
        } else {
            shape.text += s.substr(open, i - open + 1);
        }
    }
    return shape;
}

// The statements of the run above through sqlite3 itself, opened as Qt opens its own connections (no
// SQLite mutex), each shape prepared once and its literals bound; every value of every row read.
void BM_OrxBulletinRaw(benchmark::State &state)
{
    const QStringList &statements = lastStatements[{int(state.range(0)), 0}];
    if (statements.isEmpty()) {
        state.SkipWithError("run BM_OrxBulletin first");
        return;
    }
    std::vector<Shape> shapes;
    for (const QString &text : statements)
        shapes.push_back(shapeOf(text));
    sqlite3 *db = nullptr;
    sqlite3_open_v2(orxFile(kYear).path.toUtf8().constData(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::map<std::string, sqlite3_stmt *> prepared;
    std::int64_t rows = 0;
    for (auto _ : state) {
        for (const Shape &shape : shapes) {
            sqlite3_stmt *&st = prepared[shape.text];
            if (!st && sqlite3_prepare_v2(db, shape.text.c_str(), -1, &st, nullptr) != SQLITE_OK) {
                state.SkipWithError(sqlite3_errmsg(db));
                break;
            }
            for (std::size_t p = 0; p < shape.literals.size(); ++p)
                sqlite3_bind_text(st, int(p + 1), shape.literals[p].c_str(), int(shape.literals[p].size()),
                                  SQLITE_STATIC);
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
            sqlite3_reset(st);
        }
    }
    for (auto &[text, st] : prepared)
        sqlite3_finalize(st);
    sqlite3_close(db);
    state.counters["statements"] = double(statements.size());
    state.counters["shapes"] = double(prepared.size());
    state.counters["rows"] = double(rows) / double(state.iterations());
}

// The statements of the PostgreSQL run through the ODBC driver's own API, set up as the layer sets up
// psqlODBC (no server-side prepare: one round trip a statement, the driver putting the parameters in):
// each shape prepared once on a statement handle of its own, its literals bound; every value of every row
// read as text.
void BM_OrxBulletinRawPg(benchmark::State &state)
{
    const QStringList &statements = lastStatements[{int(state.range(0)), 1}];
    if (statements.isEmpty()) {
        state.SkipWithError("run BM_OrxBulletin on PostgreSQL first");
        return;
    }
    std::vector<Shape> shapes;
    for (const QString &text : statements)
        shapes.push_back(shapeOf(text));
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    PgData &d = pgData(kYear);
    const QByteArray connect =
        (d.source() + QStringLiteral(";UseServerSidePrepare=0;UID=%1;PWD=%2").arg(d.user, d.password))
            .toUtf8();
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR *)connect.constData(), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("no ODBC connection");
        return;
    }
    std::map<std::string, SQLHSTMT> prepared;
    std::int64_t rows = 0;
    char buffer[4096];
    for (auto _ : state) {
        for (const Shape &shape : shapes) {
            SQLHSTMT &st = prepared[shape.text];
            if (!st) {
                SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
                if (!SQL_SUCCEEDED(SQLPrepare(st, (SQLCHAR *)shape.text.c_str(), SQL_NTS))) {
                    state.SkipWithError(shape.text.c_str());
                    break;
                }
            }
            std::vector<SQLLEN> lengths(shape.literals.size());
            for (std::size_t p = 0; p < shape.literals.size(); ++p) {
                lengths[p] = SQLLEN(shape.literals[p].size());
                SQLBindParameter(st, SQLUSMALLINT(p + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                 SQLULEN(std::max<std::size_t>(shape.literals[p].size(), 1)), 0,
                                 (SQLPOINTER)shape.literals[p].c_str(), lengths[p], &lengths[p]);
            }
            if (!SQL_SUCCEEDED(SQLExecute(st))) {
                state.SkipWithError(shape.text.c_str());
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
            SQLFreeStmt(st, SQL_CLOSE);
        }
    }
    for (auto &[text, st] : prepared)
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    state.counters["statements"] = double(statements.size());
    state.counters["shapes"] = double(prepared.size());
    state.counters["rows"] = double(rows) / double(state.iterations());
}

// The thirty days of sixteen times the density, grouped by event: the peak of the resident set during the
// run (its high-water mark reset before, clear_refs 5) against the size of the file it wrote.
// Argument: back end (0 SQLite, 1 PostgreSQL).
void BM_OrxBulletinMemory(benchmark::State &state)
{
    const bool pg = state.range(0) == 1;
    if (pg && !pgAvailable()) {
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
        return;
    }
    if (pg)
        pgData(kMonth16);
    BenchHost host(kMonth16, pg);
    ReportState report = reportOn(kMonth16, EncodeDate(2025, 12, 2), EncodeDate(2025, 12, 31), 0, 1);
    DbConnection conn;
    OrxReportStats stats;
    stats.keepStatements = false;
    double peak = 0, base = 0;
    for (auto _ : state) {
        stats = OrxReportStats();
        stats.keepStatements = false;
        state.PauseTiming();
        QFile::remove(report.tempFile);
        base = ResetPeakMemory();
        state.ResumeTiming();
        ORXMakeReport(report, host, conn, false, &stats);
        peak = std::max(peak, StatusKb("VmHWM:") - base);
    }
    if (!report.reportMade)
        state.SkipWithError("no bulletin");
    state.counters["events"] = stats.events;
    state.counters["file_MB"] = double(QFileInfo(report.tempFile).size()) / (1024 * 1024);
    state.counters["peak_MB"] = peak / 1024;
    state.counters["rss_MB"] = StatusKb("VmHWM:") / 1024;
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
BENCHMARK(BM_OrxBulletinMemory)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

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
    pgDatas.clear();
    orxFiles.clear();
    return 0;
}
