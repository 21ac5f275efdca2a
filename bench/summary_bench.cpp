// What the user waits for after "Создать сводку": the daily summary of a busy day on a station bulletin
// database, and the same day with ten times the data; on a SQLite file, and on PostgreSQL through
// psqlODBC when BRENVALE_TEST_PG_DSN, _USER and _PASSWORD name a server (tests/support/pg_server.sh
// starts one), and once more through the delay proxy when BRENVALE_BENCH_PG_PROXY_PORT names one
// (bench_support.h). Beside each, the same statements run raw (bench_support.h): each shape prepared once,
// every value of every row read, the rows the summary walks taken from the results; no telegram made.

#include "bench_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/sql_literals.h"
#include "demo_data.h"
#include "lib/messages.h"
#include "products/summary_run.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <iostream>
#include <map>
#include <memory>

namespace {

void sql(sqlite3 *db, const char *statement)
{
    char *error = nullptr;
    if (sqlite3_exec(db, statement, nullptr, nullptr, &error) != SQLITE_OK) {
        std::cerr << statement << ": " << (error ? error : "?") << '\n';
        sqlite3_free(error);
        std::abort();
    }
}

// The demo writes one bulletin file per station; the day's two stations go into one file, as a
// network's bulletin database holds them. The second station's numbers move past the first's.
struct BusyDay
{
    QTemporaryDir dir;
    QString bulletin;
    QString outDir;
    DemoSummary demo;
    TDateTime day = 0;

    explicit BusyDay(int scale)
    {
        DemoParams p;
        p.stations = 2;
        p.days = 1;
        p.eventsPerDay = 100 * scale;
        p.readingsPerEvent = 7.5;
        p.measurementsPerReading = 1.6667;
        demo = GenerateDemoFolder(dir.path(), p);
        day = EncodeDate(p.lastDay.year(), p.lastDay.month(), p.lastDay.day());
        bulletin = demo.bulletinPaths[0];
        outDir = dir.path();

        sqlite3 *db = nullptr;
        sqlite3_open(bulletin.toUtf8().constData(), &db);
        sql(db, ("ATTACH DATABASE '" + demo.bulletinPaths[1].toStdString() + "' AS b").c_str());
        sql(db, "BEGIN");
        const char *offset = "1000000";
        for (const std::string &s :
             {std::string("UPDATE b.[Динамические замеры] SET Id_XM=Id_XM+") + offset + ",arid=arid+" +
                  offset,
              std::string("UPDATE b.[Станционный бюллетень] SET arid=arid+") + offset +
                  ",N_equake=N_equake+" + offset,
              std::string("UPDATE b.[События] SET orid=orid+") + offset + ",num=num+" + offset})
            sql(db, s.c_str());
        sql(db, "INSERT INTO main.[События] SELECT * FROM b.[События]");
        sql(db, "INSERT INTO main.[Станционный бюллетень] SELECT * FROM b.[Станционный бюллетень]");
        sql(db, "INSERT INTO main.[Динамические замеры] SELECT * FROM b.[Динамические замеры]");
        sql(db, "COMMIT");
        sql(db, "DETACH DATABASE b");
        sqlite3_close(db);
    }
};

void execute(DbConnection &c, const QString &sql)
{
    DbCommand command(&c);
    command.SetCommandText(sql);
    command.Execute();
}

// The same day copied into a database of its own on the PostgreSQL server, the tables made by the
// layer from the Jet statements the file was made with; dropped at the end.
class ServerDay
{
public:
    static bool available() { return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN"); }

    explicit ServerDay(const BusyDay &day)
        : m_dsn(qEnvironmentVariable("BRENVALE_TEST_PG_DSN")),
          m_user(qEnvironmentVariable("BRENVALE_TEST_PG_USER")),
          m_password(qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD")),
          m_database(QStringLiteral("bench_") + QUuid::createUuid().toString(QUuid::Id128))
    {
        execute(*connect(QStringLiteral("DSN=") + m_dsn), QStringLiteral("CREATE DATABASE ") + m_database);
        auto file = std::make_unique<DbConnection>();
        file->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        file->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=Read").arg(day.bulletin));
        file->Open();
        auto server = connect(source());
        DbQuery tables(file.get());
        tables.SetSQL(
            QStringLiteral("select name, sql from sqlite_master where type='table' and name not like "
                           "'sqlite%' order by rowid"));
        tables.Open();
        server->BeginTrans();
        for (; !tables.Eof(); tables.Next()) {
            // The file keeps the Jet statement, but for the collation the layer gave its texts.
            QString create = tables.Field(1)->AsString();
            create.remove(QStringLiteral(" COLLATE JETNOCASE"));
            execute(*server, create);
            CopyTableRows(*file, *server, tables.Field(0)->AsString());
        }
        server->CommitTrans();
        // Statistics, as a working database has them.
        execute(*server, QStringLiteral("ANALYZE"));
    }

    ~ServerDay()
    {
        try {
            execute(*connect(QStringLiteral("DSN=") + m_dsn),
                    QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_database));
        } catch (const DbError &e) {
            std::cerr << e.message().toStdString() << '\n';
        }
    }

    // The day's database, straight or through the delay proxy.
    QString source(bool proxy = false) const
    {
        const QString source = QStringLiteral("DSN=%1;Database=%2").arg(m_dsn, m_database) +
                               qEnvironmentVariable("BRENVALE_BENCH_PG_OPTIONS");
        return proxy ? PgThroughProxy(source) : source;
    }
    const QString &user() const { return m_user; }
    const QString &password() const { return m_password; }

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

class BenchHost : public SummaryHost
{
public:
    BenchHost(const BusyDay &d, const ServerDay *server, bool proxy)
        : m_day(d), m_server(server), m_proxy(proxy)
    {
        m_sett.svodka_date = d.day;
        m_sett.svodka_dir = d.outDir;
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskSummaryParameters() override { return true; }
    QString CurrentStationCode() override { return QStringLiteral("BENCH"); }
    QString CurrentStationSection() override { return QStringLiteral("bench"); }
    bool GetStationDBParams(QString &Source, QString &User, QString &Password, int, bool) override
    {
        Source = m_server ? m_server->source(m_proxy) : m_day.bulletin;
        if (m_server) {
            User = m_server->user();
            Password = m_server->password();
        }
        return true;
    }
    DbConnection &BulletinConnection() override { return m_dbs; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User, const QString &Password,
                    bool) override
    {
        Conn.SetProvider(m_server ? QStringLiteral("MSDASQL") : QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(Source));
        Conn.Open(User, Password);
        return true;
    }
    void CloseDB_ADO(DbConnection &Conn) override
    {
        if (Conn.Connected())
            prepared = Conn.backend().statementsPrepared();
        Conn.Close();
    }
    // How many statements the driver prepared in the last run.
    qint64 prepared = 0;
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(m_server != nullptr, FromDate, ToDate, FromLit, ToLit);
    }
    int EditSummary(const QString &, bool, QStringList &) override { return IDCANCEL; }
    bool SendMail(QChar, const QString &, const QString &) override { return false; }

private:
    const BusyDay &m_day;
    const ServerDay *m_server;
    bool m_proxy;
    Tsett m_sett;
    DbConnection m_dbs;
};

BusyDay &busyDay(int scale)
{
    static std::map<int, std::unique_ptr<BusyDay>> days;
    auto &day = days[scale];
    if (!day)
        day = std::make_unique<BusyDay>(scale);
    return *day;
}

// Dropped before the program ends, while Qt still runs.
std::map<int, std::unique_ptr<ServerDay>> &serverDays()
{
    static std::map<int, std::unique_ptr<ServerDay>> days;
    return days;
}

// Back ends: 0 the SQLite file, 1 PostgreSQL, 2 the same server database through the delay proxy.
ServerDay *serverDay(benchmark::State &state, int backEnd, BusyDay &day)
{
    if (backEnd == 0)
        return nullptr;
    if (!ServerDay::available()) {
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
        return nullptr;
    }
    if (backEnd == 2 && !PgProxyAvailable()) {
        state.SkipWithError("BRENVALE_BENCH_PG_PROXY_PORT is not set");
        return nullptr;
    }
    auto &copy = serverDays()[int(state.range(0))];
    if (!copy)
        copy = std::make_unique<ServerDay>(day);
    return copy.get();
}

template <int BackEnd> void BM_Summary(benchmark::State &state)
{
    constexpr bool OnServer = BackEnd != 0;
    BusyDay &day = busyDay(int(state.range(0)));
    ServerDay *server = serverDay(state, BackEnd, day);
    if (OnServer && !server)
        return;
    BenchHost host(day, server, BackEnd == 2);
    SummaryRunStats stats;
    for (auto _ : state) {
        stats = SummaryRunStats();
        SvodkaProc(host, &stats);
    }
    state.counters["statements"] = stats.statements;
    if (!OnServer)
        state.counters["prepared"] = double(host.prepared);
    state.counters["stations"] = stats.stations;
    state.counters["rows"] = stats.rows;
    state.counters["readings"] = day.demo.arrivals;
    state.counters["measurements"] = day.demo.measurements;
}

// The statements of SvodkaProc for the day, run raw on Db (RawSqlite or RawOdbc): the day's stations;
// for each its first event number and whether an earlier day has it, its events, the readings of those
// events and the measurements of those readings (each set in one statement naming its numbers), the texts
// of the day and the wave designations. The Jet statements are written with "?" where the summary writes
// a value, and translated as the layer translates them. Returns the rows read.
template <class Db> qint64 RawSummary(Db &db, SqlBackend kind, const QString &day)
{
    const SqlDialect dialect(kind);
    const auto shape = [&](const QString &jet) { return dialect.translate(jet).value(0); };
    const QString bulletin = QStringLiteral("[Станционный бюллетень]");
    const QString stationsSql = shape(QStringLiteral("SELECT distinct Station_Cod FROM ") + bulletin +
                                      QStringLiteral(" WHERE [Date] = ") + day);
    const QString firstSql =
        shape(QStringLiteral("SELECT min(N_equake) as min_num FROM ") + bulletin +
              QStringLiteral(" WHERE [Date] = ") + day + QStringLiteral(" and Station_Cod=?"));
    const QString earlierSql = shape(QStringLiteral("SELECT count(N_equake) as cnt FROM ") + bulletin +
                                     QStringLiteral(" WHERE [Date] < ") + day +
                                     QStringLiteral(" AND N_equake = ? and Station_Cod=?"));
    const auto eventsSql = [&](bool exclude) {
        return shape(
            QStringLiteral("SELECT num,[time],dec,lat,lon,depdp,deltagr,deltakm,comment FROM [События] "
                           "WHERE num in (SELECT distinct N_equake FROM ") +
            bulletin + QStringLiteral(" WHERE [Date] = ") + day +
            (exclude ? QStringLiteral(" AND N_equake<>?") : QString()) +
            QStringLiteral(" and Station_Cod=?) order by num"));
    };
    const QString allEventsSql = eventsSql(false), laterEventsSql = eventsSql(true);
    const auto readingsSql = [&](const QString &numbers) {
        return shape(QStringLiteral(
                         "SELECT * FROM (SELECT arid,N_equake,Date,FM,Qual,Interpretation,Phase,Channel_Cod,"
                         "Channel_component,Time AS ArrTime,Dec AS ArrDec,FM_NS,FM_EW,(Switch(((UCase(phase)="
                         "'LR') Or (UCase(phase)='LRM') Or (UCase(phase)='LQ') Or (UCase(phase)='LQM')),2,"
                         "True,1)) AS tpph FROM ") +
                     bulletin + QStringLiteral(" WHERE N_equake in (") + numbers +
                     QStringLiteral(") and Station_Cod=?) ORDER BY tpph,ArrTime,ArrDec,arid"));
    };
    const auto measurementsSql = [&](const QString &numbers) {
        return shape(QStringLiteral("select * from [Динамические замеры] where arid in (") + numbers +
                     QStringLiteral(") order by TimeXM,DecXm,Id_XM"));
    };
    const auto list = [](const std::vector<QVariantList> &rows, int column) {
        QStringList numbers;
        for (const QVariantList &row : rows)
            numbers << QString::number(row.value(column).toLongLong());
        return numbers.join(QLatin1Char(','));
    };
    const QString textsSql =
        shape(QStringLiteral("SELECT distinct StrQuake from [События] INNER JOIN ") + bulletin +
              QStringLiteral(" ON События.num = [Станционный бюллетень].N_equake WHERE Station_Cod=? and "
                             "(([Станционный бюллетень].[Date] = ") +
              day + QStringLiteral(") And (StrQuake is not null))"));
    const QString wavesSql = shape(QStringLiteral("Select iphase,Phase from [Обозначения волн]"));

    qint64 rows = 0;
    std::vector<QVariantList> stations;
    rows += db.readShape(stationsSql, {}, &stations);
    for (const QVariantList &station : stations) {
        const QVariant code = station.value(0);
        std::vector<QVariantList> first, earlier, events;
        rows += db.readShape(firstSql, {code}, &first);
        bool exclude = false;
        if (!first.empty() && !first.front().value(0).isNull()) {
            rows += db.readShape(earlierSql, {first.front().value(0), code}, &earlier);
            exclude = !earlier.empty() && earlier.front().value(0).toLongLong() > 0;
        }
        rows += exclude ? db.readShape(laterEventsSql, {first.front().value(0), code}, &events)
                        : db.readShape(allEventsSql, {code}, &events);
        if (!events.empty()) {
            std::vector<QVariantList> readings;
            rows += db.readShape(readingsSql(list(events, 0)), {code}, &readings);
            if (!readings.empty())
                rows += db.readShape(measurementsSql(list(readings, 0)), {});
        }
        rows += db.readShape(textsSql, {code});
        rows += db.readShape(wavesSql, {});
    }
    return rows;
}

template <int BackEnd> void BM_SummaryRaw(benchmark::State &state)
{
    constexpr bool OnServer = BackEnd != 0;
    BusyDay &day = busyDay(int(state.range(0)));
    QString from, to;
    SqlDateRangeLiterals(OnServer, day.day, day.day, from, to);
    qint64 rows = 0;
    if (OnServer) {
        ServerDay *copy = serverDay(state, BackEnd, day);
        if (!copy)
            return;
        for (auto _ : state) {
            RawOdbc db(copy->source(BackEnd == 2), copy->user(), copy->password());
            rows = RawSummary(db, SqlBackend::PostgreSql, from);
        }
    } else {
        for (auto _ : state) {
            RawSqlite db(day.bulletin);
            rows = RawSummary(db, SqlBackend::SQLite, from);
        }
    }
    state.counters["rows"] = double(rows);
}

} // namespace

BENCHMARK(BM_Summary<0>)->Name("BM_Summary")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryRaw<0>)->Name("BM_SummaryRaw")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Summary<1>)->Name("BM_SummaryPostgreSql")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryRaw<1>)->Name("BM_SummaryRawPostgreSql")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Summary<2>)->Name("BM_SummaryPostgreSqlProxy")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryRaw<2>)
    ->Name("BM_SummaryRawPostgreSqlProxy")
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond);

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
    serverDays().clear();
    return 0;
}
