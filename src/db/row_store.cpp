#include "db/row_store.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// ASCII and two-byte sequences (Latin, Cyrillic), which every decoder reads alike, decoded without the
// general decoder, which goes byte by byte; -1 at anything else.
qsizetype decodeShortUtf8(const char *utf8, qsizetype bytes, char16_t *out)
{
    const auto *in = reinterpret_cast<const unsigned char *>(utf8);
    const unsigned char *end = in + bytes;
    char16_t *begin = out;
    while (in < end) {
        if (*in < 0x80) {
            // A run of ASCII, eight bytes at a time while it lasts.
            while (end - in >= 8) {
                quint64 word;
                std::memcpy(&word, in, 8);
                if (word & 0x8080808080808080ULL)
                    break;
                for (int k = 0; k < 8; ++k)
                    out[k] = in[k];
                in += 8;
                out += 8;
            }
            while (in < end && *in < 0x80)
                *out++ = *in++;
        } else if (in[0] >= 0xC2 && in[0] <= 0xDF && end - in >= 2 && (in[1] & 0xC0) == 0x80) {
            *out++ = char16_t((in[0] & 0x1F) << 6 | (in[1] & 0x3F));
            in += 2;
        } else {
            return -1;
        }
    }
    return out - begin;
}

} // namespace

qsizetype DecodeUtf8(const char *utf8, qsizetype bytes, char16_t *out)
{
    const qsizetype length = decodeShortUtf8(utf8, bytes, out);
    if (length >= 0)
        return length;
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QChar *begin = reinterpret_cast<QChar *>(out);
    return decoder.appendToBuffer(begin, QByteArrayView(utf8, bytes)) - begin;
}

char16_t *RowStore::Chars::extend(qsizetype n)
{
    if (m_size + n > m_capacity) {
        const qsizetype capacity = std::max({m_capacity * 2, m_size + n, qsizetype(256)});
        void *grown = std::realloc(m_data, size_t(capacity) * sizeof(char16_t));
        if (!grown)
            throw std::bad_alloc();
        m_data = static_cast<char16_t *>(grown);
        m_capacity = capacity;
    }
    char16_t *end = m_data + m_size;
    m_size += n;
    return end;
}

void RowStore::reset(int columns)
{
    m_columns.clear();
    m_columns.resize(columns);
    m_rows = 0;
}

RowStore::Kind RowStore::kindOf(const QVariant &v)
{
    // A typed NULL (a QVariant of a type but without a value) keeps its type only as a QVariant.
    if (v.isNull())
        return Kind::Variant;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return Kind::Integer;
    case QMetaType::Double:
        return Kind::Double;
    case QMetaType::QString:
        return Kind::Text;
    default:
        return Kind::Variant;
    }
}

QVariant RowStore::typedValue(const Column &c, qsizetype row)
{
    if (c.nulls[row])
        return QVariant();
    switch (c.kind) {
    case Kind::Integer:
        return qlonglong(c.integers[row]);
    case Kind::Double:
        return c.doubles[row];
    case Kind::Text:
        return typedText(c, row);
    default:
        return QVariant();
    }
}

QString RowStore::typedText(const Column &c, qsizetype row)
{
    if (c.lengths[row] == 0)
        return QStringLiteral(""); // empty, which is not NULL
    return QString(reinterpret_cast<const QChar *>(c.chars.data() + c.starts[row]), c.lengths[row]);
}

DbScalar RowStore::scalar(qsizetype row, int column) const
{
    const Column &c = m_columns[column];
    if (c.kind == Kind::Variant)
        return ScalarOf(c.variants[row]);
    if (c.nulls[row])
        return {DbScalar::Null};
    switch (c.kind) {
    case Kind::Integer:
        return {DbScalar::Integer, c.integers[row]};
    case Kind::Double:
        return {DbScalar::Number, 0, c.doubles[row]};
    case Kind::Text:
        return {DbScalar::Text};
    default:
        return {DbScalar::Null};
    }
}

QString RowStore::text(qsizetype row, int column) const
{
    const Column &c = m_columns[column];
    if (c.kind == Kind::Variant)
        return c.variants[row].toString();
    return c.kind == Kind::Text && !c.nulls[row] ? typedText(c, row) : QString();
}

DbScalar ScalarOf(const QVariant &v)
{
    if (v.isNull())
        return {DbScalar::Null};
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return {DbScalar::Integer, *static_cast<const qlonglong *>(v.constData())};
    case QMetaType::Double:
        return {DbScalar::Number, 0, *static_cast<const double *>(v.constData())};
    case QMetaType::QString:
        return {DbScalar::Text};
    default:
        return {DbScalar::Other};
    }
}

void RowStore::putText(Column &c, qsizetype row, QStringView v)
{
    c.starts[row] = c.chars.size();
    c.lengths[row] = v.size();
    std::copy(v.utf16(), v.utf16() + v.size(), c.chars.extend(v.size()));
}

QVariant RowStore::value(qsizetype row, int column) const
{
    const Column &c = m_columns[column];
    return c.kind == Kind::Variant ? c.variants[row] : typedValue(c, row);
}

QList<QVariant> RowStore::row(qsizetype row) const
{
    QList<QVariant> values;
    values.reserve(qsizetype(m_columns.size()));
    for (int i = 0; i < int(m_columns.size()); ++i)
        values.append(value(row, i));
    return values;
}

// Makes an unset column typed, or a typed one of another kind a column of QVariants.
void RowStore::settle(Column &c, Kind kind)
{
    if (c.kind == kind || c.kind == Kind::Variant)
        return;
    if (c.kind != Kind::Unset || kind == Kind::Variant) {
        toVariants(c);
        return;
    }
    c.kind = kind;
    const size_t n = c.nulls.size();
    switch (kind) {
    case Kind::Integer:
        c.integers.resize(n);
        break;
    case Kind::Double:
        c.doubles.resize(n);
        break;
    case Kind::Text:
        c.starts.resize(n);
        c.lengths.resize(n);
        break;
    default:
        break;
    }
}

void RowStore::toVariants(Column &c)
{
    std::vector<QVariant> values;
    values.reserve(c.nulls.capacity());
    for (size_t r = 0; r < c.nulls.size(); ++r)
        values.push_back(typedValue(c, qsizetype(r)));
    c = Column();
    c.kind = Kind::Variant;
    c.variants = std::move(values);
}

void RowStore::appendNull(int column)
{
    Column &c = m_columns[column];
    switch (c.kind) {
    case Kind::Variant:
        c.variants.emplace_back();
        return;
    case Kind::Integer:
        c.integers.push_back(0);
        break;
    case Kind::Double:
        c.doubles.push_back(0);
        break;
    case Kind::Text:
        c.starts.push_back(c.chars.size());
        c.lengths.push_back(0);
        break;
    case Kind::Unset:
        break;
    }
    c.nulls.push_back(1);
}

void RowStore::appendInteger(int column, qint64 v)
{
    Column &c = m_columns[column];
    if (c.kind != Kind::Integer)
        settle(c, Kind::Integer);
    if (c.kind == Kind::Variant) {
        c.variants.emplace_back(qlonglong(v));
        return;
    }
    c.integers.push_back(v);
    c.nulls.push_back(0);
}

void RowStore::appendDouble(int column, double v)
{
    Column &c = m_columns[column];
    if (c.kind != Kind::Double)
        settle(c, Kind::Double);
    if (c.kind == Kind::Variant) {
        c.variants.emplace_back(v);
        return;
    }
    c.doubles.push_back(v);
    c.nulls.push_back(0);
}

void RowStore::appendText(int column, QStringView v)
{
    Column &c = m_columns[column];
    if (c.kind != Kind::Text)
        settle(c, Kind::Text);
    if (c.kind == Kind::Variant) {
        c.variants.emplace_back(v.toString());
        return;
    }
    c.starts.emplace_back();
    c.lengths.emplace_back();
    putText(c, qsizetype(c.starts.size()) - 1, v);
    c.nulls.push_back(0);
}

void RowStore::appendUtf8(int column, const char *utf8, qsizetype bytes)
{
    Column &c = m_columns[column];
    if (c.kind != Kind::Text)
        settle(c, Kind::Text);
    if (c.kind == Kind::Variant) {
        c.variants.emplace_back(QString::fromUtf8(utf8, bytes));
        return;
    }
    // Decoded straight into the column's buffer: UTF-16 takes no more units than UTF-8 takes bytes.
    const qsizetype start = c.chars.size();
    const qsizetype length = DecodeUtf8(utf8, bytes, c.chars.extend(bytes));
    c.chars.truncate(start + length);
    c.starts.push_back(start);
    c.lengths.push_back(length);
    c.nulls.push_back(0);
}

void RowStore::append(int column, QVariant &&v)
{
    if (!v.isValid()) {
        appendNull(column);
        return;
    }
    switch (kindOf(v)) {
    case Kind::Integer:
        appendInteger(column, *static_cast<const qlonglong *>(v.constData()));
        return;
    case Kind::Double:
        appendDouble(column, *static_cast<const double *>(v.constData()));
        return;
    case Kind::Text:
        appendText(column, *static_cast<const QString *>(v.constData()));
        return;
    default: {
        Column &c = m_columns[column];
        settle(c, Kind::Variant);
        c.variants.push_back(std::move(v));
        return;
    }
    }
}

void RowStore::appendRow(QList<QVariant> &&values)
{
    const int given = int(qMin(values.size(), qsizetype(m_columns.size())));
    QVariant *v = values.data();
    for (int i = 0; i < given; ++i)
        append(i, std::move(v[i]));
    for (int i = given; i < int(m_columns.size()); ++i)
        appendNull(i);
    endRow();
}

void RowStore::setRow(qsizetype row, const QList<QVariant> &values)
{
    for (int i = 0; i < int(m_columns.size()); ++i)
        setValue(row, i, values.value(i));
}

void RowStore::setValue(qsizetype row, int column, const QVariant &v)
{
    Column &c = m_columns[column];
    Kind kind = v.isValid() ? kindOf(v) : c.kind;
    if (kind == Kind::Unset)
        kind = Kind::Integer; // a NULL in a column of NULLs: any typed kind holds it
    settle(c, kind);
    if (c.kind == Kind::Variant) {
        c.variants[row] = v;
        return;
    }
    c.nulls[row] = !v.isValid();
    switch (c.kind) {
    case Kind::Integer:
        c.integers[row] = v.toLongLong();
        break;
    case Kind::Double:
        c.doubles[row] = v.toDouble();
        break;
    case Kind::Text:
        putText(c, row, v.isValid() ? v.toString() : QString());
        break;
    default:
        break;
    }
}

void RowStore::removeRow(qsizetype row)
{
    for (Column &c : m_columns) {
        if (c.kind == Kind::Variant) {
            c.variants.erase(c.variants.begin() + row);
            continue;
        }
        c.nulls.erase(c.nulls.begin() + row);
        switch (c.kind) {
        case Kind::Integer:
            c.integers.erase(c.integers.begin() + row);
            break;
        case Kind::Double:
            c.doubles.erase(c.doubles.begin() + row);
            break;
        case Kind::Text:
            c.starts.erase(c.starts.begin() + row);
            c.lengths.erase(c.lengths.begin() + row);
            break;
        default:
            break;
        }
    }
    --m_rows;
}
