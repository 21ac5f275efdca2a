// Inserts that go many to a statement on a server: the rows, their counters and defaults come out as
// single inserts make them, and a refused row is named with its own message.

#include "db/insert_batch.h"
#include "db_test_env.h"

using namespace Qt::StringLiterals;

namespace {

template <class Env> class InsertBatchTest : public OnFreshDatabase<Env>
{
protected:
    using OnFreshDatabase<Env>::db;

    QStringList rows(const QString &sql)
    {
        DbQuery q(db.get());
        q.SetSQL(sql);
        q.Open();
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList cells;
            for (int i = 0; i < q.FieldCount(); ++i)
                cells << (q.Field(i)->IsNull() ? u"<null>"_s : q.Field(i)->AsString());
            out << cells.join(u'|');
        }
        return out;
    }

    // On the server, how many INSERT statements reach the table from now on.
    void countStatements(const char *table)
    {
        if (!Env::odbc)
            return;
        exec(*db, "create table statements_run (n integer)");
        exec(*db, "insert into statements_run values (0)");
        exec(*db, "create function count_statement() returns trigger as $$ begin update statements_run set "
                  "n=n+1; return null; end $$ language plpgsql");
        exec(*db, u"create trigger count_statement after insert on %1 for each statement execute function "
                  u"count_statement()"_s.arg(QString::fromUtf8(table)));
    }
    int statementsRun() { return rows(u"select n from statements_run"_s).value(0).toInt(); }
};

TYPED_TEST_SUITE(InsertBatchTest, BothBackends, BackendName);

// Batches of three: exactly one batch, one row more, and two batches and one; the readings leave columns
// out in turn, and their counters come back into the dataset in the order of the rows.
TYPED_TEST(InsertBatchTest, DatasetAppendsReadBackTheirCountersInOrder)
{
    for (const int n : {3, 4, 7}) {
        SCOPED_TRACE(n);
        auto env = std::make_unique<TypeParam>();
        this->db = env->open();
        for (const char *sql : kBulletinCreates)
            exec(*this->db, sql);
        exec(*this->db, "insert into [Станционный бюллетень] (Station_Cod) values ('OLD')");
        this->countStatements("\"Станционный бюллетень\"");
        this->db->BeginTrans();
        DbQuery events(this->db.get()), readings(this->db.get());
        events.SetInsertBatch(3);
        readings.SetInsertBatch(3);
        events.SetSQL(u"select * from [События] where 1=0"_s);
        events.Open();
        readings.SetSQL(u"select * from [Станционный бюллетень] where 1=0"_s);
        readings.Open();
        for (int i = 0; i < n; ++i) {
            events.Append();
            events.FieldByName(u"num"_s)->SetValue(i + 1);
            events.Post();
            readings.Append();
            readings.FieldByName(u"N_equake"_s)->SetValue(i + 1);
            if (i % 2 == 0)
                readings.FieldByName(u"Comments"_s)->SetValue(u"P"_s);
            if (i % 3 == 0)
                readings.FieldByName(u"Station_Cod"_s)->SetValue(u"ABC"_s);
            readings.Post();
        }
        readings.FlushInserts();
        const int arid = static_cast<DbField *>(readings.FieldByName(u"arid"_s))->Index();
        QStringList arids, expected;
        for (int i = 0; i < n; ++i) {
            arids << readings.RowValue(i, arid).toString();
            expected << QString::number(i + 2);
        }
        EXPECT_EQ(arids, expected);
        events.Close();
        readings.Close();
        this->db->CommitTrans();

        QStringList stored{u"1|<null>|OLD|<null>"_s};
        for (int i = 0; i < n; ++i) {
            stored << u"%1|%2|%3|%4"_s.arg(i + 2).arg(i + 1).arg(i % 3 == 0 ? u"ABC"_s : u"<null>"_s,
                                                                 i % 2 == 0 ? u"P"_s : u"<null>"_s);
        }
        EXPECT_EQ(
            this->rows(u"select arid,N_equake,Station_Cod,Comments from [Станционный бюллетень] order by "
                       u"arid"_s),
            stored);
        if (TypeParam::odbc) {
            EXPECT_EQ(this->statementsRun(), (n + 2) / 3);
        }
        this->db.reset();
    }
}

// A row the database refuses, first, inside and last in a batch of four and in the second batch: the
// error names it with the text it gives alone, the rows before it stay in the dataset, the rollback
// leaves the old rows.
TYPED_TEST(InsertBatchTest, RefusedRowIsNamedAndTheOldRowsStay)
{
    for (const int refused : {0, 2, 3, 5}) {
        SCOPED_TRACE(refused);
        auto env = std::make_unique<TypeParam>();
        this->db = env->open();
        for (const char *sql : kBulletinCreates)
            exec(*this->db, sql);
        exec(*this->db, "insert into [События] (num,comment) values (100,'old')");
        QString alone;
        try {
            exec(*this->db, "insert into [События] (num) values (100)");
        } catch (const DbError &e) {
            alone = e.message();
        }
        ASSERT_FALSE(alone.isEmpty());

        this->db->BeginTrans();
        DbQuery events(this->db.get());
        events.SetInsertBatch(4);
        events.SetSQL(u"select * from [События] where 1=0"_s);
        events.Open();
        int named = -1;
        QString message;
        try {
            for (int i = 0; i < 7; ++i) {
                named = i;
                events.Append();
                events.FieldByName(u"num"_s)->SetValue(i == refused ? 100 : i + 1);
                events.Post();
            }
            events.FlushInserts();
            named = -1;
        } catch (const DbBatchError &e) {
            named = int(e.tag());
            message = e.message();
        } catch (const DbError &e) {
            // Sent at once (a SQLite file): the Post of the row itself fails.
            message = e.message();
        }
        EXPECT_EQ(named, refused);
        EXPECT_EQ(message, alone);
        EXPECT_EQ(events.RecordCount(), refused);
        this->db->RollbackTrans();
        EXPECT_EQ(this->rows(u"select num,comment from [События] order by num"_s), QStringList{u"100|old"_s});
        this->db.reset();
    }
}

// A text longer than its column is refused as its row is given, before anything of it is sent, on both
// back ends, naming the row, the column and the table; blanks past the end are what a server drops, and a
// column of unbounded text takes anything.
TYPED_TEST(InsertBatchTest, TextLongerThanItsColumnIsRefusedAsTheRowIsGiven)
{
    exec(*this->db, "create table site (sta varchar(6),fm char(2),descr memo)");
    const struct
    {
        QVariantList values;
        QString refusal; // empty: taken
    } cases[] = {
        {{u"ABCDEF   "_s, u"+"_s, u"D"_s.repeated(10000)}, QString()},
        {{u"ABCDEFGH"_s, u"+"_s, QVariant()},
         u"Значение \"ABCDEFGH\" (8 символов) не помещается в поле \"sta\" таблицы \"site\": в нём не более "
         "6 символов"_s},
        {{u"PET"_s, u"+++"_s, QVariant()},
         u"Значение \"+++\" (3 символа) не помещается в поле \"fm\" таблицы \"site\": в нём не более 2 "
         "символов"_s},
        {{u"E"_s.repeated(100000), QVariant(), QVariant()},
         u"Значение \"%1…\" (100000 символов) не помещается в поле \"sta\" таблицы \"site\": в нём не более "
         "6 символов"_s.arg(u"E"_s.repeated(200))},
    };
    this->db->BeginTrans();
    DbInsertBatch batch(*this->db, u"site"_s, {u"sta"_s, u"fm"_s, u"descr"_s});
    batch.setCapacity(4);
    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i) {
        SCOPED_TRACE(i);
        try {
            batch.add(cases[i].values, i);
            EXPECT_TRUE(cases[i].refusal.isEmpty());
        } catch (const DbBatchError &e) {
            EXPECT_EQ(e.tag(), i);
            EXPECT_EQ(e.fault(), DbFault::TooLong);
            EXPECT_EQ(e.column(), cases[i].values[0].toString().size() > 6 ? u"sta"_s : u"fm"_s);
            EXPECT_EQ(e.message(), cases[i].refusal);
        }
    }
    batch.send();
    this->db->CommitTrans();
    EXPECT_EQ(this->rows(u"select rtrim(sta),rtrim(fm),length(descr) from site"_s),
              QStringList{u"ABCDEF|+|10000"_s});
}

// A replace made to fail half-way: the old events and readings are deleted, new ones go two to a
// statement, and one reading names an event that is not there. The server refuses it in a batch sent as
// it fills, or in the one the commit sends; the transaction is then rolled back or dropped with the
// connection. The old rows are all there, the rows sent before the refused one included none.
TYPED_TEST(InsertBatchTest, AReplaceRefusedHalfWayLeavesTheOldRows)
{
    struct Case
    {
        const char *name;
        QList<int> readingEvents; // the event of each new reading; 99 is not stored
        int refused;
        bool sentByCommit; // on the server
        bool rollback;     // else the connection is closed with the transaction open
    };
    const Case cases[] = {
        {"a later batch, rolled back", {1, 2, 3, 99, 2}, 3, false, true},
        {"the commit's batch, rolled back", {1, 2, 3, 1, 99}, 4, true, true},
        {"the commit's batch, connection closed", {1, 2, 3, 1, 99}, 4, true, false},
    };
    const QString events = u"select num,comment from [События] order by num"_s;
    const QString readings = u"select N_equake,Station_Cod,Comments from [Станционный бюллетень] order by "
                             u"N_equake"_s;
    const QStringList oldEvents{u"10|old"_s, u"30|keep"_s};
    const QStringList oldReadings{u"10|PET|<null>"_s, u"30|PET|S"_s};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto env = std::make_unique<TypeParam>();
        this->db = env->open();
        for (const char *sql : kBulletinCreates)
            exec(*this->db, sql);
        exec(*this->db, "insert into [События] (num,comment) values (10,'old')");
        exec(*this->db, "insert into [События] (num,comment) values (30,'keep')");
        exec(*this->db, "insert into [Станционный бюллетень] (N_equake,Station_Cod) values (10,'PET')");
        exec(*this->db,
             "insert into [Станционный бюллетень] (N_equake,Station_Cod,Comments) values (30,'PET','S')");

        this->db->BeginTrans();
        exec(*this->db, "delete from [Станционный бюллетень]");
        exec(*this->db, "delete from [События]");
        DbQuery eventRows(this->db.get()), readingRows(this->db.get());
        eventRows.SetInsertBatch(2);
        readingRows.SetInsertBatch(2);
        eventRows.SetSQL(u"select * from [События] where 1=0"_s);
        eventRows.Open();
        readingRows.SetSQL(u"select * from [Станционный бюллетень] where 1=0"_s);
        readingRows.Open();
        int failedAt = -2; // the row whose Post failed; -1 for the commit
        qint64 named = -1;
        try {
            for (int num = 1; num <= 3; ++num) {
                eventRows.Append();
                eventRows.FieldByName(u"num"_s)->SetValue(num);
                eventRows.FieldByName(u"comment"_s)->SetValue(u"new"_s);
                eventRows.Post();
            }
            for (int i = 0; i < c.readingEvents.size(); ++i) {
                failedAt = i;
                readingRows.Append();
                readingRows.FieldByName(u"N_equake"_s)->SetValue(c.readingEvents[i]);
                readingRows.FieldByName(u"Station_Cod"_s)->SetValue(u"NEW"_s);
                readingRows.Post();
            }
            failedAt = -1;
            this->db->CommitTrans();
            failedAt = -2;
        } catch (const DbBatchError &e) {
            named = e.tag();
        } catch (const DbError &) {
            // Sent at once (a SQLite file): the Post of the row itself fails.
        }
        const bool atCommit = TypeParam::odbc && c.sentByCommit;
        EXPECT_EQ(failedAt, atCommit ? -1 : c.refused);
        if (TypeParam::odbc) {
            EXPECT_EQ(named, c.refused);
        }
        EXPECT_EQ(readingRows.RecordCount(), c.refused);
        ASSERT_TRUE(this->db->InTransaction());
        if (c.rollback) {
            this->db->RollbackTrans();
        } else {
            this->db = env->open();
        }
        EXPECT_EQ(this->rows(events), oldEvents);
        EXPECT_EQ(this->rows(readings), oldReadings);
        this->db.reset();
    }
}

// Rows of different shapes in one batch: a column left out takes its default, a NULL given stays NULL.
// Other statements see the rows waiting, a commit sends them, a rollback drops them.
TYPED_TEST(InsertBatchTest, ColumnsLeftOutTakeTheirDefaults)
{
    exec(*this->db,
         "create table t (id integer, a integer, b varchar(10) default 'dflt', c float, primary key (id))");
    const QVariant null = QVariant(QMetaType::fromType<QString>());
    const QVariant out;
    this->db->BeginTrans();
    {
        DbInsertBatch batch(*this->db, u"t"_s, {u"id"_s, u"[a]"_s, u"b"_s, u"c"_s});
        batch.setCapacity(2);
        batch.add({1, 5, out, out}, 1);
        batch.add({2, out, null, 1.5}, 2);
        batch.add({3, out, u"x"_s, out}, 3);
        EXPECT_EQ(batch.waiting(), TypeParam::odbc ? 1 : 0);
        EXPECT_EQ(this->rows(u"select count(*) from t"_s), QStringList{u"3"_s});
        batch.add({4, 7, out, out}, 4);
        batch.add({5, out, out, out}, 5);
    }
    this->db->CommitTrans();
    EXPECT_EQ(this->rows(u"select id,a,b,c from t order by id"_s),
              (QStringList{u"1|5|dflt|<null>"_s, u"2|<null>|<null>|1.5"_s, u"3|<null>|x|<null>"_s,
                           u"4|7|dflt|<null>"_s, u"5|<null>|dflt|<null>"_s}));

    this->db->BeginTrans();
    DbInsertBatch batch(*this->db, u"t"_s, {u"id"_s, u"a"_s});
    batch.add({6, 1}, 6);
    this->db->RollbackTrans();
    EXPECT_EQ(batch.waiting(), 0);
    EXPECT_EQ(this->rows(u"select count(*) from t"_s), QStringList{u"5"_s});
}

} // namespace
