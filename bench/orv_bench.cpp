// A month of a busy network (20 stations, about 40,000 arrivals) through an ORV event file: the export
// from the ORX database and the import into an empty one, on SQLite and (with BRENVALE_TEST_PG_DSN set,
// as scripts/test's server gives it) PostgreSQL. Beside each, the same work done raw (bench_support.h):
// the rows read forward only, written as table dumps and packed by the zip program at the export's level;
// the program's archive unpacked by the unzip program, its dumps read and their rows inserted into the
// same tables in one transaction, on the server many rows to a statement as the import sends them, and
// once more one row a statement.

#include "app/data/data_module.h"
#include "bench_support.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/jet_sqlite.h"
#include "demo_data.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_import.h"
#include "lib/messages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <iostream>
#include <memory>
#include <vector>

namespace {

const QStringList kTables{QStringLiteral("origin"), QStringLiteral("arrival")};

[[noreturn]] void die(const QString &what)
{
    std::cerr << what.toStdString() << '\n';
    std::abort();
}

// A raw handle as Qt's driver opens a file, with the collation the layer gives its text columns.
sqlite3 *open(const QString &path)
{
    sqlite3 *db = OpenRawSqlite(path);
    if (!db)
        die(QStringLiteral("cannot open ") + path);
    return db;
}

void run(sqlite3 *db, const QByteArray &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK)
        die(QString::fromUtf8(sql) + QStringLiteral(": ") + QString::fromUtf8(error ? error : "?"));
}

// A table of the month: its create statement and its rows.
struct Table
{
    QString create;
    qint64 rows = 0;
};

struct Month
{
    QTemporaryDir dir;
    QString orx, emptyOrx, archive;
    DemoSummary demo;
    Table tables[2];
    std::unique_ptr<QuietOrvHost> host;
    QString pgDsn, pgUser, pgPassword, pgDatabase;
    qint64 rows = 0; // written or inserted by the last export or import

    Month()
    {
        // The demo knows fewer stations: nine more record what nine of its stations recorded.
        DemoParams p;
        p.stations = DemoStationLimit();
        p.days = 30;
        p.eventsPerDay = 20;
        p.readingsPerEvent = 3.34;
        p.measurementsPerReading = 0.1;
        demo = GenerateDemoFolder(dir.path(), p);
        orx = demo.orxPath;
        sqlite3 *db = open(orx);
        QStringList codes;
        {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, "select distinct sta from arrival order by sta", -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                codes << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
        }
        run(db, "BEGIN");
        for (int k = 0; k < 20 - int(codes.size()) && k < codes.size(); ++k) {
            run(db, "CREATE TEMP TABLE t AS SELECT * FROM arrival WHERE sta='" + codes[k].toUtf8() + "'");
            run(db, "UPDATE t SET arid=arid+" + QByteArray::number((k + 1) * 1000000) + ",sta='ZZ" +
                        QByteArray::number(k) + "'");
            run(db, "INSERT INTO main.arrival SELECT * FROM t");
            run(db, "DROP TABLE t");
        }
        run(db, "COMMIT");
        sqlite3_close(db);
        readTables();
        emptyOrx = dir.filePath(QStringLiteral("empty.db"));
        QFile::copy(orx, emptyOrx);
        db = open(emptyOrx);
        run(db, "DELETE FROM origin");
        run(db, "DELETE FROM arrival");
        run(db, "VACUUM");
        sqlite3_close(db);

        host = std::make_unique<QuietOrvHost>(dir.path() + QLatin1Char('/'));
        Tsett &s = host->ExportSettings();
        s.exp_start_date = EncodeDate(p.lastDay.year(), p.lastDay.month(), p.lastDay.day()) - p.days + 1;
        s.exp_end_date = EncodeDate(p.lastDay.year(), p.lastDay.month(), p.lastDay.day());
        s.exp_dir = dir.filePath(QStringLiteral("out"));
        QDir().mkpath(s.exp_dir);
        s.expset = 3;
        s.maile_send = false;
        archive = exportFrom(orx, {}, {});

        pgDsn = qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
        pgUser = qEnvironmentVariable("BRENVALE_TEST_PG_USER");
        pgPassword = qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
        if (!pgDsn.isEmpty()) {
            pgDatabase = QStringLiteral("orvbench_") + QUuid::createUuid().toString(QUuid::Id128);
            pgAdmin(QStringLiteral("CREATE DATABASE ") + pgDatabase);
            // The month goes in through the import itself; the export and the raw readers take it from there.
            importInto(pgSource(), pgUser, pgPassword, true);
        }
    }
    ~Month()
    {
        host.reset();
        if (!pgDatabase.isEmpty())
            pgAdmin(QStringLiteral("DROP DATABASE IF EXISTS ") + pgDatabase +
                    QStringLiteral(" WITH (FORCE)"));
    }

    QString pgSource() const { return QStringLiteral("DSN=%1;Database=%2").arg(pgDsn, pgDatabase); }

    void pgAdmin(const QString &sql)
    {
        DbConnection c;
        c.SetProvider(QStringLiteral("MSDASQL"));
        c.SetConnectionString(QStringLiteral("Data Source=\"DSN=%1\"").arg(pgDsn));
        c.Open(pgUser, pgPassword);
        DbCommand cmd(&c);
        cmd.SetCommandText(sql);
        cmd.Execute();
    }

    // The table's Jet create statement, from the declared types the layer keeps in the schema.
    static QString createStatement(sqlite3 *db, const QString &table)
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, ("pragma table_info(" + table.toUtf8() + ")").constData(), -1, &st, nullptr);
        QStringList columns, key;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const QString name =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
            columns << name + QLatin1Char(' ') +
                           QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2)));
            if (sqlite3_column_int(st, 5) > 0)
                key << name;
        }
        sqlite3_finalize(st);
        if (!key.isEmpty())
            columns << QStringLiteral("primary key (") + key.join(QLatin1Char(',')) + QLatin1Char(')');
        return QStringLiteral("create table ") + table + QStringLiteral(" (") +
               columns.join(QLatin1Char(',')) + QLatin1Char(')');
    }

    void readTables()
    {
        sqlite3 *db = open(orx);
        for (int t = 0; t < 2; ++t) {
            tables[t].create = createStatement(db, kTables[t]);
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, ("select count(*) from " + kTables[t].toUtf8()).constData(), -1, &st,
                               nullptr);
            if (sqlite3_step(st) == SQLITE_ROW)
                tables[t].rows = sqlite3_column_int64(st, 0);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
    }

    void point(const QString &source, const QString &user, const QString &password)
    {
        host->Point(source, user, password);
    }

    QString exportFrom(const QString &source, const QString &user, const QString &password)
    {
        point(source, user, password);
        OrvExportStats stats;
        RunOrxExport(*host, &stats);
        if (stats.archive.isEmpty())
            die(QStringLiteral("export failed"));
        rows = stats.origins + stats.arrivals;
        const QString kept = dir.filePath(QStringLiteral("month.orv"));
        QFile::remove(kept);
        QFile::rename(stats.archive, kept);
        return kept;
    }

    void importInto(const QString &source, const QString &user, const QString &password, bool createTables)
    {
        if (createTables) {
            DbConnection c;
            c.SetProvider(QStringLiteral("MSDASQL"));
            c.SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(source));
            c.Open(user, password);
            for (const Table &t : tables) {
                DbCommand cmd(&c);
                cmd.SetCommandText(t.create);
                cmd.Execute();
            }
        }
        point(source, user, password);
        OrvImportStats stats;
        ReadORV(*host, archive, false, &stats);
        if (!stats.committed)
            die(QStringLiteral("import failed"));
        rows = stats.inserted;
    }

    void pgClear()
    {
        DbConnection c;
        c.SetProvider(QStringLiteral("MSDASQL"));
        c.SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(pgSource()));
        c.Open(pgUser, pgPassword);
        for (const QString &t : kTables) {
            DbCommand cmd(&c);
            cmd.SetCommandText(QStringLiteral("delete from ") + t);
            cmd.Execute();
        }
    }
};

std::unique_ptr<Month> g_month;

Month &month()
{
    if (!g_month)
        g_month = std::make_unique<Month>();
    return *g_month;
}

void BM_OrvExport_SQLite(benchmark::State &state)
{
    Month &m = month();
    for (auto _ : state)
        m.exportFrom(m.orx, {}, {});
    state.counters["arrivals"] = double(m.tables[1].rows);
    state.counters["rows"] = double(m.rows);
}

void BM_RawExport_SQLite(benchmark::State &state)
{
    Month &m = month();
    qint64 rows = 0;
    for (auto _ : state) {
        RawSqlite db(m.orx);
        rows = RawOrvExport(db, QString(), QString(), m.dir.filePath(QStringLiteral("raw-export")),
                            m.dir.filePath(QStringLiteral("raw.orv")));
    }
    state.counters["rows"] = double(rows);
}

void BM_OrvImport_SQLite(benchmark::State &state)
{
    Month &m = month();
    const QString target = m.dir.filePath(QStringLiteral("target.db"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        QFile::copy(m.emptyOrx, target);
        state.ResumeTiming();
        m.importInto(target, {}, {}, false);
    }
    state.counters["rows"] = double(m.rows);
}

void BM_RawImport_SQLite(benchmark::State &state)
{
    Month &m = month();
    const QString target = m.dir.filePath(QStringLiteral("raw.db"));
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        QFile::copy(m.emptyOrx, target);
        state.ResumeTiming();
        RawSqlite db(target);
        rows = RawOrvImport(m.archive, m.dir.filePath(QStringLiteral("raw-unpacked")), db);
    }
    state.counters["rows"] = double(rows);
    // The raw work is only a baseline while it stores what the import stores.
    const QString imported = m.dir.filePath(QStringLiteral("target.db"));
    if (QFile::exists(imported)) {
        for (const QString &sql : {QStringLiteral("select * from origin order by eventid"),
                                   QStringLiteral("select * from arrival order by arid")}) {
            std::vector<QVariantList> own, raw;
            RawSqlite(imported).read(sql, nullptr, &own);
            RawSqlite(target).read(sql, nullptr, &raw);
            if (own != raw)
                state.SkipWithError("the raw import stored other rows than the import");
        }
    }
}

bool pgSkipped(benchmark::State &state)
{
    if (!month().pgDsn.isEmpty())
        return false;
    state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
    return true;
}

// psqlODBC's own API, at one round trip a statement as the layer runs it.
std::unique_ptr<RawOdbc> rawPg(const Month &m)
{
    return std::make_unique<RawOdbc>(QStringLiteral("DSN=%1;Database=%2").arg(m.pgDsn, m.pgDatabase),
                                     m.pgUser, m.pgPassword);
}

void BM_OrvExport_PostgreSQL(benchmark::State &state)
{
    if (pgSkipped(state))
        return;
    Month &m = month();
    for (auto _ : state)
        m.exportFrom(m.pgSource(), m.pgUser, m.pgPassword);
    state.counters["rows"] = double(m.rows);
}

void BM_RawExport_PostgreSQL(benchmark::State &state)
{
    if (pgSkipped(state))
        return;
    Month &m = month();
    qint64 rows = 0;
    for (auto _ : state) {
        auto db = rawPg(m);
        rows = RawOrvExport(*db, QString(), QString(), m.dir.filePath(QStringLiteral("raw-export-pg")),
                            m.dir.filePath(QStringLiteral("raw-pg.orv")));
    }
    state.counters["rows"] = double(rows);
}

void BM_OrvImport_PostgreSQL(benchmark::State &state)
{
    if (pgSkipped(state))
        return;
    Month &m = month();
    for (auto _ : state) {
        state.PauseTiming();
        m.pgClear();
        state.ResumeTiming();
        m.importInto(m.pgSource(), m.pgUser, m.pgPassword, false);
    }
    state.counters["rows"] = double(m.rows);
}

// Argument: 0 many rows to a statement, as the import sends them; 1 one row a statement.
void BM_RawImport_PostgreSQL(benchmark::State &state)
{
    if (pgSkipped(state))
        return;
    Month &m = month();
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        m.pgClear();
        state.ResumeTiming();
        auto db = rawPg(m);
        rows = RawOrvImport(m.archive, m.dir.filePath(QStringLiteral("raw-unpacked-pg")), *db,
                            state.range(0) != 0);
    }
    state.counters["rows"] = double(rows);
}

} // namespace

BENCHMARK(BM_OrvExport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawExport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OrvImport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawImport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OrvExport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawExport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OrvImport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawImport_PostgreSQL)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Tdm dm;
    MessageProc = ErrorMessageProc = [](QWidget *, const QString &text, unsigned icon, unsigned) {
        if (icon == MB_ICONERROR || icon == MB_ICONWARNING)
            std::cerr << text.toStdString() << '\n';
        return int(IDYES);
    };
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_month.reset();
    return 0;
}
