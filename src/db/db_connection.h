#pragma once

#include "db/db_backend.h"
#include "lib/dataset_api.h"

#include <QObject>
#include <QSqlDatabase>

#include <chrono>
#include <functional>
#include <memory>

// A connection as the system opens it: a provider name ("MSDASQL", "OraOLEDB.Oracle",
// "Microsoft.Jet.OLEDB.4.0"), a connection string holding "Data Source=..." and optionally
// ";Mode=ReadWrite" or ";Mode=Read", and a user and password given at open.
//   Jet: the source is a SQLite file (QSQLITE); it must exist.
//   MSDASQL: the source is a DSN, or a whole ODBC connection string when it holds "="; a source that is
//   the path of an existing SQLite file opens that file directly (the demo ORX database).
//   OraOLEDB.Oracle: the source goes to ODBC as well.
class DbConnection : public QObject, public TConnection
{
    Q_OBJECT
public:
    explicit DbConnection(QObject *parent = nullptr);
    ~DbConnection() override;

    QString Provider() const { return m_provider; }
    void SetProvider(const QString &provider) { m_provider = provider; }
    QString ConnectionString() const override { return m_connectionString; }
    void SetConnectionString(const QString &text) override { m_connectionString = text; }
    // The value after "Data Source=", without its double quotes.
    QString DataSource() const;
    QString Mode() const;

    bool Connected() const override { return m_backend != nullptr; }
    void Open() override; // with the user and password of the last open (none at first)
    void Open(const QString &user, const QString &password);
    void Close() override;
    // Opens the connection anew on the same source, user and password, for a server that dropped it: its
    // datasets stay open, with their rows and the edit pending in them, to be written over the new link.
    // When the open fails (DbError) the connection is closed and the datasets still stay.
    void Reconnect();

    // Seconds; 0 leaves the driver's default. Apply to the next open and the next statements.
    int ConnectionTimeout() const { return m_connectionTimeout; }
    void SetConnectionTimeout(int seconds) { m_connectionTimeout = seconds; }
    int CommandTimeout() const { return m_commandTimeout; }
    void SetCommandTimeout(int seconds);
    // Seconds a statement waits for a lock another program or window holds before it fails, saying so;
    // 0: the command time-out (30 s where none is set). Applies at once and to the next opens.
    int LockTimeout() const { return m_lockTimeout; }
    void SetLockTimeout(int seconds);
    // How long the client waits for a database server's answer before it gives the connection up as
    // lost; the server's own command time-out cannot end a wait for a server that has stopped answering.
    // 0: the command time-out (ADO's 30 s where none is set) and a margin. Applies from the next open.
    std::chrono::milliseconds ResponseTimeout() const;
    void SetResponseTimeout(std::chrono::milliseconds timeout) { m_responseTimeout = timeout; }

    // Sends the rows writers hold back to send many to a statement (see DbQueuedRows); DbBatchError
    // names the row refused.
    void SendWaitingRows();

    void BeginTrans() override;
    void CommitTrans() override;
    void RollbackTrans() override;
    bool InTransaction() const { return m_inTransaction; }

    // Runs Write, which changes rows of Table and gives how many, so that it can be undone: under a
    // savepoint inside a transaction, else in a transaction of its own. When it changed no row or more
    // than one, or failed, what it did is undone before the failure is raised (RowNotWrittenError); inside
    // the transaction of a server without savepoints, by the rollback of that transaction.
    void WriteOneRow(const QString &table, const std::function<int()> &write);

    // Tables and views of the database, without the system's own.
    QStringList TableNames();
    // The columns a statement gives, with their types and sizes.
    QList<DbColumn> StatementFields(const QString &sql);

    SqlBackend Backend() const;
    // The statement runner of the open connection; DbError when closed.
    DbBackend &backend();
    // The Qt connection name, unique per object.
    QString connectionName() const { return m_name; }

signals:
    // Emitted before the connection closes, so that its datasets close first.
    void closing();

private:
    void openSqlite(const QString &path, bool readOnly);
    void openOdbc(const QString &source, const QString &user, const QString &password, bool readOnly);
    [[noreturn]] void failOpen(const QString &message);
    [[noreturn]] void failOpen(const DbError &error);
    void applyTimeouts();

    QString m_name;
    QString m_provider;
    QString m_connectionString;
    QString m_user, m_password;
    int m_connectionTimeout = 0;
    int m_commandTimeout = 0;
    int m_lockTimeout = 0;
    std::chrono::milliseconds m_responseTimeout{0};
    bool m_inTransaction = false;
    QSqlDatabase m_db;
    std::unique_ptr<DbBackend> m_backend;
};

// True when the file exists and begins with SQLite's header.
bool IsSqliteFile(const QString &path);
