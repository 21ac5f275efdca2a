#include "db/sql_literals.h"
#include "db_test_env.h"

#include <QDateTime>

#include <cmath>
#include <limits>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace {

template <class Env> class DataSetTest : public OnFreshDatabase<Env>
{
protected:
    using OnFreshDatabase<Env>::db;

    void createBulletin()
    {
        for (const char *sql : kBulletinCreates)
            exec(*db, sql);
    }

    // An event with its origin time; the counter orid is left to the database.
    void addEvent(int num, const QDateTime &time, const QVariant &comment = QVariant())
    {
        exec(*db, u"insert into [События] (num,[time],dec,comment) values (?,?,?,?)"_s,
             {num, time, 3, comment.isNull() ? QVariant(QMetaType::fromType<QString>()) : comment});
    }

    void addReading(int event, const QString &station, const QDateTime &day, const QString &phase,
                    const QDateTime &time)
    {
        exec(*db,
             QStringLiteral(
                 "insert into [Станционный бюллетень] (N_equake,Station_Cod,[date],Phase,[Time],[Dec]) "
                 "values (?,?,?,?,?,?)"),
             {event, station, day, phase, time, 0});
    }

    std::unique_ptr<DbQuery> query(const QString &sql)
    {
        auto q = std::make_unique<DbQuery>(db.get());
        q->SetSQL(sql);
        q->Open();
        return q;
    }

    static QDateTime at(int y, int m, int d, int h = 0, int n = 0, int s = 0)
    {
        return QDateTime(QDate(y, m, d), QTime(h, n, s));
    }
};

TYPED_TEST_SUITE(DataSetTest, BothBackends, BackendName);

TYPED_TEST(DataSetTest, BulletinTablesCreateAsWrittenAndReportJetTypes)
{
    this->createBulletin();
    const QStringList tables = this->db->TableNames();
    for (const char *name : {"События", "Станционный бюллетень", "Динамические замеры"})
        EXPECT_TRUE(tables.contains(QString::fromUtf8(name)))
            << name << " in " << tables.join(',').toStdString();

    struct Expected
    {
        const char *table, *field;
        FieldType type;
        int size;
    };
    const Expected expected[] = {
        {"События", "orid", FieldType::AutoInc, 0},
        {"События", "num", FieldType::Integer, 0},
        {"События", "time", FieldType::DateTime, 0},
        {"События", "lat", FieldType::Float, 0},
        {"События", "StrQuake", FieldType::String, 255},
        {"События", "comment", FieldType::String, 150},
        {"Станционный бюллетень", "Channel_component", FieldType::FixedChar, 4},
        {"Динамические замеры", "Comments", FieldType::String, 50},
    };
    for (const Expected &e : expected) {
        auto q = this->query(u"select * from [%1]"_s.arg(QString::fromUtf8(e.table)));
        TField *f = q->FindField(QString::fromUtf8(e.field));
        ASSERT_NE(f, nullptr) << e.field;
        EXPECT_EQ(f->DataType(), e.type) << e.table << "." << e.field;
        EXPECT_EQ(f->Size(), e.size) << e.table << "." << e.field;
    }
}

// The lookups of a reading's measurements and of an event's readings go by the referring columns; without
// an index each of them reads the whole table.
TYPED_TEST(DataSetTest, ReferringColumnsAreIndexed)
{
    this->createBulletin();
    const QString sql =
        TypeParam::odbc ? u"select indexdef from pg_indexes where tablename=? and indexdef like ?"_s
                        : u"select sql from sqlite_master where type='index' and tbl_name=? and sql like ?"_s;
    const std::pair<const char *, const char *> referring[] = {
        {"Станционный бюллетень", "%(%n_equake%)"},
        {"Динамические замеры", "%(%arid%)"},
    };
    for (const auto &[table, columns] : referring) {
        auto q = std::make_unique<DbQuery>(this->db.get());
        q->SetSQL(sql);
        q->SetParams({QString::fromUtf8(table), QString::fromUtf8(columns)});
        q->Open();
        EXPECT_EQ(q->RecordCount(), 1) << table;
    }
}

// Values of every kind come back as they were written, long ones (read from the driver in pieces)
// whole, NULL as NULL and an empty text as an empty text; on both kinds of dataset.
TYPED_TEST(DataSetTest, EveryKindOfValueReadsBackAsWritten)
{
    exec(*this->db,
         "create table v (id integer, b yesno, m memo, x longbinary, d date, f float, s varchar(20), "
         "primary key (id))");
    const QString longText = QString(u"Камчатка "_s).repeated(700); // several pieces of the driver's reads
    QByteArray bytes(5000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    const TDateTime when = EncodeDate(2026, 11, 30) + (13 * 3600 + 5 * 60 + 7) / 86400.0;
    const QList<QVariantList> rows = {
        {1, true, longText, bytes, QDateTime(QDate(2026, 11, 30), QTime(13, 5, 7)), -0.125, u"PET"_s},
        {2, false, u""_s, QVariant(), QVariant(), 0.0, u""_s},
        {3, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
    };
    for (const QVariantList &r : rows)
        exec(*this->db, u"insert into v (id,b,m,x,d,f,s) values (?,?,?,?,?,?,?)"_s,
             {r[0], r[1], r[2], r[3].isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : r[3], r[4],
              r[5], r[6]});
    for (bool forwardOnly : {false, true}) {
        DbQuery q(this->db.get());
        q.SetForwardOnly(forwardOnly);
        q.SetSQL(u"select b, m, x, d, f, s from v order by id"_s);
        q.Open();
        // Row 1
        EXPECT_TRUE(q.Field(0)->AsBoolean());
        EXPECT_EQ(q.Field(1)->AsString(), longText);
        EXPECT_EQ(q.Field(2)->Value().toByteArray(), bytes);
        EXPECT_NEAR(q.Field(3)->AsDateTime(), when, 1e-9);
        EXPECT_EQ(q.Field(4)->AsFloat(), -0.125);
        EXPECT_EQ(q.Field(5)->AsString(), u"PET"_s);
        q.Next();
        EXPECT_FALSE(q.Field(0)->AsBoolean());
        EXPECT_FALSE(q.Field(0)->IsNull());
        EXPECT_FALSE(q.Field(1)->IsNull());
        EXPECT_EQ(q.Field(1)->AsString(), u""_s);
        EXPECT_TRUE(q.Field(2)->IsNull());
        EXPECT_TRUE(q.Field(3)->IsNull());
        EXPECT_EQ(q.Field(4)->AsFloat(), 0.0);
        q.Next();
        for (int f = 0; f < q.FieldCount(); ++f)
            EXPECT_TRUE(q.Field(f)->IsNull()) << f << (forwardOnly ? " forward-only" : " static");
        q.Next();
        EXPECT_TRUE(q.Eof());
    }
}

TYPED_TEST(DataSetTest, NavigatesLikeAStaticCursor)
{
    this->createBulletin();
    for (int num : {30, 10, 20})
        this->addEvent(num, this->at(2024, 1, 1), u"Событие %1"_s.arg(num));
    auto q = this->query(u"select num, comment from [События] order by num"_s);
    TField *num = q->FieldByName(u"NUM"_s);
    // Count, Bof, Eof, RecNo and the row's number after each move.
    const auto where = [&] {
        return QList<int>{q->RecordCount(), q->Bof(), q->Eof(), q->RecNo(), num->AsInteger()};
    };
    EXPECT_EQ(where(), (QList<int>{3, 1, 0, 1, 10}));
    QList<int> seen;
    for (; !q->Eof(); q->Next())
        seen << num->AsInteger();
    EXPECT_EQ(seen, (QList<int>{10, 20, 30}));
    EXPECT_EQ(where(), (QList<int>{3, 0, 1, 3, 30})); // Next at the last row sets Eof and stays there
    q->Prior();
    EXPECT_EQ(where(), (QList<int>{3, 0, 0, 2, 20}));
    q->First();
    q->Prior();
    EXPECT_EQ(where(), (QList<int>{3, 1, 0, 1, 10}));
    q->Last();
    EXPECT_EQ(where(), (QList<int>{3, 0, 1, 3, 30}));
    q->SetRecNo(2);
    EXPECT_EQ(num->AsInteger(), 20);
    EXPECT_THROW(q->SetRecNo(4), DbError);

    EXPECT_TRUE(q->Locate(u"comment"_s, {u"событие 30"_s}, {true, false}));
    EXPECT_EQ(q->RecNo(), 3);
    EXPECT_FALSE(q->Locate(u"comment"_s, {u"событие 30"_s}, {false, false}));
    EXPECT_EQ(q->RecNo(), 3);
    EXPECT_TRUE(q->Locate(u"num;comment"_s, {20, u"Событ"_s}, {false, true}));
    EXPECT_EQ(q->RecNo(), 2);
    EXPECT_EQ(q->FindField(u"missing"_s), nullptr);
    EXPECT_THROW(q->FieldByName(u"missing"_s), DbError);

    auto empty = this->query(u"select num from [События] where num < 0"_s);
    EXPECT_EQ((QList<int>{empty->RecordCount(), empty->Bof(), empty->Eof(), empty->RecNo()}),
              (QList<int>{0, 1, 1, 0}));
    // An aggregate over no rows is one row holding NULL.
    auto none = this->query(u"select max(num) as mx, count(num) as cnt from [События] where num < 0"_s);
    EXPECT_TRUE(none->FieldByName(u"mx"_s)->IsNull());
    EXPECT_EQ(none->FieldByName(u"cnt"_s)->AsInteger(), 0);
}

TYPED_TEST(DataSetTest, ValuesNullsAndCyrillicNames)
{
    exec(*this->db, "create table [Станции] ([Код] varchar(10), [Название] varchar(50), [Высота] float, "
                    "[Открыта] date, [Каналов] integer, primary key ([Код]))");
    exec(*this->db,
         QStringLiteral("insert into [Станции] ([Код],[Название],[Высота],[Открыта],[Каналов]) "
                        "values (?,?,?,?,?)"),
         {u"ПЕТ"_s, u"Петропавловск-Камчатский «Ё»"_s, 110.5, this->at(1961, 7, 1, 12, 30), 3});
    exec(*this->db, u"insert into [Станции] ([Код]) values ('ЯКУ')"_s);
    auto q = this->query(u"select * from [Станции] order by [Код]"_s);
    ASSERT_EQ(q->RecordCount(), 2);
    EXPECT_EQ(q->FieldByName(u"название"_s)->AsString(), u"Петропавловск-Камчатский «Ё»"_s);
    EXPECT_DOUBLE_EQ(q->FieldByName(u"Высота"_s)->AsFloat(), 110.5);
    EXPECT_DOUBLE_EQ(q->FieldByName(u"Открыта"_s)->AsDateTime(), EncodeDate(1961, 7, 1) + 0.5 + 30.0 / 1440);
    EXPECT_EQ(q->FieldByName(u"Открыта"_s)->AsString(), u"01.07.1961 12:30:00"_s);
    EXPECT_EQ(q->FieldByName(u"Каналов"_s)->Value(), QVariant(qlonglong(3)));
    q->Next();
    for (const char *name : {"Название", "Высота", "Открыта", "Каналов"}) {
        TField *f = q->FieldByName(QString::fromUtf8(name));
        EXPECT_TRUE(f->IsNull()) << name;
        EXPECT_FALSE(f->Value().isValid()) << name;
        EXPECT_EQ(f->AsString(), QString()) << name;
        EXPECT_EQ(f->AsInteger(), 0) << name;
    }
}

TYPED_TEST(DataSetTest, EditAppendPostAndDeleteWriteBack)
{
    this->createBulletin();
    this->addEvent(1, this->at(2024, 3, 1, 10));
    this->addEvent(2, this->at(2024, 3, 2, 11));
    auto q = this->query(u"SELECT * from [События] order by num"_s);

    q->Edit();
    EXPECT_EQ(q->State(), DataSetState::Edit);
    q->FieldByName(u"comment"_s)->SetValue(u"исправлено"_s);
    q->FieldByName(u"lat"_s)->SetValue(u"52.5"_s);
    q->FieldByName(u"time"_s)->SetValue(EncodeDate(2024, 3, 1) + 0.25);
    q->Post();
    EXPECT_EQ(q->State(), DataSetState::Browse);

    q->Append();
    q->FieldByName(u"num"_s)->SetValue(3);
    q->FieldByName(u"StrQuake"_s)->SetValue(u"OUT землетрясений нет"_s);
    q->Post();
    EXPECT_EQ(q->RecordCount(), 3);
    EXPECT_EQ(q->RecNo(), 3);

    q->Append();
    q->FieldByName(u"num"_s)->SetValue(4);
    q->Cancel();
    EXPECT_EQ(q->RecordCount(), 3);

    q->SetRecNo(2);
    q->Delete();
    EXPECT_EQ(q->RecordCount(), 2);
    EXPECT_EQ(q->FieldByName(u"num"_s)->AsInteger(), 3); // the next row takes its place

    EXPECT_THROW(q->FieldByName(u"num"_s)->SetValue(9), DbError); // not editing
    q->Edit();
    EXPECT_THROW(q->FieldByName(u"num"_s)->SetValue(u"девять"_s), DbError);
    q->Cancel();

    auto check = this->query(u"select num, comment, lat, [time], StrQuake from [События] order by num"_s);
    ASSERT_EQ(check->RecordCount(), 2);
    EXPECT_EQ(check->FieldByName(u"comment"_s)->AsString(), u"исправлено"_s);
    EXPECT_DOUBLE_EQ(check->FieldByName(u"lat"_s)->AsFloat(), 52.5);
    EXPECT_DOUBLE_EQ(check->FieldByName(u"time"_s)->AsDateTime(), EncodeDate(2024, 3, 1) + 0.25);
    check->Next();
    EXPECT_EQ(check->FieldByName(u"num"_s)->AsInteger(), 3);
    EXPECT_EQ(check->FieldByName(u"StrQuake"_s)->AsString(), u"OUT землетрясений нет"_s);
    EXPECT_TRUE(check->FieldByName(u"comment"_s)->IsNull());
}

TYPED_TEST(DataSetTest, CountersNumberThemselvesAndAreReadBackAfterPost)
{
    this->createBulletin();
    auto events = this->query(u"SELECT * from [События] order by orid"_s);
    for (int num : {5, 6}) {
        events->Append();
        events->FieldByName(u"num"_s)->SetValue(num);
        events->Post();
    }
    // orid is a counter that is not the key; arid below is one that is.
    EXPECT_EQ(events->FieldByName(u"orid"_s)->AsInteger(), 2);
    EXPECT_FALSE(events->FieldByName(u"orid"_s)->IsNull());
    events->First();
    EXPECT_EQ(events->FieldByName(u"orid"_s)->AsInteger(), 1);
    events->Edit();
    EXPECT_THROW(events->FieldByName(u"orid"_s)->SetValue(7), DbError);
    events->Cancel();

    auto readings = this->query(u"Select * from [Станционный бюллетень] order by arid"_s);
    for (int i = 0; i < 3; ++i) {
        readings->Append();
        readings->FieldByName(u"N_equake"_s)->SetValue(5);
        readings->Post();
        EXPECT_EQ(readings->FieldByName(u"arid"_s)->AsInteger(), i + 1);
    }
}

TYPED_TEST(DataSetTest, WriteThatHitsNoRowOrSeveralRowsFails)
{
    this->createBulletin();
    this->addEvent(1, this->at(2024, 1, 1));
    auto q = this->query(u"select * from [События]"_s);
    exec(*this->db, "delete from [События] where num=1");
    q->Edit();
    q->FieldByName(u"dec"_s)->SetValue(5);
    EXPECT_THROW(q->Post(), DbError);
    EXPECT_EQ(q->State(), DataSetState::Edit);
    q->Cancel();
    EXPECT_THROW(q->Delete(), DbError);

    // Without a key a row is found by all its values; twin rows cannot be told apart.
    exec(*this->db, "create table journal (line varchar(20), n integer)");
    exec(*this->db, "insert into journal (line, n) values ('a', 1)");
    exec(*this->db, "insert into journal (line, n) values ('a', 1)");
    exec(*this->db, "insert into journal (line, n) values ('b', null)");
    auto j = this->query(u"select * from journal order by line"_s);
    EXPECT_THROW(j->Delete(), DbError);
    j->Last();
    j->Edit();
    j->FieldByName(u"n"_s)->SetValue(2);
    j->Post(); // the row with a NULL is found too
    auto count = this->query(u"select count(*) as cnt, sum(n) as total from journal"_s);
    EXPECT_EQ(count->FieldByName(u"cnt"_s)->AsInteger(), 3);
    EXPECT_EQ(count->FieldByName(u"total"_s)->AsInteger(), 4);
}

TYPED_TEST(DataSetTest, DetailFollowsTheMasterRow)
{
    this->createBulletin();
    this->addEvent(1, this->at(2024, 1, 1));
    this->addEvent(2, this->at(2024, 1, 2));
    for (const char *phase : {"P", "S"})
        this->addReading(1, u"PET"_s, this->at(2024, 1, 1), QString::fromUtf8(phase), this->at(2024, 1, 1));
    auto master = this->query(u"SELECT * from [События] order by orid"_s);
    DbQuery detail(this->db.get());
    detail.SetSQL(u"select * from [Станционный бюллетень] where N_equake=? order by arid"_s);
    detail.SetMasterSource(master.get(), u"num"_s, u"N_equake"_s);
    detail.Open();
    EXPECT_EQ(detail.RecordCount(), 2);
    master->Next();
    EXPECT_EQ(detail.RecordCount(), 0);
    detail.Append();
    EXPECT_EQ(detail.FieldByName(u"N_equake"_s)->AsInteger(), 2);
    detail.FieldByName(u"Phase"_s)->SetValue(u"Pn"_s);
    master->First(); // the pending reading is posted before the detail follows
    EXPECT_EQ(detail.RecordCount(), 2);
    master->Last();
    ASSERT_EQ(detail.RecordCount(), 1);
    EXPECT_EQ(detail.FieldByName(u"Phase"_s)->AsString().trimmed(), u"Pn"_s);
    master->Close();
    EXPECT_FALSE(detail.Active());
}

TYPED_TEST(DataSetTest, EventWithReadingsCannotBeDeleted)
{
    this->createBulletin();
    this->addEvent(1, this->at(2024, 1, 1));
    this->addReading(1, u"PET"_s, this->at(2024, 1, 1), u"P"_s, this->at(2024, 1, 1));
    EXPECT_THROW(exec(*this->db, "delete from [События] where num=1"), DbError);
    auto q = this->query(u"select * from [События]"_s);
    EXPECT_THROW(q->Delete(), DbError);
    EXPECT_EQ(q->RecordCount(), 1);
    // The writers' order: readings first, then the event.
    exec(*this->db, "delete from [Станционный бюллетень] where N_equake=1");
    exec(*this->db, "delete from [События] where num=1");
    EXPECT_EQ(this->query(u"select * from [События]"_s)->RecordCount(), 0);
}

TYPED_TEST(DataSetTest, BulletinStatementsRunAsWritten)
{
    this->createBulletin();
    this->addEvent(7, this->at(2024, 2, 5, 3, 0, 0));
    const QDateTime day = this->at(2024, 2, 5);
    // Surface waves (any letter case) come after the body waves whatever their times.
    this->addReading(7, u"PET"_s, day, u"lr"_s, this->at(2024, 2, 5, 3, 1));
    this->addReading(7, u"PET"_s, day, u"S"_s, this->at(2024, 2, 5, 3, 5));
    this->addReading(7, u"PET"_s, day, u"P"_s, this->at(2024, 2, 5, 3, 2));
    this->addReading(7, u"PET"_s, day, u"LQM"_s, this->at(2024, 2, 5, 3, 0));

    QString from, to;
    SqlDateRangeLiterals(TypeParam::odbc, EncodeDate(2024, 2, 5), EncodeDate(2024, 2, 5), from, to);
    const QString mainQuery =
        QStringLiteral(
            "SELECT События.num,События.[time],\r[Станционный бюллетень].arid,[Станционный бюллетень].Phase,"
            "\r[Станционный бюллетень].[Time] AS ArrTime,\rNULL as nullfld\rFROM (События INNER JOIN "
            "[Станционный бюллетень]\rON События.num = [Станционный бюллетень].N_equake)\rWHERE "
            "[Станционный бюллетень].[Date] Between %1 And %2 and Station_Cod='PET'\rORDER BY "
            "События.num,\r(Switch(((UCase([Станционный бюллетень].phase)='LR') Or "
            "(UCase([Станционный бюллетень].phase)='LRM') Or (UCase([Станционный бюллетень].phase)='LQ') Or "
            "(UCase([Станционный бюллетень].phase)='LQM')),2,True,1)),\r[Станционный бюллетень].Time,"
            "[Станционный бюллетень].Dec")
            .arg(from, to);
    auto q = this->query(mainQuery);
    QStringList phases;
    for (; !q->Eof(); q->Next())
        phases << q->FieldByName(u"Phase"_s)->AsString().trimmed();
    EXPECT_EQ(phases, (QStringList{"P", "S", "LQM", "lr"}));
    q->First();
    EXPECT_TRUE(q->FieldByName(u"nullfld"_s)->IsNull());
    EXPECT_DOUBLE_EQ(q->FieldByName(u"ArrTime"_s)->AsDateTime(),
                     EncodeDate(2024, 2, 5) + 3.0 / 24 + 2.0 / 1440);

    auto phaseQuery = this->query(QStringLiteral(
        "SELECT * FROM (SELECT arid,N_equake,Date,FM,Qual,Interpretation,Phase,Channel_Cod,"
        "Channel_component,Time AS ArrTime,Dec AS ArrDec,FM_NS,FM_EW,(Switch(((UCase(phase)='LR') Or "
        "(UCase(phase)='LRM') Or (UCase(phase)='LQ') Or (UCase(phase)='LQM')),2,True,1)) AS tpph FROM "
        "[Станционный бюллетень] WHERE N_equake=7 and Station_Cod='PET') ORDER BY tpph,ArrTime,ArrDec"));
    phases.clear();
    QList<int> kinds;
    for (; !phaseQuery->Eof(); phaseQuery->Next()) {
        phases << phaseQuery->FieldByName(u"phase"_s)->AsString().trimmed();
        kinds << phaseQuery->FieldByName(u"tpph"_s)->AsInteger();
    }
    EXPECT_EQ(phases, (QStringList{"P", "S", "LQM", "lr"}));
    EXPECT_EQ(kinds, (QList<int>{1, 1, 2, 2}));
}

TYPED_TEST(DataSetTest, DateRangeLiteralsSelectWholeDays)
{
    this->createBulletin();
    this->addEvent(1, this->at(2024, 1, 1));
    // Dates as the readers store them: the day, sometimes with a time of day.
    const QDateTime days[] = {this->at(2023, 12, 31, 23, 59, 59), this->at(2024, 1, 1),
                              this->at(2024, 1, 1, 12),           this->at(2024, 1, 2),
                              this->at(2024, 1, 2, 0, 0, 1),      this->at(2024, 1, 3)};
    for (const QDateTime &d : days)
        this->addReading(1, u"PET"_s, d, u"P"_s, d);
    struct Case
    {
        TDateTime from, to;
        int expected;
    };
    const Case cases[] = {
        // The literals carry no time: the upper bound is the start of the last day.
        {EncodeDate(2024, 1, 1) + 0.5, EncodeDate(2024, 1, 2) + 0.75, 3},
        {EncodeDate(2024, 1, 1), EncodeDate(2024, 1, 1), 1},
        {EncodeDate(2023, 12, 31), EncodeDate(2024, 1, 3), 6},
        {EncodeDate(2024, 1, 4), EncodeDate(2024, 1, 9), 0},
    };
    for (const Case &c : cases) {
        QString from, to;
        SqlDateRangeLiterals(TypeParam::odbc, c.from, c.to, from, to);
        auto q = this->query(
            u"SELECT arid FROM [Станционный бюллетень] WHERE ([Date] Between %1 and %2)"_s.arg(from, to));
        EXPECT_EQ(q->RecordCount(), c.expected) << from.toStdString() << " " << to.toStdString();
        auto eq = this->query(
            u"SELECT distinct Station_Cod FROM [Станционный бюллетень] WHERE [Date] = %1"_s.arg(from));
        EXPECT_LE(eq->RecordCount(), 1);
    }
}

TYPED_TEST(DataSetTest, TransactionRollsBackAndCommits)
{
    this->createBulletin();
    this->db->BeginTrans();
    this->addEvent(1, this->at(2024, 1, 1));
    this->db->RollbackTrans();
    EXPECT_EQ(this->query(u"select * from [События]"_s)->RecordCount(), 0);
    this->db->BeginTrans();
    this->addEvent(2, this->at(2024, 1, 1));
    EXPECT_THROW(this->db->BeginTrans(), DbError);
    this->db->CommitTrans();
    EXPECT_EQ(this->query(u"select * from [События]"_s)->RecordCount(), 1);
    EXPECT_THROW(this->db->CommitTrans(), DbError);
}

TYPED_TEST(DataSetTest, ExecSqlAndForwardOnlyReads)
{
    this->createBulletin();
    for (int i = 1; i <= 5; ++i)
        this->addEvent(i, this->at(2024, 1, i));
    DbQuery update(this->db.get());
    update.SetSQL(u"update [События] set dec=9 where num>=?"_s);
    update.SetParams({3});
    update.ExecSQL();
    EXPECT_EQ(update.RowsAffected(), 3);
    EXPECT_THROW(update.Open(), DbError); // no result set

    DbQuery bulk(this->db.get());
    bulk.SetForwardOnly(true);
    bulk.SetSQL(u"select num, dec, [time] from [События] order by num"_s);
    bulk.Open();
    EXPECT_EQ(bulk.RecordCount(), -1);
    int sum = 0, rows = 0;
    for (; !bulk.Eof(); bulk.Next()) {
        sum += bulk.Field(1)->AsInteger();
        EXPECT_DOUBLE_EQ(bulk.Field(2)->AsDateTime(), EncodeDate(2024, 1, bulk.Field(0)->AsInteger()));
        ++rows;
    }
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(sum, 3 + 3 + 9 + 9 + 9);
    EXPECT_THROW(bulk.Prior(), DbError);
    EXPECT_THROW(bulk.Edit(), DbError);
    bulk.First();
    EXPECT_EQ(bulk.Field(0)->AsInteger(), 1);
}

// Both back ends keep a statement per text, with the literals it compares bound as parameters: a kept
// statement must take whatever types the next run binds, and give the columns the tables have now.
TYPED_TEST(DataSetTest, KeptStatementsTakeNewParameterTypesAndSeeSchemaChanges)
{
    exec(*this->db, "create table k (a integer, b varchar(20), c float, primary key (a))");
    for (int i = 1; i <= 4; ++i)
        exec(*this->db, u"insert into k (a,b,c) values (?,?,?)"_s,
             {i, QStringLiteral("v%1").arg(i), i + 0.5});
    struct Case
    {
        const char *sql;
        QVariantList params;
        QList<int> rows;
    };
    const QVariant nullNumber(QMetaType::fromType<qlonglong>()), nullText(QMetaType::fromType<QString>());
    const Case cases[] = {
        {"select a from k where a>=? order by a", {qlonglong(3)}, {3, 4}},
        {"select a from k where a>=? order by a", {2}, {2, 3, 4}},
        {"select a from k where a>=? order by a", {3.5}, {4}},
        {"select a from k where a>=? order by a", {nullNumber}, {}},
        {"select a from k where a>=? order by a", {true}, {1, 2, 3, 4}},
        {"select a from k where b=? order by a", {u"v2"_s}, {2}},
        {"select a from k where b=? order by a", {nullText}, {}},
        {"select a from k where b=? order by a", {u"v2' or 'x'='x"_s}, {}},
        {"select a from k where a=3", {}, {3}},
        {"select a from k where a=1 or b='v4' order by a", {}, {1, 4}},
        {"select a from k where a=2 or b='v3' order by a", {}, {2, 3}},
        {"select a from k where a=2 or b='it''s' order by a", {}, {2}},
        {"select a from k where c>? and b<>'v4' order by a", {2.0}, {2, 3}},
        {"select a from k where c>? and b<>'v2' order by a", {3}, {3, 4}},
    };
    DbBackend &backend = this->db->backend();
    qint64 firstPass = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const qint64 before = backend.statementsPrepared();
        for (const Case &c : cases) {
            DbQuery q(this->db.get());
            q.SetSQL(QString::fromUtf8(c.sql));
            q.SetParams(c.params);
            q.Open();
            QList<int> rows;
            for (; !q.Eof(); q.Next())
                rows << q.Field(0)->AsInteger();
            EXPECT_EQ(rows, c.rows) << c.sql << " " << c.params.value(0).typeName() << " pass " << pass;
        }
        if (pass == 0)
            firstPass = backend.statementsPrepared() - before;
        else // every text, and every text a literal made, was kept from the first pass
            EXPECT_EQ(backend.statementsPrepared(), before);
    }
    // Five shapes, and the table's counters read once on the server; never one per statement.
    EXPECT_LE(firstPass, 6);
    EXPECT_GE(firstPass, 5);

    const QString select = u"select * from k2 where x=1"_s;
    const auto columnsOf = [&](DbConnection &c) {
        DbQuery q(&c);
        q.SetSQL(select);
        q.Open();
        EXPECT_EQ(q.RecordCount(), 1);
        QList<QPair<FieldType, QVariant>> columns;
        for (int i = 0; i < q.FieldCount(); ++i)
            columns.append({q.Columns()[i].type, q.Field(i)->Value()});
        return columns;
    };
    exec(*this->db, "create table k2 (x integer, y varchar(10))");
    exec(*this->db, "insert into k2 (x,y) values (1,'a')");
    auto columns = columnsOf(*this->db);
    ASSERT_EQ(columns.size(), 2);
    EXPECT_TRUE(IsStringFieldType(columns[1].first));
    EXPECT_EQ(columns[1].second, u"a"_s);

    // Changed on this connection: more columns, another type.
    exec(*this->db, "drop table k2");
    exec(*this->db, "create table k2 (x integer, y float, z integer)");
    exec(*this->db, "insert into k2 (x,y,z) values (1,2.5,7)");
    columns = columnsOf(*this->db);
    ASSERT_EQ(columns.size(), 3);
    EXPECT_TRUE(IsFloatFieldType(columns[1].first));
    EXPECT_EQ(columns[1].second.toDouble(), 2.5);
    EXPECT_EQ(columns[2].second.toInt(), 7);

    // Changed on another connection, with as many columns as before: only the types tell.
    {
        auto other = this->env->open();
        exec(*other, "drop table k2");
        exec(*other, "create table k2 (x integer, y date, z varchar(5))");
        exec(*other, u"insert into k2 (x,y,z) values (?,?,?)"_s, {1, this->at(2024, 2, 29), u"q"_s});
    }
    columns = columnsOf(*this->db);
    ASSERT_EQ(columns.size(), 3);
    EXPECT_TRUE(IsDateFieldType(columns[1].first));
    EXPECT_DOUBLE_EQ(columns[1].second.toDouble(), EncodeDate(2024, 2, 29));
    EXPECT_TRUE(IsStringFieldType(columns[2].first));
    EXPECT_EQ(columns[2].second, u"q"_s);
}

// What a field's typed getters give, decided from its type and Value() alone, as TField defines them.
class ValueOnlyField : public TField
{
public:
    ValueOnlyField(FieldType type, QVariant value) : m_type(type), m_value(std::move(value)) {}
    QString FieldName() const override { return QString(); }
    FieldType DataType() const override { return m_type; }
    int Size() const override { return 0; }
    bool IsNull() const override { return m_value.isNull(); }
    QVariant Value() const override { return m_value; }
    void SetValue(const QVariant &) override {}

private:
    FieldType m_type;
    QVariant m_value;
};

// A getter's result as text, or the message it failed with; NaN and -0 spelled out.
template <class Getter> std::string outcome(Getter get)
{
    try {
        const auto v = get();
        using T = std::remove_cv_t<decltype(v)>;
        if constexpr (std::is_floating_point_v<T>)
            return std::isnan(v) ? "nan"
                                 : (std::signbit(v) ? "-" : "+") + QString::number(v, 'g', 17).toStdString();
        else if constexpr (std::is_same_v<T, QString>)
            return "'" + v.toStdString() + "'";
        else
            return std::to_string(v);
    } catch (const DbError &e) {
        return "error " + e.message().toStdString();
    }
}

// The layer reads the common values straight from the rows; every getter must give what the field's
// value gives through TField's own reading, error messages included, on both kinds of dataset.
TYPED_TEST(DataSetTest, TypedGettersGiveWhatTheValueGives)
{
    exec(*this->db, "create table g (id integer, i bigint, f float, d datetime, s varchar(30), b yesno, "
                    "primary key (id))");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QList<QVariantList> rows = {
        {1, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {2, 0, 0.0, 0.0, u""_s, false},
        {3, -2147483648LL, -0.125, EncodeDate(2026, 11, 30) + 0.75, u" 12 "_s, true},
        {4, 9007199254740993LL, 1e300, EncodeDate(1, 1, 1), u"2.5"_s, true},
        {5, 2147483648LL, 0.1, EncodeDate(9999, 12, 31) + 0.5, u"Петропавловск"_s, false},
        {6, 7, TypeParam::odbc ? nan : 2.5, 1.5, u"-7"_s, true},
    };
    for (const QVariantList &r : rows) {
        QVariantList values = r;
        if (values[3].isValid())
            values[3] = ToQDateTime(values[3].toDouble());
        exec(*this->db, u"insert into g (id,i,f,d,s,b) values (?,?,?,?,?,?)"_s, values);
    }
    // A text where a number belongs and days outside the calendar, as a SQLite file may hold them.
    if (!TypeParam::odbc) {
        exec(*this->db, "insert into g (id,i,f,d,s) values (7,'x1','2,5',-693594,'')");
        exec(*this->db, "insert into g (id,i,f,d,s) values (8,' 5 ','1e3',2958466,'')");
    }

    const QString sql = u"select i, f, d, s, b, i*2 as e, f+1 as g, s as t from g order by id"_s;
    for (const bool forwardOnly : {false, true}) {
        DbQuery q(this->db.get());
        q.SetForwardOnly(forwardOnly);
        q.SetSQL(sql);
        q.Open();
        int row = 0;
        for (; !q.Eof(); q.Next(), ++row) {
            for (int i = 0; i < q.FieldCount(); ++i) {
                const TField *f = q.Field(i);
                const ValueOnlyField v(f->DataType(), f->Value());
                const std::string where = (forwardOnly ? "forward-only row " : "static row ") +
                                          std::to_string(row) + " field " + f->FieldName().toStdString();
                EXPECT_EQ(f->IsNull(), v.IsNull()) << where;
                EXPECT_EQ(outcome([&] { return f->AsString(); }), outcome([&] { return v.AsString(); }))
                    << where;
                EXPECT_EQ(outcome([&] { return f->AsFloat(); }), outcome([&] { return v.AsFloat(); }))
                    << where;
                EXPECT_EQ(outcome([&] { return f->AsLargeInt(); }), outcome([&] { return v.AsLargeInt(); }))
                    << where;
                EXPECT_EQ(outcome([&] { return f->AsInteger(); }), outcome([&] { return v.AsInteger(); }))
                    << where;
                EXPECT_EQ(outcome([&] { return f->AsDateTime(); }), outcome([&] { return v.AsDateTime(); }))
                    << where;
                EXPECT_EQ(f->AsBoolean(), v.AsBoolean()) << where;
            }
        }
        EXPECT_EQ(row, TypeParam::odbc ? 6 : 8);
    }

    // The values themselves, as the analyst's products read them.
    DbQuery q(this->db.get());
    q.SetSQL(u"select i, f, s from g where id=4"_s);
    q.Open();
    EXPECT_EQ(q.Field(0)->AsLargeInt(), 9007199254740993LL);
    EXPECT_EQ(q.Field(0)->AsFloat(), 9007199254740992.0);
    EXPECT_EQ(q.Field(1)->AsFloat(), 1e300);
    EXPECT_EQ(q.Field(1)->AsString(), u"1E300"_s);
    EXPECT_EQ(q.Field(2)->AsFloat(), 2.5);
    EXPECT_THROW(q.Field(1)->AsInteger(), DbError);
}

// Names are found whatever their case, Cyrillic included; of two columns alike the first is found, and
// a statement with other columns finds only its own.
TYPED_TEST(DataSetTest, FieldsAreFoundCaseBlind)
{
    DbQuery q(this->db.get());
    q.SetSQL(u"select 1 as [Ёлка], 2 as [ЁЛКА], 3 as [Num], 4 as [Станция_Код]"_s);
    q.Open();
    const auto valueOf = [&](const QString &name) {
        const TField *f = q.FindField(name);
        return f ? f->AsInteger() : 0;
    };
    for (const QString &name : {u"Ёлка"_s, u"ёлка"_s, u"ЁЛКА"_s, u"ёЛкА"_s})
        EXPECT_EQ(valueOf(name), 1) << name.toStdString();
    EXPECT_EQ(valueOf(u"елка"_s), 0); // е is not ё
    EXPECT_EQ(valueOf(u"NUM"_s), 3);
    EXPECT_EQ(valueOf(u"num"_s), 3);
    EXPECT_EQ(valueOf(u"станция_код"_s), 4);
    EXPECT_EQ(valueOf(u"Станция"_s), 0);
    // Many names asked for, most of them missing, do not lose the ones that exist.
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(q.FindField(u"нет_%1"_s.arg(i)), nullptr);
    EXPECT_EQ(valueOf(u"num"_s), 3);
    EXPECT_EQ(q.FieldByName(u"ЁЛКА"_s)->FieldName().toCaseFolded(), u"ёлка"_s);

    q.SetSQL(u"select 5 as [Код], 6 as [num]"_s);
    q.Open();
    EXPECT_EQ(valueOf(u"ёлка"_s), 0);
    EXPECT_EQ(valueOf(u"КОД"_s), 5);
    EXPECT_EQ(valueOf(u"Num"_s), 6);
    q.Close();
    EXPECT_EQ(q.FindField(u"код"_s), nullptr);
}

// A writer alternating between a few statement shapes keeps them all prepared, also after more other
// statements than the connection keeps have run.
TYPED_TEST(DataSetTest, AlternatingShapesStayPreparedAfterManyOthers)
{
    exec(*this->db, "create table a (id integer, p integer, q varchar(10), r float, primary key (id))");
    DbBackend &backend = this->db->backend();
    // Statements that differ in their select lists are prepared one by one.
    for (int i = 0; i < 2 * DbBackend::kKeptStatements; ++i) {
        DbQuery once(this->db.get());
        once.SetSQL(u"select %1 as n from a"_s.arg(i));
        once.Open();
    }
    const QStringList shapes = {
        u"insert into a (id) values (?)"_s,         u"insert into a (id,p) values (?,?)"_s,
        u"insert into a (id,q) values (?,?)"_s,     u"insert into a (id,r) values (?,?)"_s,
        u"insert into a (id,p,q) values (?,?,?)"_s, u"insert into a (id,p,r) values (?,?,?)"_s,
        u"insert into a (id,q,r) values (?,?,?)"_s, u"insert into a (id,p,q,r) values (?,?,?,?)"_s};
    const qint64 before = backend.statementsPrepared();
    int id = 0;
    for (int round = 0; round < 5; ++round) {
        for (int s = 0; s < shapes.size(); ++s) {
            const QString columns = shapes[s].section(u'(', 1, 1).section(u')', 0, 0);
            QVariantList values;
            for (const QString &c : columns.split(u','))
                values << (c == u"id"_s ? QVariant(++id) : c == u"q"_s ? QVariant(u"x"_s) : QVariant(2));
            exec(*this->db, shapes[s], values);
        }
    }
    EXPECT_EQ(backend.statementsPrepared() - before, shapes.size());
    DbQuery count(this->db.get());
    count.SetSQL(u"select count(*) as n, count(p) as np, count(q) as nq, count(r) as nr from a"_s);
    count.Open();
    EXPECT_EQ(count.Field(0)->AsInteger(), 40);
    EXPECT_EQ(count.Field(1)->AsInteger(), 20);
    EXPECT_EQ(count.Field(2)->AsInteger(), 20);
    EXPECT_EQ(count.Field(3)->AsInteger(), 20);
}

// A text that begins with a byte order mark keeps it as its first character on every kind of dataset.
TYPED_TEST(DataSetTest, LeadingByteOrderMarkIsPartOfTheText)
{
    exec(*this->db, "create table t (id integer, s varchar(20), primary key (id))");
    const QString text = u"\uFEFFПЕТ"_s;
    exec(*this->db, u"insert into t (id,s) values (1,?)"_s, {text});
    for (const bool forwardOnly : {false, true}) {
        DbQuery q(this->db.get());
        q.SetForwardOnly(forwardOnly);
        q.SetSQL(u"select s from t"_s);
        q.Open();
        EXPECT_EQ(q.Field(0)->AsString(), text) << forwardOnly;
        EXPECT_EQ(q.Field(0)->Value(), QVariant(text)) << forwardOnly;
    }
}

// A field set while editing is announced to whatever listens, connected before or after the first edit;
// nothing listening costs nothing.
TYPED_TEST(DataSetTest, FieldChangesReachTheirListeners)
{
    exec(*this->db, "create table c (id integer, s varchar(20), primary key (id))");
    auto q = this->query(u"select * from c"_s);
    q->Append();
    q->FieldByName(u"id"_s)->SetValue(1);
    QList<int> early, late;
    QObject::connect(q.get(), &DbQuery::fieldChanged, [&](int index) { early << index; });
    q->FieldByName(u"s"_s)->SetValue(u"а"_s);
    QObject::connect(q.get(), &DbQuery::fieldChanged, [&](int index) { late << index; });
    q->FieldByName(u"id"_s)->SetValue(2);
    q->Post();
    EXPECT_EQ(early, (QList<int>{1, 0}));
    EXPECT_EQ(late, (QList<int>{0}));
    EXPECT_EQ(this->query(u"select id from c"_s)->Field(0)->AsInteger(), 2);
}

} // namespace
