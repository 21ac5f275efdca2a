#include "lib/mstring_grid.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The rows of a grid as text, cells joined by "|".
QStringList rows(const TStringGridModel &m)
{
    QStringList out;
    for (int r = 0; r < m.Rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < m.Cols(); ++c)
            cells << m.Cell(c, r);
        out << cells.join(u'|');
    }
    return out;
}

// A table of names in row 0 and two records.
void fill(TD2D &t)
{
    t.Init(2, 3);
    t.SetRow(0, {u"sta"_s, u"phase"_s});
    t.SetRow(1, {u"PET"_s, u"P"_s});
    t.SetRow(2, {u"MNK"_s, u"S"_s});
}

TEST(TMStringGrid, EnterAndLeaveReportTheGrid)
{
    TMStringGrid grid;
    grid.setObjectName(u"sg"_s);
    QStringList seen;
    QObject::connect(&grid, &TMStringGrid::mouseEnter,
                     [&](QObject *s) { seen << "enter " + s->objectName(); });
    QObject::connect(&grid, &TMStringGrid::mouseLeave,
                     [&](QObject *s) { seen << "leave " + s->objectName(); });

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&grid, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(seen, (QStringList{u"enter sg"_s, u"leave sg"_s}));
}

// The grid shows the table itself: an edit is in the table at once, and the fixed cells are not edited.
TEST(TStringGridModel, ShowsATableAndEditsIt)
{
    TD2D t;
    fill(t);
    TStringGridModel m;
    m.Show(t, 0, 1, {u"[1] sta"_s, u"[2] phase"_s});
    EXPECT_EQ(rows(m), (QStringList{u"|[1] sta|[2] phase"_s, u"1|PET|P"_s, u"2|MNK|S"_s}));

    EXPECT_TRUE(m.setData(m.index(2, 2), u"Sn"_s));
    EXPECT_EQ(t.GetCell(1, 2), u"Sn"_s);
    for (const auto &[row, col] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{0, 0}}) {
        EXPECT_FALSE(m.flags(m.index(row, col)) & Qt::ItemIsEditable) << row << col;
        EXPECT_TRUE(m.flags(m.index(row, col)) & Qt::ItemIsSelectable) << row << col;
        EXPECT_FALSE(m.setData(m.index(row, col), u"x"_s)) << row << col;
    }
    EXPECT_TRUE(m.flags(m.index(1, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m.ShowsInOrder(t, 1));
    EXPECT_FALSE(m.ShowsInOrder(t, 0));

    // Columns from the second on, rows from the first: the row of names is a row of data.
    m.Show(t, 1, 0, {u"[1] phase"_s});
    EXPECT_EQ(rows(m), (QStringList{u"|[1] phase"_s, u"1|phase"_s, u"2|P"_s, u"3|Sn"_s}));
}

// Rows inserted or deleted change the grid, not the table, until it is stored back in grid order.
TEST(TStringGridModel, InsertedAndDeletedRowsLeaveTheTable)
{
    TD2D t;
    fill(t);
    TStringGridModel m;
    m.Show(t, 0, 1, {u"[1] sta"_s, u"[2] phase"_s});
    m.InsertRow(2);
    EXPECT_EQ(rows(m), (QStringList{u"|[1] sta|[2] phase"_s, u"1|PET|P"_s, u"2||"_s, u"3|MNK|S"_s}));
    m.SetCell(1, 2, u"OBN"_s);
    m.InsertRow(4); // after the last row
    m.SetCell(2, 4, u"LR"_s);
    m.RemoveRow(1);
    EXPECT_EQ(rows(m), (QStringList{u"|[1] sta|[2] phase"_s, u"1|OBN|"_s, u"2|MNK|S"_s, u"3||LR"_s}));
    EXPECT_EQ(t.RowCount(), 3);
    EXPECT_EQ(t.GetCell(0, 1), u"PET"_s);
    EXPECT_FALSE(m.ShowsInOrder(t, 1));

    // Outside the data rows nothing happens.
    for (int row : {0, 4, -1})
        m.RemoveRow(row);
    for (int row : {0, 5})
        m.InsertRow(row);
    EXPECT_EQ(m.Rows(), 4);
}

// A table emptied behind the grid's back reads as empty cells; nothing is thrown while the view paints.
TEST(TStringGridModel, ATableChangedBehindTheGridReadsEmpty)
{
    TD2D t;
    fill(t);
    TStringGridModel m;
    m.Show(t, 0, 1, {u"[1] sta"_s, u"[2] phase"_s});
    t.Clear();
    EXPECT_EQ(rows(m), (QStringList{u"|[1] sta|[2] phase"_s, u"1||"_s, u"2||"_s}));
    m.SetCell(1, 1, u"PET"_s);
    EXPECT_EQ(m.Cell(1, 1), QString());
    EXPECT_EQ(m.Cell(9, 9), QString());
}

// A grid of its own cells changes its shape as a table widget does: the cells inside stay, the numbers'
// column holds what was put there until rows are inserted.
TEST(TStringGridModel, ResizeKeepsTheCellsInside)
{
    TStringGridModel m;
    m.Reset(3, 3);
    EXPECT_EQ(rows(m), (QStringList{u"||"_s, u"||"_s, u"||"_s}));
    m.SetCell(0, 1, u"1"_s);
    m.SetCell(1, 0, u"head"_s);
    m.SetCell(2, 2, u"x"_s);
    m.Resize(4, 2);
    EXPECT_EQ(rows(m), (QStringList{u"|head||"_s, u"1|||"_s}));
    m.Resize(2, 4);
    EXPECT_EQ(rows(m), (QStringList{u"|head"_s, u"1|"_s, u"|"_s, u"|"_s}));
    m.InsertRow(1);
    EXPECT_EQ(rows(m), (QStringList{u"|head"_s, u"1|"_s, u"2|"_s, u"3|"_s, u"4|"_s}));
    m.Reset(0, 0);
    EXPECT_EQ(m.Rows(), 0);
    EXPECT_EQ(m.Cell(0, 0), QString());
}

// The widest text of a column is found without laying out every text, and is the one the font lays out
// widest, whatever the number of characters.
TEST(TStringGridModel, WidestTextOfAColumn)
{
    QFont font = QApplication::font();
    font.setPointSize(11);
    const QFontMetrics fm(font);
    const QStringList texts = {u"iiiiiiiiiiii"_s, u"WWWW"_s,          u"Ш.Ш"_s,   u"12.5"_s, u""_s,
                               u"lllllll"_s,      u"Петропавловск"_s, u"MMMM m"_s};
    TD2D t;
    t.Init(1, 0);
    for (int i = 0; i < 3000; ++i)
        t.SetCell(0, t.AddRows(1), texts[i % texts.size()] + (i % 7 == 0 ? u"."_s : QString()));
    TStringGridModel m;
    m.Show(t, 0, 0, {u"[1] wide header that is left out"_s});
    int widest = 0;
    for (int r = 0; r < t.RowCount(); ++r)
        widest = std::max(widest, fm.horizontalAdvance(t.GetCell(0, r)));
    EXPECT_EQ(m.WidestText(1, fm), widest);
    EXPECT_EQ(m.WidestText(0, fm), fm.horizontalAdvance(u"3000"_s));
    t.Init(1, 2);
    EXPECT_EQ(m.WidestText(1, fm), 0);
}

// The table widget's calls the import page makes: selected ranges, the current cell, a click on a cell of
// the header row.
TEST(TMStringGrid, SelectionAndClicksAsATableWidget)
{
    TMStringGrid grid;
    grid.setRowCount(4);
    grid.setColumnCount(5);
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.columnCount(), 5);
    grid.setRangeSelected(QTableWidgetSelectionRange(1, 2, 3, 3), true);
    const QList<QTableWidgetSelectionRange> ranges = grid.selectedRanges();
    ASSERT_EQ(ranges.size(), 1);
    EXPECT_EQ(std::tuple(ranges[0].topRow(), ranges[0].leftColumn(), ranges[0].bottomRow(),
                         ranges[0].rightColumn()),
              std::tuple(1, 2, 3, 3));
    grid.setRangeSelected(QTableWidgetSelectionRange(1, 2, 3, 3), false);
    EXPECT_TRUE(grid.selectedRanges().isEmpty());
    grid.setCurrentCell(2, 4);
    EXPECT_EQ(std::pair(grid.currentRow(), grid.currentColumn()), std::pair(2, 4));

    grid.resize(400, 300);
    grid.show();
    QList<std::pair<int, int>> clicked;
    QObject::connect(&grid, &TMStringGrid::cellClicked,
                     [&](int row, int col) { clicked << std::pair(row, col); });
    const QPoint at = grid.visualRect(grid.model()->index(0, 3)).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, grid.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid.viewport(), &event);
    }
    EXPECT_EQ(clicked, (QList<std::pair<int, int>>{{0, 3}}));
}

} // namespace
