#include "db/odbc_driver.h"

#include <QFileInfo>
#include <QStringList>

#include <sql.h>
#include <sqlext.h>

namespace {

class OdbcEnvironment
{
public:
    OdbcEnvironment()
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
            m_env = SQL_NULL_HENV;
            return;
        }
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~OdbcEnvironment()
    {
        if (m_env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    OdbcEnvironment(const OdbcEnvironment &) = delete;
    OdbcEnvironment &operator=(const OdbcEnvironment &) = delete;
    SQLHENV handle() const { return m_env; }

private:
    SQLHENV m_env = SQL_NULL_HENV;
};

QString text(const SQLCHAR *chars)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(chars));
}

// The driver a DSN names (its description in the driver manager's list).
QString driverOfDsn(SQLHENV env, const QString &dsn)
{
    SQLCHAR name[SQL_MAX_DSN_LENGTH * 4 + 1];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                        sizeof description, &descriptionLength))) {
        direction = SQL_FETCH_NEXT;
        if (text(name).compare(dsn, Qt::CaseInsensitive) == 0)
            return text(description);
    }
    return QString();
}

// The library file of an installed driver, from its "Driver=" attribute.
QString libraryOfDriver(SQLHENV env, const QString &driver)
{
    SQLCHAR description[1024];
    SQLCHAR attributes[4096];
    SQLSMALLINT descriptionLength = 0, attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(env, direction, description, sizeof description, &descriptionLength,
                                    attributes, sizeof attributes, &attributesLength))) {
        direction = SQL_FETCH_NEXT;
        if (text(description).compare(driver, Qt::CaseInsensitive) != 0)
            continue;
        // Pairs "key=value", each ended by a NUL, the list by a second one.
        for (const char *p = reinterpret_cast<const char *>(attributes); *p; p += qstrlen(p) + 1) {
            const QString pair = QString::fromUtf8(p);
            if (pair.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive))
                return pair.mid(7).trimmed();
        }
    }
    return QString();
}

} // namespace

QString OdbcAttribute(const QString &connectionString, const QString &key)
{
    qsizetype i = 0;
    const qsizetype n = connectionString.size();
    while (i < n) {
        const qsizetype eq = connectionString.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        const QString name = connectionString.mid(i, eq - i).trimmed();
        qsizetype end;
        QString value;
        if (eq + 1 < n && connectionString.at(eq + 1) == QLatin1Char('{')) {
            const qsizetype close = connectionString.indexOf(QLatin1Char('}'), eq + 2);
            end = close < 0 ? n : close + 1;
            value = connectionString.mid(eq + 2, (close < 0 ? n : close) - eq - 2);
            const qsizetype semicolon = connectionString.indexOf(QLatin1Char(';'), end);
            end = semicolon < 0 ? n : semicolon;
        } else {
            const qsizetype semicolon = connectionString.indexOf(QLatin1Char(';'), eq + 1);
            end = semicolon < 0 ? n : semicolon;
            value = connectionString.mid(eq + 1, end - eq - 1).trimmed();
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
        i = end + 1;
    }
    return QString();
}

bool IsPsqlOdbcSource(const QString &source)
{
    OdbcEnvironment env;
    if (env.handle() == SQL_NULL_HENV)
        return false;
    QString driver;
    if (!source.contains(QLatin1Char('=')))
        driver = driverOfDsn(env.handle(), source.trimmed());
    else if (const QString named = OdbcAttribute(source, QStringLiteral("DRIVER")); !named.isEmpty())
        driver = named;
    else
        driver = driverOfDsn(env.handle(), OdbcAttribute(source, QStringLiteral("DSN")));
    if (driver.isEmpty())
        return false;
    // A driver may be named by its library's path as well as by its name in the list.
    const QString library =
        driver.contains(QLatin1Char('/')) ? driver : libraryOfDriver(env.handle(), driver);
    return QFileInfo(library).fileName().startsWith(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
}
