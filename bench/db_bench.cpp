// What users wait for in the database layer: reading a large table and writing many rows in one
// transaction, each measured against the same work done with the raw sqlite3 API in the same run. The
// raw code opens the file as Qt opens its own (without SQLite's mutex), prepares each statement once and
// writes in the same transaction as the layer. Readers that keep every row report the heap their rows
// hold ("bytes"). At the end the layer's ratios to the raw code are printed beside their goals.

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr int kFetchRows = 200000;
constexpr int kInsertRows = 100000;

// 20 columns: the counter, 6 integers, 6 floats, 4 texts, 3 dates.
const char *const kCreate =
    "create table %1 (id counter, i1 integer, i2 integer, i3 integer, i4 integer, i5 integer, i6 integer, "
    "f1 float, f2 float, f3 float, f4 float, f5 float, f6 float, s1 varchar(20), s2 varchar(20), s3 "
    "varchar(40), "
    "s4 varchar(40), d1 date, d2 date, d3 date, primary key (id))";
const char *const kInsert =
    "insert into %1 (i1,i2,i3,i4,i5,i6,f1,f2,f3,f4,f5,f6,s1,s2,s3,s4,d1,d2,d3) values "
    "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
const char *const kTexts[] = {"PET", "Петропавловск", "station bulletin row", "Камчатка, сейсмостанция"};

struct Database
{
    QTemporaryDir dir;
    QString path;
    Database()
    {
        path = dir.filePath(QStringLiteral("bench.mdb"));
        QFile(path).open(QIODevice::WriteOnly);
        DbConnection c;
        c.SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        c.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
        c.Open();
        for (const char *table : {"fetch_rows", "insert_rows"}) {
            DbCommand create(&c);
            create.SetCommandText(QString::fromLatin1(kCreate).arg(QLatin1String(table)));
            create.Execute();
        }
        // Filled with the raw API so that only the reading is measured.
        sqlite3 *db = openRaw();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db,
                           QString::fromLatin1(kInsert).arg(QLatin1String("fetch_rows")).toUtf8().constData(),
                           -1, &s, nullptr);
        for (int r = 0; r < kFetchRows; ++r)
            bindRow(s, r);
        sqlite3_finalize(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    sqlite3 *openRaw() const
    {
        sqlite3 *db = nullptr;
        // As Qt's driver opens a file: the connection is used by one thread at a time.
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr);
        return db;
    }

    static void bindRow(sqlite3_stmt *s, int r)
    {
        int p = 1;
        for (int i = 0; i < 6; ++i)
            sqlite3_bind_int64(s, p++, r * 7 + i);
        for (int i = 0; i < 6; ++i)
            sqlite3_bind_double(s, p++, r * 0.25 + i);
        for (const char *t : kTexts)
            sqlite3_bind_text(s, p++, t, -1, SQLITE_STATIC);
        for (int i = 0; i < 3; ++i)
            sqlite3_bind_double(s, p++, 45292.5 + r % 1000 + i);
        sqlite3_step(s);
        sqlite3_reset(s);
    }

    std::unique_ptr<DbConnection> open() const
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
        c->Open();
        return c;
    }
};

Database &database()
{
    static Database d;
    return d;
}

// The leanest raw reader: every value looked at where SQLite keeps it, nothing copied out.
void BM_FetchRawSqlite(benchmark::State &state)
{
    sqlite3 *db = database().openRaw();
    for (auto _ : state) {
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, "select * from fetch_rows", -1, &s, nullptr);
        double sum = 0;
        qint64 chars = 0, rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0; i < 20; ++i) {
                switch (sqlite3_column_type(s, i)) {
                case SQLITE_INTEGER:
                    sum += double(sqlite3_column_int64(s, i));
                    break;
                case SQLITE_FLOAT:
                    sum += sqlite3_column_double(s, i);
                    break;
                case SQLITE_TEXT:
                    chars += sqlite3_column_bytes(s, i) + (sqlite3_column_text(s, i)[0] != 0);
                    break;
                default:
                    break;
                }
            }
            ++rows;
        }
        sqlite3_finalize(s);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        state.counters["rows"] = double(rows);
    }
    sqlite3_close(db);
}

// The heap in use now, for what a reader's rows hold.
qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

// What the layer does with a row, done with the raw API: every value copied out of the statement, texts
// included, then read from there; one row at a time into a reused container.
using RawValue = std::variant<std::monostate, sqlite3_int64, double, std::string>;

void BM_FetchRawSqliteRowValues(benchmark::State &state)
{
    sqlite3 *db = database().openRaw();
    for (auto _ : state) {
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, "select * from fetch_rows", -1, &s, nullptr);
        const int cols = sqlite3_column_count(s);
        std::vector<RawValue> values;
        double sum = 0;
        qint64 chars = 0, rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            values.clear();
            for (int i = 0; i < cols; ++i) {
                switch (sqlite3_column_type(s, i)) {
                case SQLITE_INTEGER:
                    values.emplace_back(sqlite3_column_int64(s, i));
                    break;
                case SQLITE_FLOAT:
                    values.emplace_back(sqlite3_column_double(s, i));
                    break;
                case SQLITE_TEXT: {
                    const char *p = reinterpret_cast<const char *>(sqlite3_column_text(s, i));
                    values.emplace_back(std::string(p, size_t(sqlite3_column_bytes(s, i))));
                    break;
                }
                default:
                    values.emplace_back();
                    break;
                }
            }
            for (const RawValue &v : values) {
                if (const std::string *t = std::get_if<std::string>(&v))
                    chars += qint64(t->size());
                else if (const double *d = std::get_if<double>(&v))
                    sum += *d;
                else if (const sqlite3_int64 *n = std::get_if<sqlite3_int64>(&v))
                    sum += double(*n);
            }
            ++rows;
        }
        sqlite3_finalize(s);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        state.counters["rows"] = double(rows);
    }
    sqlite3_close(db);
}

// What a static cursor does, done with the raw API as lean as it goes: every row kept, each column in
// an array of its own type (integers, numbers, texts as UTF-8 std::string) with a NULL flag, then
// every value read from there.
struct RawColumn
{
    int kind = SQLITE_NULL; // the storage class of its first value that is not NULL
    std::vector<quint8> nulls;
    std::vector<sqlite3_int64> integers;
    std::vector<double> doubles;
    std::vector<std::string> texts;
};

void BM_FetchRawSqliteAllRows(benchmark::State &state)
{
    sqlite3 *db = database().openRaw();
    for (auto _ : state) {
        const qint64 heapBefore = heapInUse();
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, "select * from fetch_rows", -1, &s, nullptr);
        const int cols = sqlite3_column_count(s);
        std::vector<RawColumn> columns(static_cast<size_t>(cols));
        size_t rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0; i < cols; ++i) {
                RawColumn &c = columns[size_t(i)];
                const int type = sqlite3_column_type(s, i);
                if (c.kind == SQLITE_NULL && type != SQLITE_NULL) {
                    c.kind = type;
                    // Rows before the first value were NULL.
                    c.integers.resize(type == SQLITE_INTEGER ? rows : 0);
                    c.doubles.resize(type == SQLITE_FLOAT ? rows : 0);
                    c.texts.resize(type == SQLITE_TEXT ? rows : 0);
                }
                c.nulls.push_back(type == SQLITE_NULL);
                switch (c.kind) {
                case SQLITE_INTEGER:
                    c.integers.push_back(sqlite3_column_int64(s, i));
                    break;
                case SQLITE_FLOAT:
                    c.doubles.push_back(sqlite3_column_double(s, i));
                    break;
                case SQLITE_TEXT: {
                    const char *p = reinterpret_cast<const char *>(sqlite3_column_text(s, i));
                    c.texts.emplace_back(p ? p : "", size_t(sqlite3_column_bytes(s, i)));
                    break;
                }
                default:
                    break;
                }
            }
            ++rows;
        }
        sqlite3_finalize(s);
        const qint64 held = heapInUse() - heapBefore;
        double sum = 0;
        qint64 chars = 0;
        for (size_t r = 0; r < rows; ++r) {
            for (const RawColumn &c : columns) {
                if (c.nulls[r])
                    continue;
                if (c.kind == SQLITE_INTEGER)
                    sum += double(c.integers[r]);
                else if (c.kind == SQLITE_FLOAT)
                    sum += c.doubles[r];
                else if (c.kind == SQLITE_TEXT)
                    chars += qint64(c.texts[r].size());
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        state.counters["rows"] = double(rows);
        state.counters["bytes"] = double(held);
    }
    sqlite3_close(db);
}

// Every value read as the products read it, through the getter of its field's type.
template <bool ForwardOnly> void BM_FetchLayer(benchmark::State &state)
{
    auto c = database().open();
    for (auto _ : state) {
        const qint64 heapBefore = heapInUse();
        DbQuery q(c.get());
        q.SetForwardOnly(ForwardOnly);
        q.SetSQL(QStringLiteral("select * from fetch_rows"));
        q.Open();
        if (!ForwardOnly)
            state.counters["bytes"] = double(heapInUse() - heapBefore);
        double sum = 0;
        qint64 chars = 0, rows = 0;
        TField *integers[7], *numbers[9], *texts[4];
        int ni = 0, nn = 0, nt = 0;
        for (int i = 0; i < 20; ++i) {
            TField *f = q.Field(i);
            if (IsIntegerFieldType(f->DataType()))
                integers[ni++] = f;
            else if (IsStringFieldType(f->DataType()))
                texts[nt++] = f;
            else
                numbers[nn++] = f;
        }
        if (ni != 7 || nn != 9 || nt != 4) {
            state.SkipWithError("unexpected field types");
            return;
        }
        for (; !q.Eof(); q.Next()) {
            for (TField *f : integers)
                sum += double(f->AsLargeInt());
            for (TField *f : numbers)
                sum += f->AsFloat();
            for (TField *f : texts)
                chars += f->AsString().size();
            ++rows;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        state.counters["rows"] = double(rows);
    }
}

void emptyTable(DbConnection &c, const QString &table)
{
    DbCommand clear(&c);
    clear.SetCommandText(QStringLiteral("delete from ") + table);
    clear.Execute();
}

void BM_InsertRawSqlite(benchmark::State &state)
{
    auto c = database().open(); // only to empty the table between runs
    sqlite3 *db = database().openRaw();
    for (auto _ : state) {
        state.PauseTiming();
        emptyTable(*c, QStringLiteral("insert_rows"));
        state.ResumeTiming();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(
            db, QString::fromLatin1(kInsert).arg(QLatin1String("insert_rows")).toUtf8().constData(), -1, &s,
            nullptr);
        for (int r = 0; r < kInsertRows; ++r)
            Database::bindRow(s, r);
        sqlite3_finalize(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
}

using TextValues = std::array<QVariant, std::size(kTexts)>;
// The texts of a row as the layer takes them.
TextValues textValues()
{
    TextValues values;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = QString::fromUtf8(kTexts[i]);
    return values;
}

// Appends and posts the given number of rows of the values bindRow gives, through the dataset's fields.
void appendRows(DbQuery &q, int rows, const TextValues &texts)
{
    TField *fields[20];
    for (int i = 0; i < 20; ++i)
        fields[i] = q.Field(i);
    for (int r = 0; r < rows; ++r) {
        q.Append();
        int f = 1;
        for (int i = 0; i < 6; ++i)
            fields[f++]->SetValue(qlonglong(r * 7 + i));
        for (int i = 0; i < 6; ++i)
            fields[f++]->SetValue(r * 0.25 + i);
        for (const QVariant &t : texts)
            fields[f++]->SetValue(t);
        for (int i = 0; i < 3; ++i)
            fields[f++]->SetValue(45292.5 + r % 1000 + i);
        q.Post();
    }
}

// The writers' way: a dataset on the table, Append, the fields, Post; the counter is read back.
void BM_InsertLayerDataSet(benchmark::State &state)
{
    auto c = database().open();
    const TextValues texts = textValues();
    for (auto _ : state) {
        state.PauseTiming();
        emptyTable(*c, QStringLiteral("insert_rows"));
        state.ResumeTiming();
        DbQuery q(c.get());
        q.SetSQL(QStringLiteral("select * from insert_rows where id=0"));
        q.Open();
        c->BeginTrans();
        appendRows(q, kInsertRows, texts);
        c->CommitTrans();
        benchmark::DoNotOptimize(q.Field(0)->AsInteger());
    }
}

// A command with bound parameters, as the bulk writers run it.
void BM_InsertLayerCommand(benchmark::State &state)
{
    auto c = database().open();
    const TextValues texts = textValues();
    const QString sql = QString::fromLatin1(kInsert).arg(QLatin1String("insert_rows"));
    for (auto _ : state) {
        state.PauseTiming();
        emptyTable(*c, QStringLiteral("insert_rows"));
        state.ResumeTiming();
        DbCommand cmd(c.get());
        cmd.SetCommandText(sql);
        c->BeginTrans();
        for (int r = 0; r < kInsertRows; ++r) {
            // A row's values in a list of their own, as the writers give them.
            QVariantList params;
            params.reserve(19);
            for (int i = 0; i < 6; ++i)
                params << qlonglong(r * 7 + i);
            for (int i = 0; i < 6; ++i)
                params << r * 0.25 + i;
            for (const QVariant &t : texts)
                params << t;
            for (int i = 0; i < 3; ++i)
                params << 45292.5 + r % 1000 + i;
            cmd.SetParams(params);
            cmd.Execute();
        }
        c->CommitTrans();
    }
}

// ---------------------------------------------------------------------------------------------------
// Inserts on PostgreSQL (BRENVALE_TEST_PG_DSN; through the delay proxy as well when
// BRENVALE_BENCH_PG_PROXY_PORT names one): the dataset's appends one statement a row and in batches,
// against psqlODBC's own API sending the same rows one statement a row, as arrays of parameters (which the
// driver sends 100 statements to a round trip) and as multi-row INSERTs of 1,000 rows. Wall time, as the
// server's work and the round trips count.

constexpr int kPgInsertRows = 20000;
constexpr int kPgRowsPerStatement = 1000;

QString pgSource(bool proxy)
{
    QString source = QStringLiteral("DSN=") + qEnvironmentVariable("BRENVALE_TEST_PG_DSN");
    if (proxy)
        source += QStringLiteral(";Port=") + qEnvironmentVariable("BRENVALE_BENCH_PG_PROXY_PORT");
    return source;
}

bool pgSkipped(benchmark::State &state, bool proxy)
{
    if (qEnvironmentVariableIsEmpty("BRENVALE_TEST_PG_DSN"))
        state.SkipWithError("BRENVALE_TEST_PG_DSN is not set");
    else if (proxy && qEnvironmentVariableIsEmpty("BRENVALE_BENCH_PG_PROXY_PORT"))
        state.SkipWithError("BRENVALE_BENCH_PG_PROXY_PORT is not set");
    else
        return false;
    return true;
}

std::unique_ptr<DbConnection> openPg(bool proxy)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(QStringLiteral("MSDASQL"));
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(pgSource(proxy)));
    c->Open(qEnvironmentVariable("BRENVALE_TEST_PG_USER"), qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD"));
    return c;
}

// A table of this process's own, made anew.
QString pgTable(DbConnection &c)
{
    const QString table = QStringLiteral("pg_insert_rows_%1").arg(QCoreApplication::applicationPid());
    DbCommand cmd(&c);
    cmd.SetCommandText(QStringLiteral("drop table if exists ") + table);
    cmd.Execute();
    cmd.SetCommandText(QString::fromLatin1(kCreate).arg(table));
    cmd.Execute();
    return table;
}

// The layer's way; Arg 0: rows per statement (1: one statement a row), Arg 1: through the proxy.
void BM_InsertPgDataSet(benchmark::State &state)
{
    const bool proxy = state.range(1) != 0;
    if (pgSkipped(state, proxy))
        return;
    auto direct = openPg(false);
    const QString table = pgTable(*direct);
    auto c = openPg(proxy);
    const TextValues texts = textValues();
    for (auto _ : state) {
        state.PauseTiming();
        emptyTable(*direct, table);
        state.ResumeTiming();
        DbQuery q(c.get());
        q.SetInsertBatch(int(state.range(0)));
        q.SetSQL(QStringLiteral("select * from ") + table + QStringLiteral(" where id=0"));
        q.Open();
        c->BeginTrans();
        appendRows(q, kPgInsertRows, texts);
        q.FlushInserts();
        benchmark::DoNotOptimize(q.RowValue(kPgInsertRows - 1, 0));
        c->CommitTrans();
    }
    state.counters["rows_per_s"] =
        benchmark::Counter(double(kPgInsertRows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// A row's 19 values as the driver takes them: bigint, double, UTF-16 text and timestamp columns of arrays.
struct PgRows
{
    std::vector<SQLBIGINT> integers[6];
    std::vector<double> numbers[6];
    std::vector<SQLWCHAR> texts[4];
    SQLULEN textWidth[4] = {};
    std::vector<SQL_TIMESTAMP_STRUCT> dates[3];

    PgRows()
    {
        for (int t = 0; t < 4; ++t) {
            const QString text = QString::fromUtf8(kTexts[t]);
            textWidth[t] = SQLULEN(text.size() + 1);
            texts[t].resize(textWidth[t] * kPgInsertRows);
            for (int r = 0; r < kPgInsertRows; ++r)
                std::copy(text.utf16(), text.utf16() + text.size() + 1, texts[t].begin() + r * textWidth[t]);
        }
        for (int i = 0; i < 6; ++i) {
            integers[i].resize(kPgInsertRows);
            numbers[i].resize(kPgInsertRows);
            for (int r = 0; r < kPgInsertRows; ++r) {
                integers[i][r] = r * 7 + i;
                numbers[i][r] = r * 0.25 + i;
            }
        }
        for (int i = 0; i < 3; ++i) {
            dates[i].resize(kPgInsertRows);
            for (int r = 0; r < kPgInsertRows; ++r)
                dates[i][r] = {2024, SQLUSMALLINT(1 + (r % 1000) / 100), SQLUSMALLINT(1 + r % 28), 12, 0, 0,
                               0};
        }
    }

    // Binds the values of rows [from, from + count) to parameters first.. of a statement, for one row a set
    // (arrays: count sets, column-wise) or count rows of one statement.
    bool bind(SQLHSTMT st, int from, int count, bool arrays, SQLUSMALLINT first = 1)
    {
        static SQLLEN nts = SQL_NTS;
        static std::vector<SQLLEN> lengths(kPgRowsPerStatement, SQL_NTS);
        const int sets = arrays ? 1 : count;
        SQLUSMALLINT p = first;
        for (int r = from; r < from + sets; ++r) {
            SQLLEN *indicator = arrays ? lengths.data() : &nts;
            for (int i = 0; i < 6; ++i)
                if (!SQL_SUCCEEDED(SQLBindParameter(st, p++, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                                    &integers[i][r], 0, nullptr)))
                    return false;
            for (int i = 0; i < 6; ++i)
                if (!SQL_SUCCEEDED(SQLBindParameter(st, p++, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                                    &numbers[i][r], 0, nullptr)))
                    return false;
            for (int t = 0; t < 4; ++t)
                if (!SQL_SUCCEEDED(SQLBindParameter(st, p++, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                                    textWidth[t], 0, &texts[t][r * textWidth[t]],
                                                    SQLLEN(textWidth[t] * sizeof(SQLWCHAR)), indicator)))
                    return false;
            for (int i = 0; i < 3; ++i)
                if (!SQL_SUCCEEDED(SQLBindParameter(st, p++, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                                    SQL_TYPE_TIMESTAMP, 23, 3, &dates[i][r], 0, nullptr)))
                    return false;
        }
        return true;
    }
};

// psqlODBC's own API; Arg 0: 0 one statement a row, 1 arrays of parameters, 2 multi-row INSERTs; Arg 1:
// through the proxy.
void BM_InsertPgRaw(benchmark::State &state)
{
    const bool proxy = state.range(1) != 0;
    if (pgSkipped(state, proxy))
        return;
    const int mode = int(state.range(0));
    auto direct = openPg(false);
    const QString table = pgTable(*direct);
    static PgRows rows;
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const std::u16string connect =
        (pgSource(proxy) + QStringLiteral(";UseServerSidePrepare=0;UID=%1;PWD=%2")
                               .arg(qEnvironmentVariable("BRENVALE_TEST_PG_USER"),
                                    qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD")))
            .toStdU16String();
    if (!SQL_SUCCEEDED(SQLDriverConnectW(
            dbc, nullptr, reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(connect.c_str())), SQL_NTS,
            nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("connect failed");
        return;
    }
    const QString one = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    QString sql = QString::fromLatin1(kInsert).arg(table);
    if (mode == 2) {
        sql.chop(one.size());
        sql += QStringList(kPgRowsPerStatement, one).join(QLatin1Char(','));
    }
    const std::u16string text = sql.toStdU16String();
    for (auto _ : state) {
        state.PauseTiming();
        emptyTable(*direct, table);
        state.ResumeTiming();
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        SQLHSTMT st = nullptr;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        SQLPrepareW(st, reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(text.c_str())), SQL_NTS);
        bool ok = true;
        if (mode == 0) {
            for (int r = 0; r < kPgInsertRows && ok; ++r)
                ok = rows.bind(st, r, 1, false) && SQL_SUCCEEDED(SQLExecute(st));
        } else {
            if (mode == 1)
                SQLSetStmtAttr(st, SQL_ATTR_PARAMSET_SIZE,
                               reinterpret_cast<SQLPOINTER>(SQLULEN(kPgRowsPerStatement)), 0);
            for (int r = 0; r < kPgInsertRows && ok; r += kPgRowsPerStatement) {
                ok = rows.bind(st, r, kPgRowsPerStatement, mode == 1) && SQL_SUCCEEDED(SQLExecute(st));
                SQLFreeStmt(st, SQL_CLOSE);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
        if (!ok)
            state.SkipWithError("insert failed");
    }
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    state.counters["rows_per_s"] =
        benchmark::Counter(double(kPgInsertRows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// The console's report, and each benchmark's CPU time per iteration kept: the median and the fastest
// when repeated (on a shared machine the fastest is the least disturbed), else the time of its one run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.error_occurred)
                continue;
            Times &t = m_times[r.run_name.function_name];
            if (r.run_type == Run::RT_Iteration) {
                t.median = t.fastest = r.GetAdjustedCPUTime();
            } else if (r.aggregate_name == "median") {
                t.median = r.GetAdjustedCPUTime();
            } else if (r.aggregate_name == "min") {
                t.fastest = r.GetAdjustedCPUTime();
            }
        }
    }

    // The layer's work against the raw work, one line each, with the goal and whether it is met.
    void printRatios() const
    {
        struct Ratio
        {
            const char *work, *layer, *raw;
            double goal;
        };
        const Ratio ratios[] = {
            {"forward-only read / raw", "BM_FetchLayerForwardOnly", "BM_FetchRawSqlite", 1.3},
            {"static read / raw", "BM_FetchLayerStatic", "BM_FetchRawSqlite", 1.8},
            {"static read / raw typed columns", "BM_FetchLayerStatic", "BM_FetchRawSqliteAllRows", 1.2},
            {"command insert / raw", "BM_InsertLayerCommand", "BM_InsertRawSqlite", 1.3},
            {"dataset Append/Post / raw", "BM_InsertLayerDataSet", "BM_InsertRawSqlite", 2.0},
        };
        std::printf("\n%-34s %9s %9s %7s %9s %9s %7s %6s\n", "ratio of CPU times", "layer ms", "raw ms",
                    "ratio", "fastest", "fastest", "ratio", "goal");
        for (const Ratio &r : ratios) {
            const auto layer = m_times.find(r.layer), raw = m_times.find(r.raw);
            if (layer == m_times.end() || raw == m_times.end())
                continue;
            const Times &l = layer->second, &w = raw->second;
            const double ratio = l.median / w.median, fastest = l.fastest / w.fastest;
            std::printf("%-34s %9.1f %9.1f %6.2fx %9.1f %9.1f %6.2fx %5.1fx %s\n", r.work, l.median, w.median,
                        ratio, l.fastest, w.fastest, fastest, r.goal, ratio <= r.goal ? "met" : "missed");
        }
        std::fflush(stdout);
    }

private:
    struct Times
    {
        double median = 0, fastest = 0;
    };
    std::map<std::string, Times> m_times;
};

// The fastest of the repetitions, beside Google Benchmark's own aggregates.
double fastest(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

} // namespace

BENCHMARK(BM_FetchRawSqlite)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_FetchRawSqliteRowValues)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_FetchRawSqliteAllRows)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_FetchLayer<true>)
    ->Name("BM_FetchLayerForwardOnly")
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK(BM_FetchLayer<false>)
    ->Name("BM_FetchLayerStatic")
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK(BM_InsertRawSqlite)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_InsertLayerDataSet)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_InsertLayerCommand)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_InsertPgDataSet)
    ->ArgsProduct({{1, kPgRowsPerStatement}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_InsertPgRaw)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    database();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
