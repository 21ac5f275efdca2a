#include "db/insert_batch.h"

#include "db/db_connection.h"

#include <QScopeGuard>

DbInsertBatch::DbInsertBatch(DbConnection &connection, const QString &table, const QStringList &columns,
                             Names names)
    : m_connection(&connection)
{
    const SqlDialect &d = connection.backend().dialect();
    const auto stored = [&](const QString &name) { return names == Names::Jet ? d.storedName(name) : name; };
    m_tableName = stored(table);
    m_table = d.quoteIdentifier(m_tableName);
    for (const QString &c : columns) {
        m_storedColumns << stored(c);
        m_columns << d.quoteIdentifier(m_storedColumns.last());
    }
}

DbInsertBatch::~DbInsertBatch()
{
    // Rows still waiting belong to a write that failed on the way: its transaction is rolled back.
    if (m_connection && m_connection->Connected())
        m_connection->backend().unqueue(this);
}

void DbInsertBatch::setReturning(const QStringList &columns,
                                 std::function<void(qint64 tag, const DbCursor &row)> onRow)
{
    m_returning.clear();
    m_single.clear();
    m_onRow = std::move(onRow);
    if (columns.isEmpty() || !backend().dialect().insertReturnsRow())
        return;
    QStringList names;
    for (const QString &c : columns)
        names << (c == QLatin1String("*") ? c : backend().dialect().quoteIdentifier(c));
    m_returning = QLatin1String(" RETURNING ") + names.join(QLatin1Char(','));
}

DbBackend &DbInsertBatch::backend() const
{
    if (!m_connection)
        throw DbError(DbFault::Closed, QStringLiteral("Не задано подключение к базе данных"));
    return m_connection->backend();
}

bool DbInsertBatch::waits() const
{
    return m_capacity > 1 && m_connection && m_connection->InTransaction() && backend().batchesInserts();
}

void DbInsertBatch::add(const QVariantList &values, qint64 tag)
{
    addRow(values, tag);
}

void DbInsertBatch::add(QVariantList &&values, qint64 tag)
{
    addRow(std::move(values), tag);
}

template <typename Values> void DbInsertBatch::requireLengths(const Values &values, qint64 tag)
{
    if (!m_limitsRead) {
        const QHash<QString, int> lengths = backend().columnLengths(m_tableName);
        for (const QString &c : std::as_const(m_storedColumns))
            m_limits << lengths.value(c.toLower(), 0);
        m_limitsRead = true;
    }
    for (qsizetype c = 0; c < m_limits.size() && c < values.size(); ++c) {
        const int limit = m_limits[c];
        if (limit <= 0 || values[c].typeId() != QMetaType::QString)
            continue;
        const QString text = values[c].toString();
        // Blanks past the end are dropped by a server as the standard has it.
        qsizetype n = text.size();
        while (n > limit && text.at(n - 1) == QLatin1Char(' '))
            --n;
        if (n > limit)
            throw DbBatchError(TooLongError(m_tableName, m_storedColumns[c], text.left(n), limit),
                               m_tableName, tag);
    }
}

template <typename Values> void DbInsertBatch::addRow(Values &&values, qint64 tag)
{
    requireLengths(values, tag);
    const qsizetype n = m_columns.size();
    qsizetype given = 0;
    for (qsizetype c = 0; c < n; ++c)
        given += c < values.size() && values[c].isValid() ? 1 : 0;
    const bool wait = waits();
    if (wait && !m_tags.empty() && m_values.size() + given > kMaxParameters)
        send();
    m_tags.push_back(tag);
    m_firstValue.push_back(m_values.size());
    for (qsizetype c = 0; c < n; ++c) {
        const bool present = c < values.size() && values[c].isValid();
        m_present.push_back(present ? 1 : 0);
        if (present) {
            if constexpr (std::is_const_v<std::remove_reference_t<Values>>)
                m_values.append(values[c]);
            else
                m_values.append(std::move(values[c]));
        }
    }
    if (!wait) {
        // The row goes alone, naming only its columns, as writers always sent it.
        const auto done = qScopeGuard([this] { clear(); });
        run(0, 1);
        return;
    }
    if (m_tags.size() == 1)
        backend().queue(this);
    if (qsizetype(m_tags.size()) >= m_capacity)
        send();
}

void DbInsertBatch::send()
{
    if (m_tags.empty())
        return;
    backend().sendQueued(this);
}

void DbInsertBatch::clear()
{
    m_tags.clear();
    m_firstValue.clear();
    m_present.clear();
    m_values.clear();
}

void DbInsertBatch::dropQueued()
{
    const qint64 first = m_tags.empty() ? -1 : m_tags.front();
    clear();
    if (first >= 0 && m_onLost)
        m_onLost(first);
}

void DbInsertBatch::sendQueued()
{
    // Whatever happens the rows are no longer waiting.
    const auto done = qScopeGuard([this] { clear(); });
    const qsizetype rows = qsizetype(m_tags.size());
    if (rows == 0)
        return;
    qsizetype at = 0;
    try {
        try {
            run(0, rows);
            return;
        } catch (const DbError &) {
            const ResponseWatch *watch = backend().responseWatch();
            if (rows == 1 || (watch && watch->fired()))
                throw;
        }
        // The statement failed as a whole and nothing of it stayed: the rows again one by one, until the
        // one the database refuses.
        for (; at < rows; ++at)
            run(at, at + 1);
    } catch (const DbError &) {
        if (m_onLost)
            m_onLost(m_tags[size_t(at)]);
        throw;
    }
}

QString DbInsertBatch::statement(qsizetype from, qsizetype to)
{
    const qsizetype n = m_columns.size();
    if (to - from == 1) {
        // Rows sent alone come in a few shapes, again and again.
        const QByteArray shape(m_present.data() + from * n, n);
        QString &sql = m_single[shape];
        if (sql.isEmpty())
            sql = build(from, to);
        return sql;
    }
    return build(from, to);
}

QString DbInsertBatch::build(qsizetype from, qsizetype to) const
{
    const qsizetype n = m_columns.size();
    // Only the columns some row gives are named; the others take their defaults anyway.
    std::vector<char> used(size_t(n), 0);
    for (qsizetype r = from; r < to; ++r)
        for (qsizetype c = 0; c < n; ++c)
            used[size_t(c)] |= m_present[size_t(r * n + c)];
    QString sql = QLatin1String("INSERT INTO ") + m_table;
    QString names;
    for (qsizetype c = 0; c < n; ++c)
        if (used[size_t(c)])
            names += (names.isEmpty() ? QString() : QStringLiteral(",")) + m_columns[c];
    if (names.isEmpty()) {
        sql += QLatin1String(" DEFAULT VALUES");
    } else {
        sql += QLatin1String(" (") + names + QLatin1String(") VALUES ");
        sql.reserve(sql.size() + (to - from) * (n * 2 + 3));
        for (qsizetype r = from; r < to; ++r) {
            if (r > from)
                sql += QLatin1Char(',');
            sql += QLatin1Char('(');
            bool first = true;
            for (qsizetype c = 0; c < n; ++c) {
                if (!used[size_t(c)])
                    continue;
                if (!first)
                    sql += QLatin1Char(',');
                first = false;
                sql += m_present[size_t(r * n + c)] ? QLatin1String("?") : QLatin1String("DEFAULT");
            }
            sql += QLatin1Char(')');
        }
    }
    return sql + m_returning;
}

QVariantList DbInsertBatch::parameters(qsizetype from, qsizetype to) const
{
    const qsizetype first = m_firstValue[size_t(from)];
    const qsizetype last = to < qsizetype(m_firstValue.size()) ? m_firstValue[size_t(to)] : m_values.size();
    return m_values.mid(first, last - first);
}

void DbInsertBatch::run(qsizetype from, qsizetype to)
{
    DbBackend &b = backend();
    try {
        std::unique_ptr<DbCursor> cursor = b.execute(statement(from, to), parameters(from, to));
        if (m_returning.isEmpty() || !m_onRow)
            return;
        for (qsizetype r = from; r < to; ++r) {
            if (!cursor->next())
                throw DbError(QStringLiteral("Сервер вернул меньше добавленных записей, чем получил"));
            m_onRow(m_tags[size_t(r)], *cursor);
        }
    } catch (const DbBatchError &) {
        throw;
    } catch (const DbError &e) {
        if (to - from > 1)
            throw;
        throw DbBatchError(e.message(), m_tableName, m_tags[size_t(from)]);
    }
}
