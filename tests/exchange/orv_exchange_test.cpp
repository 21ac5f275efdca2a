#include "app/main/program_folder.h"
#include "exchange/import_grid.h"
#include "exchange/import_page.h"
#include "exchange/import_type.h"
#include "exchange/orv_export.h"
#include "exchange/orv_file.h"
#include "exchange/orv_import.h"
#include "exchange_test_env.h"
#include "lib/mstring_grid.h"
#include "platform/zip_archive.h"
#include "support/program_env.h"

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

// A program folder whose ORX database the test points where it wants, and a temporary folder of its
// own so that what a run leaves behind there can be seen.
struct OrvProgram : ProgramWindow
{
    TestDir out, temp;
    QByteArray oldTemp = qgetenv("TMPDIR");
    OrxDb<SqliteEnv> source; // the rows above

    OrvProgram()
    {
        createOrx(source);
        for (const char *sql : kSourceRows)
            source.exec(sql);
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        addStation(QStringLiteral("ABC"), QStringLiteral("ABC"), QStringLiteral("Станция"));
        w->sett.exp_start_date = EncodeDate(2008, 3, 1);
        w->sett.exp_end_date = EncodeDate(2008, 3, 31);
        w->sett.exp_dir = out.path();
        w->sett.expset = 3;
        w->sett.maile_send = false;
    }
    ~OrvProgram() { qputenv("TMPDIR", oldTemp); }

    template <class Env> void point(OrxDb<Env> &db) { useOrx(db.source(), db.user(), db.password()); }

    template <class Env> QString exportFrom(OrxDb<Env> &db)
    {
        point(db);
        rec.clear();
        OrvExportStats stats;
        RunOrxExport(*w, &stats);
        EXPECT_EQ(shown(rec), (QList<Shown>{{QStringLiteral("Готово!"), MB_ICONINFORMATION}}));
        EXPECT_EQ(folderEntries(out.path()), QStringList{QFileInfo(stats.archive).fileName()});
        return stats.archive;
    }

    template <class Env> OrvImportStats importInto(OrxDb<Env> &db, const QString &archive)
    {
        point(db);
        rec.clear();
        OrvImportStats stats;
        const QStringList before = folderEntries(temp.path());
        ReadORV(*w, archive, false, &stats);
        EXPECT_EQ(folderEntries(temp.path()), before);
        return stats;
    }
    QString log() const { return read("system/log_imp.txt"); }
    QString labels() const
    {
        QStringList texts;
        for (const char *name : {"st1", "st2", "st3"})
            texts << w->findChild<QLabel *>(QString::fromLatin1(name))->text();
        return texts.join(QLatin1Char('|'));
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
    p.w->adde->setChecked(true);
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

// Mended: the replacement and the import are one transaction; a run that ends later keeps the old data.
TYPED_TEST(OrvExchange, ReplacementIsUndoneWhenTheImportFails)
{
    OrvProgram p;
    OrxDb<TypeParam> &target = *this->orx;
    createOrx(target);
    target.exec("insert into origin (eventid,lat) values ('OLD',1)");
    // Arrival 4 of the file collides with a row of another station, which the replacement keeps.
    target.exec("insert into arrival (arid,eventid,sta,itime) values "
                "(20,'OLD','ABC',1204374950),(4,'OTHER','QQQ',1)");
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

// The import page's own road: "Чтение данных" shows the file's tables, the origin table in the grid
// locked for viewing, without a connection; "Запись данных" imports the file itself.
struct ImportPageInstalled
{
    ImportPageInstalled() { SetImportPageInstaller(&InstallImportPage); }
    ~ImportPageInstalled() { SetImportPageInstaller(nullptr); }
};
struct OrvPageProgram : ImportPageInstalled, OrvProgram
{
    ImportPage &page() const { return *static_cast<ImportPage *>(w->importPage()); }
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
    target.exec("insert into arrival (arid,eventid,sta,itime) values (20,'OLD','ABC',1204374900)");
    const QStringList before = allRows(target);
    p.write("system/Brenvale.ini", QStringLiteral("[global]\r\neffects=0\r\n"));
    const QByteArray settings = readBytes(p.path("system/Brenvale.ini"));

    TestDir work;
    unzipAll(archive, work.path());
    const QByteArray arrival = readBytes(work.file(OrvArrivalMember));
    const QByteArray systemText = readBytes(work.file(OrvSystemMember));
    // An archive of the three members with the arrival dump replaced.
    const auto withArrival = [&](const char *name, const QByteArray &bytes) {
        const QString dir = work.file(QStringLiteral("d_") + QString::fromLatin1(name));
        QDir().mkpath(dir);
        QFile::copy(work.file(OrvOriginMember), dir + QLatin1Char('/') + OrvOriginMember);
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
    const struct
    {
        const char *name;
        QString file;
        QString message; // the start of the one message shown
    } cases[] = {
        {"truncated", withArrival("truncated", arrival.left(arrival.size() - 3)), damaged},
        {"count beyond the data", withArrival("beyond", beyond), damaged},
        {"wrong type code", withArrival("type", wrongType),
         QStringLiteral(
             "ReadSQLStream: операция прервана.\rТип данных \"VarBytes\" в таблице не поддерживается!")},
        {"member outside the folder", outside,
         QStringLiteral(
             "ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = 0; таблица = ; last sql = "
             "\r\r\r\rСообщение об ошибке:\r")},
        {"not a zip", work.file(QStringLiteral("junk.orv")),
         QStringLiteral("ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = 0;")},
    };
    for (const auto &c : cases) {
        p.rec.answer({IDYES, IDYES});
        p.importInto(target, c.file);
        QStringList errors;
        for (const auto &m : p.rec.messages())
            if (m.icon == MB_ICONERROR)
                errors << m.text;
        ASSERT_EQ(errors.size(), 1) << c.name;
        EXPECT_TRUE(errors[0].startsWith(c.message)) << c.name << ": " << errors[0].toStdString();
        EXPECT_EQ(allRows(target), before) << c.name;
        EXPECT_EQ(readBytes(p.path("system/Brenvale.ini")), settings) << c.name;
    }
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
    EXPECT_EQ(p.rec.messages()[0].text,
              QStringLiteral(
                  "Для станции с кодом \"ABC\" в таблицах \"origin\" и \"arrival\" уже есть землетрясения "
                  "за период от 01.03.2008 до 31.03.2008\r\rХотите удалить существующие данные и "
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
    {
        DiskFullAfter full(10);
        p.importInto(target, archive);
    }
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(
        p.rec.last().text.startsWith(QStringLiteral("ReadORV: Не удалось импортировать данные в БД ORX.")));
    EXPECT_TRUE(p.rec.last().text.contains(QStringLiteral("Сообщение об ошибке:\rНе удалось записать файл ")))
        << p.rec.last().text.toStdString();
    EXPECT_EQ(target.rows(QStringLiteral("select count(*) from origin")), QStringList{"0"});
    EXPECT_EQ(p.read("system/log_imp.txt"), QStringLiteral("old log\r\n"));
    EXPECT_EQ(folderEntries(p.path("system")).filter(QStringLiteral("log_imp")), QStringList{"log_imp.txt"});
}
