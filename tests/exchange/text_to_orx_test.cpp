#include "exchange/text/text_to_orx.h"
#include "lib/epoch.h"
#include "text_tables_env.h"

using namespace Qt::StringLiterals;

namespace {

const char *const kOrx[] = {
    "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,rms float,"
    "comment varchar(80),lddate date,orid integer,primary key (eventid))",
    "create table arrival (arid integer,eventid varchar(20),sta varchar(6),chan varchar(8),iphase varchar(8),"
    "itime float,amptime float,fm varchar(2),im_em varchar(2),per float,ampl float,ms float,mpsp float,"
    "regclass float,pfiltype varchar(30),chantype varchar(4),primary key (arid))",
    "create table sitechan (sta varchar(6),chan varchar(8),descr varchar(50),primary key (sta,chan))",
    "create table lastid (keyname varchar(15),keyvalue integer,primary key (keyname))",
};

// A row of width columns, its cells written by hand joined by "|".
QStringList rowOf(int width, const char *cells)
{
    QStringList r = cellsOf(cells);
    r.resize(width);
    return r;
}

template <class Env> class TextToOrx : public TextTablesTest<Env>
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
        for (const char *sql : kOrx)
            exec(*db, sql);
        exec(*db,
             u"insert into sitechan values ('ABC','SHZ','SKM'),('ABC','SHE','SKM'),('XYZ','SHN','SKM')"_s);
        exec(*db, u"insert into lastid values ('arid',40)"_s);
        // ABC's event 12 of the range, another station's event that sorts inside it, and ABC's 30.
        exec(*db, u"insert into origin (eventid,comment) values ('2009_00012_ABC','old'),"
                  u"('2009_00015_XYZ','other'),('2009_00030_ABC','keep')"_s);
        exec(*db, u"insert into arrival (arid,eventid,sta) values (1,'2009_00012_ABC','ABC'),"
                  u"(2,'2009_00015_XYZ','XYZ'),(3,'2009_00030_ABC','ABC')"_s);
        for (int t = 0; t < 3; ++t)
            for (int c = 0; c < 25; ++c)
                specs[t].cols.append(tspeccol{u"c%1"_s.arg(c), false, true, {}});
        before = snapshot();
        // Events 11 and 13; readings 1 (event 11, Z), 2 (event 11, E), 3 (event 13, Z); amplitudes of 1
        // and 2.
        events = {rowOf(18, "|11|3/5/09 14:07:09|5|51,5|104.25|||||||||||a"),
                  rowOf(18, "|13|||||||||||||||b")};
        readings = {rowOf(25, "1||11| ABC |3/5/09||||P|SKM_SP|||Z|3/5/09 14:08:00|3"),
                    rowOf(25, "2||11|ABC|3/5/09||||S|SKM|||E"), rowOf(25, "3||13|ABC|3/6/09||||P|SKM|||Z")};
        amplitudes = {rowOf(17, "|1||SP|Z|||||||1,5|200||9,2"), rowOf(17, "|2||XX|E|||||0,8|50||||||10,1")};
    }

    QStringList snapshot()
    {
        return rows("select eventid,lat,lon,origintime,comment from origin order by eventid") +
               rows("select arid,eventid,chan,iphase,itime,per,ampl,regclass,pfiltype from arrival order by "
                    "arid") +
               rows("select keyvalue from lastid");
    }
    bool write(bool merge = false)
    {
        fillTable(tables[0], 18, events);
        fillTable(tables[1], 25, readings);
        fillTable(tables[2], 17, amplitudes);
        TextTablesInput in = this->input(merge);
        return WriteTextToOrx(in, {tfilt{u"SP"_s, 0.5, 5}}, [this] { return db.get(); });
    }

    QStringList before;
    QList<QStringList> events, readings, amplitudes;
};

TYPED_TEST_SUITE(TextToOrx, BothBackends, BackendName);

const QString kQuestion =
    u"В таблице ORIGIN уже есть землетрясения с EVENTID от 2009_00011_ABC до 2009_00013_ABC"
    u"\r\rХотите удалить существующие данные и записать новые?"_s;

TYPED_TEST(TextToOrx, NoLeavesEverything)
{
    this->rec.answer({IDNO});
    EXPECT_FALSE(this->write());
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(this->rec.last().text, kQuestion);
    EXPECT_EQ(this->snapshot(), this->before);
}

TYPED_TEST(TextToOrx, YesReplacesOnlyThisStationsEvents)
{
    this->rec.answer({IDYES});
    ASSERT_TRUE(this->write());
    EXPECT_EQ(this->rec.count(), 1);
    const QString t1 = QString::number(htoe(2009, 3, 5, 14, 7, 9.5), 'f', 1);
    const QString t2 = QString::number(htoe(2009, 3, 5, 14, 8, 0.3), 'f', 1);
    EXPECT_EQ(this->rows("select eventid,lat,lon,comment from origin order by eventid"),
              (QStringList{u"2009_00011_ABC|51.5|104.25|a"_s, u"2009_00013_ABC|-|-|b"_s,
                           u"2009_00015_XYZ|-|-|other"_s, u"2009_00030_ABC|-|-|keep"_s}));
    EXPECT_EQ(
        QString::number(
            this->rows("select origintime from origin where eventid='2009_00011_ABC'")[0].toDouble(), 'f', 1),
        t1);
    EXPECT_EQ(
        this->rows(
            "select arid,eventid,sta,chan,iphase,per,ampl,regclass,pfiltype from arrival order by arid"),
        (QStringList{u"2|2009_00015_XYZ|XYZ|-|-|-|-|-|-"_s, u"3|2009_00030_ABC|ABC|-|-|-|-|-|-"_s,
                     u"41|2009_00011_ABC|ABC|SHZ|P|1.5|200|9.2|0,5000 5,0000 2 B C"_s,
                     u"42|2009_00011_ABC|ABC|SHE|S|0.8|50|10.1|-"_s,
                     u"43|2009_00013_ABC|ABC|SHZ|P|-|-|-|-"_s}));
    EXPECT_EQ(QString::number(this->rows("select itime from arrival where arid=41")[0].toDouble(), 'f', 1),
              t2);
    EXPECT_EQ(this->rows("select keyvalue from lastid"), QStringList{u"43"_s});
}

TYPED_TEST(TextToOrx, MergeJoinsTheFirstEventAlreadyStored)
{
    exec(*this->db, u"update origin set eventid='2009_00011_ABC' where eventid='2009_00012_ABC'"_s);
    exec(*this->db, u"update arrival set eventid='2009_00011_ABC' where arid=1"_s);
    ASSERT_TRUE(this->write(true));
    EXPECT_EQ(this->rec.count(), 0); // 12..13 hold none of ABC's events
    EXPECT_EQ(this->rows("select eventid,comment from origin order by eventid"),
              (QStringList{u"2009_00011_ABC|old"_s, u"2009_00013_ABC|b"_s, u"2009_00015_XYZ|other"_s,
                           u"2009_00030_ABC|keep"_s}));
    EXPECT_EQ(this->rows("select count(*) from arrival where eventid='2009_00011_ABC'"), QStringList{u"3"_s});
}

// The file's one event has the largest number an event can have: merged, no number follows it, so there
// is no range to ask about, and its readings join the stored event.
TYPED_TEST(TextToOrx, MergeOfTheLastNumberLeavesNoRange)
{
    exec(*this->db, u"update origin set eventid='2009_2147483647_ABC' where eventid='2009_00012_ABC'"_s);
    exec(*this->db, u"update arrival set eventid='2009_2147483647_ABC' where arid=1"_s);
    this->events.resize(1);
    this->events[0][1] = u"2147483647"_s;
    for (QStringList &reading : this->readings)
        reading[2] = u"2147483647"_s;
    ASSERT_TRUE(this->write(true));
    EXPECT_EQ(this->rec.count(), 0);
    EXPECT_EQ(
        this->rows("select eventid,comment from origin order by eventid"),
        (QStringList{u"2009_00015_XYZ|other"_s, u"2009_00030_ABC|keep"_s, u"2009_2147483647_ABC|old"_s}));
    EXPECT_EQ(this->rows("select count(*) from arrival where eventid='2009_2147483647_ABC'"),
              QStringList{u"4"_s});
}

TYPED_TEST(TextToOrx, ABadCellLateChangesNothing)
{
    this->rec.answer({IDYES});
    this->readings[2][13] = u"3/6/09 1:00:00"_s;
    this->readings[2][14] = u"x"_s; // tenths of a time that reads
    EXPECT_THROW(this->write(), EConvertError);
    EXPECT_EQ(this->rec.count(), 0);
    EXPECT_EQ(this->snapshot(), this->before);
}

// An event number given twice would give one EVENTID twice: it is said before anything is asked or
// written, not left to the key of ORIGIN.
TYPED_TEST(TextToOrx, AnEventNumberGivenTwiceStopsBeforeWriting)
{
    this->rec.answer({IDYES});
    this->events.append(rowOf(18, "|011|||||||||||||||again"));
    try {
        this->write();
        ADD_FAILURE() << "written";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), u"Событие с номером 11 уже есть (строки №1 и №3 таблицы Events)"_s);
    }
    EXPECT_EQ(this->rec.count(), 0);
    EXPECT_EQ(this->snapshot(), this->before);
}

TYPED_TEST(TextToOrx, StopsBeforeWritingOnMissingInstrumentsAndOldDates)
{
    this->readings << rowOf(25, "4||99|ABC|3/6/09|||||ZZZ_LP|||N")
                   << rowOf(25, "5||99|ABC|3/6/09|||||zzz|||n") << rowOf(25, "6||99|ABC|3/6/09|||||SKM|||ZZ");
    EXPECT_FALSE(this->write());
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(
        this->rec.last().text,
        u"Некоторые приборы не найдены в таблице SITECHAN. Импорт остановлен. Для успешного импорта нужно "
        u"описать следующие приборы в SITECHAN:\rZZZ_N\rSKM_ZZ"_s);
    EXPECT_EQ(this->snapshot(), this->before);

    this->rec.clear();
    this->readings[1][4] = u"1/1/1970"_s;
    EXPECT_FALSE(this->write());
    EXPECT_EQ(this->rec.last().text,
              u"Найдена дата с недопустимым годом в Station_bulletin.txt:\r1/1/1970\rв строке № 1"_s);
    EXPECT_EQ(this->snapshot(), this->before);
}

TEST(TextToOrxNames, EventIdsAndBands)
{
    EXPECT_EQ(MakeEventId(2009, 42, u"ABC"_s), u"2009_00042_ABC"_s);
    EXPECT_EQ(MakeEventId(2009, 123456, u"ABC"_s), u"2009_123456_ABC"_s);
    EXPECT_EQ(StripBandSuffix(u"SKM_SP"_s), u"SKM"_s);
    EXPECT_EQ(StripBandSuffix(u"SKM"_s), u"SKM"_s);
    EXPECT_EQ(StripBandSuffix(u"UP"_s), u""_s);
}

} // namespace
