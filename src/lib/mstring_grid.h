#pragma once

#include "lib/string_table.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QTableWidgetSelectionRange>

#include <memory>
#include <vector>

class QFontMetrics;

// The cells of a string grid with one fixed row (row 0, the headers) and one fixed column (column 0, the
// row numbers). The data cells are not copied into the grid: they stay in a string table, one a reader
// filled or one the grid keeps, so a grid of a million rows costs nothing per cell, and four bytes a row
// once rows are inserted or deleted.
class TStringGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TStringGridModel(QObject *parent = nullptr);
    ~TStringGridModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The shape, the fixed row and column included.
    int Rows() const { return m_rows; }
    int Cols() const { return m_cols; }
    // An empty text outside the grid.
    QString Cell(int Col, int Row) const;
    // Nothing outside the grid. Without Notify the caller announces the change (CellsChanged) once for a
    // block of cells.
    void SetCell(int Col, int Row, const QString &Text, bool Notify = true);
    void CellsChanged(int Left, int Top, int Right, int Bottom);

    // Cols x Rows empty cells of the grid's own, the fixed column without numbers.
    void Reset(int Cols, int Rows);
    // The new shape, keeping the cells inside it, as a table widget does.
    void Resize(int Cols, int Rows);
    // Shows the rows of Table from FirstRow on, its columns from FirstCol on (as many as the table has),
    // under the given headers, the fixed column numbering the rows. Edits go into the table, which must
    // outlive the view of it (until the next Show, Reset or Resize).
    void Show(TD2D &Table, int FirstCol, int FirstRow, const QStringList &Headers);
    // The same on a table the grid keeps.
    TD2D &Show(std::unique_ptr<TD2D> Table, int FirstCol, int FirstRow, const QStringList &Headers);
    // True when the grid shows Table's rows from FirstRow on in their order and all its columns, so the
    // table already holds every edit.
    bool ShowsInOrder(const TD2D &Table, int FirstRow) const;
    // The table the grid shows now holds the data rows in grid order from FirstRow on.
    void Rebase(int FirstRow);
    bool Shows(const TD2D &Table) const { return m_table == &Table; }

    // An empty data row at Row (the rows from it on move down), or the data row at Row gone; the fixed
    // column numbers the rows afterwards.
    void InsertRow(int Row);
    void RemoveRow(int Row);

    // The width of the widest text of column Col's data rows in Metrics.
    int WidestText(int Col, const QFontMetrics &Metrics) const;

private:
    // The table row of data row Row (1..), -1 - k for the k-th row inserted, kNoRow outside the grid.
    int sourceRow(int Row) const;
    QString dataCell(int Col, int Source) const;
    void attach(TD2D *Table, int FirstCol, int FirstRow, const QStringList &Headers, int Rows);
    // The cells inside the new shape into a table of the grid's own.
    void reshape(int Cols, int Rows);
    void putInOrder();
    void numberRows();

    int m_cols = 0, m_rows = 0;
    QStringList m_headers;
    // The fixed column: the row numbers, or texts of its own while m_numbered is false.
    bool m_numbered = false;
    QStringList m_numbers;
    TD2D *m_table = nullptr;
    std::unique_ptr<TD2D> m_owned;
    int m_firstCol = 0, m_firstRow = 0;
    // While m_inOrder, data row r is table row r - 1 + m_firstRow; else m_order holds one entry per data
    // row.
    bool m_inOrder = true;
    std::vector<int> m_order;
    // The rows inserted since the table was shown.
    TD2D m_inserted;
    int m_insertedRows = 0;
};

// The platform's string grid over TStringGridModel, with the table widget's cell and selection calls the
// import grid uses, telling when the mouse enters or leaves it (the import grid shows its hint then).
class TMStringGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TMStringGrid(QWidget *parent = nullptr);

    TStringGridModel &cells() const { return *m_cells; }
    int rowCount() const { return m_cells->Rows(); }
    int columnCount() const { return m_cells->Cols(); }
    void setRowCount(int Rows) { m_cells->Resize(m_cells->Cols(), Rows); }
    void setColumnCount(int Cols) { m_cells->Resize(Cols, m_cells->Rows()); }
    void insertRow(int Row) { m_cells->InsertRow(Row); }
    void removeRow(int Row) { m_cells->RemoveRow(Row); }
    QList<QTableWidgetSelectionRange> selectedRanges() const;
    void setRangeSelected(const QTableWidgetSelectionRange &Range, bool Select);
    int currentRow() const { return currentIndex().row(); }
    int currentColumn() const { return currentIndex().column(); }
    void setCurrentCell(int Row, int Col);

signals:
    void mouseEnter(QObject *sender);
    void mouseLeave(QObject *sender);
    void cellClicked(int row, int column);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    TStringGridModel *m_cells;
};
