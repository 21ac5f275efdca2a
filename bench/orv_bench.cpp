// A month of a busy network (20 stations, about 40,000 arrivals) through an ORV event file: the export
// from the ORX database and the import into an empty one, on SQLite and (with BRENVALE_TEST_PG_DSN set,
// as scripts/test's server gives it) PostgreSQL. Beside each, what the same work costs raw: reading the
// rows and zipping the same member files with the zip program, unzipping them with unzip and inserting
// the same rows with bound parameters in one transaction.

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
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
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

void runProgram(const QString &program, const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        die(program + QStringLiteral(" failed"));
}

// Rows of a table as the driver gives them, for the raw inserts.
struct Table
{
    QString create;
    int columns = 0;
    std::vector<QVariantList> rows;
    QList<QMetaType> types; // of each column's values, for typed NULLs
    QList<bool> dates;      // day serials in SQLite, date-times for the server
    // The rows and types as the server takes them (dates as date-times), made before any timing.
    std::vector<QVariantList> serverRows;
    QList<QMetaType> serverTypes;
};

struct Month
{
    QTemporaryDir dir;
    QString orx, emptyOrx, archive, members;
    DemoSummary demo;
    Table tables[2];
    std::unique_ptr<QuietOrvHost> host;
    QString pgDsn, pgUser, pgPassword, pgDatabase;

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
        members = dir.filePath(QStringLiteral("members"));

        archive = exportFrom(orx, {}, {});
        QDir().mkpath(members);
        runProgram(QStringLiteral("unzip"), {QStringLiteral("-oq"), archive, QStringLiteral("-d"), members},
                   dir.path());

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
            sqlite3_stmt *st = nullptr;
            tables[t].create = createStatement(db, kTables[t]);
            for (const QString &column :
                 tables[t].create.section(QLatin1Char('('), 1).split(QLatin1Char(',')))
                if (!column.startsWith(QLatin1String("primary")))
                    tables[t].dates << column.section(QLatin1Char(' '), 1).startsWith(QLatin1String("date"));
            sqlite3_prepare_v2(db, ("select * from " + kTables[t].toUtf8()).constData(), -1, &st, nullptr);
            tables[t].columns = sqlite3_column_count(st);
            while (sqlite3_step(st) == SQLITE_ROW) {
                QVariantList row;
                for (int c = 0; c < tables[t].columns; ++c) {
                    switch (sqlite3_column_type(st, c)) {
                    case SQLITE_INTEGER:
                        row << QVariant(qlonglong(sqlite3_column_int64(st, c)));
                        break;
                    case SQLITE_FLOAT:
                        row << QVariant(sqlite3_column_double(st, c));
                        break;
                    case SQLITE_NULL:
                        row << QVariant();
                        break;
                    default:
                        row << QVariant(
                            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
                    }
                }
                tables[t].rows.push_back(row);
            }
            tables[t].types = QList<QMetaType>(tables[t].columns, QMetaType::fromType<QString>());
            for (const QVariantList &row : tables[t].rows)
                for (int c = 0; c < tables[t].columns; ++c)
                    if (!row[c].isNull())
                        tables[t].types[c] = row[c].metaType();
            tables[t].serverTypes = tables[t].types;
            for (int c = 0; c < tables[t].columns; ++c)
                if (tables[t].dates[c])
                    tables[t].serverTypes[c] = QMetaType::fromType<QDateTime>();
            for (QVariantList row : tables[t].rows) {
                for (int c = 0; c < tables[t].columns; ++c)
                    if (tables[t].dates[c] && !row[c].isNull())
                        row[c] = ToQDateTime(row[c].toDouble());
                tables[t].serverRows.push_back(std::move(row));
            }
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

// The zip program over the same three members, and the rows read raw.
void zipMembers(const Month &m)
{
    const QString out = m.dir.filePath(QStringLiteral("raw.zip"));
    QFile::remove(out);
    runProgram(QStringLiteral("zip"),
               {QStringLiteral("-9qj"), out, QStringLiteral("_ori1101.orv"), QStringLiteral("_arr1101.orv"),
                QStringLiteral("system")},
               m.members);
}

void BM_OrvExport_SQLite(benchmark::State &state)
{
    Month &m = month();
    for (auto _ : state)
        m.exportFrom(m.orx, {}, {});
    state.counters["arrivals"] = double(m.tables[1].rows.size());
}

void BM_RawExport_SQLite(benchmark::State &state)
{
    Month &m = month();
    for (auto _ : state) {
        sqlite3 *db = open(m.orx);
        qint64 bytes = 0;
        for (const QString &t : kTables) {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, ("select * from " + t.toUtf8()).constData(), -1, &st, nullptr);
            const int n = sqlite3_column_count(st);
            while (sqlite3_step(st) == SQLITE_ROW)
                for (int c = 0; c < n; ++c)
                    bytes += sqlite3_column_bytes(st, c);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        benchmark::DoNotOptimize(bytes);
        zipMembers(m);
    }
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
}

void BM_RawImport_SQLite(benchmark::State &state)
{
    Month &m = month();
    const QString target = m.dir.filePath(QStringLiteral("raw.db"));
    const QString unpacked = m.dir.filePath(QStringLiteral("raw-unpacked"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        QFile::copy(m.emptyOrx, target);
        QDir(unpacked).removeRecursively();
        state.ResumeTiming();
        runProgram(QStringLiteral("unzip"),
                   {QStringLiteral("-oq"), m.archive, QStringLiteral("-d"), unpacked}, m.dir.path());
        sqlite3 *db = open(target);
        run(db, "BEGIN");
        for (int t = 0; t < 2; ++t) {
            const Table &table = m.tables[t];
            QByteArray sql = "insert into " + kTables[t].toUtf8() + " values (";
            for (int c = 0; c < table.columns; ++c)
                sql += c ? ",?" : "?";
            sql += ")";
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
            for (const QVariantList &row : table.rows) {
                BindSqliteRow(st, row);
                if (sqlite3_step(st) != SQLITE_DONE)
                    die(QString::fromUtf8(sqlite3_errmsg(db)));
                sqlite3_reset(st);
            }
            sqlite3_finalize(st);
        }
        run(db, "COMMIT");
        sqlite3_close(db);
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
}

void BM_RawExport_PostgreSQL(benchmark::State &state)
{
    if (pgSkipped(state))
        return;
    Month &m = month();
    for (auto _ : state) {
        qint64 rows = 0;
        auto db = rawPg(m);
        for (const QString &t : kTables)
            rows += db->read(QStringLiteral("select * from ") + t);
        benchmark::DoNotOptimize(rows);
        zipMembers(m);
    }
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
}

void BM_RawImport_PostgreSQL(benchmark::State &state)
{
    if (pgSkipped(state))
        return;
    Month &m = month();
    const QString unpacked = m.dir.filePath(QStringLiteral("raw-unpacked-pg"));
    for (auto _ : state) {
        state.PauseTiming();
        m.pgClear();
        QDir(unpacked).removeRecursively();
        state.ResumeTiming();
        runProgram(QStringLiteral("unzip"),
                   {QStringLiteral("-oq"), m.archive, QStringLiteral("-d"), unpacked}, m.dir.path());
        auto db = rawPg(m);
        db->begin();
        for (int t = 0; t < 2; ++t) {
            const Table &table = m.tables[t];
            QString sql = QStringLiteral("insert into ") + kTables[t] + QStringLiteral(" values (");
            for (int c = 0; c < table.columns; ++c)
                sql += c ? QStringLiteral(",?") : QStringLiteral("?");
            sql += QLatin1Char(')');
            db->insertRows(sql, table.serverRows, table.serverTypes);
        }
        db->commit();
    }
}

} // namespace

BENCHMARK(BM_OrvExport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawExport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OrvImport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawImport_SQLite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OrvExport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawExport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OrvImport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RawImport_PostgreSQL)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

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
