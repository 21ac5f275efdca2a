#include "db/db_backend.h"

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QVarLengthArray>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

namespace {

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
            return SqlDialect::fromDriverValue(FieldType::DateTime, text(i));
        case ValueKind::Boolean:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return sqlite3_column_double(m_stmt, i) != 0;
            return SqlDialect::fromDriverValue(FieldType::Boolean, text(i));
        case ValueKind::Text:
            return text(i);
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
            return text(i);
        }
    }

    QString text(int i) const
    {
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
        return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, i));
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
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_backend->handle()));
            sqlite3_reset(m_stmt);
            throw DbError(message);
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
            default: {
                // The bytes live as long as the cursor, which unbinds them before it lets the statement go.
                m_texts.append(v.toString().toUtf8());
                const QByteArray &s = m_texts.last();
                rc = sqlite3_bind_text(m_stmt, index, s.constData(), int(s.size()), SQLITE_STATIC);
                break;
            }
            }
        }
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_backend->handle()));
            throw DbError(message);
        }
    }

    SqliteBackend *m_backend;
    QString m_sql;
    sqlite3_stmt *m_stmt = nullptr;
    QList<ValueKind> m_kinds;
    QVarLengthArray<QByteArray, 8> m_texts;
    bool m_hasRow = false;
    bool m_pending = false;
    int m_changes = -1;
};

QString queryError(const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

class OdbcCursor : public DbCursor
{
public:
    OdbcCursor(OdbcBackend &backend, const QSqlDatabase &db, const QString &sql, const QVariantList &params,
               int timeout)
        : m_query(db)
    {
        ResponseWatch::Scope wait(backend.responseWatch());
        m_query.setForwardOnly(true);
        if (!m_query.prepare(sql))
            throw backend.serverError(queryError(m_query));
        if (timeout > 0) {
            const QVariant h = m_query.result()->handle();
            if (h.isValid() && h.metaType() == QMetaType::fromType<SQLHANDLE>()) {
                SQLHANDLE stmt = *static_cast<const SQLHANDLE *>(h.constData());
                SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(timeout)),
                               0);
            }
        }
        for (const QVariant &p : params)
            m_query.addBindValue(p);
        if (!m_query.exec())
            throw backend.serverError(queryError(m_query));
        const QSqlRecord r = m_query.record();
        for (int i = 0; i < r.count(); ++i) {
            const QSqlField f = r.field(i);
            DbColumn c;
            c.name = f.name();
            c.type = SqlDialect::fieldTypeOfOdbcType(f.typeID(), f.length(), f.isAutoValue(), &c.size);
            m_columns.append(c);
        }
        m_rowsAffected = m_query.isSelect() ? -1 : m_query.numRowsAffected();
        m_select = m_query.isSelect();
        const QVariant h = m_query.result()->handle();
        if (h.isValid() && h.metaType() == QMetaType::fromType<SQLHANDLE>())
            m_stmt = *static_cast<const SQLHANDLE *>(h.constData());
        m_row.resize(m_columns.size());
    }

    bool next() override
    {
        if (!m_select || !m_query.next())
            return false;
        for (int i = 0; i < m_columns.size(); ++i)
            m_row[i] = m_stmt ? read(i) : SqlDialect::fromDriverValue(m_columns[i].type, m_query.value(i));
        return true;
    }

    QVariant value(int i) const override { return m_row[i]; }

    void appendRow(RowStore &rows) const override
    {
        for (int i = 0; i < m_row.size(); ++i)
            rows.append(i, std::move(m_row[i]));
        rows.endRow();
    }

    int rowsAffected() const override { return m_rowsAffected; }

private:
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
            throw DbError(diagnostics());
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
                throw DbError(diagnostics());
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

    QString diagnostics() const
    {
        SQLWCHAR state[6], message[1024];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, m_stmt, 1, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            return QStringLiteral("The driver could not read a value");
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(message),
                                  qMin<qsizetype>(length, qsizetype(std::size(message)) - 1));
    }

    QSqlQuery m_query;
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

SqliteBackend::~SqliteBackend()
{
    clearCache();
}

void SqliteBackend::clearCache()
{
    for (sqlite3_stmt *s : std::as_const(m_cache))
        sqlite3_finalize(s);
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
    if (sqlite3_stmt *cached = m_cache.take(sql))
        return cached;
    ++m_prepared;
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(stmt);
        throw DbError(message);
    }
    if (!stmt)
        throw DbError(QStringLiteral("The statement is empty"));
    // Jet runs one statement at a time; a second one would be lost without a word.
    if (tail && QByteArray(tail).trimmed().replace(';', "").trimmed().size() > 0) {
        sqlite3_finalize(stmt);
        throw DbError(QStringLiteral("Characters found after end of SQL statement."));
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
    // The statement just run is kept at hand; the one it displaces goes to the cache.
    if (m_lastStmt) {
        if (m_cache.size() >= 64 || m_cache.contains(m_lastSql))
            sqlite3_finalize(m_lastStmt);
        else
            m_cache.insert(m_lastSql, m_lastStmt);
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
    if (sql != m_liftedFrom) {
        m_lifted = LiftComparedLiterals(sql);
        m_liftedFrom = sql;
    }
    if (m_lifted.lifted())
        return std::make_unique<SqliteCursor>(this, m_lifted.text, m_lifted.parameters(params));
    return std::make_unique<SqliteCursor>(this, sql, params);
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

void SqliteBackend::setCommandTimeout(int seconds)
{
    sqlite3_busy_timeout(m_db, seconds * 1000);
}

std::unique_ptr<DbCursor> OdbcBackend::execute(const QString &sql, const QVariantList &params)
{
    return std::make_unique<OdbcCursor>(*this, m_db, sql, params, m_timeout);
}

DbError DbBackend::serverError(const QString &driverText)
{
    const ResponseWatch *watch = responseWatch();
    return DbError(watch && watch->fired() ? LostConnectionText(watch->timeout()) : driverText);
}

QString LostConnectionText(std::chrono::milliseconds waited)
{
    return QStringLiteral("Communication link failure: the database server did not answer within %1 s; "
                          "the connection is lost.")
        .arg(double(waited.count()) / 1000.0);
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
