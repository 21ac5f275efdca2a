#pragma once

#include "db/db_backend.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

class DbConnection;

// The row of a batch the database refused: the driver's text for that row alone, its table (as stored)
// and the tag its writer gave it, so the writer names the row as it would have named it sent alone.
class DbBatchError : public DbError
{
public:
    DbBatchError(const QString &message, const QString &table, qint64 tag)
        : DbError(message), m_table(table), m_tag(tag)
    {}
    DbBatchError(const DbError &error, const QString &table, qint64 tag)
        : DbError(error), m_table(table), m_tag(tag)
    {}
    const QString &table() const { return m_table; }
    qint64 tag() const { return m_tag; }

private:
    QString m_table;
    qint64 m_tag;
};

// Rows inserted into one table. Inside a transaction on PostgreSQL they wait and go many to one INSERT:
// a round trip to a server on the network costs more than the rows it carries. They go when the batch is
// full, when another statement of the connection runs, at the commit, or when asked (see DbQueuedRows),
// always in the order they came. A row leaves a column out with an invalid value: the column takes its
// default, as in an insert that does not name it (DEFAULT stands among the values). A batch the server
// refuses is run again row by row (the driver rolls a failed statement back, not the transaction), so the
// error names the row at fault with its own message. Elsewhere (SQLite files, other servers, outside a
// transaction) every row is its own insert at once, naming its columns: a prepared insert per row is the
// quicker way on a file, and the error comes with the row as before.
class DbInsertBatch : public DbQueuedRows
{
public:
    // How the table and columns are written: as Jet statements write them ("[Станционный бюллетень]",
    // "[Date]", "\"comment\""), or as the database stores them.
    enum class Names { Jet, Stored };
    DbInsertBatch(DbConnection &connection, const QString &table, const QStringList &columns,
                  Names names = Names::Jet);
    ~DbInsertBatch() override;
    DbInsertBatch(const DbInsertBatch &) = delete;
    DbInsertBatch &operator=(const DbInsertBatch &) = delete;

    // Columns each row hands back once it is in the table ("*" for all), given with its tag to onRow; only
    // where the server returns rows from an insert (PostgreSQL), else nothing comes back.
    void setReturning(const QStringList &columns, std::function<void(qint64 tag, const DbCursor &row)> onRow);
    // Told the tag of the first row that is not in the table when a send fails or the rows waiting are
    // dropped: that row and every one after it.
    void setOnLost(std::function<void(qint64 tag)> onLost) { m_onLost = std::move(onLost); }
    // Rows one statement carries at most; 1 sends every row at once.
    void setCapacity(int rows) { m_capacity = qMax(rows, 1); }

    // Values in the driver's forms, one per column, an invalid QVariant for a column left out. DbBatchError
    // with the tag when the row goes at once and is refused; rows sent with it raise theirs. A text longer
    // than its column holds is refused here, on every back end, before the row is taken.
    void add(const QVariantList &values, qint64 tag);
    // The same, the values moved out of values.
    void add(QVariantList &&values, qint64 tag);
    // Sends the rows waiting here, and first those that other writers of the connection hold back.
    void send();
    int waiting() const { return int(m_tags.size()); }

    void sendQueued() override;
    void dropQueued() override;

    static constexpr int kDefaultCapacity = 1000;
    // The driver numbers parameters in 16 bits; a statement stays well within.
    static constexpr int kMaxParameters = 30000;

private:
    template <typename Values> void addRow(Values &&values, qint64 tag);
    bool waits() const;
    DbBackend &backend() const;
    QString statement(qsizetype from, qsizetype to);
    QString build(qsizetype from, qsizetype to) const;
    QVariantList parameters(qsizetype from, qsizetype to) const;
    void run(qsizetype from, qsizetype to);
    void clear();
    template <typename Values> void requireLengths(const Values &values, qint64 tag);

    QPointer<DbConnection> m_connection;
    QString m_tableName; // as stored
    QString m_table;     // quoted for the statements
    QStringList m_columns;
    QStringList m_storedColumns;
    QList<int> m_limits; // per column: the characters its text may have, 0 for any; read at the first row
    bool m_limitsRead = false;
    QString m_returning; // " RETURNING ..." or empty
    std::function<void(qint64, const DbCursor &)> m_onRow;
    std::function<void(qint64)> m_onLost;
    int m_capacity = kDefaultCapacity;

    // The rows waiting: per row its tag and where its values begin; a flag per row and column.
    std::vector<qint64> m_tags;
    std::vector<qsizetype> m_firstValue;
    std::vector<char> m_present;
    QVariantList m_values;
    QHash<QByteArray, QString> m_single; // statements of a row sent alone, by the columns it gives
};
