#include "db/sql_literals.h"
#include "demo_data.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange_test_env.h"
#include "lib/epoch.h"
#include "support/program_env.h"
#include "write_lock_probe.h"

namespace {

// ORX tables as the information system has them; the first ten origin columns in the copy's order.
const char kOrxOrigin[] =
    "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime "
    "float,rms float,dh float,dz float,comment varchar(80),lddate date,primary key (eventid))";
const char kOrxArrival[] =
    "create table arrival (flag integer,eventid varchar(20),numb integer,sta varchar(6),chan varchar(8),"
    "iphase varchar(8),itime float,deltim float,azimuth float,slow float,ema float,rect float,fm varchar(2),"
    "im_em varchar(2),per float,residuals float,ampl float,lddate date,ms float,mb float,amptime float,"
    "dist float,regclass float,chantype varchar(4))";

double ep(int d, int h, int n, double s, int month = 2)
{
    return htoe(2026, quint16(month), quint16(d), quint16(h), quint16(n), s);
}

QVariant str(const char *s)
{
    return s ? QVariant(QString::fromUtf8(s)) : QVariant(QMetaType::fromType<QString>());
}
// Bound date values as both back ends take them.
QDateTime at(int y, int m, int d, double dayFraction = 0)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0)).addMSecs(qint64(dayFraction * 86400000));
}

// An arrival written by hand: eventid|sta|chan|iphase|itime|fm|im_em|per|ampl|amptime|ms|mb|dist|azimuth|
// ema|regclass, times as "day hh:mm:ss" of February 2026, empty cells NULL.
QVariantList arrivalValues(const char *row)
{
    QVariantList values;
    for (const QString &cell : cellsOf(row)) {
        const qsizetype i = values.size();
        if (i < 4 || i == 5 || i == 6)
            values << (cell.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(cell));
        else if (cell.contains(QLatin1Char(':')))
            values << ep(
                cell.section(QLatin1Char(' '), 0, 0).toInt(), cell.mid(cell.indexOf(u' ') + 1, 2).toInt(),
                cell.section(QLatin1Char(':'), 1, 1).toInt(), cell.section(QLatin1Char(':'), 2).toDouble());
        else
            values << (cell.isEmpty() ? QVariant(QMetaType::fromType<double>()) : QVariant(cell.toDouble()));
    }
    while (values.size() < 16)
        values << QVariant(QMetaType::fromType<double>());
    return values;
}

class FakeHost : public StationDbHost<OrxCopyHost>
{
public:
    FakeHost(DbConnection &orx, DbConnection &bulletin, bool odbc)
        : StationDbHost(bulletin), orx(orx), odbc(odbc)
    {}

    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return sett; }
    bool AskPeriod() override
    {
        sett.start_date = start;
        sett.end_date = end;
        return dialogOk;
    }
    QString CurrentStationSection() override { return code; }
    void GetOrxConnParams(QString &Source, QString &, QString &) override { Source = QStringLiteral("orx"); }
    DbConnection &OrxConnection() override { return orx; }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(odbc, FromDate, ToDate, FromLit, ToLit);
    }
    void ShowProgress(const QString &Caption, int Maximum) override
    {
        captions << Caption;
        EXPECT_EQ(Maximum, 999);
    }
    void SetProgress(int Position) override
    {
        EXPECT_GE(Position, last);
        last = Position;
    }
    void HideProgress() override { ++hidden; }

    DbConnection &orx;
    bool odbc;
    Tsett sett;
    bool dialogOk = true;
    TDateTime start = EncodeDate(2026, 2, 5), end = EncodeDate(2026, 2, 6);
    QString code = QStringLiteral("OBN");
    QStringList captions;
    int last = 0, hidden = 0;
};

template <class Env> class OrxCopyTest : public OnBothBackends<Env>
{
public:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        bul = std::make_unique<OrxDb<Env>>();
        host = std::make_unique<FakeHost>(*this->orx->db, *bul->db, Env::odbc);
        this->orx->exec(kOrxOrigin);
        this->orx->exec(kOrxArrival);
    }

    DbConnection &orxDb()
    {
        if (!this->orx->db->Connected())
            this->orx->db->Open();
        return *this->orx->db;
    }
    DbConnection &bulDb()
    {
        if (!bul->db->Connected())
            bul->db->Open();
        return *bul->db;
    }

    // The working copies an installation's bulletin database holds outside direct mode.
    void createBulletin(const QString &readingsCreate = {})
    {
        exec(bulDb(), kBulletinCreates[0]);
        exec(bulDb(), readingsCreate.isEmpty() ? QString::fromUtf8(kBulletinCreates[1]) : readingsCreate);
        exec(bulDb(), kBulletinCreates[2]);
        createWorkingCopies();
    }
    void createWorkingCopies()
    {
        for (const QString &sql : DemoWorkingCopyCreates())
            exec(bulDb(), sql);
    }

    void origin(const char *id, double time, double lat, double lon, double depth,
                const char *comment = nullptr)
    {
        exec(orxDb(),
             QStringLiteral("insert into origin (eventid,lat,lon,depth,origintime,comment,lddate) values "
                            "(?,?,?,?,?,?,?)"),
             {str(id), lat, lon, depth, time, str(comment), at(2026, 3, 1)});
    }
    void arrival(const char *row)
    {
        exec(orxDb(),
             QStringLiteral(
                 "insert into arrival (eventid,sta,chan,iphase,itime,fm,im_em,per,ampl,amptime,ms,mb,"
                 "dist,azimuth,ema,regclass) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             arrivalValues(row));
    }

    // The analyst's rows before the run: event 5 with a reading on the period's first day, event 7 with one
    // two days before it; each reading with a measurement.
    void analystRows()
    {
        exec(bulDb(), "insert into [События] (num,[time],dec) values (5,?,1),(7,?,2)",
             {at(2026, 2, 5, 0.5), at(2026, 2, 3, 0.25)});
        exec(bulDb(),
             "insert into [Станционный бюллетень] (N_equake,Station_Cod,[date],Phase) values (5,'OBN',?,'P'),"
             "(7,'OBN',?,'S')",
             {at(2026, 2, 5), at(2026, 2, 3)});
        exec(bulDb(), "insert into [Динамические замеры] (arid,Amp_Z) values (1,1.5),(2,2.5)");
    }

    // A day of ORX data around the period 05.02.2026-06.02.2026 at OBN.
    void orxDay()
    {
        // Began before the period: dropped.
        origin("9", ep(4, 23, 58, 0), 40, 130, 5);
        arrival("9|OBN|SHZ|P|4 23:59:10");
        arrival("9|OBN|SHZ|S|5 00:00:20");
        // One reading on two channels, and a second reading.
        origin("10", ep(5, 10, 0, 0), 43.1, 131.9, 10.4, "felt");
        arrival("10|OBN |SHN|P|5 10:01:05.3|||0.6|7");
        arrival("10|OBN|SHZ|P|5 10:01:05.3|c|i|0.5|12.3456|5 10:01:06.04||5.26|12.5|45|30|11.6");
        arrival("10|OBN|SHE|S|5 10:02:00|x|e");
        arrival("10|ZZZ|SHZ|P|5 10:01:00");
        // Not recorded at the station.
        origin("11", ep(5, 11, 0, 0), 1, 2, 3);
        arrival("11|ZZZ|SHZ|P|5 11:01:00");
        // Earlier in time, later by identifier.
        origin("99", ep(5, 5, 0, 0), 50, 150, 33);
        arrival("99|OBN|Z|Pn|5 05:01:00|||1|2|||4|3.5|100||9.1");
        arrival("99|OBN|SHZ|E|5 05:01:30");
        // Half a second before the end; goes on past it: taken whole.
        origin("100", ep(6, 23, 50, 0), -5, 20, 0.5);
        arrival("100|OBN|LHZ|LR|6 23:59:59.5|||20|3|7 00:00:30|6.04");
        arrival("100|OBN|LHN|LRM|7 00:01:10|||18|2.5|7 00:01:40|5.66");
        // At the end itself: the next period's.
        origin("200", ep(6, 23, 59, 0), 0, 0, 0);
        arrival("200|OBN|SHZ|P|7 00:00:00");
    }

    QStringList rows(const char *sql)
    {
        bulDb();
        return bul->rows(QString::fromUtf8(sql));
    }
    QStringList bulletin()
    {
        return dbRows(bulDb(),
                      QStringLiteral("select num,[time],dec,lat,lon,depdp,deltagr,seaz,emares,Kps,comment,"
                                     "lddate from [События] order by num")) +
               dbRows(bulDb(),
                      QStringLiteral("select arid,N_equake,Station_Cod,[date],[Time],[Dec],FM,Qual,Phase,"
                                     "Channel_Cod,Channel_component from [Станционный бюллетень] order by "
                                     "arid")) +
               dbRows(bulDb(),
                      QStringLiteral("select arid,Channel_CodXM,Channel_componentXM,TimeXM,DecXm,Period_Z,"
                                     "Amp_Z,Period_NS,Amp_NS,Period_EW,Amp_EW,Magnitude_Z,Klass_Z from "
                                     "[Динамические замеры] order by arid"));
    }

    std::unique_ptr<OrxDb<Env>> bul;
    std::unique_ptr<FakeHost> host;
    MessageRecorder rec;
};

TYPED_TEST_SUITE(OrxCopyTest, BothBackends, BackendName);

TYPED_TEST(OrxCopyTest, CopiesThePeriodOfTheStation)
{
    this->createBulletin();
    this->analystRows();
    this->orxDay();
    OrxCopyStats stats;
    ImportOrx(*this->host, &stats);
    EXPECT_EQ(shown(this->rec), QList<Shown>());
    EXPECT_EQ(this->host->captions, QStringList{QStringLiteral("Импорт из ORX")});
    EXPECT_EQ(this->host->last, 999);
    EXPECT_EQ(this->host->hidden, 1);
    EXPECT_FALSE(this->bul->db->Connected());
    EXPECT_FALSE(this->orx->db->Connected());

    const QStringList expected = {
        // Events: 7 stays; 5 had only readings of the period; new numbers follow 7 in identifier order.
        "7|03.02.2026 06:00:00|2|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
        "8|05.02.2026 10:00:00|0|43.1|131.9|10|12.5|45|30|11.6|<null>|01.03.2026",
        "9|05.02.2026 05:00:00|0|50|150|33|3.5|100|<null>|9.1|<null>|01.03.2026",
        "10|06.02.2026 23:50:00|0|-5|20|0|<null>|<null>|<null>|<null>|<null>|01.03.2026",
        // Readings: 2 stays; the counter goes on after the highest it gave.
        "2|7|OBN|03.02.2026|<null>|<null>|<null>|<null>|S|<null>|<null>",
        "3|8|OBN|05.02.2026|05.02.2026 10:01:05|3|+|I|P|SH|Z",
        "4|8|OBN|05.02.2026|05.02.2026 10:02:00|0|<null>|E|S|SH|E",
        "5|9|OBN|05.02.2026|05.02.2026 05:01:00|0|<null>|<null>|Pn|<null>|<null>",
        "6|9|OBN|05.02.2026|05.02.2026 05:01:30|0|<null>|<null>||SH|Z",
        "7|10|OBN|06.02.2026|06.02.2026 23:59:59|5|<null>|<null>|LR|LH|Z",
        "8|10|OBN|07.02.2026|07.02.2026 00:01:10|0|<null>|<null>|LRM|LH|N",
        // Measurements: the two channels of reading 3 in one row; LRM timed by its arrival.
        "2|<null>|<null>|<null>|<null>|<null>|2.5|<null>|<null>|<null>|<null>|<null>|<null>",
        "3|SH|Z|05.02.2026 10:01:06|0|0.5|12.346|0.6|7|<null>|<null>|5.3|11.6",
        "5|<null>|<null>|05.02.2026 05:01:00|0|1|2|<null>|<null>|<null>|<null>|4|9.1",
        "7|LH|Z|07.02.2026 00:00:30|0|20|3|<null>|<null>|<null>|<null>|6|<null>",
        "8|LH|N|07.02.2026 00:01:10|0|<null>|<null>|18|2.5|<null>|<null>|5.7|<null>",
    };
    EXPECT_EQ(this->bulletin(), expected);

    // The working copies hold what went into the rows: the origin copy only marks a comment.
    EXPECT_EQ(this->rows("select eventid,comment from origin order by origintime"),
              (QStringList{"99|<null>", "10| ", "100|<null>"}));
    EXPECT_EQ(this->rows("select count(*) from arrival"), QStringList{"7"});
    EXPECT_EQ(stats.events, 3);
    EXPECT_EQ(stats.readings, 6);
    EXPECT_EQ(stats.measurements, 4);
}

// Mended: the clearing takes the period's whole days, and the copy read from the time of day of its
// start, dropping event 99 (its P at 05:01:00, its E at 05:01:30) as the previous period's: the event
// was deleted and not made again. Nor did an end inside a day read on into the next day's event 200.
// Whatever the times of day, the copy brings back the days it clears.
TYPED_TEST(OrxCopyTest, TimesOfDayTakeThePeriodsWholeDays)
{
    this->createBulletin();
    this->analystRows();
    this->orxDay();
    // Event 100 ends within the 6th here: the copy takes a last event whole, and one whose readings run
    // into the next day keeps its period from being copied again.
    exec(this->orxDb(), "delete from arrival where eventid='100' and itime>=?", {ep(7, 0, 0, 0)});
    const auto content = [this] {
        return this->rows("select num,[time],dec,lat from [События] order by num") +
               this->rows("select N_equake,[date],[Time],[Dec],Phase,Channel_Cod,Channel_component from "
                          "[Станционный бюллетень] order by N_equake,[Time],[Dec],Phase") +
               this->rows("select count(*) from [Динамические замеры]");
    };
    ImportOrx(*this->host);
    const QStringList days = content();
    // Events 7, 99 (as 8), 10 (as 9) and 100 (as 10).
    ASSERT_EQ(this->rows("select count(*) from [События]"), QStringList{"4"});

    const TDateTime fifth = EncodeDate(2026, 2, 5), sixth = EncodeDate(2026, 2, 6);
    const struct
    {
        const char *name;
        TDateTime start, end;
    } periods[] = {
        {"starting between the P and the E of event 99", fifth + EncodeTime(5, 1, 15, 0), sixth},
        {"ending at noon", fifth, sixth + EncodeTime(12, 0, 0, 0)},
        {"from 05:01:15 to 23:59:59", fifth + EncodeTime(5, 1, 15, 0), sixth + EncodeTime(23, 59, 59, 0)},
    };
    for (const auto &p : periods) {
        SCOPED_TRACE(p.name);
        this->host->start = p.start;
        this->host->end = p.end;
        this->host->last = 0;
        ImportOrx(*this->host);
        EXPECT_EQ(shown(this->rec), QList<Shown>());
        EXPECT_EQ(content(), days);
    }
}

TYPED_TEST(OrxCopyTest, CreatesMissingBulletinTables)
{
    this->createWorkingCopies();
    this->origin("99", ep(5, 5, 0, 0), 50, 150, 33);
    this->arrival("99|OBN|SHZ|Pg|5 05:01:00");
    ImportOrx(*this->host);
    EXPECT_EQ(shown(this->rec), QList<Shown>());
    EXPECT_EQ(this->rows("select num,rtrim(Phase),rtrim(Channel_Cod) from [События],[Станционный бюллетень] "
                         "where num=N_equake"),
              QStringList{"1|Pg|SH"});
}

TYPED_TEST(OrxCopyTest, CancelledDialogDoesNothing)
{
    this->host->dialogOk = false;
    ImportOrx(*this->host);
    EXPECT_TRUE(this->rec.messages().isEmpty());
    EXPECT_TRUE(this->bul->db->TableNames().isEmpty());
}

// An empty period, a failure half-way and a missing working copy each leave the database as it was.
TYPED_TEST(OrxCopyTest, FailuresLeaveTheDatabaseAsItWas)
{
    // A reading of quality E is refused: by then the run has cleared the period and stored event 8 and
    // reading 3.
    QString readings = QString::fromUtf8(kBulletinCreates[1]);
    readings.replace(QStringLiteral("Comments varchar(60),"),
                     QStringLiteral("Comments varchar(60),check (Qual <> 'E'),"));
    this->createBulletin(readings);
    this->analystRows();
    this->orxDay();
    const QStringList before = this->bulletin();

    this->host->start = this->host->end = EncodeDate(2026, 2, 10);
    this->host->code = QStringLiteral("O'B");
    ImportOrx(*this->host);
    EXPECT_EQ(shown(this->rec),
              QList<Shown>({{QStringLiteral("Данные по станции \"O'B\" за этот период отсутствуют"),
                             MB_ICONWARNING}}));
    EXPECT_EQ(this->bulletin(), before);
    EXPECT_TRUE(this->host->captions.isEmpty());

    this->rec.clear();
    this->host->start = EncodeDate(2026, 2, 5);
    this->host->end = EncodeDate(2026, 2, 6);
    this->host->code = QStringLiteral("OBN");
    ImportOrx(*this->host);
    EXPECT_FALSE(this->bul->db->Connected());
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_TRUE(
        this->rec.last().text.startsWith(QStringLiteral("ImportOrx: Импорт прерван. Сообщение об ошибке:\r")))
        << this->rec.last().text.toStdString();
    EXPECT_EQ(this->rec.last().icon, MB_ICONERROR);
    EXPECT_EQ(this->bulletin(), before);
    EXPECT_EQ(this->rows("select count(*) from arrival"), QStringList{"0"});
    EXPECT_EQ(this->host->hidden, 1);

    this->rec.clear();
    exec(this->bulDb(), "drop table origin");
    ImportOrx(*this->host);
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_TRUE(this->rec.last().text.contains(QStringLiteral("delete from origin")))
        << this->rec.last().text.toStdString();
    EXPECT_EQ(this->bulletin(), before);
}

// Readings added by hand on the event page to an event of the period, without a date or on another day,
// would keep the event from being deleted ("FOREIGN KEY constraint failed"): the copy names the events
// and stops before it changes anything.
TYPED_TEST(OrxCopyTest, HandReadingsOutsideThePeriodStopTheCopy)
{
    this->createBulletin();
    this->analystRows();
    exec(this->bulDb(),
         "insert into [Станционный бюллетень] (N_equake,Station_Cod,[date],Phase) values (5,'OBN',null,'Pg'),"
         "(5,'OBN',?,'Sg'),(7,'OBN',?,'P')",
         {at(2026, 2, 9), at(2026, 2, 10)});
    this->orxDay();
    const QStringList before = this->bulletin();
    LockWatch watch(*this->bul);

    ImportOrx(*this->host);
    EXPECT_EQ(
        shown(this->rec),
        QList<Shown>(
            {{QStringLiteral("ImportOrx: Импорт прерван, база данных станции не изменена.\r\rУ событий № 5 "
                             "есть отсчёты с датой вне периода или без даты (всего 2), период 05.02.2026 - "
                             "06.02.2026: эти отсчёты не из ORX за этот период, например добавлены вручную "
                             "на странице событий. Импорт из ORX заменяет события периода целиком, а "
                             "событие с такими отсчётами удалить нельзя.\rИсправьте дату этих отсчётов или "
                             "удалите их либо выберите период, который их включает, и повторите импорт."),
              MB_ICONWARNING}}));
    EXPECT_EQ(watch.shownLocked(), QStringList());
    EXPECT_EQ(this->bulletin(), before);
    EXPECT_TRUE(this->host->captions.isEmpty());

    // Once the readings are dated inside the period, the period is replaced with them.
    this->rec.clear();
    exec(this->bulDb(), "update [Станционный бюллетень] set [date]=? where N_equake=5", {at(2026, 2, 6)});
    ImportOrx(*this->host);
    EXPECT_EQ(shown(this->rec), QList<Shown>());
    EXPECT_EQ(this->rows("select count(*) from [События] where num=5"), QStringList{"0"});
}

// No message waits for a click while the copy holds the bulletin database's write lock: a statement that
// fails in the transaction is said once it is rolled back.
TYPED_TEST(OrxCopyTest, NoMessageWaitsWhileTheBulletinIsLocked)
{
    QString readings = QString::fromUtf8(kBulletinCreates[1]);
    readings.replace(QStringLiteral("Comments varchar(60),"),
                     QStringLiteral("Comments varchar(60),check (Qual <> 'E'),"));
    this->createBulletin(readings);
    this->orxDay();
    const QStringList before = this->bulletin();
    {
        LockWatch watch(*this->bul);
        ImportOrx(*this->host);
        ASSERT_EQ(this->rec.count(), 1);
        EXPECT_TRUE(this->rec.last().text.startsWith(
            QStringLiteral("ImportOrx: Импорт прерван. Сообщение об ошибке:\r")));
        EXPECT_EQ(watch.shown(), 1);
        EXPECT_EQ(watch.shownLocked(), QStringList());
    }
    // The origin copy is already emptied when the arrival copy's turn fails.
    this->rec.clear();
    exec(this->bulDb(), "insert into origin (eventid) values ('KEPT')");
    exec(this->bulDb(), "drop table arrival");
    {
        LockWatch watch(*this->bul);
        ImportOrx(*this->host);
        ASSERT_EQ(this->rec.count(), 1);
        EXPECT_TRUE(this->rec.last().text.startsWith(QStringLiteral("QExe: Команда\rdelete from arrival")))
            << this->rec.last().text.toStdString();
        EXPECT_EQ(watch.shownLocked(), QStringList());
    }
    EXPECT_EQ(this->bulletin(), before);
    EXPECT_EQ(this->rows("select eventid from origin"), QStringList{"KEPT"});
}

TYPED_TEST(OrxCopyTest, DirectModeCreatesItsWorkingCopies)
{
    this->host->sett.start_mode = 0;
    this->host->sett.directORXwr = true;
    // The bulletin tables live in the ORX database itself.
    this->origin("99", ep(5, 5, 0, 0), 50, 150, 33);
    this->arrival("99|OBN|SHZ|P|5 05:01:00|||1|2");
    auto second = std::make_unique<DbConnection>();
    second->SetProvider(this->orx->db->Provider());
    second->SetConnectionString(this->orx->db->ConnectionString());
    second->Open(this->orx->user(), this->orx->password());
    FakeHost same(*this->orx->db, *second, TypeParam::odbc);
    same.sett = this->host->sett;
    ImportOrx(same);
    EXPECT_EQ(shown(this->rec), QList<Shown>());
    this->orxDb();
    EXPECT_EQ(this->orx->rows(QStringLiteral("select eventid from origin_st")), QStringList{"99"});
    EXPECT_EQ(this->orx->rows(QStringLiteral("select count(*) from arrival_st")), QStringList{"1"});
    EXPECT_EQ(this->orx->rows(QStringLiteral("select num,Amp_Z from [События],[Станционный бюллетень] s,"
                                             "[Динамические замеры] x where num=N_equake and x.arid=s.arid")),
              QStringList{"1|2"});
}

TEST(OrxCopyRules, PeriodsMeetWithoutGap)
{
    double lower = 0, upper = 0, nextLower = 0, nextUpper = 0;
    OrxPeriodBounds(EncodeDate(2026, 2, 5), EncodeDate(2026, 2, 6), lower, upper);
    OrxPeriodBounds(EncodeDate(2026, 2, 7), EncodeDate(2026, 2, 7), nextLower, nextUpper);
    EXPECT_EQ(lower, 1770249600.0); // 05.02.2026 00:00:00
    EXPECT_EQ(upper, 1770422400.0); // 07.02.2026 00:00:00
    EXPECT_EQ(nextLower, upper);
    EXPECT_EQ(nextUpper, 1770508800.0);
    // Times of day count as their whole days.
    OrxPeriodBounds(EncodeDate(2026, 2, 5) + EncodeTime(12, 40, 0, 0),
                    EncodeDate(2026, 2, 6) + EncodeTime(23, 59, 59, 0), nextLower, nextUpper);
    EXPECT_EQ(nextLower, lower);
    EXPECT_EQ(nextUpper, upper);
}

TEST(OrxCopyRules, EventIdentifiersInTheirOrder)
{
    const struct
    {
        const char *a, *b;
        bool less;
    } cases[] = {
        {"9", "10", true},   {"10", "9", false},  {"99", "100", true}, {"007", "8", true},
        {"10", "10", false}, {"010", "10", true}, {"12", "A1", true},  {"A1", "12", false},
        {"A10", "A9", true}, {" 9", "10", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EventIdLess(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.less)
            << c.a << " " << c.b;
}

TEST(OrxCopyRules, PGroupIsExact)
{
    for (const char *p : {"P", "Pdif", "PKP", "PKHKP", "PKIKP", "PKP2", "Pg", "Pn", " Pn "})
        EXPECT_TRUE(IsOrxPGroup(QString::fromLatin1(p))) << p;
    for (const char *p : {"p", "PN", "pP", "S", "PP", "Pb", ""})
        EXPECT_FALSE(IsOrxPGroup(QString::fromLatin1(p))) << p;
}

} // namespace
