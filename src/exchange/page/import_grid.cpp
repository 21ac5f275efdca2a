#include "exchange/page/import_grid.h"

#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"
#include "lib/number_routines.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>

#include <cmath>
#include <vector>

QString GridCell(const TMStringGrid &grid, int col, int row)
{
    return grid.cells().Cell(col, row);
}

void SetGridCell(TMStringGrid &grid, int col, int row, const QString &text)
{
    grid.cells().SetCell(col, row, text);
}

namespace {

QString numbered(int column, const QString &name)
{
    return QLatin1Char('[') + QString::number(column) + QStringLiteral("] ") + name;
}

// "[n] " and the names of row 0 of a table, for the data columns of the grid.
QStringList headerRow(const TD2D &table)
{
    QStringList headers;
    for (int c = 0; c < table.ColCount(); ++c)
        headers << numbered(c + 1, table.RowCount() > 0 ? table.GetCell(c, 0) : QString());
    return headers;
}

QString headerName(QString name)
{
    const std::pair<const char *, const char *> shortcuts[] = {
        {"channel", "ch"}, {"interpretation", "interpr"}, {"station_cod", "cod"}, {"component", "comp"}};
    for (const auto &[from, to] : shortcuts)
        name.replace(QLatin1String(from), QLatin1String(to), Qt::CaseInsensitive);
    return name;
}

struct Block
{
    int left = 1, top = 1, right = 0, bottom = 0;
    bool valid() const { return right >= left && bottom >= top; }
};

Block selection(const TMStringGrid &grid)
{
    const QList<QTableWidgetSelectionRange> ranges = grid.selectedRanges();
    Block b;
    if (!ranges.isEmpty()) {
        const QTableWidgetSelectionRange &r = ranges.first();
        b = {std::max(r.leftColumn(), 1), std::max(r.topRow(), 1), r.rightColumn(), r.bottomRow()};
    } else if (grid.currentRow() >= 1 && grid.currentColumn() >= 1) {
        b = {grid.currentColumn(), grid.currentRow(), grid.currentColumn(), grid.currentRow()};
    }
    return b;
}

// The margin of the system was reckoned for a toolkit that drew a cell's text two pixels in; Qt's items
// keep more room and lay text out in fractions of a pixel, so a column never gets less than the view's own
// measure of its texts.
void fitColumn(TMStringGrid &grid, int col, int width)
{
    grid.resizeColumnToContents(col);
    grid.setColumnWidth(col, std::max(width, grid.columnWidth(col)));
}

} // namespace

ImportStatTexts ImportStatsText(const TMStringGrid &grid, bool numbersOn, bool datesOn, const ImportStats &s)
{
    ImportStatTexts t;
    t.rows = QString::number(grid.rowCount() - 1) + QStringLiteral(" строк, ") +
             QString::number(grid.columnCount() - 1) + QStringLiteral(" колонок (полей)");
    if (datesOn) {
        if (!s.FirstDate.isEmpty()) {
            t.dates = QStringLiteral("с ") + s.FirstDate + QStringLiteral(" по ") + s.LastDate;
        } else {
            t.dates = QStringLiteral("даты не проставлены");
            t.datesAlarm = true;
        }
    }
    if (numbersOn) {
        if (s.FirstNum == -2) {
            t.numbers = QStringLiteral("нарушена нумерация событий");
            t.numbersAlarm = true;
        } else if (s.FirstNum == -1) {
            t.numbers = QStringLiteral("нет номеров событий");
            t.numbersAlarm = true;
        } else {
            t.numbers = QStringLiteral("события ") + QString::number(s.FirstNum) + QStringLiteral(" - ") +
                        QString::number(s.CurNum) + QStringLiteral(" (") +
                        QString::number(s.CurNum - s.FirstNum + 1) + QStringLiteral(" всего)");
        }
    }
    return t;
}

void ShowImportStats(QLabel *st1, QLabel *st2, QLabel *st3, const ImportStatTexts &t)
{
    const QString alarm = QStringLiteral("color: red; font-weight: bold;");
    if (st1)
        st1->setText(t.rows);
    if (st2) {
        st2->setText(t.dates);
        st2->setStyleSheet(t.datesAlarm ? alarm : QString());
    }
    if (st3) {
        st3->setText(t.numbers);
        st3->setStyleSheet(t.numbersAlarm ? alarm : QString());
    }
}

ImportStats TableToGridBySpec(TD2D &table, const tspec &spec, TMStringGrid &grid, bool numbersOn,
                              bool datesOn, int numCol, int dateCol, const TFormatSettings &fs)
{
    ImportStats stats;
    if (table.ColCount() == 0)
        return stats;
    QStringList headers;
    for (int c = 0; c < table.ColCount(); ++c)
        headers << numbered(c + 1, headerName(c < spec.cols.size() ? spec.cols[c].name : QString()));
    grid.cells().Show(table, 0, 0, headers);
    for (int r = 0; r < table.RowCount(); ++r) {
        if (numbersOn && numCol < table.ColCount())
            AddImportStat(1, table.GetCell(numCol, r), fs, stats);
        if (datesOn && dateCol < table.ColCount())
            AddImportStat(2, table.GetCell(dateCol, r), fs, stats);
    }
    grid.resizeColumnsToContents();
    return stats;
}

void TableToGrid(TD2D &table, TMStringGrid &grid)
{
    if (table.ColCount() == 0)
        return;
    grid.cells().Show(table, 0, 1, headerRow(table));
    grid.resizeColumnsToContents();
}

void ParadoxTableToGrid(TD2D &table, TMStringGrid &grid, int colMargin)
{
    if (table.ColCount() == 0)
        return;
    const int numberWidth = grid.columnWidth(0);
    TStringGridModel &cells = grid.cells();
    cells.Show(table, 0, 1, headerRow(table));
    const QFontMetrics metrics(grid.font());
    // Each header sets its column's width afresh, each text widens it; the numbers' column only widens.
    for (int c = 0; c < cells.Cols(); ++c) {
        const int header = c == 0 ? numberWidth : metrics.horizontalAdvance(cells.Cell(c, 0)) + colMargin;
        const int widest = cells.WidestText(c, metrics);
        fitColumn(grid, c, std::max(header, widest > 0 ? widest + colMargin : 0));
    }
}

namespace {

// A header "[12] Phase" is Phase again; "[x] Phase" and "[12]" are headers of their own.
QString headerText(QString h)
{
    const int close = int(h.indexOf(QLatin1Char(']'), 1));
    bool number = false;
    if (h.size() >= 3 && h.startsWith(QLatin1Char('[')) && close > 1)
        h.mid(1, close - 1).toInt(&number);
    int from = close + 1;
    while (number && from < h.size() && h[from] == QLatin1Char(' '))
        ++from;
    return number && from < h.size() ? h.mid(from) : h;
}

} // namespace

void GridToTable(TMStringGrid &grid, TD2D &table, bool withHeader)
{
    const TStringGridModel &cells = grid.cells();
    const int skip = withHeader ? 0 : 1;
    const int rows = std::max(grid.rowCount() - skip, 0);
    const int columns = std::min(table.ColCount(), grid.columnCount() - 1);
    if (!cells.ShowsInOrder(table, 1 - skip)) {
        // The rows in grid order go into a new table, since the grid may be reading the old one.
        TD2D ordered;
        ordered.Init(table.ColCount(), rows);
        for (int c = columns; c < table.ColCount(); ++c)
            for (int r = 0; r < std::min(rows, table.RowCount()); ++r)
                ordered.SetCell(c, r, table.GetCell(c, r));
        for (int r = 1 - skip; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                ordered.SetCell(c, r, cells.Cell(c + 1, skip + r));
        const bool shown = cells.Shows(table);
        table = ordered;
        if (shown)
            grid.cells().Rebase(1 - skip);
    }
    if (withHeader && rows > 0)
        for (int c = 0; c < columns; ++c)
            table.SetCell(c, 0, headerText(cells.Cell(c + 1, 0)));
}

void GridClipboardOp(TMStringGrid &grid, TD2D &clip, int op)
{
    TStringGridModel &cells = grid.cells();
    const Block b = selection(grid);
    if (!b.valid())
        return;
    // A block of a whole column is many thousands of cells: the view hears of it once.
    if (op == 2) {
        for (int c = 0; c < clip.ColCount(); ++c)
            for (int r = 0; r < std::max(clip.RowCount(), 0); ++r)
                cells.SetCell(b.left + c, b.top + r, clip.GetCell(c, r), false);
        cells.CellsChanged(b.left, b.top, b.left + clip.ColCount() - 1, b.top + clip.RowCount() - 1);
        return;
    }
    clip.Init(b.right - b.left + 1, b.bottom - b.top + 1);
    for (int c = b.left; c <= b.right; ++c)
        for (int r = b.top; r <= b.bottom; ++r) {
            clip.SetCell(c - b.left, r - b.top, cells.Cell(c, r));
            if (op == 0 || op == 3)
                cells.SetCell(c, r, QString(), false);
        }
    cells.CellsChanged(b.left, b.top, b.right, b.bottom);
}

void GridInsertRow(TMStringGrid &grid)
{
    const Block b = selection(grid);
    if (b.valid())
        grid.insertRow(b.top);
}

void GridDeleteRow(TMStringGrid &grid)
{
    const Block b = selection(grid);
    if (b.valid() && grid.rowCount() > 2)
        grid.removeRow(b.top);
}

void GridShiftCells(TMStringGrid &grid, int step)
{
    TStringGridModel &cells = grid.cells();
    const Block b = selection(grid);
    if (!b.valid() || (step > 0 && b.right >= grid.columnCount() - 1) || (step < 0 && b.left <= 1))
        return;
    for (int r = b.top; r <= b.bottom; ++r) {
        if (step > 0) {
            for (int c = b.right; c >= b.left; --c)
                cells.SetCell(c + 1, r, cells.Cell(c, r), false);
            cells.SetCell(b.left, r, QString(), false);
        } else {
            for (int c = b.left; c <= b.right; ++c)
                cells.SetCell(c - 1, r, cells.Cell(c, r), false);
            cells.SetCell(b.right, r, QString(), false);
        }
    }
    cells.CellsChanged(b.left - 1, b.top, b.right + 1, b.bottom);
    grid.clearSelection();
    grid.setRangeSelected(QTableWidgetSelectionRange(b.top, b.left + step, b.bottom, b.right + step), true);
}

bool GridAddELQ(TMStringGrid &grid)
{
    const Block b = selection(grid);
    if (!b.valid() || grid.columnCount() <= 9)
        return false;
    const int row = b.top;
    int values[4];
    for (int i = 0; i < 4; ++i)
        if (!TryStrToInt(GridCell(grid, 6 + i, row), values[i]))
            return false;
    const QString dev = GridCell(grid, 5, row);
    const int h = values[0], m = values[1], sec = values[2], period = values[3];
    if (dev.isEmpty() || h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59)
        return false;
    // Tenths of a second, wrapped into the day: the date cell is never touched.
    constexpr int day = 24 * 36000;
    const int tenths = (((h * 3600 + m * 60 + sec) * 10 - period * 5) % day + day) % day;
    grid.insertRow(row);
    SetGridCell(grid, 4, row, QStringLiteral("eLQ"));
    SetGridCell(grid, 5, row, dev);
    SetGridCell(grid, 6, row, QString::number(tenths / 36000));
    SetGridCell(grid, 7, row, QString::number(tenths / 600 % 60));
    QString seconds = QString::number(tenths / 10 % 60).rightJustified(2, QLatin1Char('0'));
    if (tenths % 10 != 0)
        seconds += QLatin1Char('.') + QString::number(tenths % 10);
    SetGridCell(grid, 8, row, seconds);
    return true;
}

void SortByItime(TD2D &table, int col, const TFormatSettings &dmy)
{
    const int rows = table.RowCount();
    if (col < 0 || col >= table.ColCount())
        return;
    const TDateTime bound = EncodeDate(2199, 1, 1);
    const auto key = [&](const QString &cell) {
        TDateTime v = 0;
        if (cell.size() < 2 || !TryStrToDateTime(cell.left(cell.size() - 2), v, dmy))
            throw EConvertError(NotDateTimeText(cell));
        return v + StrToInt(cell.right(1)) / 864000.0;
    };
    for (int first = 1; first < rows; ++first) {
        int found = -1;
        TDateTime lowest = bound;
        for (int r = first; r < rows; ++r) {
            const QString cell = table.GetCell(col, r);
            if (cell.isEmpty()) {
                found = r;
                break;
            }
            const TDateTime k = key(cell);
            if (k < lowest) {
                lowest = k;
                found = r;
            }
        }
        if (found < 0)
            return;
        if (found != first)
            table.SwapRows(first, found);
    }
}

bool CheckImportGrid(TMStringGrid &grid, const TFormatSettings &fs, int colMargin, QLabel *st1, QLabel *st2,
                     QLabel *st3)
{
    const TStringGridModel &cells = grid.cells();
    ImportStats stats;
    if (grid.columnCount() > 3)
        for (int r = 1; r < grid.rowCount(); ++r) {
            AddImportStat(1, cells.Cell(2, r), fs, stats);
            AddImportStat(2, cells.Cell(3, r), fs, stats);
        }
    const QFontMetrics metrics(grid.font());
    for (int c = 1; c < grid.columnCount(); ++c) {
        fitColumn(grid, c,
                  std::max(metrics.horizontalAdvance(cells.Cell(c, 0)), cells.WidestText(c, metrics)) +
                      colMargin);
    }
    ShowImportStats(st1, st2, st3, ImportStatsText(grid, true, true, stats));
    if (stats.FirstDate.isEmpty() || stats.FirstNum < 0)
        return MessageProc(
                   grid.window(),
                   QStringLiteral("Есть неисправленные ошибки.\rВсё равно хотите внести данные в БД?"),
                   MB_ICONQUESTION, MB_YESNO | MB_DEFBUTTON2) == IDYES;
    return true;
}

int GridFindRow(const TMStringGrid &grid, int col, int from, const QString &text, bool trimmed)
{
    for (int r = std::max(from, 1); r < grid.rowCount(); ++r) {
        const QString cell = GridCell(grid, col, r);
        if ((trimmed ? cell.trimmed() : cell) == text)
            return r;
    }
    return -1;
}
