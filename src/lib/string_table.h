#pragma once

#include "lib/text_routines.h"

#include <QList>
#include <QString>
#include <QStringList>

// One column of a TD2D: a string list that remembers whether searches in it respect case.
class TStringColumn : public QStringList
{
public:
    TStringColumn() = default;
    TStringColumn(const QStringList &lines, bool caseSensitive = false)
        : QStringList(lines), CaseSensitive(caseSensitive)
    {}

    // First line equal to S under the column's case rule, -1 when none.
    int IndexOf(const QString &S) const;

    bool CaseSensitive = false;
};

using dslarray = QList<TStringColumn>;

// The system's table of strings: Columns[c][r] is the cell (c, r); all columns have the same number of
// lines, and row 0 holds the column names by convention. A cell index outside the table throws
// std::out_of_range, as a string list does.
class TD2D
{
public:
    TD2D() = default;
    virtual ~TD2D();

    int ColCount() const { return int(Columns.size()); }
    int RowCount() const; // -1 without columns
    QString GetCell(int Col, int Row) const;
    void SetCell(int Col, int Row, const QString &Value);

    void Init(int ColCount, int RowCount, bool CaseSensitive = false);
    void Clear();
    // Changes the shape, keeping the cells that lie inside the new one.
    void SetSize(int ColCount, int RowCount);
    // Returns the new last row index, or -1 (nothing changed) without columns or for N < 1.
    int AddRows(int N);
    bool ClearRows();
    void SetRow(int Row, const QStringList &Values);
    // Column whose row-0 cell equals Name; -1 when none or the table has no rows.
    int FindCol(const QString &Name, bool CaseSensitive) const;
    void SwapRows(int R1, int R2);

    dslarray Columns;

private:
    void checkIndex(int Col, int Row) const;
};

// Reads a fixed-width text file (windows-1251) into Table. With Cols empty, the first non-empty line is
// a header that sets (Start, Width) per column and gives row 0; Width 0 runs to the end of the line.
// Failures are shown through MessageProc and give false.
bool ReadFWTxt(TD2D &Table, const QString &FileName, dptarray &Cols, bool CaseSensitive);
