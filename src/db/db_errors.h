#pragma once

#include "lib/dataset_api.h"

#include <QString>

#include <chrono>

// The databases' failures in the system's words. Every error the layer raises from a driver's report
// goes through here, so that each message a user sees says in Russian what happened, and the driver's
// own text follows it for the specialist. Failures the layer does not recognise keep the driver's text.

// Where the failure happened, as the words name it: the database (its file, or the ODBC source without
// its password) and the time a lock was awaited.
struct DbErrorPlace
{
    QString database;
    std::chrono::milliseconds lockWait{0};
};

// A failure SQLite reported: its extended result code and its message.
DbError SqliteFailure(int extendedCode, const QString &driverText, const DbErrorPlace &place);
// A failure an ODBC driver reported: the SQLSTATE of its first record and the text of all records.
DbError OdbcFailure(const QString &sqlState, const QString &driverText, const DbErrorPlace &place);
// The texts of a driver's diagnostic records as one, each part said once: psqlODBC joins a statement's
// report and its connection's with ";\n" (a lost connection says the same in both), and one record may
// hold another whole.
QString JoinDiagnostics(const QStringList &records);

// A connection to an ODBC source that did not open: the reason in the system's words (no such source, a
// user or password refused, a server not answering), the driver's text after it. Qt's driver hands over
// the text alone, so the reason is told by the driver manager's and the drivers' usual words; a text
// the program does not know is said as a failed connection naming the connection (when it has a name)
// and the source.
DbError OdbcConnectFailure(const QString &driverText, const QString &source,
                           const QString &connection = QString());

// A failure known only by its text (Qt's drivers give no codes for some calls).
DbError DriverTextFailure(const QString &driverText, const DbErrorPlace &place);

// The message for a connection the client gave up on after waiting this long for the server.
QString LostConnectionText(std::chrono::milliseconds waited);

// A data source as messages name it: a connection string without its password.
QString SourceForMessages(const QString &source);

// A row being written back that matched none or several rows of its table (rows: how many it touched).
DbError RowNotWrittenError(const QString &table, int rows);
// A text longer than the column holds (limit characters), refused before it is written.
DbError TooLongError(const QString &table, const QString &column, const QString &value, int limit);

// An empty value in a column of the table's key.
DbError EmptyKeyError(const QString &table, const QString &column);
