#pragma once

#include "lib/dataset_api.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Every difference between Jet SQL, SQLite and the ODBC servers lives here: the rest of the system
// writes its statements as they stand in Jet and the layer hands them through this class.

enum class SqlBackend {
    SQLite,     // a station's Access file or the demo ORX database, as a SQLite file
    PostgreSql, // through psqlODBC
    Oracle,     // through Oracle's ODBC driver
    OtherOdbc,  // a server that speaks Jet-like SQL itself: sent unchanged
};

// The steps of a savepoint that keeps one row's write undoable inside a transaction.
enum class SavepointStep {
    Set,  // before the write
    Undo, // the write is taken back, the rest of the transaction stays
    Keep, // the write stands
};

struct SqlToken
{
    enum Kind { Space, Word, Bracketed, Quoted, BackQuoted, String, Number, Escape, Symbol };
    Kind kind;
    QString text;
};

QList<SqlToken> TokenizeSql(const QString &sql);

class SqlDialect
{
public:
    explicit SqlDialect(SqlBackend backend = SqlBackend::SQLite) : m_backend(backend) {}
    SqlBackend backend() const { return m_backend; }

    // The backend from the DBMS name an ODBC driver reports.
    static SqlBackend backendForDbmsName(const QString &dbmsName);

    // The statements to send for one Jet statement; a create statement may need more than one.
    QStringList translate(const QString &jetSql) const;

    // A name as the server stores it, from how a Jet statement writes it ("[Date]", "N_equake").
    QString storedName(const QString &jetName) const;
    // The table a select statement reads when it reads exactly one, as the statement writes it
    // ("[События]"); empty for joins, subqueries, unions and anything else.
    static QString singleBaseTable(const QString &jetSql);
    // A stored name quoted for a statement the layer builds itself.
    QString quoteIdentifier(const QString &storedName) const;

    // The field type of a SQLite declared column type (the Jet type kept in the schema); size receives
    // the characters of a text type. An empty declaration gives Unknown.
    static FieldType fieldTypeOfDeclaration(const QString &declaredType, int *size);
    // The field type of an ODBC column (its SQL type code and column size).
    static FieldType fieldTypeOfOdbcType(int sqlType, int length, bool autoValue, int *size);

    // A dataset value (see dataset_api.h) as the driver takes it as a bound parameter.
    QVariant toDriverValue(FieldType type, const QVariant &value) const;
    // The same, a value already in the driver's form handed on without a copy.
    QVariant toDriverValue(FieldType type, QVariant &&value) const;
    // A driver value in the form the datasets hand out (dates as TDateTime on every back end).
    static QVariant fromDriverValue(FieldType type, const QVariant &value);

    // An insert that hands back the stored row (counters included) where the server can.
    QString insertStatement(const QString &table, const QStringList &columns) const;
    bool insertReturnsRow() const { return m_backend == SqlBackend::PostgreSql; }
    // The columns numbered by the server itself; empty when the server cannot be asked.
    QString counterColumnsQuery() const;
    // The catalog query (the table's stored name as its parameter) giving each column whose type bounds
    // its text, and that bound; empty where the layer reads the declarations itself (SQLite) or has no
    // catalog to ask.
    QString columnLengthsQuery() const;

    // The statements of one savepoint step, in order. Oracle has no RELEASE SAVEPOINT (its savepoints
    // end with the transaction); a server of Jet-like SQL has no savepoints at all and sends nothing, so
    // that a write that must be taken back there fails the enclosing transaction, which undoes it.
    QStringList savepointStatements(SavepointStep step, const QString &name) const;

private:
    QStringList translateCreateForSQLite(const QList<SqlToken> &tokens) const;
    QString translateCreateForServer(const QList<SqlToken> &tokens) const;
    QString translateForServer(const QList<SqlToken> &tokens, int from, int to, int &aliasCounter) const;
    QString translateForSQLite(const QList<SqlToken> &tokens) const;
    QString foldName(const QString &name) const;

    SqlBackend m_backend;
};

// A statement whose compared literals are lifted out as parameters: "... where arid=17" becomes
// "... where arid=?" with 17 to bind. Statements that differ only in such values then share one
// prepared form. Only integers and texts right after a comparison (=, <>, <, >, <=, >=) are lifted,
// never in a select list (where the text names a column) and never in other than select, insert,
// update and delete statements; a statement with named or numbered parameters is left alone.
struct LiftedStatement
{
    QString text;
    QVariantList literals;
    // The parameters of text in order: the index of a given parameter, or -1 - the index of a literal.
    QList<int> order;
    bool lifted() const { return !literals.isEmpty(); }
    // The parameters to bind to text, the given ones and the literals in their places.
    QVariantList parameters(const QVariantList &given) const;
};
LiftedStatement LiftComparedLiterals(const QString &sql);

// Days since 30.12.1899 for an ODBC date, time or timestamp escape ("{d '2024-01-01'}"); false when the
// text is none of them.
bool OdbcEscapeToDaySerial(const QString &escape, double &value);
