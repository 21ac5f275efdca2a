#include "exchange/page/import_grid.h"

#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include <cmath>
#include <vector>

QString GridCell(const QTableWidget &grid, int col, int row)
{
    const QTableWidgetItem *item = grid.item(row, col);
    return item ? item->text() : QString();
}

void SetGridCell(QTableWidget &grid, int col, int row, const QString &text)
{
    if (QTableWidgetItem *item = grid.item(row, col))
        item->setText(text);
    else if (!text.isEmpty())
        grid.setItem(row, col, new QTableWidgetItem(text));
}

namespace {

// The grid's fixed row and column are ordinary cells, so that the headers edit and move like the rest.
void shape(QTableWidget &grid, int columns, int rows)
{
    grid.clearContents();
    grid.setColumnCount(columns);
    grid.setRowCount(rows);
    for (int r = 1; r < rows; ++r)
        SetGridCell(grid, 0, r, QString::number(r));
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

Block selection(const QTableWidget &grid)
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
void fitColumn(QTableWidget &grid, int col, int width)
{
    grid.resizeColumnToContents(col);
    grid.setColumnWidth(col, std::max(width, grid.columnWidth(col)));
}

void renumber(QTableWidget &grid, int from)
{
    for (int r = std::max(from, 1); r < grid.rowCount(); ++r)
        SetGridCell(grid, 0, r, QString::number(r));
}

} // namespace

ImportStatTexts ImportStatsText(const QTableWidget &grid, bool numbersOn, bool datesOn, const ImportStats &s)
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

ImportStats TableToGridBySpec(const TD2D &table, const tspec &spec, QTableWidget &grid, bool numbersOn,
                              bool datesOn, int numCol, int dateCol, const TFormatSettings &fs)
{
    ImportStats stats;
    if (table.ColCount() == 0)
        return stats;
    const int rows = std::max(table.RowCount(), 0);
    shape(grid, table.ColCount() + 1, rows + 1);
    for (int c = 0; c < table.ColCount(); ++c)
        SetGridCell(grid, c + 1, 0,
                    QLatin1Char('[') + QString::number(c + 1) + QStringLiteral("] ") +
                        headerName(c < spec.cols.size() ? spec.cols[c].name : QString()));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < table.ColCount(); ++c)
            SetGridCell(grid, c + 1, r + 1, table.GetCell(c, r));
        if (numbersOn && numCol < table.ColCount())
            AddImportStat(1, table.GetCell(numCol, r), fs, stats);
        if (datesOn && dateCol < table.ColCount())
            AddImportStat(2, table.GetCell(dateCol, r), fs, stats);
    }
    grid.resizeColumnsToContents();
    return stats;
}

void TableToGrid(const TD2D &table, QTableWidget &grid)
{
    if (table.ColCount() == 0)
        return;
    const int rows = std::max(table.RowCount(), 1);
    shape(grid, table.ColCount() + 1, rows);
    for (int c = 0; c < table.ColCount(); ++c) {
        SetGridCell(grid, c + 1, 0,
                    QLatin1Char('[') + QString::number(c + 1) + QStringLiteral("] ") +
                        (table.RowCount() > 0 ? table.GetCell(c, 0) : QString()));
        for (int r = 1; r < rows; ++r)
            SetGridCell(grid, c + 1, r, table.GetCell(c, r));
    }
    grid.resizeColumnsToContents();
}

void ParadoxTableToGrid(const TD2D &table, QTableWidget &grid, int colMargin)
{
    if (table.ColCount() == 0)
        return;
    const int numberWidth = grid.columnWidth(0);
    shape(grid, table.ColCount() + 1, std::max(table.RowCount(), 1));
    const QFontMetrics metrics(grid.font());
    std::vector<int> widths(size_t(grid.columnCount()), numberWidth);
    const auto widen = [&](int c, const QString &text) {
        widths[size_t(c)] = std::max(widths[size_t(c)], metrics.horizontalAdvance(text) + colMargin);
    };
    for (int c = 1; c < grid.columnCount(); ++c) {
        const QString header =
            QLatin1Char('[') + QString::number(c) + QStringLiteral("] ") + table.GetCell(c - 1, 0);
        SetGridCell(grid, c, 0, header);
        widths[size_t(c)] = metrics.horizontalAdvance(header) + colMargin;
    }
    for (int r = 1; r < grid.rowCount(); ++r) {
        widen(0, QString::number(r));
        for (int c = 1; c < grid.columnCount(); ++c) {
            const QString text = table.GetCell(c - 1, r);
            SetGridCell(grid, c, r, text);
            if (!text.isEmpty())
                widen(c, text);
        }
    }
    for (int c = 0; c < grid.columnCount(); ++c)
        fitColumn(grid, c, widths[size_t(c)]);
}

void GridToTable(const QTableWidget &grid, TD2D &table, bool withHeader)
{
    const int skip = withHeader ? 0 : 1;
    const int rows = grid.rowCount() - skip;
    if (table.RowCount() != rows)
        table.SetSize(table.ColCount(), rows);
    const int columns = std::min(table.ColCount(), grid.columnCount() - 1);
    for (int c = 0; c < columns; ++c) {
        if (withHeader) {
            QString h = GridCell(grid, c + 1, 0);
            const int close = int(h.indexOf(QLatin1Char(']'), 1));
            bool number = false;
            if (h.size() >= 3 && h.startsWith(QLatin1Char('[')) && close > 1)
                h.mid(1, close - 1).toInt(&number);
            int from = close + 1;
            while (number && from < h.size() && h[from] == QLatin1Char(' '))
                ++from;
            // A number with no name after it is the header itself, not a prefix.
            if (number && from < h.size())
                h = h.mid(from);
            table.SetCell(c, 0, h);
        }
        for (int r = 1 - skip; r < rows; ++r)
            table.SetCell(c, r, GridCell(grid, c + 1, skip + r));
    }
}

void GridClipboardOp(QTableWidget &grid, TD2D &clip, int op)
{
    const Block b = selection(grid);
    if (op == 2) {
        if (!b.valid())
            return;
        for (int c = 0; c < clip.ColCount(); ++c)
            for (int r = 0; r < std::max(clip.RowCount(), 0); ++r)
                if (b.left + c < grid.columnCount() && b.top + r < grid.rowCount())
                    SetGridCell(grid, b.left + c, b.top + r, clip.GetCell(c, r));
        return;
    }
    if (!b.valid())
        return;
    clip.Init(b.right - b.left + 1, b.bottom - b.top + 1);
    for (int c = b.left; c <= b.right; ++c)
        for (int r = b.top; r <= b.bottom; ++r) {
            clip.SetCell(c - b.left, r - b.top, GridCell(grid, c, r));
            if (op == 0 || op == 3)
                SetGridCell(grid, c, r, QString());
        }
}

void GridInsertRow(QTableWidget &grid)
{
    const Block b = selection(grid);
    if (!b.valid())
        return;
    grid.insertRow(b.top);
    renumber(grid, b.top);
}

void GridDeleteRow(QTableWidget &grid)
{
    const Block b = selection(grid);
    if (!b.valid() || grid.rowCount() <= 2)
        return;
    grid.removeRow(b.top);
    renumber(grid, b.top);
}

void GridShiftCells(QTableWidget &grid, int step)
{
    const Block b = selection(grid);
    if (!b.valid() || (step > 0 && b.right >= grid.columnCount() - 1) || (step < 0 && b.left <= 1))
        return;
    for (int r = b.top; r <= b.bottom; ++r) {
        if (step > 0) {
            for (int c = b.right; c >= b.left; --c)
                SetGridCell(grid, c + 1, r, GridCell(grid, c, r));
            SetGridCell(grid, b.left, r, QString());
        } else {
            for (int c = b.left; c <= b.right; ++c)
                SetGridCell(grid, c - 1, r, GridCell(grid, c, r));
            SetGridCell(grid, b.right, r, QString());
        }
    }
    grid.clearSelection();
    grid.setRangeSelected(QTableWidgetSelectionRange(b.top, b.left + step, b.bottom, b.right + step), true);
}

bool GridAddELQ(QTableWidget &grid)
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
    renumber(grid, row);
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
            throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(cell));
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

bool CheckImportGrid(QTableWidget &grid, const TFormatSettings &fs, int colMargin, QLabel *st1, QLabel *st2,
                     QLabel *st3)
{
    const QFontMetrics metrics(grid.font());
    std::vector<int> widths(size_t(std::max(grid.columnCount(), 1)), 0);
    for (int c = 1; c < grid.columnCount(); ++c)
        widths[size_t(c)] = metrics.horizontalAdvance(GridCell(grid, c, 0)) + colMargin;
    ImportStats stats;
    for (int r = 1; r < grid.rowCount(); ++r) {
        if (grid.columnCount() > 3) {
            AddImportStat(1, GridCell(grid, 2, r), fs, stats);
            AddImportStat(2, GridCell(grid, 3, r), fs, stats);
        }
        for (int c = 1; c < grid.columnCount(); ++c)
            widths[size_t(c)] =
                std::max(widths[size_t(c)], metrics.horizontalAdvance(GridCell(grid, c, r)) + colMargin);
    }
    for (int c = 1; c < grid.columnCount(); ++c)
        fitColumn(grid, c, widths[size_t(c)]);
    ShowImportStats(st1, st2, st3, ImportStatsText(grid, true, true, stats));
    if (stats.FirstDate.isEmpty() || stats.FirstNum < 0)
        return MessageProc(
                   grid.window(),
                   QStringLiteral("Есть неисправленные ошибки.\rВсё равно хотите внести данные в БД?"),
                   MB_ICONQUESTION, MB_YESNO | MB_DEFBUTTON2) == IDYES;
    return true;
}

int GridFindRow(const QTableWidget &grid, int col, int from, const QString &text, bool trimmed)
{
    for (int r = std::max(from, 1); r < grid.rowCount(); ++r) {
        const QString cell = GridCell(grid, col, r);
        if ((trimmed ? cell.trimmed() : cell) == text)
            return r;
    }
    return -1;
}
