#include "app/main/product_commands.h"
#include "exchange/orv_export.h"
#include "exchange/orv_file.h"
#include "platform/zip_archive.h"
#include "support/program_env.h"
#include "support/smtp_server.h"

#include <QFile>

namespace {

// March 2008: an event that begins before the period, one inside, one that runs past its end, and
// another station's arrival.
const char *const kRows[] = {
    "create table origin (eventid varchar(20),lat float,primary key (eventid))",
    "create table arrival (arid integer,eventid varchar(20),sta varchar(6),itime float,primary key (arid))",
    "insert into origin values ('20080229235959',1),('20080310000000',2),('20080331235900',3)",
    "insert into arrival values (1,'20080229235959','ABC',1204329599),(2,'20080229235959','ABC',1204329610),"
    "(3,'20080310000000','ABC',1205107200),(4,'20080310000000','XYZ',1205107201),"
    "(5,'20080331235900','ABC',1207007940),(6,'20080331235900','ABC',1207008030)",
};

struct Dump
{
    orxheader header;
    QList<QStringList> rows; // literals
};

Dump readDump(const QString &path)
{
    Dump d;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(int(DetectOrvVersion(f)), int(OrvVersion::V11));
    EXPECT_EQ(int(ReadOrvHeader(f, OrvVersion::V11, d.header)), int(OrvReadStatus::Ok));
    EXPECT_EQ(int(ReadOrvFieldList(f, d.header)), int(OrvReadStatus::Ok));
    while (ReadOrvRecord(f, d.header, {}) == OrvReadStatus::Ok)
        d.rows << d.header.literals;
    return d;
}

struct ExportProgram : ProgramWindow
{
    TestDir out, unpacked;
    OrvExportStats stats;

    ExportProgram()
    {
        addStation(QStringLiteral("ABC"), QStringLiteral("ABC"), QString());
        w->sett.exp_start_date = EncodeDate(2008, 3, 1);
        w->sett.exp_end_date = EncodeDate(2008, 3, 31);
        w->sett.exp_dir = out.path();
        w->sett.expset = 0;
    }
    void run(int set, const QStringList &checked = {})
    {
        w->sett.expset = set;
        w->checkedStations = checked;
        rec.clear();
        stats = {};
        RunOrxExport(*w, &stats);
    }
    // The rows above in Db, which the ORX settings then name.
    template <class Env> void use(OrxDb<Env> &db)
    {
        for (const char *sql : kRows)
            db.exec(sql);
        useOrx(db.source(), db.user(), db.password());
    }
    QStringList members()
    {
        unzipAll(stats.archive, unpacked.path());
        return folderEntries(unpacked.path());
    }
};

template <class Env> class OrvExportTest : public OnBothBackends<Env>
{
};
TYPED_TEST_SUITE(OrvExportTest, BothBackends, BackendName);

} // namespace

TYPED_TEST(OrvExportTest, PeriodStationsAndMembers)
{
    ExportProgram p;
    p.use(*this->orx);

    p.run(0);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{QStringLiteral("Готово!"), MB_ICONINFORMATION}}));
    EXPECT_EQ(QFileInfo(p.stats.archive).fileName(), QStringLiteral("ABC_20080301_20080331.orv"));
    EXPECT_EQ(folderEntries(p.out.path()), QStringList{"ABC_20080301_20080331.orv"});
    EXPECT_EQ(p.members(), (QStringList{"_arr1101.orv", "_ori1101.orv", "system"}));
    EXPECT_EQ(readBytes(p.unpacked.file(OrvSystemMember)), QByteArray("origin arrival"));

    // The event begun before the period is left out; the one running past its end comes whole.
    const Dump arrival = readDump(p.unpacked.file(OrvArrivalMember));
    QStringList arids;
    for (const QStringList &r : arrival.rows)
        arids << r[0];
    EXPECT_EQ(arids, (QStringList{"3", "5", "6"}));
    EXPECT_EQ(arrival.header.table, QStringLiteral("arrival"));
    EXPECT_EQ(arrival.header.recordCount, 3);
    EXPECT_EQ(arrival.header.fieldNames, (QStringList{"arid", "eventid", "sta", "itime"}));
    EXPECT_EQ(arrival.header.periodStart, EncodeDate(2008, 3, 1));
    EXPECT_EQ(arrival.header.periodEnd, EncodeDate(2008, 3, 31));
    ASSERT_EQ(arrival.header.stations.size(), 1);
    EXPECT_EQ(arrival.header.stations[0].code, QStringLiteral("ABC"));
    EXPECT_NEAR(arrival.header.stations[0].start, EncodeDate(2008, 3, 10), 1e-9);
    EXPECT_NEAR(arrival.header.stations[0].end, EncodeDate(2008, 4, 1) + EncodeTime(0, 0, 30, 0), 1e-9);
    const Dump origin = readDump(p.unpacked.file(OrvOriginMember));
    EXPECT_EQ(origin.rows, (QList<QStringList>{{"'20080310000000'", "2"}, {"'20080331235900'", "3"}}));
    EXPECT_EQ(origin.header.stations.size(), 1);

    // The current station also checked appears once; a checked one without arrivals gets no times.
    QFile::remove(p.stats.archive);
    p.run(2, {QStringLiteral("QQQ"), QStringLiteral("ABC")});
    EXPECT_EQ(QFileInfo(p.stats.archive).fileName(), QStringLiteral("20080301_20080331.orv"));
    p.members();
    const Dump two = readDump(p.unpacked.file(OrvOriginMember));
    ASSERT_EQ(two.header.stations.size(), 2);
    EXPECT_EQ(two.header.stations[0].code, QStringLiteral("ABC"));
    EXPECT_EQ(two.header.stations[1].code, QStringLiteral("QQQ"));
    EXPECT_EQ(two.header.stations[1].start, 0.0);
    EXPECT_EQ(two.header.stations[1].end, 0.0);

    // All stations with arrivals in the period.
    QFile::remove(p.stats.archive);
    p.run(3);
    EXPECT_EQ(p.stats.arrivals, 4);
    p.members();
    QStringList codes;
    for (const torxhsta &s : readDump(p.unpacked.file(OrvArrivalMember)).header.stations)
        codes << s.code;
    EXPECT_EQ(codes, (QStringList{"ABC", "XYZ"}));
}

TYPED_TEST(OrvExportTest, NothingToExport)
{
    ExportProgram p;
    p.use(*this->orx);

    p.run(1);
    EXPECT_EQ(
        shown(p.rec),
        (QList<Shown>{{QStringLiteral("Была выбрана опция \"делать экспорт по станциям с галочкой\",\rно ни "
                                      "одна станция не отмечена галочкой,\rпоэтому экспорт не будет "
                                      "сделан.\rОтметьте нужные станции галочкой или выберите другую опцию "
                                      "и\rповторите снова."),
                       MB_ICONWARNING}}));
    p.run(1, {QStringLiteral("QQQ"), QStringLiteral("O'K")});
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{QStringLiteral("Данные по станции(ям) \"QQQ,O'K\" за этот период "
                                                          "отсутствуют"),
                                           MB_ICONWARNING}}));
    EXPECT_TRUE(p.stats.archive.isEmpty());
    EXPECT_TRUE(folderEntries(p.out.path()).isEmpty());
    EXPECT_FALSE(Tdm::instance()->conPubs->Connected());
}

TEST(OrvExportMail, SentOrNotTheArchiveStays)
{
    OrxDb<SqliteEnv> orx;
    ExportProgram p;
    p.use(orx);
    TestDir mail;
    SmtpServer server(mail.path());
    ASSERT_GT(server.port(), 0);
    Tdm::instance()->SetSettings(&p.w->sett);
    p.w->sett.smtp_host = QStringLiteral("127.0.0.1");
    p.w->sett.smtp_port = server.port();
    for (QString *from : {&p.w->sett.mail_from, &p.w->sett.maile_from})
        *from = QStringLiteral("st@from.ru");
    for (QString *to : {&p.w->sett.mail_recv, &p.w->sett.maile_recv})
        *to = QStringLiteral("centre@to.ru");
    p.w->sett.maile_send = true;

    p.run(0);
    EXPECT_TRUE(p.stats.mailed);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{QStringLiteral("Готово!\rЭкспорт успешно отправлен по почте."),
                                           MB_ICONINFORMATION}}));
    EXPECT_TRUE(readBytes(mail.file(QStringLiteral("msg-1.eml"))).contains("ABC_20080301_20080331.orv"));

    QFile::remove(p.stats.archive);
    p.w->sett.smtp_port = 1; // nothing listens there
    p.run(0);
    EXPECT_FALSE(p.stats.mailed);
    ASSERT_EQ(p.rec.count(), 2);
    EXPECT_EQ(p.rec.messages()[0].icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(lastShown(p.rec),
              Shown(QStringLiteral("Готово!\rНе удалось отправить экспорт по почте!"), MB_ICONINFORMATION));
    EXPECT_EQ(folderEntries(p.out.path()), QStringList{"ABC_20080301_20080331.orv"});
}

TEST(ExportButton, DispatchesByMode)
{
    ProgramWindow o;
    ProductCommands saved = productCommands();
    QStringList called;
    productCommands().orvExport = [&called](Tmainf &) { called << QStringLiteral("orv"); };
    productCommands().textExport = [&called](Tmainf &) { called << QStringLiteral("text"); };
    auto *button = o.w->findChild<QPushButton *>(QStringLiteral("BitBtn14"));
    ASSERT_NE(button, nullptr);
    o.w->sett.fullorx = true;
    button->click();
    o.w->sett.fullorx = false;
    button->click();
    productCommands() = saved;
    EXPECT_EQ(called, (QStringList{"orv", "text"}));
}

TEST(OrvExportDisk, FullDiskMakesNoArchive)
{
    OrxDb<SqliteEnv> orx;
    ExportProgram p;
    p.use(orx);
    {
        DiskFullAfter full(100);
        p.run(0);
    }
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral("Не удалось записать файл ")))
        << p.rec.last().text.toStdString();
    EXPECT_TRUE(p.stats.archive.isEmpty());
    EXPECT_TRUE(folderEntries(p.out.path()).isEmpty());
}
