// What the user waits for after "Создать сводку": the daily summary of a busy day on a station bulletin
// database (a SQLite file), and the same day with ten times the data.

#include "db/db_connection.h"
#include "db/sql_literals.h"
#include "demo_data.h"
#include "lib/messages.h"
#include "products/summary_run.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

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

class BenchHost : public SummaryHost
{
public:
    explicit BenchHost(const BusyDay &d) : m_day(d)
    {
        m_sett.svodka_date = d.day;
        m_sett.svodka_dir = d.outDir;
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskSummaryParameters() override { return true; }
    QString CurrentStationCode() override { return QStringLiteral("BENCH"); }
    QString CurrentStationSection() override { return QStringLiteral("bench"); }
    bool GetStationDBParams(QString &Source, QString &, QString &, int, bool) override
    {
        Source = m_day.bulletin;
        return true;
    }
    DbConnection &BulletinConnection() override { return m_dbs; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User, const QString &Password,
                    bool) override
    {
        Conn.SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        Conn.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(Source));
        Conn.Open(User, Password);
        return true;
    }
    void CloseDB_ADO(DbConnection &Conn) override { Conn.Close(); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(false, FromDate, ToDate, FromLit, ToLit);
    }
    int EditSummary(const QString &, bool, QStringList &) override { return IDCANCEL; }
    bool SendMail(QChar, const QString &, const QString &) override { return false; }

private:
    const BusyDay &m_day;
    Tsett m_sett;
    DbConnection m_dbs;
};

void BM_Summary(benchmark::State &state)
{
    static std::map<int, std::unique_ptr<BusyDay>> days;
    auto &day = days[int(state.range(0))];
    if (!day)
        day = std::make_unique<BusyDay>(int(state.range(0)));
    BenchHost host(*day);
    SummaryRunStats stats;
    for (auto _ : state) {
        stats = SummaryRunStats();
        SvodkaProc(host, &stats);
    }
    state.counters["statements"] = stats.statements;
    state.counters["stations"] = stats.stations;
    state.counters["rows"] = stats.rows;
    state.counters["readings"] = day->demo.arrivals;
    state.counters["measurements"] = day->demo.measurements;
}

} // namespace

BENCHMARK(BM_Summary)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

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
