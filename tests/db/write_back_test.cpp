#include "db/db_errors.h"
#include "db_test_env.h"
#include "lib/statements.h"

#include <QElapsedTimer>

using namespace Qt::StringLiterals;

// How a dataset writes a row back: exactly the row it read, or nothing, and every refusal said in the
// system's words.

namespace {

template <class Env> class WriteBackTest : public OnFreshDatabase<Env>
{
protected:
    using OnFreshDatabase<Env>::db;

    std::unique_ptr<DbQuery> query(const QString &sql, DbConnection *c = nullptr)
    {
        auto q = std::make_unique<DbQuery>(c ? c : db.get());
        q->SetSQL(sql);
        q->Open();
        return q;
    }

    // Every row of the statement, its fields joined by "|", NULL as "-".
    QStringList rows(const QString &sql)
    {
        auto q = query(sql);
        QStringList all;
        for (; !q->Eof(); q->Next()) {
            QStringList fields;
            for (int i = 0; i < q->FieldCount(); ++i)
                fields << (q->Field(i)->IsNull() ? u"-"_s : q->Field(i)->AsString());
            all << fields.join(u'|');
        }
        return all;
    }

    // A table without a key holding twin rows, which no dataset can tell apart.
    void twins()
    {
        exec(*db, "create table journal (line varchar(20), n integer)");
        for (const char *sql : {"insert into journal (line, n) values ('a', 1)",
                                "insert into journal (line, n) values ('a', 1)",
                                "insert into journal (line, n) values ('b', 2)"})
            exec(*db, sql);
    }

    static DbFault faultOf(const std::function<void()> &fn, QString *message = nullptr)
    {
        try {
            fn();
        } catch (const DbError &e) {
            if (message)
                *message = e.message();
            return e.fault();
        }
        return DbFault::Other;
    }
};

TYPED_TEST_SUITE(WriteBackTest, BothBackends, BackendName);

// An edit or a delete that would reach more than one row, or none, is undone and said; the rows stay as
// they were, inside a transaction too (where what the transaction did before stays).
TYPED_TEST(WriteBackTest, WriteThatWouldTouchOtherRowsIsUndone)
{
    this->twins();
    const QStringList before{u"a|1"_s, u"a|1"_s, u"b|2"_s};
    const QString all = u"select line, n from journal order by line, n"_s;
    const QString many =
        u"Запись таблицы \"journal\" не отличить от других: изменение затронуло бы 2 записи, "
        "поэтому отменено. Ничего не записано"_s;
    const QString none =
        u"Запись таблицы \"journal\" не найдена: после чтения её изменила или удалила другая "
        "программа или другое окно. Ничего не записано"_s;
    for (bool inTransaction : {false, true}) {
        SCOPED_TRACE(inTransaction ? "in a transaction" : "alone");
        if (inTransaction) {
            this->db->BeginTrans();
            exec(*this->db, "insert into journal (line, n) values ('c', 3)");
        }
        auto j = this->query(u"select * from journal order by line"_s);
        j->Edit();
        j->FieldByName(u"n"_s)->SetValue(5);
        QString message;
        EXPECT_EQ(this->faultOf([&] { j->Post(); }, &message), DbFault::RowNotUnique);
        EXPECT_EQ(message, many);
        EXPECT_EQ(j->State(), DataSetState::Edit); // the edit is kept
        j->Cancel();
        EXPECT_EQ(this->faultOf([&] { j->Delete(); }, &message), DbFault::RowNotUnique);
        EXPECT_EQ(message, many);
        EXPECT_EQ(j->RecordCount(), inTransaction ? 4 : 3);

        // The last row, changed by someone else since it was read, is found nowhere.
        exec(*this->db, "update journal set n=9 where line='b'");
        j->SetRecNo(3);
        j->Edit();
        j->FieldByName(u"n"_s)->SetValue(7);
        EXPECT_EQ(this->faultOf([&] { j->Post(); }, &message), DbFault::RowNotFound);
        EXPECT_EQ(message, none);
        j->Cancel();
        EXPECT_EQ(this->faultOf([&] { j->Delete(); }, &message), DbFault::RowNotFound);
        exec(*this->db, "update journal set n=2 where line='b'");
        if (inTransaction) {
            this->db->CommitTrans();
            EXPECT_EQ(this->rows(all), before + QStringList{u"c|3"_s});
            exec(*this->db, "delete from journal where line='c'");
        } else {
            EXPECT_EQ(this->rows(all), before);
        }
    }
}

// A row of a table whose key it leaves empty (SQLite lets a declared key hold NULL, as files made before
// keys were kept non-empty do) is found by all its values, so an edit reaches that row alone; no row is
// stored or kept with its key empty.
TYPED_TEST(WriteBackTest, RowsWithAnEmptyKeyAreFoundByTheirValues)
{
    if constexpr (TypeParam::odbc) {
        GTEST_SKIP() << "the server keeps every key non-empty itself";
    } else {
        // As an older file holds the events table: its key may be NULL.
        this->db->backend().execute(
            u"create table ev (orid integer, num int, comment varchar(20), primary key (num))"_s, {});
        this->db->backend().execute(u"insert into ev values (1,null,'AAA'),(2,null,'BBB'),(3,5,'x')"_s, {});
        const QString all = u"select orid, num, comment from ev order by orid"_s;
        const QString empty = u"Поле \"num\" таблицы \"ev\" - ключ записи и не может быть пустым. Запись не "
                              "сохранена"_s;
        auto q = this->query(u"select * from ev order by orid"_s);

        q->Edit();
        q->FieldByName(u"comment"_s)->SetValue(u"CCC"_s);
        QString message;
        EXPECT_EQ(this->faultOf([&] { q->Post(); }, &message), DbFault::NotNull);
        EXPECT_EQ(message, empty);
        q->FieldByName(u"num"_s)->SetValue(7);
        q->Post();
        EXPECT_EQ(this->rows(all), (QStringList{u"1|7|CCC"_s, u"2|-|BBB"_s, u"3|5|x"_s}));

        q->Next();
        q->Delete();
        EXPECT_EQ(this->rows(all), (QStringList{u"1|7|CCC"_s, u"3|5|x"_s}));

        for (bool set : {false, true}) {
            q->Append();
            q->FieldByName(u"comment"_s)->SetValue(u"без номера"_s);
            if (set)
                q->FieldByName(u"num"_s)->Clear();
            EXPECT_EQ(this->faultOf([&] { q->Post(); }, &message), DbFault::NotNull);
            EXPECT_EQ(message, empty);
            EXPECT_EQ(q->State(), DataSetState::Insert);
            q->Cancel();
        }
        EXPECT_EQ(this->rows(all), (QStringList{u"1|7|CCC"_s, u"3|5|x"_s}));
    }
}

// The tables the layer creates keep their keys non-empty whoever writes them.
TYPED_TEST(WriteBackTest, CreatedKeysRefuseNull)
{
    for (const char *sql : kBulletinCreates)
        exec(*this->db, sql);
    QString message;
    EXPECT_EQ(
        this->faultOf([&] { exec(*this->db, "insert into [События] (comment) values ('пусто')"); }, &message),
        DbFault::NotNull);
    EXPECT_TRUE(
        message.startsWith(u"Поле \"num\" таблицы \"События\" не может быть пустым\rСообщение СУБД: "_s))
        << message.toStdString();
    EXPECT_EQ(this->rows(u"select count(*) from [События]"_s), QStringList{u"0"_s});
}

// The common refusals of the databases come in the system's words, the database's own text after them.
TYPED_TEST(WriteBackTest, CommonFailuresAreSaidInRussian)
{
    for (const char *sql : kBulletinCreates)
        exec(*this->db, sql);
    exec(*this->db, "insert into [События] (num, comment) values (5, 'есть')");
    const bool pg = TypeParam::odbc;
    const QString database =
        pg ? this->db->DataSource()
           : QDir::toNativeSeparators(QFileInfo(this->db->DataSource()).absoluteFilePath());
    const QString refused = pg ? u"Сервер базы данных \"%1\" отказался выполнить запрос"_s.arg(database)
                               : u"База данных \"%1\" не выполнила запрос"_s.arg(database);
    struct Case
    {
        const char *sql;
        DbFault fault;
        QString words;
        const char *driverSays; // a part of the database's own text
    };
    const Case cases[] = {
        {"insert into [События] (num) values (5)", DbFault::Unique,
         pg ? u"В таблице уже есть запись с таким значением поля \"num\""_s
            : u"В таблице \"События\" уже есть запись с таким значением поля \"num\""_s,
         pg ? "duplicate key" : "UNIQUE constraint failed"},
        {"insert into [Станционный бюллетень] (N_equake) values (6)", DbFault::ForeignKey,
         u"Нарушена связь таблиц: на запись ссылаются записи другой таблицы, или она ссылается на запись, "
         "которой нет"_s,
         pg ? "foreign key" : "FOREIGN KEY constraint failed"},
        {"select * from Access", DbFault::NoSuchTable,
         pg ? u"В базе данных нет таблицы \"access\""_s : u"В базе данных нет таблицы \"Access\""_s,
         pg ? "does not exist" : "no such table: Access"},
        {"select channel_cod from [События]", DbFault::NoSuchColumn, u"В таблице нет поля \"channel_cod\""_s,
         pg ? "does not exist" : "no such column: channel_cod"},
        {"insert into [События] (num) values (3000000000)", pg ? DbFault::OutOfRange : DbFault::Other,
         pg ? u"Число не помещается в поле базы данных"_s : QString(), pg ? "out of range" : nullptr},
        // A statement's own text is not looked into: the server refuses it, SQLite keeps it.
        {"insert into [События] (num, comment) values (7, "
         "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
         "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx')",
         pg ? DbFault::TooLong : DbFault::Other,
         pg ? u"Текст не помещается в поле базы данных: он длиннее, чем поле допускает (не более 150 символов)"_s
            : QString(),
         pg ? "value too long" : nullptr},
        // A refusal the system has no words for is said as one, by the server or by the file.
        {"select 1/0", DbFault::Other, refused, pg ? "division by zero" : nullptr},
        {"selec 1", DbFault::Other, refused, "syntax error"},
    };
    // psqlODBC's own "Error while executing the query" says nothing the server's text does not.
    const auto said = [](const QString &message, const Case &c) {
        EXPECT_TRUE(message.startsWith(c.words + u"\rСообщение СУБД: "_s)) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.driverSays), Qt::CaseInsensitive));
        EXPECT_FALSE(message.contains(u"Error while executing"_s, Qt::CaseInsensitive));
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        if (!c.driverSays) {
            exec(*this->db, QString::fromUtf8(c.sql)); // SQLite keeps any integer a command gives
            continue;
        }
        try {
            exec(*this->db, QString::fromUtf8(c.sql));
            ADD_FAILURE() << "not refused";
        } catch (const DbError &e) {
            EXPECT_EQ(e.fault(), c.fault);
            EXPECT_EQ(e.words(), c.words);
            said(e.message(), c);
            EXPECT_TRUE(e.driverText().contains(QString::fromUtf8(c.driverSays), Qt::CaseInsensitive))
                << e.driverText().toStdString();
        }
        MessageRecorder boxes;
        DbCommand command(this->db.get());
        EXPECT_FALSE(QExe(command, QString::fromUtf8(c.sql)));
        ASSERT_EQ(boxes.count(), 1);
        said(boxes.last().text.section(u"Сообщение об ошибке: "_s, 1), c);
    }
    // The same refusal of a row the dataset adds.
    auto q = this->query(u"select * from [События]"_s);
    q->Append();
    q->FieldByName(u"num"_s)->SetValue(5);
    QString message;
    EXPECT_EQ(this->faultOf([&] { q->Post(); }, &message), DbFault::Unique);
    said(message, cases[0]);
}

// Values a column cannot hold are refused as they are set, before anything is written: Jet's integers
// are 32 bits wide (SQLite would keep any), and no column takes an infinity or a date off the calendar.
TYPED_TEST(WriteBackTest, ValuesTheColumnCannotHoldAreRefused)
{
    for (const char *sql : kBulletinCreates)
        exec(*this->db, sql);
    auto q = this->query(u"select * from [События]"_s);
    q->Append();
    const struct
    {
        const char *field;
        QVariant value;
        QString message;
        DbFault fault = DbFault::OutOfRange;
    } cases[] = {
        {"num", qlonglong(3000000000),
         "Число 3000000000 не помещается в поле \"num\": оно целое, от -2147483648 "
         "до 2147483647"},
        {"num", u"-2147483649"_s,
         "Число -2147483649 не помещается в поле \"num\": оно целое, от -2147483648 "
         "до 2147483647"},
        {"depdp", 1.5e308, "Число 1.5E308 не помещается в целое поле \"depdp\""},
        {"seaz", std::numeric_limits<double>::infinity(), "Значение поля \"seaz\" не является числом"},
        {"seaz", std::numeric_limits<double>::quiet_NaN(), "Значение поля \"seaz\" не является числом"},
        {"time", 3e6, "Значение 3000000 поля \"time\" не является датой"},
        // A text longer than its column, named with its column and quoted as far as a message quotes.
        {"comment", u"Ж"_s.repeated(201),
         u"Значение \"%1…\" (201 символ) не помещается в поле \"comment\" таблицы \"События\": в нём не "
         "более 150 символов"_s.arg(u"Ж"_s.repeated(200)),
         DbFault::TooLong},
        {"comment", u"Ж"_s.repeated(152) + u"  "_s,
         u"Значение \"%1\" (152 символа) не помещается в поле \"comment\" таблицы \"События\": в нём не "
         "более 150 символов"_s.arg(u"Ж"_s.repeated(152)),
         DbFault::TooLong},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        QString message;
        EXPECT_EQ(
            this->faultOf([&] { q->FieldByName(QString::fromLatin1(c.field))->SetValue(c.value); }, &message),
            c.fault);
        EXPECT_EQ(message, c.message);
        EXPECT_TRUE(q->FieldByName(QString::fromLatin1(c.field))->IsNull());
    }
    q->FieldByName(u"num"_s)->SetValue(qlonglong(2147483647));
    q->FieldByName(u"seaz"_s)->SetValue(1.5e308); // the column holds it; the event page's range does not
    // Blanks past the column's end are what a server drops: the text is taken.
    q->FieldByName(u"comment"_s)->SetValue(u"Ж"_s.repeated(150) + u"   "_s);
    q->Post();
    EXPECT_EQ(this->rows(u"select num,length(rtrim(comment)) from [События]"_s),
              QStringList{u"2147483647|150"_s});
}

// A write that meets another program's lock waits as long as the connection allows, then says who
// holds what; the edit stays, and goes in once the lock is gone.
TYPED_TEST(WriteBackTest, LockHeldElsewhereIsWaitedForBrieflyAndSaid)
{
    exec(*this->db, "create table origin (eventid varchar(20), comment varchar(40), primary key (eventid))");
    exec(*this->db, "insert into origin (eventid, comment) values ('E1', 'было')");
    auto other = this->env->open();
    this->db->SetLockTimeout(1);
    auto q = this->query(u"select * from origin"_s);

    other->BeginTrans();
    exec(*other, "update origin set comment='чужое' where eventid='E1'");
    q->Edit();
    q->FieldByName(u"comment"_s)->SetValue(u"своё"_s);
    QElapsedTimer clock;
    clock.start();
    QString message;
    EXPECT_EQ(this->faultOf([&] { q->Post(); }, &message), DbFault::Busy);
    // The second it was told, not the 30 s a connection waits where it is told nothing; how much longer a
    // busy machine takes to say so is no concern here.
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 20000);
    const QString database =
        TypeParam::odbc ? this->db->DataSource()
                        : QDir::toNativeSeparators(QFileInfo(this->db->DataSource()).absoluteFilePath());
    const QString words =
        u"База данных \"%1\" занята: с ней работает другая программа или другое окно этой "
        "программы. Ожидание прервано через 1 с. Изменение записи таблицы \"origin\" не записано "
        "и не отменено: повторите позже"_s.arg(database);
    EXPECT_TRUE(message.startsWith(words + u"\rСообщение СУБД: "_s)) << message.toStdString();
    EXPECT_EQ(q->State(), DataSetState::Edit);
    EXPECT_EQ(q->FieldByName(u"comment"_s)->AsString(), u"своё"_s);

    other->RollbackTrans();
    q->Post();
    EXPECT_EQ(this->rows(u"select comment from origin"_s), QStringList{u"своё"_s});
}

// A dataset that is not open says so in Russian, whatever is asked of it.
TYPED_TEST(WriteBackTest, ClosedDatasetSaysSoInRussian)
{
    DbQuery q(this->db.get());
    q.SetSQL(u"select 1"_s);
    const QString closed = u"Набор данных закрыт: операция невозможна"_s;
    const std::pair<const char *, std::function<void()>> calls[] = {
        {"First", [&] { q.First(); }},
        {"Next", [&] { q.Next(); }},
        {"Last", [&] { q.Last(); }},
        {"Append", [&] { q.Append(); }},
        {"Delete", [&] { q.Delete(); }},
        {"Post", [&] { q.Post(); }},
        {"RecordCount", [&] { (void)q.RecordCount(); }},
    };
    for (const auto &[name, call] : calls) {
        QString message;
        EXPECT_EQ(this->faultOf(call, &message), DbFault::Closed) << name;
        EXPECT_EQ(message, closed) << name;
    }
}

} // namespace

namespace {

// A driver's diagnostic records make one text in which each is said once, also where one record holds
// another whole (psqlODBC reports a lost connection's text, then its last line again).
TEST(DriverDiagnostics, EachRecordIsSaidOnce)
{
    const QString lost =
        u"server closed the connection unexpectedly\n\tThis probably means the server terminated "
        "abnormally;\nCould not send Query(connection dead)"_s;
    const struct
    {
        QStringList records;
        QString text;
    } cases[] = {
        {{lost, u"Could not send Query(connection dead)"_s}, lost},
        {{u"Could not send Query(connection dead)"_s, lost}, lost},
        {{lost, lost}, lost},
        {{u"The connection is down\nFailed to send 'UPDATE x';\nThe connection is down\nFailed to send 'UPDATE x'"_s},
         u"The connection is down\nFailed to send 'UPDATE x'"_s},
        {{u"ERROR: a"_s, u"ERROR: b"_s}, u"ERROR: a ERROR: b"_s},
        {{u"ERROR: a\nDETAIL: b;\nError while executing the query"_s}, u"ERROR: a\nDETAIL: b"_s},
        {{u""_s, u"ERROR: a"_s, u" "_s}, u"ERROR: a"_s},
        {{}, QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(JoinDiagnostics(c.records), c.text) << c.records.join(u'|').toStdString();
}

} // namespace
