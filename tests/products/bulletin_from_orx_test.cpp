#include "bulletin_test_support.h"
#include "db/table_creates.h"
#include "lib/epoch.h"
#include "support/program_env.h"

#include <QDir>

namespace {

double epoch(int m, int d, int h, int n, double s)
{
    return htoe(2024, quint16(m), quint16(d), quint16(h), quint16(n), s);
}

const QVariant nd = QVariant(QMetaType::fromType<double>());
const QVariant nt = QVariant(QMetaType::fromType<QString>());

// One reading; the columns left out are null.
struct Reading
{
    int arid;
    const char *eventid, *sta, *chan, *phase;
    double itime;
    QVariant amptime = nd, ampl = nd, per = nd;
    const char *fm = nullptr, *imEm = nullptr, *chantype = "SH";
    QVariant dist = nd, azimuth = nd, ema = nd, regclass = nd, mb = nd, ms = nd, ml = nd;
    const char *afiltype = nullptr, *pfiltype = nullptr;
};

QVariant text(const char *s)
{
    return s ? QVariant(QString::fromUtf8(s)) : nt;
}

template <class Env> class BulletinFromOrx : public OnBothBackends<Env>
{
protected:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        for (const char *sql : OrxTableCreates())
            this->orx->exec(sql);
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        host = std::make_unique<FakeReportHost>(dir.path());
        host->filters = {tfilt{QStringLiteral("FA"), 0.5, 5.0}};
        tstainfo obn;
        obn.sta = QStringLiteral("OBNI");
        obn.name = QStringLiteral("Обнинск");
        obn.code = QStringLiteral("OBN");
        tstainfo klg;
        klg.code = QStringLiteral("KLG");
        host->stations = {{QStringLiteral("OBN"), obn}, {QStringLiteral("KLG"), klg}};
        state.sett.fullorx = true;
        state.codes = {QStringLiteral("OBN"), QStringLiteral("KLG")};
        state.stations = {obn, klg};
        state.tempFile = dir.file(QStringLiteral("system/stbul_1.htm"));
        state.period = {EncodeDate(2024, 3, 11), EncodeDate(2024, 3, 20), 8, {}};
        state.options.fi = QStringLiteral("55° 06' 00\" N");
        state.options.lamb = QStringLiteral("036° 36' 00\" E");
        state.options.hval = QStringLiteral("150");
        state.options.subter = QStringLiteral("2");
        fill();
    }

    void origin(const char *id, const QVariant &time, const QVariant &lat, const QVariant &lon,
                const QVariant &depth, const QVariant &mb, const char *comment)
    {
        this->orx->exec(
            "insert into origin (eventid,origintime,lat,lon,depth,mb,ms,comment) values (?,?,?,?,?,?,?,?)",
            {QString::fromLatin1(id), time, lat, lon, depth, mb, nd, text(comment)});
    }
    void reading(const Reading &r)
    {
        // A run closes the connection when it ends; the fixture writes on between runs.
        if (!this->orx->db->Connected())
            this->orx->db->Open();
        this->orx->exec(
            "insert into arrival (arid,eventid,sta,chan,iphase,itime,amptime,ampl,per,fm,im_em,chantype,"
            "dist,azimuth,ema,regclass,mb,ms,ml,afiltype,pfiltype) values "
            "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            {r.arid,    text(r.eventid),  text(r.sta),     text(r.chan), text(r.phase), r.itime,
             r.amptime, r.ampl,           r.per,           text(r.fm),   text(r.imEm),  text(r.chantype),
             r.dist,    r.azimuth,        r.ema,           r.regclass,   r.mb,          r.ms,
             r.ml,      text(r.afiltype), text(r.pfiltype)});
    }

    void fill()
    {
        auto &o = *this->orx;
        o.exec("insert into site (sta,cod,descr,lat,lon,elev,underground) values "
               "('OBN','OBNI','Обнинск',55.1,36.6,150,2)");
        o.exec("insert into site (sta,cod,descr,lat,lon,elev) values ('KLG','KLGA','',54.5,36.25,200.5)");
        o.exec("insert into site (sta,cod,descr,lat,lon,elev) values ('MSK','','',55.75,37.5,120)");
        for (const char *chan : {"SHZ", "SHN", "SHE"})
            o.exec("insert into sitechan (sta,chan,descr) values ('OBN',?,'СКМ-3')",
                   {QString::fromLatin1(chan)});
        o.exec("insert into sitechan (sta,chan,descr) values ('OBN','BHZ','СКД')");
        o.exec("insert into sitechan (sta,chan,descr) values ('KLG','SHZ','СМ3')");

        // Before the period, and one whose first reading is just before it.
        origin("2024OBN0001", epoch(3, 1, 5, 0, 0), nd, nd, nd, nd, nullptr);
        reading({1, "2024OBN0001", "OBN", "SHZ", "P", epoch(3, 1, 5, 1, 0)});
        origin("2024OBN0002", epoch(3, 10, 23, 59, 0), nd, nd, nd, nd, nullptr);
        reading({2, "2024OBN0002", "OBN", "SHZ", "P", epoch(3, 10, 23, 59, 50)});
        reading({3, "2024OBN0002", "OBN", "SHZ", "S", epoch(3, 11, 0, 0, 10)});

        origin("2024OBN0003", epoch(3, 12, 10, 0, 0), 55.5, 37.25, 10.4, 4.5, "ощутимое");
        Reading p{10, "2024OBN0003", "OBN", "SHZ", "P", epoch(3, 12, 10, 0, 30)};
        p.ampl = 1.5;
        p.per = 0.2;
        p.fm = "c";
        p.imEm = "i";
        p.dist = 2.36;
        p.azimuth = 123.6;
        p.ema = 45.4;
        p.regclass = 9.87654;
        reading(p);
        Reading tx{11, "2024OBN0003", "OBN", "SHN", "TX", epoch(3, 12, 10, 0, 30.5)};
        tx.amptime = epoch(3, 12, 10, 0, 31);
        tx.ampl = 2.0;
        tx.per = 0.4;
        tx.mb = 4.2;
        reading(tx);
        Reading s{12, "2024OBN0003", "OBN", "SHE", "S", epoch(3, 12, 10, 1, 10.3)};
        s.amptime = epoch(3, 12, 10, 1, 11);
        s.ampl = 3.0;
        s.per = 0.5;
        s.fm = "d";
        s.imEm = "e";
        s.afiltype = "0.5 5";
        s.ms = 0.0;
        s.ml = 3.1;
        reading(s);
        Reading lr{13, "2024OBN0003", "OBN", "BHZ", "LR", epoch(3, 12, 10, 5, 0)};
        lr.ampl = 10.0;
        lr.per = 20.0;
        lr.fm = "u";
        lr.imEm = "e";
        lr.chantype = "BH";
        reading(lr);
        Reading a{14, "2024OBN0003", "OBN", "SHZ", "A", epoch(3, 12, 10, 6, 0)};
        a.amptime = epoch(3, 12, 10, 6, 0.5);
        a.ampl = 0.7;
        a.per = 1.0;
        a.imEm = "i";
        a.pfiltype = "1,0 2,0";
        reading(a);
        Reading k{20, "2024OBN0003", "KLG", "SHZ", "P", epoch(3, 12, 10, 0, 40)};
        k.dist = 3.1;
        reading(k);
        // An S more than an hour after its P.
        reading({21, "2024OBN0003", "KLG", "SHZ", "S", epoch(3, 12, 11, 2, 45.5)});

        origin("2024OBN0004", nd, nd, nd, nd, nd, nullptr);
        reading({30, "2024OBN0004", "OBN", "SHZ", "Pn", epoch(3, 20, 23, 59, 59.9)});
        // Exactly at the period's end: outside.
        origin("2024OBN0005", epoch(3, 21, 0, 0, 0), nd, nd, nd, nd, nullptr);
        reading({31, "2024OBN0005", "OBN", "SHZ", "P", epoch(3, 21, 0, 0, 0)});
    }

    QByteArray run()
    {
        ORXMakeReport(state, *host, *this->orx->db, true, &stats);
        return readAll(state.tempFile);
    }

    // With no station to report on neither grouping makes a bulletin: by stations an empty one that is
    // neither saved nor mailed, by events none, and the run says so.
    void expectNoBulletinEitherWay()
    {
        state.options.mailSend = true;
        state.options.qtype = 0;
        EXPECT_EQ(run(), QByteArray("</body></html>\r\n"));
        EXPECT_FALSE(state.reportMade);
        EXPECT_TRUE(host->mails.isEmpty());
        state.options.qtype = 1;
        run();
        EXPECT_EQ(shown(rec),
                  (QList<Shown>{
                      {"Нет ни одной станции для отчёта,\rпоэтому отчёт не будет сделан.", MB_ICONWARNING}}));
        EXPECT_FALSE(state.reportMade);
    }

    TestDir dir;
    std::unique_ptr<FakeReportHost> host;
    ReportState state;
    OrxReportStats stats;
    MessageRecorder rec;
};

TYPED_TEST_SUITE(BulletinFromOrx, BothBackends, BackendName);

TYPED_TEST(BulletinFromOrx, OneStationByArrivalTime)
{
    this->state.options.repset = 0;
    expectSameLines(this->run(), golden({"head_orx_q0.htm", "orx_e3_q0_event.htm", "orx_e3_obn_readings.htm",
                                         "orx_e4_q0.htm", "end_table.htm", "end_body.htm"}));
    EXPECT_TRUE(this->state.reportMade);
    EXPECT_EQ(this->rec.count(), 0);
    EXPECT_EQ(this->host->shown, QStringList{this->state.tempFile});
    EXPECT_EQ(this->stats.events, 2);
    EXPECT_FALSE(this->orx->db->Connected());
}

TYPED_TEST(BulletinFromOrx, SelectedAndCheckedByEventsByOriginTime)
{
    this->state.options.repset = 2;
    this->state.options.qtype = 1;
    this->state.sett.selperiod = 1;
    expectSameLines(this->run(), golden({"head_orx_q1.htm", "orx_e3_q1_stations.htm",
                                         "orx_e3_obn_readings.htm", "end_table.htm", "end_body.htm"}));
    EXPECT_TRUE(this->state.reportMade);
    EXPECT_EQ(this->state.reportCodes, (QStringList{"KLG", "OBN"}));
    EXPECT_EQ(this->state.codeIndex, (QList<int>{1, 0}));
}

TYPED_TEST(BulletinFromOrx, ByOriginTimeTheEventsBeforeThePeriodAreCounted)
{
    this->state.options.repset = 0;
    this->state.sett.selperiod = 1;
    const QStringList lines = fromCp1251(this->run()).split(QStringLiteral("\r\n"));
    // Two origins before the period: the first one inside is number 3; the one without origin time is out.
    EXPECT_TRUE(lines.contains(QStringLiteral("<td><b>3</b></td>")));
    EXPECT_FALSE(lines.contains(QStringLiteral("<td><b>4</b></td>")));
    EXPECT_FALSE(lines.contains(QStringLiteral("<td>20.03.2024</td>")));
}

TYPED_TEST(BulletinFromOrx, CheckedStationsHeadedFromTheSiteTable)
{
    this->state.options.repset = 1;
    const QStringList lines = fromCp1251(this->run()).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.contains(QStringLiteral("KLGA / KLG")));
    EXPECT_TRUE(lines.contains(QStringLiteral("54° 30' 0 &quot; N;")));
    EXPECT_TRUE(lines.contains(QStringLiteral("36 ° 15' 0 &quot; E; <b>H = </b>200.5 м")));
    EXPECT_TRUE(lines.contains(QStringLiteral("&lt; не указана &gt;")));
    EXPECT_TRUE(lines.contains(QStringLiteral("<td><b>1</b></td>")));
    EXPECT_EQ(lines.first(),
              QString::fromUtf8(
                  R"(<html><head><meta http-equiv=Content-Type content="text/html; charset=windows-1251">)"));
}

TYPED_TEST(BulletinFromOrx, EveryStationWithDataOfTheNetwork)
{
    this->reading({40, "2024OBN0003", "MSK", "SHZ", "P", epoch(3, 12, 10, 0, 20)});
    this->state.options.repset = 3;
    QStringList lines = fromCp1251(this->run()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(this->state.reportCodes, (QStringList{"KLG", "MSK", "OBN"}));
    EXPECT_EQ(this->state.codeIndex, (QList<int>{1, -1, 0}));
    const auto heads = [](const QStringList &l) {
        QStringList names;
        for (qsizetype i = 0; i + 1 < l.size(); ++i)
            if (l[i] == QStringLiteral("<td nowrap colspan=2 valign=top style=\"font-size:10.0pt\"><u>"))
                names << l[i + 1];
        return names;
    };
    EXPECT_EQ(heads(lines), (QStringList{"KLGA / KLG", "/ MSK", "Обнинск"}));
    EXPECT_EQ(lines.filter(QStringLiteral("<html>")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("charset")).size(), 1);

    this->state.networkCodes = {QStringLiteral("obn"), QStringLiteral("MSK")};
    lines = fromCp1251(this->run()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(this->state.reportCodes, (QStringList{"MSK", "OBN"}));
    EXPECT_EQ(heads(lines), (QStringList{"/ MSK", "Обнинск"}));
}

// Values no calendar or integer holds print as they are stored and the bulletin is made: an S time of
// 1e300 seconds gives an S-P of its seconds, an azimuth of 1.5e308 stands as it is.
TYPED_TEST(BulletinFromOrx, ImpossibleValuesPrintAsStored)
{
    this->orx->exec("update arrival set itime=?, azimuth=? where arid=12", {1e300, 1.5e308});
    this->orx->exec("update arrival set azimuth=? where arid=10", {1.5e308});
    this->state.options.repset = 0;
    this->state.options.qtype = 1;
    const QStringList lines = fromCp1251(this->run()).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.contains(QStringLiteral("<td>1E300</td>")))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("Az= 1.5E308° ")).size() == 1)
        << lines.filter(QStringLiteral("Az=")).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(this->state.reportMade);
    EXPECT_EQ(this->rec.count(), 0) << this->rec.last().text.toStdString();
}

TYPED_TEST(BulletinFromOrx, AFirstStationWithoutEventsLeavesTheHtmlHeadAtTheTop)
{
    // MSK sorts first and has nothing in the period: its pass only closes a table, and the file still
    // opens with the html head and its charset, followed by OBN's bulletin.
    tstainfo msk;
    msk.code = QStringLiteral("MSK");
    this->state.codes = {QStringLiteral("OBN"), QStringLiteral("MSK")};
    this->state.stations = {this->state.stations.first(), msk};
    this->state.options.repset = 2;
    expectSameLines(this->run(),
                    golden({"head_orx_q0_after_empty.htm", "orx_e3_q0_event.htm", "orx_e3_obn_readings.htm",
                            "orx_e4_q0.htm", "end_table.htm", "end_body.htm"}));
    EXPECT_EQ(this->state.reportCodes, (QStringList{"MSK", "OBN"}));
    EXPECT_TRUE(this->state.reportMade);
    EXPECT_EQ(this->rec.count(), 0);
}

TYPED_TEST(BulletinFromOrx, NoStationToReportOn)
{
    this->state.codes.clear();
    this->state.stations.clear();
    this->state.options.repset = 1;
    this->run();
    EXPECT_EQ(shown(this->rec),
              (QList<Shown>{{"Была выбрана опция \"делать отчёт по станциям с\rгалочкой\",но ни "
                             "одна станция не отмечена\rгалочкой,поэтому отчёт не будет сделан.",
                             MB_ICONWARNING}}));
    EXPECT_FALSE(QFile::exists(this->state.tempFile));

    // By stations an empty bulletin; by events no statement with an empty station list is run.
    this->rec.clear();
    this->state.options.repset = 0;
    this->expectNoBulletinEitherWay();
    EXPECT_TRUE(this->stats.statements.isEmpty());
}

TYPED_TEST(BulletinFromOrx, AChannelOfTwoCharactersStopsTheRunAndKeepsTheFile)
{
    this->state.options.repset = 0;
    this->run();
    ASSERT_TRUE(this->state.reportMade);
    this->reading({50, "2024OBN0003", "OBN", "SH", "S", epoch(3, 12, 10, 0, 50)});
    const QByteArray partial = this->run();
    EXPECT_EQ(shown(this->rec),
              (QList<Shown>{{"Не найдена компонента канала (станция OBN, eventid = 2024OBN0003)!\r"
                             "Возможно, не указан тип канала.\rЗначение поля ARRIVAL.CHAN, "
                             "вызвавшее ошибку: \"SH\"",
                             MB_ICONERROR}}));
    EXPECT_FALSE(this->state.reportMade);
    const QStringList lines = fromCp1251(partial).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.contains(QStringLiteral("<td>+i P</td>")));
    EXPECT_FALSE(lines.contains(QStringLiteral("</body></html>")));
    EXPECT_FALSE(lines.contains(QStringLiteral("<td>-e S</td>")));
}

TYPED_TEST(BulletinFromOrx, AFullDiskLeavesTheBulletinBefore)
{
    this->state.options.repset = 0;
    this->state.options.mailSend = true;
    const QByteArray before = this->run();
    ASSERT_TRUE(this->state.reportMade);
    this->host->mails.clear();
    this->host->shown.clear();
    {
        DiskFullAfter full(100);
        EXPECT_EQ(this->run(), before);
    }
    EXPECT_FALSE(this->state.reportMade);
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_TRUE(this->rec.last().text.startsWith(
        QStringLiteral("ORXMakeReport: Операция прервана. Сообщение об ошибке:\rНе удалось записать файл ")));
    EXPECT_EQ(this->rec.last().icon, unsigned(MB_ICONERROR));
    EXPECT_TRUE(this->host->mails.isEmpty());
    EXPECT_TRUE(this->host->shown.isEmpty());
    EXPECT_TRUE(
        folderEntries(this->dir.file(QStringLiteral("system"))).filter(QStringLiteral(".tmp-")).isEmpty());
}

// Nor is it shown: the view stays as empty as after a refused run.
TYPED_TEST(BulletinFromOrx, CancelledRunIsNeitherMadeNorMailed)
{
    this->state.options.repset = 0;
    this->state.options.mailSend = true;
    this->host->cancelAtCall = 1;
    EXPECT_EQ(this->run(), QByteArray("</table>\r\n</body></html>\r\n"));
    EXPECT_FALSE(this->state.reportMade);
    EXPECT_TRUE(this->host->mails.isEmpty());
    EXPECT_TRUE(this->host->shown.isEmpty());

    this->host->cancelAtCall = 0;
    this->run();
    EXPECT_TRUE(this->state.reportMade);
    EXPECT_EQ(this->host->shown, QStringList{this->state.tempFile});
    ASSERT_EQ(this->host->mails.size(), 1);
    EXPECT_EQ(this->host->mails.first().at(0), QStringLiteral("Станционный бюллетень"));
    EXPECT_FALSE(QFile::exists(this->dir.file(QStringLiteral("system/stbul_5.zip"))));
}

} // namespace
