#pragma once

#include "lib/text_routines.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <memory>
#include <vector>

// The cell words of a column in chunks that never move: the first ones small and doubling, then all of
// 64 Ki words, so a column grows without copying its words and without the freed copies a doubling
// array leaves on the heap, and holds little more than it uses.
class CellWords
{
public:
    CellWords() = default;
    CellWords(const CellWords &other) { *this = other; }
    CellWords &operator=(const CellWords &other);
    CellWords(CellWords &&) noexcept = default;
    CellWords &operator=(CellWords &&) noexcept = default;

    qsizetype size() const { return m_size; }
    quint64 &operator[](qsizetype i)
    {
        const Place p = place(i);
        return m_chunks[size_t(p.chunk)][p.offset];
    }
    quint64 operator[](qsizetype i) const
    {
        const Place p = place(i);
        return m_chunks[size_t(p.chunk)][p.offset];
    }
    void push_back(quint64 word);
    // New words are 0; chunks past the new size are given back.
    void resize(qsizetype n);
    qint64 allocatedBytes() const;
    // The bytes of chunks words 0..n-1 take, for a reader that must know before it sizes a table.
    static qint64 bytesFor(qint64 n);

private:
    struct Place
    {
        qsizetype chunk;
        qsizetype offset;
    };
    static constexpr int kFirstBits = 4, kLastBits = 16;
    static constexpr qsizetype kSmallWords = (qsizetype(1) << kLastBits) - (qsizetype(1) << kFirstBits);
    static Place place(qsizetype i)
    {
        if (i >= kSmallWords)
            return {(kLastBits - kFirstBits) + (i - kSmallWords) / (qsizetype(1) << kLastBits),
                    (i - kSmallWords) % (qsizetype(1) << kLastBits)};
        const int k = 63 - __builtin_clzll(quint64(i >> kFirstBits) + 1);
        return {k, i - ((qsizetype(1) << (k + kFirstBits)) - (qsizetype(1) << kFirstBits))};
    }
    static qsizetype chunkWords(qsizetype chunk)
    {
        return qsizetype(1) << std::min<qsizetype>(chunk + kFirstBits, kLastBits);
    }

    std::vector<std::unique_ptr<quint64[]>> m_chunks;
    qsizetype m_size = 0;
};

// One column of a TD2D. The texts of its cells lie back to back in blocks of characters, and a cell is
// one 64-bit word that places its text there: a cell costs 8 bytes and its characters rather than a
// string of its own (24 bytes and a heap block), and a cell equal to the one appended before it, or to a
// neighbour it is set equal to, takes no characters at all. Blocks are never moved, so the view of a
// cell stays valid until the column is set, cleared or compacted.
class TStringColumn
{
public:
    // Writes through operator[] of a column, as into a string list.
    class CellRef
    {
    public:
        CellRef(TStringColumn &column, qsizetype index) : m_column(column), m_index(index) {}
        CellRef &operator=(QStringView text)
        {
            m_column.set(m_index, text);
            return *this;
        }
        CellRef &operator=(const QString &text) { return *this = QStringView(text); }
        operator QString() const { return m_column.at(m_index); }

    private:
        TStringColumn &m_column;
        qsizetype m_index;
    };

    TStringColumn() = default;
    TStringColumn(const QStringList &lines, bool caseSensitive = false);

    qsizetype size() const { return m_cells.size(); }
    bool isEmpty() const { return m_cells.size() == 0; }
    // Cells by index from 0; an index outside the column is the caller's fault, as with a string list.
    QStringView view(qsizetype i) const;
    QString at(qsizetype i) const { return view(i).toString(); }
    QString operator[](qsizetype i) const { return at(i); }
    CellRef operator[](qsizetype i) { return CellRef(*this, i); }
    QString first() const { return at(0); }

    void set(qsizetype i, QStringView text);
    void append(QStringView text);
    void resize(qsizetype n); // new cells are empty
    void clear();
    void swapItemsAt(qsizetype i, qsizetype j) { std::swap(m_cells[i], m_cells[j]); }

    // First cell equal to text exactly, from index from on; -1 when none.
    qsizetype indexOf(QStringView text, qsizetype from = 0) const;
    // First cell equal to S under the column's case rule, -1 when none.
    int IndexOf(const QString &S) const;
    QStringList mid(qsizetype pos, qsizetype len = -1) const;
    QStringList toStringList() const { return mid(0); }

    // What the column holds in memory: its cell words and its blocks, allocated sizes.
    qint64 memoryBytes() const;
    // What a cell costs besides its characters.
    static constexpr qint64 CellBytes = sizeof(quint64);

    bool CaseSensitive = false;

private:
    struct Block
    {
        std::shared_ptr<char16_t[]> text;
        qint64 size = 0;
    };
    quint64 store(QStringView text);
    void compactIfWasteful();

    CellWords m_cells;
    std::vector<Block> m_blocks;
    qint64 m_used = 0;    // characters taken in the last block
    qint64 m_chars = 0;   // characters of all blocks
    qint64 m_garbage = 0; // characters no cell may place any more (an estimate: a set cell's old text)
};

bool operator==(const TStringColumn &a, const QStringList &b);
bool operator==(const TStringColumn &a, const TStringColumn &b);

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
    // The cell's text where the table keeps it: valid until its column is next changed.
    QStringView CellView(int Col, int Row) const;
    void SetCell(int Col, int Row, QStringView Value);
    void SetCell(int Col, int Row, const QString &Value) { SetCell(Col, Row, QStringView(Value)); }

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

    // What the table holds in memory, for the readers' budget.
    qint64 MemoryBytes() const;

    dslarray Columns;

private:
    void checkIndex(int Col, int Row) const;
};

// Reads a fixed-width text file (windows-1251) into Table. With Cols empty, the first non-empty line is
// a header that sets (Start, Width) per column and gives row 0; Width 0 runs to the end of the line.
// Failures are shown through MessageProc and give false.
bool ReadFWTxt(TD2D &Table, const QString &FileName, dptarray &Cols, bool CaseSensitive);
