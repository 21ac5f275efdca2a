// The text exchange of a station against the plainest tools doing the same work in the same run: a
// 100,000-row Station_bulletin text table read and written into a bulletin file (against the sqlite3
// program's ".import" and a raw parameterised insert), and the export of those rows to text (against
// a raw query writing the same text); and the whole text import of 100,000 to 400,000 events with a
// reading and a measurement each, which must grow linearly.

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/table_creates.h"
#include "exchange/text/delimited_reader.h"
#include "exchange/text/delimited_writer.h"
#include "exchange/text/text_to_bulletin.h"
#include "lib/codec.h"
#include "lib/messages.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kRows = 100000;

// The bulletin tables without their foreign keys: the rows measured are readings whose events the plain
// tools would not check either.
QString withoutForeignKey(const char *create)
{
    QString sql = QString::fromUtf8(create);
    const qsizetype constraint = sql.indexOf(QLatin1String(",CONSTRAINT "));
    return constraint < 0 ? sql : sql.left(constraint) + QLatin1Char(')');
}

std::unique_ptr<DbConnection> openFile(const QString &path)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
    c->Open(QString(), QString());
    return c;
}

QString freshBulletin(const QTemporaryDir &dir, const char *name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile::remove(path);
    QFile(path).open(QIODevice::WriteOnly);
    auto c = openFile(path);
    for (const char *sql : BulletinTableCreates()) {
        DbCommand create(c.get());
        create.SetCommandText(withoutForeignKey(sql));
        create.Execute();
    }
    return path;
}

// The three import tables written into the bulletin file at path as the text import writes them.
bool writeTables(const QString &path, TD2D (&tables)[3], const TextFormats &formats)
{
    auto c = openFile(path);
    TextTablesInput in;
    for (int t = 0; t < 3; ++t) {
        in.tables[t] = &tables[t];
        in.specs[t] = &formats.importSpec[t];
    }
    in.currentYear = 2026;
    return WriteTextToBulletin(*c, in);
}

struct Fixture
{
    QTemporaryDir dir;
    QString source, text;
    TextFormats formats;
    Fixture()
    {
        MessageProc = [](QWidget *, const QString &text, unsigned, unsigned) {
            std::fprintf(stderr, "%s\n", text.toUtf8().constData());
            return IDOK;
        };
        formats.SetDefaults();
        source = freshBulletin(dir, "source.mdb");
        sqlite3 *db = nullptr;
        sqlite3_open(source.toUtf8().constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(
            db,
            "insert into \"Станционный бюллетень\" (N_seismo,N_equake,Station_Cod,date,FM,Qual,"
            "Interpretation,Phase,Channel_name,Channel_Cod,KPCH,Channel_component,Time,Dec,FM_Z,"
            "FM_Period_Z,FM_Amp_Z,Comments) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            -1, &s, nullptr);
        for (int r = 0; r < kRows; ++r) {
            const std::string seismo = "S" + std::to_string(r);
            sqlite3_bind_text(s, 1, seismo.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 2, r / 5 + 1);
            sqlite3_bind_text(s, 3, "PET", -1, SQLITE_STATIC);
            sqlite3_bind_double(s, 4, 46056 + r / 1000);
            sqlite3_bind_text(s, 5, "+", -1, SQLITE_STATIC);
            sqlite3_bind_text(s, 6, "i", -1, SQLITE_STATIC);
            sqlite3_bind_int(s, 7, 1);
            sqlite3_bind_text(s, 8, r % 2 ? "S" : "P", -1, SQLITE_STATIC);
            sqlite3_bind_text(s, 9, "SKM_SP", -1, SQLITE_STATIC);
            sqlite3_bind_text(s, 10, "SP", -1, SQLITE_STATIC);
            sqlite3_bind_int(s, 11, 2);
            sqlite3_bind_text(s, 12, "Z", -1, SQLITE_STATIC);
            sqlite3_bind_double(s, 13, 46056 + r / 1000 + (r % 86400) / 86400.0);
            sqlite3_bind_int(s, 14, r % 10);
            sqlite3_bind_text(s, 15, "c", -1, SQLITE_STATIC);
            sqlite3_bind_double(s, 16, 0.57 + r % 7);
            sqlite3_bind_double(s, 17, 123.25 + r % 100);
            sqlite3_bind_text(s, 18, "Камчатка; \"залив\"", -1, SQLITE_STATIC);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        text = dir.filePath(QStringLiteral("Station_bulletin1.txt"));
        exportText(text);
    }
    int exportText(const QString &file)
    {
        auto c = openFile(source);
        DbQuery q(c.get());
        TFormatSettings fs;
        const tspec &spec = formats.exportSpec[SpecStationBulletin];
        TspecToFormatSettings(fs, spec, TFormatSettings(), 2026);
        return ExportQueryToText(q, spec, QStringLiteral("SELECT * FROM [Станционный бюллетень]"), file, fs);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// The three text tables of a year's import: n events, a reading of each and a measurement of each
// reading, exported by the program from a bulletin file filled raw.
struct EventsFixture
{
    QTemporaryDir dir;
    QString files[3];
    TextFormats formats;
    explicit EventsFixture(int n)
    {
        formats.SetDefaults();
        const QString source = freshBulletin(dir, "events-source.mdb");
        sqlite3 *db = nullptr;
        sqlite3_open(source.toUtf8().constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        const char *const inserts[] = {
            "insert into \"События\" (num,time,dec,lat,lon,depdp,comment) values (?1,46056+?1/1000.0,?1%10,"
            "52.5,158.25,10,'Камчатка')",
            "insert into \"Станционный бюллетень\" (N_seismo,N_equake,Station_Cod,date,Qual,Phase,"
            "Channel_name,Channel_Cod,Channel_component,Time,Dec) values ('S'||?1,?1,'PET',46056+?1/1000,'i',"
            "'P','SKM','SP','Z',46056+?1/1000.0,?1%10)",
            "insert into \"Динамические замеры\" "
            "(arid,Channel_nameXM,Channel_componentXM,TimeXM,DecXm,Period_Z,"
            "Amp_Z) values (?1,'SKM','Z',46056+?1/1000.0,?1%10,0.57,123.25)",
        };
        for (const char *sql : inserts) {
            sqlite3_stmt *s = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
            for (int r = 1; r <= n; ++r) {
                sqlite3_bind_int(s, 1, r);
                sqlite3_step(s);
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        auto c = openFile(source);
        const char *const tables[] = {"События", "Станционный бюллетень", "Динамические замеры"};
        const char *const names[] = {"Events1.txt", "Station_bulletin1.txt", "XM_Add1.txt"};
        for (int t = 0; t < 3; ++t) {
            DbQuery q(c.get());
            TFormatSettings fs;
            TspecToFormatSettings(fs, formats.exportSpec[t], TFormatSettings(), 2026);
            files[t] = dir.filePath(QString::fromLatin1(names[t]));
            ExportQueryToText(q, formats.exportSpec[t],
                              QStringLiteral("SELECT * FROM [%1]").arg(QString::fromUtf8(tables[t])),
                              files[t], fs);
        }
    }
};

// The whole text import of n events with their readings and measurements into a fresh bulletin file:
// the three files read, every row converted and checked, and written. It grows linearly with n.
void BM_ImportEventsReadingsMeasurements(benchmark::State &state)
{
    const int n = int(state.range(0));
    EventsFixture f(n);
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshBulletin(f.dir, "events-target.mdb");
        state.ResumeTiming();
        TD2D tables[3];
        for (int t = 0; t < 3; ++t)
            if (!Txt2dsl(tables[t], f.formats.importSpec[t], f.files[t]))
                state.SkipWithError("read failed");
        if (!writeTables(target, tables, f.formats))
            state.SkipWithError("write failed");
    }
    state.counters["rows_per_s"] =
        benchmark::Counter(3.0 * n * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ImportTextIntoBulletin(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshBulletin(f.dir, "layer.mdb");
        state.ResumeTiming();
        TD2D tables[3];
        tables[0].Init(18, 0);
        tables[2].Init(17, 0);
        if (!Txt2dsl(tables[1], f.formats.importSpec[SpecStationBulletin], f.text))
            state.SkipWithError("read failed");
        if (!writeTables(target, tables, f.formats))
            state.SkipWithError("write failed");
    }
}

void BM_ReadTextOnly(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        TD2D table;
        Txt2dsl(table, f.formats.importSpec[SpecStationBulletin], f.text);
    }
}

void BM_ImportSqliteProgram(benchmark::State &state)
{
    Fixture &f = fixture();
    // ".import" takes plain CSV: the same rows with ';' and '"', the decimal comma left as text.
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshBulletin(f.dir, "cli.mdb");
        state.ResumeTiming();
        QProcess p;
        p.start(QStringLiteral("sqlite3"),
                {target, QStringLiteral(".mode csv"), QStringLiteral(".separator ; \\r\\n"),
                 QStringLiteral(".import '%1' \"Станционный бюллетень\"").arg(f.text)});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            state.SkipWithError("sqlite3 failed");
    }
}

void BM_ImportRawInsert(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = freshBulletin(f.dir, "raw.mdb");
        state.ResumeTiming();
        QFile in(f.text);
        in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        sqlite3 *db = nullptr;
        sqlite3_open(target.toUtf8().constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *s = nullptr;
        std::string sql = "insert into \"Станционный бюллетень\" values (";
        for (int k = 0; k < 25; ++k)
            sql += k ? ",?" : "?";
        sql += ")";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        const QList<QByteArray> lines = bytes.split('\n');
        for (const QByteArray &raw : lines) {
            if (raw.isEmpty())
                continue;
            const QString line = fromCp1251(raw.endsWith('\r') ? raw.chopped(1) : raw);
            int k = 0;
            QString field;
            bool quoted = false;
            for (int i = 0; i <= line.size(); ++i) {
                const QChar ch = i < line.size() ? line[i] : QChar(';');
                if (ch == QLatin1Char('"')) {
                    if (quoted && i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                        field += line[++i];
                    else
                        quoted = !quoted;
                } else if (ch == QLatin1Char(';') && !quoted) {
                    if (k > 0) { // the counter is the table's own
                        const QByteArray v = field.toUtf8();
                        if (v.isEmpty())
                            sqlite3_bind_null(s, k + 1);
                        else
                            sqlite3_bind_text(s, k + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
                    }
                    ++k;
                    field.clear();
                } else {
                    field += ch;
                }
            }
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}

void BM_ExportLayer(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        if (f.exportText(f.dir.filePath(QStringLiteral("export.txt"))) != kRows)
            state.SkipWithError("export failed");
}

void BM_ExportRawQuery(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open(f.source.toUtf8().constData(), &db);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, "select * from \"Станционный бюллетень\"", -1, &s, nullptr);
        std::string out;
        char number[64];
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int k = 0; k < 25; ++k) {
                if (k)
                    out += ';';
                switch (sqlite3_column_type(s, k)) {
                case SQLITE_INTEGER:
                    out += std::to_string(sqlite3_column_int64(s, k));
                    break;
                case SQLITE_FLOAT:
                    std::snprintf(number, sizeof number, "%.15g", sqlite3_column_double(s, k));
                    out += number;
                    break;
                case SQLITE_TEXT: {
                    out += '"';
                    const char *t = reinterpret_cast<const char *>(sqlite3_column_text(s, k));
                    for (; *t; ++t) {
                        if (*t == '"')
                            out += '"';
                        out += *t;
                    }
                    out += '"';
                    break;
                }
                default:
                    break;
                }
            }
            out += "\r\n";
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
        QFile file(f.dir.filePath(QStringLiteral("raw.txt")));
        file.open(QIODevice::WriteOnly);
        file.write(out.data(), qint64(out.size()));
    }
}

BENCHMARK(BM_ImportTextIntoBulletin)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportEventsReadingsMeasurements)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Arg(100000)
    ->Arg(200000)
    ->Arg(400000);
BENCHMARK(BM_ReadTextOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportSqliteProgram)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportRawInsert)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportLayer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportRawQuery)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
