#pragma once

// What the benchmarks share: the hosts they give the products and the transfers (no screen, nothing
// asked, nothing mailed or shown), and the rows of a table put on a server.

#include "app/data/data_module.h"
#include "app/settings/connection_params.h"
#include "app/settings/reference_tables.h"
#include "db/db_backend.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/insert_batch.h"
#include "db/jet_sqlite.h"
#include "db/sql_literals.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_file.h"
#include "exchange/orv/orv_import.h"
#include "exchange/orx_copy/orx_copy.h"
#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/datetime.h"
#include "lib/messages.h"
#include "platform/zip_archive.h"
#include "products/bulletin_report.h"
#include "products/orx_summary.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QProcess>
#include <QtEndian>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

// The report window's host; a bench names the databases, the filters and the program folder.
class QuietReportHost : public ReportHost
{
public:
    QWidget *Owner() override { return nullptr; }
    void CloseDB_ADO(DbConnection &Conn) override { Conn.Close(); }
    ConnParams OrxConnParams(const Tsett &) override { return {}; }
    bool MainStation(const QString &, tstainfo &) override { return false; }
    QString CodeToSta(const QString &Code, bool) override { return Code; }
    int ReportCounter() override { return 1; }
    QString ShortDateText(TDateTime Date) override
    {
        return FormatDateTime(QStringLiteral("dd.mm.yyyy"), Date);
    }
    void ZipFiles(const QString &, const QString &) override {}
    bool SendMail(const QString &, const QString &, bool, const QString &, const QString &, const QString &,
                  const QString &) override
    {
        return false;
    }
    void Progress(int, int, const QString &, bool *) override {}
    void HideProgress() override {}
    void ShowReport(const QString &) override {}
};

// The summary from ORX of one station's day, on one open ORX connection, written into Folder.
class QuietOrxSummaryHost : public OrxSummaryHost
{
public:
    QuietOrxSummaryHost(DbConnection &Orx, const QString &Station, TDateTime Day, const QString &Folder,
                        const TD2D &Waves, const tmulss &Factors, const tfilts &Filters)
        : m_orx(Orx), m_station(Station), m_waves(Waves), m_factors(Factors), m_filters(Filters)
    {
        m_sett.svodka_date = Day;
        m_sett.svodka_dir = Folder;
        m_sett.svset = 3;
        m_sett.multi_name = QStringLiteral("_multi");
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskSummaryParameters() override { return true; }
    QString CurrentStationCode() override { return m_station; }
    QString CurrentStationSection() override { return m_station; }
    bool GetStationDBParams(QString &, QString &, QString &, int, bool) override { return false; }
    DbConnection &BulletinConnection() override { return m_orx; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void SqlDateRange(QString &, QString &, TDateTime, TDateTime) override {}
    int EditSummary(const QString &, bool, QStringList &) override { return IDCANCEL; }
    bool SendMail(QChar, const QString &, const QString &) override { return false; }
    void GetOrxConnParams(QString &, QString &, QString &) override {}
    DbConnection &OrxConnection() override { return m_orx; }
    QStringList CheckedStations() override { return {}; }
    bool SelectedNetwork(QStringList &) override { return false; }
    QString StationSta(const QString &) override { return QString(); }
    const TD2D &WaveTable() override { return m_waves; }
    const tmulss &WaveFactors() override { return m_factors; }
    const tfilts &Filters() override { return m_filters; }

private:
    DbConnection &m_orx;
    QString m_station;
    const TD2D &m_waves;
    const tmulss &m_factors;
    const tfilts &m_filters;
    Tsett m_sett;
};

// The copy from ORX of one station's period, between two open connections, nothing asked; Odbc picks
// the bulletin database's date literals.
class QuietOrxCopyHost : public OrxCopyHost
{
public:
    QuietOrxCopyHost(DbConnection &Orx, DbConnection &Bulletin, bool Odbc, const QString &Station,
                     TDateTime First, TDateTime Last)
        : m_orx(Orx), m_bulletin(Bulletin), m_odbc(Odbc), m_station(Station)
    {
        m_sett.start_date = First;
        m_sett.end_date = Last;
        m_sett.start_mode = 1;
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskPeriod() override { return true; }
    QString CurrentStationSection() override { return m_station; }
    void GetOrxConnParams(QString &Source, QString &, QString &) override { Source = QStringLiteral("orx"); }
    bool GetStationDBParams(QString &Source, QString &, QString &, int, bool) override
    {
        Source = QStringLiteral("bulletin");
        return true;
    }
    DbConnection &OrxConnection() override { return m_orx; }
    DbConnection &BulletinConnection() override { return m_bulletin; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(m_odbc, FromDate, ToDate, FromLit, ToLit);
    }
    void ShowProgress(const QString &, int) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}

private:
    DbConnection &m_orx, &m_bulletin;
    bool m_odbc;
    QString m_station;
    Tsett m_sett;
};

// The ORV export and import on the data module's ORX connection, opened on the source a bench points at
// as the program opens it; the export's settings a bench sets, the program folder (with its trailing "/")
// the bench gives; nothing asked, shown or mailed.
class QuietOrvHost : public OrvImportHost, public OrvExportHost
{
public:
    explicit QuietOrvHost(const QString &Folder) : m_folder(Folder)
    {
        m_sett.fullorx = true;
        m_sett.orxini = false;
        m_sett.maile_send = false;
    }
    Tsett &ExportSettings() { return m_sett; }
    void Point(const QString &Source, const QString &User, const QString &Password)
    {
        m_sett.ORX_source = Source;
        m_sett.ORX_user = User;
        m_sett.ORX_pass = Password;
    }

    QWidget *Owner() override { return nullptr; }
    TFormatSettings LocaleSettings() override { return TFormatSettings(); }
    bool MergeEvents() override { return false; }
    Tsett Settings() override { return m_sett; }
    QString CurrentStationSection() override { return QString(); }
    QStringList CheckedStations() override { return {}; }
    DbConnection &OrxConnection() override { return *Tdm::instance()->conPubs; }
    bool OpenOrx() override
    {
        Tdm &dm = *Tdm::instance();
        const ConnectionSetup setup = ComputeConnectionSetup(m_sett);
        dm.conPubs->SetProvider(setup.orxProvider);
        dm.conPubs->SetConnectionString(setup.orxTemplate);
        return dm.OpenDB_ADO(dm.conPubs, m_sett.ORX_source, m_sett.ORX_user, m_sett.ORX_pass);
    }
    void CloseOrx() override { Tdm::instance()->CloseDB_ADO(Tdm::instance()->conPubs); }
    QString ProgramFolder() override { return m_folder; }
    TD2D &ViewTable(int Slot) override { return m_tables[Slot]; }
    void ClearImportGrid() override {}
    void ShowStatus(const QString &, const QString &, const QString &) override {}
    void ZipFiles(const QString &ZipName, const QStringList &Files) override
    {
        zipFiles(ZipName, QString(), Files, OrvDeflateLevel);
    }
    bool SendMail(const QString &, const QString &) override { return false; }
    void ShowProgress() override {}
    void SetProgressMaximum(int) override {}
    void SetProgress(int, const QString &) override {}
    void HideProgress() override {}

private:
    QString m_folder;
    Tsett m_sett;
    TD2D m_tables[3];
};

// The rows of a table into the table of the same name and columns, through the server's own statement
// with bound values, in the caller's transaction.
inline void CopyTableRows(DbConnection &From, DbConnection &To, const QString &Table)
{
    DbQuery rows(&From);
    rows.SetForwardOnly(true);
    rows.SetSQL(QStringLiteral("select * from [%1]").arg(Table));
    rows.Open();
    QStringList names, marks;
    for (const DbColumn &c : rows.Columns()) {
        names << QLatin1Char('[') + c.name + QLatin1Char(']');
        marks << QStringLiteral("?");
    }
    DbBackend &server = To.backend();
    const QString insert =
        server.dialect()
            .translate(QStringLiteral("insert into [%1] (%2) values (%3)")
                           .arg(Table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))))
            .value(0);
    QVariantList values(rows.FieldCount());
    for (; !rows.Eof(); rows.Next()) {
        for (int i = 0; i < rows.FieldCount(); ++i)
            values[i] = server.dialect().toDriverValue(rows.Columns()[i].type, rows.Field(i)->Value());
        server.execute(insert, values);
    }
}

// A row's values bound to a sqlite3 statement by their type; the rest as text.
inline void BindSqliteRow(sqlite3_stmt *St, const QVariantList &Row)
{
    for (int c = 0; c < int(Row.size()); ++c) {
        const QVariant &v = Row[c];
        if (v.isNull())
            sqlite3_bind_null(St, c + 1);
        else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
            sqlite3_bind_int64(St, c + 1, v.toLongLong());
        else if (v.typeId() == QMetaType::Double)
            sqlite3_bind_double(St, c + 1, v.toDouble());
        else
            sqlite3_bind_text(St, c + 1, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
}

// ---------------------------------------------------------------------------------------------------
// The raw baselines, set up as fairly as the layer sets itself up: a SQLite file opened as Qt's driver
// opens it, a PostgreSQL source reached as the layer reaches it (one round trip a statement), each
// statement shape prepared once, writes in one transaction.

using RawColumnsSink = std::function<void(const QStringList &Names, const QByteArray &OrvTypes)>;
using RawRowSink = std::function<void(const QVariantList &Row)>;

// The ORV type code a raw export writes for a column of this declared type: texts, integers, numbers,
// dates (day serials).
inline char RawOrvType(const QString &Declared)
{
    const QString t = Declared.toLower();
    FieldType type = FieldType::Float;
    if (t.contains(QLatin1String("char")) || t.contains(QLatin1String("text")))
        type = FieldType::String;
    else if (t.contains(QLatin1String("date")) || t.contains(QLatin1String("time")))
        type = FieldType::DateTime;
    else if (t.contains(QLatin1String("int")) || t == QLatin1String("counter"))
        type = FieldType::Integer;
    return char(int(type));
}

// A SQLite file opened as Qt's driver opens one (read-write, without SQLite's own mutex, as a connection
// serves one thread), with the Jet functions and the collation the layer gives its text columns; null
// when it cannot be opened.
inline sqlite3 *OpenRawSqlite(const QString &Path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(Path.toUtf8().constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK ||
        !RegisterJetFunctions(db)) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// A SQLite file through sqlite3 itself, opened as above; every value of every row read.
class RawSqlite
{
public:
    explicit RawSqlite(const QString &Path) : m_db(OpenRawSqlite(Path))
    {
        if (!m_db)
            throw DbError(QStringLiteral("cannot open ") + Path);
    }
    ~RawSqlite()
    {
        for (const auto &shape : m_shapes)
            sqlite3_finalize(shape.second);
        sqlite3_close(m_db);
    }
    RawSqlite(const RawSqlite &) = delete;
    RawSqlite &operator=(const RawSqlite &) = delete;
    sqlite3 *handle() const { return m_db; }

    // The rows of a statement prepared for this one run; each row kept as values when Keep is given,
    // written as a line of text when Out is given. Returns the row count.
    qint64 read(const QString &Sql, QIODevice *Out = nullptr, std::vector<QVariantList> *Keep = nullptr)
    {
        sqlite3_stmt *st = prepare(Sql);
        const qint64 rows = stepAll(st, Out, Keep);
        sqlite3_finalize(st);
        return rows;
    }

    // The rows of a statement one at a time to Each, after the names and ORV type codes of its columns (from
    // their declared types) to Begin. Returns the row count.
    qint64 scan(const QString &Sql, const RawColumnsSink &Begin, const RawRowSink &Each)
    {
        sqlite3_stmt *st = prepare(Sql);
        QStringList names;
        QByteArray types;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            names << QString::fromUtf8(sqlite3_column_name(st, c));
            types.append(RawOrvType(QString::fromUtf8(sqlite3_column_decltype(st, c))));
        }
        Begin(names, types);
        const qint64 rows = stepAll(st, nullptr, nullptr, &Each);
        sqlite3_finalize(st);
        return rows;
    }

    // The same for a statement shape with "?" markers, prepared once on this connection.
    qint64 readShape(const QString &Shape, const QVariantList &Params,
                     std::vector<QVariantList> *Keep = nullptr)
    {
        sqlite3_stmt *&st = m_shapes[Shape];
        if (!st)
            st = prepare(Shape);
        BindSqliteRow(st, Params);
        const qint64 rows = stepAll(st, nullptr, Keep);
        sqlite3_reset(st);
        return rows;
    }

    void exec(const QString &Sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, Sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString message = QString::fromUtf8(error ? error : "?");
            sqlite3_free(error);
            throw DbError(Sql + QStringLiteral(": ") + message);
        }
    }

    // Every row through one statement with "?" markers, prepared once.
    void insertRows(const QString &Sql, const std::vector<QVariantList> &Rows)
    {
        auto row = Rows.begin();
        insertEach(Sql, [&](QVariantList &Row) {
            if (row == Rows.end())
                return false;
            Row = *row++;
            return true;
        });
    }

    // The same for the rows Next gives (bool Next(QVariantList &), false after the last).
    template <class Next> qint64 insertEach(const QString &Sql, Next &&NextRow)
    {
        sqlite3_stmt *st = prepare(Sql);
        QVariantList row;
        qint64 rows = 0;
        while (NextRow(row)) {
            BindSqliteRow(st, row);
            if (sqlite3_step(st) != SQLITE_DONE) {
                const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
                sqlite3_finalize(st);
                throw DbError(message);
            }
            sqlite3_reset(st);
            ++rows;
        }
        sqlite3_finalize(st);
        return rows;
    }

private:
    sqlite3_stmt *prepare(const QString &Sql)
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, Sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw DbError(Sql + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
        return st;
    }

    qint64 stepAll(sqlite3_stmt *st, QIODevice *Out, std::vector<QVariantList> *Keep,
                   const RawRowSink *Each = nullptr)
    {
        qint64 rows = 0;
        QByteArray line;
        const int columns = sqlite3_column_count(st);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            ++rows;
            line.clear();
            QVariantList row;
            if (Each) {
                eachRow(st, columns, row);
                (*Each)(row);
                continue;
            }
            for (int c = 0; c < columns; ++c) {
                if (c && Out)
                    line += ';';
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    if (Keep)
                        row << QVariant(qlonglong(sqlite3_column_int64(st, c)));
                    if (Out)
                        line += QByteArray::number(sqlite3_column_int64(st, c));
                    else
                        benchmark::DoNotOptimize(sqlite3_column_int64(st, c));
                    break;
                case SQLITE_FLOAT:
                    if (Keep)
                        row << QVariant(sqlite3_column_double(st, c));
                    if (Out)
                        line += QByteArray::number(sqlite3_column_double(st, c), 'g', 15);
                    else
                        benchmark::DoNotOptimize(sqlite3_column_double(st, c));
                    break;
                case SQLITE_TEXT: {
                    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                    const int bytes = sqlite3_column_bytes(st, c);
                    if (Keep)
                        row << QVariant(QString::fromUtf8(text, bytes));
                    if (Out)
                        line.append(text, bytes);
                    else
                        benchmark::DoNotOptimize(std::string(text, std::size_t(bytes)));
                    break;
                }
                default:
                    if (Keep)
                        row << QVariant();
                    break;
                }
            }
            if (Keep)
                Keep->push_back(std::move(row));
            if (Out) {
                line += "\r\n";
                Out->write(line);
            }
        }
        if (rc != SQLITE_DONE)
            throw DbError(QString::fromUtf8(sqlite3_errmsg(m_db)));
        return rows;
    }

    static void eachRow(sqlite3_stmt *st, int Columns, QVariantList &Row)
    {
        Row.resize(Columns);
        for (int c = 0; c < Columns; ++c)
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                Row[c] = qlonglong(sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT:
                Row[c] = sqlite3_column_double(st, c);
                break;
            case SQLITE_TEXT:
                Row[c] = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                           sqlite3_column_bytes(st, c));
                break;
            default:
                Row[c] = QVariant();
                break;
            }
    }

    sqlite3 *m_db;
    std::map<QString, sqlite3_stmt *> m_shapes;
};

// A PostgreSQL source through psqlODBC's own API, connected as the layer connects (UseServerSidePrepare=0:
// one round trip a statement). Reads run with SQLExecDirect; rows of one shape go through one prepared
// statement with bound values, each run one round trip.
class RawOdbc
{
public:
    // Source: "DSN=...[;Database=...][;options]".
    RawOdbc(const QString &Source, const QString &User, const QString &Password)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        QString text = Source;
        if (!text.contains(QLatin1String("UseServerSidePrepare"), Qt::CaseInsensitive))
            text += QLatin1String(";UseServerSidePrepare=0");
        text += QStringLiteral(";UID=%1;PWD=%2").arg(User, Password);
        const std::u16string connect = text.toStdU16String();
        if (!SQL_SUCCEEDED(SQLDriverConnectW(
                m_dbc, nullptr, reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(connect.c_str())),
                SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
            fail(SQL_HANDLE_DBC, m_dbc, QStringLiteral("connect"));
    }
    ~RawOdbc()
    {
        for (const auto &shape : m_shapes)
            SQLFreeHandle(SQL_HANDLE_STMT, shape.second);
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    RawOdbc(const RawOdbc &) = delete;
    RawOdbc &operator=(const RawOdbc &) = delete;

    // The rows of a statement, every value read in its column's type (texts as UTF-16, as the layer
    // reads them); each row kept as values when Keep is given, written as a line of text when Out is
    // given (then every value is read as text). Returns the row count.
    qint64 read(const QString &Sql, QIODevice *Out = nullptr, std::vector<QVariantList> *Keep = nullptr)
    {
        SQLHSTMT st = execDirect(Sql);
        const qint64 rows = fetchAll(st, Out, Keep);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return rows;
    }

    // The rows of a statement one at a time to Each, after the names and ORV type codes of its columns to
    // Begin; dates as date-times. Returns the row count.
    qint64 scan(const QString &Sql, const RawColumnsSink &Begin, const RawRowSink &Each)
    {
        SQLHSTMT st = execDirect(Sql);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(st, &columns);
        QStringList names;
        QByteArray types;
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c) {
            SQLWCHAR name[256];
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeColW(st, c, name, SQLSMALLINT(std::size(name)), &nameLength, &type, &size, &digits,
                            &nullable);
            names << QString::fromUtf16(reinterpret_cast<const char16_t *>(name),
                                        qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
            types.append(
                char(int(type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIT
                             ? FieldType::Integer
                         : type == SQL_BIGINT ? FieldType::LargeInt
                         : type == SQL_REAL || type == SQL_FLOAT || type == SQL_DOUBLE ||
                                 type == SQL_NUMERIC || type == SQL_DECIMAL
                             ? FieldType::Float
                         : type == SQL_TYPE_TIMESTAMP || type == SQL_TYPE_DATE || type == SQL_TYPE_TIME
                             ? FieldType::DateTime
                             : FieldType::String)));
        }
        Begin(names, types);
        const qint64 rows = fetchAll(st, nullptr, nullptr, &Each);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return rows;
    }

    // The same for a statement shape with "?" markers: prepared once on this connection, each run
    // binding Params (integers, numbers and texts).
    qint64 readShape(const QString &Shape, const QVariantList &Params,
                     std::vector<QVariantList> *Keep = nullptr)
    {
        const SQLHSTMT st = shape(Shape);
        std::vector<Bound> values(size_t(Params.size()));
        for (SQLUSMALLINT c = 0; c < SQLUSMALLINT(Params.size()); ++c)
            bind(st, c, Params[c], Params[c].metaType(), values[c], Shape);
        if (!SQL_SUCCEEDED(SQLExecute(st)))
            fail(SQL_HANDLE_STMT, st, Shape);
        const qint64 rows = fetchAll(st, nullptr, Keep);
        SQLFreeStmt(st, SQL_CLOSE);
        SQLFreeStmt(st, SQL_RESET_PARAMS);
        return rows;
    }

private:
    // The statement handle of a shape, prepared on its first use on this connection.
    SQLHSTMT shape(const QString &Sql)
    {
        SQLHSTMT &st = m_shapes[Sql];
        if (!st) {
            SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &st);
            const std::u16string text = Sql.toStdU16String();
            if (!SQL_SUCCEEDED(SQLPrepareW(
                    st, reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(text.c_str())), SQL_NTS)))
                fail(SQL_HANDLE_STMT, st, Sql.left(200));
        }
        return st;
    }

    qint64 fetchAll(SQLHSTMT st, QIODevice *Out, std::vector<QVariantList> *Keep,
                    const RawRowSink *Each = nullptr)
    {
        SQLSMALLINT columns = 0;
        SQLNumResultCols(st, &columns);
        std::vector<SQLSMALLINT> types(size_t(columns), 0);
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c) {
            SQLSMALLINT nameLength = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeColW(st, c, nullptr, 0, &nameLength, &types[c - 1], &size, &digits, &nullable);
        }
        qint64 rows = 0;
        QByteArray line;
        SQLWCHAR wide[2048];
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            ++rows;
            line.clear();
            QVariantList row;
            for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c) {
                SQLLEN indicator = 0;
                if (Out && !Keep && !Each) {
                    if (c > 1)
                        line += ';';
                    SQLGetData(st, c, SQL_C_WCHAR, wide, sizeof wide, &indicator);
                    if (indicator > 0)
                        line += QStringView(reinterpret_cast<const char16_t *>(wide),
                                            qMin<qsizetype>(indicator / 2, qsizetype(std::size(wide)) - 1))
                                    .toUtf8();
                    continue;
                }
                QVariant v;
                switch (types[c - 1]) {
                case SQL_SMALLINT:
                case SQL_INTEGER:
                case SQL_BIGINT:
                case SQL_TINYINT:
                case SQL_BIT: {
                    SQLBIGINT n = 0;
                    SQLGetData(st, c, SQL_C_SBIGINT, &n, 0, &indicator);
                    if (Keep || Each)
                        v = qlonglong(n);
                    benchmark::DoNotOptimize(n);
                    break;
                }
                case SQL_REAL:
                case SQL_FLOAT:
                case SQL_DOUBLE:
                case SQL_NUMERIC:
                case SQL_DECIMAL: {
                    double d = 0;
                    SQLGetData(st, c, SQL_C_DOUBLE, &d, 0, &indicator);
                    if (Keep || Each)
                        v = d;
                    benchmark::DoNotOptimize(d);
                    break;
                }
                case SQL_TYPE_TIMESTAMP:
                case SQL_TYPE_DATE:
                case SQL_TYPE_TIME: {
                    SQL_TIMESTAMP_STRUCT t{};
                    SQLGetData(st, c, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator);
                    if (Keep || Each)
                        v = QDateTime(QDate(t.year, t.month, t.day),
                                      QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000)));
                    benchmark::DoNotOptimize(t);
                    break;
                }
                default: {
                    SQLGetData(st, c, SQL_C_WCHAR, wide, sizeof wide, &indicator);
                    if ((Keep || Each) && indicator >= 0)
                        v = QString::fromUtf16(
                            reinterpret_cast<const char16_t *>(wide),
                            qMin<qsizetype>(indicator / 2, qsizetype(std::size(wide)) - 1));
                    break;
                }
                }
                if (!Keep && !Each)
                    continue;
                if (indicator == SQL_NULL_DATA)
                    v = QVariant();
                row << v;
                if (Out) {
                    if (c > 1)
                        line += ';';
                    line += v.toString().toUtf8();
                }
            }
            if (Each)
                (*Each)(row);
            if (Keep)
                Keep->push_back(std::move(row));
            if (Out) {
                line += "\r\n";
                Out->write(line);
            }
        }
        return rows;
    }

public:
    void exec(const QString &Sql) { SQLFreeHandle(SQL_HANDLE_STMT, execDirect(Sql)); }

    // Writes between these are one transaction.
    void begin()
    {
        SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    }
    void commit()
    {
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_COMMIT)))
            fail(SQL_HANDLE_DBC, m_dbc, QStringLiteral("commit"));
        SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }

    // Every row through one statement with "?" markers, prepared once, each run binding the row's values
    // by their types; a NULL takes the type of its column (Types, one per marker).
    void insertRows(const QString &Sql, const std::vector<QVariantList> &Rows, const QList<QMetaType> &Types)
    {
        SQLHSTMT st = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &st);
        const std::u16string text = Sql.toStdU16String();
        if (!SQL_SUCCEEDED(
                SQLPrepareW(st, reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(text.c_str())), SQL_NTS)))
            fail(SQL_HANDLE_STMT, st, Sql);
        std::vector<Bound> values(size_t(Types.size()));
        for (const QVariantList &row : Rows) {
            for (SQLUSMALLINT c = 0; c < SQLUSMALLINT(Types.size()); ++c)
                bind(st, c, row[c], Types[c], values[c], Sql);
            if (!SQL_SUCCEEDED(SQLExecute(st)))
                fail(SQL_HANDLE_STMT, st, Sql);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    }

    static qsizetype RowsPerStatement(qsizetype Columns)
    {
        return std::clamp<qsizetype>(DbInsertBatch::kMaxParameters / std::max<qsizetype>(Columns, 1), 1,
                                     DbInsertBatch::kDefaultCapacity);
    }

    // The rows many to a statement, as the layer sends the rows a writer adds inside a transaction on a
    // server: INSERTs of as many rows and parameters as the layer's batch takes (RowsPerStatement), each
    // shape prepared once on this connection. Head is the statement up to its values ("insert into t (a,b)
    // values "); a NULL takes the type of its column (Types, one per column).
    void insertMany(const QString &Head, const std::vector<QVariantList> &Rows, const QList<QMetaType> &Types)
    {
        const qsizetype columns = Types.size();
        if (columns == 0)
            return;
        const qsizetype perStatement = RowsPerStatement(columns);
        const QString one = QLatin1Char('(') +
                            QStringList(columns, QStringLiteral("?")).join(QLatin1Char(',')) +
                            QLatin1Char(')');
        std::vector<Bound> values;
        for (std::size_t from = 0; from < Rows.size(); from += std::size_t(perStatement)) {
            const qsizetype rows = qMin<qsizetype>(perStatement, qsizetype(Rows.size() - from));
            const QString sql = Head + QStringList(rows, one).join(QLatin1Char(','));
            const SQLHSTMT st = shape(sql);
            values.resize(std::size_t(rows * columns));
            for (qsizetype r = 0; r < rows; ++r)
                for (qsizetype c = 0; c < columns; ++c)
                    bind(st, SQLUSMALLINT(r * columns + c), Rows[from + std::size_t(r)][c], Types[c],
                         values[std::size_t(r * columns + c)], Head);
            if (!SQL_SUCCEEDED(SQLExecute(st)))
                fail(SQL_HANDLE_STMT, st, Head);
            SQLFreeStmt(st, SQL_CLOSE);
        }
    }

private:
    // A bound value, alive until the statement ran.
    struct Bound
    {
        SQLBIGINT integer = 0;
        double number = 0;
        SQL_TIMESTAMP_STRUCT timestamp{};
        std::u16string text;
        SQLLEN indicator = 0;
    };

    // Marker c (from 0) bound to v by its type; a NULL takes the type given.
    static void bind(SQLHSTMT st, SQLUSMALLINT c, const QVariant &v, QMetaType NullType, Bound &b,
                     const QString &Sql)
    {
        const int type = v.isNull() ? NullType.id() : v.typeId();
        b.indicator = v.isNull() ? SQL_NULL_DATA : 0;
        SQLRETURN rc;
        if (type == QMetaType::LongLong || type == QMetaType::Int) {
            b.integer = v.toLongLong();
            rc = SQLBindParameter(st, c + 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b.integer, 0,
                                  &b.indicator);
        } else if (type == QMetaType::Double) {
            b.number = v.toDouble();
            rc = SQLBindParameter(st, c + 1, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &b.number, 0,
                                  &b.indicator);
        } else if (type == QMetaType::QDateTime) {
            const QDateTime d = v.toDateTime();
            b.timestamp = {SQLSMALLINT(d.date().year()),          SQLUSMALLINT(d.date().month()),
                           SQLUSMALLINT(d.date().day()),          SQLUSMALLINT(d.time().hour()),
                           SQLUSMALLINT(d.time().minute()),       SQLUSMALLINT(d.time().second()),
                           SQLUINTEGER(d.time().msec()) * 1000000};
            rc = SQLBindParameter(st, c + 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3,
                                  &b.timestamp, 0, &b.indicator);
        } else {
            b.text = v.toString().toStdU16String();
            if (!v.isNull())
                b.indicator = SQLLEN(b.text.size() * 2);
            rc = SQLBindParameter(st, c + 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                  qMax<SQLULEN>(b.text.size(), 1), 0, b.text.data(),
                                  SQLLEN(b.text.size() * 2), &b.indicator);
        }
        if (!SQL_SUCCEEDED(rc))
            fail(SQL_HANDLE_STMT, st, Sql);
    }

    SQLHSTMT execDirect(const QString &Sql)
    {
        SQLHSTMT st = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &st);
        const std::u16string text = Sql.toStdU16String();
        const SQLRETURN rc =
            SQLExecDirectW(st, reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(text.c_str())), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            fail(SQL_HANDLE_STMT, st, Sql);
        return st;
    }

    [[noreturn]] static void fail(SQLSMALLINT Kind, SQLHANDLE Handle, const QString &What)
    {
        throw DbError(What + QStringLiteral(": ") + OdbcBackend::diagnostics(Kind, Handle));
    }

    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    std::map<QString, SQLHSTMT> m_shapes;
};

// ---------------------------------------------------------------------------------------------------
// An ORV event file imported raw: unpacked by the unzip program, its table dumps read from the disk as
// plainly as their layout allows, and their rows inserted in one transaction into the tables of their
// names, which the caller made as the import finds them (keys and indexes included).

// One table dump of version 1.1 read forward: the 164-byte header (table name, field count, station
// count), the station entries and the field list, then the records: a NULL byte a field, then 4-byte
// integers, 8-byte numbers and day serials, texts as a 4-byte length and windows-1251 bytes; little-endian.
class RawOrvDump
{
public:
    // ServerDates: dates as date-times of their calendar parts, as they are bound on a server; else day
    // serials, as the layer stores them in a SQLite file.
    RawOrvDump(const QString &Path, bool ServerDates) : m_file(Path), m_serverDates(ServerDates)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            throw DbError(QStringLiteral("cannot open ") + Path);
        constexpr qsizetype header = 164;
        need(header);
        m_table = QString::fromLatin1(m_buffer.data() + 9, quint8(m_buffer[8]));
        const qint32 fields = int32(136), stations = int32(160);
        m_pos = header;
        for (qint32 i = 0; i < stations; ++i) {
            text();
            need(16);
            m_pos += 16;
        }
        for (qint32 i = 0; i < fields; ++i) {
            need(1);
            m_types.append(m_buffer[std::size_t(m_pos++)]);
            m_names << text();
        }
    }

    const QString &table() const { return m_table; }
    const QStringList &names() const { return m_names; }
    // The type of each column's values, for a NULL bound on the server.
    QList<QMetaType> types() const
    {
        QList<QMetaType> types;
        for (const char t : m_types)
            types << (IsOrvStringType(t) ? QMetaType::fromType<QString>()
                      : isDate(t)
                          ? (m_serverDates ? QMetaType::fromType<QDateTime>() : QMetaType::fromType<double>())
                      : isNumber(t) ? QMetaType::fromType<double>()
                                    : QMetaType::fromType<qlonglong>());
        return types;
    }

    // The next record's values; false at the end of the file.
    bool next(QVariantList &Row)
    {
        if (!more())
            return false;
        Row.resize(m_types.size());
        for (qsizetype f = 0; f < m_types.size(); ++f) {
            need(1);
            if (m_buffer[std::size_t(m_pos++)] == 1) {
                Row[f] = QVariant();
                continue;
            }
            const char t = m_types[f];
            if (IsOrvStringType(t)) {
                Row[f] = text();
            } else if (isDate(t) || isNumber(t)) {
                need(8);
                const double value = float64(m_pos);
                m_pos += 8;
                Row[f] = isDate(t) && m_serverDates ? dateTime(value) : QVariant(value);
            } else {
                const qsizetype size = FieldType(quint8(t)) == FieldType::LargeInt  ? 8
                                       : FieldType(quint8(t)) == FieldType::Boolean ? 1
                                                                                    : 4;
                need(size);
                const char *at = m_buffer.data() + m_pos;
                Row[f] = size == 8   ? qlonglong(qFromLittleEndian<qint64>(at))
                         : size == 4 ? qlonglong(qFromLittleEndian<qint32>(at))
                                     : qlonglong(*at ? 1 : 0);
                m_pos += size;
            }
        }
        return true;
    }

private:
    static bool isDate(char t)
    {
        const FieldType f = FieldType(quint8(t));
        return f == FieldType::Date || f == FieldType::Time || f == FieldType::DateTime;
    }
    static bool isNumber(char t)
    {
        const FieldType f = FieldType(quint8(t));
        return f == FieldType::Float || f == FieldType::Currency || f == FieldType::BCD;
    }
    static QVariant dateTime(double Serial)
    {
        int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
        DecodeDateTime(Serial, y, m, d, h, n, s, ms);
        return QDateTime(QDate(y, m, d), QTime(h, n, s, ms), Qt::UTC);
    }
    qint32 int32(qsizetype At) const { return qFromLittleEndian<qint32>(m_buffer.data() + At); }
    double float64(qsizetype At) const
    {
        const quint64 bits = qFromLittleEndian<quint64>(m_buffer.data() + At);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    QString text()
    {
        need(4);
        const qint32 length = int32(m_pos);
        m_pos += 4;
        need(length);
        const QString value = fromCp1251(QByteArray::fromRawData(m_buffer.data() + m_pos, length));
        m_pos += length;
        return value;
    }
    bool more() { return m_end > m_pos || fill(1); }
    void need(qsizetype Count)
    {
        if (m_end - m_pos < Count && !fill(Count))
            throw DbError(m_file.fileName() + QStringLiteral(": cut short"));
    }
    // At least Count bytes from the read position in the buffer, read in chunks of 64 KiB.
    bool fill(qsizetype Count)
    {
        if (m_pos > 0 && m_end > m_pos)
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, std::size_t(m_end - m_pos));
        m_end -= m_pos;
        m_pos = 0;
        m_buffer.resize(std::max(m_buffer.size(), std::size_t(Count + 65536)));
        while (m_end < Count) {
            const qint64 got = m_file.read(m_buffer.data() + m_end, qint64(m_buffer.size()) - m_end);
            if (got <= 0)
                return false;
            m_end += got;
        }
        return true;
    }

    QFile m_file;
    bool m_serverDates;
    std::vector<char> m_buffer;
    qsizetype m_pos = 0, m_end = 0;
    QString m_table;
    QStringList m_names;
    QByteArray m_types;
};

// A table dump written as RawOrvDump reads it, in blocks; the record count goes into the header once the
// rows are written, and the file reaches the disk before it is closed, as the export's files do.
class RawOrvDumpWriter
{
public:
    RawOrvDumpWriter(const QString &Path, const QString &Table, const QStringList &Names,
                     const QByteArray &Types)
        : m_file(Path), m_types(Types)
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw DbError(QStringLiteral("cannot create ") + Path);
        QByteArray header(164, '\0');
        header[0] = 3;
        std::memcpy(header.data() + 1, "1.1", 3);
        const QByteArray table = Table.toLatin1().left(127);
        header[8] = char(table.size());
        std::memcpy(header.data() + 9, table.constData(), std::size_t(table.size()));
        qToLittleEndian<qint32>(qint32(Names.size()), header.data() + 136);
        m_block = header;
        for (qsizetype f = 0; f < Names.size(); ++f) {
            m_block += Types[f];
            text(Names[f]);
        }
    }

    void add(const QVariantList &Row)
    {
        for (qsizetype f = 0; f < Row.size(); ++f) {
            const QVariant &v = Row[f];
            m_block += char(v.isNull() ? 1 : 0);
            if (v.isNull())
                continue;
            switch (FieldType(quint8(m_types[f]))) {
            case FieldType::String:
                text(v.toString());
                break;
            case FieldType::Integer:
                put(qint32(v.toLongLong()));
                break;
            case FieldType::LargeInt:
                put(qint64(v.toLongLong()));
                break;
            case FieldType::DateTime:
                number(v.typeId() == QMetaType::QDateTime ? FromQDateTime(v.toDateTime()) : v.toDouble());
                break;
            default:
                number(v.toDouble());
                break;
            }
        }
        ++m_rows;
        if (m_block.size() >= (1 << 18))
            flush();
    }

    // Returns the rows written.
    qint64 finish()
    {
        flush();
        char count[4];
        qToLittleEndian<qint32>(qint32(m_rows), count);
        if (!m_file.seek(140) || m_file.write(count, 4) != 4 || !m_file.flush() ||
            fsync(m_file.handle()) != 0)
            throw DbError(m_file.fileName() + QStringLiteral(": ") + m_file.errorString());
        m_file.close();
        return m_rows;
    }

private:
    template <typename T> void put(T Value)
    {
        char bytes[sizeof(T)];
        qToLittleEndian<T>(Value, bytes);
        m_block.append(bytes, qsizetype(sizeof bytes));
    }
    void number(double Value)
    {
        quint64 bits = 0;
        std::memcpy(&bits, &Value, sizeof bits);
        put(bits);
    }
    void text(const QString &Value)
    {
        const QByteArray bytes = toCp1251(Value);
        put(qint32(bytes.size()));
        m_block += bytes;
    }
    void flush()
    {
        if (m_file.write(m_block) != m_block.size())
            throw DbError(m_file.fileName() + QStringLiteral(": ") + m_file.errorString());
        m_block.clear();
    }

    QFile m_file;
    QByteArray m_types;
    QByteArray m_block;
    qint64 m_rows = 0;
};

// A program the raw baselines use (zip, unzip), run in Folder; DbError when it fails.
inline void RunRawTool(const QString &Program, const QStringList &Arguments,
                       const QString &Folder = QString())
{
    QProcess tool;
    tool.setWorkingDirectory(Folder);
    tool.start(Program, Arguments);
    if (!tool.waitForFinished(600000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        throw DbError(Program + QStringLiteral(" failed: ") + Arguments.join(QLatin1Char(' ')));
}

// The rows of origin and arrival that OriginWhere and ArrivalWhere take (" where ...", or empty), read
// forward only from Db (RawSqlite or RawOdbc), written raw into table dumps in Folder beside the member
// "system", and packed into Archive by the zip program at the export's level. Returns the rows written.
template <class Db>
qint64 RawOrvExport(Db &Source, const QString &OriginWhere, const QString &ArrivalWhere,
                    const QString &Folder, const QString &Archive)
{
    QDir(Folder).removeRecursively();
    QDir().mkpath(Folder);
    qint64 rows = 0;
    const QString parts[2][3] = {{OrvOriginMember, QStringLiteral("origin"), OriginWhere},
                                 {OrvArrivalMember, QStringLiteral("arrival"), ArrivalWhere}};
    for (const auto &part : parts) {
        std::unique_ptr<RawOrvDumpWriter> dump;
        Source.scan(
            QStringLiteral("select * from ") + part[1] + part[2],
            [&](const QStringList &Names, const QByteArray &Types) {
                dump =
                    std::make_unique<RawOrvDumpWriter>(QDir(Folder).filePath(part[0]), part[1], Names, Types);
            },
            [&](const QVariantList &Row) { dump->add(Row); });
        rows += dump->finish();
    }
    QFile system(QDir(Folder).filePath(OrvSystemMember));
    if (!system.open(QIODevice::WriteOnly) || system.write("origin arrival") != 14)
        throw DbError(system.fileName() + QStringLiteral(": ") + system.errorString());
    system.close();
    QFile::remove(Archive);
    RunRawTool(QStringLiteral("zip"),
               {QStringLiteral("-%1qj").arg(OrvDeflateLevel), Archive, OrvOriginMember, OrvArrivalMember,
                OrvSystemMember},
               Folder);
    return rows;
}

// The event file unpacked into Folder (emptied first) by the unzip program; its dumps in the order the
// import takes them.
inline QStringList UnzipOrvRaw(const QString &Archive, const QString &Folder)
{
    QDir(Folder).removeRecursively();
    RunRawTool(QStringLiteral("unzip"), {QStringLiteral("-oq"), Archive, QStringLiteral("-d"), Folder});
    return {QDir(Folder).filePath(OrvOriginMember), QDir(Folder).filePath(OrvArrivalMember)};
}

inline QString RawOrvInsertHead(const RawOrvDump &Dump)
{
    return QStringLiteral("insert into %1 (%2) values ")
        .arg(Dump.table(), Dump.names().join(QLatin1Char(',')));
}

// Into a SQLite file: one prepared insert a row. Returns the rows inserted.
inline qint64 RawOrvImport(const QString &Archive, const QString &Folder, RawSqlite &Db)
{
    qint64 rows = 0;
    Db.exec(QStringLiteral("begin"));
    for (const QString &path : UnzipOrvRaw(Archive, Folder)) {
        RawOrvDump dump(path, false);
        const QString marks = QStringList(dump.names().size(), QStringLiteral("?")).join(QLatin1Char(','));
        rows += Db.insertEach(RawOrvInsertHead(dump) + QLatin1Char('(') + marks + QLatin1Char(')'),
                              [&](QVariantList &Row) { return dump.next(Row); });
    }
    Db.exec(QStringLiteral("commit"));
    return rows;
}

// Onto a server: many rows to a statement, as the import sends them there (RawOdbc::insertMany), or one
// row a statement.
inline qint64 RawOrvImport(const QString &Archive, const QString &Folder, RawOdbc &Db,
                           bool OneRowAStatement = false)
{
    qint64 rows = 0;
    Db.begin();
    for (const QString &path : UnzipOrvRaw(Archive, Folder)) {
        RawOrvDump dump(path, true);
        const QString head = RawOrvInsertHead(dump);
        const QList<QMetaType> types = dump.types();
        const std::size_t perStatement =
            OneRowAStatement ? 1 : std::size_t(RawOdbc::RowsPerStatement(types.size()));
        std::vector<QVariantList> batch;
        QVariantList row;
        while (dump.next(row)) {
            batch.push_back(row);
            if (batch.size() == perStatement) {
                Db.insertMany(head, batch, types);
                rows += qint64(batch.size());
                batch.clear();
            }
        }
        Db.insertMany(head, batch, types);
        rows += qint64(batch.size());
    }
    Db.commit();
    return rows;
}

// ---------------------------------------------------------------------------------------------------
// PostgreSQL at a distance: BRENVALE_BENCH_PG_PROXY_PORT names the port of a bench_delay_proxy in front of
// the server of BRENVALE_TEST_PG_DSN (scripts/bench-load starts one). Benches that know it run their
// PostgreSQL cases once more through it, on the same databases, which they fill directly.

inline bool PgProxyAvailable()
{
    return !qEnvironmentVariableIsEmpty("BRENVALE_BENCH_PG_PROXY_PORT");
}

// A data source of the server ("DSN=...[;...]") reached through the proxy instead.
inline QString PgThroughProxy(const QString &Source)
{
    return Source + QStringLiteral(";Port=") + qEnvironmentVariable("BRENVALE_BENCH_PG_PROXY_PORT");
}

// ---------------------------------------------------------------------------------------------------
// Peak memory of a case

// A figure of /proc/self/status in kB ("VmRSS:", "VmHWM:"); 0 where there is none.
inline double StatusKb(const char *Key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(Key))
            return line.mid(qsizetype(qstrlen(Key))).trimmed().split(' ').first().toDouble();
    return 0;
}

// The kernel resets the high-water mark of the resident set to the present set (clear_refs 5); freed heap
// is given back first, so the case's own allocations show rather than hide in pages freed before. The
// present set in kB, from which the peak counts.
inline double ResetPeakMemory()
{
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (!f.open(QIODevice::WriteOnly) || f.write("5") != 1)
        std::cerr << "clear_refs is not writable: the peak counts from the process start\n";
    f.close();
    return StatusKb("VmRSS:");
}
