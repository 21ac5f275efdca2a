#include "db/db_connection.h"

#include "db/jet_sqlite.h"
#include "db/odbc_driver.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

namespace {

QAtomicInt g_connectionCounter;

const QString kJetProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
const QString kOdbcProvider = QStringLiteral("MSDASQL");
const QString kOracleProvider = QStringLiteral("OraOLEDB.Oracle");

// The value of one property of an OLE DB connection string, without double quotes around it.
QString connectionProperty(const QString &connectionString, const QString &name)
{
    const QRegularExpression re(
        QStringLiteral(R"re((?:^|;)\s*%1\s*=\s*("([^"]*)"|[^;]*))re").arg(QRegularExpression::escape(name)),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(connectionString);
    if (!m.hasMatch())
        return QString();
    return m.capturedStart(2) >= 0 ? m.captured(2) : m.captured(1).trimmed();
}

// Qt's ODBC driver puts "DSN=" before any name without DRIVER= or SERVER=, so a connection string
// naming its DSN goes over as that DSN followed by the other attributes.
QString odbcDatabaseName(const QString &source)
{
    if (!source.contains(QLatin1Char('=')) ||
        source.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
        source.contains(QLatin1String("SERVER="), Qt::CaseInsensitive))
        return source;
    QStringList attributes = source.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (int i = 0; i < attributes.size(); ++i) {
        const QString a = attributes[i].trimmed();
        if (a.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive)) {
            attributes.removeAt(i);
            attributes.prepend(a.mid(4));
            break;
        }
    }
    return attributes.join(QLatin1Char(';'));
}

// psqlODBC's settings for a connection, unless the source sets them itself. Without a server-side
// prepare a statement takes one round trip instead of four (prepare, describe, execute, deallocate),
// the driver putting the parameters in; libpq's keep-alives and TCP user time-out give up on a server
// whose machine has gone silent. Nothing for other drivers.
QString psqlOdbcOptions(const QString &source, std::chrono::milliseconds response)
{
    if (!IsPsqlOdbcSource(source))
        return QString();
    QString options;
    if (OdbcAttribute(source, QStringLiteral("UseServerSidePrepare")).isEmpty())
        options += QLatin1String(";UseServerSidePrepare=0");
    if (OdbcAttribute(source, QStringLiteral("pqopt")).isEmpty())
        options += QStringLiteral(";pqopt={keepalives=1 keepalives_idle=10 keepalives_interval=5 "
                                  "keepalives_count=3 tcp_user_timeout=%1}")
                       .arg(response.count());
    return options;
}

QString dbErrorText(const QSqlError &e)
{
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

} // namespace

bool IsSqliteFile(const QString &path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3", 16);
}

DbConnection::DbConnection(QObject *parent)
    : QObject(parent),
      m_name(QStringLiteral("brenvale_db_%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1))
{}

DbConnection::~DbConnection()
{
    Close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

QString DbConnection::DataSource() const
{
    return connectionProperty(m_connectionString, QStringLiteral("Data Source"));
}

QString DbConnection::Mode() const
{
    return connectionProperty(m_connectionString, QStringLiteral("Mode"));
}

SqlBackend DbConnection::Backend() const
{
    return m_backend ? m_backend->dialect().backend() : SqlBackend::SQLite;
}

DbBackend &DbConnection::backend()
{
    if (!m_backend)
        throw DbError(DbFault::Closed,
                      QStringLiteral("Подключение к базе данных закрыто: операция невозможна"));
    return *m_backend;
}

void DbConnection::Open()
{
    Open(m_user, m_password);
}

void DbConnection::Reconnect()
{
    // Closing announces itself so that the datasets close first; here they are kept.
    const QSignalBlocker keepDataSets(this);
    Open(m_user, m_password);
}

void DbConnection::Open(const QString &user, const QString &password)
{
    Close();
    m_user = user;
    m_password = password;
    QString provider = m_provider.isEmpty()
                           ? connectionProperty(m_connectionString, QStringLiteral("Provider"))
                           : m_provider;
    const QString source = DataSource();
    const bool readOnly = Mode().compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
    if (source.isEmpty())
        throw DbError(QStringLiteral("Не задан источник данных"));
    if (provider.compare(kJetProvider, Qt::CaseInsensitive) == 0) {
        openSqlite(source, readOnly);
    } else if (provider.compare(kOdbcProvider, Qt::CaseInsensitive) == 0) {
        if (!source.contains(QLatin1Char('=')) && IsSqliteFile(source))
            openSqlite(source, readOnly);
        else
            openOdbc(source, user, password, readOnly);
    } else if (provider.compare(kOracleProvider, Qt::CaseInsensitive) == 0) {
        openOdbc(source, user, password, readOnly);
    } else {
        throw DbError(QStringLiteral("Неизвестный поставщик данных \"%1\"").arg(provider));
    }
    try {
        applyTimeouts();
    } catch (const DbError &) {
        Close();
        throw;
    }
}

void DbConnection::applyTimeouts()
{
    if (!m_backend)
        return;
    if (m_commandTimeout > 0)
        m_backend->setCommandTimeout(m_commandTimeout);
    const int lock = m_lockTimeout > 0 ? m_lockTimeout : (m_commandTimeout > 0 ? m_commandTimeout : 30);
    m_backend->setLockWait(std::chrono::seconds(lock), m_lockTimeout > 0);
}

void DbConnection::SetLockTimeout(int seconds)
{
    m_lockTimeout = seconds;
    applyTimeouts();
}

void DbConnection::failOpen(const QString &message)
{
    failOpen(DbError(message));
}

void DbConnection::failOpen(const DbError &error)
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
    throw error;
}

void DbConnection::openSqlite(const QString &path, bool readOnly)
{
    // Checked first so that a missing file is named plainly and never created empty.
    if (!QFileInfo(path).isFile())
        throw DbError(DbFault::FileError, QStringLiteral("Не найден файл базы данных \"%1\"").arg(path));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    // A lock met by the open's own reads waits as long as any statement of this connection would.
    const int lockWait = m_lockTimeout > 0 ? m_lockTimeout : (m_commandTimeout > 0 ? m_commandTimeout : 30);
    QString options = QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(lockWait * 1000);
    if (readOnly)
        options += QLatin1String(";QSQLITE_OPEN_READONLY");
    m_db.setConnectOptions(options);
    if (!m_db.open())
        failOpen(dbErrorText(m_db.lastError()));
    const QVariant h = m_db.driver()->handle();
    sqlite3 *handle = h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0
                          ? *static_cast<sqlite3 *const *>(h.constData())
                          : nullptr;
    if (!handle || !RegisterJetFunctions(handle))
        failOpen(QStringLiteral("Не удалось подготовить функции Jet для базы данных \"%1\"").arg(path));
    auto backend = std::make_unique<SqliteBackend>(handle);
    backend->setDatabaseName(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    backend->setLockWait(std::chrono::seconds(lockWait), m_lockTimeout > 0);
    try {
        backend->execute(QStringLiteral("PRAGMA foreign_keys=ON"), {});
        // A file that is no database opens without complaint; the first read tells.
        backend->execute(QStringLiteral("SELECT count(*) FROM sqlite_master"), {});
    } catch (const DbError &e) {
        backend.reset();
        // Said as what it is: a database another program holds is no broken file.
        failOpen(e);
    }
    m_backend = std::move(backend);
}

void DbConnection::openOdbc(const QString &source, const QString &user, const QString &password,
                            bool readOnly)
{
    const std::chrono::milliseconds response = ResponseTimeout();
    const int responseSeconds = int((response.count() + 999) / 1000);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    m_db.setDatabaseName(odbcDatabaseName(source) + psqlOdbcOptions(source, response));
    m_db.setUserName(user);
    m_db.setPassword(password);
    QStringList options;
    // A server that does not answer at all must not hold the open for longer than any other wait.
    const int loginTimeout = m_connectionTimeout > 0 ? m_connectionTimeout : responseSeconds;
    options << QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(loginTimeout);
    if (m_connectionTimeout > 0)
        options << QStringLiteral("SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(m_connectionTimeout);
    if (readOnly)
        options << QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY");
    m_db.setConnectOptions(options.join(QLatin1Char(';')));
    const QList<int> socketsBefore = OpenStreamSockets();
    if (!m_db.open())
        failOpen(OdbcConnectFailure(dbErrorText(m_db.lastError()), SourceForMessages(source), objectName()));
    QList<int> sockets;
    for (int s : OpenStreamSockets())
        if (!socketsBefore.contains(s))
            sockets << s;
    const SqlBackend kind = SqlDialect::backendForDbmsName(OdbcBackend::dbmsName(m_db));
    auto backend = std::make_unique<OdbcBackend>(kind, m_db);
    backend->setDatabaseName(SourceForMessages(source));
    backend->responseWatch()->setTimeout(response);
    backend->responseWatch()->setSockets(sockets);
    m_backend = std::move(backend);
}

std::chrono::milliseconds DbConnection::ResponseTimeout() const
{
    if (m_responseTimeout.count() > 0)
        return m_responseTimeout;
    return std::chrono::seconds((m_commandTimeout > 0 ? m_commandTimeout : 30) + 15);
}

void DbConnection::Close()
{
    if (!m_backend && !m_db.isValid())
        return;
    emit closing();
    if (m_backend)
        m_backend->dropQueued();
    if (m_inTransaction && m_backend) {
        try {
            m_backend->rollbackTransaction();
        } catch (const DbError &) {
            // Closing ends the transaction all the same.
        }
    }
    m_inTransaction = false;
    m_backend.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

void DbConnection::SetCommandTimeout(int seconds)
{
    m_commandTimeout = seconds;
    applyTimeouts();
}

void DbConnection::SendWaitingRows()
{
    backend().sendQueued();
}

void DbConnection::BeginTrans()
{
    backend();
    if (m_inTransaction)
        throw DbError(QStringLiteral("Транзакция на этом подключении уже идёт"));
    m_backend->beginTransaction();
    m_inTransaction = true;
}

void DbConnection::CommitTrans()
{
    backend();
    if (!m_inTransaction)
        throw DbError(QStringLiteral("Транзакция не начата"));
    m_backend->sendQueued();
    m_backend->dropQueued(); // nothing waits now: the writers' order ends with the transaction
    m_backend->commitTransaction();
    m_inTransaction = false;
}

void DbConnection::RollbackTrans()
{
    backend();
    if (!m_inTransaction)
        throw DbError(QStringLiteral("Транзакция не начата"));
    m_inTransaction = false;
    m_backend->dropQueued();
    m_backend->rollbackTransaction();
}

void DbConnection::WriteOneRow(const QString &table, const std::function<int()> &write)
{
    DbBackend &b = backend();
    const bool own = !m_inTransaction;
    // Each server has its own savepoint statements, or none: then the failure raised here makes the
    // enclosing transaction roll back, which takes the row back with the rest.
    const auto savepoint = [&b](SavepointStep step) {
        for (const QString &sql : b.dialect().savepointStatements(step, QStringLiteral("brenvale_row")))
            b.execute(sql, {});
    };
    if (own)
        BeginTrans();
    else
        savepoint(SavepointStep::Set);
    // Undoing must not hide why: a failure of the undo itself (a lost connection) gives way to the first.
    const auto undo = [&] {
        try {
            if (own)
                RollbackTrans();
            else
                savepoint(SavepointStep::Undo);
        } catch (const DbError &) {
            m_inTransaction = m_inTransaction && !own;
        }
    };
    int rows = 0;
    try {
        rows = write();
    } catch (...) {
        undo();
        throw;
    }
    // A driver that cannot count (-1) is taken at its word.
    if (rows == 0 || rows > 1) {
        undo();
        throw RowNotWrittenError(table, rows);
    }
    try {
        if (own)
            CommitTrans();
        else
            savepoint(SavepointStep::Keep);
    } catch (...) {
        undo();
        throw;
    }
}

QStringList DbConnection::TableNames()
{
    return backend().tables();
}

QList<DbColumn> DbConnection::StatementFields(const QString &sql)
{
    auto cursor = backend().executeJet(sql, {});
    return cursor ? cursor->columns() : QList<DbColumn>();
}
