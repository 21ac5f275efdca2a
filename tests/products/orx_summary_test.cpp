#include "lib/epoch.h"
#include "summary_test_host.h"

#include <cmath>
#include <limits>

namespace {

const char kOrigin[] =
    "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,"
    "comment varchar(80),primary key (eventid))";
const char kArrival[] =
    "create table arrival (nindex integer,numb integer,eventid varchar(20),sta varchar(6),chan varchar(8),"
    "iphase varchar(8),itime float,deltim float,azimuth float,slow float,ema float,rect float,fm varchar(2),"
    "im_em varchar(2),per float,residuals float,ampl float,wgt float,ARID integer,ms float,mb float,amptime "
    "float,DIST float,CODA float,REGCLASS float,MCODA float,MPSP float,MPLP float,CHANTYPE varchar(4),REMARK "
    "varchar(30),AFILTYPE varchar(30),PFILTYPE varchar(30),MWA float,ML float,flag integer)";

constexpr double N = std::numeric_limits<double>::quiet_NaN();

double ep(int d, int h, int n, double s)
{
    return htoe(2026, 2, quint16(d), quint16(h), quint16(n), s);
}

QVariant num(double v)
{
    return std::isnan(v) ? QVariant(QMetaType::fromType<double>()) : QVariant(v);
}
QVariant str(const char *s)
{
    return s ? QVariant(QString::fromUtf8(s)) : QVariant(QMetaType::fromType<QString>());
}

struct Arr
{
    const char *eventid, *sta, *chan, *chantype, *iphase;
    double itime;
    const char *imEm = nullptr, *fm = nullptr;
    double ampl = N, per = N, amptime = N;
    double regclass = N, dist = N, ms = N, mpsp = N;
    const char *pfiltype = nullptr;
    int flag = 1;
};

template <class Env> class OrxSummaryTest : public OnBothBackends<Env>
{
public:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        host = std::make_unique<FakeSummaryHost>(*this->orx->db, Env::odbc, QStringLiteral("orx"));
        host->code = QStringLiteral("ABC");
        this->orx->exec(kOrigin);
        this->orx->exec(kArrival);
        host->sett.svodka_date = EncodeDate(2026, 2, 5);
        host->sett.svodka_dir = dir.path();
        host->sett.multi_name = QStringLiteral("_multi");
        host->sett.useflag = true;
        host->sett.dperiod = false;
        day();
    }

    DbConnection &db()
    {
        if (!host->conn.Connected())
            host->conn.Open();
        return host->conn;
    }
    void origin(const char *id, double time, double lat, double lon, double depth,
                const char *comment = nullptr)
    {
        exec(db(),
             QStringLiteral(
                 "insert into origin (eventid,lat,lon,depth,origintime,comment) values (?,?,?,?,?,?)"),
             {str(id), num(lat), num(lon), num(depth), time, str(comment)});
    }
    void arrival(const Arr &a)
    {
        exec(db(),
             QStringLiteral(
                 "insert into arrival (eventid,sta,chan,CHANTYPE,iphase,itime,im_em,fm,ampl,per,amptime,"
                 "REGCLASS,DIST,ms,MPSP,PFILTYPE,flag) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             {str(a.eventid), str(a.sta), str(a.chan), str(a.chantype), str(a.iphase), a.itime, str(a.imEm),
              str(a.fm), num(a.ampl), num(a.per), num(a.amptime), num(a.regclass), num(a.dist), num(a.ms),
              num(a.mpsp), str(a.pfiltype), a.flag});
    }

    // 5 February 2026 at ABC and DEF; ZZZ records one event too; GHI records nothing.
    void day()
    {
        // First arrival at ABC the day before: not in the day's summary.
        origin("100", ep(4, 23, 58, 0), 1, 1, 1);
        arrival({"100", "ABC", "SHZ", "SP", "P", ep(4, 23, 59, 0)});
        arrival({"100", "ABC", "SHZ", "SP", "S", ep(5, 0, 0, 30)});

        // Columns after the time: im_em, fm, ampl, per, amptime, REGCLASS, DIST, ms, MPSP, PFILTYPE, flag.
        origin("101", ep(5, 8, 12, 30.5), 55.74, -37.62, 10.4, "felt CLA 3 region");
        arrival({"101", "ABC", "SHZ", "SP", "P", ep(5, 8, 13, 1.2), "i", "c", 0.5, 0.8, ep(5, 8, 13, 2),
                 10.46, 12.34, N, 5.06});
        arrival({"101", "ABC", "SHN", "SP", "P", ep(5, 8, 13, 3), "e", "d", 0.3, 0.6});
        arrival({"101", "ABC", "SHE", "SP", "S", ep(5, 8, 14, 10)});
        arrival({"101", "ABC", "SHZ", "SP", "AML", ep(5, 8, 14, 20), nullptr, nullptr, 1.2, 1.5,
                 ep(5, 8, 14, 21)});
        arrival({"101", "ABC", "SHZ", "SP", "Pg", ep(5, 8, 20, 0), nullptr, nullptr, N, N, N, N, N, N, N,
                 nullptr, 0});
        arrival({"101", "ABC", "LHZ", "LP", "LR", ep(5, 8, 25, 33.6), nullptr, nullptr, 2.5, 18.4,
                 ep(5, 8, 25, 50), N, N, 4.83});
        arrival({"101", "ABC", "SHZ", "SP", "ZZ", ep(5, 8, 30, 0)});
        arrival({"101", "ZZZ", "SHZ", "SP", "P", ep(5, 8, 13, 0)});

        // Past midnight.
        origin("102", ep(5, 23, 58, 0), N, N, N);
        arrival({"102", "ABC", "SHZ", "SP", "Pn", ep(5, 23, 59, 58), "W"});
        arrival({"102", "ABC", "LHN", nullptr, "LQ", ep(6, 0, 0, 40), nullptr, "+", 0.04, 120,
                 ep(6, 0, 1, 30), N, N, N, N, "0.5 2"});

        // Origin in the day, arrival only after it: in the summary by origin time alone.
        origin("104", ep(5, 23, 59, 59), N, N, N);
        arrival({"104", "ABC", "SHZ", "SP", "P", ep(6, 0, 1, 0)});

        origin("103", ep(5, 12, 0, 0), 12.25, 0, N);
        arrival({"103", "DEF", "SHZ", "SP", "AML", ep(5, 12, 0, 5), nullptr, nullptr, 0.2, 0.5});
        arrival({"103", "DEF", "SHZ", "SP", "E", ep(5, 12, 0, 9), "e"});
        arrival({"103", "DEF", "LHE", "LP", "LRM", ep(5, 12, 10, 59.5), nullptr, nullptr, 1, 20, N, N, N, 0});
        arrival({"103", "DEF", "SHZ", "SP", "Xq", ep(5, 12, 20, 0)});
    }

    QString file(const QString &name) { return fromCp1251(readBytes(dir.file(name))); }

    TestDir dir;
    std::unique_ptr<FakeSummaryHost> host;
    MessageRecorder rec;
};

TYPED_TEST_SUITE(OrxSummaryTest, BothBackends, BackendName);

// Written from the rules: the header from the station's international code; ABC's first event with both
// P channels under one name, the S and the amplitude-only reading of the S train with their own wave
// types, the surface wave timed to the second; the second event past midnight with its date line and
// an LQ of 120 s without XM; DEF with an amplitude before any body phase and an LRM rounded to 60 s.
const char kGolden[] = "SEISMO N6036 ABK BEG FEB05 000000 END FEB06 000000\n"
                       "FEB05\n"
                       "SPZ IP081301.2 FMC XM1302 T0.8A500. FMS SPN XM1303.3 T0.6A300.\n"
                       "SPE S1410 SPZ S1420 MPZ XM1421 T1.5A12.\n"
                       "LPZ LR2534 XM2550 T18A2.5\n"
                       "(( FOCUS 081230.5 LAT 55.7N LON 37.6W DEP 10. D12.3 MAG MPSP5.1 MS4.8\n"
                       "CLA 3 region K10.5 ))\n"
                       "SPZ QPN235958\n"
                       "FEB06\n"
                       "BPN LQ000040 FM,N MPN T120A0.4\n"
                       "(( FOCUS 235800. ))\n"
                       "STOP\n"
                       "SEISMO N6036 DEF BEG FEB05 000000 END FEB06 000000\n"
                       "FEB05\n"
                       "SPZ P120005 MPZ XM0005.2 T0.5A0.2\n"
                       "E0009\n"
                       "LPE LR1060 XM1109.5 T20A1.\n"
                       "(( FOCUS 120000. LAT 12.2N LON 0.E ))\n"
                       "STOP\n"
                       "SEISMO N6036 GHI BEG FEB05 000000 END FEB06 000000\n"
                       "STOP\n";

TYPED_TEST(OrxSummaryTest, WritesTheTelegramsOfTheChosenStations)
{
    this->host->sett.svset = 2;
    this->host->checked = QStringList{"DEF", "GHI"};
    this->host->sett.mails_send = true;
    SummaryRunStats stats;
    EXPECT_TRUE(ORXSvodka(*this->host, &stats));
    const QString name = this->dir.file(QStringLiteral("_multi_6036"));
    EXPECT_EQ(this->host->edited, QStringList{name});
    EXPECT_EQ(this->file(QStringLiteral("_multi_6036")), QString::fromUtf8(kGolden));
    ASSERT_EQ(this->host->mails.size(), 1);
    EXPECT_EQ(this->host->mails[0][0], QStringLiteral("s"));
    EXPECT_EQ(this->host->mails[0][1],
              QString::fromUtf8(kGolden).split(QLatin1Char('\n')).join(QStringLiteral("\r\n")));
    EXPECT_EQ(
        shown(this->rec),
        QList<Shown>{Shown(QStringLiteral("Готово!\rСводка успешно отправлена по почте.\r\rНет данных по "
                                          "следующим станциям: GHI\r\rВстретились неизвестные фазы: Xq, "
                                          "ZZ\rЭти фазы игнорировались"),
                           MB_ICONINFORMATION)});
    EXPECT_FALSE(this->host->conn.Connected());

    // A mail that did not go is a warning, not a plain "done".
    this->rec.clear();
    this->host->mailOk = false;
    EXPECT_TRUE(ORXSvodka(*this->host, &stats));
    EXPECT_EQ(
        shown(this->rec),
        QList<Shown>{Shown(QStringLiteral("Готово!\rНе удалось отправить сводку по почте!\r\rНет данных по "
                                          "следующим станциям: GHI\r\rВстретились неизвестные фазы: Xq, "
                                          "ZZ\rЭти фазы игнорировались"),
                           MB_ICONWARNING)});
}

TYPED_TEST(OrxSummaryTest, EventsByOriginTime)
{
    this->host->sett.svset = 0;
    this->host->sett.selperiod = 1;
    EXPECT_TRUE(ORXSvodka(*this->host));
    QString abc = QString::fromUtf8(kGolden);
    abc.truncate(abc.indexOf(QStringLiteral("STOP\n")));
    abc += QStringLiteral("SPZ P000100\n(( FOCUS 235959. ))\nSTOP\n");
    EXPECT_EQ(this->file(QStringLiteral("ABC_6036")), abc);
}

// A station's origins and arrivals are read at once, and each event still gets what its own statements
// would give: the arrivals by time, what the time leaves equal by ARID; an identifier stored with
// trailing blanks (its origin found, its arrivals asked for trimmed: none); one the database matches
// blind to case (SQLite) or not at all (PostgreSQL) asked for on its own.
TYPED_TEST(OrxSummaryTest, EventsReadAtOnceKeepTheirOwnRows)
{
    this->origin("300", ep(5, 9, 0, 0), N, N, N);
    this->origin("301 ", ep(5, 9, 30, 0), N, N, N);
    this->origin("E8", ep(5, 9, 59, 0), N, N, N);
    const struct
    {
        const char *eventid, *sta, *iphase;
        double itime;
        const char *imEm;
        int arid, flag;
    } arrivals[] = {
        {"e8", "PQR", "P", ep(5, 10, 0, 0), nullptr, 40, 1}, {"300", "PQR", "P", ep(5, 9, 1, 0), "e", 32, 1},
        {"301 ", "PQR", "P", ep(5, 9, 31, 0), "e", 35, 1},   {"300", "QQQ", "S", ep(5, 9, 0, 30), "e", 33, 1},
        {"300", "PQR", "S", ep(5, 9, 2, 0), "e", 34, 0},     {"300", "PQR", "P", ep(5, 9, 1, 0), "i", 31, 1},
    };
    for (const auto &a : arrivals)
        exec(this->db(),
             QStringLiteral("insert into arrival (eventid,sta,chan,CHANTYPE,iphase,itime,im_em,ARID,flag) "
                            "values (?,?,?,?,?,?,?,?,?)"),
             {str(a.eventid), str(a.sta), QStringLiteral("SHZ"), QStringLiteral("SP"), str(a.iphase), a.itime,
              str(a.imEm), a.arid, a.flag});
    this->host->sett.svset = 0;
    this->host->code = QStringLiteral("PQR");
    SummaryRunStats stats;
    EXPECT_TRUE(ORXSvodka(*this->host, &stats));
    const QString e8 = TypeParam::odbc ? QString() : QStringLiteral("SPZ P100000\n(( FOCUS 095900. ))\n");
    EXPECT_EQ(this->file(QStringLiteral("PQR_6036")),
              QStringLiteral("SEISMO N6036 PQR BEG FEB05 000000 END FEB06 000000\nFEB05\nSPZ IP090100\n"
                             "(( FOCUS 090000. ))\n(( FOCUS 093000. ))\n") +
                  e8 + QStringLiteral("STOP\n"));
    EXPECT_EQ(this->rec.count(), 0);
    // The station list, the events, their origins, their arrivals; E8 on its own.
    EXPECT_EQ(stats.statements, 6);
}

TYPED_TEST(OrxSummaryTest, ChannelsThatCannotBeWrittenEndTheRun)
{
    this->origin("201", ep(5, 3, 0, 0), N, N, N);
    this->arrival({"201", "JKL", nullptr, "SP", "P", ep(5, 3, 1, 0)});
    this->arrival({"201", "MNO", "SH1", "SP", "P", ep(5, 3, 1, 0), nullptr, "c"});
    const struct
    {
        const char *station, *message;
    } cases[] = {
        {"JKL", "Не найдена компонента канала (eventid = 201)!"},
        {"MNO", "Неверная компонента канала: \"1\" (eventid = 201)"},
    };
    this->host->sett.svset = 0;
    for (const auto &c : cases) {
        this->rec.clear();
        this->host->code = QString::fromLatin1(c.station);
        EXPECT_FALSE(ORXSvodka(*this->host));
        EXPECT_EQ(shown(this->rec), QList<Shown>{Shown(QString::fromUtf8(c.message), MB_ICONERROR)});
        EXPECT_TRUE(this->host->edited.isEmpty());
    }
}

TYPED_TEST(OrxSummaryTest, MailsAnAttachmentOnlyWhenSent)
{
    this->host->sett.svset = 0;
    this->host->code = QStringLiteral("DEF");
    this->host->sett.mails_send = true;
    this->host->sett.mails_att = true;
    this->host->editorResult = 6;
    EXPECT_TRUE(ORXSvodka(*this->host));
    EXPECT_TRUE(this->host->mails.isEmpty());
    this->host->editorResult = IDOK;
    this->host->sett.useflag = false;
    EXPECT_TRUE(ORXSvodka(*this->host));
    ASSERT_EQ(this->host->mails.size(), 1);
    EXPECT_EQ(this->host->mails[0],
              (QStringList{"s", "Сводка DEF_6036", this->dir.file(QStringLiteral("DEF_6036"))}));
    EXPECT_TRUE(this->file(QStringLiteral("DEF_6036")).startsWith(QStringLiteral("SEISMO N6036 DEF BEG")));
}

TYPED_TEST(OrxSummaryTest, SingleStationWithoutDataWarns)
{
    this->host->sett.svset = 0;
    this->host->code = QStringLiteral("GHI");
    EXPECT_FALSE(ORXSvodka(*this->host));
    EXPECT_TRUE(this->host->edited.isEmpty());
    EXPECT_EQ(shown(this->rec),
              QList<Shown>{
                  Shown(QStringLiteral("Данные по станции GHI за этот период отсутствуют"), MB_ICONWARNING)});
    EXPECT_EQ(this->file(QStringLiteral("GHI_6036")),
              QStringLiteral("SEISMO N6036 GHI BEG FEB05 000000 END FEB06 000000\nSTOP\n"));
}

TYPED_TEST(OrxSummaryTest, TheCalendarsLastDayIsRefused)
{
    this->host->sett.svset = 0;
    this->host->sett.svodka_date = EncodeDate(9999, 12, 31);
    EXPECT_FALSE(ORXSvodka(*this->host));
    EXPECT_EQ(shown(this->rec),
              QList<Shown>{Shown(QStringLiteral("ORXSvodka: Не удалось получить МСК-85 по ORX. Сообщение об "
                                                "ошибке:\rДата сводки 31.12.9999 вне допустимых пределов: от "
                                                "01.01.1900 до 31.12.9998."),
                                 MB_ICONERROR)});
    EXPECT_TRUE(this->host->edited.isEmpty());
    EXPECT_TRUE(folderEntries(this->dir.path()).isEmpty());
}

TYPED_TEST(OrxSummaryTest, CheckedChoiceWithoutCheckedStations)
{
    this->host->sett.svset = 1;
    EXPECT_FALSE(ORXSvodka(*this->host));
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_TRUE(this->rec.last().text.startsWith(QStringLiteral("Была выбрана опция")));
    EXPECT_TRUE(folderEntries(this->dir.path()).isEmpty());
}

TYPED_TEST(OrxSummaryTest, FullDiskIsReportedAndNothingIsShown)
{
    this->host->sett.svset = 0;
    {
        DiskFullAfter full(0);
        EXPECT_FALSE(ORXSvodka(*this->host));
    }
    EXPECT_TRUE(this->host->edited.isEmpty());
    ASSERT_EQ(this->rec.count(), 1);
    // The file is named, as the summary of the bulletin database names it.
    EXPECT_EQ(this->rec.last().text,
              QStringLiteral("ORXSvodka: Не удалось получить МСК-85 по ORX. Сообщение об ошибке:\rНе удалось "
                             "записать файл \"%1\": %2")
                  .arg(this->dir.file(QStringLiteral("ABC_6036")), QStringLiteral("нет места на диске")));
    EXPECT_EQ(this->rec.last().icon, MB_ICONERROR);
    // The file as created before the disk filled, and no temporary file beside it.
    EXPECT_EQ(folderEntries(this->dir.path()), QStringList{"ABC_6036"});
    EXPECT_TRUE(this->file(QStringLiteral("ABC_6036")).isEmpty());
    EXPECT_FALSE(this->host->conn.Connected());

    // A summary folder that is not there: the file it would have been is named.
    this->rec.clear();
    this->host->sett.svodka_dir = this->dir.file(QStringLiteral("нет такой папки"));
    EXPECT_FALSE(ORXSvodka(*this->host));
    EXPECT_EQ(shown(this->rec),
              QList<Shown>{
                  Shown(QStringLiteral("ORXSvodka: Не удалось получить МСК-85 по ORX. Сообщение об "
                                       "ошибке:\rНе удалось записать файл \"%1/ABC_6036\": %2")
                            .arg(this->host->sett.svodka_dir, QStringLiteral("нет такого файла или папки")),
                        MB_ICONERROR)});
    EXPECT_TRUE(this->host->edited.isEmpty());
}

TYPED_TEST(OrxSummaryTest, StationChoice)
{
    const struct
    {
        int svset;
        QStringList checked, network;
        QStringList list;
        QString setName;
        bool networkWithoutStations = false;
    } cases[] = {
        {0, {"DEF"}, {}, {"ABC"}, "ABC"},
        {1, {"DEF"}, {}, {"DEF"}, "DEF"},
        {1, {"GHI", "DEF"}, {}, {"DEF", "GHI"}, "_multi"},
        {2, {}, {}, {"ABC"}, "ABC"},
        {2, {"ABC"}, {}, {"ABC"}, "ABC"},
        {2, {"DEF"}, {}, {"ABC", "DEF"}, "_multi"},
        {3, {}, {}, {"ABC", "DEF", "ZZZ"}, "_multi"},
        {3, {}, {"ZZZ", "GHI"}, {"ZZZ"}, "ZZZ"},
        {3, {}, {"GHI"}, {}, ""},
        {3, {}, {}, {"ABC", "DEF", "ZZZ"}, "_multi", true},
        {7, {"DEF"}, {}, {}, ""},
    };
    const QString period = QStringLiteral("itime>=") + QString::number(qint64(ep(5, 0, 0, 0))) +
                           QStringLiteral(" and itime<") + QString::number(qint64(ep(6, 0, 0, 0)));
    for (const auto &c : cases) {
        this->host->sett.svset = c.svset;
        this->host->checked = c.checked;
        this->host->network = c.network;
        this->host->networkSelected = c.networkWithoutStations;
        QStringList list;
        QString setName;
        DbQuery q(&this->db());
        EXPECT_TRUE(GetSummaryStations(*this->host, q, list, period, setName));
        EXPECT_EQ(list, c.list) << c.svset << c.networkWithoutStations;
        EXPECT_EQ(setName, c.setName) << c.svset;
    }
}

TEST(OrxSummaryRules, LayoutRefillsWordsIntoLinesOf70)
{
    const QString w70 = QString(70, u'A'), w80 = QString(80, u'B');
    // 71 characters: the last word goes to the next line.
    const QString l71 = QString(66, u'C') + QStringLiteral(" DDDD");
    EXPECT_EQ(LayoutSummaryLines(w70 + QStringLiteral("\n")), w70 + QStringLiteral("\n"));
    EXPECT_EQ(LayoutSummaryLines(l71 + QStringLiteral("\n")), QString(66, u'C') + QStringLiteral("\nDDDD\n"));
    EXPECT_EQ(LayoutSummaryLines(QStringLiteral("X ") + w80 + QStringLiteral(" Y\n")),
              QStringLiteral("X\n") + w80 + QStringLiteral("\nY\n"));
    EXPECT_EQ(LayoutSummaryLines(QStringLiteral("  A   B \n\n\nC\n")), QStringLiteral("A B\nC\n"));
}

TEST(OrxSummaryRules, HeaderAcrossTheYear)
{
    EXPECT_EQ(OrxTelegramHeader(QStringLiteral("ABC"), EncodeDate(2025, 12, 31), true),
              QStringLiteral("SEISMO N5365 :ABC BEG DEC31 000000 END JAN01 000000"));
    EXPECT_EQ(OrxTelegramHeader(QStringLiteral("ABC"), EncodeDate(2025, 1, 1), false),
              QStringLiteral("SEISMO N5001 ABC BEG JAN01 000000 END JAN02 000000"));
}

TEST(OrxSummaryRules, AmplitudeFactorByWaveType)
{
    TD2D waves;
    waves.Init(4, 0, true);
    waves.SetRow(waves.AddRows(1), {"P", "P", "1000", "*"});
    waves.SetRow(waves.AddRows(1), {"S", "S", "1", "SP=1000"});
    waves.SetRow(waves.AddRows(1), {"X", "X", "abc", "*"});
    tmulss factors;
    ParseWaveTable(waves, factors);
    EXPECT_EQ(GetAmplitudeFactor(waves, factors, 0, QStringLiteral("LP")), 1000);
    EXPECT_EQ(GetAmplitudeFactor(waves, factors, 1, QStringLiteral("sp")), 1000);
    EXPECT_EQ(GetAmplitudeFactor(waves, factors, 1, QStringLiteral("LP")), 1);
    // A multiplier that is no number: the table as read, before any repair.
    waves.SetCell(wcMultiplier, 2, QStringLiteral("abc"));
    EXPECT_THROW(GetAmplitudeFactor(waves, factors, 2, QStringLiteral("SP")), EConvertError);
}

} // namespace
