#include "exchange/paradox/paradox_journal.h"
#include "exchange/paradox/paradox_table.h"
#include "exchange/paradox_fixture.h"
#include "exchange_test_env.h"
#include "support/program_env.h"
#include "write_lock_probe.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The journal's field names, then its lines.
TD2D journal(const QList<const char *> &lines)
{
    TD2D t;
    t.Init(16, int(lines.size()) + 1);
    t.SetRow(0, cellsOf("N c/c|N event|Data|Faza|Dev|Ho|Min|Sek|T|A E-W|A N-S|A Z|S-P|Del|M|Notes"));
    for (qsizetype r = 0; r < lines.size(); ++r)
        t.SetRow(int(r) + 1, cellsOf(lines[r]));
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
        EXPECT_EQ(Caption, u"Импорт данных"_s);
        range = {Minimum, Maximum};
    }
    void SetProgress(int) override {}
    void HideProgress() override {}

    DbConnection &db;
    std::pair<int, int> range;
};

class ParadoxJournal : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        if (GetParam() && !PostgresEnv::available())
            GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
        db = GetParam() ? (pg = std::make_unique<PostgresEnv>())->open()
                        : (sqlite = std::make_unique<SqliteEnv>())->open();
        createJournalDatabase(*db);
    }
    QStringList rows(const QString &sql)
    {
        if (!db->Connected())
            db->Open();
        return dbRows(*db, sql);
    }
    std::pair<int, int> write(const QList<const char *> &lines, const TFormatSettings &fs = TFormatSettings())
    {
        FakeHost h(*db);
        WriteParadoxGridToDB(h, journal(lines), fs);
        EXPECT_FALSE(db->Connected());
        return h.range;
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
    // What the staging puts into Access, kept in a table of the test's own: Access is emptied at the end
    // of every run.
    void keepStaged()
    {
        // The server keeps the journal's column names folded to lower case.
        const char *const server[] = {
            "create table staged (\"n c/c\" varchar(10),\"notes\" varchar(60))",
            "create rule keep_staged as on insert to access do also insert into staged values "
            "(new.\"n c/c\",new.\"notes\")"};
        const char *const file[] = {
            "create table staged (\"N c/c\" varchar(10),\"Notes\" varchar(60))",
            "create trigger keep_staged after insert on Access begin insert into staged values "
            "(new.\"N c/c\",new.\"Notes\"); end"};
        for (const char *sql : GetParam() ? server : file)
            db->backend().execute(QString::fromLatin1(sql), {});
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
};

// A journal of three events; the rows below it are worked out by hand from the journal rules.
const QList<const char *> kJournal = {
    // N c/c|N event|Data|Faza|Dev|Ho|Min|Sek|T|A E-W|A N-S|A Z|S-P|Del|M|Notes
    "1|10|20.11.2007|+eP|SKMZ|23|58|12.96||||+|1-23|399.9||Курилы",
    "2|||iSM|SKMN|23|59|5,25",
    // after midnight without a date: the next day; an amplitude line attached to S by its SM
    "3|||SM|SKMN|0|0|7.5|1.2||3.4||||2.5",
    // no phase, but the attached phase keeps taking amplitudes; a class on a Z line fills both
    "4||||SKDE|0|1|30|2|5||6|||K=11.6",
    "", // an empty line: staged as "." and skipped
    "6|11|21.11.2007|(Pg)|SKM|1|2|3||-|||45|500",
    // LRM with no LR before it: its own phase row LR at 01.01.1970 and the amplitude on it
    "7|||LRM|SKDZ|1|5|0|20|||30|||3.1",
    "8|||P|SKDZ|1|20|1.04",
    // an amplitude line not ending in M after a new phase row: nothing
    "9|||P|SKDZ|1|20|2|0.5|||7",
    "10|12|22.11.2007|LR|SKDN|||||||||||Камчатка",
    "11|||LRM|SKDN|2|0|0|18||25",
    "12|||LQM|SKDE|2|3|0|17|26",
};

TEST_P(ParadoxJournal, StagedLinesBecomeEventsReadingsAndMeasurements)
{
    keepStaged();
    EXPECT_EQ(write(kJournal), std::make_pair(1, 12));
    // Line 9 gave nothing: it is named, and the journal is not said to be imported whole.
    EXPECT_EQ(shown(rec), QList<Shown>({{u"Не все данные импортированы.\rЗаписано в БД: событий 3, фаз 6, "
                                         u"динамических замеров 5.\rНе записано строк журнала: 1\rстрока 9: "
                                         u"замер с периодом T не следует за своей фазой"_s,
                                         48u}}));
    EXPECT_EQ(rows(u"select [N c/c],[Notes] from staged"_s).value(4), u"<null>|."_s);
    EXPECT_EQ(rows(u"select count(*) from Access"_s), QStringList{u"0"_s});
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

// A journal's numbers as the reader writes them out, to fifteen digits: the seconds of a single-precision
// 21.9, a third of a second's period. Every line reaches the bulletin, however long its texts.
TEST_P(ParadoxJournal, NumbersOfFifteenDigitsReachTheBulletin)
{
    const QList<PxColumn> &columns = kPxJournal;
    TestDir dir;
    const QString file = dir.file(u"journal.db"_s);
    writePxTable(file, columns,
                 {pxRow(columns, "1|9001|05.11.2026|iPg|SKMZ|3|13|12.345678||||||1.23456789"),
                  pxRow(columns, "2|||eSg|SKMN|3|13|21.899999618530273"),
                  pxRow(columns, "3|||SgM|SKMN|3|13|22.5|0.3333333333333333||12.5"),
                  pxRow(columns, "4|||SgM|SKMZ|3|13|23|123456789|||3")},
                 866);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    TD2D table;
    ImportStats stats;
    ASSERT_EQ(ReadParadoxTable(f, table, TFormatSettings(), stats).status, ParadoxStatus::Complete);
    FakeHost h(*db);
    WriteParadoxGridToDB(h, table, TFormatSettings());
    EXPECT_EQ(shown(rec), QList<Shown>({{u"Данные импортированы.\rЗаписано в БД: событий 1, фаз 2, "
                                         u"динамических замеров 2."_s,
                                         64u}}));
    EXPECT_EQ(rows(u"select num,deltagr from [События]"_s), QStringList{u"9001|1.23456789"_s});
    EXPECT_EQ(rows(u"select Phase,[Time],[Dec] from [Станционный бюллетень] order by arid"_s),
              (QStringList{u"Pg|05.11.2026 03:13:12|3"_s, u"Sg|05.11.2026 03:13:21|9"_s}));
    EXPECT_EQ(rows(u"select Period_NS,Amp_NS,Period_Z,Amp_Z from [Динамические замеры] order by Id_XM"_s),
              (QStringList{u"0.333333333333333|12.5|<null>|<null>"_s, u"<null>|<null>|123456789|3"_s}));
}

TEST_P(ParadoxJournal, EventsAlreadyThereAreReplacedOnlyWithConsent)
{
    exec(*db, "insert into [События] (num,comment) values (11,'old')");
    exec(*db, "insert into [Станционный бюллетень] (N_equake,Phase) values (11,'P')");
    exec(*db, "insert into [Динамические замеры] (arid,Amp_Z) values (1,5)");
    const QStringList before = events() + readings() + measurements();

    rec.answer({IDNO});
    write(kJournal);
    EXPECT_EQ(shown(rec), QList<Shown>({{u"Землетрясение с номером от 10 до 12 уже есть в базе данных\r"
                                         u"Удалить все землетрясения с этими номерами?"_s,
                                         32u}}));
    EXPECT_EQ(events() + readings() + measurements(), before);
    EXPECT_EQ(rows(u"select count(*) from Access"_s), QStringList{u"0"_s}); // nothing stays staged

    rec.clear();
    rec.answer({IDYES});
    write(kJournal);
    EXPECT_TRUE(lastShown(rec).first.startsWith(
        u"Не все данные импортированы.\rЗаписано в БД: событий 3, фаз 6, динамических замеров 5."_s));
    EXPECT_EQ(events().size(), 3);
    EXPECT_FALSE(events().join(u' ').contains(u"old"_s));
    EXPECT_EQ(readings().size(), 6);
    EXPECT_EQ(measurements().size(), 5);
}

TEST_P(ParadoxJournal, FailuresAndNoticesAsTheJournalHasThem)
{
    QList<const char *> noSeconds = kJournal;
    noSeconds[7] = "8|||P|SKDZ|1|20"; // an hour but no seconds: the whole journal stays out
    // Twelve phase lines before any event: the first ten are named.
    QList<const char *> noEvent(12, "|||P|SKMZ|10|0|0");
    QString noEventText =
        u"Данные не импортированы.\rВ БД ничего не записано.\rНе записано строк журнала: 12"_s;
    for (int row = 1; row <= 10; ++row)
        noEventText += u"\rстрока %1: нет события, к которому отнести фазу"_s.arg(row);
    noEventText += u"\r..."_s;
    const QString written = u"\rЗаписано в БД: событий 1, фаз %1, динамических замеров 0."_s;
    const struct
    {
        const char *name;
        QList<const char *> lines;
        QList<Shown> messages;
        QString events;
        bool prefixOnly = false; // the messages only start with the texts given
    } cases[] = {
        {"empty grid", {}, {{u"Данные не импортированы.\rВ БД ничего не записано."_s, 48}}, {}},
        {"line without seconds",
         noSeconds,
         {{u"Строка 8, поле \"Sek\"\rСообщение об ошибке:\r\"\" - не число"_s, 16}},
         {}},
        {"an event number that is no number",
         {"1|x|01.02.2007|P"},
         {{u"WriteParadoxGridToDB: Операция прервана. Сообщение об ошибке:\rСтрока 1 журнала, поле \"N "
           u"event\": "
           "\"x\" - не целое число"_s,
           16}},
         {}},
        {"a distance that is no number",
         {"1|5|01.02.2007|P||||||||||NAN"},
         {{u"Строка 1, поле \"Del\"\rСообщение об ошибке:\r\"NAN\" - не число"_s, 16}},
         {}},
        {"event number without a date",
         {"1|5||P|SKMZ"},
         {{u"Не все данные импортированы,из 1 событий :0\rВ БД ничего не записано.\rНе записано строк "
           u"журнала: "
           "1\rстрока 1: нет события, к которому отнести фазу"_s,
           48}},
         {}},
        {"S-P out of range",
         {"1|5|01.02.2007|P|||||||||75"},
         {{u"Строка 1\rS-P не имеет секунд и не лежит в пределах от 0 до 59! S-P не занесено в БД."_s, 48},
          {u"Данные импортированы."_s + written.arg(1), 64}},
         u"5|<null>|<null>|<null>|<null>|<null>"_s},
        {"S-P no number",
         {"1|5|01.02.2007|P|||||||||x|400"},
         {{u"Строка 1\rS-P - не число! S-P не занесено в БД."_s, 48},
          {u"Данные импортированы."_s + written.arg(1), 64}},
         u"5|<null>|400|<null>|<null>|<null>"_s},
        // Event 9001's Pg line with a period of the smallest number a double holds and the first motion in
        // "A Z": a line with a period is a measurement, and this one follows no phase of its own. The event
        // is written, the line is named.
        {"Pg with a period of 4.9E-324",
         {"1|9001|05.11.2026|+iPg|SKMZ|10|15|30.5|4.9E-324|||+", "2|||iSg|SKMN|10|16|2.5"},
         {{u"Не все данные импортированы."_s + written.arg(1) +
               u"\rНе записано строк журнала: 1\rстрока 1: замер с периодом T не следует за своей фазой"_s,
           48}},
         u"9001|<null>|<null>|<null>|<null>|<null>"_s},
        {"a period without an amplitude",
         {"1|5|01.02.2007|P|SKMZ|10|0|0", "2|||S|SKMZ|10|0|5|0.5"},
         {{u"Не все данные импортированы."_s + written.arg(1) +
               u"\rНе записано строк журнала: 1\rстрока 2: есть период T, но нет амплитуды"_s,
           48}},
         u"5|<null>|<null>|<null>|<null>|<null>"_s},
        {"amplitudes without a phase or a channel",
         {"1|5|01.02.2007|P|SKMZ|10|0|0", "2||||||||0.5|||7", "3"},
         {{u"Не все данные импортированы."_s + written.arg(1) +
               u"\rНе записано строк журнала: 1\rстрока 2: нет ни фазы, ни канала"_s,
           48}},
         u"5|<null>|<null>|<null>|<null>|<null>"_s},
        {"phase lines before any event", noEvent, {{noEventText, 48}}, {}},
    };
    for (const auto &c : cases) {
        rec.clear();
        write(c.lines);
        ASSERT_EQ(rec.count(), c.messages.size()) << c.name;
        for (int i = 0; i < rec.count(); ++i) {
            const QString &text = rec.messages()[i].text;
            EXPECT_EQ(c.prefixOnly ? text.left(c.messages[i].first.size()) : text, c.messages[i].first)
                << c.name;
            EXPECT_EQ(rec.messages()[i].icon, c.messages[i].second) << c.name;
        }
        EXPECT_EQ(events().join(u'\n'), c.events) << c.name;
        EXPECT_EQ(rows(u"select count(*) from Access"_s), QStringList{u"0"_s}) << c.name;
        if (c.events.isEmpty()) {
            EXPECT_TRUE(readings().isEmpty()) << c.name;
            EXPECT_TRUE(measurements().isEmpty()) << c.name;
        }
        for (const char *table : {"[Динамические замеры]", "[Станционный бюллетень]", "[События]"})
            exec(*db, u"delete from "_s + QString::fromUtf8(table));
    }
}

// A journal kept with two-digit years: the "Events" format's window, counted from the year the program
// fixed at its start, decides the century; the machine's clock has no say.
TEST_P(ParadoxJournal, TwoDigitYearsFollowTheFormatsWindow)
{
    tspec events;
    events.datefmt = u"dmy"_s;
    events.dtdel = u'.';
    events.ext0 = true;
    events.foury = false;
    const struct
    {
        int startYear;
        quint16 byear;
        const char *line;
    } cases[] = {
        {2026, 50, "1|10|01.03.65|P|SKMZ|10|0|0"},
        {2026, 50, "1|11|01.03.30|P|SKMZ|10|0|0"},
        {2126, 50, "1|12|01.03.65|P|SKMZ|10|0|0"},
        {2026, 0, "1|13|01.03.00|P|SKMZ|10|0|0"},
    };
    for (const auto &c : cases) {
        events.byear = c.byear;
        TFormatSettings fs;
        TspecToFormatSettings(fs, events, TFormatSettings(), c.startYear);
        rec.clear();
        write({c.line}, fs);
        EXPECT_EQ(shown(rec),
                  QList<Shown>({{u"Данные импортированы.\rЗаписано в БД: событий 1, фаз 1, динамических "
                                 u"замеров 0."_s,
                                 64u}}))
            << c.line;
    }
    EXPECT_EQ(rows(u"select N_equake,[Date],[Time] from [Станционный бюллетень] order by N_equake"_s),
              (QStringList{u"10|01.03.1965|01.03.1965 10:00:00"_s, u"11|01.03.2030|01.03.2030 10:00:00"_s,
                           u"12|01.03.2065|01.03.2065 10:00:00"_s, u"13|01.03.1900|01.03.1900 10:00:00"_s}));
}

TEST_P(ParadoxJournal, WithoutTheStagingTableNothingIsWritten)
{
    exec(*db, "drop view [Add_time]");
    exec(*db, "drop table Access");
    write(kJournal);
    ASSERT_GE(rec.count(), 1);
    EXPECT_TRUE(rec.messages().first().text.startsWith(u"Не удалось удалить временные данные из таблицы"_s));
    EXPECT_TRUE(events().isEmpty());
}

// No message waits for a click while the writer holds the bulletin database's write lock: a line's notice
// and a line that fails are said once the transaction is over.
TEST_P(ParadoxJournal, NoMessageWaitsWhileTheBulletinIsLocked)
{
    QList<const char *> noSeconds = kJournal;
    noSeconds[7] = "8|||P|SKDZ|1|20";
    const struct
    {
        const char *name;
        QList<const char *> lines;
        QStringList starts;
    } cases[] = {
        {"a line that fails", noSeconds, {u"Строка 8, поле \"Sek\"\rСообщение об ошибке:\r"_s}},
        {"a notice, then the end",
         {"1|5|01.02.2007|P|||||||||75"},
         {u"Строка 1\rS-P не имеет секунд"_s, u"Данные импортированы."_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        rec.clear();
        LockWatch watch([this] {
            return GetParam() ? serverSessionsIdle(*pg->open()) : sqliteTakesAWrite(db->DataSource());
        });
        write(c.lines);
        ASSERT_EQ(rec.count(), c.starts.size());
        for (int i = 0; i < rec.count(); ++i)
            EXPECT_TRUE(rec.messages()[i].text.startsWith(c.starts[i]))
                << rec.messages()[i].text.toStdString();
        EXPECT_EQ(watch.shown(), c.starts.size());
        EXPECT_EQ(watch.shownLocked(), QStringList());
        db->Open();
        for (const char *table : {"[Динамические замеры]", "[Станционный бюллетень]", "[События]"})
            exec(*db, u"delete from "_s + QString::fromUtf8(table));
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ParadoxJournal, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &i) {
                             return std::string(i.param ? "PostgreSQL" : "SQLite");
                         });

} // namespace
