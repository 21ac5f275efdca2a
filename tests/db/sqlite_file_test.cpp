#include "db_test_env.h"

#include "lib/statements.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<DbConnection> connection(const QString &provider, const QString &connectionString)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(provider);
    c->SetConnectionString(connectionString);
    return c;
}

const QString kJet = u"Microsoft.Jet.OLEDB.4.0"_s;

TEST(SqliteFile, MissingFileFailsAndCreatesNothing)
{
    TestDir dir;
    const QString path = dir.file(u"нет такой.mdb"_s);
    auto jet = connection(kJet, u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(path));
    try {
        jet->Open(QString(), QString());
        ADD_FAILURE() << "opened a missing file";
    } catch (const DbError &e) {
        EXPECT_EQ(e.message(), u"Не найден файл базы данных \"%1\""_s.arg(path));
    }
    EXPECT_FALSE(jet->Connected());
    // Through ODBC a path that is no SQLite file is taken for a DSN, which does not exist either.
    auto odbc = connection(u"MSDASQL"_s, u"Data Source=\"%1\""_s.arg(path));
    EXPECT_THROW(odbc->Open(), DbError);
    EXPECT_FALSE(odbc->Connected());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(SqliteFile, SourceReachesTheConnectionAsTheTemplateHoldsIt)
{
    TestDir dir;
    const QString path = dir.file(u"orx.db"_s);
    writeBytes(path, {});
    {
        auto c = connection(kJet, u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(path));
        EXPECT_EQ(c->DataSource(), path);
        EXPECT_EQ(c->Mode(), u"ReadWrite"_s);
        c->Open();
        exec(*c, "create table origin (eventid varchar(20), lat float, primary key (eventid))");
        exec(*c, "insert into origin (eventid, lat) values ('E1', 52.1)");
    }
    // The demo ORX database: an ODBC source that is the path of a SQLite file opens that file.
    auto odbc = connection(u"MSDASQL"_s, u"Data Source=%1"_s.arg(path));
    EXPECT_EQ(odbc->DataSource(), path);
    odbc->Open(u"orx"_s, u"secret"_s);
    EXPECT_EQ(odbc->Backend(), SqlBackend::SQLite);
    DbQuery q(odbc.get());
    q.SetSQL(u"select * from origin where eventid='E1'"_s);
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);

    // "Mode=Read" opens the file for reading only.
    auto reader = connection(kJet, u"Data Source=\"%1\";Mode=Read"_s.arg(path));
    reader->Open();
    EXPECT_THROW(exec(*reader, "delete from origin"), DbError);
    reader->Close();
    EXPECT_FALSE(reader->Connected());
    EXPECT_EQ(q.RecordCount(), 1);

    // Closing the connection closes its datasets.
    odbc->Close();
    EXPECT_FALSE(q.Active());
}

TEST(SqliteFile, OtherFailuresOfOpen)
{
    TestDir dir;
    const QString notDb = dir.file(u"text.mdb"_s);
    writeBytes(notDb, "This is no database at all, only some text that is long enough to be read.\r\n");
    const std::pair<QString, QString> cases[] = {
        {kJet, u"Data Source=\"%1\""_s.arg(notDb)},
        {kJet, u"Data Source=;Mode=ReadWrite"_s},
        {u"SQLOLEDB"_s, u"Data Source=\"%1\""_s.arg(notDb)},
    };
    for (const auto &[provider, connectionString] : cases) {
        auto conn = connection(provider, connectionString);
        EXPECT_THROW(conn->Open(), DbError) << connectionString.toStdString();
        EXPECT_FALSE(conn->Connected());
    }
}

TEST(SqliteFile, JetFunctionsAndTextComparison)
{
    SqliteEnv env;
    auto db = env.open();
    exec(*db, "create table t (id counter, s varchar(20), m memo, d date, primary key (id))");
    exec(*db, u"insert into t (s, m, d) values ('Пётр', '0123', {ts '2024-01-02 12:00:00'})"_s);
    exec(*db, u"insert into t (s, m, d) values ('ПЁТР', 'x', {d '2024-01-03'})"_s);
    struct Case
    {
        const char *expression;
        QVariant expected;
    };
    const Case cases[] = {
        {"UCase('Камчатка abc')", u"КАМЧАТКА ABC"_s},
        {"LCase('ЯКУТСК')", u"якутск"_s},
        {"Switch(1=2,'a',True,'b')", u"b"_s},
        {"Switch(1=2,'a')", QVariant()},
        {"IIf(2>1,'да','нет')", u"да"_s},
        {"Mid('Петропавловск',6,5)", u"павло"_s},
        {"Mid('Петро',4)", u"ро"_s},
        {"Left('Петро',2)", u"Пе"_s},
        {"Right('Петро',2)", u"ро"_s},
        {"Len('Пётр')", qlonglong(4)},
        {"Int(-2.5)", qlonglong(-3)},
        {"Fix(-2.5)", qlonglong(-2)},
        {"Val(' 12.5 km')", 12.5},
        {"CStr(2.5)", u"2.5"_s},
        {"CInt(2.5)", qlonglong(2)},
        {"CInt(3.5)", qlonglong(4)},
        {"CDbl('1.25')", 1.25},
        {"Year(45292.75)", qlonglong(2024)},
        {"Month(45292.75)", qlonglong(1)},
        {"Day(45292.75)", qlonglong(1)},
        {"Hour(45292.75)", qlonglong(18)},
        {"Minute(45292.75 + 1/1440.0)", qlonglong(1)},
        {"DateSerial(2023,13,1)", 45292.0},
        {"Nz(NULL,'пусто')", u"пусто"_s},
        {"IsNull(NULL)", qlonglong(1)},
        {"True", qlonglong(1)},
        {"False", qlonglong(0)},
        {"rtrim('PET  ')", u"PET"_s},
        {"{d '2024-01-01'}", qlonglong(45292)},
        // Text compares as in Jet: case is ignored, Cyrillic included.
        {"(select count(*) from t where s='пётр')", qlonglong(2)},
        {"(select count(*) from t where s<'ПЁТРА')", qlonglong(2)},
        {"(select m from t where id=1)", u"0123"_s},
        {"(select d from t where id=1)", 45293.5},
        {"(select count(*) from t where d between 45293 and 45294)", qlonglong(2)},
    };
    for (const Case &c : cases) {
        DbQuery q(db.get());
        q.SetSQL(u"select %1 as v"_s.arg(QString::fromUtf8(c.expression)));
        q.Open();
        const QVariant v = q.Field(0)->Value();
        EXPECT_EQ(v.isNull(), c.expected.isNull()) << c.expression;
        if (!c.expected.isNull()) {
            EXPECT_EQ(v.typeId(), c.expected.typeId()) << c.expression;
            EXPECT_EQ(v, c.expected) << c.expression;
        }
    }
}

// Numbers a file may hold that no integer or date can take fail the statement instead of overflowing.
TEST(SqliteFile, JetFunctionsRefuseOutOfRangeNumbers)
{
    SqliteEnv env;
    auto db = env.open();
    for (const char *expression : {"CInt(1e308)", "CInt(-9.3e18)", "DateSerial(-9223372036854775808,1,1)",
                                   "DateSerial(2024,-9223372036854775808,1)",
                                   "DateSerial(2024,1,-9223372036854775808)", "DateSerial(2024,1,9e18)"}) {
        DbQuery q(db.get());
        q.SetSQL(u"select %1 as v"_s.arg(QString::fromUtf8(expression)));
        EXPECT_THROW(q.Open(), DbError) << expression;
    }
    DbQuery q(db.get());
    q.SetSQL(u"select DateSerial(2024,1,32) as v"_s); // days still roll over within range
    q.Open();
    EXPECT_EQ(q.Field(0)->Value(), QVariant(45323.0));
}

TEST(SqliteFile, StatementErrorsCarryTheDriversText)
{
    SqliteEnv env;
    auto db = env.open();
    try {
        exec(*db, "select * from [Нет таблицы]");
        FAIL() << "no error";
    } catch (const DbError &e) {
        EXPECT_EQ(e.message(),
                  u"В базе данных нет таблицы \"Нет таблицы\"\rСообщение СУБД: no such table: Нет таблицы"_s);
        EXPECT_EQ(e.driverText(), u"no such table: Нет таблицы"_s);
    }
    // Jet runs one statement at a time; a second one must not slip through unseen.
    EXPECT_THROW(exec(*db, "create table a (x integer); drop table a"), DbError);
    EXPECT_FALSE(db->TableNames().contains(u"a"_s));
}

// SQLite out of memory is said in the system's words, and the statement runner quotes the statement that
// met it only as far as a value: it is not what went wrong.
TEST(SqliteFile, OutOfMemoryIsSaidInRussian)
{
    SqliteEnv env;
    auto db = env.open();
    const QString filler = u"y"_s.repeated(3000);
    const QString sql =
        u"with recursive r(n,s) as (select 1,'x' union all select n+1,s||s from r where n<28) "
        "select max(length(s)) as v from r where s<>'%1'"_s.arg(filler);
    DbQuery q(db.get());
    MessageRecorder rec;
    bool ran = true;
    {
        const sqlite3_int64 before = sqlite3_hard_heap_limit64(-1);
        sqlite3_hard_heap_limit64(sqlite3_memory_used() + (8 << 20));
        const auto restore = qScopeGuard([before] { sqlite3_hard_heap_limit64(before); });
        ran = QAct(q, sql);
    }
    EXPECT_FALSE(ran);
    ASSERT_EQ(rec.count(), 1);
    EXPECT_EQ(rec.last().text,
              u"QAct: Запрос\r\r"_s + sql.left(200) +
                  u"…\rвызвал ошибку!\r\rСообщение об ошибке: Недостаточно памяти для выполнения "
                  "операции.\rСообщение СУБД: out of memory"_s);
    EXPECT_EQ(rec.last().icon, unsigned(MB_ICONERROR));
}

// The summary asks for each reading's measurements with the reading's number written into the
// statement; those statements are prepared once, and each still gets its own rows.
TEST(SqliteFile, StatementsDifferingInAComparedLiteralArePreparedOnce)
{
    SqliteEnv env;
    auto db = env.open();
    exec(*db, "create table m (arid integer, code varchar(10), v float)");
    exec(*db, "insert into m values (1,'PET',1.5)");
    exec(*db, "insert into m values (2,'P''ET',2.5)");
    exec(*db, "insert into m values (2,'X',3.5)");
    auto &lite = dynamic_cast<SqliteBackend &>(db->backend());
    DbQuery q(db.get());
    const std::tuple<const char *, int, double> cases[] = {
        {"select v from m where arid=1 order by v", 1, 1.5},
        {"select v from m where arid=2 order by v", 2, 2.5},
        {"select v from m where arid=3 order by v", 0, 0},
        {"select v from m where code='P''ET' and arid=2", 1, 2.5},
        {"select v from m where code='PET' and arid=1", 1, 1.5},
        {"select v from m where code='pet' and arid=1", 1, 1.5}, // Jet compares text without case
    };
    qint64 prepared = 0;
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto &[sql, rows, first] = cases[i];
        q.SetSQL(QString::fromUtf8(sql));
        q.Open();
        EXPECT_EQ(q.RecordCount(), rows) << sql;
        if (rows > 0) {
            EXPECT_EQ(q.Field(0)->AsFloat(), first) << sql;
        }
        q.Close();
        // The first statement of each shape is prepared (the first open also reads the table's columns),
        // every later one comes from the cache.
        const qint64 now = lite.statementsPrepared();
        if (i > 0) {
            EXPECT_EQ(now - prepared, i == 3 ? 1 : 0) << sql;
        }
        prepared = now;
    }
}

} // namespace
