// Files made to hurt the readers: small files that declare big things, read through the import page's
// own handlers. Each gets its message, and neither database, the program's folder nor the temporary
// folder changes; the read stays within a bounded memory and time.

#include "demo_data.h"
#include "exchange/orv/orv_file.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"
#include "support/program_env.h"
#include "support/zip_writer.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include <functional>
#include <malloc.h>

using namespace Qt::StringLiterals;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTILE_TEST_ASAN 1
#endif
#endif

namespace {

#ifdef HOSTILE_TEST_ASAN
constexpr int kSlowdown = 4; // the sanitized build's code runs this much slower
#else
constexpr int kSlowdown = 1;
#endif

// The high-water mark of the resident set over a case (reset through clear_refs, freed heap given back
// first), in MiB above what the process held before it.
class PeakMemory
{
public:
    PeakMemory()
    {
        malloc_trim(0);
        QFile clear(u"/proc/self/clear_refs"_s);
        m_reset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
        m_base = statusKb("VmRSS:");
    }
    // -1 when the kernel would not reset the mark.
    qint64 mebibytes() const { return m_reset ? (statusKb("VmHWM:") - m_base) >> 10 : -1; }

private:
    static qint64 statusKb(const char *key)
    {
        QFile f(u"/proc/self/status"_s);
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(qsizetype(strlen(key))).trimmed().split(' ').value(0).toLongLong();
        return 0;
    }
    bool m_reset = false;
    qint64 m_base = 0;
};

// --- Paradox ---

// A table of version 4 (no extended header) with the field sizes given, all alpha, names "f1", "f2"...
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

// --- ORV ---

// A version-1.1 dump of table with the fields (type code, name) and the records' bytes as given.
QByteArray orvDump(const char *table, const QList<std::pair<char, const char *>> &fields, qint32 records,
                   const QByteArray &recordBytes)
{
    orxheader h;
    h.table = QString::fromLatin1(table);
    h.fieldCount = qint32(fields.size());
    h.recordCount = records;
    h.periodStart = EncodeDate(2026, 2, 1);
    h.periodEnd = EncodeDate(2026, 2, 28);
    for (const auto &[type, name] : fields) {
        h.fieldTypes.append(type);
        h.fieldNames << QString::fromLatin1(name);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteOrvHeader(buffer, h));
    return bytes + recordBytes;
}

QByteArray orvString(const QByteArray &text)
{
    QByteArray b(5, '\0'); // NULL flag 0, then the count
    qToLittleEndian<qint32>(qint32(text.size()), b.data() + 1);
    return b + text;
}

QByteArray orvDouble(double v)
{
    QByteArray b(9, '\0');
    quint64 bits = 0;
    std::memcpy(&bits, &v, 8);
    qToLittleEndian<quint64>(bits, b.data() + 1);
    return b;
}

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

// A value at A1 and a formatting-only cell on the sheet's last row: the used range is a million rows.
const QByteArray kFarSheet =
    sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048576\"><c r=\"N1048576\"/></row>");

// --- The program ---

// The demo folder with PET first, the import page installed as the program installs it, and a
// temporary folder of the test's own so that what a read leaves there shows.
struct HostileProgram
{
    TestDir dir, temp, files;
    QByteArray oldTemp = qgetenv("TMPDIR");
    MessageRecorder rec;
    Tdm dm;
    DemoSummary demo;
    std::unique_ptr<Tmainf> w;

    HostileProgram()
    {
        demo = makeImportDemo(dir, 1);
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        w = startWithImportPage(dir);
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
        const auto rows = [&](const QString &path, const char *sql) {
            DbConnection c;
            c.SetProvider(u"Microsoft.Jet.OLEDB.4.0"_s);
            c.SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(path));
            c.Open(QString(), QString());
            all << dbRows(c, QString::fromUtf8(sql));
        };
        for (const QString &path : demo.bulletinPaths)
            for (const char *sql : {"select * from [События] order by num",
                                    "select * from [Станционный бюллетень] order by arid",
                                    "select * from [Динамические замеры] order by arid"})
                rows(path, sql);
        for (const char *sql : {"select * from origin order by eventid",
                                "select * from arrival order by arid", "select * from lastid"})
            rows(demo.orxPath, sql);
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

struct HostileCase
{
    const char *name;
    int type;
    bool immediate;
    // Writes the file (or the three text files) into the folder given and returns the name to read.
    std::function<QString(const QString &folder)> make;
    // The messages shown, "%1" standing for the file's full name.
    QList<Shown> messages;
    int seconds = 5; // the time the read may take
};

// A file only looked at, or one that does not unpack, touched no database: its failure names the file.
QString orvUnreadable(const char *name)
{
    return u"ReadORV: Не удалось прочитать файл \"%2\".\rСообщение об ошибке:\rАрхив \"%1\""_s.arg(
        u"%1"_s, QString::fromLatin1(name));
}
const QString kXlsFailed = u"ReadXls: Произошла ошибка с сообщением:\r"_s;
// A workbook that fails before its first row is also a workbook without data, said first.
const Shown kXlsNoData{u"В Excel - файле нет данных!"_s, MB_ICONWARNING};

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

// An event file of the origin dump alone.
QString writeOrigins(const QString &folder, const char *name, const QByteArray &dump)
{
    ZipWriter z;
    z.add("system", "origin");
    z.add("_ori1101.orv", dump);
    return writeZip(folder, name, z);
}

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
        // Two one-byte fields and as many records as 64 MiB hold: more cells than any table may take.
        {"Paradox past the cell limit",
         ImportParadox,
         true,
         [](const QString &folder) {
             return writeFile(folder, "cells.db", paradoxTable({1, 1}, 1 << 25, 2), qint64(64) << 20);
         },
         {{u"Ошибка при чтении файла\rФайл слишком велик: таблица больше предела в 33554432 ячеек "
           "(2 столбцов x 33554433 строк)"_s,
           MB_ICONERROR}}},
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
         {kXlsNoData,
          {kXlsFailed + u"Файл книги Excel повреждён: листы 1 и 2 указывают на одну часть "
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
         {kXlsNoData,
          {kXlsFailed + u"Книга Excel слишком велика: распакованные части больше предела в 256 МиБ"_s,
           MB_ICONERROR}}},
        // A million and more cells of a repeated row, in a few kilobytes.
        {"xlsx past the cell limit",
         ImportExcel,
         false,
         [](const QString &folder) {
             const QByteArray row = "<row>" + QByteArray("<c><v>1</v></c>").repeated(16384) + "</row>";
             ZipWriter z;
             z.add("xl/workbook.xml", workbookXml(1));
             z.add("xl/_rels/workbook.xml.rels", relsXml(1, [](int i) { return i; }));
             z.add("xl/worksheets/sheet1.xml", sheetXml(row.repeated(65)));
             return writeZip(folder, "cells.xlsx", z);
         },
         {kXlsNoData,
          {kXlsFailed + u"Книга Excel слишком велика: ячеек больше предела в 1048576"_s, MB_ICONERROR}}},
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
         {{u"ReadKRV: Сообщение об ошибке:\rФайл %1: символ NUL в строке 2"_s, MB_ICONERROR}}},
        {"text with NUL",
         ImportText,
         true,
         [](const QString &folder) {
             writeFile(folder, "Station_bulletin1.txt", "");
             writeFile(folder, "Xm_Add1.txt", "");
             return writeFile(folder, "Events1.txt", QByteArray(";9001;x\0y;\r\n", 12));
         },
         {{u"Txt2dsl: Не удалось импортировать файл \"Events1.txt\"\rСообщение об ошибке:\rСимвол NUL в строке №1"_s,
           MB_ICONERROR}}},
        // Two million empty lines against a format of 18 columns.
        {"text of empty lines",
         ImportText,
         false,
         [](const QString &folder) {
             writeFile(folder, "Station_bulletin1.txt", "");
             writeFile(folder, "Xm_Add1.txt", "");
             return writeFile(folder, "Events1.txt", QByteArray(2000000, '\n'));
         },
         {{u"Txt2dsl: Не удалось импортировать файл \"Events1.txt\"\rСообщение об ошибке:\rСлишком много "
           "строк для импорта: таблица больше предела в 33554432 ячеек (18 столбцов x 2000000 строк)"_s,
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
        {"ORV record count beyond its bytes",
         ImportOrv,
         true,
         [](const QString &folder) {
             return writeOrigins(
                 folder, "records.orv",
                 orvDump("origin", {{char(1), "eventid"}}, 1000000, orvString("E1").repeated(10)));
         },
         {{u"ReadORV: файл \"_ori1101.orv\" повреждён, данные не считаны!"_s, MB_ICONERROR}}},
        {"ORV station count beyond its bytes",
         ImportOrv,
         false,
         [](const QString &folder) {
             QByteArray dump = orvDump("origin", {{char(1), "eventid"}}, 1, orvString("E1"));
             qToLittleEndian<qint32>(0x7fffffff, dump.data() + 160);
             return writeOrigins(folder, "stations.orv", dump);
         },
         {{u"ReadORV: файл \"_ori1101.orv\" повреждён, данные не считаны!"_s, MB_ICONERROR}}},
    };
    return cases;
}

} // namespace

TEST(HostileFiles, EachGetsItsMessageAndChangesNothing)
{
    for (const HostileCase &c : hostileCases()) {
        SCOPED_TRACE(c.name);
        HostileProgram p;
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

        QElapsedTimer clock;
        clock.start();
        const PeakMemory peak;
        p.page().ReadData();
        const qint64 took = clock.elapsed(), mebibytes = peak.mebibytes();

        QList<Shown> expected;
        for (const Shown &m : c.messages)
            expected << Shown(m.first.contains(u"%1"_s) ? m.first.arg(file) : m.first, m.second);
        EXPECT_EQ(shown(p.rec), expected);
        EXPECT_EQ(p.state(), before);
        EXPECT_LT(took, c.seconds * 1000 * kSlowdown);
#ifndef HOSTILE_TEST_ASAN
        // The sanitizer keeps freed memory in quarantine, so the figure means something only without it.
        EXPECT_LT(mebibytes, 256);
#endif
        std::cerr << c.name << ": " << took << " ms, " << mebibytes << " MiB\n";
    }
}

// The far used ranges are read as the rows that hold values: a row per sheet.
TEST(HostileFiles, FarUsedRangesGiveTheRowsThatHoldValues)
{
    HostileProgram p;
    const HostileCase &far = hostileCases()[9];
    ASSERT_EQ(QByteArray(far.name), QByteArray("xlsx far used ranges"));
    p.w->ifrom->setCurrentIndex(ImportExcel);
    p.w->UpdateImportControls();
    p.w->Edit5->setText(far.make(p.files.path()));
    p.w->imm->setChecked(false);
    p.page().ReadData();
    EXPECT_EQ(shown(p.rec), QList<Shown>());
    ASSERT_EQ(p.w->sg->rowCount(), 201);
    for (int r = 1; r <= 200; r += 199) {
        EXPECT_EQ(GridCell(*p.w->sg, 0, r), QString::number(r));
        EXPECT_EQ(GridCell(*p.w->sg, 1, r), u"1"_s);
    }
}
