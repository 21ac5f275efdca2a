#include "support/test_support.h"
#include "fake_dataset.h"
#include "lib/messages.h"
#include "lib/statements.h"

#include <gtest/gtest.h>

namespace {

TEST(MsgBoxCaption, ChosenByTheExactIconValue)
{
    const struct
    {
        unsigned icon;
        QString caption;
    } cases[] = {
        {0, QString()},
        {16, QStringLiteral("Ошибка")},
        {32, QStringLiteral("Вопрос")},
        {48, QStringLiteral("Предупреждение")},
        {64, QStringLiteral("Информация")},
        {16 + 4, QStringLiteral("Информация")}, // a button flag passed along with the icon
        {48 + 0x10000, QStringLiteral("Информация")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MsgBoxCaption(c.icon), c.caption) << c.icon;
}

TEST(QAct, OpensOrExecutesAfterClosingAndSettingTheText)
{
    for (const bool exec : {false, true}) {
        MessageRecorder messages;
        FakeDataSet q;
        EXPECT_TRUE(QAct(q, QStringLiteral("select 1"), false, nullptr, exec));
        const QString run = exec ? QStringLiteral("ExecSQL select 1") : QStringLiteral("Open select 1");
        EXPECT_EQ(q.log, (QStringList{QStringLiteral("Close"), QStringLiteral("SetSQL select 1"), run}));
        EXPECT_EQ(messages.count(), 0);
    }
}

TEST(QAct, FailureShowsTheStatementAndTheDriverText)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.failWith = QStringLiteral("no such table: stations");
    QString errMsg = QStringLiteral("untouched");
    EXPECT_FALSE(QAct(q, QStringLiteral("select * from stations"), false, &errMsg, false));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().error);
    EXPECT_EQ(messages.last().icon, 16u);
    EXPECT_EQ(messages.last().buttons, 0u);
    EXPECT_EQ(messages.last().text,
              QStringLiteral("QAct: Запрос\r\rselect * from stations\rвызвал ошибку!\r\r"
                             "Сообщение об ошибке: no such table: stations"));
    EXPECT_EQ(errMsg, QStringLiteral("untouched"));
}

TEST(QAct, EmptySqlRerunsTheCurrentStatementAndShowsIt)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.SetSQL(QStringLiteral("delete from site"));
    q.log.clear();
    q.failWith = QStringLiteral("locked");
    EXPECT_FALSE(QAct(q, QString(), false, nullptr, true));
    EXPECT_EQ(q.log, (QStringList{QStringLiteral("Close"), QStringLiteral("ExecSQL delete from site")}));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("QAct: Запрос\r\rdelete from site\rвызвал ошибку!\r\r"
                                                   "Сообщение об ошибке: locked"));
}

TEST(QAct, SilentFailureHandsTheTextBackOrLeavesNoTrace)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.failWith = QStringLiteral("syntax error");
    QString errMsg;
    EXPECT_FALSE(QAct(q, QStringLiteral("selec"), true, &errMsg, false));
    EXPECT_EQ(errMsg, QStringLiteral("syntax error"));
    EXPECT_FALSE(QAct(q, QStringLiteral("selec"), true, nullptr, false));
    EXPECT_FALSE(QOpen(q, QStringLiteral("selec")));
    EXPECT_EQ(messages.count(), 0);
}

TEST(QAct, FailureWhileClosingReachesTheCaller)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.closeFailWith = QStringLiteral("busy");
    EXPECT_THROW(QAct(q, QStringLiteral("select 1")), DbError);
    EXPECT_EQ(messages.count(), 0);
}

TEST(QActStrings, LinesJoinedWithBareCarriageReturns)
{
    MessageRecorder messages;
    FakeDataSet q;
    q.failWith = QStringLiteral("bad");
    const QStringList lines{QStringLiteral("select sta"), QStringLiteral("from site"),
                            QStringLiteral("order by sta")};
    EXPECT_FALSE(QActStrings(q, lines));
    EXPECT_EQ(q.SQL(), QStringLiteral("select sta\rfrom site\rorder by sta"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("QAct: Запрос\rselect sta\rfrom site\rorder by sta"
                                                   "\rвызвал ошибку!\r\rСообщение об ошибке: bad"));
    EXPECT_EQ(messages.last().icon, 16u);

    // No lines: the statement already held runs and is shown.
    messages.clear();
    q.log.clear();
    EXPECT_FALSE(QActStrings(q, {}));
    EXPECT_EQ(q.log, (QStringList{QStringLiteral("Close"),
                                  QStringLiteral("Open select sta\rfrom site\rorder by sta")}));
    EXPECT_EQ(messages.last().text, QStringLiteral("QAct: Запрос\rselect sta\rfrom site\rorder by sta"
                                                   "\rвызвал ошибку!\r\rСообщение об ошибке: bad"));
}

TEST(QExe, RunsAndReportsFailure)
{
    MessageRecorder messages;
    FakeCommand cmd;
    EXPECT_TRUE(QExe(cmd, QStringLiteral("delete from site")));
    EXPECT_EQ(cmd.log, QStringList{QStringLiteral("Execute delete from site")});

    cmd.failWith = QStringLiteral("constraint failed");
    EXPECT_FALSE(QExe(cmd, QString()));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().error);
    EXPECT_EQ(messages.last().icon, 16u);
    EXPECT_EQ(messages.last().text, QStringLiteral("QExe: Команда\rdelete from site\rвызвала ошибку!\r\r"
                                                   "Сообщение об ошибке: constraint failed"));

    QString errMsg;
    EXPECT_FALSE(QExe(cmd, QStringLiteral("drop table x"), true, &errMsg));
    EXPECT_EQ(errMsg, QStringLiteral("constraint failed"));
    EXPECT_EQ(messages.count(), 1);
}

TEST(ReplCFile, ReplacesTheDataSourceValue)
{
    const QString file = QStringLiteral("c:\\b.mdb");
    const struct
    {
        QString before;
        QString after;
    } cases[] = {
        {QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Mode=ReadWrite"),
         QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"c:\\b.mdb\";Mode=ReadWrite")},
        {QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb"),
         QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"c:\\b.mdb\"")},
        {QStringLiteral("Data Source=;Mode=Read"), QStringLiteral("Data Source=\"c:\\b.mdb\";Mode=Read")},
        // A source quoted before, with ";" inside, is replaced whole.
        {QStringLiteral("Data Source=\"a;b.db\";Mode=ReadWrite"),
         QStringLiteral("Data Source=\"c:\\b.mdb\";Mode=ReadWrite")},
    };
    for (const auto &c : cases) {
        MessageRecorder messages;
        FakeConnection conn(c.before);
        EXPECT_TRUE(ReplCFile(conn, file));
        EXPECT_EQ(conn.ConnectionString(), c.after);
        EXPECT_EQ(messages.count(), 0);
    }
}

TEST(ReplCFile, ReplacingTwiceIsReplacingOnce)
{
    for (const QString &name : {QStringLiteral("/data/x;y.db"), QStringLiteral("/data/plain.db")}) {
        FakeConnection conn(QStringLiteral("Data Source=a;Mode=ReadWrite"));
        ASSERT_TRUE(ReplCFile(conn, name));
        const QString once = conn.ConnectionString();
        ASSERT_TRUE(ReplCFile(conn, name));
        EXPECT_EQ(conn.ConnectionString(), once);
        EXPECT_EQ(once, QStringLiteral("Data Source=\"") + name + QStringLiteral("\";Mode=ReadWrite"));
    }
}

TEST(ReplCFile, ReopensAnOpenConnection)
{
    FakeConnection conn(QStringLiteral("Data Source=a"), true);
    EXPECT_TRUE(ReplCFile(conn, QStringLiteral("/x.db")));
    EXPECT_EQ(conn.log, (QStringList{QStringLiteral("Close"), QStringLiteral("Set Data Source=\"/x.db\""),
                                     QStringLiteral("Open")}));
}

TEST(ReplCFile, WithoutDataSourceFailsAndLeavesTheConnection)
{
    // The key is case-sensitive.
    for (const QString &text : {QStringLiteral("DSN=orx;UID=admin"), QStringLiteral("data source=a.mdb")}) {
        MessageRecorder messages;
        FakeConnection conn(text, true);
        EXPECT_FALSE(ReplCFile(conn, QStringLiteral("/x.db")));
        EXPECT_TRUE(conn.log.isEmpty());
        EXPECT_EQ(conn.ConnectionString(), text);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_FALSE(messages.last().error);
        EXPECT_EQ(messages.last().icon, 16u);
        EXPECT_EQ(messages.last().text,
                  QStringLiteral("ReplCFile: Неожиданная ошибка!\rНе удалось изменить источник данных."));
    }
}

} // namespace
