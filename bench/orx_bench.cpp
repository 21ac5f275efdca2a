// What the user waits for after "Импорт из ORX" and after "Создать сводку" in ORX-only mode: a busy
// station's year copied from the ORX database into its bulletin database, against a plain bound insert of
// the same rows in the same run; and the MSK-85 summary of a busy day straight from ORX at 1x and 10x.
// Both on a SQLite ORX file and, when BRENVALE_TEST_PG_DSN names a server (see tests/support/pg_server.sh),
// on PostgreSQL through psqlODBC; once more through the delay proxy when BRENVALE_BENCH_PG_PROXY_PORT names
// one (bench_support.h), on databases filled straight.

#include "bench_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/sql_literals.h"
#include "db/table_creates.h"
#include "demo_data.h"
#include "exchange/orx_copy/orx_copy.h"
#include "lib/messages.h"
#include "lib/record_stream.h"
#include "products/orx_summary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <iostream>
#include <map>
#include <memory>

namespace {

const QString kJet = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

void run(DbConnection &c, const QString &sql, const QVariantList &params = {})
{
    DbCommand cmd(&c);
    cmd.SetCommandText(sql);
    cmd.SetParams(params);
    cmd.Execute();
}

std::unique_ptr<DbConnection> openSqlite(const QString &path)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(kJet);
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
    c->Open(QString(), QString());
    return c;
}

bool pgAvailable()
{
    return !qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN");
}

std::unique_ptr<DbConnection> openPg(const QString &database, bool proxy = false)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(QStringLiteral("MSDASQL"));
    QString source = QStringLiteral("DSN=") + qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    if (!database.isEmpty())
        source += QStringLiteral(";Database=") + database;
    if (proxy)
        source = PgThroughProxy(source);
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(source));
    c->Open(qEnvironmentVariable("BRENVALE_TEST_PG_USER"), qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD"));
    return c;
}

// A fresh PostgreSQL database, dropped at the end.
struct PgDatabase
{
    QString name = QStringLiteral("b_") + QUuid::createUuid().toString(QUuid::Id128);
    PgDatabase() { run(*openPg(QString()), QStringLiteral("CREATE DATABASE ") + name); }
    ~PgDatabase()
    {
        try {
            run(*openPg(QString()),
                QStringLiteral("DROP DATABASE IF EXISTS ") + name + QStringLiteral(" WITH (FORCE)"));
        } catch (const std::exception &) {
        }
    }
};

// A field's value as a command binds it on either back end: dates as date-times.
QVariant boundValue(const TField &f)
{
    const QVariant v = f.Value();
    if (!IsDateFieldType(f.DataType()))
        return v;
    if (v.isNull())
        return QVariant(QMetaType::fromType<QDateTime>());
    const QDateTime local = ToQDateTime(v.toDouble());
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

// A SQLite table and its rows into another database, in one transaction.
void copyTable(DbConnection &from, DbConnection &to, const QString &table)
{
    {
        DbQuery shape(&from);
        shape.SetSQL(QStringLiteral("select * from ") + table + QStringLiteral(" where 1=0"));
        shape.Open();
        QString columns;
        if (!copytablestruc(shape, columns))
            std::abort();
        run(to, QStringLiteral("create table ") + table + QStringLiteral(" (") + columns + QLatin1Char(')'));
    }
    DbQuery q(&from);
    q.SetForwardOnly(true);
    q.SetSQL(QStringLiteral("select * from ") + table);
    q.Open();
    QStringList names, marks;
    for (int i = 0; i < q.FieldCount(); ++i) {
        names << q.Field(i)->FieldName();
        marks << QStringLiteral("?");
    }
    DbCommand insert(&to);
    insert.SetCommandText(QStringLiteral("insert into ") + table + QStringLiteral(" (") + names.join(',') +
                          QStringLiteral(") values (") + marks.join(',') + QLatin1Char(')'));
    to.BeginTrans();
    for (; !q.Eof(); q.Next()) {
        QVariantList values;
        for (int i = 0; i < q.FieldCount(); ++i)
            values << boundValue(*q.Field(i));
        insert.SetParams(values);
        insert.Execute();
    }
    to.CommitTrans();
}

const char *const kOrxTables[] = {"origin", "arrival"};

// A busy station's year in a demo ORX database: 365 days, about 20,000 arrivals at the station.
struct StationYear
{
    QTemporaryDir dir;
    DemoSummary demo;
    TDateTime first = 0, last = 0;
    StationYear()
    {
        DemoParams p;
        p.stations = 1;
        p.days = 365;
        p.eventsPerDay = 11;
        p.readingsPerEvent = 5;
        demo = GenerateDemoFolder(dir.path(), p);
        last = EncodeDate(p.lastDay.year(), p.lastDay.month(), p.lastDay.day());
        first = last - 364;
    }
};

StationYear &year()
{
    static StationYear y;
    return y;
}

// The two databases of one back end: ORX with the year, the bulletin with its tables and working copies.
struct CopyDatabases
{
    std::unique_ptr<PgDatabase> pgOrx, pgBulletin;
    std::unique_ptr<DbConnection> orx, bulletin;
    QTemporaryDir dir;

    CopyDatabases(bool pg, bool proxy)
    {
        if (pg) {
            pgOrx = std::make_unique<PgDatabase>();
            pgBulletin = std::make_unique<PgDatabase>();
            orx = openPg(pgOrx->name);
            bulletin = openPg(pgBulletin->name, proxy);
            auto source = openSqlite(year().demo.orxPath);
            for (const char *table : kOrxTables)
                copyTable(*source, *orx, QString::fromLatin1(table));
            if (proxy)
                orx = openPg(pgOrx->name, true);
        } else {
            orx = openSqlite(year().demo.orxPath);
            const QString path = dir.filePath(QStringLiteral("bulletin.mdb"));
            QFile(path).open(QIODevice::WriteOnly);
            bulletin = openSqlite(path);
        }
        for (const char *sql : BulletinTableCreates())
            run(*bulletin, QString::fromUtf8(sql));
        for (const QString &sql : DemoWorkingCopyCreates())
            run(*bulletin, sql);
    }
};

// The same rows as the copy stored, put with a bound insert per row into empty tables of the same shape
// in one transaction: what the database itself takes for the writing alone.
double plainInsertSeconds(DbConnection &c, int &rows)
{
    if (!c.Connected())
        c.Open();
    const QStringList tables = {QStringLiteral("origin"), QStringLiteral("arrival"),
                                QStringLiteral("События"), QStringLiteral("Станционный бюллетень"),
                                QStringLiteral("Динамические замеры")};
    QList<QList<QVariantList>> data;
    QList<QStringList> columns;
    for (const QString &t : tables) {
        DbQuery q(&c);
        q.SetSQL(QStringLiteral("select * from [") + t + QLatin1Char(']'));
        q.Open();
        QStringList names;
        for (int i = 0; i < q.FieldCount(); ++i)
            names << q.Field(i)->FieldName();
        columns << names;
        QList<QVariantList> rowsOf;
        for (; !q.Eof(); q.Next()) {
            QVariantList v;
            for (int i = 0; i < q.FieldCount(); ++i)
                v << boundValue(*q.Field(i));
            rowsOf << v;
        }
        data << rowsOf;
        run(c, QStringLiteral("drop table if exists [plain ") + t + QLatin1Char(']'));
        // Plain copies of the shape, without keys or counters.
        QStringList defs;
        for (int i = 0; i < q.FieldCount(); ++i) {
            const FieldType type = q.Field(i)->DataType();
            defs << QLatin1Char('[') + names[i] + QStringLiteral("] ") +
                        (IsDateFieldType(type)      ? QStringLiteral("date")
                         : IsFloatFieldType(type)   ? QStringLiteral("float")
                         : IsIntegerFieldType(type) ? QStringLiteral("integer")
                                                    : QStringLiteral("varchar(255)"));
        }
        run(c, QStringLiteral("create table [plain ") + t + QStringLiteral("] (") + defs.join(',') +
                   QLatin1Char(')'));
    }
    QElapsedTimer clock;
    clock.start();
    c.BeginTrans();
    rows = 0;
    for (qsizetype t = 0; t < tables.size(); ++t) {
        QStringList marks, quoted;
        for (const QString &n : columns[t]) {
            marks << QStringLiteral("?");
            quoted << QLatin1Char('[') + n + QLatin1Char(']');
        }
        DbCommand insert(&c);
        insert.SetCommandText(QStringLiteral("insert into [plain ") + tables[t] + QStringLiteral("] (") +
                              quoted.join(',') + QStringLiteral(") values (") + marks.join(',') +
                              QLatin1Char(')'));
        for (const QVariantList &v : data[t]) {
            insert.SetParams(v);
            insert.Execute();
            ++rows;
        }
    }
    c.CommitTrans();
    const double seconds = clock.nsecsElapsed() / 1e9;
    c.Close();
    return seconds;
}

// The back end of a case: 0 SQLite, 1 PostgreSQL, 2 PostgreSQL through the delay proxy; false (the case
// skipped) when it is not there.
bool backEnd(benchmark::State &state, int which, bool &pg, bool &proxy)
{
    pg = which != 0;
    proxy = which == 2;
    if (pg && !pgAvailable()) {
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
        return false;
    }
    if (proxy && !PgProxyAvailable()) {
        state.SkipWithError("BRENVALE_BENCH_PG_PROXY_PORT is not set");
        return false;
    }
    return true;
}

void BM_StationYearCopy(benchmark::State &state)
{
    bool pg, proxy;
    if (!backEnd(state, int(state.range(0)), pg, proxy))
        return;
    CopyDatabases d(pg, proxy);
    QuietOrxCopyHost host(*d.orx, *d.bulletin, pg, year().demo.stationCodes.first(), year().first,
                          year().last);
    OrxCopyStats stats;
    for (auto _ : state) {
        stats = OrxCopyStats();
        ImportOrx(host, &stats);
    }
    const int rows = stats.arrivals + stats.origins + stats.events + stats.readings + stats.measurements;
    int plainRows = 0;
    const double plain = plainInsertSeconds(*d.bulletin, plainRows);
    state.counters["statements"] = stats.statements;
    state.counters["arrivals"] = stats.arrivals;
    state.counters["rows"] = rows;
    state.counters["rows_per_s"] =
        benchmark::Counter(double(rows) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["plain_rows"] = plainRows;
    state.counters["plain_rows_per_s"] = plainRows / plain;
}

// A busy day of two stations in a demo ORX file, 100 or 1,000 events.
struct BusyDay
{
    QTemporaryDir dir;
    DemoSummary demo;
    TDateTime day = 0;
    TD2D waves;
    tmulss factors;
    tfilts filters;
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
        LoadFiltersAndWaves(dir.path() + QLatin1Char('/'), waves, filters, factors);
    }
};

void BM_OrxSummary(benchmark::State &state)
{
    bool pg, proxy;
    if (!backEnd(state, int(state.range(1)), pg, proxy))
        return;
    BusyDay day(int(state.range(0)));
    std::unique_ptr<PgDatabase> database;
    std::unique_ptr<DbConnection> orx;
    if (pg) {
        database = std::make_unique<PgDatabase>();
        orx = openPg(database->name);
        auto source = openSqlite(day.demo.orxPath);
        for (const char *table : kOrxTables)
            copyTable(*source, *orx, QString::fromLatin1(table));
    } else {
        orx = openSqlite(day.demo.orxPath);
    }
    // An information system's database finds an event's arrivals by an index, as the demo file does; the
    // copy on the server has no indexes, and without one the file shows what a database without it costs.
    if (state.range(2) != 0 && pg)
        run(*orx, QStringLiteral("create index arrival_eventid on arrival (eventid)"));
    else if (state.range(2) == 0 && !pg)
        run(*orx, QStringLiteral("drop index arrival_eventid"));
    if (proxy)
        orx = openPg(database->name, true);
    QuietOrxSummaryHost host(*orx, day.demo.stationCodes.first(), day.day, day.dir.path(), day.waves,
                             day.factors, day.filters);
    SummaryRunStats stats;
    for (auto _ : state) {
        stats = SummaryRunStats();
        ORXSvodka(host, &stats);
    }
    state.counters["statements"] = stats.statements;
    state.counters["stations"] = stats.stations;
    state.counters["arrivals"] = stats.rows;
}

} // namespace

// Argument: 0 SQLite, 1 PostgreSQL, 2 PostgreSQL through the delay proxy.
BENCHMARK(BM_StationYearCopy)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2);
// Arguments: scale, back end, index on arrival.eventid.
BENCHMARK(BM_OrxSummary)->ArgsProduct({{1, 10}, {0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

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
