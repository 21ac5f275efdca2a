#pragma once

#include "db/db_errors.h"
#include "db/response_watch.h"
#include "db/row_store.h"
#include "db/sql_dialect.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One column of a result set.
struct DbColumn
{
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0;
    QString baseTable; // where the driver tells (SQLite does)
    QString baseColumn;
};

// A running statement: the columns, then the rows one at a time.
class DbCursor
{
public:
    virtual ~DbCursor() = default;
    const QList<DbColumn> &columns() const { return m_columns; }
    virtual bool next() = 0;
    // The value of the current row in the form the datasets hand out.
    virtual QVariant value(int column) const = 0;
    // The same value as the typed field getters read it, and the text of a Text value.
    virtual DbScalar scalar(int column) const { return ScalarOf(value(column)); }
    virtual QString text(int column) const { return value(column).toString(); }
    // The same text written into out, whose room is reused.
    virtual void textInto(int column, QString &out) const { out = text(column); }
    // The current row appended to a static cursor's rows.
    virtual void appendRow(RowStore &rows) const
    {
        for (int i = 0; i < m_columns.size(); ++i)
            rows.append(i, value(i));
        rows.endRow();
    }
    virtual int rowsAffected() const = 0;

protected:
    QList<DbColumn> m_columns;
};

// What the datasets need to know to write a row back.
struct DbTableInfo
{
    QString name;
    QStringList columns;
    QStringList keys;
    QSet<QString> counters;
    QSet<QString> defaults; // SQLite: the columns with a default value
    QString rowidCounter;   // SQLite: the key counter that is the rowid
};

// Rows a writer holds back to send many in one statement (a batch of inserts). The runner sends them before
// any other statement of its connection, so that every statement sees them, and a commit sends them first; a
// rollback or a close drops them. Writers send in the order they first held rows back in the transaction,
// which is the order of their tables when rows refer to rows written before them.
class DbQueuedRows
{
public:
    virtual ~DbQueuedRows() = default;
    // Throws what the database said about the row at fault; the rows are gone from the queue either way.
    virtual void sendQueued() = 0;
    virtual void dropQueued() = 0;
};

// The statement runner of one open connection. Errors are thrown as DbError with the driver's text.
class DbBackend
{
public:
    explicit DbBackend(SqlBackend kind) : m_dialect(kind) {}
    virtual ~DbBackend() = default;
    const SqlDialect &dialect() const { return m_dialect; }

    // Runs one statement as the server takes it (already translated); params are driver values.
    virtual std::unique_ptr<DbCursor> execute(const QString &sql, const QVariantList &params) = 0;
    // Runs a Jet statement: translated, then every resulting statement in turn; the last one's cursor.
    std::unique_ptr<DbCursor> executeJet(const QString &jetSql, const QVariantList &params);
    virtual QStringList tables() = 0;
    virtual const DbTableInfo &tableInfo(const QString &storedName) = 0;
    // The columns of a table whose declared type bounds their text (varchar(n), char(n)): their names
    // in lower case and the characters they hold at most. A SQLite file keeps any text in any column,
    // and a server refuses it in words that name no column, so the writers check against these first.
    QHash<QString, int> columnLengths(const QString &storedName);
    // The stored row an insert has just made, for the counters and defaults; empty when unknown.
    virtual std::unique_ptr<DbCursor> insertedRow(const QString &table) = 0;
    // The rowid the last insert gave, where the server has one.
    virtual QVariant lastInsertRowId() { return QVariant(); }
    virtual void setCommandTimeout(int seconds) = 0;
    // A transaction on the connection, its failures in the system's words like any statement's.
    virtual void beginTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;
    // How long a statement waits for a lock another connection holds before it fails as busy. A server
    // is told only when Explicit; otherwise its own statement time-out ends the wait.
    virtual void setLockWait(std::chrono::milliseconds wait, bool explicitly) = 0;
    // The database as messages name it.
    void setDatabaseName(const QString &name) { m_place.database = name; }
    const DbErrorPlace &errorPlace() const { return m_place; }
    // The watch that bounds the waits for a server; none for a file.
    virtual ResponseWatch *responseWatch() { return nullptr; }
    // What to raise for a failed call to the server: a lost connection once the watch has cut it, else
    // the driver's report in the system's words (by its SQLSTATE, or its text where there is none).
    DbError serverError(const QString &driverText, const QString &sqlState = QString());
    // How many statements this connection has had the driver prepare; kept ones are not counted again.
    virtual qint64 statementsPrepared() const = 0;

    // How many prepared statements a connection keeps; past it the one least recently used goes.
    static constexpr int kKeptStatements = 64;

    // Whether inserts may wait to go many to a statement: a round trip to a server costs more than the
    // rows it carries. A SQLite file runs a prepared insert per row faster than it would read a long one.
    bool batchesInserts() const { return m_dialect.backend() == SqlBackend::PostgreSql; }
    // A writer that now holds rows back; it keeps its place in line until the transaction ends.
    void queue(DbQueuedRows *writer);
    // A writer that goes away.
    void unqueue(DbQueuedRows *writer);
    // Sends the rows of every writer in line up to and including through (all when null); nothing when
    // through holds none.
    void sendQueued(DbQueuedRows *through = nullptr);
    // Drops every row held back; the transaction they were for ends.
    void dropQueued();
    bool hasQueued() const { return !m_waiting.isEmpty(); }
    // Keeps a writer whose owner is gone until its rows are sent or dropped.
    void adopt(std::unique_ptr<DbQueuedRows> writer);

protected:
    // Called by the runners before each statement of their own: rows held back go first.
    void sendQueuedBeforeStatement()
    {
        if (!m_waiting.isEmpty() && !m_sending)
            sendQueued();
    }
    void forgetTables()
    {
        m_tables.clear();
        m_lengths.clear();
    }
    // The statement with its compared literals bound, for the statement caches; the last one is kept,
    // as writers repeat one text.
    const LiftedStatement &lifted(const QString &sql);
    QHash<QString, DbTableInfo> m_tables;
    QHash<QString, QHash<QString, int>> m_lengths;
    SqlDialect m_dialect;
    DbErrorPlace m_place;
    QString m_lastJet;
    QStringList m_lastTranslated;

private:
    QString m_liftedFrom;
    LiftedStatement m_lifted;
    void releaseAdopted();
    QList<DbQueuedRows *> m_line;    // every writer of the transaction, in order
    QList<DbQueuedRows *> m_waiting; // those holding rows now
    std::vector<std::unique_ptr<DbQueuedRows>> m_adopted;
    bool m_sending = false;
};

class SqliteBackend : public DbBackend
{
public:
    explicit SqliteBackend(sqlite3 *db) : DbBackend(SqlBackend::SQLite), m_db(db) {}
    ~SqliteBackend() override;
    std::unique_ptr<DbCursor> execute(const QString &sql, const QVariantList &params) override;
    QStringList tables() override;
    const DbTableInfo &tableInfo(const QString &storedName) override;
    std::unique_ptr<DbCursor> insertedRow(const QString &table) override;
    QVariant lastInsertRowId() override;
    void setCommandTimeout(int) override {}
    void beginTransaction() override { execute(QStringLiteral("BEGIN"), {}); }
    void commitTransaction() override { execute(QStringLiteral("COMMIT"), {}); }
    void rollbackTransaction() override { execute(QStringLiteral("ROLLBACK"), {}); }
    void setLockWait(std::chrono::milliseconds wait, bool explicitly) override;
    // The error SQLite reports for the last call on the handle.
    DbError lastError() const;

    sqlite3 *handle() const { return m_db; }
    // Prepared statements are kept by text: the writes of a dataset repeat the same few statements, and
    // statements that differ only in compared literals run as one text with those bound.
    sqlite3_stmt *takeStatement(const QString &sql);
    void returnStatement(const QString &sql, sqlite3_stmt *stmt);
    qint64 statementsPrepared() const override { return m_prepared; }

private:
    void clearCache();

    struct Kept
    {
        sqlite3_stmt *statement;
        quint64 used; // when it was last given back
    };
    sqlite3 *m_db;
    qint64 m_prepared = 0;
    quint64 m_uses = 0;
    QHash<QString, Kept> m_cache;
    QString m_lastSql;
    sqlite3_stmt *m_lastStmt = nullptr;
};

// A statement handle of an ODBC connection, prepared for one text, and the columns its result had last.
struct OdbcStatement
{
    OdbcStatement() = default;
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement &) = delete;
    OdbcStatement &operator=(const OdbcStatement &) = delete;

    void *handle = nullptr; // SQLHSTMT
    QString sql;
    int timeout = 0; // the query time-out set on the handle
    QList<DbColumn> columns;
    quint64 used = 0; // when it was last given back
};

// Runs statements on the driver's own handles: Qt's driver allocated, prepared and described every
// statement anew, which on a server cost more of the client's time than reading the rows.
class OdbcBackend : public DbBackend
{
public:
    OdbcBackend(SqlBackend kind, const QSqlDatabase &db);
    ~OdbcBackend() override;
    std::unique_ptr<DbCursor> execute(const QString &sql, const QVariantList &params) override;
    QStringList tables() override;
    const DbTableInfo &tableInfo(const QString &storedName) override;
    std::unique_ptr<DbCursor> insertedRow(const QString &table) override;
    void setCommandTimeout(int seconds) override { m_timeout = seconds; }
    void beginTransaction() override;
    void commitTransaction() override { endTransaction(true); }
    void rollbackTransaction() override { endTransaction(false); }
    void setLockWait(std::chrono::milliseconds wait, bool explicitly) override;
    ResponseWatch *responseWatch() override { return &m_watch; }

    // The DBMS name the driver reports (SQL_DBMS_NAME).
    static QString dbmsName(const QSqlDatabase &db);

    // Statement handles are kept by text, as on SQLite; a handle in use is out of the cache.
    std::unique_ptr<OdbcStatement> takeStatement(const QString &sql);
    void returnStatement(std::unique_ptr<OdbcStatement> statement);
    qint64 statementsPrepared() const override { return m_prepared; }
    // The text of the driver's diagnostics for a handle, every record of it once, and the SQLSTATE of
    // the first record.
    static QString diagnostics(short handleType, void *handle, QString *sqlState = nullptr);
    // The error for a failed call on a handle.
    DbError handleError(short handleType, void *handle);

private:
    void clearCache();
    void endTransaction(bool commit);

    QSqlDatabase m_db;
    void *m_dbc = nullptr; // SQLHDBC of m_db
    int m_timeout = 0;
    qint64 m_prepared = 0;
    quint64 m_uses = 0;
    QHash<QString, OdbcStatement *> m_cache;
    ResponseWatch m_watch;
};
