#include "db/sql_dialect.h"

#include "db/jet_sqlite.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QVarLengthArray>

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}
bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool isSymbol(const SqlToken &t, char c)
{
    return t.kind == SqlToken::Symbol && t.text.size() == 1 && t.text[0] == QLatin1Char(c);
}

bool isWord(const SqlToken &t, const char *word)
{
    return t.kind == SqlToken::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

int nextSignificant(const QList<SqlToken> &tokens, int i, int to)
{
    ++i;
    while (i < to && tokens[i].kind == SqlToken::Space)
        ++i;
    return i;
}

int firstSignificant(const QList<SqlToken> &tokens, int from, int to)
{
    return tokens.value(from).kind == SqlToken::Space ? nextSignificant(tokens, from, to) : from;
}

// The index of the ")" that closes the "(" at open, or to when it is missing.
int matchingParen(const QList<SqlToken> &tokens, int open, int to)
{
    int depth = 0;
    for (int i = open; i < to; ++i) {
        if (isSymbol(tokens[i], '('))
            ++depth;
        else if (isSymbol(tokens[i], ')') && --depth == 0)
            return i;
    }
    return to;
}

// Ranges [from, to) between the commas at the top level of a token range.
QList<QPair<int, int>> splitAtCommas(const QList<SqlToken> &tokens, int from, int to)
{
    QList<QPair<int, int>> parts;
    int depth = 0, start = from;
    for (int i = from; i < to; ++i) {
        if (isSymbol(tokens[i], '('))
            ++depth;
        else if (isSymbol(tokens[i], ')'))
            --depth;
        else if (depth == 0 && isSymbol(tokens[i], ',')) {
            parts.append({start, i});
            start = i + 1;
        }
    }
    parts.append({start, to});
    return parts;
}

QString joinTokens(const QList<SqlToken> &tokens, int from, int to)
{
    QString s;
    for (int i = from; i < to; ++i)
        s += tokens[i].text;
    return s;
}

// A name token without its brackets or quotes.
QString unquotedName(const SqlToken &t)
{
    if (t.kind == SqlToken::Bracketed || t.kind == SqlToken::BackQuoted)
        return t.text.mid(1, t.text.size() - 2);
    if (t.kind == SqlToken::Quoted)
        return t.text.mid(1, t.text.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return t.text;
}

bool isNameToken(const SqlToken &t)
{
    return t.kind == SqlToken::Word || t.kind == SqlToken::Bracketed || t.kind == SqlToken::Quoted ||
           t.kind == SqlToken::BackQuoted;
}

bool isOneOf(const QString &lower, std::initializer_list<const char *> words)
{
    for (const char *w : words)
        if (lower == QLatin1String(w))
            return true;
    return false;
}

bool isTextTypeWord(const QString &w)
{
    return isOneOf(w, {"text", "varchar", "char", "nvarchar", "nchar", "memo", "longtext", "longchar", "note",
                       "string", "character", "ntext", "clob", "varchar2", "nvarchar2"});
}

QString foldAscii(const QString &name, bool upper)
{
    QString s = name;
    for (QChar &c : s) {
        const ushort u = c.unicode();
        if (!upper && u >= 'A' && u <= 'Z')
            c = QChar(u + 32);
        else if (upper && u >= 'a' && u <= 'z')
            c = QChar(u - 32);
    }
    return s;
}

// One column or constraint of a create statement.
struct CreateItem
{
    int from = 0;
    bool constraint = false;
    int nameIndex = -1;
    QString name;     // unquoted
    QString typeWord; // lower case
    QString typeArgs; // "(20)" or empty
    int restFrom = 0, to = 0;
    bool inlinePrimaryKey = false;
};

CreateItem parseCreateItem(const QList<SqlToken> &tokens, int from, int to)
{
    CreateItem item;
    item.from = from;
    item.to = to;
    int i = firstSignificant(tokens, from, to);
    if (i >= to)
        return item;
    if (isWord(tokens[i], "primary") || isWord(tokens[i], "constraint") || isWord(tokens[i], "foreign") ||
        isWord(tokens[i], "unique") || isWord(tokens[i], "check")) {
        item.constraint = true;
        item.restFrom = i;
        return item;
    }
    item.nameIndex = i;
    item.name = unquotedName(tokens[i]);
    int j = nextSignificant(tokens, i, to);
    item.restFrom = j;
    if (j < to && tokens[j].kind == SqlToken::Word) {
        item.typeWord = tokens[j].text.toLower();
        int k = nextSignificant(tokens, j, to);
        item.restFrom = j + 1;
        if (k < to && isSymbol(tokens[k], '(')) {
            const int close = matchingParen(tokens, k, to);
            item.typeArgs = joinTokens(tokens, k, qMin(close + 1, to));
            item.restFrom = qMin(close + 1, to);
        }
    }
    for (int k = item.restFrom; k < to; ++k)
        if (isWord(tokens[k], "primary"))
            item.inlinePrimaryKey = true;
    return item;
}

QStringList primaryKeyColumns(const QList<SqlToken> &tokens, const QList<CreateItem> &items)
{
    QStringList keys;
    for (const CreateItem &item : items) {
        if (!item.constraint) {
            if (item.inlinePrimaryKey)
                keys << item.name.toLower();
            continue;
        }
        for (int i = item.restFrom; i < item.to; ++i) {
            if (!isWord(tokens[i], "primary"))
                continue;
            int open = i;
            while (open < item.to && !isSymbol(tokens[open], '('))
                ++open;
            const int close = matchingParen(tokens, open, item.to);
            for (int k = open + 1; k < close; ++k)
                if (isNameToken(tokens[k]))
                    keys << unquotedName(tokens[k]).toLower();
            break;
        }
    }
    return keys;
}

// The columns of each "foreign key (...)" constraint, as written.
QList<QStringList> foreignKeyColumns(const QList<SqlToken> &tokens, const QList<CreateItem> &items)
{
    QList<QStringList> keys;
    for (const CreateItem &item : items) {
        if (!item.constraint)
            continue;
        for (int i = item.restFrom; i < item.to; ++i) {
            if (!isWord(tokens[i], "foreign"))
                continue;
            int open = i;
            while (open < item.to && !isSymbol(tokens[open], '('))
                ++open;
            const int close = matchingParen(tokens, open, item.to);
            QStringList columns;
            for (int k = open + 1; k < close; ++k)
                if (isNameToken(tokens[k]))
                    columns << unquotedName(tokens[k]);
            if (!columns.isEmpty())
                keys << columns;
            break;
        }
    }
    return keys;
}

// Jet indexes the referring columns of every relationship; SQLite and PostgreSQL do not, and without the
// index each lookup of a reading's measurements scans the whole table.
QStringList foreignKeyIndexes(const SqlDialect &d, const QList<SqlToken> &tokens,
                              const QList<CreateItem> &items, const QString &table)
{
    QStringList out;
    for (const QStringList &columns : foreignKeyColumns(tokens, items)) {
        QStringList stored, quoted;
        for (const QString &column : columns) {
            stored << d.storedName(column);
            quoted << d.quoteIdentifier(stored.last());
        }
        out << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                   .arg(d.quoteIdentifier(table + QLatin1Char('_') + stored.join(QLatin1Char('_')) +
                                          QLatin1String("_fk")),
                        d.quoteIdentifier(table), quoted.join(QLatin1Char(',')));
    }
    return out;
}

struct CreateStatement
{
    bool valid = false;
    int nameIndex = -1;
    int open = -1, close = -1;
    QList<CreateItem> items;
    QStringList keys;
};

CreateStatement parseCreateTable(const QList<SqlToken> &tokens)
{
    CreateStatement c;
    const int n = int(tokens.size());
    int i = firstSignificant(tokens, 0, n);
    if (i >= n || !isWord(tokens[i], "create"))
        return c;
    i = nextSignificant(tokens, i, n);
    if (i >= n || !isWord(tokens[i], "table"))
        return c;
    c.nameIndex = nextSignificant(tokens, i, n);
    if (c.nameIndex >= n || !isNameToken(tokens[c.nameIndex]))
        return c;
    c.open = nextSignificant(tokens, c.nameIndex, n);
    if (c.open >= n || !isSymbol(tokens[c.open], '('))
        return c;
    c.close = matchingParen(tokens, c.open, n);
    if (c.close >= n)
        return c;
    for (const auto &[from, to] : splitAtCommas(tokens, c.open + 1, c.close))
        c.items.append(parseCreateItem(tokens, from, to));
    c.keys = primaryKeyColumns(tokens, c.items);
    c.valid = true;
    return c;
}

QString serverColumnType(const QString &w, const QString &args)
{
    if (isOneOf(w, {"counter", "autoincrement", "identity"}))
        return QStringLiteral("serial");
    if (isOneOf(w, {"integer", "int", "long", "integer4", "mediumint"}))
        return QStringLiteral("integer");
    if (isOneOf(w, {"short", "smallint", "integer2", "byte", "tinyint", "integer1"}))
        return QStringLiteral("smallint");
    if (isOneOf(w, {"bigint", "integer8"}))
        return QStringLiteral("bigint");
    if (isOneOf(w, {"float", "double", "float8", "number"}))
        return QStringLiteral("double precision");
    if (isOneOf(w, {"single", "real", "float4"}))
        return QStringLiteral("real");
    if (isOneOf(w, {"currency", "money"}))
        return QStringLiteral("numeric(19,4)");
    if (isOneOf(w, {"decimal", "numeric"}))
        return QStringLiteral("numeric") + args;
    if (isOneOf(w, {"date", "datetime", "time", "timestamp"}))
        return QStringLiteral("timestamp");
    if (w == QLatin1String("text"))
        return args.isEmpty() ? QStringLiteral("text") : QStringLiteral("varchar") + args;
    if (isOneOf(w, {"varchar", "nvarchar", "string"}))
        return QStringLiteral("varchar") + (args.isEmpty() ? QStringLiteral("(255)") : args);
    if (isOneOf(w, {"char", "nchar", "character"}))
        return QStringLiteral("char") + args;
    if (isOneOf(w, {"memo", "longtext", "longchar", "note", "ntext"}))
        return QStringLiteral("text");
    if (isOneOf(w, {"yesno", "bit", "logical", "boolean", "bool"}))
        return QStringLiteral("boolean");
    if (isOneOf(w, {"binary", "varbinary", "longbinary", "image", "oleobject", "blob", "general"}))
        return QStringLiteral("bytea");
    return w + args;
}

const char *const kDateTimeFormat = "yyyy-MM-dd HH:mm:ss";

} // namespace

QList<SqlToken> TokenizeSql(const QString &sql)
{
    QList<SqlToken> tokens;
    const int n = int(sql.size());
    int i = 0;
    auto closeAt = [&](int start, QChar close, bool doubled) {
        int j = start + 1;
        while (j < n) {
            if (sql[j] == close) {
                if (doubled && j + 1 < n && sql[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = sql[i];
        int j = i + 1;
        SqlToken::Kind kind = SqlToken::Symbol;
        if (c.isSpace()) {
            kind = SqlToken::Space;
            while (j < n && sql[j].isSpace())
                ++j;
        } else if (isWordStart(c)) {
            kind = SqlToken::Word;
            while (j < n && isWordChar(sql[j]))
                ++j;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && sql[i + 1].isDigit())) {
            kind = SqlToken::Number;
            while (j < n && (sql[j].isDigit() || sql[j] == QLatin1Char('.')))
                ++j;
            if (j < n && (sql[j] == QLatin1Char('e') || sql[j] == QLatin1Char('E'))) {
                int k = j + 1;
                if (k < n && (sql[k] == QLatin1Char('+') || sql[k] == QLatin1Char('-')))
                    ++k;
                if (k < n && sql[k].isDigit()) {
                    j = k;
                    while (j < n && sql[j].isDigit())
                        ++j;
                }
            }
        } else if (c == QLatin1Char('\'')) {
            kind = SqlToken::String;
            j = closeAt(i, c, true);
        } else if (c == QLatin1Char('"')) {
            kind = SqlToken::Quoted;
            j = closeAt(i, c, true);
        } else if (c == QLatin1Char('`')) {
            kind = SqlToken::BackQuoted;
            j = closeAt(i, c, false);
        } else if (c == QLatin1Char('[')) {
            kind = SqlToken::Bracketed;
            j = closeAt(i, QLatin1Char(']'), false);
        } else if (c == QLatin1Char('{')) {
            kind = SqlToken::Escape;
            j = closeAt(i, QLatin1Char('}'), false);
        } else if (i + 1 < n) {
            const QString two = sql.mid(i, 2);
            if (two == QLatin1String("<>") || two == QLatin1String("<=") || two == QLatin1String(">=") ||
                two == QLatin1String("!=") || two == QLatin1String("||"))
                j = i + 2;
        }
        tokens.append({kind, sql.mid(i, j - i)});
        i = j;
    }
    return tokens;
}

bool OdbcEscapeToDaySerial(const QString &escape, double &value)
{
    static const QRegularExpression re(QStringLiteral(R"(^\{\s*(d|t|ts)\s*'([^']*)'\s*\}$)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(escape);
    if (!m.hasMatch())
        return false;
    const QString kind = m.captured(1).toLower();
    const QString text = m.captured(2).trimmed();
    if (kind == QLatin1String("d")) {
        const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid())
            return false;
        value = EncodeDate(d.year(), d.month(), d.day());
        return true;
    }
    if (kind == QLatin1String("t")) {
        QTime t = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
        if (!t.isValid())
            return false;
        value = EncodeTime(t.hour(), t.minute(), t.second(), 0);
        return true;
    }
    const int dot = text.indexOf(QLatin1Char('.'));
    QDateTime dt = QDateTime::fromString(dot < 0 ? text : text.left(dot), QLatin1String(kDateTimeFormat));
    if (!dt.isValid())
        return false;
    int ms = 0;
    if (dot >= 0)
        ms = qRound((QLatin1String("0") + text.mid(dot)).toDouble() * 1000);
    value = FromQDateTime(dt) + (ms < 1000 ? ms : 999) / double(MSecsPerDay);
    return true;
}

SqlBackend SqlDialect::backendForDbmsName(const QString &dbmsName)
{
    if (dbmsName.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return SqlBackend::PostgreSql;
    if (dbmsName.contains(QLatin1String("Oracle"), Qt::CaseInsensitive))
        return SqlBackend::Oracle;
    if (dbmsName.contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        return SqlBackend::SQLite;
    return SqlBackend::OtherOdbc;
}

QStringList SqlDialect::translate(const QString &jetSql) const
{
    if (m_backend == SqlBackend::OtherOdbc)
        return {jetSql};
    const QString head = jetSql.trimmed().left(6);
    const bool create = head.compare(QLatin1String("create"), Qt::CaseInsensitive) == 0;
    // Most statements on a SQLite file need nothing: keep that path free of any parsing.
    if (m_backend == SqlBackend::SQLite && !create && !jetSql.contains(QLatin1Char('{')) &&
        !jetSql.contains(QLatin1String("left"), Qt::CaseInsensitive) &&
        !jetSql.contains(QLatin1String("right"), Qt::CaseInsensitive) &&
        !jetSql.contains(QLatin1String("isnull"), Qt::CaseInsensitive))
        return {jetSql};
    const QList<SqlToken> tokens = TokenizeSql(jetSql);
    if (create && parseCreateTable(tokens).valid) {
        if (m_backend == SqlBackend::SQLite)
            return translateCreateForSQLite(tokens);
        QStringList out{translateCreateForServer(tokens)};
        if (m_backend == SqlBackend::PostgreSql) {
            const CreateStatement c = parseCreateTable(tokens);
            out << foreignKeyIndexes(*this, tokens, c.items, storedName(tokens[c.nameIndex].text));
        }
        return out;
    }
    if (m_backend == SqlBackend::SQLite)
        return {translateForSQLite(tokens)};
    int aliases = 0;
    return {translateForServer(tokens, 0, int(tokens.size()), aliases)};
}

QString SqlDialect::translateForSQLite(const QList<SqlToken> &tokens) const
{
    QString out;
    const int n = int(tokens.size());
    for (int i = 0; i < n; ++i) {
        const SqlToken &t = tokens[i];
        double serial = 0;
        const int next = nextSignificant(tokens, i, n);
        if (t.kind == SqlToken::Escape && OdbcEscapeToDaySerial(t.text, serial))
            out += QString::number(serial, 'g', 17);
        else if ((isWord(t, "left") || isWord(t, "right") || isWord(t, "isnull")) && next < n &&
                 isSymbol(tokens[next], '('))
            // These names are keywords to SQLite; the functions are registered under other names.
            out += QLatin1String("Jet") + t.text;
        else
            out += t.text;
    }
    return out;
}

QStringList SqlDialect::translateCreateForSQLite(const QList<SqlToken> &tokens) const
{
    const CreateStatement c = parseCreateTable(tokens);
    const QString table = unquotedName(tokens[c.nameIndex]);
    const bool singleKey = c.keys.size() == 1;
    QString body;
    QStringList triggers;
    for (const CreateItem &item : c.items) {
        if (!body.isEmpty())
            body += QLatin1Char(',');
        if (item.constraint || item.typeWord.isEmpty()) {
            body += joinTokens(tokens, item.from, item.to);
            continue;
        }
        const bool isKey = singleKey && c.keys.first() == item.name.toLower();
        QString type = item.typeWord + item.typeArgs;
        const bool counter = isOneOf(item.typeWord, {"counter", "autoincrement", "identity"});
        if (counter && isKey) {
            // Only a column declared exactly INTEGER and alone in the key numbers itself in SQLite.
            type = QStringLiteral("INTEGER");
        } else if (counter) {
            type = QStringLiteral("counter");
            const QString qt = quoteIdentifier(table), qc = quoteIdentifier(item.name);
            // The next number is the column's maximum: without an index every insert reads the whole
            // table, and a copy of a year's events into a bulletin took minutes.
            triggers << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                            .arg(quoteIdentifier(table + QLatin1Char('_') + item.name +
                                                 QLatin1String("_counter_max")),
                                 qt, qc);
            triggers << QStringLiteral(
                            "CREATE TRIGGER %1 AFTER INSERT ON %2 FOR EACH ROW WHEN NEW.%3 IS NULL "
                            "BEGIN UPDATE %2 SET %3=(SELECT IFNULL(MAX(%3),0)+1 FROM %2) "
                            "WHERE rowid=NEW.rowid; END")
                            .arg(quoteIdentifier(table + QLatin1Char('_') + item.name +
                                                 QLatin1String("_counter")),
                                 qt, qc);
        } else if (isKey && item.typeWord == QLatin1String("integer")) {
            // A plain integer key must not turn into the auto-numbered rowid.
            type = QStringLiteral("int");
        } else if (isOneOf(item.typeWord, {"memo", "note"})) {
            // Keep the Jet name first and give the column text affinity, so "0123" stays text.
            type = item.typeWord + QLatin1String(" text");
        }
        const QString rest = joinTokens(tokens, item.restFrom, item.to);
        if (isTextTypeWord(item.typeWord) && !rest.contains(QLatin1String("collate"), Qt::CaseInsensitive))
            type += QLatin1String(" COLLATE ") + QLatin1String(kJetCollation);
        // A key is never empty in Jet or on a server; SQLite would store NULL in any key but the rowid.
        if (c.keys.contains(item.name.toLower()) && !counter &&
            !rest.contains(QLatin1String("not null"), Qt::CaseInsensitive))
            type += QLatin1String(" NOT NULL");
        body += joinTokens(tokens, item.from, item.nameIndex + 1) + QLatin1Char(' ') + type + rest;
    }
    triggers << foreignKeyIndexes(*this, tokens, c.items, table);
    QStringList out;
    out << joinTokens(tokens, 0, c.open + 1) + body + joinTokens(tokens, c.close, int(tokens.size()));
    out << triggers;
    return out;
}

QString SqlDialect::translateCreateForServer(const QList<SqlToken> &tokens) const
{
    const CreateStatement c = parseCreateTable(tokens);
    if (m_backend != SqlBackend::PostgreSql) {
        int aliases = 0;
        return translateForServer(tokens, 0, int(tokens.size()), aliases);
    }
    QString out = QStringLiteral("CREATE TABLE ") + quoteIdentifier(storedName(tokens[c.nameIndex].text)) +
                  QLatin1String(" (");
    int aliases = 0;
    bool first = true;
    for (const CreateItem &item : c.items) {
        if (!first)
            out += QLatin1Char(',');
        first = false;
        if (!item.constraint && item.nameIndex >= 0) {
            out += quoteIdentifier(storedName(tokens[item.nameIndex].text));
            if (!item.typeWord.isEmpty())
                out += QLatin1Char(' ') + serverColumnType(item.typeWord, item.typeArgs);
        }
        out += translateForServer(tokens, item.restFrom, item.to, aliases);
    }
    return out + QLatin1Char(')');
}

QString SqlDialect::translateForServer(const QList<SqlToken> &tokens, int from, int to,
                                       int &aliasCounter) const
{
    QString out;
    QString previous; // the last significant token, lower case
    int i = from;
    while (i < to) {
        const SqlToken &t = tokens[i];
        if (t.kind == SqlToken::Bracketed) {
            out += quoteIdentifier(foldName(unquotedName(t)));
        } else if (t.kind == SqlToken::Word) {
            const QString lower = t.text.toLower();
            const int open = nextSignificant(tokens, i, to);
            if (open < to && isSymbol(tokens[open], '(') &&
                isOneOf(lower, {"switch", "iif", "nz", "ucase", "lcase"})) {
                const int close = matchingParen(tokens, open, to);
                QStringList args;
                for (const auto &[a, b] : splitAtCommas(tokens, open + 1, close))
                    args << translateForServer(tokens, a, b, aliasCounter).trimmed();
                if (lower == QLatin1String("switch")) {
                    out += QLatin1String("CASE");
                    for (int k = 0; k + 1 < args.size(); k += 2)
                        out += QLatin1String(" WHEN ") + args[k] + QLatin1String(" THEN ") + args[k + 1];
                    out += QLatin1String(" END");
                } else if (lower == QLatin1String("iif") && args.size() == 3) {
                    out += QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END").arg(args[0], args[1], args[2]);
                } else if (lower == QLatin1String("nz")) {
                    out +=
                        args.size() > 1 ? QStringLiteral("COALESCE(%1,%2)").arg(args[0], args[1]) : args[0];
                } else {
                    out += (lower == QLatin1String("ucase") ? QLatin1String("UPPER(")
                                                            : QLatin1String("LOWER(")) +
                           args.join(QLatin1Char(',')) + QLatin1Char(')');
                }
                i = close + 1;
                previous = QStringLiteral(")");
                continue;
            }
            if (m_backend == SqlBackend::Oracle &&
                (lower == QLatin1String("true") || lower == QLatin1String("false")))
                out += lower == QLatin1String("true") ? QLatin1String("1") : QLatin1String("0");
            else
                out += t.text;
        } else if (isSymbol(t, '(') &&
                   (previous == QLatin1String("from") || previous == QLatin1String("join"))) {
            const int first = nextSignificant(tokens, i, to);
            const int close = matchingParen(tokens, i, to);
            out += QLatin1Char('(') + translateForServer(tokens, i + 1, close, aliasCounter);
            if (close < to)
                out += QLatin1Char(')');
            // PostgreSQL wants a name for every derived table; Jet does not.
            if (m_backend == SqlBackend::PostgreSql && first < to && isWord(tokens[first], "select")) {
                const int after = nextSignificant(tokens, close, to);
                const bool named =
                    after < to && isNameToken(tokens[after]) &&
                    !isOneOf(tokens[after].text.toLower(),
                             {"where", "order", "group", "having", "union", "inner", "left", "right", "full",
                              "cross", "join", "on", "limit", "except", "intersect"});
                if (!named)
                    out += QStringLiteral(" AS jet_dt%1").arg(++aliasCounter);
            }
            i = close + 1;
            previous = QStringLiteral(")");
            continue;
        } else {
            out += t.text;
        }
        if (t.kind != SqlToken::Space)
            previous = t.text.toLower();
        ++i;
    }
    return out;
}

QString SqlDialect::foldName(const QString &name) const
{
    if (m_backend == SqlBackend::PostgreSql)
        return foldAscii(name, false);
    if (m_backend == SqlBackend::Oracle)
        return foldAscii(name, true);
    return name;
}

QString SqlDialect::storedName(const QString &jetName) const
{
    const QList<SqlToken> tokens = TokenizeSql(jetName.trimmed());
    if (tokens.size() == 1 && tokens[0].kind == SqlToken::Quoted)
        return unquotedName(tokens[0]);
    if (tokens.size() == 1)
        return foldName(unquotedName(tokens[0]));
    return foldName(jetName.trimmed());
}

QString SqlDialect::singleBaseTable(const QString &jetSql)
{
    const QList<SqlToken> tokens = TokenizeSql(jetSql);
    const int n = int(tokens.size());
    // Subqueries are allowed in the conditions only (after the outer where): there they choose rows
    // and give no column, so every field is still one of the table's.
    int selects = 0, depth = 0, from = -1;
    bool where = false;
    for (int i = 0; i < n; ++i) {
        const SqlToken &t = tokens[i];
        if (isSymbol(t, '('))
            ++depth;
        else if (isSymbol(t, ')'))
            --depth;
        else if (isWord(t, "select") && (depth == 0 || !where))
            ++selects;
        else if (isWord(t, "join") || isWord(t, "union"))
            return QString();
        else if (depth == 0 && from < 0 && isWord(t, "from"))
            from = i;
        else if (depth == 0 && from >= 0 && isWord(t, "where"))
            where = true;
    }
    if (selects != 1 || from < 0)
        return QString();
    const int name = nextSignificant(tokens, from, n);
    if (name >= n || !isNameToken(tokens[name]))
        return QString();
    int after = nextSignificant(tokens, name, n);
    if (after < n && (isWord(tokens[after], "as") ||
                      (tokens[after].kind == SqlToken::Word &&
                       !isOneOf(tokens[after].text.toLower(), {"where", "order", "group", "having"}))))
        after = nextSignificant(tokens,
                                isWord(tokens[after], "as") ? nextSignificant(tokens, after, n) : after, n);
    if (after < n && (isSymbol(tokens[after], ',') || isSymbol(tokens[after], '(')))
        return QString();
    return tokens[name].text;
}

QString SqlDialect::quoteIdentifier(const QString &storedName) const
{
    QString s = storedName;
    return QLatin1Char('"') + s.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

FieldType SqlDialect::fieldTypeOfDeclaration(const QString &declaredType, int *size)
{
    *size = 0;
    const QString decl = declaredType.trimmed().toLower();
    if (decl.isEmpty())
        return FieldType::Unknown;
    int end = 0;
    while (end < decl.size() && isWordChar(decl[end]))
        ++end;
    const QString w = decl.left(end);
    int chars = 0;
    const int open = decl.indexOf(QLatin1Char('('));
    if (open >= 0)
        chars = decl.mid(open + 1, decl.indexOf(QLatin1Char(')'), open) - open - 1)
                    .section(QLatin1Char(','), 0, 0)
                    .trimmed()
                    .toInt();
    if (isOneOf(w, {"counter", "autoincrement", "identity"}))
        return FieldType::AutoInc;
    if (isOneOf(w, {"integer", "int", "long", "integer4", "mediumint"}))
        return FieldType::Integer;
    if (isOneOf(w, {"smallint", "short", "integer2"}))
        return FieldType::SmallInt;
    if (isOneOf(w, {"byte", "tinyint", "integer1"}))
        return FieldType::Word;
    if (isOneOf(w, {"bigint", "int8", "integer8"}))
        return FieldType::LargeInt;
    if (isOneOf(w, {"float", "double", "real", "single", "float8", "float4", "number", "numeric", "decimal"}))
        return FieldType::Float;
    if (isOneOf(w, {"currency", "money"}))
        return FieldType::Currency;
    if (isOneOf(w, {"date", "datetime", "time", "timestamp"}))
        return FieldType::DateTime;
    if (isOneOf(w, {"yesno", "bit", "logical", "boolean", "bool"}))
        return FieldType::Boolean;
    if (isOneOf(w, {"char", "nchar", "character"}) && !decl.contains(QLatin1String("varying"))) {
        *size = chars > 0 ? chars : 1;
        return FieldType::FixedChar;
    }
    if (isOneOf(w, {"text", "memo", "longtext", "longchar", "note", "ntext", "clob"}) && chars == 0)
        return FieldType::Memo;
    if (isTextTypeWord(w)) {
        *size = chars > 0 ? chars : 255;
        return FieldType::String;
    }
    if (isOneOf(w, {"binary"})) {
        *size = chars;
        return FieldType::Bytes;
    }
    if (isOneOf(w, {"varbinary"})) {
        *size = chars;
        return FieldType::VarBytes;
    }
    if (isOneOf(w, {"blob", "longbinary", "image", "oleobject", "general", "bytea"}))
        return FieldType::Blob;
    *size = 255;
    return FieldType::String;
}

FieldType SqlDialect::fieldTypeOfOdbcType(int sqlType, int length, bool autoValue, int *size)
{
    *size = 0;
    switch (sqlType) {
    case 1:  // SQL_CHAR
    case -8: // SQL_WCHAR
        *size = length;
        return FieldType::FixedChar;
    case 12:  // SQL_VARCHAR
    case -9:  // SQL_WVARCHAR
    case -11: // SQL_GUID
        *size = length;
        return FieldType::String;
    case -1:  // SQL_LONGVARCHAR
    case -10: // SQL_WLONGVARCHAR
        return FieldType::Memo;
    case 5: // SQL_SMALLINT
        return FieldType::SmallInt;
    case -6: // SQL_TINYINT
        return FieldType::Word;
    case 4: // SQL_INTEGER
        return autoValue ? FieldType::AutoInc : FieldType::Integer;
    case -5: // SQL_BIGINT
        return autoValue ? FieldType::AutoInc : FieldType::LargeInt;
    case 2: // SQL_NUMERIC
    case 3: // SQL_DECIMAL
    case 6: // SQL_FLOAT
    case 7: // SQL_REAL
    case 8: // SQL_DOUBLE
        return FieldType::Float;
    case -7: // SQL_BIT
    case 16: // SQL_BOOLEAN
        return FieldType::Boolean;
    case 9:  // SQL_DATE
    case 91: // SQL_TYPE_DATE
        return FieldType::Date;
    case 10: // SQL_TIME
    case 92: // SQL_TYPE_TIME
        return FieldType::Time;
    case 11: // SQL_TIMESTAMP
    case 93: // SQL_TYPE_TIMESTAMP
        return FieldType::DateTime;
    case -2: // SQL_BINARY
        *size = length;
        return FieldType::Bytes;
    case -3: // SQL_VARBINARY
        *size = length;
        return FieldType::VarBytes;
    case -4: // SQL_LONGVARBINARY
        return FieldType::Blob;
    default:
        *size = length;
        return FieldType::String;
    }
}

QVariant SqlDialect::toDriverValue(FieldType type, const QVariant &value) const
{
    const bool sqlite = m_backend == SqlBackend::SQLite;
    if (sqlite && !value.isNull()) {
        // Numbers that are already what SQLite takes go through untouched.
        const int id = value.typeId();
        if ((id == QMetaType::Double && (IsDateFieldType(type) || IsFloatFieldType(type))) ||
            (id == QMetaType::LongLong && IsIntegerFieldType(type)))
            return value;
    }
    if (IsDateFieldType(type)) {
        if (sqlite)
            return value.isNull() ? QVariant(QMetaType::fromType<double>()) : QVariant(value.toDouble());
        if (value.isNull())
            return QVariant(QMetaType::fromType<QDateTime>());
        const QDateTime local = ToQDateTime(value.toDouble());
        // UTC so that no daylight-saving gap moves the time of day on its way to the driver.
        return QDateTime(local.date(), local.time(), Qt::UTC);
    }
    if (type == FieldType::Boolean) {
        if (value.isNull())
            return sqlite ? QVariant(QMetaType::fromType<qlonglong>())
                          : QVariant(QMetaType::fromType<bool>());
        return sqlite ? QVariant(qlonglong(value.toBool() ? 1 : 0)) : QVariant(value.toBool());
    }
    if (IsIntegerFieldType(type))
        return value.isNull() ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(value.toLongLong());
    if (IsFloatFieldType(type))
        return value.isNull() ? QVariant(QMetaType::fromType<double>()) : QVariant(value.toDouble());
    if (type == FieldType::Blob || type == FieldType::Bytes || type == FieldType::VarBytes)
        return value.isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(value.toByteArray());
    if (value.isNull())
        return QVariant(QMetaType::fromType<QString>());
    return value;
}

QVariant SqlDialect::toDriverValue(FieldType type, QVariant &&value) const
{
    if (m_backend == SqlBackend::SQLite && !value.isNull()) {
        const int id = value.typeId();
        if ((id == QMetaType::Double && (IsDateFieldType(type) || IsFloatFieldType(type))) ||
            (id == QMetaType::LongLong && IsIntegerFieldType(type)) ||
            (id == QMetaType::QString && IsStringFieldType(type)))
            return std::move(value);
    }
    return toDriverValue(type, std::as_const(value));
}

QVariant SqlDialect::fromDriverValue(FieldType type, const QVariant &value)
{
    if (value.isNull())
        return QVariant();
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return FromQDateTime(value.toDateTime());
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        TDateTime r = 0;
        TryEncodeDate(d.year(), d.month(), d.day(), r);
        return r;
    }
    case QMetaType::QTime: {
        const QTime t = value.toTime();
        TDateTime r = 0;
        TryEncodeTime(t.hour(), t.minute(), t.second(), t.msec(), r);
        return r;
    }
    default:
        break;
    }
    if (IsDateFieldType(type)) {
        if (value.typeId() == QMetaType::QString) {
            QDateTime dt = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
            return dt.isValid() ? QVariant(FromQDateTime(dt)) : value;
        }
        return value.toDouble();
    }
    if (type == FieldType::Boolean) {
        const QString s = value.toString();
        return !(s == QLatin1String("0") || s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
                 s.isEmpty());
    }
    if (IsIntegerFieldType(type))
        return value.toLongLong();
    if (IsFloatFieldType(type))
        return value.toDouble();
    if (type == FieldType::Blob || type == FieldType::Bytes || type == FieldType::VarBytes)
        return value.toByteArray();
    return value.toString();
}

QString SqlDialect::insertStatement(const QString &table, const QStringList &columns) const
{
    QString sql = QLatin1String("INSERT INTO ") + quoteIdentifier(table);
    if (columns.isEmpty()) {
        sql += QLatin1String(" DEFAULT VALUES");
    } else {
        QStringList quoted, marks;
        for (const QString &c : columns) {
            quoted << quoteIdentifier(c);
            marks << QStringLiteral("?");
        }
        sql += QLatin1String(" (") + quoted.join(QLatin1Char(',')) + QLatin1String(") VALUES (") +
               marks.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    if (insertReturnsRow())
        sql += QLatin1String(" RETURNING *");
    return sql;
}

QString SqlDialect::counterColumnsQuery() const
{
    if (m_backend == SqlBackend::PostgreSql)
        return QStringLiteral(
            "select column_name from information_schema.columns where table_schema=current_schema() and "
            "table_name=? and "
            "(column_default like 'nextval(%' or is_identity='YES')");
    return QString();
}

QStringList SqlDialect::savepointStatements(SavepointStep step, const QString &name) const
{
    if (m_backend == SqlBackend::OtherOdbc)
        return {};
    const bool release = m_backend != SqlBackend::Oracle;
    switch (step) {
    case SavepointStep::Set:
        return {QStringLiteral("SAVEPOINT ") + name};
    case SavepointStep::Undo:
        if (release)
            return {QStringLiteral("ROLLBACK TO SAVEPOINT ") + name,
                    QStringLiteral("RELEASE SAVEPOINT ") + name};
        return {QStringLiteral("ROLLBACK TO SAVEPOINT ") + name};
    case SavepointStep::Keep:
        if (release)
            return {QStringLiteral("RELEASE SAVEPOINT ") + name};
        return {};
    }
    return {};
}

QString SqlDialect::columnLengthsQuery() const
{
    if (m_backend == SqlBackend::PostgreSql)
        return QStringLiteral("select column_name,character_maximum_length from information_schema.columns "
                              "where table_schema=current_schema() and table_name=? and "
                              "character_maximum_length is not null");
    return QString();
}

namespace {

// Whether a statement may hold a compared literal at all, found without taking it apart: most
// statements the layer builds itself have none.
bool mayHoldComparedLiteral(const QString &sql)
{
    const QChar *p = sql.constData();
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c != u'=' && c != u'<' && c != u'>')
            continue;
        qsizetype j = i + 1;
        while (j < n && (p[j].unicode() == u' ' || p[j].unicode() == u'=' || p[j].unicode() == u'>'))
            ++j;
        if (j < n && (p[j].isDigit() || p[j].unicode() == u'\''))
            return true;
    }
    return false;
}

bool isComparison(const SqlToken &t)
{
    if (t.kind != SqlToken::Symbol)
        return false;
    return t.text == QLatin1String("=") || t.text == QLatin1String("<") || t.text == QLatin1String(">") ||
           t.text == QLatin1String("<>") || t.text == QLatin1String("<=") || t.text == QLatin1String(">=") ||
           t.text == QLatin1String("!=");
}

} // namespace

QVariantList LiftedStatement::parameters(const QVariantList &given) const
{
    QVariantList out;
    out.reserve(order.size());
    for (int slot : order)
        out << (slot >= 0 ? given.value(slot) : literals.value(-1 - slot));
    return out;
}

LiftedStatement LiftComparedLiterals(const QString &sql)
{
    LiftedStatement out;
    out.text = sql;
    if (!mayHoldComparedLiteral(sql))
        return out;
    const QList<SqlToken> tokens = TokenizeSql(sql);
    const int n = int(tokens.size());
    const int first = firstSignificant(tokens, 0, n);
    if (first >= n || !(isWord(tokens[first], "select") || isWord(tokens[first], "insert") ||
                        isWord(tokens[first], "update") || isWord(tokens[first], "delete")))
        return out;
    // Per level of parentheses: inside a select list, and inside anything a select list holds.
    struct Level
    {
        bool selectList = false;
        bool frozen = false;
    };
    QVarLengthArray<Level, 8> levels{Level()};
    QString text;
    QList<int> order;
    int given = 0;
    int previous = -1; // the last significant token
    for (int i = 0; i < n; ++i) {
        const SqlToken &t = tokens[i];
        if (t.kind == SqlToken::Space) {
            text += t.text;
            continue;
        }
        const Level level = levels.back();
        const bool compared =
            previous >= 0 && isComparison(tokens[previous]) && !level.selectList && !level.frozen;
        if (isSymbol(t, '(')) {
            levels.append({false, level.frozen || level.selectList});
        } else if (isSymbol(t, ')')) {
            if (levels.size() > 1)
                levels.removeLast();
        } else if (isWord(t, "select")) {
            levels.back().selectList = true;
        } else if (isWord(t, "from")) {
            levels.back().selectList = false;
        } else if (isSymbol(t, '?')) {
            // "?1" numbers its parameter: the order of the marks no longer tells which is which.
            if (i + 1 < n && tokens[i + 1].kind == SqlToken::Number)
                return out;
            order << given++;
        } else if ((isSymbol(t, ':') || isSymbol(t, '@') || isSymbol(t, '$')) && i + 1 < n &&
                   tokens[i + 1].kind == SqlToken::Word) {
            return out;
        }
        const bool standsAlone =
            i + 1 >= n || (tokens[i + 1].kind != SqlToken::Word && tokens[i + 1].kind != SqlToken::Number);
        bool lifted = false;
        if (compared && standsAlone && t.kind == SqlToken::Number) {
            bool ok = false;
            const qlonglong v = t.text.toLongLong(&ok);
            // Beyond 18 digits, and with a point or an exponent, SQLite's own reading decides.
            if (ok && t.text.size() <= 18) {
                out.literals << v;
                lifted = true;
            }
        } else if (compared && standsAlone && t.kind == SqlToken::String && t.text.size() >= 2 &&
                   t.text.endsWith(QLatin1Char('\''))) {
            out.literals << t.text.mid(1, t.text.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
            lifted = true;
        }
        if (lifted) {
            order << -int(out.literals.size());
            text += QLatin1Char('?');
        } else {
            text += t.text;
        }
        previous = i;
    }
    if (out.literals.isEmpty())
        return out;
    out.text = text;
    out.order = order;
    return out;
}
