#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdlib>
#include <utility>
#include <vector>

// A value of a result as the typed field getters read it, without a QVariant: NULL, an integer, a number,
// or a text (read apart, only when asked for); Other for anything else, which is read as a QVariant.
struct DbScalar
{
    enum Kind : quint8 { Other, Null, Integer, Number, Text };
    Kind kind = Other;
    qint64 integer = 0;
    double number = 0;
};

// A QVariant's value as a DbScalar.
DbScalar ScalarOf(const QVariant &v);

// A text of the database, UTF-8, made UTF-16 in out (room for as many units as there are bytes); the units
// written. A leading byte order mark is a character of the text, kept (QString::fromUtf8 drops it).
qsizetype DecodeUtf8(const char *utf8, qsizetype bytes, char16_t *out);

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
    // The value as value() gives it, without the QVariant; the text of a Text value.
    DbScalar scalar(qsizetype row, int column) const;
    QString text(qsizetype row, int column) const;
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
    void setValue(qsizetype row, int column, const QVariant &value);
    void removeRow(qsizetype row);

private:
    enum class Kind { Unset, Integer, Double, Text, Variant };
    // The UTF-16 units of a column's texts, grown by doubling through realloc: a std::vector would copy
    // its units one at a time when it grows and zero the new ones, which the decoder overwrites at once.
    class Chars
    {
    public:
        Chars() = default;
        Chars(Chars &&other) noexcept { swap(other); }
        Chars &operator=(Chars &&other) noexcept
        {
            swap(other);
            return *this;
        }
        ~Chars() { std::free(m_data); }
        qsizetype size() const { return m_size; }
        const char16_t *data() const { return m_data; }
        // Room for n more units at the end, for the caller to fill; size() counts them already.
        char16_t *extend(qsizetype n);
        void truncate(qsizetype size) { m_size = size; }

    private:
        void swap(Chars &other) noexcept
        {
            std::swap(m_data, other.m_data);
            std::swap(m_size, other.m_size);
            std::swap(m_capacity, other.m_capacity);
        }
        char16_t *m_data = nullptr;
        qsizetype m_size = 0, m_capacity = 0;
    };
    struct Column
    {
        Kind kind = Kind::Unset;   // Unset: only NULLs so far
        std::vector<quint8> nulls; // typed and unset columns
        std::vector<qint64> integers;
        std::vector<double> doubles;
        // Texts: the UTF-16 of every value one after the other; a value is where it starts and its
        // length. A changed text goes to the end; what it replaced stays unused until the rows go.
        Chars chars;
        std::vector<qsizetype> starts;
        std::vector<qsizetype> lengths;
        std::vector<QVariant> variants;
    };
    static Kind kindOf(const QVariant &v);
    static QVariant typedValue(const Column &c, qsizetype row);
    static QString typedText(const Column &c, qsizetype row);
    static void putText(Column &c, qsizetype row, QStringView v);
    void settle(Column &c, Kind kind);
    void toVariants(Column &c);

    std::vector<Column> m_columns;
    qsizetype m_rows = 0;
};
