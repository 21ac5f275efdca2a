#include "exchange/page/import_grid.h"
#include "lib/errors.h"
#include "lib/mstring_grid.h"
#include "support/cpu_time.h"
#include "support/peak_memory.h"
#include "support/test_support.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList gridRow(const TMStringGrid &g, int row)
{
    QStringList cells;
    for (int c = 0; c < g.columnCount(); ++c)
        cells << GridCell(g, c, row);
    return cells;
}

void select(TMStringGrid &g, int top, int left, int bottom, int right)
{
    g.clearSelection();
    g.setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
}

// A 3 x 3 text table in the grid: cells "rc".
struct Grid
{
    TD2D table;
    TMStringGrid g;
    Grid()
    {
        table.Init(3, 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                table.SetCell(c, r, u"%1%2"_s.arg(r).arg(c));
        tspec spec;
        for (const char *n : {"Channel_component", "Station_Cod", "Interpretation"})
            spec.cols.append(tspeccol{QString::fromLatin1(n), false, true, {}});
        TableToGridBySpec(table, spec, g, false, false, 0, 0, TFormatSettings());
    }
};

} // namespace

TEST(ImportGrid, HeadersNumbersAndTheWayBack)
{
    Grid t;
    EXPECT_EQ(t.g.columnCount(), 4);
    EXPECT_EQ(t.g.rowCount(), 4);
    EXPECT_EQ(gridRow(t.g, 0), (QStringList{u""_s, u"[1] ch_comp"_s, u"[2] cod"_s, u"[3] interpr"_s}));
    EXPECT_EQ(gridRow(t.g, 2), (QStringList{u"2"_s, u"10"_s, u"11"_s, u"12"_s}));

    SetGridCell(t.g, 2, 3, u"edited"_s);
    SetGridCell(t.g, 1, 0, u"[12] Phase"_s);
    SetGridCell(t.g, 2, 0, u"[x] Phase"_s);
    SetGridCell(t.g, 3, 0, u"[12]"_s);
    TD2D back;
    back.Init(3, 0);
    GridToTable(t.g, back, false);
    EXPECT_EQ(back.RowCount(), 3);
    EXPECT_EQ(back.GetCell(1, 2), u"edited"_s);
    EXPECT_EQ(back.GetCell(0, 0), u"00"_s);
    GridToTable(t.g, back, true);
    EXPECT_EQ(back.RowCount(), 4);
    // A bracketed number with no name after it is the header's own text.
    EXPECT_EQ((QStringList{back.GetCell(0, 0), back.GetCell(1, 0), back.GetCell(2, 0)}),
              (QStringList{u"Phase"_s, u"[x] Phase"_s, u"[12]"_s}));
    EXPECT_EQ(back.GetCell(1, 3), u"edited"_s);
    SetGridCell(t.g, 1, 0, u"[3]  "_s);
    SetGridCell(t.g, 2, 0, u"[3]  N c/c"_s);
    SetGridCell(t.g, 3, 0, u"[] Phase"_s);
    GridToTable(t.g, back, true);
    EXPECT_EQ((QStringList{back.GetCell(0, 0), back.GetCell(1, 0), back.GetCell(2, 0)}),
              (QStringList{u"[3]  "_s, u"N c/c"_s, u"[] Phase"_s}));
}

TEST(ImportGrid, StatisticsOfNumbersAndDates)
{
    const struct
    {
        QStringList nums;
        const char *text;
        bool alarm;
    } cases[] = {
        {{u"5"_s, u"5"_s, u"6"_s, u"7"_s}, "события 5 - 7 (3 всего)", false},
        {{u"5"_s, u"7"_s}, "нарушена нумерация событий", true},
        {{u""_s, u""_s}, "нет номеров событий", true},
        {{u"5"_s, u"x"_s, u"6"_s}, "нарушена нумерация событий", true},
        {{u"5,0"_s, u"6"_s}, "события 5 - 6 (2 всего)", false},
    };
    TFormatSettings fs;
    fs.DecimalSeparator = QLatin1Char(',');
    for (const auto &c : cases) {
        TD2D table;
        table.Init(2, 0);
        for (int i = 0; i < c.nums.size(); ++i) {
            table.AddRows(1);
            table.SetCell(0, i, c.nums[i]);
            table.SetCell(1, i, i == 0 ? QString() : u"d%1"_s.arg(i));
        }
        TMStringGrid g;
        const ImportStats s = TableToGridBySpec(table, tspec{}, g, true, true, 0, 1, fs);
        const ImportStatTexts t = ImportStatsText(g, true, true, s);
        EXPECT_EQ(t.numbers, QString::fromUtf8(c.text));
        EXPECT_EQ(t.numbersAlarm, c.alarm);
        EXPECT_EQ(t.rows, u"%1 строк, 2 колонок (полей)"_s.arg(c.nums.size()));
        EXPECT_EQ(t.dates, u"с d1 по d%1"_s.arg(c.nums.size() - 1));
    }
    TMStringGrid g;
    EXPECT_EQ(ImportStatsText(g, false, true, ImportStats{}).dates, u"даты не проставлены"_s);
    EXPECT_TRUE(ImportStatsText(g, false, true, ImportStats{}).datesAlarm);
}

TEST(ImportGrid, ClipboardRowsAndShifts)
{
    Grid t;
    TD2D clip;
    select(t.g, 1, 1, 2, 2);
    GridClipboardOp(t.g, clip, 0); // cut
    EXPECT_EQ(gridRow(t.g, 1), (QStringList{u"1"_s, u""_s, u""_s, u"02"_s}));
    EXPECT_EQ(clip.ColCount(), 2);
    EXPECT_EQ(clip.GetCell(1, 1), u"11"_s);
    // A 2 x 2 block pasted at the bottom-right cell writes only the cell that fits.
    select(t.g, 3, 3, 3, 3);
    GridClipboardOp(t.g, clip, 2);
    EXPECT_EQ(gridRow(t.g, 3), (QStringList{u"3"_s, u"20"_s, u"21"_s, u"00"_s}));
    EXPECT_EQ(t.g.rowCount(), 4);
    select(t.g, 3, 1, 3, 1);
    GridClipboardOp(t.g, clip, 3); // delete also copies
    EXPECT_EQ(clip.GetCell(0, 0), u"20"_s);
    EXPECT_EQ(GridCell(t.g, 1, 3), u""_s);

    // "-" deletes only the top row of a taller selection; "+" inserts an empty row and renumbers.
}

TEST(ImportGrid, RowsAndShifts)
{
    Grid t;
    select(t.g, 1, 1, 2, 3);
    GridDeleteRow(t.g);
    EXPECT_EQ(t.g.rowCount(), 3);
    EXPECT_EQ(gridRow(t.g, 1), (QStringList{u"1"_s, u"10"_s, u"11"_s, u"12"_s}));
    select(t.g, 1, 1, 1, 1);
    GridInsertRow(t.g);
    EXPECT_EQ(t.g.rowCount(), 4);
    EXPECT_EQ(gridRow(t.g, 1), (QStringList{u"1"_s, u""_s, u""_s, u""_s}));
    EXPECT_EQ(gridRow(t.g, 2), (QStringList{u"2"_s, u"10"_s, u"11"_s, u"12"_s}));

    // ">" moves the block right and empties its first column; not past the last column.
    select(t.g, 2, 1, 2, 2);
    GridShiftCells(t.g, 1);
    EXPECT_EQ(gridRow(t.g, 2), (QStringList{u"2"_s, u""_s, u"10"_s, u"11"_s}));
    GridShiftCells(t.g, 1);
    EXPECT_EQ(gridRow(t.g, 2), (QStringList{u"2"_s, u""_s, u"10"_s, u"11"_s}));
    GridShiftCells(t.g, -1);
    EXPECT_EQ(gridRow(t.g, 2), (QStringList{u"2"_s, u"10"_s, u"11"_s, u""_s}));
    GridShiftCells(t.g, -1);
    EXPECT_EQ(gridRow(t.g, 2), (QStringList{u"2"_s, u"10"_s, u"11"_s, u""_s}));
}

TEST(ImportGrid, ELQRowBeforeTheSelectedReading)
{
    const struct
    {
        const char *h, *m, *s, *t;
        QStringList time; // hour, minute, second of the new row; empty: nothing happens
    } cases[] = {
        {"12", "00", "05", "4", {u"12"_s, u"0"_s, u"03"_s}},
        {"12", "0", "05", "5", {u"12"_s, u"0"_s, u"02.5"_s}},
        {"0", "0", "01", "10", {u"23"_s, u"59"_s, u"56"_s}},
        {"12", "0", "5", "x", {}},
        {"25", "0", "5", "4", {}},
    };
    for (const auto &c : cases) {
        TMStringGrid g;
        g.setColumnCount(11);
        g.setRowCount(3);
        const QStringList cells = {u"1"_s,
                                   u"x"_s,
                                   u"7"_s,
                                   u"D"_s,
                                   u"LQM"_s,
                                   u"Dev"_s,
                                   QString::fromLatin1(c.h),
                                   QString::fromLatin1(c.m),
                                   QString::fromLatin1(c.s),
                                   QString::fromLatin1(c.t)};
        for (int k = 0; k < cells.size(); ++k)
            SetGridCell(g, k, 1, cells[k]);
        select(g, 1, 2, 1, 2);
        EXPECT_EQ(GridAddELQ(g), !c.time.isEmpty()) << c.h << ':' << c.m << ':' << c.s << " T " << c.t;
        if (c.time.isEmpty()) {
            EXPECT_EQ(g.rowCount(), 3);
            continue;
        }
        EXPECT_EQ(g.rowCount(), 4);
        EXPECT_EQ(gridRow(g, 1).mid(0, 9),
                  (QStringList{u"1"_s, u""_s, u""_s, u""_s, u"eLQ"_s, u"Dev"_s} + c.time));
        EXPECT_EQ(gridRow(g, 2).mid(0, 5), (QStringList{u"2"_s, u"x"_s, u"7"_s, u"D"_s, u"LQM"_s}));
    }
}

TEST(ImportGrid, ArrivalsSortByItime)
{
    TD2D t;
    t.Init(2, 0);
    const QStringList times = {u"itime"_s, u"05.03.2008 10:00:01.5"_s, u"01.01.2199 00:00:00.0"_s,
                               u""_s,      u"05.03.2008 10:00:01.2"_s, u"04.03.2008 23:59:59.9"_s};
    for (int r = 0; r < times.size(); ++r) {
        t.AddRows(1);
        t.SetCell(0, r, QString::number(r));
        t.SetCell(1, r, times[r]);
    }
    SortByItime(t, 1, TFormatSettings());
    EXPECT_EQ(t.Columns[0], (QStringList{u"0"_s, u"3"_s, u"5"_s, u"4"_s, u"1"_s, u"2"_s}));

    t.SetCell(1, 2, u"31.02.2008 10:00:00.0"_s);
    EXPECT_THROW(SortByItime(t, 1, TFormatSettings()), EConvertError);
}

TEST(ImportGrid, CheckBeforeWritingAJournal)
{
    const struct
    {
        QStringList nums, dates;
        QList<int> answers;
        bool asked, result;
    } cases[] = {
        {{u"5"_s, u"6"_s}, {u"1.1.08"_s, u""_s}, {}, false, true},
        {{u"5"_s, u"7"_s}, {u"1.1.08"_s, u"2.1.08"_s}, {IDNO}, true, false},
        {{u"5"_s, u"6"_s}, {u""_s, u""_s}, {IDYES}, true, true},
    };
    for (const auto &c : cases) {
        TMStringGrid g;
        g.setColumnCount(5);
        g.setRowCount(3);
        SetGridCell(g, 2, 0, u"[2] N event"_s);
        for (int r = 0; r < 2; ++r) {
            SetGridCell(g, 2, r + 1, c.nums[r]);
            SetGridCell(g, 3, r + 1, c.dates[r]);
        }
        SetGridCell(g, 4, 1, u"a rather long comment in the last column"_s);
        MessageRecorder rec;
        rec.answer(c.answers);
        QLabel st1, st2, st3;
        EXPECT_EQ(CheckImportGrid(g, TFormatSettings(), 8, &st1, &st2, &st3), c.result);
        EXPECT_EQ(rec.count(), c.asked ? 1 : 0);
        if (c.asked) {
            EXPECT_EQ(rec.last().text,
                      u"Есть неисправленные ошибки.\rВсё равно хотите внести данные в БД?"_s);
            EXPECT_EQ(rec.last().icon, unsigned(MB_ICONQUESTION));
            // Enter answers No.
            EXPECT_EQ(rec.last().buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
        }
        EXPECT_EQ(st1.text(), u"2 строк, 4 колонок (полей)"_s);
        EXPECT_GT(g.columnWidth(4), g.columnWidth(1));
        const int width = g.columnWidth(4);
        g.resizeColumnToContents(4);
        EXPECT_LE(g.columnWidth(4), width); // the comment is drawn whole
    }
}

TEST(ImportGrid, ParadoxTableWithNumberedHeadersAndWidths)
{
    TD2D table;
    table.Init(3, 4);
    table.SetRow(0, {u"N c/c"_s, u"Notes"_s, u"M"_s});
    table.SetRow(1, {u"1"_s, u"a note much wider than its header"_s, QString()});
    table.SetRow(2, {u"2"_s, QString(), QString()});
    TMStringGrid g;
    g.setColumnCount(4);
    g.setRowCount(2);
    g.setColumnWidth(0, 8);
    const int numbers = g.columnWidth(0); // no narrower than the header allows
    g.setColumnWidth(3, 900);             // an earlier read's column
    constexpr int margin = 5;
    ParadoxTableToGrid(table, g, margin);
    ASSERT_EQ(g.columnCount(), 4);
    ASSERT_EQ(g.rowCount(), 4);
    EXPECT_EQ(gridRow(g, 0), (QStringList{u""_s, u"[1] N c/c"_s, u"[2] Notes"_s, u"[3] M"_s}));
    EXPECT_EQ(gridRow(g, 1), (QStringList{u"1"_s, u"1"_s, u"a note much wider than its header"_s, u""_s}));
    EXPECT_EQ(gridRow(g, 3), (QStringList{u"3"_s, u""_s, u""_s, u""_s}));
    // Each column as wide as its widest text and the margin, and wide enough for the view to draw its
    // texts whole; a header sets its column's width afresh, so nothing is left of a wider earlier read.
    const QFontMetrics fm(g.font());
    const int wanted[] = {std::max(numbers, fm.horizontalAdvance(u"3"_s) + margin),
                          fm.horizontalAdvance(u"[1] N c/c"_s) + margin,
                          fm.horizontalAdvance(u"a note much wider than its header"_s) + margin,
                          fm.horizontalAdvance(u"[3] M"_s) + margin};
    for (int c = 0; c < 4; ++c) {
        const int width = g.columnWidth(c);
        g.resizeColumnToContents(c);
        EXPECT_EQ(width, std::max(wanted[c], g.columnWidth(c))) << c;
    }

    // A table whose header counts no record: the header row alone.
    table.Init(3, 1);
    table.SetRow(0, {u"N c/c"_s, u"Notes"_s, u"M"_s});
    ParadoxTableToGrid(table, g, margin);
    EXPECT_EQ(g.rowCount(), 1);
    EXPECT_EQ(GridCell(g, 2, 0), u"[2] Notes"_s);
}

TEST(ImportGrid, FindsRowsForTheSearchButtons)
{
    Grid t;
    SetGridCell(t.g, 1, 3, u" 20061030101254 "_s);
    EXPECT_EQ(GridFindRow(t.g, 1, 1, u"20061030101254"_s, true), 3);
    EXPECT_EQ(GridFindRow(t.g, 1, 1, u"20061030101254"_s, false), -1);
    EXPECT_EQ(GridFindRow(t.g, 2, 1, u"11"_s, false), 2);
    EXPECT_EQ(GridFindRow(t.g, 2, 3, u"11"_s, false), -1);
    EXPECT_EQ(GridFindRow(t.g, 0, 0, u"1"_s, false), 1); // never the header row
}

// The grid shows the table a reader filled: a correction is in the table at once. After rows were
// inserted or deleted the way back puts the table's rows in the grid's order, and the grid goes on
// editing that table.
TEST(ImportGrid, CorrectionsGoIntoTheTableShown)
{
    TD2D table;
    table.Init(2, 3);
    table.SetRow(0, {u"sta"_s, u"phase"_s});
    table.SetRow(1, {u"PET"_s, u"P"_s});
    table.SetRow(2, {u"MNK"_s, u"S"_s});
    TMStringGrid g;
    TableToGrid(table, g);
    EXPECT_EQ(gridRow(g, 0), (QStringList{u""_s, u"[1] sta"_s, u"[2] phase"_s}));
    SetGridCell(g, 2, 1, u"Pn"_s);
    EXPECT_EQ(table.GetCell(1, 1), u"Pn"_s);

    select(g, 2, 1, 2, 1);
    GridInsertRow(g);
    SetGridCell(g, 1, 2, u"OBN"_s);
    EXPECT_EQ(table.RowCount(), 3);
    EXPECT_EQ(table.GetCell(0, 2), u"MNK"_s);
    GridToTable(g, table, true);
    const QStringList inOrder = {u"sta|phase"_s, u"PET|Pn"_s, u"OBN|"_s, u"MNK|S"_s};
    QStringList stored;
    for (int r = 0; r < table.RowCount(); ++r)
        stored << table.GetCell(0, r) + u'|' + table.GetCell(1, r);
    EXPECT_EQ(stored, inOrder);
    EXPECT_EQ(gridRow(g, 3), (QStringList{u"3"_s, u"MNK"_s, u"S"_s}));
    SetGridCell(g, 2, 2, u"Sg"_s);
    EXPECT_EQ(table.GetCell(1, 2), u"Sg"_s);

    // Into a table the grid does not show, the grid's own stays as it is.
    select(g, 1, 1, 1, 1);
    GridDeleteRow(g);
    TD2D copy;
    copy.Init(2, 0);
    GridToTable(g, copy, false);
    EXPECT_EQ(copy.RowCount(), 2);
    EXPECT_EQ(copy.GetCell(0, 0) + u'|' + copy.GetCell(1, 0), u"OBN|Sg"_s);
    EXPECT_EQ(table.RowCount(), 4);
    EXPECT_EQ(table.GetCell(0, 1), u"PET"_s);
}

// A table of a million records in the grid, as a Paradox table at the readers' limit of cells comes: the
// grid holds no copy of the cells, measures every text of its columns in a bounded time, and inserts a
// row for four bytes a row.
TEST(ImportGrid, AMillionRecordsInTheGrid)
{
    constexpr int records = 1000000;
    TD2D table;
    table.Init(3, records + 1);
    table.SetRow(0, {u"N c/c"_s, u"Faza"_s, u"Notes"_s});
    const QString phase = u"eP"_s;
    for (int r = 1; r <= records; ++r) {
        table.SetCell(0, r, QString::number(r));
        table.SetCell(1, r, phase);
    }
    table.SetCell(2, records / 2, u"the only note, wider than the rest"_s);
    TMStringGrid g;
    const PeakMemory peak;
    const CpuTime cpu;
    ParadoxTableToGrid(table, g, 5);
    select(g, 10, 1, 10, 1);
    GridInsertRow(g);
    g.resize(600, 400);
    g.show();
    QApplication::processEvents();
    const qint64 took = cpu.milliseconds(), mebibytes = peak.mebibytes();
    EXPECT_EQ(g.rowCount(), records + 2);
    EXPECT_EQ(GridCell(g, 1, records + 1), QString::number(records));
    EXPECT_EQ(GridCell(g, 0, records + 1), QString::number(records + 1));
    const QFontMetrics fm(g.font());
    EXPECT_GE(g.columnWidth(3), fm.horizontalAdvance(u"the only note, wider than the rest"_s) + 5);
    EXPECT_GE(g.columnWidth(0), fm.horizontalAdvance(u"1000000"_s) + 5);
    EXPECT_LT(took, 20000 * kSanitizerSlowdown) << "ms of processor time";
    if (kPeakMemoryMeasures && mebibytes >= 0) {
        EXPECT_LT(mebibytes, 32) << "MiB";
    }
    std::cout << "a million records: " << took << " ms, " << mebibytes << " MiB above the table\n";
}
