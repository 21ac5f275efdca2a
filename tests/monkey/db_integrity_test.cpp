#include "db_integrity.h"

#include "db/jet_sqlite.h"
#include "support/test_support.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace {

// A connection of the test's own, with the program's functions and collation.
struct Db
{
    sqlite3 *db = nullptr;
    explicit Db(const QString &path)
    {
        EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_TRUE(RegisterJetFunctions(db));
    }
    ~Db() { sqlite3_close(db); }
    int exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
};

// Events and their readings as the bulletin keeps them: a key, a case-blind text index, a foreign key.
QString makeBulletin(const TestDir &dir)
{
    const QString path = dir.file(QStringLiteral("PET.mdb"));
    Db db(path);
    EXPECT_EQ(db.exec("create table events (num integer primary key, comment varchar(40) collate JETNOCASE);"
                      "create index events_comment on events (comment);"
                      "create table readings (arid integer primary key, num integer references events (num));"
                      "insert into events values (1, 'Обнинск'), (2, 'ОБНИНСК'), (3, 'камчатка');"
                      "insert into readings values (10, 1), (11, 1), (12, 3);"),
              SQLITE_OK);
    return path;
}

} // namespace

TEST(DbIntegrity, AWholeFileHasNoProblems)
{
    TestDir dir;
    const IntegrityResult r = CheckSqliteIntegrity(makeBulletin(dir));
    EXPECT_FALSE(r.busy);
    EXPECT_EQ(r.problems, QStringList());
}

TEST(DbIntegrity, AReadingOfAMissingEventIsNamed)
{
    TestDir dir;
    const QString path = makeBulletin(dir);
    {
        Db db(path);
        // Written as a connection without foreign keys would (SQLite's default).
        ASSERT_EQ(db.exec("pragma foreign_keys=off; insert into readings values (13, 7)"), SQLITE_OK);
    }
    EXPECT_EQ(
        CheckSqliteIntegrity(path).problems,
        QStringList{QStringLiteral("foreign_key_check: readings row 13 refers to a missing row of events")});
}

TEST(DbIntegrity, DamagedPagesAreProblems)
{
    TestDir dir;
    const QString path = makeBulletin(dir);
    QByteArray bytes = readBytes(path);
    ASSERT_GE(bytes.size(), 4 * 4096);
    // The schema stays; the pages of the tables and the index after it become noise.
    for (qsizetype i = 4096; i < bytes.size(); ++i)
        bytes[i] = char(0x5a);
    ASSERT_TRUE(writeBytes(path, bytes));
    const IntegrityResult r = CheckSqliteIntegrity(path);
    EXPECT_FALSE(r.busy);
    ASSERT_FALSE(r.problems.isEmpty());
    EXPECT_TRUE(r.problems.first().startsWith(QStringLiteral("integrity_check")))
        << r.problems.first().toStdString();
}

TEST(DbIntegrity, AMissingFileIsAProblem)
{
    TestDir dir;
    EXPECT_EQ(CheckSqliteIntegrity(dir.file(QStringLiteral("orx.db"))).problems,
              QStringList{QStringLiteral("the file is missing")});
}

TEST(DbIntegrity, AFileLockedForWritingIsBusyNotDamaged)
{
    TestDir dir;
    const QString path = makeBulletin(dir);
    Db writer(path);
    ASSERT_EQ(writer.exec("begin exclusive; delete from readings"), SQLITE_OK);
    const IntegrityResult r = CheckSqliteIntegrity(path, 50);
    EXPECT_TRUE(r.busy);
    EXPECT_EQ(r.problems, QStringList());
    writer.exec("rollback");
}

// Only a connection that may write holds the lock the program must not keep under a message.
TEST(DbIntegrity, WriteLockIsSeenOnlyWhileAWriteIsOpen)
{
    TestDir dir;
    const QString path = makeBulletin(dir);
    Db other(path);
    struct Case
    {
        const char *begin;
        bool locked;
    } cases[] = {
        {"select 1", false},
        {"begin; select count(*) from events", false},
        {"begin; insert into events values (4, 'x')", true},
        {"begin immediate", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.begin);
        ASSERT_EQ(other.exec(c.begin), SQLITE_OK);
        EXPECT_EQ(HoldsWriteLock(path), c.locked);
        other.exec("rollback");
    }
    EXPECT_FALSE(HoldsWriteLock(path));
    // The check itself writes nothing.
    EXPECT_EQ(CheckSqliteIntegrity(path).problems, QStringList());
}
