#include "fake_dataset.h"
#include "lib/messages.h"
#include "lib/statements.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(MsgBoxCaption, ChosenByTheExactIconValue)
{
    const std::pair<unsigned, QString> cases[] = {
        {0, QString()},
        {16, u"Ошибка"_s},
        {32, u"Вопрос"_s},
        {48, u"Предупреждение"_s},
        {64, u"Информация"_s},
        {16 + 4, u"Информация"_s}, // a button flag passed along with the icon
        {48 + 0x10000, u"Информация"_s},
    };
    for (const auto &[icon, caption] : cases)
        EXPECT_EQ(MsgBoxCaption(icon), caption) << icon;
}

TEST(QAct, OpensOrExecutesAfterClosingAndSettingTheText)
{
    for (const bool exec : {false, true}) {
        MessageRecorder messages;
        FakeDataSet q;
        EXPECT_TRUE(QAct(q, u"select 1"_s, false, nullptr, exec));
        const QString run = exec ? u"ExecSQL select 1"_s : u"Open select 1"_s;
        EXPECT_EQ(q.log, (QStringList{u"Close"_s, u"SetSQL select 1"_s, run}));
        EXPECT_EQ(messages.count(), 0);
    }
}

TEST(QAct, FailureShowsTheStatementAndTheDriverText)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.failWith = u"no such table: stations"_s;
    QString errMsg = u"untouched"_s;
    EXPECT_FALSE(QAct(q, u"select * from stations"_s, false, &errMsg, false));
    expectOneError(messages,
                   u"QAct: Запрос\r\rselect * from stations\rвызвал ошибку!\r\r"
                   "Сообщение об ошибке: no such table: stations"_s,
                   true);
    EXPECT_EQ(errMsg, u"untouched"_s);
}

// A statement built from a file's values is quoted up to 2,000 characters, the driver's text up to as many:
// a message of 13,159 characters of SQL said nothing more.
TEST(QAct, LongStatementAndDriverTextAreQuotedCut)
{
    MessageRecorder messages;
    FakeDataSet q;
    const QString sql = u"select count(*) from origin where eventid in ('"_s + QString(13100, u'E') + u"')"_s;
    q.failWith = u"near \""_s + QString(5000, u'E') + u"\": syntax error"_s;
    EXPECT_FALSE(QAct(q, sql, false, nullptr, false));
    expectOneError(messages,
                   u"QAct: Запрос\r\r"_s + sql.left(2000) + u"…\rвызвал ошибку!\r\rСообщение об ошибке: "_s +
                       q.failWith.left(2000) + u"…"_s,
                   true);
}

TEST(QAct, EmptySqlRerunsTheCurrentStatementAndShowsIt)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.SetSQL(u"delete from site"_s);
    q.log.clear();
    q.failWith = u"locked"_s;
    EXPECT_FALSE(QAct(q, QString(), false, nullptr, true));
    EXPECT_EQ(q.log, (QStringList{u"Close"_s, u"ExecSQL delete from site"_s}));
    expectOneError(
        messages, u"QAct: Запрос\r\rdelete from site\rвызвал ошибку!\r\rСообщение об ошибке: locked"_s, true);
}

TEST(QAct, SilentFailureHandsTheTextBackOrLeavesNoTrace)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.failWith = u"syntax error"_s;
    QString errMsg;
    EXPECT_FALSE(QAct(q, u"selec"_s, true, &errMsg, false));
    EXPECT_EQ(errMsg, u"syntax error"_s);
    EXPECT_FALSE(QAct(q, u"selec"_s, true, nullptr, false));
    EXPECT_FALSE(QOpen(q, u"selec"_s));
    EXPECT_EQ(messages.count(), 0);
}

TEST(QAct, FailureWhileClosingReachesTheCaller)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.closeFailWith = u"busy"_s;
    EXPECT_THROW(QAct(q, u"select 1"_s), DbError);
    EXPECT_EQ(messages.count(), 0);
}

TEST(QActStrings, LinesJoinedWithBareCarriageReturns)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.failWith = u"bad"_s;
    const QStringList lines{u"select sta"_s, u"from site"_s, u"order by sta"_s};
    EXPECT_FALSE(QActStrings(q, lines));
    EXPECT_EQ(q.SQL(), u"select sta\rfrom site\rorder by sta"_s);
    const QString shown =
        u"QAct: Запрос\rselect sta\rfrom site\rorder by sta\rвызвал ошибку!\r\rСообщение об ошибке: bad"_s;
    expectOneError(messages, shown, true);

    // No lines: the statement already held runs and is shown.
    messages.clear();
    q.log.clear();
    EXPECT_FALSE(QActStrings(q, {}));
    EXPECT_EQ(q.log, (QStringList{u"Close"_s, u"Open select sta\rfrom site\rorder by sta"_s}));
    expectOneError(messages, shown, true);
}

TEST(QExe, RunsAndReportsFailure)
{
    MessageRecorder messages;
    FakeCommand cmd;
    EXPECT_TRUE(QExe(cmd, u"delete from site"_s));
    EXPECT_EQ(cmd.log, QStringList{u"Execute delete from site"_s});

    cmd.failWith = u"constraint failed"_s;
    EXPECT_FALSE(QExe(cmd, QString()));
    expectOneError(
        messages,
        u"QExe: Команда\rdelete from site\rвызвала ошибку!\r\rСообщение об ошибке: constraint failed"_s,
        true);

    QString errMsg;
    EXPECT_FALSE(QExe(cmd, u"drop table x"_s, true, &errMsg));
    EXPECT_EQ(errMsg, u"constraint failed"_s);
    EXPECT_EQ(messages.count(), 1);
}

TEST(ReplCFile, ReplacesTheDataSourceValue)
{
    const QString file = u"c:\\b.mdb"_s;
    const std::pair<QString, QString> cases[] = {
        {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Mode=ReadWrite"_s,
         u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"c:\\b.mdb\";Mode=ReadWrite"_s},
        {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb"_s,
         u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"c:\\b.mdb\""_s},
        {u"Data Source=;Mode=Read"_s, u"Data Source=\"c:\\b.mdb\";Mode=Read"_s},
        // A source quoted before, with ";" inside, is replaced whole.
        {u"Data Source=\"a;b.db\";Mode=ReadWrite"_s, u"Data Source=\"c:\\b.mdb\";Mode=ReadWrite"_s},
    };
    for (const auto &[before, after] : cases) {
        MessageRecorder messages;
        FakeConnection conn(before);
        EXPECT_TRUE(ReplCFile(conn, file));
        EXPECT_EQ(conn.ConnectionString(), after);
        EXPECT_EQ(messages.count(), 0);
    }
}

TEST(ReplCFile, ReplacingTwiceIsReplacingOnce)
{
    for (const QString &name : {u"/data/x;y.db"_s, u"/data/plain.db"_s}) {
        FakeConnection conn(u"Data Source=a;Mode=ReadWrite"_s);
        ASSERT_TRUE(ReplCFile(conn, name));
        const QString once = conn.ConnectionString();
        ASSERT_TRUE(ReplCFile(conn, name));
        EXPECT_EQ(conn.ConnectionString(), once);
        EXPECT_EQ(once, u"Data Source=\""_s + name + u"\";Mode=ReadWrite"_s);
    }
}

TEST(ReplCFile, ReopensAnOpenConnection)
{
    FakeConnection conn(u"Data Source=a"_s, true);
    EXPECT_TRUE(ReplCFile(conn, u"/x.db"_s));
    EXPECT_EQ(conn.log, (QStringList{u"Close"_s, u"Set Data Source=\"/x.db\""_s, u"Open"_s}));
}

TEST(ReplCFile, WithoutDataSourceFailsAndLeavesTheConnection)
{
    // The key is case-sensitive.
    for (const QString &text : {u"DSN=orx;UID=admin"_s, u"data source=a.mdb"_s}) {
        MessageRecorder messages;
        FakeConnection conn(text, true);
        EXPECT_FALSE(ReplCFile(conn, u"/x.db"_s));
        EXPECT_TRUE(conn.log.isEmpty());
        EXPECT_EQ(conn.ConnectionString(), text);
        expectOneError(messages, u"ReplCFile: Неожиданная ошибка!\rНе удалось изменить источник данных."_s);
    }
}

} // namespace
