#include "bulletin_test_support.h"
#include "support/program_env.h"

#include <QDir>

namespace {

QDateTime at(int y, int m, int d, int h, int n, int s)
{
    return QDateTime(QDate(y, m, d), QTime(h, n, s));
}

// PostgreSQL and SQLite alike want the type of a bound null.
template <class T> QVariant null()
{
    return QVariant(QMetaType::fromType<T>());
}
const QVariant nullText = null<QString>(), nullDouble = null<double>(), nullDate = null<QDateTime>(),
               nullInt = null<int>();

// One reading of the station bulletin; what is left out is null.
struct Reading
{
    int arid = 0;
    QVariant seismo = nullText;
    int event = 0;
    QVariant station = nullText, day = nullDate, fm = nullText, qual = nullText, interpretation = nullInt,
             phase = nullText, channel = nullText, component = nullText, time = nullDate, dec = nullInt,
             fmNs = nullText, tNs = nullDouble, aNs = nullDouble, tEw = nullDouble, aEw = nullDouble,
             tZ = nullDouble, aZ = nullDouble, comments = nullText;
};

class BulletinFromBulletinDb : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = env.open();
        for (const char *sql : kBulletinCreates)
            exec(*db, sql);
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        host = std::make_unique<FakeReportHost>(dir.path());
        state.sett.out_provider = 0;
        state.codes = {QStringLiteral("OBN")};
        tstainfo s;
        s.code = QStringLiteral("OBN");
        s.sta = QStringLiteral("OBNI");
        s.name = QStringLiteral("Обнинск");
        state.stations = {s};
        state.tempFile = dir.file(QStringLiteral("system/stbul_0.htm"));
        state.options.fi = QStringLiteral("55° 06' 00\" N");
        state.options.lamb = QStringLiteral("036° 36' 00\" E");
        state.options.hval = QStringLiteral("150");
        state.options.subter = QStringLiteral("глина");
        fill();
    }

    void event(int num, const QVariantList &values)
    {
        QVariantList params{num};
        params << values;
        exec(*db,
             QStringLiteral(
                 "insert into [События] (num,[time],dec,lat,lon,depdp,deltagr,deltakm,seaz,emares,"
                 "S_P_time,S_P_dec,Kps,FlagQuake,StrQuake,comment) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             params);
    }
    void emptyEvent(int num)
    {
        event(num, {nullDate, nullInt, nullDouble, nullDouble, nullInt, nullDouble, nullDouble, nullDouble,
                    nullDouble, nullDate, nullInt, nullDouble, nullInt, nullText, nullText});
    }
    void reading(const Reading &r)
    {
        exec(*db,
             QStringLiteral(
                 "insert into [Станционный бюллетень] (arid,N_seismo,N_equake,Station_Cod,[date],FM,Qual,"
                 "Interpretation,Phase,Channel_name,Channel_component,[Time],[Dec],FM_NS,FM_EW,FM_Z,"
                 "FM_Period_NS,FM_Amp_NS,FM_Period_EW,FM_Amp_EW,FM_Period_Z,FM_Amp_Z,Comments) values "
                 "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             {r.arid,  r.seismo,  r.event,     r.station, r.day, r.fm,   r.qual,    r.interpretation,
              r.phase, r.channel, r.component, r.time,    r.dec, r.fmNs, nullText,  nullText,
              r.tNs,   r.aNs,     r.tEw,       r.aEw,     r.tZ,  r.aZ,   r.comments});
    }
    void measurement(const QVariantList &values)
    {
        exec(*db,
             QStringLiteral(
                 "insert into [Динамические замеры] (Id_XM,arid,Channel_nameXM,Channel_componentXM,TimeXM,"
                 "DecXm,Period_NS,Amp_NS,Period_EW,Amp_EW,Period_Z,Amp_Z,Magnitude_NE,Klass_NE,Magnitude_Z,"
                 "Klass_Z,Comments) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
             values);
    }

    void fill()
    {
        const QVariant nt = nullText, nd = nullDouble, ni = nullInt, ndt = nullDate;
        const QVariant day2 = at(2024, 3, 2, 0, 0, 0);
        event(101, {at(2024, 3, 2, 10, 15, 20), 3, 55.12345, 36.5, 10, 12.3456, 1370.1, 123.7, 45.2,
                    at(1899, 12, 30, 0, 2, 5), 4, 11.5, 1,
                    QStringLiteral("A1 B1 текст один @. A2 B2 два @. "), QStringLiteral("ощутимое")});
        emptyEvent(102);
        emptyEvent(103);
        emptyEvent(104);
        const QString obn = QStringLiteral("OBN");
        // arid, seismogram, event, station, day, FM, quality, interpretation, phase, channel, component,
        // time, tenths, FM_NS, then the periods and amplitudes NS, EW, Z, and the comment.
        reading({1, "S-12", 101, obn, day2, "+", "i", 0, "P", "СКМ", "Z", at(2024, 3, 2, 10, 16, 1), 5, "+",
                 nd, 1.5});
        // A surface wave earlier than the S wave still comes after it.
        reading({2, "S-12", 101, obn, day2, nt, nt, ni, "LR", "СКД", "N", at(2024, 3, 2, 10, 16, 30), 0, nt,
                 nd, nd, 12.0, 3.0});
        reading({3,  "S-12", 101, obn, day2, nt, "e", 1,   "S",   "СКМ", "N", at(2024, 3, 2, 10, 17, 0),
                 ni, nt,     0.7, 4.0, nd,   nd, 0.8, 2.5, "прим"});
        reading({.arid = 4, .event = 101, .station = obn, .day = day2, .phase = "lq", .channel = "СКД"});
        reading({5, "S-13", 102, obn, at(2024, 3, 5, 0, 0, 0), nt, nt, ni, "Pg", "СКМ", "Z",
                 at(2024, 3, 5, 1, 2, 3), 0});
        // Another station's reading and one after the period.
        reading({.arid = 6, .event = 103, .station = "ABC", .day = at(2024, 3, 3, 0, 0, 0), .phase = "P"});
        reading({.arid = 7, .event = 104, .station = obn, .day = at(2024, 3, 11, 0, 0, 0), .phase = "P"});
        measurement({1, 3, QStringLiteral("СКМ"), QStringLiteral("N"), at(2024, 3, 2, 10, 17, 2), 1, 0.5, 7.0,
                     nd, nd, nd, nd, 4.5, 10.2, nd, nd, nt});
        // Timed before a decade's first day; inside a period from 28 February.
        measurement({2, 3, QStringLiteral("СКД"), QStringLiteral("E"), at(2024, 2, 29, 23, 59, 0), ni, nd, nd,
                     1.0, 2.0, nd, nd, nd, nd, nd, nd, nt});
        measurement(
            {3, 3, nt, nt, ndt, ni, nd, nd, nd, nd, nd, 9.0, nd, nd, 5.0, nd, QStringLiteral("xm-прим")});
    }

    void period(TDateTime beg, TDateTime end, int number)
    {
        state.period.begDate = beg;
        state.period.endDate = end;
        state.period.number = number;
    }

    QByteArray run()
    {
        MakeReport(state, *host, *db, true);
        return readAll(state.tempFile);
    }

    SqliteEnv env;
    std::unique_ptr<DbConnection> db;
    TestDir dir;
    std::unique_ptr<FakeReportHost> host;
    ReportState state;
    MessageRecorder rec;
};

TEST_F(BulletinFromBulletinDb, DecadeOfAMonthWithSeparatorLines)
{
    period(EncodeDate(2024, 3, 1), EncodeDate(2024, 3, 10), 7);
    expectSameLines(
        run(), golden({"head_db_decade.htm", "sep_hr.htm", "body_db_event101_head.htm",
                       "body_db_event101_tail.htm", "sep_hr.htm", "body_db_event102.htm", "end_db.htm"}));
    EXPECT_TRUE(state.reportMade);
    EXPECT_EQ(host->shown, QStringList{state.tempFile});
    EXPECT_TRUE(host->mails.isEmpty());
    EXPECT_TRUE(host->zipped.isEmpty());
    EXPECT_EQ(rec.count(), 0);
    EXPECT_FALSE(db->Connected());
}

TEST_F(BulletinFromBulletinDb, DecadeFramed)
{
    period(EncodeDate(2024, 3, 1), EncodeDate(2024, 3, 10), 7);
    state.options.drawTable = true;
    QByteArray expected =
        golden({"head_db_decade.htm", "sep_navy4.htm", "body_db_event101_head.htm",
                "body_db_event101_tail.htm", "sep_navy4.htm", "body_db_event102.htm", "end_db.htm"});
    expected.replace("border=0 cellspacing=0 cellpadding=2", "border=1 cellspacing=0 cellpadding=2");
    expectSameLines(run(), expected);
}

TEST_F(BulletinFromBulletinDb, OneDayWithoutLines)
{
    period(EncodeDate(2024, 3, 5), EncodeDate(2024, 3, 5), 3);
    state.options.dline = false;
    state.options.drawTable = true;
    QByteArray expected = golden({"head_db_day.htm", "body_db_event102.htm", "end_db.htm"});
    expected.replace("border=0 cellspacing=0 cellpadding=2", "border=1 cellspacing=0 cellpadding=2");
    expectSameLines(run(), expected);
}

TEST_F(BulletinFromBulletinDb, ArbitraryPeriodAcrossMonthsKeepsAnEarlierMeasurement)
{
    period(EncodeDate(2024, 2, 28), EncodeDate(2024, 3, 5), 2);
    expectSameLines(run(), golden({"head_db_cross.htm", "sep_hr.htm", "body_db_event101_head.htm",
                                   "body_db_xm_before.htm", "body_db_event101_tail.htm", "sep_hr.htm",
                                   "body_db_event102.htm", "end_db.htm"}));
}

TEST_F(BulletinFromBulletinDb, MeasurementsStandUnderTheirReadingsWhateverTheirNumbers)
{
    // The LR reading (arid 2) prints after the S wave (arid 3), and the P wave's measurement has the
    // highest number of all.
    const QVariant nt = nullText, nd = nullDouble;
    measurement({4, 2, QStringLiteral("СКД"), QStringLiteral("N"), at(2024, 3, 2, 10, 16, 35), 0, 15.0, 4.0,
                 nd, nd, nd, nd, nd, nd, nd, nd, nt});
    measurement({5, 1, QStringLiteral("СКМ"), QStringLiteral("Z"), at(2024, 3, 2, 10, 16, 2), 3, 0.3, 2.0, nd,
                 nd, nd, nd, nd, nd, nd, nd, nt});
    period(EncodeDate(2024, 3, 1), EncodeDate(2024, 3, 10), 7);
    expectSameLines(run(), golden({"head_db_decade.htm", "sep_hr.htm", "body_db_event101_xm_by_arid.htm",
                                   "sep_hr.htm", "body_db_event102.htm", "end_db.htm"}));
    EXPECT_TRUE(state.reportMade);
}

// Numbers no integer holds (an azimuth typed as 1.5e308) print as they are stored, never through an
// overflowing conversion, and the bulletin is made.
TEST_F(BulletinFromBulletinDb, ImpossibleNumbersPrintAsStored)
{
    exec(*db, QStringLiteral("update [События] set seaz=?, emares=?, depdp=?, Kps=? where num=101"),
         {1.5e308, -1e300, 9.3e18, 1e308});
    period(EncodeDate(2024, 3, 1), EncodeDate(2024, 3, 10), 7);
    const QStringList lines = fromCp1251(run()).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.contains(QStringLiteral("<td colspan=3><b>O= 10-15-20.3  Az= 1.5E308°  e= -1E300° <br> "
                                              "lat= 55.123  lon= 36.5  H= 9.3E18km  Kp+s= 1E308</b></td>")))
        << lines.filter(QStringLiteral("Az=")).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(state.reportMade);
    EXPECT_EQ(rec.count(), 0);
}

TEST_F(BulletinFromBulletinDb, MailsTheArchiveAndRemovesIt)
{
    period(EncodeDate(2024, 3, 5), EncodeDate(2024, 3, 5), 3);
    state.options.mailSend = true;
    state.options.mailGlobal = false;
    state.options.mailFrom = QStringLiteral("obn@example.org");
    state.options.mailTo = QStringLiteral("center@example.org");
    state.options.mailCc = QStringLiteral("copy@example.org");
    state.options.mailSubject = QStringLiteral("Бюллетень");
    for (bool ok : {true, false}) {
        host->mails.clear();
        host->mailOk = ok;
        rec.clear();
        run();
        const QString zip = dir.file(QStringLiteral("system/stbul_5.zip"));
        ASSERT_EQ(host->zipped.size(), ok ? 1 : 2);
        EXPECT_EQ(host->zipped.last(), (QStringList{zip, state.tempFile}));
        EXPECT_EQ(host->mails, (QList<QStringList>{{"Станционный бюллетень", zip, "own", "obn@example.org",
                                                    "center@example.org", "copy@example.org", "Бюллетень"}}));
        EXPECT_FALSE(QFile::exists(zip));
        if (ok)
            EXPECT_EQ(rec.count(), 0);
        else
            EXPECT_EQ(shown(rec),
                      (QList<std::pair<QString, unsigned>>{
                          {"Не удалось отправить станционный бюллетень по почте!", MB_ICONERROR}}));
    }
}

TEST_F(BulletinFromBulletinDb, AFailedRunLeavesNoReportToSave)
{
    period(EncodeDate(2024, 3, 5), EncodeDate(2024, 3, 5), 3);
    run();
    ASSERT_TRUE(state.reportMade);
    // The bulletin database of the station cannot be reached now.
    host->stationDb = false;
    run();
    EXPECT_FALSE(state.reportMade);

    // A disk that fills while the bulletin is written: reported, no report made, the old file kept.
    host->stationDb = true;
    run();
    const QByteArray before = readAll(state.tempFile);
    {
        DiskFullAfter full(100);
        run();
    }
    EXPECT_FALSE(state.reportMade);
    ASSERT_GE(rec.count(), 1);
    EXPECT_TRUE(
        rec.last().text.startsWith(QStringLiteral("MakeReport: Операция прервана. Сообщение об ошибке:\r")));
    EXPECT_EQ(readAll(state.tempFile), before);
}

TEST_F(BulletinFromBulletinDb, AStationCodeWithAQuoteIsQuoted)
{
    exec(*db, "update [Станционный бюллетень] set Station_Cod='O''B' where arid=5");
    state.codes = {QStringLiteral("O'B")};
    state.stations.first().code = QStringLiteral("O'B");
    period(EncodeDate(2024, 3, 5), EncodeDate(2024, 3, 5), 3);
    state.options.dline = false;
    expectSameLines(run(), golden({"head_db_day.htm", "body_db_event102.htm", "end_db.htm"}));
    EXPECT_EQ(rec.count(), 0);
}

} // namespace
