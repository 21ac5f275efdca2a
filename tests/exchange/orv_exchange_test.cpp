#include "app/main/product_commands.h"
#include "app/main/program_folder.h"
#include "app/settings/connection_params.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_export_command.h"
#include "exchange/orv/orv_file.h"
#include "exchange/orv/orv_import.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange_test_env.h"
#include "lib/mstring_grid.h"
#include "orv_test_env.h"
#include "platform/zip_archive.h"
#include "support/cpu_time.h"
#include "support/program_env.h"
#include "support/smtp_server.h"
#include "write_lock_probe.h"

#include <QProcess>
#include <QRadioButton>
#include <QtEndian>

namespace {

const char kOrigin[] = "create table origin (eventid varchar(20),lat float,depth float,origintime float,"
                       "comment varchar(80),orid integer,primary key (eventid))";
const char kArrival[] =
    "create table arrival (arid integer,eventid varchar(20),sta varchar(6),iphase varchar(8),"
    "itime float,amptime float,ampl float,primary key (arid))";
const char kArrivalWithoutAmpl[] = "create table arrival (arid integer,eventid varchar(20),sta varchar(6),"
                                   "iphase varchar(8),itime float,amptime float,primary key (arid))";

// March 2008 on two stations: an event with a quote and a blank in its EVENTID, NULLs, empty and
// Cyrillic text, and an arrival whose event is not in origin.
const char *const kSourceRows[] = {
    "insert into origin values ('20080301123456',51.5,-10.25,1204374896.5,'Землетрясение ''Байкал''',7)",
    "insert into origin (eventid,lat,origintime,comment) values ('20080315080000',52.125,1205568000,'')",
    "insert into origin (eventid,origintime) values ('20080320101010 O''B',1205995810)",
    "insert into arrival values (1,'20080301123456','ABC','P',1204374900.125,1204374903.5,12.5)",
    "insert into arrival (arid,eventid,sta,iphase,itime) values (2,'20080301123456','XYZ','S',1204374901.5)",
    "insert into arrival (arid,eventid,sta,itime) values (3,'20080315080000','ABC',1205568010)",
    "insert into arrival values (4,'20080320101010 O''B','ABC','Pg',1205995815.125,null,-3)",
};
const char kOrphan[] = "insert into arrival (arid,eventid,sta,itime) values (5,'ORPHAN','ABC',1206000000)";

const QString kOriginRows =
    QStringLiteral("select eventid,lat,depth,origintime,comment,orid from origin order by "
                   "eventid");
const QString kArrivalRows =
    QStringLiteral("select arid,eventid,sta,iphase,itime,amptime,ampl from arrival order "
                   "by arid");

template <class Env> void createOrx(OrxDb<Env> &db, const char *arrival = kArrival)
{
    db.exec(kOrigin);
    db.exec(arrival);
}

template <class Env> QStringList allRows(OrxDb<Env> &db)
{
    return db.rows(kOriginRows) + QStringList{QStringLiteral("--")} + db.rows(kArrivalRows);
}

// March 2008: an event that begins before the period, one inside, one that runs past its end, and
// another station's arrival.
const char *const kExportRows[] = {
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

// The rows above in a database of their own, the export's source.
struct OrvProgram : OrvRunner
{
    OrxDb<SqliteEnv> source;

    OrvProgram()
    {
        createOrx(source);
        for (const char *sql : kSourceRows)
            source.exec(sql);
    }
    // An export of the set given, from the rows of kExportRows in db.
    template <class Env> void use(OrxDb<Env> &db)
    {
        for (const char *sql : kExportRows)
            db.exec(sql);
        point(db);
    }
};

template <class Env> class OrvExchange : public OnBothBackends<Env>
{
};
TYPED_TEST_SUITE(OrvExchange, BothBackends, BackendName);

} // namespace

TYPED_TEST(OrvExchange, RoundTripGivesTheSameRows)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);

    const QString archive = p.exportFrom(p.source);
    EXPECT_EQ(QFileInfo(archive).fileName(), QStringLiteral("20080301_20080331.orv"));
    const OrvImportStats stats = p.importInto(target, archive);
    EXPECT_TRUE(stats.committed);
    EXPECT_EQ(stats.inserted, 7);
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral("Готово!\r\rИмпорт занял ")))
        << p.rec.last().text.toStdString();
    EXPECT_EQ(allRows(target), allRows(p.source));
    EXPECT_FALSE(QFileInfo::exists(p.path("system/log_imp.txt")));

    // And back, into a database of the other kind.
    OrxDb<SqliteEnv> back;
    createOrx(back);
    QFile::remove(archive);
    const QString again = p.exportFrom(target);
    p.importInto(back, again);
    EXPECT_EQ(allRows(back), allRows(p.source));
}

TYPED_TEST(OrvExchange, TakenEventIdsAreRenamedAndOrphansSkipped)
{
    OrvProgram p;
    p.source.exec(kOrphan);
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);
    // Events of another station under the file's EVENTIDs: nothing of the file's stations to replace.
    target.exec("insert into origin (eventid,lat) values "
                "('20080301123456',1),('20080301123457',2),('20080320101010 O''B',3)");
    target.exec("insert into arrival (arid,eventid,sta,itime) values (10,'20080301123456','QQQ',1204374896)");

    const OrvImportStats stats = p.importInto(target, p.exportFrom(p.source));
    EXPECT_EQ(stats.renamed, 2);
    EXPECT_EQ(stats.skipped, 1);
    ASSERT_EQ(p.rec.count(), 1);
    const QString text = p.rec.last().text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("Готово!\r\rНекоторые EVENTID изменены, т.к. обнаружены "
                                               "совпадения!\r\rНарушена целостность данных "
                                               "(некоторые записи из ARRIVAL имеют EVENTID,\rотсутствующий в "
                                               "ORIGIN, эти записи пропущены, см. в ") +
                                ProgramFolder() + QStringLiteral("system/log_imp.txt).\r\rИмпорт занял ")))
        << text.toStdString();
    EXPECT_EQ(p.log(), QStringLiteral("EVENTID                 NEW_EVENTID\r\n"
                                      "20080301123456          20080301123458\r\n"
                                      "20080320101010 O'B      20080320101011 O'B\r\n"
                                      "ORPHAN\r\n"));
    EXPECT_EQ(target.rows(QStringLiteral("select eventid,sta from arrival order by arid")),
              (QStringList{"20080301123458|ABC", "20080301123458|XYZ", "20080315080000|ABC",
                           "20080320101011 O'B|ABC", "20080301123456|QQQ"}));
    EXPECT_EQ(target.rows(QStringLiteral("select eventid,lat from origin order by eventid")),
              (QStringList{"20080301123456|1", "20080301123457|2", "20080301123458|51.5",
                           "20080315080000|52.125", "20080320101010 O'B|3", "20080320101011 O'B|<null>"}));
}

TYPED_TEST(OrvExchange, MergeKeepsExistingEventsAndReplacesOnlyArrivals)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);
    target.exec("insert into origin (eventid,lat) values ('20080301123456',1)");
    target.exec("insert into arrival (arid,eventid,sta,itime) values (10,'20080301123456','QQQ',1204374896),"
                "(11,'20080301123456','ABC',1204374900.125)");
    p.host.merge = true;
    const QString archive = p.exportFrom(p.source);

    p.rec.answer({IDYES});
    const OrvImportStats stats = p.importInto(target, archive);
    ASSERT_EQ(p.rec.count(), 2);
    EXPECT_EQ(p.rec.messages()[0].text,
              QStringLiteral(
                  "Для станции с кодом \"ABC\" в таблице \"arrival\" уже есть землетрясения за период от "
                  "01.03.2008 12:35:00 до 20.03.2008 06:50:15\r\rХотите удалить существующие данные и "
                  "записать новые?\r(удалятся только записи для импортируемой станции)"));
    EXPECT_EQ(p.rec.messages()[0].icon, unsigned(MB_ICONQUESTION));
    EXPECT_EQ(stats.renamed, 0);
    EXPECT_EQ(target.rows(QStringLiteral("select eventid,lat from origin order by eventid")),
              (QStringList{"20080301123456|1", "20080315080000|52.125", "20080320101010 O'B|<null>"}));
    EXPECT_EQ(target.rows(QStringLiteral("select arid,eventid,sta from arrival order by arid")),
              (QStringList{"1|20080301123456|ABC", "2|20080301123456|XYZ", "3|20080315080000|ABC",
                           "4|20080320101010 O'B|ABC", "10|20080301123456|QQQ"}));
}

// Six hundred events of station ABC in March 2008, "100000" to "100599", an arrival each (arid 1 to 600).
void sixHundredEvents(OrxDb<SqliteEnv> &source)
{
    createOrx(source);
    QStringList origins, arrivals;
    for (int i = 0; i < 600; ++i) {
        origins << QStringLiteral("('%1',%2)").arg(100000 + i).arg(1204374900 + i);
        arrivals << QStringLiteral("(%1,'%2','ABC',%3)").arg(i + 1).arg(100000 + i).arg(1204374900 + i);
    }
    source.exec(
        ("insert into origin (eventid,origintime) values " + origins.join(u',')).toUtf8().constData());
    source.exec(
        ("insert into arrival (arid,eventid,sta,itime) values " + arrivals.join(u',')).toUtf8().constData());
}

// The import asks whether the file's EVENTIDs are free five hundred at a time: a rename that takes the
// next file event's EVENTID moves that one on too, within a batch and across the next, and one blank of
// difference counts as taken, as when every EVENTID is asked for alone.
TYPED_TEST(OrvExchange, EventIdsAskedForManyAtOnceAreRenamedAsOneByOne)
{
    OrvProgram p;
    OrxDb<SqliteEnv> source;
    sixHundredEvents(source);
    const QString archive = p.exportFrom(source);

    for (const bool merge : {false, true}) {
        SCOPED_TRACE(merge);
        OrxDb<TypeParam> target;
        createOrx(target);
        target.exec("insert into origin (eventid) values ('100021'),('100550 ')");
        p.host.merge = merge;
        const OrvImportStats stats = p.importInto(target, archive);
        ASSERT_TRUE(stats.committed);
        // Renamed: 100021 is taken, and each event after it takes the EVENTID of the next; 100549 and on
        // skip "100550 " as well. Merged: the stored 100021 stays, "100550 " is not 100550.
        QStringList ids, kept;
        for (int k = 100000; k < 100600; ++k) {
            const int id = merge || k < 100021 ? k : k < 100549 ? k + 1 : k + 2;
            ids << QString::number(id);
            if (id != 100021 || !merge)
                kept << QString::number(id);
        }
        EXPECT_EQ(stats.renamed, merge ? 0 : 579);
        EXPECT_EQ(target.rows(QStringLiteral("select eventid from arrival order by arid")), ids);
        kept << QStringLiteral("100021") << QStringLiteral("100550 ");
        std::sort(kept.begin(), kept.end());
        QStringList stored = target.rows(QStringLiteral("select eventid from origin"));
        std::sort(stored.begin(), stored.end());
        EXPECT_EQ(stored, kept);
    }
}

// Mended: sixty events whose one-character EVENTIDs are all taken, as every other one-character id is
// (one-character ids wrap round without growing). The search asked a million statements per event and the
// insert failed on the key; now the first event's search ends at once, said in Russian.
TYPED_TEST(OrvExchange, NoFreeIdOfTheFormIsSaidAtOnce)
{
    OrvProgram p;
    OrxDb<SqliteEnv> source;
    createOrx(source);
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);
    QStringList printable;
    for (char16_t c = u'!'; c <= u'~'; ++c)
        // On SQLite the key ignores case: a lower-case letter is its capital's id.
        if (TypeParam::odbc || !(c >= u'a' && c <= u'z'))
            printable << QString(QChar(c));
    for (int i = 0; i < 60; ++i) {
        source.exec("insert into origin (eventid,lat) values (?,?)", {printable[i], i});
        source.exec("insert into arrival (arid,eventid,sta,itime) values (?,?,'ABC',?)",
                    {i + 1, printable[i], 1204374900 + i});
    }
    for (const QString &id : std::as_const(printable))
        target.exec("insert into origin (eventid,lat) values (?,-1)", {id});
    const QStringList before = allRows(target);
    const QString archive = p.exportFrom(source);

    const CpuTime cpu(target.env.serverDatabase());
    const OrvImportStats stats = p.importInto(target, archive);
    EXPECT_LT(cpu.milliseconds(), 5000 * kSanitizerSlowdown);
    EXPECT_FALSE(stats.committed);
    EXPECT_EQ(shown(p.rec),
              (QList<Shown>{{QStringLiteral("ReadORV: EVENTID \"!\" уже есть в БД ORX, а свободного "
                                            "EVENTID того же вида (строка из одного символа от "
                                            "\"!\" до \"~\") нет: заняты все 94 (таблица origin, "
                                            "запись 1).\rИмпорт прерван, БД ORX не изменена."),
                             MB_ICONERROR}}));
    EXPECT_EQ(allRows(target), before);
    EXPECT_FALSE(QFileInfo::exists(p.path("system/log_imp.txt")));
}

// A row refused in the middle of what went to the database together is the one named, with its own
// text, and the database keeps its rows.
TYPED_TEST(OrvExchange, RowRefusedAmongManyIsNamed)
{
    OrvProgram p;
    OrxDb<SqliteEnv> source;
    sixHundredEvents(source);
    const QString archive = p.exportFrom(source);
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);
    target.exec("insert into arrival (arid,eventid,sta,itime) values (301,'OTHER','QQQ',1)");
    const QStringList before = allRows(target);

    const OrvImportStats stats = p.importInto(target, archive);
    EXPECT_FALSE(stats.committed);
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral(
        "ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = 301; таблица = arrival; "
        "last sql = \r\rinsert into arrival (arid,eventid,sta,itime) values "
        "(301,'100300','ABC',1204375200)\r\rСообщение об ошибке:\r")))
        << p.rec.last().text.toStdString();
    EXPECT_EQ(allRows(target), before);
}

// An old event of ABC in March 2008, and a row of another station that the file's arrival 4 collides
// with, which the replacement keeps.
template <class Env> void collidingTarget(OrxDb<Env> &target)
{
    createOrx(target);
    target.exec("insert into origin (eventid,lat) values ('OLD',1)");
    target.exec("insert into arrival (arid,eventid,sta,itime) values "
                "(20,'OLD','ABC',1204374950),(4,'OTHER','QQQ',1)");
}

// Mended: the replacement and the import are one transaction; a run that ends later keeps the old data.
TYPED_TEST(OrvExchange, ReplacementIsUndoneWhenTheImportFails)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    collidingTarget(target);
    const QStringList before = allRows(target);
    const QString archive = p.exportFrom(p.source);

    // Refused: nothing happens and nothing more is said.
    p.rec.answer({IDNO});
    p.importInto(target, archive);
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral(
        "Для станции с кодом \"ABC\" в таблицах \"origin\" и \"arrival\" уже есть землетрясения")));
    EXPECT_TRUE(p.rec.last().text.endsWith(
        QStringLiteral("(удалятся записи обо всех событиях в данном интервале, для всех станций внутри этих "
                       "событий)")));
    EXPECT_EQ(allRows(target), before);

    // Agreed, but an INSERT fails: the old rows are back.
    p.rec.answer({IDYES});
    const OrvImportStats stats = p.importInto(target, archive);
    EXPECT_FALSE(stats.committed);
    ASSERT_EQ(p.rec.count(), 2);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral(
        "ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = 4; таблица = arrival; "
        "last sql = \r\rinsert into arrival (arid,eventid,sta,iphase,itime,ampl) values "
        "(4,'20080320101010 O''B','ABC','Pg',1205995815.125,-3)\r\rСообщение об ошибке:\r")))
        << p.rec.last().text.toStdString();
    EXPECT_EQ(p.rec.last().icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(allRows(target), before);
}

// No message waits for a click while the import holds the database's write lock (a second instance froze
// behind the error box): the question comes before the transaction, a failure is said once it is rolled
// back. The file's arrival 4 collides; the file's origin member is cut in its third record.
TYPED_TEST(OrvExchange, NoMessageWaitsWhileTheDatabaseIsLocked)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    collidingTarget(target);
    const QStringList before = allRows(target);
    const QString archive = p.exportFrom(p.source);
    TestDir work;
    unzipAll(archive, work.path());
    const QByteArray origin = readBytes(work.file(OrvOriginMember));
    writeBytes(work.file(OrvOriginMember), origin.left(origin.size() - 2));
    const QString cut = work.file(QStringLiteral("cut.orv"));
    zipFiles(cut, QString(),
             {work.file(OrvOriginMember), work.file(OrvArrivalMember), work.file(OrvSystemMember)});

    const struct
    {
        QString file;
        QString failure;
        int shown; // the question and the failure, or the failure alone
    } cases[] = {
        {archive,
         QStringLiteral("ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = 4; таблица = "
                        "arrival; last sql = \r\rinsert into arrival"),
         2},
        // Changed: a file that cannot be read is refused before the question.
        {cut, QStringLiteral("ReadORV: файл \"_ori1101.orv\" повреждён, данные не считаны!"), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failure.toStdString());
        LockWatch watch(target);
        p.rec.answer({IDYES});
        const OrvImportStats stats = p.importInto(target, c.file);
        EXPECT_FALSE(stats.committed);
        ASSERT_EQ(p.rec.count(), c.shown);
        EXPECT_EQ(p.rec.messages()[0].icon, unsigned(c.shown == 2 ? MB_ICONQUESTION : MB_ICONERROR));
        EXPECT_TRUE(p.rec.last().text.startsWith(c.failure)) << p.rec.last().text.toStdString();
        EXPECT_EQ(watch.shown(), c.shown);
        EXPECT_EQ(watch.shownLocked(), QStringList());
        EXPECT_EQ(allRows(target), before);
    }
}

TYPED_TEST(OrvExchange, ColumnsTheTargetLacks)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target, kArrivalWithoutAmpl);
    const QString archive = p.exportFrom(p.source);
    const QString question =
        QStringLiteral("Следующие поля в таблице \"arrival\" отсутствуют и не могут быть "
                       "импортированы: ampl\rХотите импортировать остальные поля?");

    // No: the import ends with nothing written, also of the table before.
    p.rec.answer({IDNO});
    p.importInto(target, archive);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{question, MB_ICONQUESTION}}));
    EXPECT_EQ(target.rows(QStringLiteral("select count(*) from origin")), QStringList{"0"});
    EXPECT_EQ(target.rows(QStringLiteral("select count(*) from arrival")), QStringList{"0"});

    // Yes: the other columns come in.
    p.rec.answer({IDYES});
    const OrvImportStats stats = p.importInto(target, archive);
    ASSERT_EQ(p.rec.count(), 2);
    EXPECT_TRUE(stats.committed);
    EXPECT_EQ(target.rows(QStringLiteral("select arid,iphase,amptime from arrival order by arid")),
              (QStringList{"1|P|1204374903.5", "2|S|<null>", "3|<null>|<null>", "4|Pg|<null>"}));
}

// Mended: the time the import took counted the analyst's answers. The clock here moves only while a
// question waits, thirteen seconds each: the columns the target lacks, then the station's old data.
TYPED_TEST(OrvExchange, ImportTimeLeavesTheQuestionsOut)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target, kArrivalWithoutAmpl);
    target.exec("insert into arrival (arid,eventid,sta,itime) values (20,'OLD','ABC',1204374901)");
    const QString archive = p.exportFrom(p.source);
    p.host.clockMs = 0;
    const MessageProcType recorded = MessageProc;
    const auto restore = qScopeGuard([&] { MessageProc = recorded; });
    MessageProc = [&](QWidget *owner, const QString &text, unsigned icon, unsigned buttons) {
        if ((buttons & 0xF) == MB_YESNO)
            *p.host.clockMs += 13000;
        return recorded(owner, text, icon, buttons);
    };
    p.rec.answer({IDYES, IDYES});
    EXPECT_TRUE(p.importInto(target, archive).committed);
    ASSERT_EQ(p.rec.count(), 3);
    EXPECT_EQ(p.rec.last().text, QStringLiteral("Готово!\r\rИмпорт занял 0 секунд."));
}

// Mended: a taken EVENTID is found as the key compares it. On SQLite the key ignores case, so the
// successor "AC" of a taken "AB" is taken by "ac" too (the trimmed comparison alone missed it and the
// insert failed on the key); on PostgreSQL the key, and so the search, tells the cases apart.
TYPED_TEST(OrvExchange, TakenIdsAreFoundAsTheKeyComparesThem)
{
    OrvProgram p;
    OrxDb<SqliteEnv> source;
    createOrx(source);
    source.exec("insert into origin (eventid,lat) values ('AB',1),('X1',2)");
    source.exec("insert into arrival (arid,eventid,sta,itime) values (1,'AB','ABC',1204374900),"
                "(2,'X1','ABC',1204374910)");
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);
    target.exec("insert into origin (eventid,lat) values ('AB',7),('ac',8),('X1',9),('x2',10)");

    const OrvImportStats stats = p.importInto(target, p.exportFrom(source));
    EXPECT_TRUE(stats.committed);
    EXPECT_EQ(stats.renamed, 2);
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(
        QStringLiteral("Готово!\r\rНекоторые EVENTID изменены, т.к. обнаружены совпадения!")))
        << p.rec.last().text.toStdString();
    const QStringList renamed = TypeParam::odbc ? QStringList{"AC", "X2"} : QStringList{"AD", "X3"};
    EXPECT_EQ(p.log(), QStringLiteral("EVENTID                 NEW_EVENTID\r\n"
                                      "AB                      %1\r\n"
                                      "X1                      %2\r\n")
                           .arg(renamed[0], renamed[1]));
    EXPECT_EQ(target.rows(QStringLiteral("select eventid,lat from origin order by lat")),
              (QStringList{renamed[0] + "|1", renamed[1] + "|2", "AB|7", "ac|8", "X1|9", "x2|10"}));
    EXPECT_EQ(target.rows(QStringLiteral("select arid,eventid from arrival order by arid")),
              (QStringList{"1|" + renamed[0], "2|" + renamed[1]}));
}

// Mended: a target without the tables is named before anything is asked.
TYPED_TEST(OrvExchange, MissingTablesAreNamedAtOnce)
{
    OrvProgram p;
    const QString archive = p.exportFrom(p.source);
    OrxDb<TypeParam> &target = *this->orx;
    target.exec("create table networks (net varchar(10),stations varchar(200))");
    p.importInto(target, archive);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{QStringLiteral("ReadORV: в БД ORX нет таблиц \"origin\", "
                                                          "\"arrival\", импорт невозможен!"),
                                           MB_ICONERROR}}));
    target.exec(kOrigin);
    p.importInto(target, archive);
    EXPECT_EQ(shown(p.rec),
              (QList<Shown>{{QStringLiteral("ReadORV: в БД ORX нет таблицы \"arrival\", импорт невозможен!"),
                             MB_ICONERROR}}));
    EXPECT_EQ(target.rows(QStringLiteral("select count(*) from origin")), QStringList{"0"});
}

// The import page's own road: "Чтение данных" shows the file's tables, the origin table in the grid
// locked for viewing, without a connection; "Запись данных" imports the file itself.
struct OrvPageProgram : OrvProgram
{
    std::unique_ptr<Tmainf> w;

    OrvPageProgram()
    {
        writeGlobal();
        SetImportPageInstaller(&InstallImportPage);
        w = start();
        SetImportPageInstaller(nullptr);
        w->fsLocal = TFormatSettings();
    }
    ImportPage &page() const { return *static_cast<ImportPage *>(w->importPage()); }
    // The page imports into the main window's ORX database.
    void useOrx(const QString &source)
    {
        w->sett.fullorx = true;
        w->sett.orxini = false;
        w->sett.ORX_source = source;
    }
    void point(OrxDb<SqliteEnv> &db) { useOrx(db.source()); }
    QString labels() const
    {
        QStringList texts;
        for (const char *name : {"st1", "st2", "st3"})
            texts << w->findChild<QLabel *>(QString::fromLatin1(name))->text();
        return texts.join(QLatin1Char('|'));
    }
};

TEST(OrvView, ReadButtonShowsTheFileAndWriteButtonImportsIt)
{
    OrvPageProgram p;
    const QString archive = p.exportFrom(p.source);
    p.useOrx(p.path("no-such-database.db"));
    p.page().SetImportType(ImportOrv);
    p.w->Edit5->setText(archive);
    p.w->imm->setChecked(false);
    p.rec.clear();
    const QStringList temps = folderEntries(p.temp.path());

    p.page().ReadData();
    EXPECT_EQ(p.rec.count(), 0);
    EXPECT_FALSE(Tdm::instance()->conPubs->Connected());
    EXPECT_EQ(folderEntries(p.temp.path()), temps);
    EXPECT_FALSE(QFileInfo::exists(p.path("system/log_imp.txt")));
    const QStringList origin = tableRows(*p.w->importTables[1]);
    ASSERT_EQ(origin.size(), 4);
    EXPECT_EQ(origin[0], "eventid|lat|depth|origintime|comment|orid");
    EXPECT_EQ(origin[1], "20080301123456|51.5|-10.25|01.03.2008 12:34:56.5|Землетрясение 'Байкал'|7");
    EXPECT_EQ(origin[3], "20080320101010 O'B|||20.03.2008 06:50:10.0");
    const QStringList arrival = tableRows(*p.w->importTables[2]);
    ASSERT_EQ(arrival.size(), 5);
    EXPECT_EQ(arrival[1], "1|20080301123456|ABC|P|01.03.2008 12:35:00.1|01.03.2008 12:35:03.5|12.5");
    EXPECT_EQ(p.labels(), "Станции: ABC,XYZ|с 01.03.2008 по 31.03.2008|Версия ORV: 1.1");
    EXPECT_TRUE(p.page().gridLock());
    EXPECT_TRUE(p.w->findChild<QRadioButton *>(QStringLiteral("Strb"))->isChecked());
    const TMStringGrid &grid = *p.w->sg;
    ASSERT_EQ(grid.columnCount(), 7);
    ASSERT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(GridCell(grid, 4, 1), QStringLiteral("01.03.2008 12:34:56.5"));

    OrxDb<SqliteEnv> target;
    createOrx(target);
    p.point(target);
    p.page().WriteData();
    EXPECT_EQ(allRows(target), allRows(p.source));
    ASSERT_GE(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral("Готово!"))) << p.rec.last().text.toStdString();

    // Without the file nothing is read again.
    p.w->Edit5->setText(p.path("gone.orv"));
    p.rec.clear();
    p.page().WriteData();
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral("Заданный файл не найден.")));
}

// Mended: a damaged file is refused before anything reaches the database, and the unpacked members go
// with their temporary folder.
TEST(OrvImport, DamagedFilesWriteNothing)
{
    OrvProgram p;
    const QString archive = p.exportFrom(p.source);
    OrxDb<SqliteEnv> target;
    createOrx(target);
    target.exec("insert into origin (eventid,lat) values ('OLD',1)");
    // Within ABC's entry: a file read whole is asked about replacing it.
    target.exec("insert into arrival (arid,eventid,sta,itime) values (20,'OLD','ABC',1204374901)");
    const QStringList before = allRows(target);
    p.write("system/Brenvale.ini", QStringLiteral("[global]\r\neffects=0\r\n"));
    const QByteArray settings = readBytes(p.path("system/Brenvale.ini"));

    TestDir work;
    unzipAll(archive, work.path());
    const QByteArray arrival = readBytes(work.file(OrvArrivalMember));
    const QByteArray origin = readBytes(work.file(OrvOriginMember));
    const QByteArray systemText = readBytes(work.file(OrvSystemMember));
    // An archive of the three members with the arrival dump, and the origin dump, replaced.
    const auto withArrival = [&](const char *name, const QByteArray &bytes, const QByteArray &origins) {
        const QString dir = work.file(QStringLiteral("d_") + QString::fromLatin1(name));
        QDir().mkpath(dir);
        writeBytes(dir + QLatin1Char('/') + OrvOriginMember, origins);
        writeBytes(dir + QLatin1Char('/') + OrvArrivalMember, bytes);
        writeBytes(dir + QLatin1Char('/') + OrvSystemMember, systemText);
        const QString zip = work.file(QString::fromLatin1(name) + QStringLiteral(".orv"));
        zipFiles(zip, QString(),
                 {dir + QLatin1Char('/') + OrvOriginMember, dir + QLatin1Char('/') + OrvArrivalMember,
                  dir + QLatin1Char('/') + OrvSystemMember});
        return zip;
    };
    QByteArray beyond = arrival;
    qToLittleEndian<qint32>(1000000, beyond.data() + 140);
    QByteArray wrongType = arrival;
    wrongType[int(arrival.indexOf(QByteArray("\x05\0\0\0itime", 9))) - 1] = '\x0d';

    // Member names as a hostile tool stores them.
    const QString outside = work.file(QStringLiteral("outside.orv"));
    const QString script = QStringLiteral("import sys, zipfile\n"
                                          "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                          "    z.writestr('Brenvale.ini', 'x')\n"
                                          "    z.writestr('../../system/Brenvale.ini', 'x')\n"
                                          "    z.writestr('_ori1101.orv', 'x')\n");
    ASSERT_EQ(QProcess::execute(QStringLiteral("python3"), {QStringLiteral("-c"), script, outside}), 0);
    writeBytes(work.file(QStringLiteral("junk.orv")), "this is no archive");

    const QString damaged = QStringLiteral("ReadORV: файл \"_arr1101.orv\" повреждён, данные не считаны!");
    const QString unsupported = QStringLiteral(
        "ReadSQLStream: операция прервана.\rТип данных \"VarBytes\" в таблице не поддерживается!");
    // What the ZIP layer says of an archive it cannot unpack, up to the folder it unpacks into.
    const auto zipText = [](const QString &archive) {
        TestDir into;
        try {
            unzipAll(archive, into.path(), OrvUnzipLimits());
        } catch (const EFileError &e) {
            return e.message().left(e.message().indexOf(into.path()));
        }
        ADD_FAILURE() << "unpacked " << archive.toStdString();
        return QString();
    };
    const struct
    {
        const char *name;
        QString file;
        QString message; // the start of the one message shown
    } cases[] = {
        {"truncated", withArrival("truncated", arrival.left(arrival.size() - 3), origin), damaged},
        {"count beyond the data", withArrival("beyond", beyond, origin), damaged},
        {"wrong type code", withArrival("type", wrongType, origin), unsupported},
        // Mended: asked about the station's old data, and then refused for a record that could not be read.
        {"origin truncated", withArrival("origins", arrival, origin.left(origin.size() - 3)),
         QStringLiteral("ReadORV: файл \"_ori1101.orv\" повреждён, данные не считаны!")},
        // Changed: an archive that does not unpack never reached the database, so the failure is the
        // file's, in the ZIP layer's own words.
        {"member outside the folder", outside,
         QStringLiteral("ReadORV: Не удалось прочитать файл \"outside.orv\".\rСообщение об ошибке:\r") +
             zipText(outside)},
        {"not a zip", work.file(QStringLiteral("junk.orv")),
         QStringLiteral("ReadORV: Не удалось прочитать файл \"junk.orv\".\rСообщение об ошибке:\r") +
             zipText(work.file(QStringLiteral("junk.orv")))},
    };
    for (const auto &c : cases) {
        p.rec.answer({IDYES, IDYES});
        p.importInto(target, c.file);
        QStringList errors;
        for (const auto &m : p.rec.messages())
            if (m.icon == MB_ICONERROR)
                errors << m.text;
        ASSERT_EQ(errors.size(), 1) << c.name;
        EXPECT_EQ(p.rec.count(), 1) << c.name;
        EXPECT_TRUE(errors[0].startsWith(c.message)) << c.name << ": " << errors[0].toStdString();
        EXPECT_EQ(allRows(target), before) << c.name;
        EXPECT_EQ(readBytes(p.path("system/Brenvale.ini")), settings) << c.name;
    }
}

// Only looked at: the view tables and status lines are filled, the progress counts every record of the
// file, and no connection is opened.
TEST(OrvView, HeadlessViewFillsTheTablesWithoutAConnection)
{
    OrvProgram p;
    const QString archive = p.exportFrom(p.source);
    p.useOrx(p.path("no-such-database.db"));
    p.rec.clear();
    p.host.opened = 0;
    OrvImportStats stats;
    ReadORV(p.host, archive, true, &stats);
    EXPECT_EQ(p.rec.count(), 0);
    EXPECT_TRUE(stats.viewed);
    EXPECT_FALSE(stats.committed);
    EXPECT_EQ(p.host.opened, 0);
    EXPECT_EQ(p.host.cleared, 1);
    EXPECT_EQ(p.host.progressMaximum, 7);
    EXPECT_FALSE(p.host.progressShown);
    EXPECT_EQ(tableRows(p.host.tables[1]),
              (QStringList{"eventid|lat|depth|origintime|comment|orid",
                           "20080301123456|51.5|-10.25|01.03.2008 12:34:56.5|Землетрясение 'Байкал'|7",
                           "20080315080000|52.125||15.03.2008 08:00:00.0",
                           "20080320101010 O'B|||20.03.2008 06:50:10.0"}));
    EXPECT_EQ(tableRows(p.host.tables[2]).value(4), "4|20080320101010 O'B|ABC|Pg|20.03.2008 06:50:15.1||-3");
    EXPECT_EQ(p.labels(), "Станции: ABC,XYZ|с 01.03.2008 по 31.03.2008|Версия ORV: 1.1");
}

// A main window on an ORX database of the export rows, that exports March 2008 of its selected station,
// ABC, into a folder of the test's own without mailing it.
struct ExportWindow : ProgramWindow
{
    OrxDb<SqliteEnv> orx;
    TestDir out;

    ExportWindow()
    {
        for (const char *sql : kExportRows)
            orx.exec(sql);
        useOrx(orx.source());
        addStation(QStringLiteral("ABC"), QStringLiteral("ABC"), QStringLiteral("Станция"));
        w->sett.exp_start_date = EncodeDate(2008, 3, 1);
        w->sett.exp_end_date = EncodeDate(2008, 3, 31);
        w->sett.exp_dir = out.path();
        w->sett.maile_send = false;
        w->sett.expset = 0;
    }
};

// The main window's export takes its settings, its selected and ticked stations and its ORX database.
TEST(OrvExportWindow, TheWindowsStationsAndSettingsGoIntoTheExport)
{
    ExportWindow o;
    OrvExportStats stats;
    RunMainWindowOrvExport(*o.w, &stats);
    EXPECT_EQ(shown(o.rec), (QList<Shown>{{QStringLiteral("Готово!"), MB_ICONINFORMATION}}));
    EXPECT_EQ(folderEntries(o.out.path()), QStringList{"ABC_20080301_20080331.orv"});
    EXPECT_EQ(stats.arrivals, 3);
    EXPECT_FALSE(Tdm::instance()->conPubs->Connected());

    o.rec.clear();
    o.w->sett.expset = 1;
    o.w->checkedStations = {QStringLiteral("QQQ")};
    RunMainWindowOrvExport(*o.w, &stats);
    EXPECT_EQ(shown(o.rec), (QList<Shown>{{QStringLiteral("Данные по станции(ям) \"QQQ\" за этот период "
                                                          "отсутствуют"),
                                           MB_ICONWARNING}}));
}

// The event file's format leaves the deflate level open: the main window packs it at the normal level,
// which unzip reads as it reads the data module's archives, packed at the highest.
TEST(OrvExportWindow, TheEventFileIsDeflatedAtTheNormalLevel)
{
    ExportWindow o;
    OrvExportStats stats;
    RunMainWindowOrvExport(*o.w, &stats);
    const auto methods = [](const QString &archive) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-v"), archive});
        unzip.waitForFinished();
        QStringList found;
        for (const QString &line : QString::fromUtf8(unzip.readAllStandardOutput()).split(u'\n'))
            if (line.contains(QLatin1String("Defl:")))
                found << line.simplified().section(u' ', 1, 1) + u' ' + line.simplified().section(u' ', 7);
        return found;
    };
    EXPECT_EQ(methods(stats.archive),
              (QStringList{"Defl:N _ori1101.orv", "Defl:N _arr1101.orv", "Defl:N system"}));
    const QString system = o.out.file(QStringLiteral("system"));
    writeBytes(system, "origin arrival");
    Tdm::instance()->ZipFiles(o.out.file(QStringLiteral("x.zip")), system, {});
    EXPECT_EQ(methods(o.out.file(QStringLiteral("x.zip"))), QStringList{"Defl:X system"});
}

TEST(OrvExport, ArchiveNames)
{
    const TDateTime start = EncodeDate(2008, 3, 1), end = EncodeDate(2008, 3, 31);
    EXPECT_EQ(OrvArchiveName(0, QStringLiteral("ABC"), start, end),
              QStringLiteral("ABC_20080301_20080331.orv"));
    EXPECT_EQ(OrvArchiveName(0, QStringLiteral("ABC"), start + EncodeTime(6, 30, 0, 0), end),
              QStringLiteral("ABC_20080301063000_20080331.orv"));
    EXPECT_EQ(OrvArchiveName(3, QStringLiteral("ABC"), start, end + EncodeTime(0, 0, 0, 500)),
              QStringLiteral("20080301_20080331.orv"));
    EXPECT_EQ(OrvArchiveName(1, QStringLiteral("ABC"), start, end), QStringLiteral("20080301_20080331.orv"));
}

namespace {

QByteArray le32(qint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray str(const QByteArray &text)
{
    return le32(qint32(text.size())) + text;
}

// A version-1.0 dump: "ZIP", the table, counts, one station code and the period, then the fields.
QByteArray oldDump(const QByteArray &table, int records, const QByteArray &fields, const QByteArray &rows)
{
    return QByteArray::fromHex("03") + "ZIP" + QByteArray(4, '\0') + char(table.size()) + table +
           QByteArray(127 - table.size(), '\0') + fields.left(4) + le32(records) + QByteArray::fromHex("03") +
           "ABC" + QByteArray(4, '\0') + QByteArray::fromHex("00 00 00 00 80 4a e3 40") // 01.03.2008
           + QByteArray::fromHex("00 00 00 00 40 4e e3 40")                             // 31.03.2008
           + fields.mid(4) + rows;
}

} // namespace

TEST(OrvImport, OldVersionReplacesTheStationsPeriod)
{
    OrvProgram p;
    OrxDb<SqliteEnv> target;
    createOrx(target);
    target.exec("insert into origin (eventid,lat) values ('OLD',1)");
    target.exec("insert into arrival (arid,eventid,sta,itime) values (20,'OLD','ABC',1206964800)");

    // Field lists led by their count.
    const QByteArray originFields = le32(2) + "\x01" + str("eventid") + "\x06" + str("lat");
    const QByteArray arrivalFields = le32(4) + "\x03" + str("arid") + "\x01" + str("eventid") + "\x01" +
                                     str("sta") + "\x06" + str("itime");
    TestDir dir;
    writeBytes(dir.file(OrvOriginMember),
               oldDump("origin", 1, originFields,
                       QByteArray(1, '\0') + str("E1") + QByteArray(1, '\0') +
                           QByteArray::fromHex("00 00 00 00 00 e0 4b 40"))); // 55.75
    writeBytes(dir.file(OrvArrivalMember),
               oldDump("arrival", 1, arrivalFields,
                       QByteArray(1, '\0') + le32(1) + QByteArray(1, '\0') + str("E1") + QByteArray(1, '\0') +
                           str("ABC") + QByteArray(1, '\x01')));
    writeBytes(dir.file(OrvSystemMember), "origin arrival");
    const QString archive = dir.file(QStringLiteral("old.orv"));
    zipFiles(archive, QString(),
             {dir.file(OrvOriginMember), dir.file(OrvArrivalMember), dir.file(OrvSystemMember)});

    p.rec.answer({IDYES});
    const OrvImportStats stats = p.importInto(target, archive);
    EXPECT_TRUE(stats.committed);
    ASSERT_EQ(p.rec.count(), 2);
    // Changed: the end day is taken whole, and the question names its last second.
    EXPECT_EQ(p.rec.messages()[0].text,
              QStringLiteral(
                  "Для станции с кодом \"ABC\" в таблицах \"origin\" и \"arrival\" уже есть землетрясения "
                  "за период от 01.03.2008 до 31.03.2008 23:59:59\r\rХотите удалить существующие данные и "
                  "записать новые?\r(удалятся записи обо всех событиях в данном интервале, для всех "
                  "станций внутри этих событий)"));
    EXPECT_EQ(target.rows(QStringLiteral("select eventid,lat from origin")), QStringList{"E1|55.75"});
    EXPECT_EQ(target.rows(QStringLiteral("select arid,eventid,sta,itime from arrival")),
              QStringList{"1|E1|ABC|<null>"});
    EXPECT_EQ(p.labels(), "Станции: ABC|с 01.03.2008 по 31.03.2008|Версия ORV: 1.0");
}

// The import log goes through the safe writer: a full disk leaves the old log and says so.
TEST(OrvImport, FullDiskKeepsTheOldLog)
{
    OrvProgram p;
    p.source.exec(kOrphan);
    const QString archive = p.exportFrom(p.source);
    OrxDb<SqliteEnv> target;
    createOrx(target);
    p.write("system/log_imp.txt", QStringLiteral("old log\r\n"));
    // The disk fills up once the members are unpacked, at the log's second line.
    TestDir members;
    unzipAll(archive, members.path());
    qint64 unpacked = 0;
    for (const QString &name : folderEntries(members.path()))
        unpacked += QFileInfo(members.file(name)).size();
    {
        DiskFullAfter full(unpacked + 10);
        p.importInto(target, archive);
    }
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(
        p.rec.last().text.startsWith(QStringLiteral("ReadORV: Не удалось импортировать данные в БД ORX.")));
    EXPECT_TRUE(p.rec.last().text.contains(QStringLiteral("Сообщение об ошибке:\rНе удалось записать файл ") +
                                           p.path("system/log_imp.txt")))
        << p.rec.last().text.toStdString();
    EXPECT_EQ(target.rows(QStringLiteral("select count(*) from origin")), QStringList{"0"});
    EXPECT_EQ(p.read("system/log_imp.txt"), QStringLiteral("old log\r\n"));
    EXPECT_EQ(folderEntries(p.path("system")).filter(QStringLiteral("log_imp")), QStringList{"log_imp.txt"});
}

TYPED_TEST(OrvExchange, PeriodStationsAndMembers)
{
    OrvProgram p;
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

TYPED_TEST(OrvExchange, NothingToExport)
{
    OrvProgram p;
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

// Mended: an empty export folder put the archive into the process's working folder. The export says
// what the station's text export says and writes nothing anywhere; a folder that is not there is named.
TYPED_TEST(OrvExchange, ExportFolderMustBeGiven)
{
    OrvProgram p;
    p.use(*this->orx);
    TestDir working;
    const QString oldWorking = QDir::currentPath();
    QDir::setCurrent(working.path());
    const struct
    {
        QString folder;
        QString message;
    } cases[] = {
        {QString(), QStringLiteral("Директория не указана. Экспорт невозможен")},
        {QStringLiteral("  "), QStringLiteral("Директория не указана. Экспорт невозможен")},
        {p.out.file(QStringLiteral("нет")), QStringLiteral("Директория \"") +
                                                p.out.file(QStringLiteral("нет")) +
                                                QStringLiteral("\" не найдена")},
    };
    for (const auto &c : cases) {
        p.host.sett.exp_dir = c.folder;
        p.host.opened = 0;
        p.run(3);
        EXPECT_EQ(shown(p.rec), (QList<Shown>{{c.message, MB_ICONERROR}}));
        EXPECT_TRUE(p.stats.archive.isEmpty());
        EXPECT_EQ(p.host.opened, 0);
    }
    QDir::setCurrent(oldWorking);
    EXPECT_TRUE(folderEntries(working.path()).isEmpty());
    EXPECT_TRUE(folderEntries(p.out.path()).isEmpty());
}

TEST(OrvExportMail, SentOrNotTheArchiveStays)
{
    OrxDb<SqliteEnv> orx;
    OrvProgram p;
    p.use(orx);
    TestDir mail;
    SmtpServer server(mail.path());
    ASSERT_GT(server.port(), 0);
    Tsett &sett = p.host.sett;
    Tdm::instance()->SetSettings(&sett);
    sett.smtp_host = QStringLiteral("127.0.0.1");
    sett.smtp_port = server.port();
    for (QString *from : {&sett.mail_from, &sett.maile_from})
        *from = QStringLiteral("st@from.ru");
    for (QString *to : {&sett.mail_recv, &sett.maile_recv})
        *to = QStringLiteral("centre@to.ru");
    sett.maile_send = true;

    p.run(0);
    EXPECT_TRUE(p.stats.mailed);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{QStringLiteral("Готово!\rЭкспорт успешно отправлен по почте."),
                                           MB_ICONINFORMATION}}));
    EXPECT_TRUE(readBytes(mail.file(QStringLiteral("msg-1.eml"))).contains("ABC_20080301_20080331.orv"));

    QFile::remove(p.stats.archive);
    sett.smtp_port = 1; // nothing listens there
    p.run(0);
    EXPECT_FALSE(p.stats.mailed);
    ASSERT_EQ(p.rec.count(), 2);
    EXPECT_EQ(p.rec.messages()[0].icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(lastShown(p.rec),
              Shown(QStringLiteral("Готово!\rНе удалось отправить экспорт по почте!"), MB_ICONWARNING));
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
    OrvProgram p;
    p.use(orx);
    {
        // The rows being read keep the file locked for writers: the message waits until they are let go.
        LockWatch watch(orx);
        DiskFullAfter full(100);
        p.run(0);
        EXPECT_EQ(watch.shown(), 1);
        EXPECT_EQ(watch.shownLocked(), QStringList());
    }
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral("Не удалось записать файл ")))
        << p.rec.last().text.toStdString();
    EXPECT_TRUE(p.stats.archive.isEmpty());
    EXPECT_TRUE(folderEntries(p.out.path()).isEmpty());
}
