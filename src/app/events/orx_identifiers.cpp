#include "app/events/orx_identifiers.h"

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/datetime.h"
#include "lib/errors.h"
#include "lib/statements.h"

#include <QScopeGuard>

QString MakeEventIdStamp(const QDateTime &Now)
{
    const QDate d = Now.date();
    const QTime t = Now.time();
    return QString::number(d.year()) + QStringLiteral("%1%2%3%4%5")
                                           .arg(d.month(), 2, 10, QLatin1Char('0'))
                                           .arg(d.day(), 2, 10, QLatin1Char('0'))
                                           .arg(t.hour(), 2, 10, QLatin1Char('0'))
                                           .arg(t.minute(), 2, 10, QLatin1Char('0'))
                                           .arg(t.second(), 2, 10, QLatin1Char('0'));
}

bool GetNextId(DbQuery &Query, const QString &KeyName, int &NextId, bool &UsedFallback, QString *StoredKey)
{
    if (QAct(Query, QStringLiteral("select keyname,keyvalue from lastid"), true)) {
        UsedFallback = false;
        for (Query.First(); !Query.Eof(); Query.Next()) {
            const QString name = Query.Field(0)->AsString();
            if (name.trimmed().toLower() != KeyName)
                continue;
            NextId = Query.Field(1)->AsInteger() + 1;
            if (StoredKey)
                *StoredKey = name;
            return true;
        }
        return false;
    }
    UsedFallback = true;
    const QString sql = KeyName == QLatin1String("arid") ? QStringLiteral("select max(arid) from arrival")
                                                         : QStringLiteral("select max(orid) from origin");
    if (!QAct(Query, sql))
        return false;
    NextId = Query.Field(0)->AsInteger() + 1;
    return true;
}

bool SetLastId(DbQuery &Query, const QString &StoredKey, int &Value)
{
    DbConnection *conn = Query.Connection();
    if (!conn)
        throw DbError(QStringLiteral("Connection cannot be used to perform this operation."));
    Query.Close();
    conn->BeginTrans();
    auto rollback = qScopeGuard([conn] {
        try {
            conn->RollbackTrans();
        } catch (const DbError &) {
            // The connection is gone; the server drops the transaction with it.
        }
    });
    // The raise comes first: it locks the row (PostgreSQL) or the file (SQLite) before anything is read,
    // so a second window waits here instead of reading the same value.
    DbCommand raise(conn);
    raise.SetCommandText(QStringLiteral("update lastid set keyvalue=keyvalue+1 where keyname=?"));
    raise.SetParams({StoredKey});
    raise.Execute();
    if (raise.RowsAffected() == 0)
        return false;
    DbQuery row(conn);
    row.SetSQL(QStringLiteral("select keyname,keyvalue,lddate from lastid where keyname=?"));
    row.SetParams({StoredKey});
    row.Open();
    if (row.Eof())
        return false;
    Value = row.Field(1)->AsInteger();
    row.Edit();
    row.Field(2)->SetValue(Now());
    row.Post();
    row.Close();
    conn->CommitTrans();
    rollback.dismiss();
    return true;
}
