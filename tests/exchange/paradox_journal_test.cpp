#include "exchange/journal_db.h"
#include "exchange/paradox_journal.h"
#include "lib/string_table.h"
#include "support/program_env.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList kHeader = {u"N c/c"_s, u"N event"_s, u"Data"_s, u"Faza"_s,  u"Dev"_s,   u"Ho"_s,
                             u"Min"_s,   u"Sek"_s,     u"T"_s,    u"A E-W"_s, u"A N-S"_s, u"A Z"_s,
                             u"S-P"_s,   u"Del"_s,     u"M"_s,    u"Notes"_s};

TD2D journal(const QList<QStringList> &lines)
{
    TD2D t;
    t.Init(int(kHeader.size()), int(lines.size()) + 1);
    t.SetRow(0, kHeader);
    for (qsizetype r = 0; r < lines.size(); ++r)
        t.SetRow(int(r) + 1, lines[r]);
    return t;
}

class FakeHost : public ParadoxJournalHost
{
public:
    explicit FakeHost(DbConnection &db) : db(db) {}
    QWidget *Owner() override { return nullptr; }
    bool GetStationDBParams(QString &Source, QString &, QString &, int Index, bool Silent) override
    {
        EXPECT_EQ(Index, -1);
        EXPECT_FALSE(Silent);
        Source = u"bulletin"_s;
        return true;
    }
    DbConnection &BulletinConnection() override { return db; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool,
                    const QString &ErrText) override
    {
        EXPECT_TRUE(ErrText.startsWith(u"Не удалось подключиться к выходной БД."_s));
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void ShowProgress(const QString &Caption, int Minimum, int Maximum) override
    {
        caption = Caption;
        range = {Minimum, Maximum};
    }
    void SetProgress(int Position) override { positions << Position; }
    void HideProgress() override {}

    DbConnection &db;
    QString caption;
    std::pair<int, int> range;
    QList<int> positions;
};

class ParadoxJournal : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        if (GetParam()) {
            if (!PostgresEnv::available())
                GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
            pg = std::make_unique<PostgresEnv>();
            db = pg->open();
        } else {
            sqlite = std::make_unique<SqliteEnv>();
            db = sqlite->open();
        }
        createJournalDatabase(*db);
    }
    DbConnection &open()
    {
        if (!db->Connected())
            db->Open();
        return *db;
    }
    QStringList rows(const QString &sql) { return journalDbRows(open(), sql); }
    void write(const TD2D &t)
    {
        FakeHost h(open());
        WriteParadoxGridToDB(h, t, TFormatSettings());
        host.caption = h.caption;
        host.range = h.range;
        EXPECT_FALSE(db->Connected());
    }
    QStringList events()
    {
        return rows(u"select num,deltagr,deltakm,S_P_time,S_P_dec,comment from [События] order by num"_s);
    }
    QStringList readings()
    {
        return rows(
            u"select arid,N_equake,N_seismo,[date],FM,Qual,Interpretation,Phase,Channel_name,Channel_Cod,"
            "Channel_component,[Time],[Dec],FM_NS,FM_EW,FM_Z from [Станционный бюллетень] order by arid"_s);
    }
    QStringList measurements()
    {
        return rows(
            u"select arid,Channel_nameXM,Channel_componentXM,Channel_CodXM,TimeXM,DecXm,Period_NS,Amp_NS,"
            "Period_EW,Amp_EW,Period_Z,Amp_Z,Magnitude_NE,Klass_NE,Magnitude_Z,Klass_Z from [Динамические "
            "замеры] order by Id_XM"_s);
    }

    std::unique_ptr<SqliteEnv> sqlite;
    std::unique_ptr<PostgresEnv> pg;
    std::unique_ptr<DbConnection> db;
    MessageRecorder rec;
    struct
    {
        QString caption;
        std::pair<int, int> range;
    } host;
};

// A journal of three events; the rows below it are worked out by hand from the journal rules.
const QList<QStringList> kJournal = {
    // N c/c, N event, Data, Faza, Dev, Ho, Min, Sek, T, A E-W, A N-S, A Z, S-P, Del, M, Notes
    {u"1"_s,
     u"10"_s,
     u"20.11.2007"_s,
     u"+eP"_s,
     u"SKMZ"_s,
     u"23"_s,
     u"58"_s,
     u"12.96"_s,
     {},
     {},
     {},
     u"+"_s,
     u"1-23"_s,
     u"399.9"_s,
     {},
     u"Курилы"_s},
    {u"2"_s, {}, {}, u"iSM"_s, u"SKMN"_s, u"23"_s, u"59"_s, u"5,25"_s, {}, {}, {}, {}, {}, {}, {}, {}},
    // after midnight without a date: the next day; an amplitude line attached to S by its SM
    {u"3"_s,
     {},
     {},
     u"SM"_s,
     u"SKMN"_s,
     u"0"_s,
     u"0"_s,
     u"7.5"_s,
     u"1.2"_s,
     {},
     u"3.4"_s,
     {},
     {},
     {},
     u"2.5"_s,
     {}},
    // no phase, but the attached phase keeps taking amplitudes; a class on a Z line fills both
    {u"4"_s,
     {},
     {},
     {},
     u"SKDE"_s,
     u"0"_s,
     u"1"_s,
     u"30"_s,
     u"2"_s,
     u"5"_s,
     {},
     u"6"_s,
     {},
     {},
     u"K=11.6"_s,
     {}},
    {}, // an empty line: staged as "." and skipped
    {u"6"_s,
     u"11"_s,
     u"21.11.2007"_s,
     u"(Pg)"_s,
     u"SKM"_s,
     u"1"_s,
     u"2"_s,
     u"3"_s,
     {},
     u"-"_s,
     {},
     {},
     u"45"_s,
     u"500"_s,
     {},
     {}},
    // LRM with no LR before it: its own phase row LR at 01.01.1970 and the amplitude on it
    {u"7"_s,
     {},
     {},
     u"LRM"_s,
     u"SKDZ"_s,
     u"1"_s,
     u"5"_s,
     u"0"_s,
     u"20"_s,
     {},
     {},
     u"30"_s,
     {},
     {},
     u"3.1"_s,
     {}},
    {u"8"_s, {}, {}, u"P"_s, u"SKDZ"_s, u"1"_s, u"20"_s, u"1.04"_s, {}, {}, {}, {}, {}, {}, {}, {}},
    // an amplitude line not ending in M after a new phase row: nothing
    {u"9"_s, {}, {}, u"P"_s, u"SKDZ"_s, u"1"_s, u"20"_s, u"2"_s, u"0.5"_s, {}, {}, u"7"_s, {}, {}, {}, {}},
    {u"10"_s,
     u"12"_s,
     u"22.11.2007"_s,
     u"LR"_s,
     u"SKDN"_s,
     {},
     {},
     {},
     {},
     {},
     {},
     {},
     {},
     {},
     {},
     u"Камчатка"_s},
    {u"11"_s, {}, {}, u"LRM"_s, u"SKDN"_s, u"2"_s, u"0"_s, u"0"_s, u"18"_s, {}, u"25"_s, {}, {}, {}, {}, {}},
    {u"12"_s, {}, {}, u"LQM"_s, u"SKDE"_s, u"2"_s, u"3"_s, u"0"_s, u"17"_s, u"26"_s, {}, {}, {}, {}, {}, {}},
};

TEST_P(ParadoxJournal, StagedLinesBecomeEventsReadingsAndMeasurements)
{
    write(journal(kJournal));
    EXPECT_EQ(host.caption, u"Импорт данных"_s);
    EXPECT_EQ(host.range, std::make_pair(1, 12));
    ASSERT_EQ(rec.count(), 1) << rec.last().text.toStdString();
    EXPECT_EQ(lastShown(rec), std::make_pair(u"Данные импортированы."_s, 64u));

    EXPECT_EQ(rows(u"select [N c/c],[Notes] from [Add_time]"_s)[4], u"<null>|."_s);
    EXPECT_EQ(events(), (QStringList{
                            u"10|399.9|<null>|30.12.1899 00:01:23|<null>|Курилы"_s,
                            u"11|<null>|500|30.12.1899 00:45:00|<null>|<null>"_s,
                            u"12|<null>|<null>|<null>|<null>|Камчатка"_s,
                        }));
    EXPECT_EQ(
        readings(),
        (QStringList{
            u"1|10|1|20.11.2007|+|e|<null>|P|SKM|01|Z|20.11.2007 23:58:12|10|<null>|<null>|+"_s,
            u"2|10|2|20.11.2007|<null>|i|<null>|S|SKM|01|N|20.11.2007 23:59:05|2|<null>|<null>|<null>"_s,
            u"3|11|6|21.11.2007|<null>|<null>|1|Pg|SKM|01|<null>|21.11.2007 01:02:03|0|<null>|-|<null>"_s,
            u"4|11|7|21.11.2007|<null>|<null>|<null>|LR|SKD|02|Z|01.01.1970|<null>|<null>|<null>|<null>"_s,
            u"5|11|8|21.11.2007|<null>|<null>|<null>|P|SKD|02|Z|21.11.2007 01:20:01|0|<null>|<null>|<null>"_s,
            u"6|12|10|22.11.2007|<null>|<null>|<null>|LR|SKD|02|N|01.01.1970|<null>|<null>|<null>|<null>"_s,
        }));
    EXPECT_EQ(
        measurements(),
        (QStringList{
            u"2|SKM|N|01|21.11.2007 00:00:07|5|1.2|3.4|<null>|<null>|<null>|<null>|2.5|<null>|<null>|<null>"_s,
            u"2|SKD|E|02|21.11.2007 00:01:30|0|<null>|<null>|2|5|2|6|<null>|11|<null>|11"_s,
            u"4|SKD|Z|02|21.11.2007 01:05:00|0|<null>|<null>|<null>|<null>|20|30|<null>|<null>|3.1|<null>"_s,
            u"6|SKD|N|02|22.11.2007 02:00:00|0|18|25|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>"_s,
            u"6|SKD|E|02|22.11.2007 02:03:00|0|<null>|<null>|17|26|<null>|<null>|<null>|<null>|<null>|<null>"_s,
        }));
}

TEST_P(ParadoxJournal, EventsAlreadyThereAreReplacedOnlyWithConsent)
{
    exec(*db, "insert into [События] (num,comment) values (11,'old')");
    exec(*db, "insert into [Станционный бюллетень] (N_equake,Phase) values (11,'P')");
    exec(*db, "insert into [Динамические замеры] (arid,Amp_Z) values (1,5)");
    const QStringList before = events() + readings() + measurements();

    rec.answer({IDNO});
    write(journal(kJournal));
    ASSERT_EQ(rec.count(), 1);
    EXPECT_EQ(lastShown(rec),
              std::make_pair(
                  u"Землетрясение с номером от 10 до 12 уже есть в базе данных\rУдалить все землетрясения с "
                  "этими номерами?"_s,
                  32u));
    EXPECT_EQ(events() + readings() + measurements(), before);
    EXPECT_EQ(rows(u"select count(*) from Access"_s), QStringList{u"12"_s}); // the staged lines stay

    rec.clear();
    rec.answer({IDYES});
    write(journal(kJournal));
    EXPECT_EQ(lastShown(rec), std::make_pair(u"Данные импортированы."_s, 64u));
    EXPECT_EQ(events().size(), 3);
    EXPECT_FALSE(events().join(u' ').contains(u"old"_s));
    EXPECT_EQ(readings().size(), 6);
    EXPECT_EQ(measurements().size(), 5);
}

TEST_P(ParadoxJournal, AFailingLineLeavesTheBulletinAsItWas)
{
    QList<QStringList> lines = kJournal;
    lines[7][7] = QString(); // line 8 has an hour but no seconds
    write(journal(lines));
    ASSERT_EQ(rec.count(), 1);
    EXPECT_EQ(rec.last().icon, 16u);
    EXPECT_TRUE(rec.last().text.startsWith(u"Строка 8\rСообщение об ошибке:\r"_s))
        << rec.last().text.toStdString();
    EXPECT_TRUE(events().isEmpty());
    EXPECT_TRUE(readings().isEmpty());
    EXPECT_TRUE(measurements().isEmpty());
}

TEST_P(ParadoxJournal, CountsAndIntervalsReportedAsTheJournalHasThem)
{
    const struct
    {
        const char *name;
        QList<QStringList> lines;
        QList<Shown> messages;
        QString events;
    } cases[] = {
        {"empty grid", {}, {{u"Данные импортированы."_s, 64}}, {}},
        {"event number without a date",
         {{u"1"_s, u"5"_s, {}, u"P"_s, u"SKMZ"_s}},
         {{u"Не все данные импортированы,из 1 событий :0"_s, 48}},
         {}},
        {"S-P out of range",
         {{u"1"_s, u"5"_s, u"01.02.2007"_s, u"P"_s, {}, {}, {}, {}, {}, {}, {}, {}, u"75"_s}},
         {{u"Строка 1\rS-P не имеет секунд и не лежит в пределах от 0 до 59! S-P не занесено в БД."_s, 48},
          {u"Данные импортированы."_s, 64}},
         u"5|<null>|<null>|<null>|<null>|<null>"_s},
        {"S-P no number",
         {{u"1"_s, u"5"_s, u"01.02.2007"_s, u"P"_s, {}, {}, {}, {}, {}, {}, {}, {}, u"x"_s, u"400"_s}},
         {{u"Строка 1\rS-P - не число! S-P не занесено в БД."_s, 48}, {u"Данные импортированы."_s, 64}},
         u"5|<null>|400|<null>|<null>|<null>"_s},
    };
    for (const auto &c : cases) {
        exec(open(), "delete from [Станционный бюллетень]");
        exec(*db, "delete from [События]");
        rec.clear();
        write(journal(c.lines));
        EXPECT_EQ(shown(rec), c.messages) << c.name;
        EXPECT_EQ(events().join(u'\n'), c.events) << c.name;
    }
}

TEST_P(ParadoxJournal, WithoutTheStagingTableNothingIsWritten)
{
    exec(*db, "drop view [Add_time]");
    exec(*db, "drop table Access");
    write(journal(kJournal));
    ASSERT_GE(rec.count(), 1);
    EXPECT_TRUE(rec.messages().first().text.startsWith(u"Не удалось удалить временные данные из таблицы"_s));
    EXPECT_TRUE(events().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, ParadoxJournal, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &i) {
                             return std::string(i.param ? "PostgreSQL" : "SQLite");
                         });

} // namespace
