#include "lib/dataset_api.h"
#include "lib/errors.h"
#include "lib/held_messages.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// What happened, in order: the connection's transaction calls and the messages the user saw.
struct Journal
{
    QStringList events;
};

class JournalConnection : public TConnection
{
public:
    explicit JournalConnection(Journal &j) : m_journal(j) {}
    QString ConnectionString() const override { return {}; }
    void SetConnectionString(const QString &) override {}
    bool Connected() const override { return true; }
    void Open() override {}
    void Close() override {}
    void BeginTrans() override { m_journal.events << u"begin"_s; }
    void CommitTrans() override
    {
        m_journal.events << u"commit"_s;
        if (failCommit)
            throw DbError(u"commit refused"_s);
    }
    void RollbackTrans() override
    {
        m_journal.events << u"rollback"_s;
        if (failRollback)
            throw DbError(u"connection lost"_s);
    }
    bool failCommit = false, failRollback = false;

private:
    Journal &m_journal;
};

// A recorder that also notes each message in the journal as it is shown.
struct Watched
{
    Journal journal;
    MessageRecorder rec;
    MessageProcType recorded = MessageProc, recordedError = ErrorMessageProc;

    Watched()
    {
        MessageProc = [this](QWidget *o, const QString &t, unsigned i, unsigned b) {
            journal.events << u"shown "_s + t;
            return recorded(o, t, i, b);
        };
        ErrorMessageProc = [this](QWidget *o, const QString &t, unsigned i, unsigned b) {
            journal.events << u"error "_s + t;
            return recordedError(o, t, i, b);
        };
    }
};

TEST(HeldMessages, ShownInOrderOnceReleased)
{
    Watched w;
    {
        HeldMessages held;
        EXPECT_EQ(MessageProc(nullptr, u"Файл повреждён"_s, MB_ICONERROR, MB_OK), IDOK);
        EXPECT_EQ(ErrorMessageProc(nullptr, u"QExe: Команда"_s, MB_ICONERROR, MB_OK), IDOK);
        EXPECT_EQ(MessageProc(nullptr, u"Готово!"_s, MB_ICONINFORMATION, MB_OK), IDOK);
        EXPECT_TRUE(w.journal.events.isEmpty());
        EXPECT_EQ(held.kept(), 3);
        held.release();
        // Released once: what is said afterwards goes straight to the user.
        held.release();
        MessageProc(nullptr, u"после"_s, MB_ICONWARNING, MB_OK);
    }
    EXPECT_EQ(w.journal.events, (QStringList{u"shown Файл повреждён"_s, u"error QExe: Команда"_s,
                                             u"shown Готово!"_s, u"shown после"_s}));
    ASSERT_EQ(w.rec.count(), 4);
    EXPECT_EQ(w.rec.messages()[0].icon, unsigned(MB_ICONERROR));
    EXPECT_TRUE(w.rec.messages()[1].error);
    EXPECT_EQ(w.rec.messages()[2].icon, unsigned(MB_ICONINFORMATION));
}

// A question cannot wait for the end of the transaction: it is refused, and not shown afterwards.
TEST(HeldMessages, QuestionsAreRefusedUnseen)
{
    Watched w;
    w.rec.answer({IDYES, IDYES, IDYES});
    {
        HeldMessages held;
        const std::pair<unsigned, int> cases[] = {
            {MB_YESNO, IDNO},           {MB_YESNOCANCEL, IDNO},          {MB_OKCANCEL, IDCANCEL},
            {MB_RETRYCANCEL, IDCANCEL}, {MB_ABORTRETRYIGNORE, IDCANCEL},
        };
        for (const auto &[buttons, answer] : cases)
            EXPECT_EQ(MessageProc(nullptr, u"Удалить?"_s, MB_ICONQUESTION, buttons), answer) << buttons;
        EXPECT_EQ(held.kept(), 0);
    }
    EXPECT_TRUE(w.journal.events.isEmpty());
    EXPECT_EQ(w.rec.count(), 0);
}

TEST(HeldTransaction, MessagesFollowTheEndOfTheTransaction)
{
    const struct
    {
        const char *name;
        bool commit, failCommit, failRollback;
        QStringList events;
    } cases[] = {
        {"committed", true, false, false, {u"begin"_s, u"commit"_s, u"shown причина"_s}},
        {"given up", false, false, false, {u"begin"_s, u"rollback"_s, u"shown причина"_s}},
        {"commit refused", true, true, false, {u"begin"_s, u"commit"_s, u"rollback"_s, u"shown причина"_s}},
        {"connection lost", false, false, true, {u"begin"_s, u"rollback"_s, u"shown причина"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Watched w;
        JournalConnection conn(w.journal);
        conn.failCommit = c.failCommit;
        conn.failRollback = c.failRollback;
        try {
            HeldTransaction t(conn);
            EXPECT_TRUE(t.open());
            MessageProc(nullptr, u"причина"_s, MB_ICONERROR, MB_OK);
            if (c.commit)
                t.commit();
        } catch (const DbError &e) {
            EXPECT_EQ(e.message(), u"commit refused"_s);
        }
        EXPECT_EQ(w.journal.events, c.events);
    }
}

} // namespace
