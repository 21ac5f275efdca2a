#pragma once

// Whether another writer could write a database at the moment a message is shown: no message may wait
// for a click while the program holds a database's write lock (a second instance would wait as long).

#include "support/program_env.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <functional>

// A SQLite file takes a write of a connection of its own at once, committed: a lock the program holds
// (a write transaction, or a statement still reading) refuses it without waiting.
inline bool sqliteTakesAWrite(const QString &path)
{
    const QString name = QStringLiteral("probe_") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = false;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        c.setDatabaseName(path);
        c.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        if (c.open()) {
            QSqlQuery q(c);
            ok = q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                 q.exec(QStringLiteral("PRAGMA user_version=7")) && q.exec(QStringLiteral("COMMIT"));
            if (!ok)
                q.exec(QStringLiteral("ROLLBACK"));
            c.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// On the server no other session of the database sits in an open transaction; probe is a session of
// its own.
inline bool serverSessionsIdle(DbConnection &probe)
{
    DbQuery q(&probe);
    q.SetSQL(QStringLiteral("select count(*) from pg_stat_activity where datname=current_database() and "
                            "pid<>pg_backend_pid() and state like 'idle in transaction%'"));
    q.Open();
    return q.Field(0)->AsInteger() == 0;
}

// The database of db (on the back end of env) could be written by another connection now.
template <class Env> bool othersMayWrite(Env &env, DbConnection &db)
{
    if constexpr (Env::odbc)
        return serverSessionsIdle(*env.open());
    else
        return sqliteTakesAWrite(db.DataSource());
}

// For its life, notes with every message shown (through either procedure) whether others could write
// the database then; the procedures installed before it still get every message.
class LockWatch
{
public:
    explicit LockWatch(std::function<bool()> othersMayWrite)
        : m_probe(std::move(othersMayWrite)), m_message(MessageProc), m_error(ErrorMessageProc)
    {
        MessageProc = [this](QWidget *o, const QString &t, unsigned i, unsigned b) {
            note(t);
            return m_message(o, t, i, b);
        };
        ErrorMessageProc = [this](QWidget *o, const QString &t, unsigned i, unsigned b) {
            note(t);
            return m_error(o, t, i, b);
        };
    }
    template <class Env>
    explicit LockWatch(OrxDb<Env> &db) : LockWatch([&db] { return othersMayWrite(db.env, *db.db); })
    {}
    ~LockWatch()
    {
        MessageProc = m_message;
        ErrorMessageProc = m_error;
    }
    LockWatch(const LockWatch &) = delete;
    LockWatch &operator=(const LockWatch &) = delete;

    // The start of each message shown while the database was locked.
    const QStringList &shownLocked() const { return m_locked; }
    int shown() const { return m_shown; }

private:
    void note(const QString &text)
    {
        ++m_shown;
        if (!m_probe())
            m_locked << text.left(60);
    }

    std::function<bool()> m_probe;
    MessageProcType m_message, m_error;
    QStringList m_locked;
    int m_shown = 0;
};
