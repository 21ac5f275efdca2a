#include "db/db_test_env.h"
#include "db/sql_literals.h"
#include "lib/codec.h"
#include "products/summary_run.h"

#include <QDateTime>
#include <QFileInfo>

#include <functional>

namespace {

const QDate kDay(2026, 2, 5);

QDateTime at(int h, int n, int s, int dayOffset = 0)
{
    return QDateTime(kDay.addDays(dayOffset), QTime(h, n, s));
}

QVariant orNull(const QVariant &v, QMetaType type)
{
    return v.isValid() ? v : QVariant(type);
}

QVariant text(const QString &s)
{
    return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

struct Event
{
    int num = 0;
    QVariant time{}, dec{}, lat{}, lon{}, depdp{}, deltagr{}, deltakm{};
    QString comment{}, strQuake{};
};

struct Reading
{
    int arid = 0, event = 0;
    QString station{};
    QDateTime date{}, time{};
    QString phase{}, qual{}, cod{}, comp{};
    QVariant dec{}, interpretation{};
    QString fm{}, fmNs{}, fmEw{};
};

struct Measurement
{
    int id = 0, arid = 0;
    QString cod{}, comp{};
    QDateTime time{};
    QVariant dec{}, periodNs{}, ampNs{}, periodEw{}, ampEw{}, periodZ{}, ampZ{}, magnitudeZ{};
};

// Stands in for the main window: answers the dialog and the editor, and keeps what it was asked.
class FakeHost : public SummaryHost
{
public:
    FakeHost(std::unique_ptr<DbConnection> connection, bool odbc) : conn(std::move(connection)), odbc(odbc) {}

    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return sett; }
    bool AskSummaryParameters() override { return dialogOk; }
    QString CurrentStationCode() override { return code; }
    QString CurrentStationSection() override { return section; }
    bool GetStationDBParams(QString &Source, QString &, QString &, int Index, bool Silent) override
    {
        EXPECT_EQ(Index, -1);
        EXPECT_FALSE(Silent);
        Source = QStringLiteral("bulletin");
        return true;
    }
    DbConnection &BulletinConnection() override { return *conn; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(odbc, FromDate, ToDate, FromLit, ToLit);
    }
    int EditSummary(const QString &FileName, bool SendMode, QStringList &Lines) override
    {
        edited << FileName;
        sendModes << SendMode;
        Lines = editorLines;
        return editorResult;
    }
    bool SendMail(QChar Kind, const QString &Body, const QString &Attachment) override
    {
        mails << QStringList{QString(Kind), Body, Attachment};
        return mailOk;
    }

    std::unique_ptr<DbConnection> conn;
    bool odbc;
    Tsett sett;
    bool dialogOk = true;
    QString code = QStringLiteral("PET");
    QString section = QStringLiteral("PET");
    int editorResult = IDCANCEL;
    QStringList editorLines;
    bool mailOk = true;
    QStringList edited;
    QList<bool> sendModes;
    QList<QStringList> mails;
};

template <class Env> class SummaryRunTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        if (!Env::available())
            GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
        env = std::make_unique<Env>();
        host = std::make_unique<FakeHost>(env->open(), Env::odbc);
        for (const char *sql : kBulletinCreates)
            exec(db(), sql);
        exec(db(), "create table [Обозначения волн] (iphase varchar(10),Phase varchar(10))");
        for (const auto &[iphase, phase] : {std::pair{"P", "P"}, {"S", "S"}, {"LR", "LR"}, {"LRM", "LR"}})
            exec(db(), QStringLiteral("insert into [Обозначения волн] (iphase,Phase) values (?,?)"),
                 {QString::fromUtf8(iphase), QString::fromUtf8(phase)});
        host->sett.svodka_date = EncodeDate(2026, 2, 5) + 0.4;
        host->sett.svodka_dir = dir.path();
        host->sett.dperiod = false;
    }

    // The run closes the connection when it ends; the fixture writes on between runs.
    DbConnection &db()
    {
        if (!host->conn->Connected())
            host->conn->Open();
        return *host->conn;
    }

    void add(const Event &e)
    {
        const QMetaType f = QMetaType::fromType<double>(), i = QMetaType::fromType<int>();
        exec(db(),
             QStringLiteral(
                 "insert into [События] (num,[time],dec,lat,lon,depdp,deltagr,deltakm,comment,StrQuake) "
                 "values (?,?,?,?,?,?,?,?,?,?)"),
             {e.num, orNull(e.time, QMetaType::fromType<QDateTime>()), orNull(e.dec, i), orNull(e.lat, f),
              orNull(e.lon, f), orNull(e.depdp, i), orNull(e.deltagr, f), orNull(e.deltakm, f),
              text(e.comment), text(e.strQuake)});
    }

    void add(const Reading &r)
    {
        exec(db(),
             QStringLiteral("insert into [Станционный бюллетень] (arid,N_equake,Station_Cod,[date],FM,Qual,"
                            "Interpretation,Phase,Channel_Cod,Channel_component,[Time],[Dec],FM_NS,FM_EW) "
                            "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             {r.arid, r.event, r.station.isEmpty() ? QStringLiteral("PET") : r.station,
              r.date.isValid() ? r.date : QDateTime(kDay, QTime(0, 0)), text(r.fm), text(r.qual),
              orNull(r.interpretation, QMetaType::fromType<int>()), text(r.phase), text(r.cod), text(r.comp),
              r.time, orNull(r.dec, QMetaType::fromType<int>()), text(r.fmNs), text(r.fmEw)});
    }

    void add(const Measurement &m)
    {
        const QMetaType f = QMetaType::fromType<double>();
        exec(db(),
             QStringLiteral("insert into [Динамические замеры] (Id_XM,arid,Channel_CodXM,Channel_componentXM,"
                            "TimeXM,DecXm,Period_NS,Amp_NS,Period_EW,Amp_EW,Period_Z,Amp_Z,Magnitude_Z) "
                            "values (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             {m.id, m.arid, text(m.cod), text(m.comp), m.time, orNull(m.dec, QMetaType::fromType<int>()),
              orNull(m.periodNs, f), orNull(m.ampNs, f), orNull(m.periodEw, f), orNull(m.ampEw, f),
              orNull(m.periodZ, f), orNull(m.ampZ, f), orNull(m.magnitudeZ, f)});
    }

    void clearDay()
    {
        for (const char *table : {"Динамические замеры", "Станционный бюллетень", "События"})
            exec(db(), QStringLiteral("delete from [%1]").arg(QString::fromUtf8(table)));
    }

    // The summary file's bytes as written for these lines.
    static QByteArray fileOf(const QStringList &lines)
    {
        return toCp1251(lines.join(QLatin1Char('\n'))) + "\r\n";
    }

    QByteArray run(SummaryRunStats *stats = nullptr)
    {
        SvodkaProc(*host, stats);
        return readBytes(dir.file(QStringLiteral("PET_036")));
    }

    // The day of the worked example of the summary format.
    void workedExample()
    {
        add(Event{.num = 12,
                  .time = at(3, 12, 45),
                  .dec = 3,
                  .lat = 52.98761,
                  .lon = 158.12344,
                  .depdp = 35,
                  .deltagr = 1.27});
        add(Reading{.arid = 100,
                    .event = 12,
                    .time = at(3, 13, 10),
                    .phase = "P",
                    .qual = "E",
                    .cod = "SP",
                    .comp = "Z",
                    .dec = 4,
                    .interpretation = 0,
                    .fm = "+",
                    .fmNs = "-"});
        add(Measurement{.id = 7,
                        .arid = 100,
                        .cod = "SP",
                        .comp = "Z",
                        .time = at(3, 13, 12),
                        .dec = 1,
                        .periodZ = 0.84,
                        .ampZ = 0.0123,
                        .magnitudeZ = 5.6});
        add(Reading{.arid = 101,
                    .event = 12,
                    .time = at(3, 13, 40),
                    .phase = "S",
                    .qual = "E",
                    .cod = "SP",
                    .comp = "Z",
                    .dec = 0});
    }

    TestDir dir;
    std::unique_ptr<Env> env;
    std::unique_ptr<FakeHost> host;
};

using Backends = ::testing::Types<SqliteEnv, PostgresEnv>;
class BackendNames
{
public:
    template <class T> static std::string GetName(int) { return T::odbc ? "PostgreSQL" : "SQLite"; }
};
TYPED_TEST_SUITE(SummaryRunTest, Backends, BackendNames);

TYPED_TEST(SummaryRunTest, WorkedExampleGivesItsSevenLines)
{
    this->workedExample();
    MessageRecorder messages;
    SummaryRunStats stats;
    const QByteArray bytes = this->run(&stats);
    EXPECT_EQ(bytes, QByteArray("SEISMO N6036 PET BEG FEB05 000000 END FEB06 000000\n"
                                "FEB05\n"
                                "SPZ EP0313104 FMCS XM13121 T0.8A12.3\n"
                                "ES1340\n"
                                "(( FOCUS 031245.3 LAT 52.9876 LON 158.1234 DEP 35. D1.3\n"
                                "MAG MPSP5.6 ))\n"
                                "STOP\r\n"));
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(this->host->edited, QStringList{this->dir.path() + QStringLiteral("/PET_036")});
    // Stations, first event, carried-over check, measurement fields, events, phases of the event, the
    // measurements of each phase, event texts, designations.
    EXPECT_EQ(stats.statements, 10);
    EXPECT_FALSE(this->host->conn->Connected());
}

using SqliteRun = SummaryRunTest<SqliteEnv>;

TEST_F(SqliteRun, DaysCoverTheTelegramRules)
{
    const struct Case
    {
        const char *name;
        std::function<void(SqliteRun &)> day;
        QStringList lines;
    } cases[] = {
        {"S first, unknown phases with and without quality",
         [](SqliteRun &t) {
             t.add(Event{.num = 1});
             t.add(Reading{.arid = 1,
                           .event = 1,
                           .time = at(4, 10, 5),
                           .phase = "S",
                           .qual = "E",
                           .cod = "SP",
                           .comp = "Z",
                           .dec = 2});
             t.add(Reading{.arid = 2,
                           .event = 1,
                           .time = at(4, 10, 30),
                           .phase = "Sx",
                           .qual = "I",
                           .cod = "SP",
                           .comp = "Z",
                           .dec = 0});
             t.add(Reading{.arid = 3,
                           .event = 1,
                           .time = at(4, 11, 0),
                           .phase = "Qq",
                           .cod = "SP",
                           .comp = "Z",
                           .dec = 0});
         },
         {"FEB05", "/SPZ ES0410052 I1030 I1100", "/", "STOP"}},
        {"empty phase, interpreted UNK, closing group with comment",
         [](SqliteRun &t) {
             t.add(Event{.num = 2,
                         .time = at(5, 0, 0),
                         .lat = 10.5,
                         .lon = 20.25,
                         .deltakm = 222,
                         .comment = "близко   к станции"});
             t.add(Reading{.arid = 1,
                           .event = 2,
                           .time = at(5, 1, 2),
                           .cod = "SP",
                           .comp = "N",
                           .dec = 5,
                           .fm = "-",
                           .fmEw = "+"});
             t.add(Event{.num = 3});
             t.add(Reading{.arid = 2,
                           .event = 3,
                           .time = at(6, 20, 0),
                           .phase = "unk",
                           .qual = "e",
                           .cod = "LP",
                           .comp = "Z",
                           .dec = 0,
                           .interpretation = 1,
                           .fm = "+",
                           .fmNs = "+"});
         },
         {"FEB05", "/SPN UNK0501025 FMDE", "(( FOCUS 050000.0 LAT 10.5 LON 20.25 D2",
          "БЛИЗКО  К СТАНЦИИ )) /", "/LPZ E(UNK)062000 FM,CN", "/", "STOP"}},
        {"surface waves and measurements on other components",
         [](SqliteRun &t) {
             t.add(Event{
                 .num = 4, .time = at(7, 0, 0), .dec = 5, .lat = 1, .lon = 2, .depdp = 10, .deltagr = 25.04});
             t.add(Reading{.arid = 1,
                           .event = 4,
                           .time = at(7, 5, 0),
                           .phase = "P",
                           .qual = "i",
                           .cod = "SP",
                           .comp = "Z",
                           .dec = 1,
                           .fm = "+"});
             t.add(Reading{.arid = 2,
                           .event = 4,
                           .time = at(7, 20, 0),
                           .phase = "LR",
                           .cod = "LP",
                           .comp = "N",
                           .dec = 0});
             t.add(Measurement{.id = 1,
                               .arid = 2,
                               .cod = "LP",
                               .comp = "N",
                               .time = at(7, 21, 30),
                               .dec = 7,
                               .periodEw = 18.6,
                               .ampEw = 0.1234,
                               .periodZ = 20.4,
                               .ampZ = 2.5});
             t.add(Measurement{.id = 2,
                               .arid = 2,
                               .cod = "LP",
                               .comp = "Z",
                               .time = at(7, 22, 0),
                               .dec = 0,
                               .periodZ = 19.5,
                               .ampZ = 3.25,
                               .magnitudeZ = 6.25});
             t.add(Reading{
                 .arid = 3, .event = 4, .time = at(7, 25, 0), .phase = "LRM", .cod = "LP", .comp = "Z"});
         },
         {"FEB05", "SPZ IP0705001 FMC LPN LR2000 XM2130 LPZ XM2130 T20A2.5", "LPE XM2130 T19A0.123",
          "LPZ XM2200 T20A3.25", "LR", "(( FOCUS 070000.5 LAT 1 LON 2 DEP 10. D25 MAG MS6.2 ))", "STOP"}},
        {"OUT texts, midnight and the line limit",
         [](SqliteRun &t) {
             t.add(Event{
                 .num = 5, .time = at(23, 58, 0), .strQuake = "  out 5 jan  12 mar 0315 Feb @. прочее"});
             t.add(Reading{.arid = 1,
                           .event = 5,
                           .time = at(23, 59, 50),
                           .phase = "P",
                           .qual = "e",
                           .cod = "SP",
                           .comp = "Z",
                           .dec = 0});
             t.add(Reading{.arid = 2,
                           .event = 5,
                           .time = at(0, 0, 20),
                           .phase = "LR",
                           .cod = "LP",
                           .comp = "Z",
                           .dec = 0});
             t.add(Event{.num = 6, .strQuake = "землетрясение"});
             t.add(Reading{.arid = 3,
                           .event = 6,
                           .time = at(1, 0, 0),
                           .phase = "P",
                           .qual = "e",
                           .cod = "SP",
                           .comp = "Z"});
             for (int k = 1; k <= 6; ++k)
                 t.add(Reading{.arid = 3 + k,
                               .event = 6,
                               .time = at(1, k, 0),
                               .phase = "S",
                               .qual = "e",
                               .cod = "SP",
                               .comp = "Z"});
         },
         {"OUT JAN05 MAR12 0315 FEB??", "FEB05", "SPZ EP235950 LPZ LR000020", "(( FOCUS 235800.0 ))",
          "SPZ EP010000 ES0100 ES0200 ES0300 ES0400 ES0500", "ES0600", "STOP"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clearDay();
        c.day(*this);
        MessageRecorder messages;
        const QByteArray bytes = run();
        EXPECT_EQ(bytes, fileOf(QStringList{"SEISMO N6036 PET BEG FEB05 000000 END FEB06 000000"} + c.lines))
            << fromCp1251(bytes).toStdString();
        EXPECT_EQ(messages.count(), 0);
    }
}

TEST_F(SqliteRun, TwoStationsShareTheFileAndQuotesStayInTheirCodes)
{
    workedExample();
    add(Event{.num = 30});
    add(Reading{.arid = 300,
                .event = 30,
                .station = "O'K",
                .time = at(9, 0, 0),
                .phase = "P",
                .qual = "e",
                .cod = "SP",
                .comp = "Z"});
    MessageRecorder messages;
    const QByteArray bytes = run();
    EXPECT_TRUE(
        bytes.endsWith("SEISMO N6036 O'K BEG FEB05 000000 END FEB06 000000\nFEB05\nSPZ EP090000\nSTOP\r\n"))
        << bytes.toStdString();
    EXPECT_TRUE(bytes.startsWith("SEISMO N6036 PET BEG FEB05")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("MAG MPSP5.6 ))\nSTOP\nSEISMO N6036 O'K")) << bytes.toStdString();
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(SqliteRun, EventAcrossMidnightBelongsToTheDayItBegan)
{
    add(Event{.num = 20, .time = at(23, 50, 0)});
    add(Reading{
        .arid = 1, .event = 20, .time = at(23, 50, 30), .phase = "P", .qual = "e", .cod = "SP", .comp = "Z"});
    add(Reading{.arid = 2,
                .event = 20,
                .date = at(0, 0, 0, 1),
                .time = at(0, 10, 0, 1),
                .phase = "S",
                .qual = "e",
                .cod = "SP",
                .comp = "Z"});
    add(Event{.num = 21, .time = at(2, 0, 0, 1)});
    add(Reading{.arid = 3,
                .event = 21,
                .date = at(0, 0, 0, 1),
                .time = at(2, 0, 30, 1),
                .phase = "P",
                .qual = "e",
                .cod = "SP",
                .comp = "Z"});
    MessageRecorder messages;
    EXPECT_EQ(run(), fileOf({"SEISMO N6036 PET BEG FEB05 000000 END FEB06 000000", "FEB05",
                             "SPZ EP235030 ES001000", "(( FOCUS 235000.0 ))", "STOP"}));
    host->sett.svodka_date += 1;
    SvodkaProc(*host);
    EXPECT_EQ(readBytes(dir.file(QStringLiteral("PET_037"))),
              fileOf({"SEISMO N6037 PET BEG FEB06 000000 END FEB07 000000", "FEB06", "SPZ EP020030",
                      "(( FOCUS 020000.0 ))", "STOP"}));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(SqliteRun, CancelNoStationsAndAFailedWrite)
{
    {
        MessageRecorder messages;
        host->dialogOk = false;
        SummaryRunStats stats;
        SvodkaProc(*host, &stats);
        EXPECT_EQ(messages.count(), 0);
        EXPECT_EQ(stats.statements, 0);
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
        EXPECT_TRUE(host->edited.isEmpty());
        host->dialogOk = true;
    }
    {
        MessageRecorder messages;
        host->code.clear();
        host->section = QStringLiteral("kam");
        host->sett.dperiod = true;
        SvodkaProc(*host);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.last().text, QStringLiteral("Данные по станции(ям) за этот период отсутствуют"));
        EXPECT_EQ(messages.last().icon, unsigned(MB_ICONWARNING));
        EXPECT_EQ(readBytes(dir.file(QStringLiteral("kam_036"))),
                  QByteArray("SEISMO N6036 :KAM BEG FEB05 000000 END FEB06 000000\nSTOP\r\n"));
        EXPECT_EQ(host->edited.size(), 1);
    }
    {
        workedExample();
        MessageRecorder messages;
        host->sett.svodka_dir = dir.file(QStringLiteral("missing"));
        host->sett.mails_send = true;
        host->editorResult = IDOK;
        SvodkaProc(*host);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral(
            "SvodkaProc: Операция прервана. Сообщение об ошибке:\rНе удалось записать файл \"")))
            << messages.last().text.toStdString();
        EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
        EXPECT_EQ(host->edited.size(), 1);
        EXPECT_TRUE(host->mails.isEmpty());
    }
}

TEST_F(SqliteRun, MailFollowsTheEditorsChoice)
{
    workedExample();
    const QString path = dir.file(QStringLiteral("PET_036"));
    const struct
    {
        bool send, attach, mailOk;
        int result;
        QList<QStringList> mails;
        const char *message; // empty: none
    } cases[] = {
        {false, false, true, IDOK, {}, ""},
        {true, false, true, IDYES, {}, ""},
        {true,
         false,
         true,
         IDOK,
         {{"s", "ПРАВКА\r\nSTOP", ""}},
         "Готово!\rСводка успешно отправлена по почте."},
        {true,
         true,
         true,
         IDOK,
         {{"s", "Сводка PET_036", path}},
         "Готово!\rСводка успешно отправлена по почте."},
        {true,
         true,
         false,
         IDOK,
         {{"s", "Сводка PET_036", path}},
         "Готово!\rНе удалось отправить сводку по почте!"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.send << c.attach << c.mailOk << c.result);
        MessageRecorder messages;
        host->mails.clear();
        host->sendModes.clear();
        host->sett.mails_send = c.send;
        host->sett.mails_att = c.attach;
        host->mailOk = c.mailOk;
        host->editorResult = c.result;
        host->editorLines = {QStringLiteral("ПРАВКА"), QStringLiteral("STOP")};
        SvodkaProc(*host);
        EXPECT_EQ(host->sendModes, QList<bool>{c.send});
        EXPECT_EQ(host->mails, c.mails);
        if (*c.message) {
            ASSERT_EQ(messages.count(), 1);
            EXPECT_EQ(messages.last().text, QString::fromUtf8(c.message));
            EXPECT_EQ(messages.last().icon, unsigned(MB_ICONINFORMATION));
        } else {
            EXPECT_EQ(messages.count(), 0);
        }
    }
}

} // namespace
