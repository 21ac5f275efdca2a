// Files made to hurt the readers: small files that declare big things, nest without end, or lie about their
// counts, and large ones at the readers' limits. The first table reads each through the import page's own
// handlers: each gets its message, and neither database, the program's folder nor the temporary folder
// changes; the read stays within its share of memory and a bounded processor time. The second takes the large
// inputs the page would show in its grid straight through the readers and writers, whose memory is what
// their share bounds.

#include "demo_data.h"
#include "exchange/excel/pet_conversion.h"
#include "exchange/excel/station_sheets.h"
#include "exchange/excel/workbook.h"
#include "exchange/krv/krv_reader.h"
#include "exchange/krv/krv_writer.h"
#include "exchange/orv/orv_file.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange/paradox/paradox_journal.h"
#include "exchange/paradox/paradox_table.h"
#include "exchange/paradox_fixture.h"
#include "exchange/read_limits.h"
#include "exchange/text/delimited_reader.h"
#include "exchange/text/text_to_bulletin.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/mstring_grid.h"
#include "orv_test_env.h"
#include "support/cpu_time.h"
#include "support/peak_memory.h"
#include "support/program_env.h"
#include "support/zip_writer.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QtEndian>

#include <functional>
#include <malloc.h>
#include <numeric>

using namespace Qt::StringLiterals;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTILE_TEST_ASAN 1
#endif
#endif

namespace {

// The peak a case may reach: the share of its input, which the sanitizer's quarantine of freed memory
// makes meaningless in that build.
void expectWithinShare(qint64 mebibytes, qint64 inputBytes)
{
#ifndef HOSTILE_TEST_ASAN
    EXPECT_LE(mebibytes, ReadBudgetBytes(inputBytes) / kMiB);
#else
    (void)mebibytes;
    (void)inputBytes;
#endif
}

// --- Paradox ---

// A table of version 4 (no extended header) with the field sizes given, all alpha, names "f1", "f2"...;
// the data blocks start 2,048 bytes in.
QByteArray paradoxTable(const QList<int> &sizes, qint32 records, int recordSize)
{
    QByteArray head(88, '\0');
    char *h = head.data();
    qToLittleEndian<quint16>(quint16(recordSize), h);
    qToLittleEndian<quint16>(2048, h + 2);
    h[5] = 1; // blocks of 1 KiB
    qToLittleEndian<qint32>(records, h + 6);
    qToLittleEndian<qint16>(qint16(sizes.size()), h + 33);
    h[57] = 4;
    QByteArray file = head;
    for (int size : sizes)
        file += char(pxAlpha) + QByteArray(1, char(size));
    file += QByteArray((sizes.size() + 1) * 4 + 79, '\0');
    for (qsizetype i = 0; i < sizes.size(); ++i)
        file += "f" + QByteArray::number(i + 1) + '\0';
    return file;
}

// The same table whose chain of full 1 KiB blocks holds records in order, one after another, the records'
// bytes repeating pattern; the header counts counted records.
QByteArray chainedParadox(const QList<int> &sizes, const QByteArray &pattern, qint64 records, qint32 counted)
{
    const int recordSize = int(std::accumulate(sizes.cbegin(), sizes.cend(), 0));
    QByteArray file = paradoxTable(sizes, counted, recordSize);
    file.resize(2048, '\0');
    qToLittleEndian<quint16>(1, file.data() + 14); // first block
    const qint64 perBlock = (1024 - 6) / recordSize;
    QByteArray block(1024, '\0');
    for (qint64 k = 0; k < perBlock * recordSize; ++k)
        block[6 + k] = pattern[k % pattern.size()];
    const qint64 blocks = (records + perBlock - 1) / perBlock;
    file.reserve(2048 + blocks * 1024);
    for (qint64 b = 1; b <= blocks; ++b) {
        const qint64 inBlock = std::min(perBlock, records - (b - 1) * perBlock);
        qToLittleEndian<quint16>(quint16(b < blocks ? b + 1 : 0), block.data());
        qToLittleEndian<qint16>(qint16((inBlock - 1) * recordSize), block.data() + 4);
        file += block;
    }
    return file;
}

// A journal of one reading dated by day 3,652,060 of the Paradox calendar, the day after 31.12.9999.
QByteArray journalPastTheCalendar(const QString &path)
{
    QByteArray t =
        writePxTable(path, kPxJournal, {pxRow(kPxJournal, "1|9001|31.12.9999|P|SKMZ|10|0|5")}, 866);
    qToBigEndian<quint32>(3652060u ^ 0x80000000u, t.data() + pxHeaderSize(t) + 6 + 8);
    return t;
}

// --- ORV ---

const QString kPetOutside =
    u"ReadORV: в файле \"_arr1101.orv\" время прихода станции \"PET\" (запись 1, itime = "_s;
const QString kPetPeriod =
    u") вне её периода в заголовке, от 10.11.2026 до 12.11.2026 23:59:59: файл повреждён, "
    "данные не считаны!"_s;

// --- Excel ---

QByteArray workbookXml(int sheets)
{
    QByteArray xml = "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                     "relationships\"><sheets>";
    for (int i = 1; i <= sheets; ++i)
        xml += "<sheet name=\"" + QByteArray::number(i) + "\" sheetId=\"" + QByteArray::number(i) +
               "\" r:id=\"rId" + QByteArray::number(i) + "\"/>";
    return xml + "</sheets></workbook>";
}

// The relations of sheet i (from 1) to the part partOf(i).
QByteArray relsXml(int sheets, const std::function<int(int)> &partOf)
{
    QByteArray xml = "<Relationships>";
    for (int i = 1; i <= sheets; ++i)
        xml += "<Relationship Id=\"rId" + QByteArray::number(i) + "\" Target=\"worksheets/sheet" +
               QByteArray::number(partOf(i)) + ".xml\"/>";
    return xml + "</Relationships>";
}

QByteArray sheetXml(const QByteArray &rows)
{
    return "<worksheet><sheetData>" + rows + "</sheetData></worksheet>";
}

// A workbook of one sheet with the shared strings given.
ZipWriter oneSheetBook(const QByteArray &sheet, const QByteArray &sharedStrings = {})
{
    ZipWriter z;
    z.add("xl/workbook.xml", workbookXml(1));
    z.add("xl/_rels/workbook.xml.rels", relsXml(1, [](int i) { return i; }));
    if (!sharedStrings.isEmpty())
        z.add("xl/sharedStrings.xml", sharedStrings);
    z.add("xl/worksheets/sheet1.xml", sheet);
    return z;
}

// An element nested depth times inside itself around text, as no spreadsheet program writes it.
QByteArray nested(const QByteArray &tag, int depth, const QByteArray &inner)
{
    return ("<" + tag + ">").repeated(depth) + inner + ("</" + tag + ">").repeated(depth);
}

// The prolog of a part of root that declares an entity of 4,000 characters, which Qt expands wherever
// the part names it.
QByteArray entityDtd(const QByteArray &root)
{
    return "<!DOCTYPE " + root + " [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]>";
}

// A value at A1 and a formatting-only cell on the sheet's last row: the used range is a million rows.
const QByteArray kFarSheet =
    sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048576\"><c r=\"N1048576\"/></row>");

// A PET journal at the workbook's cell limit: rows of the fourteen columns A..N, every one opening event 1.
QByteArray petBookAtTheCellLimit()
{
    const QByteArray strings = "<sst><si><t>03.12.2008</t></si><si><t>P</t></si><si><t>СКМ-3 Z</t></si>"
                               "<si><t>10:15:30</t></si><si><t>01:32</t></si><si><t>M=3.1</t></si>"
                               "<si><t>H=15km</t></si></sst>";
    const QByteArray row =
        "<row><c><v>1</v></c><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c t=\"s\"><v>2</v>"
        "</c><c t=\"s\"><v>3</v></c><c><v>4</v></c><c t=\"s\"><v>4</v></c><c><v>150</v></c>"
        "<c><v>0.8</v></c><c><v>12</v></c><c><v>13</v></c><c><v>14</v></c><c t=\"s\"><v>5</v>"
        "</c><c t=\"s\"><v>6</v></c></row>";
    return oneSheetBook(sheetXml(row.repeated(MaxWorkbookCells / 14)), strings).bytes();
}

// --- Text ---

// The three text tables of a year of readings in the default import formats: events of one reading and
// one amplitude each.
struct TextYear
{
    QByteArray events, readings, amplitudes;
};
TextYear textYear(int readings)
{
    TextYear t;
    for (int i = 1; i <= readings; ++i) {
        const QByteArray n = QByteArray::number(i), day = QByteArray::number(1 + i % 28);
        const QByteArray when =
            "11/" + day + "/26 " + QByteArray::number(i % 24) + ":15:" + QByteArray::number(10 + i % 50);
        t.events += "1;" + n + ";" + when + ";" + QByteArray::number(i % 10) + ";52,5;158,25;10;;;;;;;;;;" +
                    toCp1251(u"Камчатка"_s) + ";11/30/26\r\n";
        t.readings += n + ";S" + n + ";" + n + ";PET;11/" + day + "/26;+;i;0;P;SKM;SP;0;Z;" + when + ";" +
                      QByteArray::number(i % 10) + ";;;;;;;;;;\r\n";
        t.amplitudes +=
            "1;" + n + ";SKM;SP;Z;" + when + ";" + QByteArray::number(i % 10) + ";;;;;0,57;123,25;;;;\r\n";
    }
    return t;
}

// --- The program ---

// The demo folder with PET first, the import page installed as the program installs it, and a
// temporary folder of the test's own so that what a read leaves there shows. On PostgreSQL, PET's
// bulletin database is a fresh database of the server with the bulletin tables.
struct HostileProgram
{
    TestDir dir, temp, files;
    QByteArray oldTemp = qgetenv("TMPDIR");
    MessageRecorder rec;
    Tdm dm;
    DemoSummary demo;
    std::unique_ptr<PostgresEnv> pg;
    std::unique_ptr<DbConnection> pgDb;
    std::unique_ptr<Tmainf> w;

    explicit HostileProgram(bool postgres = false)
    {
        demo = makeImportDemo(dir, 1);
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        w = startWithImportPage(dir);
        if (!postgres)
            return;
        pg = std::make_unique<PostgresEnv>();
        pgDb = pg->open();
        createJournalDatabase(*pgDb);
        w->sett.out_provider = 1;
        w->SetupConnections();
        for (tstainfo &s : w->stations)
            if (s.sta == u"PET"_s) {
                s.source = pgDb->DataSource();
                s.user = qEnvironmentVariable("BRENVALE_TEST_PG_USER");
                s.pass = qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
            }
    }
    ~HostileProgram()
    {
        qunsetenv("ORX_INI_DIR");
        qputenv("TMPDIR", oldTemp);
    }

    ImportPage &page() const { return *static_cast<ImportPage *>(w->importPage()); }

    // Every row of both databases, and every file of the program's, the temporary and the input folder.
    QStringList state() const
    {
        QStringList all;
        const char *const bulletin[] = {"select * from [События] order by num",
                                        "select * from [Станционный бюллетень] order by arid",
                                        "select * from [Динамические замеры] order by arid"};
        for (const QString &path : demo.bulletinPaths)
            for (const char *sql : bulletin)
                all << dbRows(*openStationFile(path), QString::fromUtf8(sql));
        if (pgDb)
            for (const char *sql : bulletin)
                all << dbRows(*pgDb, QString::fromUtf8(sql));
        for (const char *sql : {"select * from origin order by eventid",
                                "select * from arrival order by arid", "select * from lastid"})
            all << dbRows(*openStationFile(demo.orxPath), QString::fromUtf8(sql));
        for (const QString &folder : {dir.path(), temp.path(), files.path()}) {
            QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                it.next();
                all << it.filePath() + u' ' + QString::number(it.fileInfo().size());
            }
        }
        return all;
    }
};

// The bytes of the files in folder: the input a case gives its reader.
qint64 inputBytes(const QString &folder)
{
    qint64 bytes = 0;
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files))
        bytes += f.size();
    return bytes;
}

struct HostileCase
{
    const char *name;
    int type;
    bool immediate;
    // Writes the file (or the three text files) into the folder given and returns the name to read.
    std::function<QString(const QString &folder)> make;
    // The messages shown, "%1" standing for the file's full name.
    QList<Shown> messages;
    int seconds = 5;     // the processor time the read may take, the database server's included
    bool writes = false; // read at once into PET's bulletin database, on both back ends
};

// A file only looked at, or one that does not unpack, touched no database: its failure names the file.
QString orvUnreadable(const char *name)
{
    return u"ReadORV: Не удалось прочитать файл \"%2\".\rСообщение об ошибке:\rАрхив \"%1\""_s.arg(
        u"%1"_s, QString::fromLatin1(name));
}
const QString kXlsFailed = u"ReadXls: Произошла ошибка с сообщением:\r"_s;
const QString kTxtFailed =
    u"Txt2dsl: Не удалось импортировать файл \"Events1.txt\"\rСообщение об ошибке:\r"_s;

QString writeFile(const QString &folder, const char *name, const QByteArray &bytes, qint64 size = -1)
{
    const QString path = folder + u'/' + QString::fromLatin1(name);
    EXPECT_TRUE(writeBytes(path, bytes));
    // Sparse: the file declares its size without taking the disk.
    if (size >= 0) {
        EXPECT_TRUE(QFile::resize(path, size));
    }
    return path;
}

QString writeZip(const QString &folder, const char *name, const ZipWriter &zip)
{
    return writeFile(folder, name, zip.bytes());
}

// The three text files of an import, Events holding the bytes given, the other two empty.
QString writeEvents(const QString &folder, const QByteArray &events, qint64 size = -1)
{
    writeFile(folder, "Station_bulletin1.txt", "");
    writeFile(folder, "Xm_Add1.txt", "");
    return writeFile(folder, "Events1.txt", events, size);
}

// An event file of the origin dump alone.
QString writeOrigins(const QString &folder, const char *name, const QByteArray &dump)
{
    ZipWriter z;
    z.add("system", "origin");
    z.add("_ori1101.orv", dump);
    return writeZip(folder, name, z);
}

// A partner bulletin's event up to its station line, and a station line of two readings, Pg and Sg.
const QByteArray kKrvHead = "  5  2  1 12 34   1  14   0   7\r\n"
                            "  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 1   \r\n"
                            " fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin=1.5  \r\n"
                            "Sfi= 2.5    Slam=3.1              St0= 0.8    \r\n";
const QByteArray kKrvStation =
    "  1    0.00  i 25.40     0.00  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  3.4 ";

const QList<HostileCase> &hostileCases()
{
    static const QList<HostileCase> cases = {
        // 32,767 fields of no size but the last, a record of one byte, and a record per byte of the file:
        // 32,767 x 415,036 cells.
        {"Paradox fields of no size",
         ImportParadox,
         false,
         [](const QString &folder) {
             QList<int> sizes(32767, 0);
             sizes.last() = 1;
             QByteArray table = paradoxTable(sizes, 0, 1);
             qToLittleEndian<qint32>(qint32(table.size()), table.data() + 6);
             return writeFile(folder, "fields.db", table);
         },
         {{u"Ошибка при чтении файла\rЗаголовок повреждён: размер поля 1 равен 0"_s, MB_ICONERROR}}},
        // Two one-byte fields and as many records as 64 MiB hold, and no block to hold them: the header row
        // alone, loaded, and a note of both counts; the check before writing finds no event number.
        {"Paradox of 64 MiB counting 2^25 records in no block",
         ImportParadox,
         true,
         [](const QString &folder) {
             return writeFile(folder, "cells.db", paradoxTable({1, 1}, 1 << 25, 2), qint64(64) << 20);
         },
         {{u"Файл \"cells.db\": число записей в заголовке таблицы 33554432, а в цепочке блоков 0.\rПрочитано "
           u"записей: 0."_s,
           MB_ICONINFORMATION},
          {u"Есть неисправленные ошибки.\rВсё равно хотите внести данные в БД?"_s, MB_ICONQUESTION}}},
        // A mebibyte whose header counts a million one-byte records, ten of them in its one block: the ten
        // are shown, and a note says both counts.
        {"Paradox of 1 MB counting a million records, ten real",
         ImportParadox,
         false,
         [](const QString &folder) {
             return writeFile(folder, "lying.db", chainedParadox({1}, "7", 10, 1000000), 1 << 20);
         },
         {{u"Файл \"lying.db\": число записей в заголовке таблицы 1000000, а в цепочке блоков 10.\rПрочитано "
           u"записей: 10."_s,
           MB_ICONINFORMATION}}},
        // A date past the calendar is quoted as the day number the file holds.
        {"Paradox journal dated past the calendar",
         ImportParadox,
         true,
         [](const QString &folder) {
             const QString path = folder + u"/dated.db"_s;
             return writeFile(folder, "dated.db", journalPastTheCalendar(path));
         },
         {{u"Строка 1, поле \"Data\"\rСообщение об ошибке:\r\"3652060\" - неверная дата"_s, MB_ICONERROR}},
         5,
         true},
        // Two one-byte fields and 2^24 - 1 records: 33.6 MB at the old limit of 2^25 cells. Its cells take
        // 320 MiB of its 321 MiB share, and the grid's view 8 bytes a row more: refused before a row is
        // made, rather than shown at 448 MiB.
        {"Paradox table at the old cell limit for the grid",
         ImportParadox,
         false,
         [](const QString &folder) {
             return writeFile(folder, "limit.db",
                              chainedParadox({1, 1}, "abba", (1 << 24) - 1, (1 << 24) - 1));
         },
         {{u"Ошибка при чтении файла\rФайл слишком велик: данные файла заняли бы в памяти больше предела в "
           "321 МиБ"_s,
           MB_ICONERROR}},
         10},
        // A gibibyte member of zeros in a mebibyte: the view would size 1,000 x 1,073,542 cells.
        {"ORV gibibyte member",
         ImportOrv,
         false,
         [](const QString &folder) {
             QList<std::pair<char, const char *>> fields;
             for (int i = 0; i < 1000; ++i)
                 fields.append({char(1), "eventid"});
             ZipWriter z;
             z.add("system", "origin");
             z.add("_ori1101.orv", orvDump("origin", fields, 1073542, QByteArray(1 << 20, '\0')), true,
                   qint64(1) << 30);
             return writeZip(folder, "big.orv", z);
         },
         {{orvUnreadable("big.orv") + u": распакованные файлы больше предела в 1024 МиБ"_s, MB_ICONERROR}}},
        {"ORV member named \".\"",
         ImportOrv,
         false,
         [](const QString &folder) {
             ZipWriter z;
             z.add(".", QByteArray(4096, 'x'));
             z.add("system", "origin");
             return writeZip(folder, "dot.orv", z);
         },
         {{orvUnreadable("dot.orv") + u": не распакованы элементы без имени файла: \".\""_s, MB_ICONERROR}}},
        {"ORV of 60,000 members",
         ImportOrv,
         true,
         [](const QString &folder) {
             ZipWriter z;
             for (int i = 0; i < 60000; ++i)
                 z.add(QByteArray::number(i) + ".orv", {}, false);
             return writeZip(folder, "many.orv", z);
         },
         {{orvUnreadable("many.orv") + u": 60000 элементов, больше предела в 1000"_s, MB_ICONERROR}}},
        {"ORV text with NUL",
         ImportOrv,
         true,
         [](const QString &folder) {
             ZipWriter z;
             z.add("system", "origin");
             z.add("_ori1101.orv",
                   orvDump("origin", {{char(1), "eventid"}, {char(6), "lat"}}, 1,
                           orvString(QByteArray("E1\0; drop table origin", 22)) + orvDouble(51.5)));
             return writeZip(folder, "nul.orv", z);
         },
         {{u"ReadORV: в файле \"_ori1101.orv\" текст с символом NUL (запись 1), данные не считаны!"_s,
           MB_ICONERROR}}},
        // Fifty sheets over one part of the workbook.
        {"xlsx sheets sharing a part",
         ImportExcel,
         false,
         [](const QString &folder) {
             ZipWriter z;
             z.add("xl/workbook.xml", workbookXml(50));
             z.add("xl/_rels/workbook.xml.rels", relsXml(50, [](int) { return 1; }));
             z.add("xl/worksheets/sheet1.xml", kFarSheet);
             return writeZip(folder, "shared.xlsx", z);
         },
         {{kXlsFailed + u"Файл книги Excel \"%1\" повреждён: листы 1 и 2 указывают на одну часть "
                        "xl/worksheets/sheet1.xml"_s,
           MB_ICONERROR}}},
        // Five parts that state 60 MB each.
        {"xlsx parts past the limit",
         ImportExcel,
         false,
         [](const QString &folder) {
             ZipWriter z;
             z.add("xl/workbook.xml", workbookXml(5));
             z.add("xl/_rels/workbook.xml.rels", relsXml(5, [](int i) { return i; }));
             for (int i = 1; i <= 5; ++i)
                 z.add("xl/worksheets/sheet" + QByteArray::number(i) + ".xml", kFarSheet, true, 60000000);
             return writeZip(folder, "parts.xlsx", z);
         },
         {{kXlsFailed + u"Книга Excel \"%1\" слишком велика: распакованные части больше предела в 120 МиБ"_s,
           MB_ICONERROR}}},
        // A million and more cells of a repeated row, in a few kilobytes.
        {"xlsx past the cell limit",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray row = "<row>" + QByteArray("<c><v>1</v></c>").repeated(16384) + "</row>";
             return writeZip(folder, "cells.xlsx", oneSheetBook(sheetXml(row.repeated(65))));
         },
         {{kXlsFailed + u"Книга Excel \"%1\" слишком велика: ячеек больше предела в 1048576"_s,
           MB_ICONERROR}},
         // Two seconds of processor time, eight under the sanitizers.
         10},
        // Two hundred sheets, each a value at A1 and a used range down to row 1,048,576: read in time.
        {"xlsx far used ranges",
         ImportExcel,
         false,
         [](const QString &folder) {
             ZipWriter z;
             z.add("xl/workbook.xml", workbookXml(200));
             z.add("xl/_rels/workbook.xml.rels", relsXml(200, [](int i) { return i; }));
             for (int i = 1; i <= 200; ++i)
                 z.add("xl/worksheets/sheet" + QByteArray::number(i) + ".xml", kFarSheet);
             return writeZip(folder, "far.xlsx", z);
         },
         {}},
        // A shared string of 100,000 nested elements in under two kilobytes: a reader that recursed once an
        // element would run out of stack.
        {"xlsx shared string nested 100,000 deep",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray strings = "<sst><si>" + nested("t", 100000, "x") + "</si></sst>";
             return writeZip(folder, "deep.xlsx",
                             oneSheetBook(sheetXml("<row><c t=\"s\"><v>0</v></c></row>"), strings));
         },
         {{kXlsFailed + u"Файл книги Excel \"%1\" повреждён: часть xl/sharedStrings.xml, строка 0 таблицы "
                        "строк: элементы вложены глубже 32 уровней"_s,
           MB_ICONERROR}}},
        // An inline string whose runs nest 100,000 deep.
        {"xlsx cell nested 100,000 deep",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray cell =
                 "<c t=\"inlineStr\"><is>" + nested("r", 100000, "<t>x</t>") + "</is></c>";
             return writeZip(folder, "deepcell.xlsx", oneSheetBook(sheetXml("<row>" + cell + "</row>")));
         },
         {{kXlsFailed +
               u"Файл книги Excel \"%1\" повреждён: часть xl/worksheets/sheet1.xml, лист 1, ячейка A1: "
               "элементы вложены глубже 32 уровней"_s,
           MB_ICONERROR}}},
        // 13.4 million empty shared strings in under 100 KB: more than a workbook of a million cells can
        // name.
        {"xlsx of 13.4 million empty shared strings",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray strings = "<sst>" + QByteArray("<si/>").repeated(13400000) + "</sst>";
             return writeZip(folder, "strings.xlsx",
                             oneSheetBook(sheetXml("<row><c t=\"s\"><v>0</v></c></row>"), strings));
         },
         {{kXlsFailed +
               u"Книга Excel \"%1\" слишком велика: строк в таблице строк больше предела в 1048576"_s,
           MB_ICONERROR}},
         10},
        // Two sheets whose names are ten million characters each, sharing a part: the names are quoted as
        // far as a message quotes.
        {"xlsx sheet names of 10 M characters",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray name(10485760, 'x');
             ZipWriter z;
             z.add(
                 "xl/workbook.xml",
                 "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                 "<sheets><sheet name=\"" +
                     name + "\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"" + name +
                     "\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>");
             z.add("xl/_rels/workbook.xml.rels", relsXml(2, [](int) { return 1; }));
             z.add("xl/worksheets/sheet1.xml", kFarSheet);
             return writeZip(folder, "names.xlsx", z);
         },
         {{kXlsFailed + u"Файл книги Excel \"%1\" повреждён: листы %2… и %2… указывают на одну часть "
                        "xl/worksheets/sheet1.xml"_s.arg(u"%1"_s, QString(200, u'x')),
           MB_ICONERROR}}},
        // A PET journal whose third row holds 31 February: the file, the sheet and the cell are named.
        {"xlsx date that does not exist",
         ImportExcel,
         false,
         [](const QString &folder) {
             const auto row = [](int r, const char *date) {
                 const QByteArray n = QByteArray::number(r);
                 return "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + QByteArray::number(r - 1) +
                        "</v></c><c r=\"B" + n + "\" t=\"inlineStr\"><is><t>" + date + "</t></is></c></row>";
             };
             return writeZip(folder, "dates.xlsx",
                             oneSheetBook(sheetXml(row(2, "01.02.2026") + row(3, "31.02.2026"))));
         },
         {{kXlsFailed + u"Файл \"dates.xlsx\", лист \"1\", ячейка B3: неверная дата \"31.02.2026\""_s,
           MB_ICONERROR}}},
        // A date cell holding NaN: quoted as the file has it.
        {"xlsx date cell of NaN",
         ImportExcel,
         false,
         [](const QString &folder) {
             ZipWriter z = oneSheetBook(
                 sheetXml("<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" s=\"1\"><v>NaN</v></c></row>"));
             z.add("xl/styles.xml",
                   "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>");
             return writeZip(folder, "nan.xlsx", z);
         },
         {{kXlsFailed + u"Файл \"nan.xlsx\", лист \"1\", ячейка B2: неверная дата \"NaN\""_s, MB_ICONERROR}}},
        // An event line of 31 February in the year of its title line.
        {"KRV date that does not exist",
         ImportKrv,
         false,
         [](const QString &folder) {
             return writeFile(folder, "tab_3.txt",
                              " 31  2  1 12 34   3  14   0   7\r\n"
                              "  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 7   \r\n"
                              " fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin=1.5  \r\n"
                              "Sfi= 2.5    Slam=3.1              St0= 0.8    \r\n"
                              "  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4 "
                              "   4.5   0.35   1.20  3.4 \r\n");
         },
         {{u"ReadKRV, строка 5 в файле tab_3.txt: Сообщение об ошибке:\rНеверная дата события (день и месяц "
           "строки события, год строки заголовка): 31.2.2026"_s,
           MB_ICONERROR}}},
        {"KRV past its size",
         ImportKrv,
         false,
         [](const QString &folder) {
             return writeFile(folder, "tab_1.txt", "  5  2\r\n", (qint64(32) << 20) + 1);
         },
         {{u"ReadKRV: Сообщение об ошибке:\rФайл %1 больше предела в 32 МиБ"_s, MB_ICONERROR}}},
        {"KRV with NUL",
         ImportKrv,
         true,
         [](const QString &folder) {
             return writeFile(folder, "tab_2.txt", QByteArray("  5  2  1 12 34   3  14   0   7\r\nK\0", 35));
         },
         {{u"ReadKRV: Сообщение об ошибке:\rФайл %1: символ NUL в строке 2"_s, MB_ICONERROR}},
         5,
         true},
        // A lone CR ends a line as CR LF does.
        {"KRV with NUL after lone CRs",
         ImportKrv,
         false,
         [](const QString &folder) {
             return writeFile(folder, "tab_2.txt",
                              QByteArray("  5  2  1 12 34   3  14   0   7\rK\r\nK\0", 37));
         },
         {{u"ReadKRV: Сообщение об ошибке:\rФайл %1: символ NUL в строке 3"_s, MB_ICONERROR}}},
        // A station line with a million numbers more than its fields take, after them or before them:
        // refused with its line, never written without its readings.
        {"KRV station line followed by 10^6 numbers",
         ImportKrv,
         true,
         [](const QString &folder) {
             return writeFile(folder, "tab_3.txt",
                              kKrvHead + kKrvStation + QByteArray(" 1").repeated(1000000));
         },
         {{u"ReadKRV, строка 5 в файле tab_3.txt: Сообщение об ошибке:\rЛишние данные после 100-й позиции "
           "строки станции"_s,
           MB_ICONERROR}},
         5,
         true},
        {"KRV station line after 10^6 numbers",
         ImportKrv,
         true,
         [](const QString &folder) {
             return writeFile(folder, "tab_4.txt",
                              kKrvHead + QByteArray("1 ").repeated(1000000) + kKrvStation);
         },
         {{u"ReadKRV, строка 5 в файле tab_4.txt: Сообщение об ошибке:\rСтрока станции не по образцу: в 27-й "
           "позиции нет точки"_s,
           MB_ICONERROR}},
         5,
         true},
        // A station line cut inside its Sg: refused with its line rather than written with a part of the
        // value.
        {"KRV station line cut inside a value",
         ImportKrv,
         true,
         [](const QString &folder) {
             return writeFile(folder, "tab_6.txt", kKrvHead + kKrvStation.left(35) + "\r\n");
         },
         {{u"ReadKRV, строка 5 в файле tab_6.txt: Сообщение об ошибке:\rСтрока станции оборвана на 35-й "
           u"позиции, "
           "посреди поля Sg (позиции 33-38)"_s,
           MB_ICONERROR}},
         5,
         true},
        // A line of 16 million numbers: no event line, looked at without a string for each of them.
        {"KRV line of 16 million numbers",
         ImportKrv,
         false,
         [](const QString &folder) {
             return writeFile(folder, "tab_5.txt", QByteArray(" 1").repeated((16 << 20) - 1) + "\r\n");
         },
         {{u"В KRV - файле нет данных!"_s, MB_ICONWARNING}},
         10},
        {"text with NUL",
         ImportText,
         true,
         [](const QString &folder) { return writeEvents(folder, QByteArray(";9001;x\0y;\r\n", 12)); },
         {{kTxtFailed + u"Символ NUL в строке №1"_s, MB_ICONERROR}},
         5,
         true},
        // Cells that do not convert, and a text longer than its column, read at once into the database:
        // each is named by its row and column in the system's words, and nothing is written.
        {"text with a number NaN",
         ImportText,
         true,
         [](const QString &folder) {
             return writeEvents(folder, "1;9001;11/5/26 10:15:10;3;NaN;158,25;10;;;;;;;;;;x;11/30/26\r\n");
         },
         {{u"строка №1, столбец №5 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
           "Неверное число: \"NaN\""_s,
           MB_ICONERROR}},
         5,
         true},
        {"text with 31 February",
         ImportText,
         true,
         [](const QString &folder) {
             return writeEvents(folder, "1;9001;2/31/26 03:12:45;3;52,5;158,25;10;;;;;;;;;;x;11/30/26\r\n");
         },
         {{u"строка №1, столбец №3 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
           "Неверные дата и время: \"2/31/26 03:12:45\""_s,
           MB_ICONERROR}},
         5,
         true},
        {"text with a comment longer than its column",
         ImportText,
         true,
         [](const QString &folder) {
             return writeEvents(folder, "1;9001;11/5/26 10:15:10;3;52,5;158,25;10;;;;;;;;;;" +
                                            toCp1251(u"Ж"_s.repeated(151)) + ";11/30/26\r\n");
         },
         {{u"строка №1, столбец №17 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
           "Значение \"%1\" (151 символ) не помещается в поле \"comment\" таблицы \"События\": в нём не "
           "более "
           "150 символов"_s.arg(u"Ж"_s.repeated(151)),
           MB_ICONERROR}},
         5,
         true},
        // Two million empty lines against a format of 18 columns: the first is refused, and the rest is
        // never looked at.
        {"text of empty lines",
         ImportText,
         false,
         [](const QString &folder) { return writeEvents(folder, QByteArray(2000000, '\n')); },
         {{u"В строке №1 файла \"%1\" произошла ошибка при импорте 1-го столбца. Операция прервана."_s,
           MB_ICONERROR}}},
        // Three files of 1.86 MB of bare newlines, read at once into the database.
        {"three text files of bare newlines",
         ImportText,
         true,
         [](const QString &folder) {
             const QByteArray lines(1860000, '\n');
             writeFile(folder, "Station_bulletin1.txt", lines);
             writeFile(folder, "Xm_Add1.txt", lines);
             return writeFile(folder, "Events1.txt", lines);
         },
         {{u"В строке №1 файла \"%1\" произошла ошибка при импорте 1-го столбца. Операция прервана."_s,
           MB_ICONERROR}},
         5,
         true},
        // 20 MB of separators alone, the 18 empty cells of the Events format a line: a cell a byte, each
        // costing its word, within the share of 8 bytes a byte and 64 MiB more; read at once into the
        // database, the first event without a number stops the writing before anything is written.
        {"text of 20 MB of separators",
         ImportText,
         true,
         [](const QString &folder) {
             writeFile(folder, "Station_bulletin1.txt", "");
             writeFile(folder, "Xm_Add1.txt", "");
             return writeFile(folder, "Events1.txt", (QByteArray(17, ';') + '\n').repeated(1111112));
         },
         {{u"строка №1, столбец №2 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
           "Событие без номера"_s,
           MB_ICONERROR}},
         10,
         true},
        // One line of 30 MB without a separator: one field where the format has eighteen.
        {"text of one 30 MB line",
         ImportText,
         false,
         [](const QString &folder) { return writeEvents(folder, QByteArray(30000000, 'x')); },
         {{u"В строке №1 файла \"%1\" произошла ошибка при импорте 1-го столбца. Операция прервана."_s,
           MB_ICONERROR}}},
        // One line of 200 MB: past what any input may be, refused before a byte of it is read.
        {"text of one 200 MB line",
         ImportText,
         false,
         [](const QString &folder) { return writeEvents(folder, "x", 200000000); },
         {{kTxtFailed + u"три файла импорта вместе больше предела в 120 МиБ (200000000 байт)"_s,
           MB_ICONERROR}}},
        // A thousand fields and 33,553 records, at the cells a table may have, in an archive of some
        // 600 KB (NULL fields with an empty text here and there, so that the archive packs them no more
        // tightly than an archive may): far past what the view of a small archive may take.
        {"ORV archive at the cell limit",
         ImportOrv,
         false,
         [](const QString &folder) {
             QList<std::pair<char, const char *>> fields;
             for (int i = 0; i < 1000; ++i)
                 fields.append({char(1), "comment"});
             QByteArray records;
             records.reserve(36000000);
             quint32 seed = 1;
             for (int cell = 0; cell < 33553000; ++cell) {
                 seed = seed * 1664525u + 1013904223u;
                 if (seed >> 24 < 5)
                     records += QByteArray(5, '\0'); // an empty text
                 else
                     records += '\x01';
             }
             return writeOrigins(folder, "cells.orv", orvDump("origin", fields, 33553, records));
         },
         {{u"ReadORV: файл \"_ori1101.orv\" не может быть показан: данные файла заняли бы в памяти больше "
           "предела в 256 МиБ (таблица 1000 столбцов x 33554 строк)!"_s,
           MB_ICONERROR}}},
        // An EVENTID of 100,000 characters for a column of 20: refused with the column named, the
        // statement and the value quoted as far as a message quotes them.
        {"ORV event id of 100,000 characters",
         ImportOrv,
         true,
         [](const QString &folder) {
             return writeOrigins(folder, "longid.orv",
                                 orvDump("origin", {{char(1), "eventid"}, {char(6), "lat"}}, 1,
                                         orvString(QByteArray(100000, 'E')) + orvDouble(51.5)));
         },
         {{u"ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = 1; таблица = origin; last sql = "
           "\r\rinsert into origin (eventid,lat) values ('%1…\r\rСообщение об ошибке:\rЗначение \"%2…\" "
           "(100000 символов) не помещается в поле \"eventid\" таблицы \"origin\": в нём не более 20 символов"_s
               .arg(QString(2000 - 42, u'E'), QString(200, u'E')),
           MB_ICONERROR}}},
        {"ORV record count beyond its bytes",
         ImportOrv,
         true,
         [](const QString &folder) {
             return writeOrigins(
                 folder, "records.orv",
                 orvDump("origin", {{char(1), "eventid"}}, 1000000, orvString("E1").repeated(10)));
         },
         {{u"ReadORV: файл \"_ori1101.orv\" повреждён, данные не считаны!"_s, MB_ICONERROR}}},
        // Mended: asked whether to import the rest without the column, then refused at its first value.
        {"ORV value of an unknown type in a column ORX lacks",
         ImportOrv,
         true,
         [](const QString &folder) {
             return writeOrigins(folder, "unknown.orv",
                                 orvDump("origin", {{char(1), "eventid"}, {char(13), "picture"}}, 1,
                                         orvString("E1") + QByteArray("\0\x2a", 2)));
         },
         {{u"ReadSQLStream: операция прервана.\rТип данных \"VarBytes\" в таблице не поддерживается!"_s,
           MB_ICONERROR}}},
        // Mended: the replacement took in the file's own arrival times without bound, and the question
        // named the entry's period while PET lost every arrival after 10.11.2026 and the other stations'
        // arrivals of those events their origins.
        {"ORV arrival at 1e308 outside its station's period",
         ImportOrv,
         true,
         [](const QString &folder) { return writeFile(folder, "far.orv", orvPetPeriodFile({1e308})); },
         {{kPetOutside + u"1e+308"_s + kPetPeriod, MB_ICONERROR}}},
        {"ORV arrivals from 1970 to 2100",
         ImportOrv,
         true,
         [](const QString &folder) {
             return writeFile(folder, "wide.orv",
                              orvPetPeriodFile({0, htoe(2026, 11, 11, 8, 0, 0), htoe(2100, 1, 1, 0, 0, 0)}));
         },
         {{kPetOutside + u"0, 01.01.1970 00:00:00.000"_s + kPetPeriod, MB_ICONERROR}}},
        {"ORV station count beyond its bytes",
         ImportOrv,
         false,
         [](const QString &folder) {
             QByteArray dump = orvDump("origin", {{char(1), "eventid"}}, 1, orvString("E1"));
             qToLittleEndian<qint32>(0x7fffffff, dump.data() + 160);
             return writeOrigins(folder, "stations.orv", dump);
         },
         {{u"ReadORV: файл \"_ori1101.orv\" повреждён, данные не считаны!"_s, MB_ICONERROR}}},
        // A shared string naming a 4,000-character entity 300,000 times, in under 2 KB: 1.2 thousand
        // million characters once expanded.
        {"xlsx shared string of an entity 300,000 times",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray strings =
                 entityDtd("sst") + "<sst><si><t>" + QByteArray("&e;").repeated(300000) + "</t></si></sst>";
             return writeZip(folder, "entity.xlsx",
                             oneSheetBook(sheetXml("<row><c t=\"s\"><v>0</v></c></row>"), strings));
         },
         {{kXlsFailed + u"Файл книги Excel \"%1\" повреждён: часть xl/sharedStrings.xml: объявлен DTD "
                        "(<!DOCTYPE>), которого в книге Excel не бывает"_s,
           MB_ICONERROR}}},
        // The entity 100,000 times in a cell's reference, which the message about the reference would quote.
        {"xlsx cell reference of an entity 100,000 times",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray sheet =
                 entityDtd("worksheet") +
                 sheetXml("<row><c r=\"" + QByteArray("&e;").repeated(100000) + "\"><v>1</v></c></row>");
             return writeZip(folder, "entityref.xlsx", oneSheetBook(sheet));
         },
         {{kXlsFailed +
               u"Файл книги Excel \"%1\" повреждён: часть xl/worksheets/sheet1.xml, лист 1: объявлен "
               "DTD (<!DOCTYPE>), которого в книге Excel не бывает"_s,
           MB_ICONERROR}}},
        // Under a kilobyte, expanded into a cell of 80 million characters beside a first data row: a
        // part with a DTD is damaged, whatever its entities come to.
        {"xlsx cell of an entity 20,000 times",
         ImportExcel,
         true,
         [](const QString &folder) {
             const QByteArray sheet =
                 entityDtd("worksheet") + sheetXml("<row><c><v>1</v></c><c t=\"inlineStr\"><is><t>" +
                                                   QByteArray("&e;").repeated(20000) + "</t></is></c></row>");
             return writeZip(folder, "entitycell.xlsx", oneSheetBook(sheet));
         },
         {{kXlsFailed +
               u"Файл книги Excel \"%1\" повреждён: часть xl/worksheets/sheet1.xml, лист 1: объявлен "
               "DTD (<!DOCTYPE>), которого в книге Excel не бывает"_s,
           MB_ICONERROR}},
         5,
         true},
        // Two parts of one name, a journal row in the first: libzip finds the first alone.
        {"xlsx part twice",
         ImportExcel,
         true,
         [](const QString &folder) {
             ZipWriter z = oneSheetBook(sheetXml("<row><c><v>1</v></c><c><v>2</v></c></row>"));
             z.add("xl/worksheets/sheet1.xml", sheetXml("<row><c><v>7</v></c></row>"));
             return writeZip(folder, "twice.xlsx", z);
         },
         {{kXlsFailed +
               u"Файл книги Excel \"%1\" повреждён: часть xl/worksheets/sheet1.xml записана в архиве "
               "дважды"_s,
           MB_ICONERROR}},
         5,
         true},
        // Two origin dumps of one name: the last would overwrite the first as it is unpacked.
        {"ORV member twice",
         ImportOrv,
         true,
         [](const QString &folder) {
             ZipWriter z;
             z.add("system", "origin");
             z.add("_ori1101.orv", orvDump("origin", {{char(1), "eventid"}}, 1, orvString("E1")));
             z.add("_ori1101.orv", orvDump("origin", {{char(1), "eventid"}}, 1, orvString("E2")));
             return writeZip(folder, "twice.orv", z);
         },
         {{orvUnreadable("twice.orv") + u" повреждён: элемент \"_ori1101.orv\" записан в нём дважды"_s,
           MB_ICONERROR}}},
        // A stored origin dump whose bytes were changed after its check sum was taken: named as stored, not
        // as the file it would have become.
        {"ORV member failing its check sum",
         ImportOrv,
         true,
         [](const QString &folder) {
             ZipWriter z;
             z.add("system", "origin");
             z.add("_ori1101.orv", orvDump("origin", {{char(1), "eventid"}}, 1, orvString("E1")), false);
             QByteArray bytes = z.bytes();
             bytes.replace("eventid", "EVENTID");
             return writeFile(folder, "crc.orv", bytes);
         },
         {{orvUnreadable("crc.orv") + u": элемент \"_ori1101.orv\" не распакован: контрольная сумма не "
                                      "сходится, данные повреждены (libzip: CRC error)"_s,
           MB_ICONERROR}}},
    };
    return cases;
}

// Case names as test names: letters and digits, the rest as "_".
std::string testName(const char *name)
{
    std::string out;
    for (const char *p = name; *p; ++p)
        out += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return out;
}

// A case of the table on a back end.
struct OnBackend
{
    int index;
    bool postgres;
};

// Every case on SQLite, and those that write on PostgreSQL too.
template <class Case> std::vector<OnBackend> onBackends(const QList<Case> &cases)
{
    std::vector<OnBackend> all;
    for (int i = 0; i < cases.size(); ++i) {
        all.push_back({i, false});
        if (cases[i].writes)
            all.push_back({i, true});
    }
    return all;
}

class HostileFile : public ::testing::TestWithParam<OnBackend>
{
};

} // namespace

TEST_P(HostileFile, GetsItsMessageAndChangesNothing)
{
    const HostileCase &c = hostileCases()[GetParam().index];
    if (GetParam().postgres && !PostgresEnv::available())
        GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
    HostileProgram p(GetParam().postgres);
    ASSERT_EQ(p.w->curSta, u"PET"_s);
    p.w->sett.fullorx = c.type == ImportOrv;
    p.w->ifrom->setCurrentIndex(c.type);
    p.w->UpdateImportControls();
    const QString file = c.make(p.files.path());
    if (c.type == ImportText) {
        p.w->Events->setText(p.files.file(u"Events1.txt"_s));
        p.w->Station_bulletin->setText(p.files.file(u"Station_bulletin1.txt"_s));
        p.w->XM_Add->setText(p.files.file(u"Xm_Add1.txt"_s));
    } else {
        p.w->Edit5->setText(file);
    }
    p.w->imm->setChecked(c.immediate);
    const QStringList before = p.state();
    p.rec.clear();

    const CpuTime cpu(p.pg ? p.pg->serverDatabase() : QString());
    const PeakMemory peak;
    p.page().ReadData();
    const qint64 took = cpu.milliseconds(), mebibytes = peak.mebibytes();

    QList<Shown> expected;
    for (const Shown &m : c.messages)
        expected << Shown(m.first.contains(u"%1"_s) ? m.first.arg(file) : m.first, m.second);
    EXPECT_EQ(shown(p.rec), expected);
    EXPECT_EQ(p.state(), before);
    EXPECT_LT(took, c.seconds * 1000 * kSanitizerSlowdown) << "ms of processor time";
    expectWithinShare(mebibytes, inputBytes(p.files.path()));
    std::cerr << c.name << ": " << took << " ms of processor time, " << mebibytes << " MiB\n";
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFile, ::testing::ValuesIn(onBackends(hostileCases())),
                         [](const ::testing::TestParamInfo<OnBackend> &info) {
                             return testName(hostileCases()[info.param.index].name) +
                                    (info.param.postgres ? "_PostgreSQL" : "");
                         });

// The far used ranges are read as the rows that hold values: a row per sheet.
TEST(HostileFiles, FarUsedRangesGiveTheRowsThatHoldValues)
{
    HostileProgram p;
    const auto far = std::find_if(hostileCases().cbegin(), hostileCases().cend(),
                                  [](const HostileCase &c) { return c.name == "xlsx far used ranges"_L1; });
    ASSERT_NE(far, hostileCases().cend());
    p.w->ifrom->setCurrentIndex(ImportExcel);
    p.w->UpdateImportControls();
    p.w->Edit5->setText(far->make(p.files.path()));
    p.w->imm->setChecked(false);
    p.page().ReadData();
    EXPECT_EQ(shown(p.rec), QList<Shown>());
    ASSERT_EQ(p.w->sg->rowCount(), 201);
    for (int r = 1; r <= 200; r += 199) {
        EXPECT_EQ(GridCell(*p.w->sg, 0, r), QString::number(r));
        EXPECT_EQ(GridCell(*p.w->sg, 1, r), u"1"_s);
    }
}

// The ten records of the table whose header counts a million are shown, loaded, to be looked at and
// written as the records the table holds.
TEST(HostileFiles, LyingParadoxCountShowsTheRecordsItHolds)
{
    HostileProgram p;
    p.w->ifrom->setCurrentIndex(ImportParadox);
    p.w->UpdateImportControls();
    p.w->Edit5->setText(
        writeFile(p.files.path(), "lying.db", chainedParadox({1}, "7", 10, 1000000), 1 << 20));
    p.w->imm->setChecked(false);
    p.page().ReadData();
    EXPECT_EQ(p.w->sg->rowCount(), 11);
    EXPECT_EQ(GridCell(*p.w->sg, 1, 10), u"7"_s);
    EXPECT_TRUE(p.page().gridLock());
}

namespace {

// --- Large inputs straight through the readers ---

// What a large input gave: the messages shown, whether the reader took it, and its peak.
struct HeavyRun
{
    QList<Shown> shown;
    bool ok = false;
};

struct HeavyCase
{
    const char *name;
    // Writes the input into the folder given and returns its file.
    std::function<QString(const QString &folder)> make;
    // Reads (and writes, into the database given) the file; the database rows are compared before and
    // after when unchanged is set.
    std::function<bool(const QString &file, DbConnection &db)> run;
    bool ok;
    QList<Shown> messages;
    int seconds; // the processor time the run may take, the database server's included
    bool unchanged = true;
    bool writes = false; // into a bulletin database, on both back ends
};

// The journal writer's host on the database given: no window, no progress shown.
struct JournalHost : ParadoxJournalHost
{
    explicit JournalHost(DbConnection &db) : db(db) {}
    QWidget *Owner() override { return nullptr; }
    bool GetStationDBParams(QString &, QString &, QString &, int, bool) override { return true; }
    DbConnection &BulletinConnection() override { return db; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool,
                    const QString &) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void ShowProgress(const QString &, int, int) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
    DbConnection &db;
};

// The partner bulletin writer's host on the database given: no progress shown.
struct KrvHost : StationDbHost<KrvWriteHost>
{
    using StationDbHost::StationDbHost;
    void ShowProgress(const QString &, int) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
};

// A partner bulletin of one event whose station lines of four readings fill 32 MiB: 329,000 stations.
QString writeKrvOfPhaseLines(const QString &folder)
{
    const QByteArray head = "  5  2  1 12 34   3  14   0   7\r\n"
                            "  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 7   \r\n"
                            " fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin=1.5  \r\n"
                            "Sfi= 2.5    Slam=3.1              St0= 0.8    \r\n";
    const QByteArray phase =
        "  1 e 58.12  i 9.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   "
        "0.35   1.20  3.4 \r\n";
    const qint64 lines = ((qint64(32) << 20) - head.size()) / phase.size();
    return writeFile(folder, "tab_1.txt", head + phase.repeated(lines));
}

TextFormats defaultFormats()
{
    TextFormats f;
    f.SetDefaults();
    return f;
}

const QList<HeavyCase> &heavyCases()
{
    static const QList<HeavyCase> cases = {
        // Two one-byte fields and 2^24 - 1 records in a chain of 32,962 blocks: 33.6 MB at the old limit of
        // 2^25 cells. Its cells' words take 256 MiB and its alternating letters 64 MiB of the 333 MiB share:
        // the table is read whole.
        {"Paradox table at the old cell limit",
         [](const QString &folder) {
             return writeFile(folder, "limit.db",
                              chainedParadox({1, 1}, "abba", (1 << 24) - 1, (1 << 24) - 1));
         },
         [](const QString &file, DbConnection &) {
             QFile f(file);
             f.open(QIODevice::ReadOnly);
             TD2D table;
             ImportStats stats;
             const ParadoxResult r = ReadParadoxTable(f, table, TFormatSettings(), stats);
             if (r.status != ParadoxStatus::Complete)
                 MessageProc(nullptr, ParadoxFailureMessage(r), MB_ICONERROR, MB_OK);
             return r.status == ParadoxStatus::Complete && table.RowCount() == 1 << 24 &&
                    table.GetCell(1, (1 << 24) - 1) == u"a"_s;
         },
         true,
         {},
         20},
        // A journal of 4,000,000 lines of a number alone, as many as the grid shows of one-byte records
        // within their share, written as "Запись данных" writes it: every line is staged and read back one
        // at a time, none of them kept, and Access is left empty. Nothing reaches the bulletin, and the
        // message says so. On SQLite only: psqlODBC holds a whole result in memory.
        {"Paradox journal of 4,000,000 lines into the bulletin",
         [](const QString &folder) {
             return writeFile(folder, "lines.db", chainedParadox({1}, "7", 4000000, 4000000));
         },
         [](const QString &file, DbConnection &db) {
             for (const QString &sql : DemoJournalCreates())
                 exec(db, sql);
             QFile f(file);
             f.open(QIODevice::ReadOnly);
             TD2D table;
             ImportStats stats;
             const ParadoxResult r = ReadParadoxTable(f, table, TFormatSettings(), stats);
             if (r.status != ParadoxStatus::Complete || table.RowCount() != 4000001)
                 return false;
             JournalHost host(db);
             WriteParadoxGridToDB(host, table, TFormatSettings());
             if (!db.Connected())
                 db.Open();
             return dbRows(db, u"select count(*) from Access"_s) == QStringList{u"0"_s};
         },
         true,
         {{u"Данные не импортированы.\rВ БД ничего не записано."_s, MB_ICONWARNING}},
         30},
        // 32 MiB of station lines after an event's head: 329,000 stations of one event.
        {"KRV bulletin of 32 MiB of phase lines",
         writeKrvOfPhaseLines,
         [](const QString &file, DbConnection &) {
             TD2D table;
             QString message;
             const bool ok = ReadKrvFile(file, table, message);
             if (!ok)
                 MessageProc(nullptr, message, MB_ICONERROR, MB_OK);
             return ok && table.RowCount() > 300000 && table.GetCell(0, table.RowCount() - 1) == u"KRV"_s;
         },
         true,
         {},
         20},
        // The same bulletin written as "Запись данных" writes it: 1,316,000 readings of one event.
        {"KRV bulletin of 32 MiB of phase lines into the bulletin",
         writeKrvOfPhaseLines,
         [](const QString &file, DbConnection &db) {
             TD2D table;
             QString message;
             if (!ReadKrvFile(file, table, message)) {
                 MessageProc(nullptr, message, MB_ICONERROR, MB_OK);
                 return false;
             }
             KrvHost host(db);
             if (!WriteKrvTable(host, table))
                 return false;
             db.Open();
             return dbRows(db, u"select count(*) from [Станционный бюллетень]"_s) ==
                    QStringList{QString::number(4 * (table.RowCount() - 5))};
         },
         true,
         {},
         // About a minute of the program's, and on PostgreSQL as much again of the server's.
         240,
         false,
         true},
        // A PET journal at the workbook's cell limit whose every row opens event 1, read and converted as
        // "Сразу в БД" does: the repeated number is said in the system's words and nothing is written.
        {"xlsx at its cell limit into the bulletin",
         [](const QString &folder) { return writeFile(folder, "pet.xlsx", petBookAtTheCellLimit()); },
         [](const QString &file, DbConnection &db) {
             const TextFormats formats = defaultFormats();
             TFormatSettings eventsFormat;
             TspecToFormatSettings(eventsFormat, formats.importSpec[SpecEvents], TFormatSettings(), 2026);
             TD2D sheet, tables[3];
             QString message;
             unsigned icon = 0;
             if (!ReadStationSheets(ReadWorkbook(file), 3, TFormatSettings(), eventsFormat, sheet, message,
                                    icon) ||
                 !PetMacro(sheet, eventsFormat, TFormatSettings(), PetTableColumns(), EncodeDate(2026, 12, 7),
                           tables[0], tables[1], tables[2], message)) {
                 MessageProc(nullptr, message, icon, MB_OK);
                 return false;
             }
             TextTablesInput in;
             for (int t = 0; t < 3; ++t) {
                 in.tables[t] = &tables[t];
                 in.specs[t] = &formats.importSpec[t];
             }
             in.currentYear = 2026;
             return WriteTextToBulletin(db, in);
         },
         false,
         {{u"строка №2, столбец №2 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
           "Событие с номером 1 уже есть (строка №1)"_s,
           MB_ICONERROR}},
         20,
         true,
         true},
        // A station's year by text, 50,000 readings, each with its event and amplitude, read and written.
        {"text import of 50,000 readings",
         [](const QString &folder) {
             const TextYear year = textYear(50000);
             writeFile(folder, "Station_bulletin1.txt", year.readings);
             writeFile(folder, "Xm_Add1.txt", year.amplitudes);
             return writeFile(folder, "Events1.txt", year.events);
         },
         [](const QString &file, DbConnection &db) {
             const TextFormats formats = defaultFormats();
             const QString folder = QFileInfo(file).path() + u'/';
             const QString files[3] = {file, folder + u"Station_bulletin1.txt"_s, folder + u"Xm_Add1.txt"_s};
             TD2D tables[3];
             TD2D *const pointers[3] = {&tables[0], &tables[1], &tables[2]};
             const tspec *const specs[3] = {&formats.importSpec[0], &formats.importSpec[1],
                                            &formats.importSpec[2]};
             if (!ReadTextTables(pointers, specs, files))
                 return false;
             TextTablesInput in;
             for (int t = 0; t < 3; ++t) {
                 in.tables[t] = &tables[t];
                 in.specs[t] = specs[t];
             }
             in.currentYear = 2026;
             return WriteTextToBulletin(db, in) &&
                    dbRows(db, u"select count(*) from [Динамические замеры]"_s) == QStringList{u"50000"_s};
         },
         true,
         {},
         60,
         false,
         true},
    };
    return cases;
}

class HeavyInput : public ::testing::TestWithParam<OnBackend>
{
};

} // namespace

TEST_P(HeavyInput, StaysWithinItsShareOfMemory)
{
#ifdef HOSTILE_TEST_ASAN
    // What these measure is memory, which the sanitizer's allocator and quarantine make meaningless; their
    // code runs under it in the smaller tests. At their size they would take minutes (psqlODBC grows its
    // parameter array a parameter at a time, and the sanitizer's realloc always copies).
    GTEST_SKIP() << "large inputs are measured in the plain build";
#endif
    const HeavyCase &c = heavyCases()[GetParam().index];
    std::unique_ptr<PostgresEnv> pg;
    std::unique_ptr<SqliteEnv> file;
    std::unique_ptr<DbConnection> db;
    if (GetParam().postgres) {
        if (!PostgresEnv::available())
            GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
        pg = std::make_unique<PostgresEnv>();
        db = pg->open();
    } else {
        file = std::make_unique<SqliteEnv>();
        db = file->open();
    }
    for (const char *sql : kBulletinCreates)
        exec(*db, sql);
    TestDir dir;
    const QString input = c.make(dir.path());
    const auto rows = [&] {
        QStringList all;
        for (const char *table : {"[События]", "[Станционный бюллетень]", "[Динамические замеры]"})
            all << dbRows(*db, u"select * from %1"_s.arg(QString::fromUtf8(table)));
        return all;
    };
    const QStringList before = rows();
    MessageRecorder rec;

    const CpuTime cpu(pg ? pg->serverDatabase() : QString());
    const PeakMemory peak;
    bool ok = false;
    try {
        ok = c.run(input, *db);
    } catch (const std::exception &e) {
        ADD_FAILURE() << ExceptionText(e).toStdString();
    }
    const qint64 took = cpu.milliseconds(), mebibytes = peak.mebibytes();

    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(shown(rec), c.messages);
    if (c.unchanged) {
        EXPECT_EQ(rows(), before);
    }
    EXPECT_LT(took, c.seconds * 1000 * kSanitizerSlowdown) << "ms of processor time";
    expectWithinShare(mebibytes, inputBytes(dir.path()));
    std::cerr << c.name << ": " << took << " ms of processor time, " << mebibytes << " MiB\n";
}

INSTANTIATE_TEST_SUITE_P(Readers, HeavyInput, ::testing::ValuesIn(onBackends(heavyCases())),
                         [](const ::testing::TestParamInfo<OnBackend> &info) {
                             return testName(heavyCases()[info.param.index].name) +
                                    (info.param.postgres ? "_PostgreSQL" : "_SQLite");
                         });
