#include "exchange/pet_conversion.h"
#include "exchange/station_sheets.h"
#include "exchange/workbook.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/string_table.h"
#include "support/test_support.h"
#include "table_rows.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <xlsxwriter.h>

namespace {

// One cell of a fixture workbook: row and column from 1, a number, a text or a date.
struct FixCell
{
    int row, col;
    char kind; // 'n', 's', 'd' (a date, number holds yyyymmdd), 't' (a time of day, number in days)
    double number = 0;
    const char *text = "";
};
struct FixSheet
{
    const char *name;
    QList<FixCell> cells;
};

FixCell N(int r, int c, double v)
{
    return {r, c, 'n', v};
}
FixCell S(int r, int c, const char *t)
{
    return {r, c, 's', 0, t};
}
FixCell D(int r, int c, int ymd)
{
    return {r, c, 'd', double(ymd)};
}
FixCell T(int r, int c, double days)
{
    return {r, c, 't', days};
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
        for (const FixCell &c : s.cells) {
            const lxw_row_t r = lxw_row_t(c.row - 1);
            const lxw_col_t k = lxw_col_t(c.col - 1);
            if (c.kind == 'n') {
                worksheet_write_number(ws, r, k, c.number, nullptr);
            } else if (c.kind == 's') {
                worksheet_write_string(ws, r, k, c.text, nullptr);
            } else if (c.kind == 't') {
                worksheet_write_number(ws, r, k, c.number, time);
            } else {
                const int ymd = int(c.number);
                lxw_datetime dt = {ymd / 10000, ymd / 100 % 100, ymd % 100, 0, 0, 0};
                worksheet_write_datetime(ws, r, k, &dt, date);
            }
        }
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

// The same workbook through Debian's xlwt, as an older program writes .xls.
void writeXls(const QString &path, const QList<FixSheet> &sheets)
{
    QString py = QStringLiteral("import datetime, xlwt, sys\nwb = xlwt.Workbook(encoding='utf-8')\n"
                                "df = xlwt.easyxf(num_format_str='dd.mm.yyyy')\n"
                                "tf = xlwt.easyxf(num_format_str='hh:mm:ss')\n");
    for (const FixSheet &s : sheets) {
        py += QStringLiteral("ws = wb.add_sheet(%1)\n")
                  .arg(QString::fromUtf8(s.name).toHtmlEscaped().prepend('\'').append('\''));
        for (const FixCell &c : s.cells) {
            const QString at = QStringLiteral("ws.write(%1, %2, ").arg(c.row - 1).arg(c.col - 1);
            if (c.kind == 'n')
                py += at + QString::number(c.number, 'g', 17) + QStringLiteral(")\n");
            else if (c.kind == 't')
                py += at + QString::number(c.number, 'g', 17) + QStringLiteral(", tf)\n");
            else if (c.kind == 's')
                py += at + QStringLiteral("bytes.fromhex('%1').decode('utf-8'))\n")
                               .arg(QString::fromLatin1(QByteArray(c.text).toHex()));
            else {
                const int ymd = int(c.number);
                py += at + QStringLiteral("datetime.date(%1, %2, %3), df)\n")
                               .arg(ymd / 10000)
                               .arg(ymd / 100 % 100)
                               .arg(ymd % 100);
            }
        }
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

QList<Layout> layouts()
{
    QList<Layout> all;
    // LVV: column A is read but not shown; the data begin at the first integer in column B.
    all << Layout{
        "LVV",
        {{"Журнал",
          {S(1, 2, "Журнал станции Львов"), S(2, 2, "№"), S(3, 1, "x"), N(3, 2, 1), D(3, 3, 20081203),
           S(3, 4, "Pg"), S(3, 5, "CD-1"), N(3, 6, 10), N(3, 7, 15), N(3, 8, 30.4), N(3, 9, 0.8),
           N(3, 16, 3.5), S(4, 4, "Sg"), N(4, 8, 41.25), S(4, 16, "ощутимое")}}},
        {QStringLiteral("|[1] № eark|[2] date|[3] phase|[4] comph CD-1|[5] time h|[6] time m|[7] time "
                        "s|[8] T s|[9] AMP N-S|[10] AMP E-W|[11] AMP Z|[12] S-P m s|[13] D km|[14] "
                        "M|[15] Comment"),
         QStringLiteral("1|1|03.12.2008|Pg|CD-1|10|15|30.4|0.8|||||||3.5"),
         QStringLiteral("2|||Sg||||41.25||||||||ощутимое")}};
    // PET: a heading row, a row of text in column A that is skipped, a row with an empty column A that
    // is taken; times as numbers of days and as text; dates normalised to the most frequent month.
    all << Layout{
        "PET",
        {{"Лист1",
          {S(1, 1, "№"),
           S(1, 2, "Дата"),
           N(2, 1, 1),
           D(2, 2, 20081203),
           S(2, 3, "+iP"),
           S(2, 4, "СКМ-3 Z"),
           N(2, 5, 0.5),
           N(2, 6, 4),
           N(2, 7, 1.0 / 1440),
           N(2, 8, 99.9),
           S(2, 14, "O=23-59-58.5"),
           S(3, 1, "примечание"),
           S(3, 3, "P"),
           S(4, 2, "05.12.2008"),
           S(4, 3, "SM"),
           S(4, 5, "10:15:30"),
           N(4, 9, 0.8),
           N(4, 12, 12),
           N(5, 1, 2),
           S(5, 2, "12.12.2008"),
           T(5, 5, 0.25),
           S(5, 13, "K=9.5")}}},
        {QStringLiteral("|[1] №|[2] Дата|[3] Волна|[4] Прибор и составл.|[5] Время,ч:м:с|[6] дес.|[7] "
                        "S-P,м:с|[8] D,км|[9] T|[10] A-NS|[11] A-EW|[12] A-Z|[13] M|[14] Примечание"),
         QStringLiteral("1|1|03.12.2008|+iP|СКМ-3 Z|12:00:00|4|00:01:00|99.9||||||O=23-59-58.5"),
         QStringLiteral("2||05.12.2008|SM||10:15:30||||0.8|||12"),
         QStringLiteral("3|2|12.12.2008|||06:00:00||||||||K=9.5")}};
    // TBLG: two sheets whose rows run on; the second sheet's used range starts at row 4; column Q is not
    // read.
    all << Layout{
        "TBLG",
        {{"2008",
          {S(1, 1, "year"), N(2, 1, 2008), N(2, 2, 12), N(2, 3, 3), N(2, 4, 10), N(2, 5, 15), N(2, 6, 30.5),
           N(2, 16, 1.9), S(2, 17, "x")}},
         {"2009", {N(4, 1, 2009), N(4, 2, 1), N(5, 1, 2009), N(5, 16, 2.1)}}},
        {QStringLiteral("|[1] year|[2] month|[3] day|[4] hour|[5] min|[6] psec|[7] smin|[8] ssec|[9] "
                        "s|[10] p|[11] s-p|[12] e|[13] n|[14] z|[15] Ml|[16] station"),
         QStringLiteral("1|2008|12|3|10|15|30.5||||||||||1.9"), QStringLiteral("2|2009|1"),
         QStringLiteral("3|2009|||||||||||||||2.1")}};
    // Any other code, written in lower case among them: column A alone, headed by its number.
    all << Layout{"pet",
                  {{"Sheet1", {S(1, 1, "номер"), N(2, 1, 7), S(2, 2, "B"), S(3, 1, "текст")}}},
                  {QStringLiteral("|[1] "), QStringLiteral("1|7"), QStringLiteral("2|текст")}};
    return all;
}

TEST(StationSheets, EveryLayoutFromXlsxAndXls)
{
    TestDir dir;
    for (const Layout &l : layouts()) {
        const QString station = QString::fromUtf8(l.station);
        for (const char *ext : {"xlsx", "xls"}) {
            const QString path = dir.file(station + QLatin1Char('.') + QLatin1String(ext));
            if (QLatin1String(ext) == QLatin1String("xlsx"))
                writeXlsx(path, l.sheets);
            else
                writeXls(path, l.sheets);
            const Workbook book = ReadWorkbook(path);
            TD2D grid;
            QString message;
            unsigned icon = 0;
            EXPECT_TRUE(ReadStationSheets(book, StationCodeToMacroNum(station), TFormatSettings(),
                                          TFormatSettings(), grid, message, icon))
                << station.toStdString() << ext << message.toStdString();
            EXPECT_EQ(tableRows(grid), l.grid) << station.toStdString() << ext;
        }
    }
}

TEST(StationSheets, LayoutNumbers)
{
    EXPECT_EQ(StationCodeToMacroNum(QStringLiteral("LVV")), 2);
    EXPECT_EQ(StationCodeToMacroNum(QStringLiteral("PET")), 3);
    EXPECT_EQ(StationCodeToMacroNum(QStringLiteral("TBLG")), 4);
    EXPECT_EQ(StationCodeToMacroNum(QStringLiteral("pet")), -1);
    EXPECT_EQ(StationCodeToMacroNum(QString()), -1);
}

WorkSheet sheetOf(const QList<std::pair<int, QString>> &columnB)
{
    WorkSheet s;
    for (const auto &[row, text] : columnB) {
        WorkbookCell c;
        c.kind = WorkbookCell::Text;
        c.text = text;
        s.SetCell(row, 2, c);
        WorkbookCell n;
        n.kind = WorkbookCell::Number;
        n.number = row;
        s.SetCell(row, 1, n);
        s.lastRow = std::max(s.lastRow, row);
        s.lastCol = 2;
    }
    return s;
}

TEST(StationSheets, PetDatesTakeTheMostFrequentMonth)
{
    TFormatSettings iso;
    iso.DateSeparator = QLatin1Char('-');
    iso.ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    struct Case
    {
        QList<std::pair<int, QString>> dates;
        TFormatSettings events;
        QStringList expected;
    } cases[] = {
        {{{1, "03.12.2008"}, {2, "05.12.2008"}, {3, "12.12.2008"}},
         {},
         {"03.12.2008", "05.12.2008", "12.12.2008"}},
        {{{1, "12/3/2008"}, {2, "12/5/2008"}}, {}, {"03.12.2008", "05.12.2008"}},
        // A tie: the first value counted is the month.
        {{{1, "03.12.2008"}, {2, "03.12.2008"}}, {}, {"12.03.2008", "12.03.2008"}},
        // Too few parts: the empty-date mark in the format of the events text.
        {{{1, "3.12"}, {2, "05-12-2008"}, {3, "12.12.2008"}},
         iso,
         {"1970-01-01", "2008-12-05", "2008-12-12"}},
    };
    for (const Case &c : cases) {
        Workbook book;
        book.sheets << sheetOf(c.dates);
        TD2D grid;
        QString message;
        unsigned icon = 0;
        ASSERT_TRUE(ReadStationSheets(book, 3, TFormatSettings(), c.events, grid, message, icon))
            << message.toStdString();
        QStringList got;
        for (int r = 1; r < grid.RowCount(); ++r)
            got << grid.GetCell(2, r);
        EXPECT_EQ(got, c.expected);
    }
}

TEST(StationSheets, NoDataAndBadDates)
{
    Workbook book;
    book.sheets << sheetOf({});
    book.sheets.last().SetCell(1, 1, WorkbookCell{WorkbookCell::Text, 0, QStringLiteral("№")});
    book.sheets.last().lastRow = 1;
    TD2D grid;
    QString message;
    unsigned icon = 0;
    EXPECT_FALSE(ReadStationSheets(book, 3, {}, {}, grid, message, icon));
    EXPECT_EQ(message, QStringLiteral("В Excel - файле нет данных!"));
    EXPECT_EQ(icon, unsigned(MB_ICONWARNING));
    EXPECT_EQ(grid.RowCount(), 2);

    // A date with a time: its third part is no integer. The rows read stay in the grid.
    book.sheets = {sheetOf({{1, "03.12.2008 10:15:30"}, {2, "04.12.2008"}})};
    EXPECT_FALSE(ReadStationSheets(book, 3, {}, {}, grid, message, icon));
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
        {{WorkbookCell::Text, 0, QStringLiteral("Дата")}, "Дата", "Дата"},
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
    const QString good = dir.file(QStringLiteral("good.xlsx"));
    writeXlsx(good, {{"A", {S(1, 1, "текст"), N(2, 1, 1)}}});
    const QByteArray bytes = readBytes(good);
    const QString goodXls = dir.file(QStringLiteral("good.xls"));
    writeXls(goodXls, {{"A", {S(1, 1, "текст"), N(2, 1, 1)}}});
    const QByteArray xls = readBytes(goodXls);

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

} // namespace

namespace {

// A PET journal of two events: a P reading, its S with an amplitude row in the same line (SM), the S
// reading itself and a further amplitude of it, rows of notes alone, an origin before midnight of the
// next day's reading.
const QList<FixCell> kPetJournal = {
    S(1, 1, "№"),
    S(1, 2, "Дата"),
    N(2, 1, 1),
    S(2, 2, "03.12.2008"),
    S(2, 3, "+iP"),
    S(2, 4, "СКМ-3 Z"),
    S(2, 5, "10:15:30"),
    N(2, 6, 4),
    S(3, 3, "SM"),
    S(3, 4, "СКМ-3 Z"),
    S(3, 5, "10:16:02"),
    N(3, 6, 1),
    N(3, 9, 0.8),
    N(3, 12, 12),
    S(4, 3, "S"),
    S(4, 4, "СКМ-3 N"),
    S(4, 5, "10:16:02"),
    N(4, 6, 1),
    S(4, 7, "01:32.5"),
    N(4, 8, 150),
    S(5, 3, "SM"),
    S(5, 4, "СКМ-3 N"),
    S(5, 5, "10:16:03"),
    N(5, 6, 0),
    N(5, 9, 1.2),
    S(5, 10, "-"),
    N(5, 11, 25),
    S(5, 13, "M=3.1"),
    S(5, 14, "LAT=43.25S"),
    S(6, 14, "H=15km"),
    N(7, 1, 2),
    S(7, 2, "04.12.2008"),
    S(7, 3, "eP"),
    S(7, 4, "CD-1 E"),
    S(7, 5, "00:01:10"),
    N(7, 6, 2),
    N(7, 8, 99.9),
    S(7, 13, "K=10.5"),
    S(7, 14, "O=23-59-58.5"),
    S(8, 14, "LON=120.5E"),
};

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
    writeXlsx(path, {{"Журнал", kPetJournal}});
    TD2D grid, events, bulletin, xm;
    QString message;
    unsigned icon = 0;
    ASSERT_TRUE(ReadStationSheets(ReadWorkbook(path), 3, {}, {}, grid, message, icon))
        << message.toStdString();
    ASSERT_TRUE(PetMacro(grid, {}, {}, {}, EncodeDate(2026, 12, 7), events, bulletin, xm, message))
        << message.toStdString();
    EXPECT_EQ(tableRows(events), kPetEvents);
    EXPECT_EQ(tableRows(bulletin), kPetBulletin);
    EXPECT_EQ(tableRows(xm), kPetXm);
    EXPECT_EQ(events.ColCount(), 18);
    EXPECT_EQ(bulletin.ColCount(), 25);

    // Narrower formats drop the values beyond their columns.
    PetTableColumns narrow;
    narrow.events = 3;
    ASSERT_TRUE(PetMacro(grid, {}, {}, narrow, EncodeDate(2026, 12, 7), events, bulletin, xm, message));
    EXPECT_EQ(tableRows(events), QStringList({"1|1", "2|2|03.12.2008 23:59:58"}));

    // A distance that is no number stops the conversion at its row.
    grid.SetCell(8, 3, QStringLiteral("далеко"));
    EXPECT_FALSE(PetMacro(grid, {}, {}, {}, EncodeDate(2026, 12, 7), events, bulletin, xm, message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("PetMacro: строка №3\rСообщение об ошибке: \r")))
        << message.toStdString();
    EXPECT_EQ(tableRows(bulletin), kPetBulletin.mid(0, 2));
}

TEST(PetConversion, NoEventNumberStillGivesOneEvent)
{
    TD2D grid, events, bulletin, xm;
    grid.Init(15, 2);
    grid.SetCell(3, 1, QStringLiteral("P"));
    grid.SetCell(14, 1, QStringLiteral("H=15"));
    QString message;
    ASSERT_TRUE(PetMacro(grid, {}, {}, {}, EncodeDate(2026, 12, 7), events, bulletin, xm, message));
    EXPECT_EQ(tableRows(events), QStringList({"1|||||||||||||||||07.12.2026"}));
    EXPECT_EQ(tableRows(bulletin), QStringList({"2|||PET||||0|P|||0|| "}));
}

} // namespace
