#include "db/db_backend.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <utility>

namespace {

constexpr qsizetype kLongestKeptText = 8192;

bool isSchemaChange(const QString &sql)
{
    QStringView v(sql);
    qsizetype i = 0;
    while (i < v.size() && v[i].isSpace())
        ++i;
    v = v.mid(i);
    // Most statements are settled by their first letter; this runs for every statement.
    if (v.isEmpty())
        return false;
    const char16_t first = v.front().unicode() | 0x20;
    if (first != u'c' && first != u'd' && first != u'a')
        return false;
    return v.startsWith(u"create", Qt::CaseInsensitive) || v.startsWith(u"drop", Qt::CaseInsensitive) ||
           v.startsWith(u"alter", Qt::CaseInsensitive);
}

// How a SQLite column's stored values become dataset values; decided once per column.
enum class ValueKind { Integer, Float, Date, Boolean, Text, Bytes, Any };

ValueKind valueKindOf(FieldType t)
{
    if (IsIntegerFieldType(t))
        return ValueKind::Integer;
    if (IsFloatFieldType(t))
        return ValueKind::Float;
    if (IsDateFieldType(t))
        return ValueKind::Date;
    if (t == FieldType::Boolean)
        return ValueKind::Boolean;
    if (IsStringFieldType(t))
        return ValueKind::Text;
    if (t == FieldType::Blob || t == FieldType::Bytes || t == FieldType::VarBytes || t == FieldType::Graphic)
        return ValueKind::Bytes;
    return ValueKind::Any;
}

class SqliteCursor : public DbCursor
{
public:
    SqliteCursor(SqliteBackend *backend, const QString &sql, const QVariantList &params)
        : m_backend(backend), m_sql(sql)
    {
        sqlite3 *db = backend->handle();
        m_stmt = backend->takeStatement(sql);
        try {
            reserveTexts(params);
            for (int i = 0; i < params.size(); ++i)
                bind(i + 1, params[i]);
            step();
        } catch (...) {
            backend->returnStatement(sql, m_stmt);
            throw;
        }
        m_pending = true;
        const int n = sqlite3_column_count(m_stmt);
        m_columns.reserve(n);
        m_kinds.reserve(n);
        for (int i = 0; i < n; ++i) {
            DbColumn c;
            c.name = QString::fromUtf8(sqlite3_column_name(m_stmt, i));
            const char *table = sqlite3_column_table_name(m_stmt, i);
            const char *origin = sqlite3_column_origin_name(m_stmt, i);
            if (table && origin) {
                c.baseTable = QString::fromUtf8(table);
                c.baseColumn = QString::fromUtf8(origin);
            }
            c.type = SqlDialect::fieldTypeOfDeclaration(QString::fromUtf8(sqlite3_column_decltype(m_stmt, i)),
                                                        &c.size);
            if (!c.baseTable.isEmpty() && backend->tableInfo(c.baseTable).counters.contains(c.baseColumn))
                c.type = FieldType::AutoInc;
            if (c.type == FieldType::Unknown && m_hasRow) {
                // An expression: its first value tells what it is.
                switch (sqlite3_column_type(m_stmt, i)) {
                case SQLITE_INTEGER: {
                    const sqlite3_int64 v = sqlite3_column_int64(m_stmt, i);
                    c.type = v == qint32(v) ? FieldType::Integer : FieldType::LargeInt;
                    break;
                }
                case SQLITE_FLOAT:
                    c.type = FieldType::Float;
                    break;
                case SQLITE_TEXT:
                    c.type = FieldType::String;
                    c.size = 255;
                    break;
                case SQLITE_BLOB:
                    c.type = FieldType::Blob;
                    break;
                default:
                    break;
                }
            }
            m_columns.append(c);
            m_kinds.append(valueKindOf(c.type));
        }
        m_changes = sqlite3_stmt_readonly(m_stmt) ? -1 : sqlite3_changes(db);
    }

    ~SqliteCursor() override { m_backend->returnStatement(m_sql, m_stmt); }

    bool next() override
    {
        if (m_pending) {
            m_pending = false;
            return m_hasRow;
        }
        if (!m_hasRow)
            return false;
        step();
        return m_hasRow;
    }

    QVariant value(int i) const override { return valueAt(i, m_kinds[i]); }

    // As valueAt() reads them, in the common cases.
    DbScalar scalar(int i) const override
    {
        const ValueKind kind = m_kinds[i];
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_NULL:
            return {DbScalar::Null};
        case SQLITE_INTEGER:
            if (kind == ValueKind::Integer || kind == ValueKind::Any)
                return {DbScalar::Integer, sqlite3_column_int64(m_stmt, i)};
            if (kind == ValueKind::Float || kind == ValueKind::Date)
                return {DbScalar::Number, 0, sqlite3_column_double(m_stmt, i)};
            break;
        case SQLITE_FLOAT:
            if (kind == ValueKind::Float || kind == ValueKind::Date || kind == ValueKind::Any)
                return {DbScalar::Number, 0, sqlite3_column_double(m_stmt, i)};
            break;
        case SQLITE_TEXT:
            if (kind == ValueKind::Any)
                return {DbScalar::Text};
            break;
        default:
            break;
        }
        return kind == ValueKind::Text ? DbScalar{DbScalar::Text} : DbScalar{DbScalar::Other};
    }

    QString text(int i) const override
    {
        const ValueKind kind = m_kinds[i];
        if (kind == ValueKind::Text ||
            (kind == ValueKind::Any && sqlite3_column_type(m_stmt, i) == SQLITE_TEXT))
            return utf8Text(i);
        return valueAt(i, kind).toString();
    }

    void textInto(int i, QString &out) const override
    {
        const ValueKind kind = m_kinds[i];
        if (kind != ValueKind::Text &&
            (kind != ValueKind::Any || sqlite3_column_type(m_stmt, i) != SQLITE_TEXT)) {
            out = valueAt(i, kind).toString();
            return;
        }
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
        const int bytes = sqlite3_column_bytes(m_stmt, i);
        out.resize(bytes);
        if (bytes > 0)
            out.truncate(DecodeUtf8(p, bytes, reinterpret_cast<char16_t *>(out.data())));
    }

    // As value() gives them, with the common cases stored without a QVariant in between.
    void appendRow(RowStore &rows) const override
    {
        const int n = int(m_kinds.size());
        const ValueKind *kinds = m_kinds.constData();
        for (int i = 0; i < n; ++i) {
            const int storage = sqlite3_column_type(m_stmt, i);
            const ValueKind kind = kinds[i];
            if (storage == SQLITE_NULL)
                rows.appendNull(i);
            else if (kind == ValueKind::Integer && storage == SQLITE_INTEGER)
                rows.appendInteger(i, sqlite3_column_int64(m_stmt, i));
            else if ((kind == ValueKind::Float || kind == ValueKind::Date) &&
                     (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT))
                rows.appendDouble(i, sqlite3_column_double(m_stmt, i));
            else if (kind == ValueKind::Text)
                rows.appendUtf8(i, reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i)),
                                sqlite3_column_bytes(m_stmt, i));
            else
                rows.append(i, valueAt(i, kind));
        }
        rows.endRow();
    }

    int rowsAffected() const override { return m_changes; }

private:
    QVariant valueAt(int i, ValueKind kind) const
    {
        const int storage = sqlite3_column_type(m_stmt, i);
        if (storage == SQLITE_NULL)
            return QVariant();
        switch (kind) {
        case ValueKind::Integer:
            if (storage == SQLITE_INTEGER)
                return qlonglong(sqlite3_column_int64(m_stmt, i));
            break;
        case ValueKind::Float:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return sqlite3_column_double(m_stmt, i);
            break;
        case ValueKind::Date:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return sqlite3_column_double(m_stmt, i);
            return SqlDialect::fromDriverValue(FieldType::DateTime, utf8Text(i));
        case ValueKind::Boolean:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return sqlite3_column_double(m_stmt, i) != 0;
            return SqlDialect::fromDriverValue(FieldType::Boolean, utf8Text(i));
        case ValueKind::Text:
            return utf8Text(i);
        case ValueKind::Bytes:
            break;
        case ValueKind::Any:
            break;
        }
        switch (storage) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(m_stmt, i));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_stmt, i);
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, i)),
                              sqlite3_column_bytes(m_stmt, i));
        default:
            return utf8Text(i);
        }
    }

    QString utf8Text(int i) const
    {
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
        const int bytes = sqlite3_column_bytes(m_stmt, i);
        if (bytes == 0)
            return QString::fromUtf8(p, 0);
        // As a static cursor keeps its texts, a leading byte order mark included.
        QString text(bytes, Qt::Uninitialized);
        text.truncate(DecodeUtf8(p, bytes, reinterpret_cast<char16_t *>(text.data())));
        return text;
    }

    void step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) {
            m_hasRow = true;
            return;
        }
        m_hasRow = false;
        if (rc != SQLITE_DONE) {
            const DbError error = m_backend->lastError();
            sqlite3_reset(m_stmt);
            throw error;
        }
    }

    void bind(int index, const QVariant &v)
    {
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(m_stmt, index);
        } else {
            switch (v.typeId()) {
            case QMetaType::LongLong: // what the datasets give, read without a conversion
                rc = sqlite3_bind_int64(m_stmt, index, *static_cast<const qlonglong *>(v.constData()));
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
            case QMetaType::Short:
                rc = sqlite3_bind_int64(m_stmt, index, v.toLongLong());
                break;
            case QMetaType::Bool:
                rc = sqlite3_bind_int(m_stmt, index, v.toBool() ? 1 : 0);
                break;
            case QMetaType::Double:
                rc = sqlite3_bind_double(m_stmt, index, *static_cast<const double *>(v.constData()));
                break;
            case QMetaType::Float:
                rc = sqlite3_bind_double(m_stmt, index, v.toDouble());
                break;
            case QMetaType::QDateTime:
                rc = sqlite3_bind_double(m_stmt, index, FromQDateTime(v.toDateTime()));
                break;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob(m_stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QString: {
                const QString &s = *static_cast<const QString *>(v.constData());
                if (char *out = textRoom(s)) {
                    const char *end = m_encoder.appendToBuffer(out, s);
                    m_textsUsed += end - out;
                    rc = sqlite3_bind_text(m_stmt, index, out, int(end - out), SQLITE_STATIC);
                    break;
                }
                rc = bindBytes(index, s.toUtf8());
                break;
            }
            default:
                rc = bindBytes(index, v.toString().toUtf8());
                break;
            }
        }
        if (rc != SQLITE_OK)
            throw m_backend->lastError();
    }

    // The bound texts live as long as the cursor, which unbinds them before it lets the statement go. They
    // are encoded one after the other into one buffer, sized once for them all so that it never moves.
    void reserveTexts(const QVariantList &params)
    {
        qsizetype room = 0;
        for (const QVariant &v : params)
            if (v.typeId() == QMetaType::QString)
                room += m_encoder.requiredSpace(static_cast<const QString *>(v.constData())->size());
        m_utf8.resize(room);
    }

    // Where a text's UTF-8 goes in the buffer; none for a text with surrogate code units, which the
    // encoder would write otherwise than QString::toUtf8 does for a lone one.
    char *textRoom(const QString &s)
    {
        for (const QChar c : s)
            if (c.isSurrogate())
                return nullptr;
        return m_utf8.data() + m_textsUsed;
    }

    int bindBytes(int index, QByteArray &&utf8)
    {
        m_texts.append(std::move(utf8));
        const QByteArray &s = m_texts.last();
        return sqlite3_bind_text(m_stmt, index, s.constData(), int(s.size()), SQLITE_STATIC);
    }

    SqliteBackend *m_backend;
    QString m_sql;
    sqlite3_stmt *m_stmt = nullptr;
    QList<ValueKind> m_kinds;
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    QVarLengthArray<char, 512> m_utf8;
    qsizetype m_textsUsed = 0;
    QVarLengthArray<QByteArray, 2> m_texts;
    bool m_hasRow = false;
    bool m_pending = false;
    int m_changes = -1;
};

// A parameter's value in the form the driver reads it during the execution.
struct OdbcParameter
{
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLLEN indicator = 0;
    union {
        SQLBIGINT integer;
        SQLINTEGER integer32;
        double number;
        unsigned char bit;
        SQL_TIMESTAMP_STRUCT timestamp;
        SQL_DATE_STRUCT date;
        SQL_TIME_STRUCT time;
    } value{};
    QString text;
    QByteArray bytes;

    // Types as Qt's own driver binds them, which the servers have been taking so far.
    explicit OdbcParameter(const QVariant &v)
    {
        const bool null = v.isNull();
        switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            value.integer = null ? 0 : v.toLongLong();
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
            cType = SQL_C_SLONG;
            sqlType = SQL_INTEGER;
            value.integer32 = null ? 0 : v.toInt();
            break;
        case QMetaType::Bool:
            cType = SQL_C_BIT;
            sqlType = SQL_BIT;
            value.bit = !null && v.toBool() ? 1 : 0;
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            value.number = null ? 0 : v.toDouble();
            break;
        case QMetaType::QDateTime: {
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            size = 23;
            digits = 3;
            const QDateTime d = v.toDateTime();
            if (!null && d.isValid()) {
                const QDate day = d.date();
                const QTime time = d.time();
                value.timestamp = {SQLSMALLINT(day.year()),           SQLUSMALLINT(day.month()),
                                   SQLUSMALLINT(day.day()),           SQLUSMALLINT(time.hour()),
                                   SQLUSMALLINT(time.minute()),       SQLUSMALLINT(time.second()),
                                   SQLUINTEGER(time.msec()) * 1000000};
            }
            break;
        }
        case QMetaType::QDate: {
            cType = SQL_C_TYPE_DATE;
            sqlType = SQL_TYPE_DATE;
            const QDate day = v.toDate();
            if (!null && day.isValid())
                value.date = {SQLSMALLINT(day.year()), SQLUSMALLINT(day.month()), SQLUSMALLINT(day.day())};
            break;
        }
        case QMetaType::QTime: {
            cType = SQL_C_TYPE_TIME;
            sqlType = SQL_TYPE_TIME;
            const QTime time = v.toTime();
            if (!null && time.isValid())
                value.time = {SQLUSMALLINT(time.hour()), SQLUSMALLINT(time.minute()),
                              SQLUSMALLINT(time.second())};
            break;
        }
        case QMetaType::QByteArray:
            cType = SQL_C_BINARY;
            sqlType = SQL_LONGVARBINARY;
            bytes = v.toByteArray();
            size = SQLULEN(qMax<qsizetype>(bytes.size(), 1));
            break;
        default:
            text = v.toString();
            size = SQLULEN(qMax<qsizetype>(text.size(), 1));
            sqlType = text.size() > 254 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            break;
        }
        if (null)
            indicator = SQL_NULL_DATA;
        else if (cType == SQL_C_BINARY)
            indicator = SQLLEN(bytes.size());
        else if (cType == SQL_C_WCHAR)
            indicator = SQLLEN(text.size() * 2);
    }

    SQLPOINTER buffer()
    {
        if (cType == SQL_C_BINARY)
            return bytes.data();
        if (cType == SQL_C_WCHAR)
            return text.data();
        return &value;
    }
    SQLLEN bufferLength() const
    {
        if (cType == SQL_C_BINARY)
            return SQLLEN(bytes.size());
        if (cType == SQL_C_WCHAR)
            return SQLLEN(text.size() * 2);
        return 0;
    }
};

class OdbcCursor : public DbCursor
{
public:
    OdbcCursor(OdbcBackend &backend, std::unique_ptr<OdbcStatement> statement, const QVariantList &params)
        : m_lease{&backend, std::move(statement)}
    {
        OdbcStatement &s = *m_lease.statement;
        m_stmt = s.handle;
        std::vector<OdbcParameter> values;
        values.reserve(size_t(params.size()));
        for (const QVariant &p : params)
            values.emplace_back(p);
        for (size_t i = 0; i < values.size(); ++i) {
            OdbcParameter &p = values[i];
            if (!SQL_SUCCEEDED(SQLBindParameter(m_stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, p.cType,
                                                p.sqlType, p.size, p.digits, p.buffer(), p.bufferLength(),
                                                &p.indicator)))
                throw backend.handleError(SQL_HANDLE_STMT, m_stmt);
        }
        ResponseWatch::Scope wait(backend.responseWatch());
        const SQLRETURN rc = SQLExecute(m_stmt);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            throw backend.handleError(SQL_HANDLE_STMT, m_stmt);
        SQLSMALLINT count = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_stmt, &count)))
            throw backend.handleError(SQL_HANDLE_STMT, m_stmt);
        m_select = count > 0;
        if (!m_select) {
            SQLLEN changed = -1;
            if (SQL_SUCCEEDED(SQLRowCount(m_stmt, &changed)))
                m_rowsAffected = int(changed);
            return;
        }
        describe(count, s.columns);
        m_columns = s.columns;
        m_row.resize(m_columns.size());
    }

    bool next() override
    {
        if (!m_select)
            return false;
        const SQLRETURN rc = SQLFetch(m_stmt);
        if (rc == SQL_NO_DATA) {
            m_select = false;
            return false;
        }
        if (!SQL_SUCCEEDED(rc))
            throw failure();
        for (int i = 0; i < m_columns.size(); ++i)
            m_row[i] = read(i);
        return true;
    }

    QVariant value(int i) const override { return m_row[i]; }
    DbScalar scalar(int i) const override { return ScalarOf(m_row[i]); }
    QString text(int i) const override { return m_row[i].toString(); }

    void appendRow(RowStore &rows) const override
    {
        for (int i = 0; i < m_row.size(); ++i)
            rows.append(i, std::move(m_row[i]));
        rows.endRow();
    }

    int rowsAffected() const override { return m_rowsAffected; }

private:
    // Name, type and size as Qt's driver took them (the length 0 as -1), and the driver's counter flag.
    // Asked again at every run, as another connection may have changed a table under the same text, but
    // the kept columns stay when nothing changed, which is the common case and allocates nothing.
    void describe(SQLSMALLINT count, QList<DbColumn> &columns) const
    {
        if (columns.size() != count)
            columns.resize(count);
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            SQLWCHAR name[256];
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            if (!SQL_SUCCEEDED(SQLDescribeColW(m_stmt, i, name, SQLSMALLINT(std::size(name)), &nameLength,
                                               &type, &size, &digits, &nullable)))
                throw failure();
            SQLLEN autoValue = SQL_FALSE;
            SQLColAttributeW(m_stmt, i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &autoValue);
            DbColumn &c = columns[i - 1];
            c.type = SqlDialect::fieldTypeOfOdbcType(type, size == 0 ? -1 : int(size), autoValue == SQL_TRUE,
                                                     &c.size);
            const QStringView text(reinterpret_cast<const char16_t *>(name),
                                   qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
            if (c.name != text)
                c.name = text.toString();
        }
    }

    // Gives the handle back when the cursor goes, also when its constructor fails.
    struct Lease
    {
        OdbcBackend *backend;
        std::unique_ptr<OdbcStatement> statement;
        ~Lease()
        {
            if (statement)
                backend->returnStatement(std::move(statement));
        }
    };

    // The value of a column of the current row in the form the datasets hand out, read from the driver
    // in that form: Qt's own reading makes every date-time a local QDateTime first, which costs more than
    // the rest of the row, and the dataset turns it into a day serial again.
    QVariant read(int i)
    {
        const SQLUSMALLINT column = SQLUSMALLINT(i + 1);
        const FieldType type = m_columns[i].type;
        SQLLEN indicator = 0;
        SQLRETURN rc = SQL_SUCCESS;
        QVariant v;
        if (IsIntegerFieldType(type)) {
            SQLBIGINT n = 0;
            rc = SQLGetData(m_stmt, column, SQL_C_SBIGINT, &n, 0, &indicator);
            v = qlonglong(n);
        } else if (IsFloatFieldType(type)) {
            double d = 0;
            rc = SQLGetData(m_stmt, column, SQL_C_DOUBLE, &d, 0, &indicator);
            v = d;
        } else if (type == FieldType::DateTime) {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(m_stmt, column, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator);
            TDateTime date = 0, time = 0;
            if (TryEncodeDate(t.year, t.month, t.day, date))
                TryEncodeTime(t.hour, t.minute, t.second, int(t.fraction / 1000000), time);
            v = ComposeDateTime(date, time);
        } else if (type == FieldType::Date) {
            SQL_DATE_STRUCT d{};
            rc = SQLGetData(m_stmt, column, SQL_C_TYPE_DATE, &d, sizeof d, &indicator);
            TDateTime date = 0;
            TryEncodeDate(d.year, d.month, d.day, date);
            v = date;
        } else if (type == FieldType::Time) {
            SQL_TIME_STRUCT t{};
            rc = SQLGetData(m_stmt, column, SQL_C_TYPE_TIME, &t, sizeof t, &indicator);
            TDateTime time = 0;
            TryEncodeTime(t.hour, t.minute, t.second, 0, time);
            v = time;
        } else if (type == FieldType::Boolean) {
            unsigned char b = 0;
            rc = SQLGetData(m_stmt, column, SQL_C_BIT, &b, 0, &indicator);
            v = b != 0;
        } else {
            return readLong(column, type == FieldType::Blob || type == FieldType::Bytes ||
                                        type == FieldType::VarBytes);
        }
        if (!SQL_SUCCEEDED(rc))
            throw failure();
        return indicator == SQL_NULL_DATA ? QVariant() : v;
    }

    // Texts and bytes come in pieces as long as the driver has more.
    QVariant readLong(SQLUSMALLINT column, bool bytes)
    {
        static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
        SQLWCHAR buffer[1024];
        QString text = QStringLiteral("");
        QByteArray data("");
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_stmt, column, bytes ? SQL_C_BINARY : SQL_C_WCHAR, buffer,
                                            sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                throw failure();
            if (indicator == SQL_NULL_DATA)
                return QVariant();
            // A text piece that fills the buffer ends with the terminating zero.
            const qsizetype room = bytes ? qsizetype(sizeof buffer) : qsizetype(sizeof buffer) - 2;
            const qsizetype got =
                (indicator == SQL_NO_TOTAL || indicator > room) ? room : qsizetype(indicator);
            if (bytes)
                data.append(reinterpret_cast<const char *>(buffer), got);
            else
                text.append(reinterpret_cast<const QChar *>(buffer), got / 2);
            if (rc == SQL_SUCCESS)
                break;
        }
        return bytes ? QVariant(data) : QVariant(text);
    }

    DbError failure() const
    {
        QString state;
        const QString text = OdbcBackend::diagnostics(SQL_HANDLE_STMT, m_stmt, &state);
        if (text.isEmpty())
            return DbError(QStringLiteral("Драйвер ODBC не смог прочитать значение"));
        return m_lease.backend->serverError(text, state);
    }

    Lease m_lease;
    SQLHANDLE m_stmt = nullptr;
    bool m_select = false;
    mutable QList<QVariant> m_row; // the current row; a static cursor takes its values
    int m_rowsAffected = -1;
};

} // namespace

std::unique_ptr<DbCursor> DbBackend::executeJet(const QString &jetSql, const QVariantList &params)
{
    // Writers repeat one statement with new parameters: translate it once.
    if (jetSql != m_lastJet) {
        m_lastTranslated = m_dialect.translate(jetSql);
        m_lastJet = jetSql;
    }
    const QStringList statements = m_lastTranslated;
    if (isSchemaChange(jetSql)) {
        forgetTables();
        m_lastJet.clear();
    }
    std::unique_ptr<DbCursor> cursor;
    for (int i = 0; i < statements.size(); ++i) {
        cursor.reset();
        cursor = execute(statements[i], i + 1 == statements.size() ? params : QVariantList());
    }
    return cursor;
}

QHash<QString, int> DbBackend::columnLengths(const QString &storedName)
{
    auto it = m_lengths.constFind(storedName);
    if (it != m_lengths.cend())
        return *it;
    QHash<QString, int> lengths;
    if (m_dialect.backend() == SqlBackend::SQLite) {
        auto c =
            execute(QStringLiteral("PRAGMA table_info(%1)").arg(m_dialect.quoteIdentifier(storedName)), {});
        while (c->next()) {
            // Only a length the declaration states: a bare varchar is Jet's text of 255, but no limit here.
            const QString declared = c->value(2).toString();
            int size = 0;
            const FieldType type = SqlDialect::fieldTypeOfDeclaration(declared, &size);
            if ((type == FieldType::String || type == FieldType::FixedChar) && size > 0 &&
                declared.contains(QLatin1Char('(')))
                lengths.insert(c->value(1).toString().toLower(), size);
        }
    } else if (const QString sql = m_dialect.columnLengthsQuery(); !sql.isEmpty()) {
        auto c = execute(sql, {storedName});
        while (c->next())
            if (const int size = c->value(1).toInt(); size > 0)
                lengths.insert(c->value(0).toString().toLower(), size);
    }
    return *m_lengths.insert(storedName, lengths);
}

void DbBackend::queue(DbQueuedRows *writer)
{
    if (!m_line.contains(writer))
        m_line.append(writer);
    if (!m_waiting.contains(writer))
        m_waiting.append(writer);
}

void DbBackend::unqueue(DbQueuedRows *writer)
{
    m_line.removeOne(writer);
    m_waiting.removeOne(writer);
}

void DbBackend::sendQueued(DbQueuedRows *through)
{
    if (m_sending || (through && !m_waiting.contains(through)))
        return;
    m_sending = true;
    const auto done = qScopeGuard([this] {
        m_sending = false;
        releaseAdopted();
    });
    const QList<DbQueuedRows *> line = m_line;
    for (DbQueuedRows *writer : line) {
        if (m_waiting.removeOne(writer))
            writer->sendQueued();
        if (writer == through)
            break;
    }
}

void DbBackend::dropQueued()
{
    const QList<DbQueuedRows *> writers = std::exchange(m_waiting, {});
    m_line.clear();
    for (DbQueuedRows *writer : writers)
        writer->dropQueued();
    releaseAdopted();
}

void DbBackend::adopt(std::unique_ptr<DbQueuedRows> writer)
{
    if (m_waiting.contains(writer.get()))
        m_adopted.push_back(std::move(writer));
}

void DbBackend::releaseAdopted()
{
    std::erase_if(m_adopted,
                  [this](const std::unique_ptr<DbQueuedRows> &w) { return !m_waiting.contains(w.get()); });
}

SqliteBackend::~SqliteBackend()
{
    clearCache();
}

void SqliteBackend::clearCache()
{
    for (const Kept &k : std::as_const(m_cache))
        sqlite3_finalize(k.statement);
    m_cache.clear();
    if (m_lastStmt)
        sqlite3_finalize(m_lastStmt);
    m_lastStmt = nullptr;
    m_lastSql.clear();
}

sqlite3_stmt *SqliteBackend::takeStatement(const QString &sql)
{
    if (m_lastStmt && sql == m_lastSql) {
        sqlite3_stmt *s = m_lastStmt;
        m_lastStmt = nullptr;
        return s;
    }
    if (const auto kept = m_cache.constFind(sql); kept != m_cache.cend()) {
        sqlite3_stmt *s = kept->statement;
        m_cache.erase(kept);
        return s;
    }
    ++m_prepared;
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
        const DbError error = lastError();
        sqlite3_finalize(stmt);
        throw error;
    }
    if (!stmt)
        throw DbError(QStringLiteral("Пустая SQL-инструкция"));
    // Jet runs one statement at a time; a second one would be lost without a word.
    if (tail && QByteArray(tail).trimmed().replace(';', "").trimmed().size() > 0) {
        sqlite3_finalize(stmt);
        throw DbError(QStringLiteral(
            "После конца SQL-инструкции есть ещё символы: выполняется одна инструкция за раз"));
    }
    return stmt;
}

void SqliteBackend::returnStatement(const QString &sql, sqlite3_stmt *stmt)
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (isSchemaChange(sql)) {
        sqlite3_finalize(stmt);
        return;
    }
    // The statement just run is kept at hand; the one it displaces goes to the cache, which makes room
    // by the one least recently used, so that writers alternating between a few shapes keep them all
    // prepared whatever ran before.
    if (m_lastStmt) {
        if (m_cache.contains(m_lastSql)) {
            sqlite3_finalize(m_lastStmt);
        } else {
            if (m_cache.size() >= kKeptStatements) {
                auto oldest = m_cache.begin();
                for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
                    if (it->used < oldest->used)
                        oldest = it;
                sqlite3_finalize(oldest->statement);
                m_cache.erase(oldest);
            }
            m_cache.insert(m_lastSql, {m_lastStmt, ++m_uses});
        }
    }
    m_lastStmt = stmt;
    m_lastSql = sql;
}

std::unique_ptr<DbCursor> SqliteBackend::execute(const QString &sql, const QVariantList &params)
{
    if (isSchemaChange(sql)) {
        // A changed schema would fail the statements prepared against the old one.
        clearCache();
        forgetTables();
    }
    const LiftedStatement &l = lifted(sql);
    if (l.lifted())
        return std::make_unique<SqliteCursor>(this, l.text, l.parameters(params));
    return std::make_unique<SqliteCursor>(this, sql, params);
}

const LiftedStatement &DbBackend::lifted(const QString &sql)
{
    if (sql != m_liftedFrom) {
        m_lifted = LiftComparedLiterals(sql);
        m_liftedFrom = sql;
    }
    return m_lifted;
}

QStringList SqliteBackend::tables()
{
    QStringList names;
    auto c =
        execute(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name NOT "
                               "LIKE 'sqlite_%' ORDER BY name"),
                {});
    while (c->next())
        names << c->value(0).toString();
    return names;
}

const DbTableInfo &SqliteBackend::tableInfo(const QString &storedName)
{
    auto it = m_tables.find(storedName);
    if (it != m_tables.end())
        return *it;
    DbTableInfo info;
    info.name = storedName;
    QMap<int, QString> keys;
    QString integerKey;
    auto c = execute(QStringLiteral("PRAGMA table_info(%1)").arg(m_dialect.quoteIdentifier(storedName)), {});
    while (c->next()) {
        const QString name = c->value(1).toString();
        const QString type = c->value(2).toString().trimmed();
        info.columns << name;
        int size = 0;
        if (SqlDialect::fieldTypeOfDeclaration(type, &size) == FieldType::AutoInc)
            info.counters.insert(name);
        if (!c->value(4).isNull())
            info.defaults.insert(name);
        const int pk = c->value(5).toInt();
        if (pk > 0) {
            keys.insert(pk, name);
            if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                integerKey = name;
        }
    }
    info.keys = keys.values();
    // A lone INTEGER key is SQLite's rowid: it numbers itself like a counter.
    if (info.keys.size() == 1 && integerKey == info.keys.first()) {
        info.counters.insert(integerKey);
        info.rowidCounter = integerKey;
    }
    return *m_tables.insert(storedName, info);
}

std::unique_ptr<DbCursor> SqliteBackend::insertedRow(const QString &table)
{
    return execute(QStringLiteral("SELECT * FROM %1 WHERE rowid=?").arg(m_dialect.quoteIdentifier(table)),
                   {qlonglong(sqlite3_last_insert_rowid(m_db))});
}

QVariant SqliteBackend::lastInsertRowId()
{
    return qlonglong(sqlite3_last_insert_rowid(m_db));
}

void SqliteBackend::setLockWait(std::chrono::milliseconds wait, bool)
{
    m_place.lockWait = wait;
    sqlite3_busy_timeout(m_db, int(wait.count()));
}

DbError SqliteBackend::lastError() const
{
    return SqliteFailure(sqlite3_extended_errcode(m_db), QString::fromUtf8(sqlite3_errmsg(m_db)), m_place);
}

OdbcStatement::~OdbcStatement()
{
    if (handle)
        SQLFreeHandle(SQL_HANDLE_STMT, handle);
}

OdbcBackend::OdbcBackend(SqlBackend kind, const QSqlDatabase &db) : DbBackend(kind), m_db(db)
{
    const QVariant h = m_db.driver()->handle();
    if (h.isValid() && h.metaType() == QMetaType::fromType<SQLHANDLE>())
        m_dbc = *static_cast<const SQLHANDLE *>(h.constData());
}

OdbcBackend::~OdbcBackend()
{
    clearCache();
}

void OdbcBackend::clearCache()
{
    qDeleteAll(m_cache);
    m_cache.clear();
}

std::unique_ptr<OdbcStatement> OdbcBackend::takeStatement(const QString &sql)
{
    std::unique_ptr<OdbcStatement> s(m_cache.take(sql));
    if (!s) {
        if (!m_dbc)
            throw DbError(DbFault::Closed, QStringLiteral("Подключение к базе данных не открыто"));
        s = std::make_unique<OdbcStatement>();
        s->sql = sql;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &s->handle))) {
            s->handle = nullptr;
            throw handleError(SQL_HANDLE_DBC, m_dbc);
        }
        ++m_prepared;
        ResponseWatch::Scope wait(&m_watch);
        if (!SQL_SUCCEEDED(SQLPrepareW(s->handle,
                                       reinterpret_cast<SQLWCHAR *>(const_cast<QChar *>(sql.constData())),
                                       SQLINTEGER(sql.size()))))
            throw handleError(SQL_HANDLE_STMT, s->handle);
    }
    if (s->timeout != m_timeout) {
        SQLSetStmtAttr(s->handle, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_timeout)),
                       0);
        s->timeout = m_timeout;
    }
    return s;
}

void OdbcBackend::returnStatement(std::unique_ptr<OdbcStatement> statement)
{
    SQLFreeStmt(statement->handle, SQL_CLOSE);
    SQLFreeStmt(statement->handle, SQL_RESET_PARAMS);
    // A schema change is not run twice alike, and a lost connection has no use for handles. A text as long
    // as a batch of rows rarely comes again alike either.
    if (isSchemaChange(statement->sql) || m_watch.fired() || m_cache.contains(statement->sql) ||
        statement->sql.size() > kLongestKeptText)
        return;
    // Room is made by the handle least recently used, as on SQLite.
    if (m_cache.size() >= kKeptStatements) {
        auto oldest = m_cache.begin();
        for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
            if ((*it)->used < (*oldest)->used)
                oldest = it;
        delete *oldest;
        m_cache.erase(oldest);
    }
    statement->used = ++m_uses;
    OdbcStatement *kept = statement.release();
    m_cache.insert(kept->sql, kept);
}

std::unique_ptr<DbCursor> OdbcBackend::execute(const QString &sql, const QVariantList &params)
{
    sendQueuedBeforeStatement();
    if (isSchemaChange(sql)) {
        // A driver that prepares on the server would run kept handles against the old tables.
        clearCache();
        forgetTables();
    }
    const LiftedStatement &l = lifted(sql);
    if (l.lifted()) {
        const QVariantList values = l.parameters(params);
        return std::make_unique<OdbcCursor>(*this, takeStatement(l.text), values);
    }
    return std::make_unique<OdbcCursor>(*this, takeStatement(sql), params);
}

QString OdbcBackend::diagnostics(short handleType, void *handle, QString *sqlState)
{
    QStringList records;
    SQLWCHAR state[6];
    SQLWCHAR message[2048];
    for (SQLSMALLINT record = 1;; ++record) {
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, record, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            break;
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(message),
                                                qMin<qsizetype>(length, qsizetype(std::size(message)) - 1));
        if (record == 1 && sqlState)
            *sqlState = QString::fromUtf16(reinterpret_cast<const char16_t *>(state), 5);
        records << text;
    }
    return JoinDiagnostics(records);
}

DbError OdbcBackend::handleError(short handleType, void *handle)
{
    QString state;
    const QString text = diagnostics(handleType, handle, &state);
    return serverError(text, state);
}

DbError DbBackend::serverError(const QString &driverText, const QString &sqlState)
{
    const ResponseWatch *watch = responseWatch();
    if (watch && watch->fired())
        return DbError(DbFault::ConnectionLost, LostConnectionText(watch->timeout()));
    if (!sqlState.isEmpty())
        return OdbcFailure(sqlState, driverText, m_place);
    return DriverTextFailure(driverText, m_place);
}

// As Qt's driver runs them, on the connection handle itself, so the driver's report is read whole.
void OdbcBackend::beginTransaction()
{
    if (!m_dbc)
        throw DbError(DbFault::Closed, QStringLiteral("Подключение к базе данных не открыто"));
    ResponseWatch::Scope wait(&m_watch);
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_AUTOCOMMIT_OFF)), 0)))
        throw handleError(SQL_HANDLE_DBC, m_dbc);
}

void OdbcBackend::endTransaction(bool commit)
{
    if (!m_dbc)
        throw DbError(DbFault::Closed, QStringLiteral("Подключение к базе данных не открыто"));
    ResponseWatch::Scope wait(&m_watch);
    const bool ended = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_dbc, commit ? SQL_COMMIT : SQL_ROLLBACK));
    const DbError failure = ended ? DbError(QString()) : handleError(SQL_HANDLE_DBC, m_dbc);
    // Back to a statement at a time whatever the end did, as the next write expects.
    SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_AUTOCOMMIT_ON)),
                      0);
    if (!ended)
        throw failure;
}

void OdbcBackend::setLockWait(std::chrono::milliseconds wait, bool explicitly)
{
    // Only PostgreSQL is known to take the setting; elsewhere the statement time-out ends the wait.
    if (!explicitly || m_dialect.backend() != SqlBackend::PostgreSql)
        return;
    execute(QStringLiteral("SET lock_timeout = %1").arg(wait.count()), {});
    m_place.lockWait = wait;
}

QStringList OdbcBackend::tables()
{
    ResponseWatch::Scope wait(&m_watch);
    QStringList names = m_db.tables(QSql::Tables) + m_db.tables(QSql::Views);
    names.sort(Qt::CaseInsensitive);
    return names;
}

const DbTableInfo &OdbcBackend::tableInfo(const QString &storedName)
{
    auto it = m_tables.find(storedName);
    if (it != m_tables.end())
        return *it;
    ResponseWatch::Scope wait(&m_watch);
    DbTableInfo info;
    info.name = storedName;
    const QString quoted = m_db.driver()->escapeIdentifier(storedName, QSqlDriver::TableName);
    const QSqlRecord r = m_db.record(quoted);
    for (int i = 0; i < r.count(); ++i) {
        info.columns << r.fieldName(i);
        if (r.field(i).isAutoValue())
            info.counters.insert(r.fieldName(i));
    }
    const QSqlIndex pk = m_db.primaryIndex(quoted);
    for (int i = 0; i < pk.count(); ++i)
        info.keys << pk.fieldName(i);
    const QString counters = m_dialect.counterColumnsQuery();
    if (!counters.isEmpty()) {
        auto c = execute(counters, {storedName});
        while (c->next())
            info.counters.insert(c->value(0).toString());
    }
    return *m_tables.insert(storedName, info);
}

std::unique_ptr<DbCursor> OdbcBackend::insertedRow(const QString &)
{
    return nullptr;
}

QString OdbcBackend::dbmsName(const QSqlDatabase &db)
{
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || h.metaType() != QMetaType::fromType<SQLHANDLE>())
        return QString();
    SQLHANDLE dbc = *static_cast<const SQLHANDLE *>(h.constData());
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &length)))
        return QString();
    return QString::fromLatin1(reinterpret_cast<const char *>(name));
}
