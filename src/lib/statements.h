#pragma once

#include <QString>
#include <QStringList>

class TCommand;
class TConnection;
class TDataSet;

// Statement runners: a database failure becomes false plus a message through ErrorMessageProc (or,
// when Silent, the failure text in ErrMsg). Only running the statement is guarded; a failure while
// closing the query or setting its text reaches the caller as it is.

// Opens Query (Exec false) or runs it without a result set (Exec true). An empty SQL re-runs the
// query's current statement.
bool QAct(TDataSet &Query, const QString &SQL, bool Silent = false, QString *ErrMsg = nullptr,
          bool Exec = false);
// The statement given as lines, joined with bare "\r"; empty Lines keep the current statement.
bool QActStrings(TDataSet &Query, const QStringList &Lines, bool Silent = false, QString *ErrMsg = nullptr,
                 bool Exec = false);
bool QExe(TCommand &Cmd, const QString &SQL, bool Silent = false, QString *ErrMsg = nullptr);
// Opens a query without any message.
bool QOpen(TDataSet &Query, const QString &SQL);

// Puts FileName, in double quotes, as the "Data Source" value of the connection string, reopening an
// open connection. False, with a message, when the string has no data source.
bool ReplCFile(TConnection &Conn, const QString &FileName);
