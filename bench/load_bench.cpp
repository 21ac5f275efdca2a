// A year of a busy network (20 stations, about 20,000 events and 400,000 arrivals) through every product
// and transfer, on SQLite files and, when BRENVALE_TEST_PG_DSN names a server (tests/support/pg_server.sh),
// on PostgreSQL through psqlODBC: the ORX bulletin and the station bulletin (from the first station's
// bulletin database) of every period kind, the MSK-85 summary from the
// bulletin database and from ORX, the copy from ORX into a bulletin database, the ORV export and import,
// the text export and import of the station bulletin. Beside each, its raw baseline (bench_support.h): the
// same rows read or written through sqlite3 or psqlODBC's own API and plain file I/O, no product logic; the
// ORV raws write and read the event file's table dumps and run zip and unzip, and on the server the raws
// insert many rows to a statement, as the layer does.
//
// Every case reports its peak memory: the resident set's high-water mark is reset before the case, so
// "peak_MB" is what the case took above what the process held when it began.
//
// Arguments of every case: back end (0 SQLite, 1 PostgreSQL, 2 PostgreSQL through the delay proxy when
// BRENVALE_BENCH_PG_PROXY_PORT names one, see bench_support.h) and the days of data (365 for the year,
// fewer for a smaller network; BRENVALE_LOAD_DAYS sets the list, e.g. "37,365"). Through the proxy the
// cases work on the same server databases as the direct ones; only what they time goes through it.

#include "app/data/data_module.h"
#include "app/settings/reference_tables.h"
#include "bench_support.h"
#include "db/db_backend.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/jet_sqlite.h"
#include "db/sql_literals.h"
#include "demo_data.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_import.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange/text/delimited_reader.h"
#include "exchange/text/delimited_writer.h"
#include "exchange/text/text_format.h"
#include "exchange/text/text_to_bulletin.h"
#include "lib/messages.h"
#include "products/bulletin_report.h"
#include "products/orx_summary.h"
#include "products/summary_run.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <iostream>
#include <map>
#include <memory>
#include <vector>

namespace {

bool g_failed = false;

// A case that did not do its work: skipped, and the program ends with a failure.
void fail(benchmark::State &state, const char *why)
{
    g_failed = true;
    state.SkipWithError(why);
}

[[noreturn]] void die(const QString &what)
{
    std::cerr << what.toStdString() << '\n';
    std::abort();
}

// ---------------------------------------------------------------------------------------------------
// Peak memory of one case

// The peak of the resident set from its construction on.
class PeakMemory
{
public:
    PeakMemory() : m_base(ResetPeakMemory()) {}
    void report(benchmark::State &state) const
    {
        const double hwm = StatusKb("VmHWM:");
        state.counters["peak_MB"] = (hwm - m_base) / 1024;
        state.counters["rss_MB"] = hwm / 1024;
    }

private:
    double m_base = 0;
};

// ---------------------------------------------------------------------------------------------------
// Databases

const QString kJet = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
const QString kEvents = QStringLiteral("События");
const QString kReadings = QStringLiteral("Станционный бюллетень");
const QString kMeasurements = QStringLiteral("Динамические замеры");

bool pgAvailable()
{
    return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN");
}
QString pgUser()
{
    return qEnvironmentVariable("BRENVALE_TEST_PG_USER");
}
QString pgPassword()
{
    return qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
}
// Set while a case of the proxy's back end runs, after its network is on the server.
bool g_viaProxy = false;

// BRENVALE_LOAD_PG_OPTIONS is added to the data source, e.g. ";UseDeclareFetch=1;Fetch=1000".
QString pgSource(const QString &database)
{
    QString source = QStringLiteral("DSN=") + qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    if (!database.isEmpty())
        source += QStringLiteral(";Database=") + database;
    source += qEnvironmentVariable("BRENVALE_LOAD_PG_OPTIONS");
    return g_viaProxy ? PgThroughProxy(source) : source;
}

std::unique_ptr<DbConnection> connectTo(bool pg, const QString &source)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(pg ? QStringLiteral("MSDASQL") : kJet);
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(source));
    if (pg)
        c->Open(pgUser(), pgPassword());
    else
        c->Open(QString(), QString());
    return c;
}

void execute(DbConnection &c, const QString &sql)
{
    DbCommand cmd(&c);
    cmd.SetCommandText(sql);
    cmd.Execute();
}

// A database of its own on the server, dropped at the end.
struct PgDatabase
{
    QString name = QStringLiteral("load_") + QUuid::createUuid().toString(QUuid::Id128);
    PgDatabase()
    {
        execute(*connectTo(true, pgSource(QString())), QStringLiteral("CREATE DATABASE ") + name);
    }
    ~PgDatabase()
    {
        try {
            execute(*connectTo(true, pgSource(QString())),
                    QStringLiteral("DROP DATABASE IF EXISTS ") + name + QStringLiteral(" WITH (FORCE)"));
        } catch (const std::exception &) {
        }
    }
    QString source() const { return pgSource(name); }
};

// A table's rows from a SQLite file into another database, in a transaction of their own.
void copyRows(DbConnection &from, DbConnection &to, const QString &table)
{
    to.BeginTrans();
    CopyTableRows(from, to, table);
    to.CommitTrans();
}

// The tables of a database of each kind, made through the layer in the back end's dialect.
void createTables(DbConnection &c, const QStringList &creates)
{
    for (const QString &sql : creates)
        execute(c, sql);
}

// The demo ORX database's indexes on the server, which wants an expression in its own parentheses.
void createOrxIndexes(DbConnection &server)
{
    static const QRegularExpression expression(QStringLiteral("\\((rtrim\\(\\w+\\))\\)"));
    for (QString sql : DemoOrxIndexes())
        execute(server, sql.replace(expression, QStringLiteral("((\\1))")));
}

QString freshFile(const QString &path)
{
    QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        die(QStringLiteral("cannot create ") + path);
    return path;
}

// ---------------------------------------------------------------------------------------------------
// Raw access (bench_support.h): sqlite3 on a file as Qt's driver opens it (with the collation the layer
// gives its texts), psqlODBC's own API on the server at one round trip a statement. Every value of every
// row is read.

class Raw
{
public:
    explicit Raw(bool pg, const QString &source)
    {
        if (pg)
            m_server = std::make_unique<RawOdbc>(source, pgUser(), pgPassword());
        else
            m_file = std::make_unique<RawSqlite>(source);
    }

    // The rows of a statement; each also as a line of text into out when given. Returns the row count.
    qint64 read(const QString &sql, QIODevice *out = nullptr, std::vector<QVariantList> *keep = nullptr)
    {
        return m_file ? m_file->read(sql, out, keep) : m_server->read(sql, out, keep);
    }

    // A statement shape with "?" markers, prepared once on this connection, run with these values.
    qint64 readShape(const QString &shape, const QVariantList &params)
    {
        return m_file ? m_file->readShape(shape, params) : m_server->readShape(shape, params);
    }

    void exec(const QString &sql)
    {
        if (m_file)
            m_file->exec(sql);
        else
            m_server->exec(sql);
    }

    // A plain table of the rows' shape (no keys, no counters), and the rows in it in one transaction: on a
    // file one bound insert a row, on the server many rows to a statement.
    void insert(const QString &table, const std::vector<QVariantList> &rows)
    {
        if (rows.empty())
            return;
        const qsizetype columns = rows.front().size();
        QList<QMetaType> types(columns, QMetaType::fromType<QString>());
        for (const QVariantList &row : rows)
            for (qsizetype c = 0; c < columns; ++c)
                if (!row[c].isNull())
                    types[c] = row[c].metaType();
        QStringList defs, marks;
        for (qsizetype c = 0; c < columns; ++c) {
            const int id = types[c].id();
            defs << QStringLiteral("c%1 %2").arg(c).arg(
                id == QMetaType::Double                                ? QStringLiteral("float8")
                : id == QMetaType::LongLong || id == QMetaType::Int    ? QStringLiteral("bigint")
                : id == QMetaType::QDateTime || id == QMetaType::QDate ? QStringLiteral("timestamp")
                                                                       : QStringLiteral("text"));
            marks << QStringLiteral("?");
        }
        exec(QStringLiteral("drop table if exists ") + table);
        exec(QStringLiteral("create table %1 (%2)").arg(table, defs.join(QLatin1Char(','))));
        if (m_file) {
            m_file->exec(QStringLiteral("begin"));
            m_file->insertRows(
                QStringLiteral("insert into %1 values (%2)").arg(table, marks.join(QLatin1Char(','))), rows);
            m_file->exec(QStringLiteral("commit"));
            return;
        }
        // On the server many rows to a statement, as the layer sends a writer's rows there.
        m_server->begin();
        m_server->insertMany(QStringLiteral("insert into %1 values ").arg(table), rows, types);
        m_server->commit();
    }

    // The ORV export done raw (bench_support.h); returns the rows written.
    qint64 orvExport(const QString &originWhere, const QString &arrivalWhere, const QString &folder,
                     const QString &archive)
    {
        return m_file ? RawOrvExport(*m_file, originWhere, arrivalWhere, folder, archive)
                      : RawOrvExport(*m_server, originWhere, arrivalWhere, folder, archive);
    }

    // The ORV import done raw (bench_support.h); returns the rows inserted.
    qint64 orvImport(const QString &archive, const QString &folder)
    {
        return m_file ? RawOrvImport(archive, folder, *m_file) : RawOrvImport(archive, folder, *m_server);
    }

private:
    std::unique_ptr<RawSqlite> m_file;
    std::unique_ptr<RawOdbc> m_server;
};

// ---------------------------------------------------------------------------------------------------
// The network

constexpr int kNetworkStations = 20;
constexpr int kEventsPerDay = 55; // 20,075 in a year

// The demo generator's stations, and as many more recording what the first of them recorded under
// codes of their own, up to twenty; an ORX database with its indexes and statistics, and the first
// station's bulletin database. The server copies are made when a PostgreSQL case first asks.
struct Network
{
    QTemporaryDir dir;
    DemoSummary demo;
    TDateTime first = 0, last = 0;
    QString orx, bulletin, emptyOrx;
    int arrivals = 0, stationReadings = 0;
    std::unique_ptr<PgDatabase> pgOrx, pgBulletin;
    std::unique_ptr<QuietOrvHost> orvHost;
    TD2D waves;
    tmulss factors;
    tfilts filters;

    explicit Network(int days)
    {
        DemoParams p;
        p.stations = DemoStationLimit();
        p.days = days;
        p.eventsPerDay = kEventsPerDay;
        p.readingsPerEvent = 1.0;
        demo = GenerateDemoFolder(dir.path(), p);
        last = EncodeDate(p.lastDay.year(), p.lastDay.month(), p.lastDay.day());
        first = last - days + 1;
        orx = demo.orxPath;
        bulletin = demo.bulletinPaths.first();
        Raw db(false, orx);
        std::vector<QVariantList> codes;
        db.read(QStringLiteral("select sta from site order by sta"), nullptr, &codes);
        db.exec(QStringLiteral("begin"));
        for (int k = 0; k + int(codes.size()) < kNetworkStations && k < int(codes.size()); ++k) {
            const QString from = codes[std::size_t(k)].first().toString();
            const QString to = QStringLiteral("ZZ%1").arg(k);
            for (const QString &table :
                 {QStringLiteral("arrival"), QStringLiteral("site"), QStringLiteral("sitechan")}) {
                db.exec(QStringLiteral("create temp table t as select * from %1 where sta='%2'")
                            .arg(table, from));
                db.exec(QStringLiteral("update t set sta='%1'").arg(to));
                if (table == QLatin1String("arrival"))
                    db.exec(QStringLiteral("update t set arid=arid+%1").arg((k + 1) * 10000000));
                if (table == QLatin1String("site"))
                    db.exec(QStringLiteral("update t set cod='%1'").arg(to));
                db.exec(QStringLiteral("insert into main.%1 select * from t").arg(table));
                db.exec(QStringLiteral("drop table t"));
            }
        }
        db.exec(QStringLiteral("commit"));
        db.exec(QStringLiteral("analyze"));
        std::vector<QVariantList> count;
        db.read(QStringLiteral("select count(*) from arrival"), nullptr, &count);
        arrivals = count.front().first().toInt();
        count.clear();
        Raw b(false, bulletin);
        b.read(QStringLiteral("select count(*) from \"%1\"").arg(kReadings), nullptr, &count);
        stationReadings = count.front().first().toInt();

        emptyOrx = dir.filePath(QStringLiteral("empty_orx.db"));
        QFile::copy(orx, emptyOrx);
        Raw e(false, emptyOrx);
        e.exec(QStringLiteral("delete from origin"));
        e.exec(QStringLiteral("delete from arrival"));
        e.exec(QStringLiteral("vacuum"));
        LoadFiltersAndWaves(dir.path() + QLatin1Char('/'), waves, filters, factors);
    }

    ~Network()
    {
        orvHost.reset();
        pgOrx.reset();
        pgBulletin.reset();
    }

    void onServer()
    {
        if (pgOrx)
            return;
        pgOrx = std::make_unique<PgDatabase>();
        auto source = connectTo(false, orx);
        auto server = connectTo(true, pgOrx->source());
        createTables(*server, DemoOrxCreates());
        for (const QString &table :
             {QStringLiteral("origin"), QStringLiteral("arrival"), QStringLiteral("site"),
              QStringLiteral("sitechan"), QStringLiteral("networks"), QStringLiteral("lastid")})
            copyRows(*source, *server, table);
        createOrxIndexes(*server);
        // Statistics, as the demo file has them.
        execute(*server, QStringLiteral("analyze"));
        pgBulletin = std::make_unique<PgDatabase>();
        auto bulletinFile = connectTo(false, bulletin);
        auto bulletinServer = connectTo(true, pgBulletin->source());
        createTables(*bulletinServer, DemoBulletinCreates());
        for (const QString &table : {kEvents, kReadings, kMeasurements, QStringLiteral("Обозначения волн"),
                                     QStringLiteral("Каналы")})
            copyRows(*bulletinFile, *bulletinServer, table);
        execute(*bulletinServer, QStringLiteral("analyze"));
    }

    QString orxSource(bool pg)
    {
        if (!pg)
            return orx;
        onServer();
        return pgOrx->source();
    }
    QString bulletinSource(bool pg)
    {
        if (!pg)
            return bulletin;
        onServer();
        return pgBulletin->source();
    }

    QuietOrvHost &orv()
    {
        if (!orvHost) {
            orvHost = std::make_unique<QuietOrvHost>(dir.path() + QLatin1Char('/'));
            Tsett &s = orvHost->ExportSettings();
            s.exp_start_date = first;
            s.exp_end_date = last;
            s.exp_dir = dir.filePath(QStringLiteral("out"));
            QDir().mkpath(s.exp_dir);
            s.expset = 3;
            s.maile_send = false;
        }
        return *orvHost;
    }
    void pointOrx(const QString &source, bool pg)
    {
        orv().Point(source, pg ? pgUser() : QString(), pg ? pgPassword() : QString());
    }
};

std::map<int, std::unique_ptr<Network>> &networks()
{
    static std::map<int, std::unique_ptr<Network>> all;
    return all;
}

Network &network(int days)
{
    // One network on disk and on the server at a time: the cases run network by network.
    if (!networks().empty() && networks().begin()->first != days)
        networks().clear();
    auto &n = networks()[days];
    if (!n)
        n = std::make_unique<Network>(days);
    return *n;
}

// The case's back end and network; false (the case skipped) when the server is not there.
bool setUp(benchmark::State &state, bool &pg, Network *&net)
{
    pg = state.range(0) != 0;
    g_viaProxy = false;
    if (pg && !pgAvailable()) {
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
        return false;
    }
    net = &network(int(state.range(1)));
    if (pg)
        net->onServer();
    g_viaProxy = state.range(0) == 2;
    state.counters["arrivals"] = net->arrivals;
    state.counters["rows"] = 0;
    state.counters["statements"] = 0;
    return true;
}

// Epoch seconds of whole days, and the day literals of the bulletin database's dialect.
struct Days
{
    double lower = 0, upper = 0;
    QString fromLit, toLit;
    Days(bool pg, TDateTime from, TDateTime to)
    {
        OrxPeriodBounds(from, to, lower, upper);
        SqlDateRangeLiterals(pg, from, to + 1, fromLit, toLit);
    }
    QString epochs(const QString &column) const
    {
        return QStringLiteral("%1 >= %2 and %1 < %3").arg(column, FloatToStr(lower), FloatToStr(upper));
    }
};

// ---------------------------------------------------------------------------------------------------
// The bulletins by period kind: from ORX, and from the first station's bulletin database

class BulletinHost : public QuietReportHost
{
public:
    BulletinHost(Network &n, bool pg) : m_n(n), m_pg(pg) {}
    // The first station's bulletin database is the station selected in the main window.
    bool GetStationDBParams(QString &Source, QString &User, QString &Password) override
    {
        Source = m_n.bulletinSource(m_pg);
        User = m_pg ? pgUser() : QString();
        Password = m_pg ? pgPassword() : QString();
        return true;
    }
    // No source: the ORX database.
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &, const QString &) override
    {
        Conn.SetProvider(m_pg ? QStringLiteral("MSDASQL") : kJet);
        Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite")
                                     .arg(Source.isEmpty() ? m_n.orxSource(m_pg) : Source));
        Conn.Open(m_pg ? pgUser() : QString(), m_pg ? pgPassword() : QString());
        return true;
    }
    const tfilts &Filters() override { return m_n.filters; }
    QString ProgramFolder() override { return m_n.dir.path() + QLatin1Char('/'); }

private:
    Network &m_n;
    bool m_pg;
};

// The period of each kind of the window, as its controls give it: the last day, the last decade of the
// last month, the decade of the year before it, and the last thirty days.
trsets periodOf(int kind, const Network &n)
{
    int y, m, d;
    DecodeDate(n.last, y, m, d);
    PeriodControls controls;
    controls.rnum = y;
    controls.rmonth = m - 1;
    controls.rmdec = 2;
    controls.rydec = 3 * (m - 1) + 2;
    controls.begDate = kind == StyleDaily ? n.last : n.last - 29;
    controls.endDate = n.last;
    trsets period;
    ReadPeriod(kind, controls, period);
    return period;
}

std::map<std::pair<int, int>, QStringList> bulletinStatements;

void BM_Bulletin(benchmark::State &state, bool pg, Network &net)
{
    const int kind = int(state.range(2));
    BulletinHost host(net, pg);
    ReportState report;
    report.sett.fullorx = true;
    report.codes = {net.demo.stationCodes.first()};
    report.tempFile = net.dir.filePath(QStringLiteral("system/stbul_1.htm"));
    report.period = periodOf(kind, net);
    report.options.repset = 3;
    report.options.qtype = 1; // by event: one pass over the period
    DbConnection conn;
    OrxReportStats stats;
    PeakMemory memory;
    for (auto _ : state) {
        stats = OrxReportStats();
        ORXMakeReport(report, host, conn, false, &stats);
    }
    memory.report(state);
    if (!report.reportMade)
        fail(state, "no bulletin");
    bulletinStatements[{kind, int(state.range(0))}] = stats.statements;
    state.counters["rows"] = stats.events; // events printed
    state.counters["statements"] = double(stats.statements.size());
}

// The bulletin's statements run raw, every value read. As a program written for them would, the raw side
// runs each shape as one prepared statement with the compared values bound (the layer does as much).
void BM_BulletinRaw(benchmark::State &state, bool pg, Network &net)
{
    const QStringList &statements = bulletinStatements[{int(state.range(2)), int(state.range(0))}];
    if (statements.isEmpty()) {
        fail(state, "run BM_Bulletin first");
        return;
    }
    std::vector<LiftedStatement> shapes;
    for (const QString &sql : statements)
        shapes.push_back(LiftComparedLiterals(sql));
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        Raw raw(pg, net.orxSource(pg));
        for (const LiftedStatement &shape : shapes)
            rows += raw.readShape(shape.text, shape.parameters({}));
    }
    memory.report(state);
    state.counters["rows"] = double(rows) / double(state.iterations());
}

// ---------------------------------------------------------------------------------------------------
// The station bulletin from the first station's bulletin database, by period kind

void BM_StationBulletin(benchmark::State &state, bool pg, Network &net)
{
    BulletinHost host(net, pg);
    ReportState report;
    report.sett.fullorx = false;
    report.sett.out_provider = pg ? 1 : 0;
    report.codes = {net.demo.stationCodes.first()};
    report.tempFile = net.dir.filePath(QStringLiteral("system/stbul_2.htm"));
    report.period = periodOf(int(state.range(2)), net);
    report.options.repset = 3;
    DbConnection conn;
    PeakMemory memory;
    for (auto _ : state)
        MakeReport(report, host, conn, false);
    memory.report(state);
    if (!report.reportMade)
        fail(state, "no bulletin");
}

// The period's readings of the station with their events, and the readings' measurements, read raw.
void BM_StationBulletinRaw(benchmark::State &state, bool pg, Network &net)
{
    const trsets period = periodOf(int(state.range(2)), net);
    QString fromLit, toLit;
    SqlDateRangeLiterals(pg, period.begDate, period.endDate, fromLit, toLit);
    const QString readings = QStringLiteral("b.\"date\" between %1 and %2 and b.station_cod='%3'")
                                 .arg(fromLit, toLit, net.demo.stationCodes.first());
    PeakMemory memory;
    qint64 rows = 0, events = 0;
    for (auto _ : state) {
        Raw raw(pg, net.bulletinSource(pg));
        rows =
            raw.read(QStringLiteral("select e.*, b.* from \"%1\" e join \"%2\" b on e.num=b.n_equake where ")
                         .arg(kEvents, kReadings) +
                     readings + QStringLiteral(" order by e.num, b.\"time\""));
        rows += raw.read(QStringLiteral("select m.* from \"%1\" m join \"%2\" b on m.arid=b.arid where ")
                             .arg(kMeasurements, kReadings) +
                         readings);
    }
    memory.report(state);
    std::vector<QVariantList> count;
    Raw(pg, net.bulletinSource(pg))
        .read(QStringLiteral("select count(distinct b.n_equake) from \"%1\" b where ").arg(kReadings) +
                  readings,
              nullptr, &count);
    events = count.front().first().toLongLong();
    state.counters["rows"] = double(rows);
    state.counters["events"] = double(events);
}

// ---------------------------------------------------------------------------------------------------
// The summaries of the last day

void BM_OrxSummary(benchmark::State &state, bool pg, Network &net)
{
    auto orx = connectTo(pg, net.orxSource(pg));
    QuietOrxSummaryHost host(*orx, net.demo.stationCodes.first(), net.last, net.dir.path(), net.waves,
                             net.factors, net.filters);
    SummaryRunStats stats;
    PeakMemory memory;
    for (auto _ : state) {
        stats = SummaryRunStats();
        if (!ORXSvodka(host, &stats))
            fail(state, "no summary");
    }
    memory.report(state);
    state.counters["statements"] = stats.statements;
    state.counters["rows"] = stats.rows;
}

// The day's events and their arrivals, read raw.
void BM_OrxSummaryRaw(benchmark::State &state, bool pg, Network &net)
{
    const Days day(pg, net.last, net.last);
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        Raw raw(pg, net.orxSource(pg));
        rows = raw.read(QStringLiteral("select * from origin where ") +
                        day.epochs(QStringLiteral("origintime")));
        rows +=
            raw.read(QStringLiteral("select a.* from arrival a join origin o on a.eventid=o.eventid where ") +
                     day.epochs(QStringLiteral("o.origintime")));
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

class SummaryHostImpl : public SummaryHost
{
public:
    SummaryHostImpl(Network &n, bool pg) : m_n(n), m_pg(pg)
    {
        m_sett.svodka_date = n.last;
        m_sett.svodka_dir = n.dir.path();
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskSummaryParameters() override { return true; }
    QString CurrentStationCode() override { return m_n.demo.stationCodes.first(); }
    QString CurrentStationSection() override { return m_n.demo.stationCodes.first(); }
    bool GetStationDBParams(QString &Source, QString &User, QString &Password, int, bool) override
    {
        Source = m_n.bulletinSource(m_pg);
        User = m_pg ? pgUser() : QString();
        Password = m_pg ? pgPassword() : QString();
        return true;
    }
    DbConnection &BulletinConnection() override { return m_dbs; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User, const QString &Password,
                    bool) override
    {
        Conn.SetProvider(m_pg ? QStringLiteral("MSDASQL") : kJet);
        Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(Source));
        Conn.Open(User, Password);
        return true;
    }
    void CloseDB_ADO(DbConnection &Conn) override { Conn.Close(); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(m_pg, FromDate, ToDate, FromLit, ToLit);
    }
    int EditSummary(const QString &, bool, QStringList &) override { return IDCANCEL; }
    bool SendMail(QChar, const QString &, const QString &) override { return false; }

private:
    Network &m_n;
    bool m_pg;
    Tsett m_sett;
    DbConnection m_dbs;
};

void BM_Summary(benchmark::State &state, bool pg, Network &net)
{
    SummaryHostImpl host(net, pg);
    SummaryRunStats stats;
    PeakMemory memory;
    for (auto _ : state) {
        stats = SummaryRunStats();
        SvodkaProc(host, &stats);
    }
    memory.report(state);
    if (stats.rows == 0)
        fail(state, "no summary");
    state.counters["statements"] = stats.statements;
    state.counters["rows"] = stats.rows;
}

// The day's events, their readings and the readings' measurements, read raw.
void BM_SummaryRaw(benchmark::State &state, bool pg, Network &net)
{
    const Days day(pg, net.last, net.last);
    const QString events = QStringLiteral("e.\"time\" >= %1 and e.\"time\" < %2").arg(day.fromLit, day.toLit);
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        Raw raw(pg, net.bulletinSource(pg));
        rows = raw.read(QStringLiteral("select e.* from \"%1\" e where ").arg(kEvents) + events);
        rows += raw.read(QStringLiteral("select b.* from \"%1\" b join \"%2\" e on b.N_equake=e.num where ")
                             .arg(kReadings, kEvents) +
                         events);
        rows += raw.read(
            QStringLiteral("select m.* from \"%1\" m join \"%2\" b on m.arid=b.arid join \"%3\" e on "
                           "b.N_equake=e.num where ")
                .arg(kMeasurements, kReadings, kEvents) +
            events);
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

// ---------------------------------------------------------------------------------------------------
// The copy from ORX: the first station's whole period into a bulletin database

// An empty bulletin database with the working copies, a file or a database on the server.
struct FreshBulletin
{
    std::unique_ptr<PgDatabase> server;
    QString source;
    FreshBulletin(Network &n, bool pg, const QString &name, const QStringList &creates)
    {
        if (pg) {
            server = std::make_unique<PgDatabase>();
            source = server->source();
        } else {
            source = freshFile(n.dir.filePath(name));
        }
        createTables(*connectTo(pg, source), creates);
    }
};

void BM_OrxCopy(benchmark::State &state, bool pg, Network &net)
{
    FreshBulletin target(net, pg, QStringLiteral("copy.mdb"),
                         DemoBulletinCreates() + DemoWorkingCopyCreates());
    auto orx = connectTo(pg, net.orxSource(pg));
    auto bulletin = connectTo(pg, target.source);
    QuietOrxCopyHost host(*orx, *bulletin, pg, net.demo.stationCodes.first(), net.first, net.last);
    OrxCopyStats stats;
    PeakMemory memory;
    for (auto _ : state) {
        stats = OrxCopyStats();
        ImportOrx(host, &stats);
    }
    memory.report(state);
    if (stats.arrivals == 0)
        fail(state, "nothing copied");
    state.counters["statements"] = stats.statements;
    state.counters["rows"] =
        stats.arrivals + stats.origins + stats.events + stats.readings + stats.measurements;
}

// The station's arrivals of the period and their events read raw from ORX and inserted raw into plain
// tables of the bulletin database.
void BM_OrxCopyRaw(benchmark::State &state, bool pg, Network &net)
{
    FreshBulletin target(net, pg, QStringLiteral("copy_raw.mdb"), {});
    const Days period(pg, net.first, net.last);
    const QString station = QStringLiteral("rtrim(sta)='%1' and ").arg(net.demo.stationCodes.first()) +
                            period.epochs(QStringLiteral("itime"));
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        std::vector<QVariantList> origins, arrivals;
        {
            Raw from(pg, net.orxSource(pg));
            from.read(
                QStringLiteral("select * from origin where eventid in (select eventid from arrival where ") +
                    station + QLatin1Char(')'),
                nullptr, &origins);
            from.read(QStringLiteral("select * from arrival where ") + station, nullptr, &arrivals);
        }
        Raw to(pg, target.source);
        to.insert(QStringLiteral("plain_origin"), origins);
        to.insert(QStringLiteral("plain_arrival"), arrivals);
        rows = qint64(origins.size() + arrivals.size());
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

// ---------------------------------------------------------------------------------------------------
// The ORV event file: the whole period of every station out of ORX, and into an empty ORX database

std::map<std::pair<int, int>, QString> orvArchives;

void BM_OrvExport(benchmark::State &state, bool pg, Network &net)
{
    net.pointOrx(net.orxSource(pg), pg);
    OrvExportStats stats;
    PeakMemory memory;
    for (auto _ : state) {
        stats = OrvExportStats();
        RunOrxExport(net.orv(), &stats);
    }
    memory.report(state);
    if (stats.archive.isEmpty()) {
        fail(state, "no archive");
        return;
    }
    const QString kept = net.dir.filePath(QStringLiteral("network_%1.orv").arg(state.range(0)));
    QFile::remove(kept);
    QFile::rename(stats.archive, kept);
    orvArchives[{int(state.range(1)), int(state.range(0))}] = kept;
    state.counters["rows"] = stats.origins + stats.arrivals;
}

QString orvArchive(benchmark::State &state)
{
    const QString archive = orvArchives[{int(state.range(1)), int(state.range(0))}];
    if (archive.isEmpty())
        fail(state, "run BM_OrvExport first");
    return archive;
}

// The period's events and arrivals read raw, written as table dumps and packed by the zip program.
void BM_OrvExportRaw(benchmark::State &state, bool pg, Network &net)
{
    const Days period(pg, net.first, net.last);
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        Raw raw(pg, net.orxSource(pg));
        rows = raw.orvExport(QStringLiteral(" where ") + period.epochs(QStringLiteral("origintime")),
                             QStringLiteral(" where ") + period.epochs(QStringLiteral("itime")),
                             net.dir.filePath(QStringLiteral("raw_export")),
                             net.dir.filePath(QStringLiteral("raw_export.orv")));
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

// An empty ORX database as the import finds one: the demo's tables and indexes, the stations and networks
// in them; a file, or a database on the server.
struct EmptyOrx
{
    std::unique_ptr<PgDatabase> server;
    QString source;
    EmptyOrx(Network &net, bool pg, const QString &name)
    {
        if (pg) {
            server = std::make_unique<PgDatabase>();
            source = server->source();
            auto c = connectTo(true, source);
            createTables(*c, DemoOrxCreates());
            auto from = connectTo(false, net.orx);
            for (const QString &table :
                 {QStringLiteral("site"), QStringLiteral("sitechan"), QStringLiteral("networks")})
                copyRows(*from, *c, table);
            createOrxIndexes(*c);
        } else {
            source = net.dir.filePath(name);
            QFile::remove(source);
            QFile::copy(net.emptyOrx, source);
        }
    }
};

void BM_OrvImport(benchmark::State &state, bool pg, Network &net)
{
    const QString archive = orvArchive(state);
    if (archive.isEmpty())
        return;
    EmptyOrx target(net, pg, QStringLiteral("import_orx.db"));
    net.pointOrx(target.source, pg);
    OrvImportStats stats;
    PeakMemory memory;
    for (auto _ : state) {
        stats = OrvImportStats();
        ReadORV(net.orv(), archive, false, &stats);
    }
    memory.report(state);
    if (!stats.committed)
        fail(state, "import failed");
    state.counters["rows"] = stats.inserted;
}

// The program's event file unpacked by the unzip program, its dumps read and their rows inserted raw into
// an empty database of the same tables and indexes.
void BM_OrvImportRaw(benchmark::State &state, bool pg, Network &net)
{
    const QString archive = orvArchive(state);
    if (archive.isEmpty())
        return;
    EmptyOrx target(net, pg, QStringLiteral("import_raw.db"));
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        Raw to(pg, target.source);
        rows = to.orvImport(archive, net.dir.filePath(QStringLiteral("raw_unpacked")));
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

// ---------------------------------------------------------------------------------------------------
// The station bulletin as text: its three tables out, and into an empty bulletin database

const QString kTextTables[3] = {kEvents, kReadings, kMeasurements};

TextFormats &formats()
{
    static TextFormats f = [] {
        TextFormats t;
        t.SetDefaults();
        return t;
    }();
    return f;
}

QString textFile(Network &n, benchmark::State &state, int table)
{
    return n.dir.filePath(QStringLiteral("text_%1_%2.txt").arg(state.range(0)).arg(table));
}

void BM_TextExport(benchmark::State &state, bool pg, Network &net)
{
    auto c = connectTo(pg, net.bulletinSource(pg));
    PeakMemory memory;
    int rows = 0;
    for (auto _ : state) {
        rows = 0;
        for (int t = 0; t < 3; ++t) {
            DbQuery q(c.get());
            TFormatSettings fs;
            const tspec &spec = formats().exportSpec[t];
            TspecToFormatSettings(fs, spec, TFormatSettings(), 2026);
            rows += ExportQueryToText(q, spec, QStringLiteral("SELECT * FROM [%1]").arg(kTextTables[t]),
                                      textFile(net, state, t), fs);
        }
    }
    memory.report(state);
    if (rows == 0)
        fail(state, "nothing exported");
    state.counters["rows"] = rows;
}

void BM_TextExportRaw(benchmark::State &state, bool pg, Network &net)
{
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        Raw raw(pg, net.bulletinSource(pg));
        rows = 0;
        for (int t = 0; t < 3; ++t) {
            QFile out(net.dir.filePath(QStringLiteral("raw_text_%1.txt").arg(t)));
            if (!out.open(QIODevice::WriteOnly))
                die(out.errorString());
            rows += raw.read(QStringLiteral("select * from \"%1\"").arg(kTextTables[t]), &out);
        }
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

void BM_TextImport(benchmark::State &state, bool pg, Network &net)
{
    if (!QFile::exists(textFile(net, state, 0))) {
        fail(state, "run BM_TextExport first");
        return;
    }
    PeakMemory memory;
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FreshBulletin target(net, pg, QStringLiteral("text_import.mdb"), DemoBulletinCreates());
        auto c = connectTo(pg, target.source);
        state.ResumeTiming();
        TD2D tables[3];
        TextTablesInput in;
        rows = 0;
        for (int t = 0; t < 3; ++t) {
            if (!Txt2dsl(tables[t], formats().importSpec[t], textFile(net, state, t)))
                fail(state, "read failed");
            rows += std::max(0, tables[t].RowCount());
            in.tables[t] = &tables[t];
            in.specs[t] = &formats().importSpec[t];
        }
        in.currentYear = 2026;
        if (!WriteTextToBulletin(*c, in))
            fail(state, "write failed");
    }
    memory.report(state);
    state.counters["rows"] = rows;
}

// The raw text files read with plain Qt I/O, split at their separators and inserted raw as texts.
void BM_TextImportRaw(benchmark::State &state, bool pg, Network &net)
{
    PeakMemory memory;
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FreshBulletin target(net, pg, QStringLiteral("text_raw.mdb"), {});
        state.ResumeTiming();
        Raw to(pg, target.source);
        rows = 0;
        for (int t = 0; t < 3; ++t) {
            QFile in(net.dir.filePath(QStringLiteral("raw_text_%1.txt").arg(t)));
            if (!in.open(QIODevice::ReadOnly))
                die(in.errorString());
            std::vector<QVariantList> values;
            while (!in.atEnd()) {
                const QByteArray line = in.readLine().trimmed();
                QVariantList row;
                for (const QByteArray &cell : line.split(';'))
                    row << QVariant(QString::fromUtf8(cell));
                values.push_back(row);
            }
            to.insert(QStringLiteral("plain_text_%1").arg(t), values);
            rows += qint64(values.size());
        }
    }
    memory.report(state);
    state.counters["rows"] = double(rows);
}

// ---------------------------------------------------------------------------------------------------

QList<int> dayList()
{
    QList<int> days;
    for (const QString &d :
         qEnvironmentVariable("BRENVALE_LOAD_DAYS", QStringLiteral("37,365")).split(QLatin1Char(',')))
        if (d.toInt() > 0)
            days << d.toInt();
    return days;
}

void registerAll()
{
    struct Case
    {
        const char *name;
        void (*run)(benchmark::State &, bool, Network &);
        bool kinds;
    };
    const Case cases[] = {
        {"Bulletin", BM_Bulletin, true},
        {"BulletinRaw", BM_BulletinRaw, true},
        {"StationBulletin", BM_StationBulletin, true},
        {"StationBulletinRaw", BM_StationBulletinRaw, true},
        {"OrxSummary", BM_OrxSummary, false},
        {"OrxSummaryRaw", BM_OrxSummaryRaw, false},
        {"Summary", BM_Summary, false},
        {"SummaryRaw", BM_SummaryRaw, false},
        {"OrxCopy", BM_OrxCopy, false},
        {"OrxCopyRaw", BM_OrxCopyRaw, false},
        {"OrvExport", BM_OrvExport, false},
        {"OrvExportRaw", BM_OrvExportRaw, false},
        {"OrvImport", BM_OrvImport, false},
        {"OrvImportRaw", BM_OrvImportRaw, false},
        {"TextExport", BM_TextExport, false},
        {"TextExportRaw", BM_TextExportRaw, false},
        {"TextImport", BM_TextImport, false},
        {"TextImportRaw", BM_TextImportRaw, false},
    };
    const char *const backEnds[] = {"SQLite", "PostgreSQL", "PostgreSQLProxy"};
    // Each network runs through every case before the next is made, so only one is on disk at a time.
    for (int days : dayList())
        for (int pg = 0; pg < (PgProxyAvailable() ? 3 : 2); ++pg)
            for (const Case &c : cases) {
                benchmark::internal::Benchmark *b =
                    benchmark::RegisterBenchmark(QStringLiteral("%1/%2")
                                                     .arg(QLatin1String(c.name), QLatin1String(backEnds[pg]))
                                                     .toUtf8()
                                                     .constData(),
                                                 [run = c.run](benchmark::State &state) {
                                                     bool pg;
                                                     Network *net;
                                                     if (setUp(state, pg, net))
                                                         run(state, pg, *net);
                                                 });
                if (c.kinds)
                    for (int kind : {StyleDaily, StyleMonthDecade, StyleYearDecade, StyleArbitrary})
                        b->Args({pg, days, kind});
                else
                    b->Args({pg, days});
                b->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
            }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Tdm dm;
    // Errors and warnings only: the products end with "Готово!" and the like.
    MessageProc = ErrorMessageProc = [](QWidget *, const QString &text, unsigned icon, unsigned) {
        if (icon == MB_ICONERROR || icon == MB_ICONWARNING)
            std::cerr << text.toStdString() << '\n';
        return int(IDOK);
    };
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    networks().clear();
    return g_failed ? 1 : 0;
}
