#include "app/main/main_window.h"
#include "exchange/excel/pet_conversion.h"
#include "exchange/excel/station_sheets.h"
#include "exchange/excel/workbook.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange_test_env.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"
#include "support/program_env.h"
#include "support/zip_writer.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <functional>

namespace {

// A fixture sheet: its rows from row 1, cells joined by "|" from column A. "#" leads a number, "@" a date
// (yyyymmdd), "~" a time of day in days; anything else is text, an empty cell is left out.
struct FixSheet
{
    const char *name;
    QList<const char *> rows;
};

template <class Put> void eachCell(const FixSheet &s, Put put)
{
    for (qsizetype r = 0; r < s.rows.size(); ++r) {
        const QStringList cells = cellsOf(s.rows[r]);
        for (qsizetype c = 0; c < cells.size(); ++c)
            if (!cells[c].isEmpty())
                put(int(r), int(c), cells[c][0].toLatin1(), cells[c].mid(1).toDouble(), cells[c]);
    }
}

void writeXlsx(const QString &path, const QList<FixSheet> &sheets)
{
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    ASSERT_NE(wb, nullptr);
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "dd.mm.yyyy");
    lxw_format *time = workbook_add_format(wb);
    format_set_num_format(time, "hh:mm:ss");
    for (const FixSheet &s : sheets) {
        lxw_worksheet *ws = workbook_add_worksheet(wb, s.name);
        eachCell(s, [&](int r, int c, char kind, double v, const QString &text) {
            if (kind == '#' || kind == '~') {
                worksheet_write_number(ws, r, lxw_col_t(c), v, kind == '~' ? time : nullptr);
            } else if (kind == '@') {
                lxw_datetime dt = {int(v) / 10000, int(v) / 100 % 100, int(v) % 100, 0, 0, 0};
                worksheet_write_datetime(ws, r, lxw_col_t(c), &dt, date);
            } else {
                worksheet_write_string(ws, r, lxw_col_t(c), text.toUtf8().constData(), nullptr);
            }
        });
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

// The same workbook through Debian's xlwt, as an older program writes .xls.
void writeXls(const QString &path, const QList<FixSheet> &sheets)
{
    QString py = QStringLiteral("import datetime, xlwt, sys\nwb = xlwt.Workbook(encoding='utf-8')\n"
                                "df = xlwt.easyxf(num_format_str='dd.mm.yyyy')\n"
                                "tf = xlwt.easyxf(num_format_str='hh:mm:ss')\n");
    const auto utf8 = [](const QString &t) {
        return QStringLiteral("bytes.fromhex('%1').decode('utf-8')")
            .arg(QString::fromLatin1(t.toUtf8().toHex()));
    };
    for (const FixSheet &s : sheets) {
        py += QStringLiteral("ws = wb.add_sheet(%1)\n").arg(utf8(QString::fromUtf8(s.name)));
        eachCell(s, [&](int r, int c, char kind, double v, const QString &text) {
            py += QStringLiteral("ws.write(%1, %2, ").arg(r).arg(c);
            if (kind == '#' || kind == '~')
                py += QString::number(v, 'g', 17) +
                      (kind == '~' ? QStringLiteral(", tf)\n") : QStringLiteral(")\n"));
            else if (kind == '@')
                py += QStringLiteral("datetime.date(%1, %2, %3), df)\n")
                          .arg(int(v) / 10000)
                          .arg(int(v) / 100 % 100)
                          .arg(int(v) % 100);
            else
                py += utf8(text) + QStringLiteral(")\n");
        });
    }
    py += QStringLiteral("wb.save(sys.argv[1])\n");
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), py, path});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

struct Layout
{
    const char *station;
    QList<FixSheet> sheets;
    QStringList grid; // worked out from the station sheet layouts, trailing empty cells left off
};

const Layout kLayouts[] = {
    // LVV: column A is read but not shown; the data begin at the first integer in column B.
    {"LVV",
     {{"Журнал",
       {"|Журнал станции Львов", "|№", "x|#1|@20081203|Pg|CD-1|#10|#15|#30.4|#0.8|||||||#3.5",
        "|||Sg||||#41.25||||||||ощутимое"}}},
     {"|[1] № eark|[2] date|[3] phase|[4] comph CD-1|[5] time h|[6] time m|[7] time s|[8] T s|[9] AMP N-S"
      "|[10] AMP E-W|[11] AMP Z|[12] S-P m s|[13] D km|[14] M|[15] Comment",
      "1|1|03.12.2008|Pg|CD-1|10|15|30.4|0.8|||||||3.5", "2|||Sg||||41.25||||||||ощутимое"}},
    // PET: a heading row, a row of text in column A that is skipped, a row with an empty column A that is
    // taken; times as numbers of days and as text; dates normalised to the most frequent month.
    {"PET",
     {{"Лист1",
       {"№|Дата", "#1|@20081203|+iP|СКМ-3 Z|#0.5|#4|#0.00069444444444444447|#99.9||||||O=23-59-58.5",
        "примечание||P", "|05.12.2008|SM||10:15:30||||#0.8|||#12", "#2|12.12.2008|||~0.25||||||||K=9.5"}}},
     {"|[1] №|[2] Дата|[3] Волна|[4] Прибор и составл.|[5] Время,ч:м:с|[6] дес.|[7] S-P,м:с|[8] D,км|[9] "
      "T|[10] A-NS|[11] A-EW|[12] A-Z|[13] M|[14] Примечание",
      "1|1|03.12.2008|+iP|СКМ-3 Z|12:00:00|4|00:01:00|99.9||||||O=23-59-58.5",
      "2||05.12.2008|SM||10:15:30||||0.8|||12", "3|2|12.12.2008|||06:00:00||||||||K=9.5"}},
    // TBLG: two sheets whose rows run on; the second sheet's used range starts at row 4; column Q is not
    // read.
    {"TBLG",
     {{"2008", {"year", "#2008|#12|#3|#10|#15|#30.5||||||||||#1.9|x"}},
      {"2009", {"", "", "", "#2009|#1", "#2009|||||||||||||||#2.1"}}},
     {"|[1] year|[2] month|[3] day|[4] hour|[5] min|[6] psec|[7] smin|[8] ssec|[9] s|[10] p|[11] s-p|[12] "
      "e|[13] n|[14] z|[15] Ml|[16] station",
      "1|2008|12|3|10|15|30.5||||||||||1.9", "2|2009|1", "3|2009|||||||||||||||2.1"}},
    // Any other code, written in lower case among them: column A alone, headed by its number.
    {"pet", {{"Sheet1", {"номер", "#7|B", "текст"}}}, {"|[1] ", "1|7", "2|текст"}},
};

TEST(StationSheets, EveryLayoutFromXlsxAndXls)
{
    TestDir dir;
    for (const Layout &l : kLayouts) {
        const QString station = QString::fromUtf8(l.station);
        for (const bool xlsx : {true, false}) {
            const QString path =
                dir.file(station + (xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".xls")));
            (xlsx ? writeXlsx : writeXls)(path, l.sheets);
            TD2D grid;
            QString message;
            unsigned icon = 0;
            EXPECT_TRUE(ReadStationSheets(ReadWorkbook(path), StationCodeToMacroNum(station), {}, {}, grid,
                                          message, icon))
                << l.station << xlsx << message.toStdString();
            EXPECT_EQ(tableRows(grid), l.grid) << l.station << xlsx;
        }
    }
}

// A PET sheet in memory: column A numbers the rows, column B holds the texts.
Workbook petBook(const QStringList &columnB)
{
    WorkSheet s;
    for (int row = 1; row <= columnB.size(); ++row) {
        s.SetCell(row, 1, WorkbookCell{WorkbookCell::Number, double(row), {}});
        s.SetCell(row, 2, WorkbookCell{WorkbookCell::Text, 0, columnB[row - 1]});
    }
    s.lastRow = int(columnB.size());
    s.lastCol = 2;
    Workbook book;
    book.sheets << s;
    return book;
}

TEST(StationSheets, PetDatesTakeTheMostFrequentMonth)
{
    TFormatSettings iso;
    iso.DateSeparator = QLatin1Char('-');
    iso.ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    const struct
    {
        QStringList dates;
        TFormatSettings events;
        QStringList expected;
    } cases[] = {
        {{"03.12.2008", "05.12.2008", "12.12.2008"}, {}, {"03.12.2008", "05.12.2008", "12.12.2008"}},
        {{"12/3/2008", "12/5/2008"}, {}, {"03.12.2008", "05.12.2008"}},
        // A tie: the first value counted is the month.
        {{"03.12.2008", "03.12.2008"}, {}, {"12.03.2008", "12.03.2008"}},
        // Too few parts: the empty-date mark in the format of the events text.
        {{"3.12", "05-12-2008", "12.12.2008"}, iso, {"1970-01-01", "2008-12-05", "2008-12-12"}},
    };
    for (const auto &c : cases) {
        TD2D grid;
        QString message;
        unsigned icon = 0;
        ASSERT_TRUE(ReadStationSheets(petBook(c.dates), 3, {}, c.events, grid, message, icon))
            << message.toStdString();
        EXPECT_EQ(grid.Columns[2].mid(1), c.expected);
    }
}

TEST(StationSheets, NoDataAndBadDates)
{
    Workbook book;
    book.sheets << WorkSheet();
    book.sheets[0].SetCell(1, 1, WorkbookCell{WorkbookCell::Text, 0, QStringLiteral("№")});
    book.sheets[0].lastRow = 1;
    TD2D grid;
    QString message;
    unsigned icon = 0;
    EXPECT_FALSE(ReadStationSheets(book, 3, {}, {}, grid, message, icon));
    EXPECT_EQ(message, QStringLiteral("В Excel - файле нет данных!"));
    EXPECT_EQ(icon, unsigned(MB_ICONWARNING));
    EXPECT_EQ(grid.RowCount(), 2);

    // A date with a time: its third part is no integer. The rows read stay in the grid.
    EXPECT_FALSE(
        ReadStationSheets(petBook({"03.12.2008 10:15:30", "04.12.2008"}), 3, {}, {}, grid, message, icon));
    EXPECT_TRUE(message.startsWith(QStringLiteral("ReadXls: Произошла ошибка с сообщением:\r")))
        << message.toStdString();
    EXPECT_EQ(icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(grid.RowCount(), 3);
}

TEST(Workbook, CellTexts)
{
    TFormatSettings ru;
    ru.DecimalSeparator = QLatin1Char(',');
    const std::tuple<WorkbookCell, QString, QString> cases[] = {
        {{WorkbookCell::Empty, 0, {}}, "", ""},
        {{WorkbookCell::Number, 0.8, {}}, "0.8", "0,8"},
        {{WorkbookCell::Number, 2008, {}}, "2008", "2008"},
        {{WorkbookCell::Date, 39785, {}}, "03.12.2008", "03.12.2008"},
        {{WorkbookCell::Date, 39785.5, {}}, "03.12.2008 12:00:00", "03.12.2008 12:00:00"},
        {{WorkbookCell::Date, 0.25, {}}, "06:00:00", "06:00:00"},
    };
    for (const auto &[cell, dot, comma] : cases) {
        EXPECT_EQ(WorkbookCellText(cell, TFormatSettings()), dot);
        EXPECT_EQ(WorkbookCellText(cell, ru), comma);
    }
}

TEST(Workbook, DamagedFilesGiveAClearMessage)
{
    TestDir dir;
    const QString good = dir.file(QStringLiteral("good.xlsx")),
                  goodXls = dir.file(QStringLiteral("good.xls"));
    writeXlsx(good, {{"A", {"текст", "#1"}}});
    writeXls(goodXls, {{"A", {"текст", "#1"}}});
    const QByteArray bytes = readBytes(good), xls = readBytes(goodXls);
    const QList<std::pair<const char *, QByteArray>> cases = {
        {"truncated.xlsx", bytes.left(bytes.size() / 2)},
        {"garbage.xlsx", QByteArray("PK\x03\x04") + QByteArray(200, 'x')},
        {"truncated.xls", xls.left(600)},
        {"zeros.xls", xls.left(8) + QByteArray(4096, '\0')},
        {"text.xls", QByteArray("№;Дата\r\n1;03.12.2008\r\n")},
        {"empty.xls", QByteArray()},
    };
    for (const auto &[name, data] : cases) {
        const QString path = dir.file(QString::fromLatin1(name));
        ASSERT_TRUE(writeBytes(path, data));
        try {
            ReadWorkbook(path);
            ADD_FAILURE() << name << " was read";
        } catch (const EFileError &e) {
            EXPECT_FALSE(e.message().isEmpty()) << name;
        }
    }
    EXPECT_EQ(ReadWorkbook(good).sheets.value(0).Cell(1, 1).text, QStringLiteral("текст"));
    EXPECT_EQ(ReadWorkbook(goodXls).sheets.value(0).Cell(2, 1).number, 1);
}

// A damaged part is said in the system's words, naming the part and, where the reader was in a sheet or
// in the string table, the row, cell or string; the library's own text follows in brackets. XML positions
// are Qt's: the characters read on the line when it gave up.
TEST(Workbook, DamagedPartsAreNamedInWords)
{
    const QByteArray workbook = "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                                "relationships\"><sheets><sheet name=\"Журнал\" sheetId=\"1\" r:id=\"rId1\"/>"
                                "</sheets></workbook>";
    const QByteArray sheet =
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>"
        "</sheetData></worksheet>";
    const QByteArray strings = "<sst><si><t>a</t></si><si><t>b</t></si></sst>";
    // The parts of a workbook of one sheet, any of them replaced by the test.
    struct Parts
    {
        QByteArray workbook, sheet, strings;
        bool storeSheet = false;
        qint64 sheetStated = -1;
    };
    const auto book = [&](const Parts &p) {
        ZipWriter z;
        z.add("xl/workbook.xml", p.workbook.isEmpty() ? workbook : p.workbook);
        z.add("xl/_rels/workbook.xml.rels",
              "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
        z.add("xl/sharedStrings.xml", p.strings.isEmpty() ? strings : p.strings);
        z.add("xl/worksheets/sheet1.xml", p.sheet.isEmpty() ? sheet : p.sheet, !p.storeSheet, p.sheetStated);
        return z;
    };
    const QByteArray mismatch = "<worksheet><sheetData><row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\">"
                                "<v>2</x></c></row></sheetData></worksheet>";
    const QByteArray cut = "<worksheet><sheetData><row r=\"3\">";
    const QByteArray entity = "<sst><si><t>a</t></si><si><t>b&nbsp;</t></si></sst>";
    const QString damaged = QStringLiteral("Файл книги Excel \"book.xlsx\" повреждён: ");
    const std::tuple<const char *, std::function<QByteArray()>, QString> cases[] = {
        {"end tag of another element in a cell",
         [&] {
             return book({{}, mismatch, {}}).bytes();
         },
         QStringLiteral(
             "часть xl/worksheets/sheet1.xml, лист Журнал, ячейка B2: разметка XML нарушена в строке 1, "
             "позиции %1 (Qt XML: Opening and ending tag mismatch.)")
             .arg(mismatch.indexOf("</x>") + 4)},
        {"sheet cut off in a row",
         [&] {
             return book({{}, cut, {}}).bytes();
         },
         QStringLiteral(
             "часть xl/worksheets/sheet1.xml, лист Журнал, строка 3: XML обрывается раньше конца в "
             "строке 1, позиции %1 (Qt XML: Premature end of document.)")
             .arg(cut.size())},
        {"entity no DTD declares in a shared string",
         [&] {
             return book({{}, {}, entity}).bytes();
         },
         QStringLiteral(
             "часть xl/sharedStrings.xml, строка 1 таблицы строк: разметка XML нарушена в строке 1, "
             "позиции %1 (Qt XML: Entity 'nbsp' not declared.)")
             .arg(entity.indexOf("&nbsp;") + 6)},
        {"workbook part with a DTD",
         [&] {
             return book({"<!DOCTYPE workbook>" + workbook, {}, {}}).bytes();
         },
         QStringLiteral(
             "часть xl/workbook.xml: объявлен DTD (<!DOCTYPE>), которого в книге Excel не бывает")},
        {"sheet failing its check sum",
         [&] {
             QByteArray bytes = book({{}, {}, {}, true}).bytes();
             bytes.replace("<v>1</v></c><c r=\"B1\"", "<v>7</v></c><c r=\"B1\"");
             return bytes;
         },
         QStringLiteral("часть xl/worksheets/sheet1.xml не распаковывается: контрольная сумма не сходится, "
                        "данные повреждены (libzip: CRC error)")},
        {"two sheet parts alike but for case",
         [&] {
             ZipWriter z = book({});
             z.add("XL/Worksheets/Sheet1.xml", sheet);
             return z.bytes();
         },
         QStringLiteral("имена частей xl/worksheets/sheet1.xml и XL/Worksheets/Sheet1.xml различаются только "
                        "регистром букв")},
        {"sheet longer than stated",
         [&] {
             return book({{}, {}, {}, false, 10}).bytes();
         },
         QStringLiteral(
             "часть xl/worksheets/sheet1.xml не распаковывается: в ней больше указанных в архиве 10 байт")},
        {"no archive", [] { return QByteArray("PK\x03\x04") + QByteArray(200, 'x'); },
         QStringLiteral("архив не читается: файл не является архивом ZIP (libzip: Not a zip archive)")},
    };
    EXPECT_EQ(ReadXlsxBytes(book({}).bytes(), QStringLiteral("book.xlsx")).sheets.value(0).Cell(1, 2).text,
              QStringLiteral("b"));
    for (const auto &[name, bytes, reason] : cases) {
        try {
            ReadXlsxBytes(bytes(), QStringLiteral("book.xlsx"));
            ADD_FAILURE() << name << " was read";
        } catch (const EFileError &e) {
            EXPECT_EQ(e.message(), damaged + reason) << name;
        }
    }
}

// A PET journal of two events: a P reading, its S with an amplitude row in the same line (SM), the S
// reading itself and a further amplitude of it, rows of notes alone, an origin before midnight of the
// next day's reading.
const FixSheet kPetJournal = {
    "Журнал",
    {"№|Дата", "#1|03.12.2008|+iP|СКМ-3 Z|10:15:30|#4", "||SM|СКМ-3 Z|10:16:02|#1|||#0.8|||#12",
     "||S|СКМ-3 N|10:16:02|#1|01:32.5|#150", "||SM|СКМ-3 N|10:16:03|#0|||#1.2|-|#25||M=3.1|LAT=43.25S",
     "|||||||||||||H=15km", "#2|04.12.2008|eP|CD-1 E|00:01:10|#2||#99.9|||||K=10.5|O=23-59-58.5",
     "|||||||||||||LON=120.5E"}};

// Worked out row by row from the conversion rules; arrival and amplitude numbers start at 2.
const QStringList kPetEvents = {
    "1|1|||-43.25||15||150|||00:01:32|5|||||07.12.2026",
    "2|2|03.12.2008 23:59:58|5||120.5||99.9||||01.01.1970||||||07.12.2026",
};
const QStringList kPetBulletin = {
    "2||1|PET|03.12.2008|+|i|0|P|СКМ-3|SP|0|Z|03.12.2008 10:15:30|4",
    "3||1|PET|03.12.2008|||0|S|СКМ-3|SP|0|Z|01.01.1970",
    "4||1|PET|03.12.2008|||0|S|СКМ-3|SP|0|N|03.12.2008 10:16:02|1",
    "5||1|PET|03.12.2008|||0||||0||03.12.2008 ",
    "6||2|PET|04.12.2008||e|0|P|CD-1|LP|0|E|04.12.2008 00:01:10|2",
    "7||2|PET|04.12.2008|||0||||0||04.12.2008 ",
};
const QStringList kPetXm = {
    "2|3|СКМ-3|SP|Z|03.12.2008 10:16:02|1|||||0.8|12",
    "3|4|СКМ-3|SP|N|03.12.2008 10:16:03|0|||1.2|25|||3.1",
};

TEST(PetConversion, JournalIntoTheThreeTextTables)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("pet.xlsx"));
    writeXlsx(path, {kPetJournal});
    TD2D grid, events, bulletin, xm;
    QString message;
    unsigned icon = 0;
    // Reading reports the first data row and each of the sheet's last five rows.
    QList<int> seen;
    ASSERT_TRUE(ReadStationSheets(ReadWorkbook(path), 3, {}, {}, grid, message, icon, nullptr,
                                  [&](int row, int first, int rows) {
                                      EXPECT_EQ(first, 2);
                                      EXPECT_EQ(rows, 8);
                                      seen << row;
                                  }))
        << message.toStdString();
    EXPECT_EQ(seen, QList<int>({2, 4, 5, 6, 7, 8}));
    seen.clear();
    const TDateTime today = EncodeDate(2026, 12, 7);
    ASSERT_TRUE(PetMacro(grid, {}, {}, {}, today, events, bulletin, xm, message, [&](int row) {
        seen << row;
    })) << message.toStdString();
    EXPECT_EQ(seen, QList<int>({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(tableRows(events), kPetEvents);
    EXPECT_EQ(tableRows(bulletin), kPetBulletin);
    EXPECT_EQ(tableRows(xm), kPetXm);
    EXPECT_EQ(events.ColCount(), 18);
    EXPECT_EQ(bulletin.ColCount(), 25);

    // Narrower formats drop the values beyond their columns.
    PetTableColumns narrow;
    narrow.events = 3;
    ASSERT_TRUE(PetMacro(grid, {}, {}, narrow, today, events, bulletin, xm, message));
    EXPECT_EQ(tableRows(events), QStringList({"1|1", "2|2|03.12.2008 23:59:58"}));

    // A distance that is no number stops the conversion at its row.
    grid.SetCell(8, 3, QStringLiteral("далеко"));
    EXPECT_FALSE(PetMacro(grid, {}, {}, {}, today, events, bulletin, xm, message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("PetMacro: строка №3\rСообщение об ошибке: \r")))
        << message.toStdString();
    EXPECT_EQ(tableRows(bulletin), kPetBulletin.mid(0, 2));

    // No event number still gives one event.
    grid.Init(15, 2);
    grid.SetCell(3, 1, QStringLiteral("P"));
    grid.SetCell(14, 1, QStringLiteral("H=15"));
    ASSERT_TRUE(PetMacro(grid, {}, {}, {}, today, events, bulletin, xm, message));
    EXPECT_EQ(tableRows(events), QStringList({"1|||||||||||||||||07.12.2026"}));
    EXPECT_EQ(tableRows(bulletin), QStringList({"2|||PET||||0|P|||0|| "}));
}

// An origin before midnight on 1 March of a two-digit year "00": the day before is 28 February in 1900
// and 29 February in 2000. The "Events" format's window, counted from the year fixed at start-up, decides.
TEST(PetConversion, TwoDigitYearsFollowTheFormatsWindow)
{
    TD2D grid;
    grid.Init(15, 2);
    grid.SetCell(1, 1, QStringLiteral("1"));
    grid.SetCell(2, 1, QStringLiteral("01.03.00"));
    grid.SetCell(3, 1, QStringLiteral("P"));
    grid.SetCell(5, 1, QStringLiteral("00:01:10"));
    grid.SetCell(14, 1, QStringLiteral("O=23-59-58.5"));
    tspec spec;
    spec.datefmt = QStringLiteral("dmy");
    spec.dtdel = QLatin1Char('.');
    spec.ext0 = true;
    spec.foury = false;
    spec.byear = 0;
    for (const auto &[startYear, origin] :
         {std::pair(2026, "28.02.00 23:59:58"), std::pair(2126, "29.02.00 23:59:58")}) {
        TFormatSettings fs;
        TspecToFormatSettings(fs, spec, TFormatSettings(), startYear);
        TD2D events, bulletin, xm;
        QString message;
        ASSERT_TRUE(PetMacro(grid, fs, {}, {}, EncodeDate(2026, 12, 7), events, bulletin, xm, message))
            << message.toStdString();
        EXPECT_EQ(events.GetCell(2, 0), QString::fromLatin1(origin)) << startYear;
    }
}

// The journal's text tables above as the bulletin database keeps them: readings numbered from the
// database's first counter (1), the amplitudes following their readings, empty cells NULL.
const QStringList kPetDb = {
    "1|<null>|<null>|-43.25|<null>|15|<null>|150|5",
    "2|03.12.2008 23:59:58|5|<null>|120.5|<null>|99.9|<null>|<null>",
    "1|1|PET|03.12.2008|+|i|P|СКМ-3|SP|Z|03.12.2008 10:15:30|4",
    "2|1|PET|03.12.2008|<null>|<null>|S|СКМ-3|SP|Z|01.01.1970|<null>",
    "3|1|PET|03.12.2008|<null>|<null>|S|СКМ-3|SP|N|03.12.2008 10:16:02|1",
    "4|1|PET|03.12.2008|<null>|<null>|<null>|<null>|<null>|<null>|03.12.2008|<null>",
    "5|2|PET|04.12.2008|<null>|e|P|CD-1|LP|E|04.12.2008 00:01:10|2",
    "6|2|PET|04.12.2008|<null>|<null>|<null>|<null>|<null>|<null>|04.12.2008|<null>",
    "2|Z|03.12.2008 10:16:02|1|<null>|<null>|<null>|<null>|0.8|12|<null>|<null>",
    "3|N|03.12.2008 10:16:03|0|<null>|<null>|1.2|25|<null>|<null>|3.1|<null>",
};

// The import page: the PET journal read into the grid and written into a fresh bulletin file; writes that
// fail leave the file as it was.
TEST(ExcelImportPage, PetJournalThroughTheGridIntoTheBulletin)
{
    ProgramWindow p;
    const QString file = p.dir.file(QStringLiteral("pet.mdb"));
    createBulletinFile(file);
    const auto dbState = [&file] {
        auto db = openStationFile(file);
        return dbRows(*db,
                      QStringLiteral("select num,[time],[dec],lat,lon,depdp,deltagr,deltakm,s_p_dec from "
                                     "[События] order by num")) +
               dbRows(*db,
                      QStringLiteral("select arid,n_equake,station_cod,[date],fm,qual,phase,channel_name,"
                                     "channel_cod,channel_component,[time],[dec] from [Станционный "
                                     "бюллетень] order by arid")) +
               dbRows(*db, QStringLiteral("select arid,channel_componentxm,timexm,decxm,period_ns,amp_ns,"
                                          "period_ew,amp_ew,period_z,amp_z,magnitude_ne,klass_ne from "
                                          "[Динамические замеры] order by arid"));
    };
    p.addStation(QStringLiteral("PET"), QStringLiteral("PET"), QStringLiteral("Петропавловск"));
    p.w->curSta = QStringLiteral("PET");
    p.w->stations.last().out_file_jet = file;
    p.w->sett.start_mode = 1;
    p.w->sett.out_provider = 0;
    p.w->SetImportPage(new ImportPage(*p.w));
    auto &page = *static_cast<ImportPage *>(p.w->importPage());
    page.SetImportType(ImportExcel);
    page.LoadSpec(QStringLiteral("PET"), true);
    // The station writes its texts the Russian way: day.month.four-digit year, a decimal point.
    for (tspec &spec : page.formats().importSpec) {
        spec.datefmt = QStringLiteral("dmy");
        spec.dtdel = spec.decdel = QLatin1Char('.');
        spec.foury = spec.ext0 = true;
    }
    const QString sheet = p.dir.file(QStringLiteral("pet.xlsx"));
    writeXlsx(sheet, {kPetJournal});
    p.w->Edit5->setText(sheet);

    // Nothing read, nothing to write.
    p.w->imm->setChecked(false);
    page.WriteData();
    EXPECT_EQ(p.rec.last().text, QStringLiteral("Сначала нужно прочитать данные!"));
    p.rec.clear();

    // Read for review: headers, numbers, the statistics of both events.
    page.ReadData();
    ASSERT_EQ(p.rec.count(), 0) << p.rec.last().text.toStdString();
    EXPECT_TRUE(page.gridLock());
    TMStringGrid &sg = *p.w->sg;
    EXPECT_EQ(sg.columnCount(), 15);
    EXPECT_EQ(sg.rowCount(), 8);
    EXPECT_EQ(GridCell(sg, 3, 1), QStringLiteral("+iP"));
    EXPECT_EQ(page.importStats.FirstNum, 1);
    EXPECT_EQ(page.importStats.CurNum, 2);
    EXPECT_EQ(page.importStats.FirstDate, QStringLiteral("03.12.2008"));
    EXPECT_EQ(page.importStats.LastDate, QStringLiteral("04.12.2008"));

    // A distance that is no number stops the conversion; an event number the database cannot take is
    // found before anything changes.
    for (const auto &[col, row, bad, good, message] :
         {std::tuple(8, 3, "далеко", "150", "PetMacro: строка №3\rСообщение об ошибке: \r"),
          std::tuple(1, 6, "2б", "2", "")}) {
        SetGridCell(sg, col, row, QString::fromUtf8(bad));
        page.WriteData();
        ASSERT_EQ(p.rec.count(), 1) << bad;
        EXPECT_TRUE(p.rec.last().text.startsWith(QString::fromUtf8(message)))
            << p.rec.last().text.toStdString();
        EXPECT_EQ(p.rec.last().icon, unsigned(MB_ICONERROR)) << bad;
        EXPECT_EQ(dbState(), QStringList()) << bad;
        SetGridCell(sg, col, row, QString::fromUtf8(good));
        p.rec.clear();
    }
    page.WriteData();
    ASSERT_EQ(p.rec.count(), 0) << p.rec.last().text.toStdString();
    EXPECT_EQ(dbState(), kPetDb);
    EXPECT_EQ(GridCell(sg, 3, 1), QStringLiteral("+iP")); // the grid stays as read and edited
}

// A workbook that fails says only what failed, before its first row or after rows were read.
TEST(ExcelImportPage, FailureSaysOnlyWhatFailed)
{
    ProgramWindow p;
    p.addStation(QStringLiteral("PET"), QStringLiteral("PET"), QStringLiteral("Петропавловск"));
    p.w->curSta = QStringLiteral("PET");
    p.w->SetImportPage(new ImportPage(*p.w));
    auto &page = *static_cast<ImportPage *>(p.w->importPage());
    page.SetImportType(ImportExcel);
    p.w->imm->setChecked(false);
    const QString sheet = p.dir.file(QStringLiteral("pet.xlsx"));
    p.w->Edit5->setText(sheet);

    writeBytes(sheet, "this is no workbook");
    page.ReadData();
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(
        p.rec.messages()[0].text.startsWith(QStringLiteral("ReadXls: Произошла ошибка с сообщением:\r")))
        << p.rec.messages()[0].text.toStdString();
    EXPECT_EQ(p.rec.messages()[0].icon, unsigned(MB_ICONERROR));
    EXPECT_FALSE(page.gridLock());

    // A date that carries a time stops the read after its rows were read.
    p.rec.clear();
    QFile::remove(sheet);
    writeXlsx(sheet, {{"Журнал", {"№|Дата", "#1|03.12.2008 10:15:30|P|СКМ-3 Z|10:15:30|#4"}}});
    page.ReadData();
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(QStringLiteral("ReadXls: Произошла ошибка с сообщением:\r")))
        << p.rec.last().text.toStdString();
    EXPECT_EQ(GridCell(*p.w->sg, 2, 1), QStringLiteral("03.12.2008 10:15:30"));
    EXPECT_FALSE(page.gridLock());
}

} // namespace
