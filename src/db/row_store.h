#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

// The rows of a client-side static cursor, kept column by column. A column whose values are all
// integers, all numbers or all texts (NULL allowed) keeps them in a plain array, a third of the memory of
// one QVariant each, which is most of what a large fetch spends; the texts of a column share one buffer,
// so a fetch allocates nothing per text. A column of mixed values keeps QVariants.
// Every value reads back exactly as it was stored, type included.
class RowStore
{
public:
    // Empty, with this many columns.
    void reset(int columns);
    void clear() { reset(int(m_columns.size())); }
    qsizetype rowCount() const { return m_rows; }

    QVariant value(qsizetype row, int column) const;
    QList<QVariant> row(qsizetype row) const;

    // A new row is appended one value per column, in column order, then ended.
    void appendNull(int column);
    void appendInteger(int column, qint64 v);
    void appendDouble(int column, double v);
    void appendText(int column, QStringView v);
    void appendUtf8(int column, const char *utf8, qsizetype bytes);
    void append(int column, QVariant &&v);
    void endRow() { ++m_rows; }

    void appendRow(QList<QVariant> &&values);
    void setRow(qsizetype row, const QList<QVariant> &values);
    void removeRow(qsizetype row);

private:
    enum class Kind { Unset, Integer, Double, Text, Variant };
    // A UTF-16 unit that a growing buffer leaves as it is: the decoder writes it right after.
    struct Unit
    {
        Unit() {} // NOLINT: not zeroed on purpose
        char16_t unit;
    };
    static_assert(sizeof(Unit) == sizeof(QChar));
    struct Column
    {
        Kind kind = Kind::Unset;   // Unset: only NULLs so far
        std::vector<quint8> nulls; // typed and unset columns
        std::vector<qint64> integers;
        std::vector<double> doubles;
        // Texts: the UTF-16 of every value one after the other; a value is where it starts and its
        // length. A changed text goes to the end; what it replaced stays unused until the rows go.
        std::vector<Unit> chars;
        std::vector<qsizetype> starts;
        std::vector<qsizetype> lengths;
        std::vector<QVariant> variants;
    };
    static Kind kindOf(const QVariant &v);
    static QVariant typedValue(const Column &c, qsizetype row);
    static void putText(Column &c, qsizetype row, QStringView v);
    void settle(Column &c, Kind kind);
    void toVariants(Column &c);

    std::vector<Column> m_columns;
    qsizetype m_rows = 0;
};
