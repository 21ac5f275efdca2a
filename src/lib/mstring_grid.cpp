#include "lib/mstring_grid.h"

#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QPalette>
#include <QStyledItemDelegate>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

constexpr int kNoRow = std::numeric_limits<int>::min();

// The fixed row and column look like the headers they are: their ground is the grid's own, a shade toward
// its text, whatever the palette's button colour.
class FixedCellsDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.row() != 0 && index.column() != 0)
            return;
        const QColor base = option->palette.color(QPalette::Base);
        const QColor text = option->palette.color(QPalette::Text);
        const auto shade = [](int from, int to) { return (from * 9 + to) / 10; };
        option->backgroundBrush = QColor(shade(base.red(), text.red()), shade(base.green(), text.green()),
                                         shade(base.blue(), text.blue()));
    }
};

} // namespace

TStringGridModel::TStringGridModel(QObject *parent) : QAbstractTableModel(parent)
{
    Reset(0, 0);
}

TStringGridModel::~TStringGridModel() = default;

int TStringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TStringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant TStringGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return Cell(index.column(), index.row());
    return {};
}

bool TStringGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    SetCell(index.column(), index.row(), value.toString());
    return true;
}

Qt::ItemFlags TStringGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags fixed = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.row() == 0 || index.column() == 0 ? fixed : fixed | Qt::ItemIsEditable;
}

int TStringGridModel::sourceRow(int Row) const
{
    if (Row < 1 || Row >= m_rows)
        return kNoRow;
    return m_inOrder ? Row - 1 + m_firstRow : m_order[size_t(Row - 1)];
}

QString TStringGridModel::dataCell(int Col, int Source) const
{
    if (Source == kNoRow || Col < 1)
        return {};
    // The table may have been changed behind the grid's back: what lies outside it reads as empty.
    if (Source >= 0) {
        const int col = Col - 1 + m_firstCol;
        return col < m_table->ColCount() && Source < m_table->RowCount() ? m_table->GetCell(col, Source)
                                                                         : QString();
    }
    const int k = -1 - Source;
    return Col - 1 < m_inserted.ColCount() && k < m_inserted.RowCount() ? m_inserted.GetCell(Col - 1, k)
                                                                        : QString();
}

QString TStringGridModel::Cell(int Col, int Row) const
{
    if (Col < 0 || Row < 0 || Col >= m_cols || Row >= m_rows)
        return {};
    if (Row == 0)
        return m_headers.value(Col);
    if (Col == 0)
        return m_numbered ? QString::number(Row) : m_numbers.value(Row);
    return dataCell(Col, sourceRow(Row));
}

void TStringGridModel::SetCell(int Col, int Row, const QString &Text, bool Notify)
{
    if (Col < 0 || Row < 0 || Col >= m_cols || Row >= m_rows)
        return;
    if (Row == 0) {
        m_headers[Col] = Text;
    } else if (Col == 0) {
        if (m_numbered) {
            if (Text == QString::number(Row))
                return;
            m_numbers.clear();
            for (int r = 0; r < m_rows; ++r)
                m_numbers << (r == 0 ? QString() : QString::number(r));
            m_numbered = false;
        }
        m_numbers[Row] = Text;
    } else {
        const int source = sourceRow(Row);
        if (source >= 0) {
            const int col = Col - 1 + m_firstCol;
            if (col >= m_table->ColCount() || source >= m_table->RowCount())
                return;
            m_table->SetCell(col, source, Text);
        } else if (Col - 1 < m_inserted.ColCount()) {
            m_inserted.SetCell(Col - 1, -1 - source, Text);
        }
    }
    if (Notify)
        CellsChanged(Col, Row, Col, Row);
}

void TStringGridModel::CellsChanged(int Left, int Top, int Right, int Bottom)
{
    const QModelIndex from = index(std::max(Top, 0), std::max(Left, 0));
    const QModelIndex to = index(std::min(Bottom, m_rows - 1), std::min(Right, m_cols - 1));
    if (from.isValid() && to.isValid())
        emit dataChanged(from, to);
}

void TStringGridModel::attach(TD2D *Table, int FirstCol, int FirstRow, const QStringList &Headers, int Rows)
{
    m_table = Table;
    m_firstCol = std::max(FirstCol, 0);
    m_firstRow = std::max(FirstRow, 0);
    m_inOrder = true;
    m_order.clear();
    m_order.shrink_to_fit();
    m_cols = 1 + std::max(Table->ColCount() - m_firstCol, 0);
    m_rows = Rows;
    m_inserted.Init(m_cols - 1, 0);
    m_insertedRows = 0;
    m_headers = QStringList{QString()} + Headers.mid(0, m_cols - 1);
    while (m_headers.size() < m_cols)
        m_headers << QString();
}

void TStringGridModel::Reset(int Cols, int Rows)
{
    beginResetModel();
    auto table = std::make_unique<TD2D>();
    table->Init(std::max(Cols - 1, 0), std::max(Rows - 1, 0));
    m_owned = std::move(table);
    attach(m_owned.get(), 0, 0, {}, std::max(Rows, 0));
    m_cols = std::max(Cols, 0);
    m_headers = QStringList(m_cols);
    m_numbered = false;
    m_numbers = QStringList(m_rows);
    endResetModel();
}

void TStringGridModel::reshape(int Cols, int Rows)
{
    auto table = std::make_unique<TD2D>();
    table->Init(std::max(Cols - 1, 0), std::max(Rows - 1, 0));
    for (int r = 1; r < std::min(Rows, m_rows); ++r) {
        const int source = sourceRow(r);
        for (int c = 1; c < std::min(Cols, m_cols); ++c)
            table->SetCell(c - 1, r - 1, dataCell(c, source));
    }
    QStringList headers = m_headers.mid(0, Cols);
    while (headers.size() < Cols)
        headers << QString();
    QStringList numbers;
    for (int r = 0; r < Rows; ++r)
        numbers << (r < m_rows ? Cell(0, r) : QString());
    m_owned = std::move(table);
    attach(m_owned.get(), 0, 0, {}, Rows);
    m_cols = Cols;
    m_headers = headers;
    m_numbered = false;
    m_numbers = numbers;
}

void TStringGridModel::Resize(int Cols, int Rows)
{
    Cols = std::max(Cols, 0);
    Rows = std::max(Rows, 0);
    // Rows first, then columns, each announced as a table widget announces it, so the widths stay.
    if (Rows < m_rows) {
        beginRemoveRows({}, Rows, m_rows - 1);
        reshape(m_cols, Rows);
        endRemoveRows();
    } else if (Rows > m_rows) {
        beginInsertRows({}, m_rows, Rows - 1);
        reshape(m_cols, Rows);
        endInsertRows();
    }
    if (Cols < m_cols) {
        beginRemoveColumns({}, Cols, m_cols - 1);
        reshape(Cols, m_rows);
        endRemoveColumns();
    } else if (Cols > m_cols) {
        beginInsertColumns({}, m_cols, Cols - 1);
        reshape(Cols, m_rows);
        endInsertColumns();
    }
}

void TStringGridModel::Show(TD2D &Table, int FirstCol, int FirstRow, const QStringList &Headers)
{
    beginResetModel();
    attach(&Table, FirstCol, FirstRow, Headers, 1 + std::max(Table.RowCount() - std::max(FirstRow, 0), 0));
    if (m_owned.get() != &Table)
        m_owned.reset();
    m_numbered = true;
    m_numbers.clear();
    endResetModel();
}

TD2D &TStringGridModel::Show(std::unique_ptr<TD2D> Table, int FirstCol, int FirstRow,
                             const QStringList &Headers)
{
    TD2D &table = *Table;
    beginResetModel();
    m_owned = std::move(Table);
    attach(&table, FirstCol, FirstRow, Headers, 1 + std::max(table.RowCount() - std::max(FirstRow, 0), 0));
    m_numbered = true;
    m_numbers.clear();
    endResetModel();
    return table;
}

bool TStringGridModel::ShowsInOrder(const TD2D &Table, int FirstRow) const
{
    return m_table == &Table && m_inOrder && m_firstRow == FirstRow && m_firstCol == 0 &&
           m_cols - 1 == Table.ColCount() && m_rows - 1 == Table.RowCount() - FirstRow;
}

void TStringGridModel::Rebase(int FirstRow)
{
    m_firstCol = 0;
    m_firstRow = std::max(FirstRow, 0);
    m_inOrder = true;
    m_order.clear();
    m_order.shrink_to_fit();
    m_inserted.Init(m_cols - 1, 0);
    m_insertedRows = 0;
}

void TStringGridModel::putInOrder()
{
    if (!m_inOrder)
        return;
    m_order.resize(size_t(std::max(m_rows - 1, 0)));
    std::iota(m_order.begin(), m_order.end(), m_firstRow);
    m_inOrder = false;
}

void TStringGridModel::numberRows()
{
    if (!m_numbered && m_rows > 1)
        emit dataChanged(index(1, 0), index(m_rows - 1, 0));
    m_numbered = true;
    m_numbers.clear();
}

void TStringGridModel::InsertRow(int Row)
{
    if (Row < 1 || Row > m_rows)
        return;
    putInOrder();
    const int k = m_insertedRows++;
    if (m_inserted.ColCount() > 0)
        m_inserted.AddRows(1);
    beginInsertRows({}, Row, Row);
    m_order.insert(m_order.begin() + (Row - 1), -1 - k);
    ++m_rows;
    endInsertRows();
    numberRows();
    emit dataChanged(index(Row, 0), index(m_rows - 1, 0));
}

void TStringGridModel::RemoveRow(int Row)
{
    if (Row < 1 || Row >= m_rows)
        return;
    putInOrder();
    beginRemoveRows({}, Row, Row);
    m_order.erase(m_order.begin() + (Row - 1));
    --m_rows;
    endRemoveRows();
    numberRows();
    if (Row < m_rows)
        emit dataChanged(index(Row, 0), index(m_rows - 1, 0));
}

int TStringGridModel::WidestText(int Col, const QFontMetrics &Metrics) const
{
    // Laying out every text of a million rows takes seconds. The sum of a text's character advances is
    // within a pixel or two of its laid-out width, so only the texts with the largest sums are laid out.
    constexpr size_t kLaidOut = 64;
    std::vector<int> advances(0x500, -1);
    const auto estimate = [&](const QString &text) {
        int width = 0;
        for (const QChar ch : text) {
            const char16_t u = ch.unicode();
            if (u < advances.size()) {
                if (advances[u] < 0)
                    advances[u] = Metrics.horizontalAdvance(ch);
                width += advances[u];
            } else {
                width += Metrics.horizontalAdvance(ch);
            }
        }
        return width;
    };
    // The rows of the largest sums, the smallest of them on top.
    std::vector<std::pair<int, int>> widest;
    const auto smaller = [](const auto &a, const auto &b) { return a.first > b.first; };
    for (int r = 1; r < m_rows; ++r) {
        const int width = estimate(Cell(Col, r));
        if (width == 0 || (widest.size() == kLaidOut && width <= widest.front().first))
            continue;
        if (widest.size() == kLaidOut) {
            std::pop_heap(widest.begin(), widest.end(), smaller);
            widest.pop_back();
        }
        widest.emplace_back(width, r);
        std::push_heap(widest.begin(), widest.end(), smaller);
    }
    int most = 0;
    for (const auto &[estimated, row] : widest)
        most = std::max(most, Metrics.horizontalAdvance(Cell(Col, row)));
    return most;
}

TMStringGrid::TMStringGrid(QWidget *parent) : QTableView(parent), m_cells(new TStringGridModel(this))
{
    setModel(m_cells);
    setItemDelegate(new FixedCellsDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { emit cellClicked(index.row(), index.column()); });
}

QList<QTableWidgetSelectionRange> TMStringGrid::selectedRanges() const
{
    QList<QTableWidgetSelectionRange> ranges;
    for (const QItemSelectionRange &r : selectionModel()->selection())
        ranges << QTableWidgetSelectionRange(r.top(), r.left(), r.bottom(), r.right());
    return ranges;
}

void TMStringGrid::setRangeSelected(const QTableWidgetSelectionRange &Range, bool Select)
{
    const QModelIndex from = m_cells->index(Range.topRow(), Range.leftColumn());
    const QModelIndex to = m_cells->index(Range.bottomRow(), Range.rightColumn());
    if (from.isValid() && to.isValid())
        selectionModel()->select(QItemSelection(from, to),
                                 Select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void TMStringGrid::setCurrentCell(int Row, int Col)
{
    setCurrentIndex(m_cells->index(Row, Col));
}

void TMStringGrid::enterEvent(QEnterEvent *event)
{
    QTableView::enterEvent(event);
    emit mouseEnter(this);
}

void TMStringGrid::leaveEvent(QEvent *event)
{
    QTableView::leaveEvent(event);
    emit mouseLeave(this);
}
