#include "text_tables_env.h"
#include "write_lock_probe.h"

using namespace Qt::StringLiterals;

namespace {

tspec specOf(std::initializer_list<std::pair<const char *, bool>> cols)
{
    tspec s;
    for (const auto &[name, used] : cols)
        s.cols.append(tspeccol{QString::fromUtf8(name), false, used, {}});
    return s;
}

template <class Env> class TextToBulletin : public TextTablesTest<Env>
{
protected:
    using TextTablesTest<Env>::db;
    using TextTablesTest<Env>::tables;
    using TextTablesTest<Env>::specs;
    using TextTablesTest<Env>::rows;

    void SetUp() override
    {
        TextTablesTest<Env>::SetUp();
        if (!db)
            return;
        specs[0] = specOf({{"orid", false}, {"num", true}, {"time", true}, {"comment", true}});
        specs[1] = specOf({{"arid", false}, {"N_equake", true}, {"Date", true}, {"Phase", true}});
        specs[2] = specOf({{"Id_XM", false}, {"arid", true}, {"Amp_Z", true}});
        for (const char *sql : kBulletinCreates)
            exec(*db, sql);
        // What the database already holds: event 12 with a reading and its amplitude, and event 30.
        exec(*db, u"insert into [События] (num,comment) values (12,'old'),(30,'keep')"_s);
        exec(*db, u"insert into [Станционный бюллетень] (N_equake,Phase) values (12,'Pold'),(30,'Pkeep')"_s);
        exec(
            *db,
            u"insert into [Динамические замеры] (arid,Amp_Z) select arid,1.5 from [Станционный бюллетень]"_s);
        before = snapshot();
    }

    QStringList snapshot()
    {
        return rows("select num,[time],comment from [События] order by num") +
               rows("select arid,N_equake,[Date],Phase from [Станционный бюллетень] order by arid") +
               rows("select arid,Amp_Z from [Динамические замеры] order by Id_XM");
    }

    // Events 11..13; readings 1..3 of events 11, 11 and 13; amplitudes of readings 1 and 3.
    bool write(bool merge = false, const QList<const char *> &extraXm = {})
    {
        fillRows(tables[0], 4, {"99|11|3/5/08 14:07:09|first", "99|12||new", "99|13|3/6/08 1:02:03|third"});
        fillRows(tables[1], 4, {"1|11|3/5/08|P", "2|11|3/5/08|S", "3|13|12/30/99|P"});
        fillRows(tables[2], 3, QList<const char *>{"7|3|0,57", "8|1|2,5"} + extraXm);
        TextTablesInput in = this->input(merge);
        return WriteTextToBulletin(*db, in);
    }

    QStringList before;
};

TYPED_TEST_SUITE(TextToBulletin, BothBackends, BackendName);

const QString kQuestion = u"В таблице \"События\" уже есть землетрясения с номерами от 11 до 13\r\r"
                          u"Хотите удалить существующие данные и записать новые?"_s;

TYPED_TEST(TextToBulletin, NoToTheRangeQuestionChangesNothing)
{
    this->rec.answer({IDNO});
    EXPECT_FALSE(this->write());
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(this->rec.last().text, kQuestion);
    EXPECT_EQ(this->rec.last().icon, unsigned(MB_ICONQUESTION));
    EXPECT_EQ(this->snapshot(), this->before);
}

TYPED_TEST(TextToBulletin, YesReplacesTheRangeAndRenumbersReadings)
{
    this->rec.answer({IDYES});
    ASSERT_TRUE(this->write());
    EXPECT_EQ(this->rec.count(), 1);
    // The old readings were 1 and 2, so the database numbers the new ones from 3.
    EXPECT_EQ(this->rows("select num,[time],comment from [События] order by num"),
              (QStringList{u"11|05.03.2008 14:07:09|first"_s, u"12|-|new"_s,
                           u"13|06.03.2008 01:02:03|third"_s, u"30|-|keep"_s}));
    EXPECT_EQ(this->rows("select arid,N_equake,[Date],Phase from [Станционный бюллетень] order by arid"),
              (QStringList{u"2|30|-|Pkeep"_s, u"3|11|05.03.2008|P"_s, u"4|11|05.03.2008|S"_s,
                           u"5|13|30.12.1899|P"_s}));
    EXPECT_EQ(this->rows("select arid,Amp_Z from [Динамические замеры] order by arid,Amp_Z"),
              (QStringList{u"2|1.5"_s, u"3|2.5"_s, u"5|0.57"_s}));
    EXPECT_EQ(this->tables[1].Columns[0], (QStringList{u"3"_s, u"4"_s, u"5"_s}));
    EXPECT_EQ(this->tables[2].Columns[1], (QStringList{u"5"_s, u"3"_s}));
}

// A measurement follows the first reading of the file with its old arid; one whose arid no reading of the
// file has keeps it (here the reading of event 30 already in the database).
TYPED_TEST(TextToBulletin, MeasurementsFollowTheFirstReadingOfTheirArid)
{
    this->rec.answer({IDYES});
    fillRows(this->tables[0], 4, {"99|11||a", "99|13||b"});
    fillRows(this->tables[1], 4, {"1|11|3/5/08|P", "1|11|3/5/08|S", "3|13|3/6/08|P"});
    fillRows(this->tables[2], 3, {"7|1|0,5", "8|2|2,5", "9|3|4,5"});
    TextTablesInput in = this->input(false);
    ASSERT_TRUE(WriteTextToBulletin(*this->db, in));
    EXPECT_EQ(this->rows("select x.Amp_Z,b.N_equake,b.Phase from [Динамические замеры] x, [Станционный "
                         "бюллетень] b where b.arid=x.arid order by x.Amp_Z"),
              (QStringList{u"0.5|11|P"_s, u"1.5|30|Pkeep"_s, u"2.5|30|Pkeep"_s, u"4.5|13|P"_s}));
    EXPECT_EQ(this->tables[1].Columns[0], (QStringList{u"3"_s, u"4"_s, u"5"_s}));
    EXPECT_EQ(this->tables[2].Columns[1], (QStringList{u"3"_s, u"2"_s, u"5"_s}));
}

TYPED_TEST(TextToBulletin, MergeLeavesTheFirstEventToTheDatabase)
{
    exec(*this->db, u"delete from [Динамические замеры]"_s);
    exec(*this->db, u"delete from [Станционный бюллетень]"_s);
    exec(*this->db, u"delete from [События] where num=12"_s);
    exec(*this->db, u"insert into [События] (num,comment) values (11,'in db')"_s);
    ASSERT_TRUE(this->write(true));
    EXPECT_EQ(this->rec.count(), 0); // 12..13 are free: no question
    EXPECT_EQ(this->rows("select num,comment from [События] order by num"),
              (QStringList{u"11|in db"_s, u"12|new"_s, u"13|third"_s, u"30|keep"_s}));
    EXPECT_EQ(this->rows("select N_equake,Phase from [Станционный бюллетень] order by arid"),
              (QStringList{u"11|P"_s, u"11|S"_s, u"13|P"_s}));
}

TYPED_TEST(TextToBulletin, ABadCellLateInTheFileChangesNothing)
{
    this->rec.answer({IDYES});
    EXPECT_FALSE(this->write(false, {"9|2|0,1", "10|2|n/a"}));
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_TRUE(this->rec.last().text.startsWith(
        u"строка №4, столбец №3 (таблица [Динамические замеры]). Операция прервана.\rСообщение об ошибке:\r\r"_s))
        << this->rec.last().text.toStdString();
    EXPECT_EQ(this->rec.last().icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(this->snapshot(), this->before);
    EXPECT_EQ(this->tables[1].Columns[0], (QStringList{u"1"_s, u"2"_s, u"3"_s}));
}

TYPED_TEST(TextToBulletin, AFailingInsertRollsTheDeletionsBack)
{
    this->rec.answer({IDYES});
    // The reading of event 77, which neither the file nor the database holds, breaks the foreign key after
    // the deletions ran and the events went in.
    fillRows(this->tables[2], 3, {});
    TextTablesInput in = this->input(false);
    fillRows(this->tables[0], 4, {"|12||a"});
    fillRows(this->tables[1], 4, {"1|12|3/5/08|P", "2|77|3/5/08|S"});
    EXPECT_FALSE(WriteTextToBulletin(*this->db, in));
    ASSERT_EQ(this->rec.count(), 2);
    EXPECT_TRUE(this->rec.last().text.startsWith(
        u"Ошибка импорта (таблица [Станционный бюллетень]). Операция прервана."_s))
        << this->rec.last().text.toStdString();
    EXPECT_EQ(this->snapshot(), this->before);
}

// The event number is the key of [События]: a number given twice, or none, is said in the system's words
// before the question, and nothing is written.
TYPED_TEST(TextToBulletin, EventNumbersGivenTwiceOrNotAtAllAreRefusedFirst)
{
    const std::pair<QList<const char *>, QString> cases[] = {
        {{"|12||a", "|13||b", "|12||dup"},
         u"строка №3, столбец №2 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
         "Событие с номером 12 уже есть (строка №1)"_s},
        // Read as numbers, as the database keeps them.
        {{"|14||a", "|014||b"},
         u"строка №2, столбец №2 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
         "Событие с номером 14 уже есть (строка №1)"_s},
        {{"|14||a", "|||no number"},
         u"строка №2, столбец №2 (таблица [События]). Операция прервана.\rСообщение об ошибке:\r\r"
         "Событие без номера"_s},
    };
    for (const auto &[events, message] : cases) {
        this->rec.clear();
        this->rec.answer({IDYES});
        fillRows(this->tables[0], 4, events);
        fillRows(this->tables[1], 4, {});
        fillRows(this->tables[2], 3, {});
        TextTablesInput in = this->input(false);
        EXPECT_FALSE(WriteTextToBulletin(*this->db, in));
        EXPECT_EQ(shown(this->rec), (QList<Shown>{{message, MB_ICONERROR}}));
        EXPECT_EQ(this->snapshot(), this->before);
    }
}

// The question comes before the transaction and the failure once it is rolled back: no message waits for
// a click while the bulletin database is locked for other writers.
TYPED_TEST(TextToBulletin, NoMessageWaitsWhileTheDatabaseIsLocked)
{
    this->rec.answer({IDYES});
    fillRows(this->tables[2], 3, {});
    TextTablesInput in = this->input(false);
    // A reading of an event neither the file nor the database holds fails inside the transaction.
    fillRows(this->tables[0], 4, {"|12||a"});
    fillRows(this->tables[1], 4, {"1|12|3/5/08|P", "2|77|3/5/08|S"});
    LockWatch watch([this] { return othersMayWrite(*this->env, *this->db); });
    EXPECT_FALSE(WriteTextToBulletin(*this->db, in));
    EXPECT_EQ(watch.shown(), 2);
    EXPECT_EQ(watch.shownLocked(), QStringList());
}

TYPED_TEST(TextToBulletin, AFormatColumnMissingFromTheTableStopsBeforeAnyRow)
{
    this->specs[2].cols[2].name = u"Amp_Q"_s;
    EXPECT_FALSE(this->write());
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(this->rec.last().text,
              u"столбец №3 (таблица [Динамические замеры]). Операция прервана.\rСообщение об "
              "ошибке:\r\rВ таблице нет поля \"Amp_Q\""_s);
    EXPECT_EQ(this->snapshot(), this->before);
}

} // namespace
