#include "summary_test_host.h"

namespace {

const QDate kDay(2026, 2, 5);

QDateTime at(int h, int n, int s, int dayOffset = 0)
{
    return QDateTime(kDay.addDays(dayOffset), QTime(h, n, s));
}

// PostgreSQL wants the type of a bound null.
template <class T> QVariant orNull(const QVariant &v)
{
    return v.isValid() ? v : QVariant(QMetaType::fromType<T>());
}

QVariant text(const QString &s)
{
    return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

// Rows in the order of their columns; the values left out are null.
struct Event
{
    int num = 0;
    QVariant time{}, dec{}, lat{}, lon{}, depdp{}, deltagr{}, deltakm{};
    QString comment{}, strQuake{};
};

// A channel is its code and component together ("SPZ"); no station is PET, no date the summary's day.
struct Reading
{
    int arid = 0, event = 0;
    QDateTime time{};
    QString phase{}, qual{}, channel{};
    QVariant dec{}, interpretation{};
    QString fm{}, fmNs{}, fmEw{}, station{};
    QDateTime date{};
};

struct Measurement
{
    int id = 0, arid = 0;
    QString channel{};
    QDateTime time{};
    QVariant dec{}, periodNs{}, ampNs{}, periodEw{}, ampEw{}, periodZ{}, ampZ{}, magnitudeZ{};
};

template <class Env> class SummaryRunTest : public OnBothBackends<Env>
{
public:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        host = std::make_unique<FakeSummaryHost>(*this->orx->db, Env::odbc, QStringLiteral("bulletin"));
        host->code = QStringLiteral("PET");
        host->editorResult = IDCANCEL;
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
        if (!host->conn.Connected())
            host->conn.Open();
        return host->conn;
    }

    void add(const Event &e)
    {
        exec(db(),
             QStringLiteral(
                 "insert into [События] (num,[time],dec,lat,lon,depdp,deltagr,deltakm,comment,StrQuake) "
                 "values (?,?,?,?,?,?,?,?,?,?)"),
             {e.num, orNull<QDateTime>(e.time), orNull<int>(e.dec), orNull<double>(e.lat),
              orNull<double>(e.lon), orNull<int>(e.depdp), orNull<double>(e.deltagr),
              orNull<double>(e.deltakm), text(e.comment), text(e.strQuake)});
    }

    void add(const Reading &r)
    {
        exec(db(),
             QStringLiteral("insert into [Станционный бюллетень] (arid,N_equake,Station_Cod,[date],FM,Qual,"
                            "Interpretation,Phase,Channel_Cod,Channel_component,[Time],[Dec],FM_NS,FM_EW) "
                            "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             {r.arid, r.event, r.station.isEmpty() ? QStringLiteral("PET") : r.station,
              r.date.isValid() ? r.date : QDateTime(kDay, QTime(0, 0)), text(r.fm), text(r.qual),
              orNull<int>(r.interpretation), text(r.phase), text(r.channel.left(2)), text(r.channel.mid(2)),
              r.time, orNull<int>(r.dec), text(r.fmNs), text(r.fmEw)});
    }

    void add(const Measurement &m)
    {
        exec(db(),
             QStringLiteral("insert into [Динамические замеры] (Id_XM,arid,Channel_CodXM,Channel_componentXM,"
                            "TimeXM,DecXm,Period_NS,Amp_NS,Period_EW,Amp_EW,Period_Z,Amp_Z,Magnitude_Z) "
                            "values (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             {m.id, m.arid, text(m.channel.left(2)), text(m.channel.mid(2)), m.time, orNull<int>(m.dec),
              orNull<double>(m.periodNs), orNull<double>(m.ampNs), orNull<double>(m.periodEw),
              orNull<double>(m.ampEw), orNull<double>(m.periodZ), orNull<double>(m.ampZ),
              orNull<double>(m.magnitudeZ)});
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
        add(Event{12, at(3, 12, 45), 3, 52.98761, 158.12344, 35, 1.27});
        add(Reading{100, 12, at(3, 13, 10), "P", "E", "SPZ", 4, 0, "+", "-"});
        add(Measurement{7, 100, "SPZ", at(3, 13, 12), 1, {}, {}, {}, {}, 0.84, 0.0123, 5.6});
        add(Reading{101, 12, at(3, 13, 40), "S", "E", "SPZ", 0});
    }

    TestDir dir;
    std::unique_ptr<FakeSummaryHost> host;
};

TYPED_TEST_SUITE(SummaryRunTest, BothBackends, BackendName);

// The summary file of the worked example's day.
const QByteArray kWorkedExampleSummary("SEISMO N6036 PET BEG FEB05 000000 END FEB06 000000\n"
                                       "FEB05\n"
                                       "SPZ EP0313104 FMCS XM13121 T0.8A12.3\n"
                                       "ES1340\n"
                                       "(( FOCUS 031245.3 LAT 52.9876 LON 158.1234 DEP 35. D1.3\n"
                                       "MAG MPSP5.6 ))\n"
                                       "STOP\r\n");

TYPED_TEST(SummaryRunTest, WorkedExampleGivesItsSevenLines)
{
    this->workedExample();
    MessageRecorder messages;
    SummaryRunStats stats;
    const QByteArray bytes = this->run(&stats);
    EXPECT_EQ(bytes, kWorkedExampleSummary);
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(this->host->edited, QStringList{this->dir.path() + QStringLiteral("/PET_036")});
    // Stations, first event, carried-over check, measurement fields, events, the phases of the events,
    // the measurements of the phases, event texts, designations.
    EXPECT_EQ(stats.statements, 9);
    EXPECT_FALSE(this->host->conn.Connected());
}

// The readings of a station's events and their measurements are read at once; each event still gets its
// own readings in their order (body waves, then surface waves, each by time), each reading its own
// measurements by time, and what those orders leave equal goes by reading and measurement number.
TYPED_TEST(SummaryRunTest, ReadingsOfEveryEventKeepTheirOwnOrder)
{
    this->add(Event{50, at(10, 0, 0)});
    this->add(Event{51, at(11, 0, 0), 2});
    // Stored out of order and across the events.
    this->add(Reading{511, 51, at(11, 1, 0), "P", "e", "SPZ", 0});
    this->add(Reading{503, 50, at(10, 2, 0), "S", "e", "SPZ", 1});
    this->add(Reading{501, 50, at(10, 1, 0), "P", "i", "SPZ", 0});
    this->add(Reading{502, 50, at(10, 2, 0), "S", "i", "SPN", 1});
    this->add(Reading{512, 51, at(11, 5, 0), "LR", "", "LPZ"});
    this->add(Reading{513, 51, at(11, 3, 0), "S", "e", "SPE", 0});
    this->add(Measurement{3, 501, "SPZ", at(10, 1, 5), 2, {}, {}, {}, {}, 1.0, 0.5});
    this->add(Measurement{1, 501, "SPZ", at(10, 1, 5), 2, {}, {}, {}, {}, 0.5, 0.25});
    this->add(Measurement{2, 501, "SPZ", at(10, 1, 3), {}, {}, {}, {}, {}, 0.7, 0.1});
    this->add(Measurement{4, 512, "LPZ", at(11, 6, 0), 0, {}, {}, {}, {}, 20, 1.5});
    MessageRecorder messages;
    SummaryRunStats stats;
    const QByteArray bytes = this->run(&stats);
    EXPECT_EQ(bytes, this->fileOf({"SEISMO N6036 PET BEG FEB05 000000 END FEB06 000000", "FEB05",
                                   "SPZ IP100100 XM0103 T0.7A100", "XM01052 T0.5A250", "XM01052 T1A500",
                                   "SPN IS02001 SPZ ES02001", "(( FOCUS 100000.0 ))",
                                   "SPZ EP110100 SPE ES0300 LPZ LR0500", "XM0600 T20A1.5",
                                   "(( FOCUS 110000.2 ))", "STOP"}))
        << fromCp1251(bytes).toStdString();
    EXPECT_EQ(messages.count(), 0);
    // As many statements as for one event with one reading.
    EXPECT_EQ(stats.statements, 9);
}

using SqliteRun = SummaryRunTest<SqliteEnv>;

TEST_F(SqliteRun, DaysCoverTheTelegramRules)
{
    const struct
    {
        const char *name;
        QList<Event> events;
        QList<Reading> readings;
        QList<Measurement> measurements;
        QStringList lines;
    } cases[] = {
        {"S first, unknown phases with and without quality",
         {{1}},
         {{1, 1, at(4, 10, 5), "S", "E", "SPZ", 2},
          {2, 1, at(4, 10, 30), "Sx", "I", "SPZ", 0},
          {3, 1, at(4, 11, 0), "Qq", "", "SPZ", 0}},
         {},
         {"FEB05", "/SPZ ES0410052 I1030 I1100", "/", "STOP"}},
        {"empty phase, interpreted UNK, closing group with comment",
         {{2, at(5, 0, 0), {}, 10.5, 20.25, {}, {}, 222, "близко   к станции"}, {3}},
         {{1, 2, at(5, 1, 2), "", "", "SPN", 5, {}, "-", "", "+"},
          {2, 3, at(6, 20, 0), "unk", "e", "LPZ", 0, 1, "+", "+"}},
         {},
         {"FEB05", "/SPN UNK0501025 FMDE", "(( FOCUS 050000.0 LAT 10.5 LON 20.25 D2",
          "БЛИЗКО  К СТАНЦИИ )) /", "/LPZ E(UNK)062000 FM,CN", "/", "STOP"}},
        {"surface waves and measurements on other components",
         {{4, at(7, 0, 0), 5, 1, 2, 10, 25.04}},
         {{1, 4, at(7, 5, 0), "P", "i", "SPZ", 1, {}, "+"},
          {2, 4, at(7, 20, 0), "LR", "", "LPN", 0},
          {3, 4, at(7, 25, 0), "LRM", "", "LPZ"}},
         {{1, 2, "LPN", at(7, 21, 30), 7, {}, {}, 18.6, 0.1234, 20.4, 2.5},
          {2, 2, "LPZ", at(7, 22, 0), 0, {}, {}, {}, {}, 19.5, 3.25, 6.25}},
         {"FEB05", "SPZ IP0705001 FMC LPN LR2000 XM2130 LPZ XM2130 T20A2.5", "LPE XM2130 T19A0.123",
          "LPZ XM2200 T20A3.25", "LR", "(( FOCUS 070000.5 LAT 1 LON 2 DEP 10. D25 MAG MS6.2 ))", "STOP"}},
        {"OUT texts, midnight and the line limit",
         {{5, at(23, 58, 0), {}, {}, {}, {}, {}, {}, "", "  out 5 jan  12 mar 0315 Feb @. прочее"},
          {6, {}, {}, {}, {}, {}, {}, {}, "", "землетрясение"}},
         {{1, 5, at(23, 59, 50), "P", "e", "SPZ", 0},
          {2, 5, at(0, 0, 20), "LR", "", "LPZ", 0},
          {3, 6, at(1, 0, 0), "P", "e", "SPZ"},
          {4, 6, at(1, 1, 0), "S", "e", "SPZ"},
          {5, 6, at(1, 2, 0), "S", "e", "SPZ"},
          {6, 6, at(1, 3, 0), "S", "e", "SPZ"},
          {7, 6, at(1, 4, 0), "S", "e", "SPZ"},
          {8, 6, at(1, 5, 0), "S", "e", "SPZ"},
          {9, 6, at(1, 6, 0), "S", "e", "SPZ"}},
         {},
         {"OUT JAN05 MAR12 0315 FEB??", "FEB05", "SPZ EP235950 LPZ LR000020", "(( FOCUS 235800.0 ))",
          "SPZ EP010000 ES0100 ES0200 ES0300 ES0400 ES0500", "ES0600", "STOP"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const char *table : {"Динамические замеры", "Станционный бюллетень", "События"})
            exec(db(), QStringLiteral("delete from [%1]").arg(QString::fromUtf8(table)));
        for (const Event &e : c.events)
            add(e);
        for (const Reading &r : c.readings)
            add(r);
        for (const Measurement &m : c.measurements)
            add(m);
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
    add(Event{30});
    add(Reading{300, 30, at(9, 0, 0), "P", "e", "SPZ", {}, {}, "", "", "", "O'K"});
    MessageRecorder messages;
    const QByteArray bytes = run();
    EXPECT_TRUE(bytes.startsWith("SEISMO N6036 PET BEG FEB05")) << bytes.toStdString();
    EXPECT_TRUE(bytes.endsWith("MAG MPSP5.6 ))\nSTOP\nSEISMO N6036 O'K BEG FEB05 000000 END FEB06 000000\n"
                               "FEB05\nSPZ EP090000\nSTOP\r\n"))
        << bytes.toStdString();
    EXPECT_EQ(messages.count(), 0);
}

// A file made elsewhere may keep its reading numbers as text; a number is still a value, never part of
// the statement.
TEST_F(SqliteRun, ReadingNumberFromTheFileIsQuoted)
{
    exec(db(), "drop table [Динамические замеры]");
    exec(db(), "drop table [Станционный бюллетень]");
    exec(db(),
         "create table [Станционный бюллетень] (arid varchar(30),N_equake integer,Station_Cod varchar(20),"
         "[date] Date,FM char(2),Qual char(10),Interpretation integer,Phase char(10),Channel_Cod char(3),"
         "Channel_component char(4),[Time] date,[Dec] integer,FM_NS char(2),FM_EW char(2))");
    exec(db(),
         "create table [Динамические замеры] (Id_XM counter,arid integer,Channel_CodXM char(3),"
         "Channel_componentXM char(4),TimeXM date,DecXm integer,Period_NS float,Amp_NS float,"
         "Period_EW float,Amp_EW float,Period_Z float,Amp_Z float,Magnitude_Z float,primary key (Id_XM))");
    workedExample();
    exec(db(), QStringLiteral("update [Станционный бюллетень] set arid='0 or arid=100' where arid='101'"));
    MessageRecorder messages;
    const QByteArray bytes = run();
    EXPECT_EQ(bytes, kWorkedExampleSummary);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(SqliteRun, EventAcrossMidnightBelongsToTheDayItBegan)
{
    add(Event{20, at(23, 50, 0)});
    add(Event{21, at(2, 0, 0, 1)});
    add(Reading{1, 20, at(23, 50, 30), "P", "e", "SPZ"});
    add(Reading{2, 20, at(0, 10, 0, 1), "S", "e", "SPZ", {}, {}, "", "", "", "", at(0, 0, 0, 1)});
    add(Reading{3, 21, at(2, 0, 30, 1), "P", "e", "SPZ", {}, {}, "", "", "", "", at(0, 0, 0, 1)});
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
    MessageRecorder messages;
    host->dialogOk = false;
    SummaryRunStats stats;
    SvodkaProc(*host, &stats);
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(stats.statements, 0);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(host->edited.isEmpty());

    host->dialogOk = true;
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

    workedExample();
    messages.clear();
    host->sett.svodka_dir = dir.file(QStringLiteral("missing"));
    host->sett.mails_send = true;
    host->editorResult = IDOK;
    SvodkaProc(*host);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(
        QStringLiteral("SvodkaProc: Операция прервана. Сообщение об ошибке:\rНе удалось записать файл \"")))
        << messages.last().text.toStdString();
    EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(host->edited.size(), 1);
    EXPECT_TRUE(host->mails.isEmpty());
}

// A day whose next one no product can name (the date edits offer none) is refused before anything runs.
TEST_F(SqliteRun, TheCalendarsLastDayIsRefused)
{
    workedExample();
    MessageRecorder messages;
    host->sett.svodka_date = EncodeDate(9999, 12, 31);
    SummaryRunStats stats;
    SvodkaProc(*host, &stats);
    EXPECT_EQ(
        shown(messages),
        QList<Shown>{Shown(QStringLiteral("SvodkaProc: Операция прервана. Сообщение об ошибке:\rДата сводки "
                                          "31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998."),
                           MB_ICONERROR)});
    EXPECT_EQ(stats.statements, 0);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(host->edited.isEmpty());
}

TEST_F(SqliteRun, MailFollowsTheEditorsChoice)
{
    workedExample();
    const char *sent = "Готово!\rСводка успешно отправлена по почте.";
    const char *failed = "Готово!\rНе удалось отправить сводку по почте!";
    const struct
    {
        bool send, attach, mailOk;
        int result;
        const char *body; // of the one mail sent, null for none
        const char *message;
        unsigned icon; // a failed mail is a warning
    } cases[] = {
        {false, false, true, IDOK, nullptr, "", 0},
        {true, false, true, IDYES, nullptr, "", 0},
        {true, false, true, IDOK, "ПРАВКА\r\nSTOP", sent, MB_ICONINFORMATION},
        {true, true, true, IDOK, "Сводка PET_036", sent, MB_ICONINFORMATION},
        {true, true, false, IDOK, "Сводка PET_036", failed, MB_ICONWARNING},
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
        const QString attachment = c.attach ? dir.file(QStringLiteral("PET_036")) : QString();
        const QList<QStringList> mails{{"s", QString::fromUtf8(c.body), attachment}};
        EXPECT_EQ(host->mails, c.body ? mails : QList<QStringList>());
        if (*c.message) {
            ASSERT_EQ(messages.count(), 1);
            EXPECT_EQ(messages.last().text, QString::fromUtf8(c.message));
            EXPECT_EQ(messages.last().icon, c.icon);
        } else {
            EXPECT_EQ(messages.count(), 0);
        }
    }
}

} // namespace
