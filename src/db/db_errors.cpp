#include "db/db_errors.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace {

QString quoted(const QString &name)
{
    return QLatin1Char('"') + CutForMessage(name) + QLatin1Char('"');
}

// A driver's text where the system has no words of its own: it may quote a whole value or statement.
QString driverSaid(const QString &driverText)
{
    return CutForMessage(driverText, MaxQuotedStatementChars);
}

// "5 с", "1,5 с".
QString secondsText(std::chrono::milliseconds t)
{
    QString s = QString::number(double(t.count()) / 1000.0, 'f', 1);
    if (s.endsWith(QLatin1String(".0")))
        s.chop(2);
    return s.replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" с");
}

// The Russian form of "records" for a count: 1 запись, 2 записи, 5 записей.
QString recordsText(int n)
{
    const int tens = n % 100, units = n % 10;
    const char *form = "записей";
    if (tens < 11 || tens > 14) {
        if (units == 1)
            form = "запись";
        else if (units >= 2 && units <= 4)
            form = "записи";
    }
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(form);
}

// "1 символ", "3 символа", "5 символов": a count of characters.
QString charsText(qsizetype n)
{
    const qsizetype tens = n % 100, units = n % 10;
    const char *form = "символов";
    if (tens < 11 || tens > 14) {
        if (units == 1)
            form = "символ";
        else if (units >= 2 && units <= 4)
            form = "символа";
    }
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(form);
}

// "не более 1 символа", "не более 6 символов".
QString atMostChars(qsizetype n)
{
    const bool one = n % 10 == 1 && n % 100 != 11;
    return QStringLiteral("не более ") + QString::number(n) +
           (one ? QStringLiteral(" символа") : QStringLiteral(" символов"));
}

QString databaseText(const DbErrorPlace &place)
{
    return place.database.isEmpty() ? QStringLiteral("базы данных")
                                    : QStringLiteral("базы данных ") + quoted(place.database);
}

// " "D"" after "База данных", or nothing.
QString namedDatabase(const DbErrorPlace &place)
{
    return place.database.isEmpty() ? QString() : QLatin1Char(' ') + quoted(place.database);
}

// What the words say for a fault; table and column where the driver named them.
QString faultWords(DbFault fault, const DbErrorPlace &place, const QString &table, const QString &column)
{
    const QString ofTable = table.isEmpty() ? QString() : QStringLiteral(" ") + quoted(table);
    switch (fault) {
    case DbFault::Unique:
        return column.isEmpty()
                   ? QStringLiteral("В таблице%1 уже есть запись с таким значением ключа").arg(ofTable)
                   : QStringLiteral("В таблице%1 уже есть запись с таким значением поля %2")
                         .arg(ofTable, quoted(column));
    case DbFault::NotNull:
        return column.isEmpty()
                   ? QStringLiteral("Обязательное поле таблицы%1 не заполнено").arg(ofTable)
                   : QStringLiteral("Поле %1 таблицы%2 не может быть пустым").arg(quoted(column), ofTable);
    case DbFault::ForeignKey:
        return QStringLiteral("Нарушена связь таблиц: на запись ссылаются записи другой таблицы, или она "
                              "ссылается на запись, которой нет");
    case DbFault::Check:
        return QStringLiteral("Значение не допускается условием таблицы%1").arg(ofTable);
    case DbFault::OutOfRange:
        return QStringLiteral("Число не помещается в поле базы данных");
    case DbFault::TooLong:
        return QStringLiteral("Текст не помещается в поле базы данных: он длиннее, чем поле допускает");
    case DbFault::OutOfMemory:
        return OutOfMemoryText();
    case DbFault::Busy:
        return QStringLiteral("База данных%1 занята: с ней работает другая программа или другое окно этой "
                              "программы")
                   .arg(namedDatabase(place)) +
               (place.lockWait.count() > 0
                    ? QStringLiteral(". Ожидание прервано через ") + secondsText(place.lockWait)
                    : QString());
    case DbFault::ReadOnly:
        return QStringLiteral("База данных%1 открыта только для чтения: изменения невозможны")
            .arg(namedDatabase(place));
    case DbFault::ConnectionLost:
        return QStringLiteral("Связь с сервером %1 потеряна").arg(databaseText(place));
    case DbFault::Timeout:
        return QStringLiteral("Запрос к серверу %1 прерван: истекло время ожидания").arg(databaseText(place));
    case DbFault::NoSuchTable:
        return table.isEmpty() ? QStringLiteral("В базе данных нет нужной таблицы")
                               : QStringLiteral("В базе данных нет таблицы %1").arg(quoted(table));
    case DbFault::NoSuchColumn:
        return column.isEmpty() ? QStringLiteral("В таблице%1 нет нужного поля").arg(ofTable)
                                : QStringLiteral("В таблице%1 нет поля %2").arg(ofTable, quoted(column));
    case DbFault::DiskFull:
        return QStringLiteral("Нет места на диске для %1").arg(databaseText(place));
    case DbFault::Damaged:
        return QStringLiteral("Файл %1 повреждён или не является базой данных").arg(databaseText(place));
    case DbFault::FileError:
        return QStringLiteral("Не удалось прочитать или записать файл %1").arg(databaseText(place));
    default:
        return QString();
    }
}

DbError failure(DbFault fault, const QString &driverText, const DbErrorPlace &place,
                const QString &table = {}, const QString &column = {})
{
    const QString words = faultWords(fault, place, table, column);
    if (words.isEmpty())
        return DbError(DbFault::Other, driverSaid(driverText), QString(), column);
    return DbError(fault, words, driverText, column);
}

// A refusal the system has no words of its own for: who refused, and the database's text after it.
DbError refusal(const QString &driverText, const DbErrorPlace &place, bool server)
{
    const QString words =
        server ? QStringLiteral("Сервер %1 отказался выполнить запрос").arg(databaseText(place))
               : QStringLiteral("База данных%1 не выполнила запрос").arg(namedDatabase(place));
    return DbError(DbFault::Other, words, driverSaid(driverText));
}

// The classes of SQLSTATE an ODBC driver or its manager reports of itself; every other class is the
// server's.
bool driverState(const QString &state)
{
    for (const char *own : {"01", "07", "HY", "IM"})
        if (state.startsWith(QLatin1String(own)))
            return true;
    return false;
}

QString captured(const QString &text, const char *pattern, int group = 1)
{
    const QRegularExpressionMatch m = QRegularExpression(QString::fromLatin1(pattern)).match(text);
    return m.hasMatch() ? m.captured(group) : QString();
}

// "UNIQUE constraint failed: События.num, События.dec": the table and the first column.
void sqliteConstraintNames(const QString &text, QString &table, QString &column)
{
    const qsizetype colon = text.indexOf(QLatin1String(": "));
    if (colon < 0)
        return;
    const QString first = text.mid(colon + 2).section(QLatin1Char(','), 0, 0).trimmed();
    const qsizetype dot = first.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return;
    table = first.left(dot);
    column = first.mid(dot + 1);
}

// A name without the schema SQLite or the server may put before it ("main.Access").
QString withoutSchema(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

} // namespace

DbError SqliteFailure(int extendedCode, const QString &driverText, const DbErrorPlace &place)
{
    QString table, column;
    switch (extendedCode) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        sqliteConstraintNames(driverText, table, column);
        return failure(DbFault::Unique, driverText, place, table, column);
    case SQLITE_CONSTRAINT_NOTNULL:
        sqliteConstraintNames(driverText, table, column);
        return failure(DbFault::NotNull, driverText, place, table, column);
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return failure(DbFault::ForeignKey, driverText, place);
    case SQLITE_CONSTRAINT_CHECK:
        return failure(DbFault::Check, driverText, place);
    default:
        break;
    }
    switch (extendedCode & 0xff) {
    case SQLITE_NOMEM:
        return failure(DbFault::OutOfMemory, driverText, place);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return failure(DbFault::Busy, driverText, place);
    case SQLITE_READONLY:
        return failure(DbFault::ReadOnly, driverText, place);
    case SQLITE_FULL:
        return failure(DbFault::DiskFull, driverText, place);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return failure(DbFault::Damaged, driverText, place);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return failure(DbFault::FileError, driverText, place);
    case SQLITE_ERROR:
        return DriverTextFailure(driverText, place);
    default:
        // A trigger's own RAISE and the Jet functions' refusals are already the database's words.
        return DbError(driverSaid(driverText));
    }
}

DbError OdbcFailure(const QString &sqlState, const QString &driverText, const DbErrorPlace &place)
{
    const QString state = sqlState.toUpper();
    if (state == QLatin1String("23505")) {
        const QString column = captured(driverText, R"re(Key \(([^)]*)\)=)re");
        return failure(DbFault::Unique, driverText, place, QString(), column);
    }
    if (state == QLatin1String("23502")) {
        return failure(DbFault::NotNull, driverText, place,
                       captured(driverText, R"re(null value in column "[^"]*" of relation "([^"]*)")re"),
                       captured(driverText, R"re(null value in column "([^"]*)")re"));
    }
    if (state == QLatin1String("23503"))
        return failure(DbFault::ForeignKey, driverText, place);
    if (state == QLatin1String("23514"))
        return failure(DbFault::Check, driverText, place);
    if (state == QLatin1String("22003"))
        return failure(DbFault::OutOfRange, driverText, place);
    if (state == QLatin1String("22001")) {
        // "value too long for type character varying(6)": the bound is said, the column is not.
        const QString limit =
            captured(driverText, R"re(value too long for type character(?: varying)?\((\d+)\))re");
        DbError e = failure(DbFault::TooLong, driverText, place);
        return limit.isEmpty() ? e
                               : e.reworded(e.words() + QStringLiteral(" (") +
                                            atMostChars(limit.toLongLong()) + QLatin1Char(')'));
    }
    if (state == QLatin1String("53200"))
        return failure(DbFault::OutOfMemory, driverText, place);
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01"))
        return failure(DbFault::Busy, driverText, place);
    if (state == QLatin1String("25006"))
        return failure(DbFault::ReadOnly, driverText, place);
    if (state == QLatin1String("57014") || state.startsWith(QLatin1String("HYT")))
        return failure(DbFault::Timeout, driverText, place);
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
        state == QLatin1String("57P02") || state == QLatin1String("57P03"))
        return failure(DbFault::ConnectionLost, driverText, place);
    if (state == QLatin1String("53100"))
        return failure(DbFault::DiskFull, driverText, place);
    if (state == QLatin1String("42P01"))
        return failure(DbFault::NoSuchTable, driverText, place,
                       captured(driverText, R"re(relation "([^"]*)" does not exist)re"));
    if (state == QLatin1String("42703"))
        return failure(DbFault::NoSuchColumn, driverText, place,
                       captured(driverText, R"re(column "[^"]*" of relation "([^"]*)")re"),
                       withoutSchema(captured(driverText, R"re(column "([^"]*)")re")));
    if (driverState(state))
        return DriverTextFailure(driverText, place);
    return refusal(driverText, place, true);
}

DbError DriverTextFailure(const QString &driverText, const DbErrorPlace &place)
{
    if (const QString table = captured(driverText, R"re(^no such table: (.+)$)re"); !table.isEmpty())
        return failure(DbFault::NoSuchTable, driverText, place, withoutSchema(table));
    if (const QString column = captured(driverText, R"re(^no such column: (.+)$)re"); !column.isEmpty())
        return failure(DbFault::NoSuchColumn, driverText, place, QString(), withoutSchema(column));
    if (const QString column = captured(driverText, R"re(^table \S+ has no column named (.+)$)re");
        !column.isEmpty())
        return failure(DbFault::NoSuchColumn, driverText, place,
                       captured(driverText, R"re(^table (\S+) has no column)re"), column);
    if (driverText.startsWith(QLatin1String("database is locked")) ||
        driverText.startsWith(QLatin1String("database table is locked")))
        return failure(DbFault::Busy, driverText, place);
    if (driverText.startsWith(QLatin1String("attempt to write a readonly database")))
        return failure(DbFault::ReadOnly, driverText, place);
    if (driverText.startsWith(QLatin1String("file is not a database")))
        return failure(DbFault::Damaged, driverText, place);
    return refusal(driverText, place, false);
}

DbError OdbcConnectFailure(const QString &driverText, const QString &source, const QString &connection)
{
    const auto says = [&driverText](std::initializer_list<const char *> parts) {
        for (const char *p : parts)
            if (driverText.contains(QLatin1String(p), Qt::CaseInsensitive))
                return true;
        return false;
    };
    const QString named = quoted(source);
    DbFault fault = DbFault::Other;
    QString words;
    // The login is asked of a server that answered, whose text may also say where it was reached.
    if (says({"password authentication failed", "authentication failed", "no password supplied",
              "Invalid authorization", "Login failed", "Access denied"}) ||
        (says({"FATAL"}) && says({"role \""}) && says({"does not exist"}))) {
        fault = DbFault::LoginRefused;
        words = QStringLiteral("Сервер базы данных %1 не принял имя пользователя или пароль: они неверны")
                    .arg(named);
    } else if (says({"Data source name not found", "Data source name too long"})) {
        fault = DbFault::NoSource;
        words = QStringLiteral("Источник данных ODBC %1 не найден: его нет среди источников данных ODBC "
                               "этого компьютера")
                    .arg(named);
    } else if (says({"Can't open lib", "SQLAllocHandle on SQL_HANDLE_HENV failed"})) {
        fault = DbFault::NoSource;
        words = QStringLiteral("Не удалось загрузить драйвер ODBC источника данных %1: драйвер не установлен")
                    .arg(named);
    } else if (says({"FATAL"}) && says({"database \""}) && says({"does not exist"})) {
        fault = DbFault::NoSource;
        words = QStringLiteral("На сервере источника данных %1 нет такой базы данных").arg(named);
    } else if (says({"could not connect", "Connection refused", "connection to server", "timeout expired",
                     "timed out", "could not translate host name", "No route to host",
                     "Network is unreachable", "server closed the connection"})) {
        fault = DbFault::ConnectionLost;
        words = QStringLiteral("Сервер базы данных %1 не отвечает: он остановлен, недоступен по сети или "
                               "указан неверно")
                    .arg(named);
    }
    if (words.isEmpty()) {
        // The driver's own text follows; it says what went wrong better than a guess would.
        const QString where = connection.isEmpty() ? QStringLiteral("(источник ") + named
                                                   : QStringLiteral("(подключение ") + connection +
                                                         QStringLiteral(", источник ") + named;
        words = QStringLiteral("Не удалось подключиться к базе данных через ODBC ") + where +
                QStringLiteral("): причину сообщает драйвер");
    }
    return DbError(fault, words, driverSaid(driverText));
}

QString JoinDiagnostics(const QStringList &records)
{
    // psqlODBC joins a statement's text and its connection's with ";\n", which may say the same twice,
    // and ends a statement the server refused with a line of its own that says only that it failed.
    const QString part = QStringLiteral(";\n");
    const QString failed = QStringLiteral("Error while executing the query");
    const auto once = [&](const QString &text, const QString &said) {
        QStringList kept;
        for (const QString &piece : text.split(part)) {
            const QString p = piece.trimmed();
            if (!p.isEmpty() && p != failed && !said.contains(p) && !kept.contains(p))
                kept << p;
        }
        return kept.join(part);
    };
    QString result;
    for (const QString &record : records) {
        const QString text = record.trimmed();
        if (text.isEmpty() || result.contains(text))
            continue;
        if (text.contains(result)) {
            result = once(text, QString());
            continue;
        }
        const QString added = once(text, result);
        if (!added.isEmpty())
            result += QLatin1Char(' ') + added;
    }
    return result;
}

QString LostConnectionText(std::chrono::milliseconds waited)
{
    return QStringLiteral("Сервер базы данных не ответил за %1: связь с ним потеряна")
        .arg(secondsText(waited));
}

QString SourceForMessages(const QString &source)
{
    if (!source.contains(QLatin1Char('=')))
        return source;
    QStringList kept;
    for (const QString &part : source.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        if (key.compare(QLatin1String("PWD"), Qt::CaseInsensitive) != 0 &&
            key.compare(QLatin1String("Password"), Qt::CaseInsensitive) != 0)
            kept << part.trimmed();
    }
    return kept.join(QLatin1Char(';'));
}

DbError RowNotWrittenError(const QString &table, int rows)
{
    if (rows == 0)
        return DbError(DbFault::RowNotFound,
                       QStringLiteral("Запись таблицы %1 не найдена: после чтения её изменила или удалила "
                                      "другая программа или другое окно. Ничего не записано")
                           .arg(quoted(table)));
    return DbError(DbFault::RowNotUnique,
                   QStringLiteral("Запись таблицы %1 не отличить от других: изменение затронуло бы %2, "
                                  "поэтому отменено. Ничего не записано")
                       .arg(quoted(table), recordsText(rows)));
}

DbError TooLongError(const QString &table, const QString &column, const QString &value, int limit)
{
    return DbError(
        DbFault::TooLong,
        QStringLiteral("Значение %1 (%2) не помещается в поле %3 таблицы %4: в нём %5")
            .arg(quoted(value), charsText(value.size()), quoted(column), quoted(table), atMostChars(limit)),
        QString(), column);
}

DbError EmptyKeyError(const QString &table, const QString &column)
{
    return DbError(
        DbFault::NotNull,
        QStringLiteral("Поле %1 таблицы %2 - ключ записи и не может быть пустым. Запись не сохранена")
            .arg(quoted(column), quoted(table)),
        QString(), column);
}
