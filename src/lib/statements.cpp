#include "lib/statements.h"

#include "lib/dataset_api.h"
#include "lib/messages.h"

#include <exception>

namespace {

// Runs the statement; on failure returns false with the driver's text in errorText.
template <typename Run> bool guarded(Run run, QString &errorText)
{
    try {
        run();
        return true;
    } catch (const std::exception &e) {
        errorText = ExceptionText(e);
    }
    return false;
}

// A statement carries the values it was built from: it is quoted as far as a message may quote it. Out of
// memory the statement is not what went wrong, and the reason is what the analyst reads.
QString statementText(const QString &sql, const QString &errorText)
{
    return CutForMessage(sql,
                         errorText.startsWith(OutOfMemoryText()) ? MaxQuotedChars : MaxQuotedStatementChars);
}

void reportFailure(const QString &message, const QString &errorText, bool silent, QString *errMsg)
{
    if (!silent)
        ErrorMessageProc(nullptr, message + QStringLiteral("Сообщение об ошибке: ") + errorText, MB_ICONERROR,
                         MB_OK);
    else if (errMsg)
        *errMsg = errorText;
}

bool runQuery(TDataSet &query, bool exec, QString &errorText)
{
    return guarded(
        [&] {
            if (exec)
                query.ExecSQL();
            else
                query.Open();
        },
        errorText);
}

} // namespace

bool QAct(TDataSet &Query, const QString &SQL, bool Silent, QString *ErrMsg, bool Exec)
{
    Query.Close();
    if (!SQL.isEmpty())
        Query.SetSQL(SQL);
    QString errorText;
    if (runQuery(Query, Exec, errorText))
        return true;
    const QString statement = SQL.isEmpty() ? Query.SQL() : SQL;
    reportFailure(QStringLiteral("QAct: Запрос\r\r") + statementText(statement, errorText) +
                      QStringLiteral("\rвызвал ошибку!\r\r"),
                  errorText, Silent, ErrMsg);
    return false;
}

bool QActStrings(TDataSet &Query, const QStringList &Lines, bool Silent, QString *ErrMsg, bool Exec)
{
    Query.Close();
    if (!Lines.isEmpty())
        Query.SetSQL(Lines.join(QLatin1Char('\r')));
    QString errorText;
    if (runQuery(Query, Exec, errorText))
        return true;
    const QString statement = Lines.isEmpty() ? Query.SQL() : Lines.join(QLatin1Char('\r'));
    reportFailure(QStringLiteral("QAct: Запрос\r") + statementText(statement, errorText) +
                      QStringLiteral("\rвызвал ошибку!\r\r"),
                  errorText, Silent, ErrMsg);
    return false;
}

bool QExe(TCommand &Cmd, const QString &SQL, bool Silent, QString *ErrMsg)
{
    if (!SQL.isEmpty())
        Cmd.SetCommandText(SQL);
    QString errorText;
    if (guarded([&] { Cmd.Execute(); }, errorText))
        return true;
    const QString statement = SQL.isEmpty() ? Cmd.CommandText() : SQL;
    reportFailure(QStringLiteral("QExe: Команда\r") + statementText(statement, errorText) +
                      QStringLiteral("\rвызвала ошибку!\r\r"),
                  errorText, Silent, ErrMsg);
    return false;
}

bool QOpen(TDataSet &Query, const QString &SQL)
{
    return QAct(Query, SQL, true, nullptr, false);
}

bool ReplCFile(TConnection &Conn, const QString &FileName)
{
    static const QString key = QStringLiteral("Data Source");
    QString text = Conn.ConnectionString();
    const qsizetype at = text.indexOf(key);
    const qsizetype eq = at < 0 ? -1 : text.indexOf(QLatin1Char('='), at + key.size());
    if (eq < 0) {
        MessageProc(nullptr,
                    QStringLiteral("ReplCFile: Неожиданная ошибка!\rНе удалось изменить источник данных."),
                    MB_ICONERROR, MB_OK);
        return false;
    }

    const qsizetype start = eq + 1;
    qsizetype scan = start;
    while (scan < text.size() && text.at(scan) == QLatin1Char(' '))
        ++scan;
    // A value we quoted before may hold ";" itself, so a quoted value ends at its closing quote;
    // otherwise a second replacement would cut the path in two.
    if (scan < text.size() && text.at(scan) == QLatin1Char('"')) {
        const qsizetype close = text.indexOf(QLatin1Char('"'), scan + 1);
        scan = close < 0 ? text.size() : close + 1;
    }
    qsizetype end = text.indexOf(QLatin1Char(';'), scan);
    if (end < 0)
        end = text.size();
    text.replace(start, end - start, QLatin1Char('"') + FileName + QLatin1Char('"'));

    if (Conn.Connected()) {
        Conn.Close();
        Conn.SetConnectionString(text);
        Conn.Open();
    } else {
        Conn.SetConnectionString(text);
    }
    return true;
}
