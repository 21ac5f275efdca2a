#include "exchange/krv/krv_reader.h"
#include "exchange/krv/krv_writer.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"
#include "support/program_env.h"
#include "write_lock_probe.h"

#include <QLabel>

namespace {

// A partner bulletin as the partner group sends it (windows-1251): a heading, event A with three
// stations, event B with a title whose year is no number before the good one and its station line
// followed at once by the event line of C, event C without stations, and event D whose origin rounds up
// into the next day.
const QList<const char *> kBulletin = {
    "Бюллетень партнёрской группы КРВ",
    "",
    "  5  2  1 12 34   3  14   0   7",
    "Примечание: ощущалось в Иркутске",
    "  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 7   ",
    " fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin=1.5  ",
    "Sfi= 2.5    Slam=3.1              St0= 0.8 с",
    "  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  3.4 ",
    " 99          e 59.95     0.00    62.30   210.0   9.8                                                ",
    " ab                   i 45.50             88.0                                                      ",
    "",
    "  6  2  0  3  4  1  2  3  4",
    "  06 02 20x6       03h  05m  07.00s  K=  8.1  Mcoda= 2.0  kt=1 kolst=  1  ",
    "  06 02 2026       03h  05m   7.96s  K=  8.1  Mcoda= 2.0  kt=1 kolst=  1  ",
    " fi=-12.5   lam=    5      h=        t0=         fmin=0.8  ",
    "Sfi=        Slam=                 St0= Иркутск",
    " 54 i  5,25             10.10             40.2                                                      ",
    "  7  2  0  0  0  0  0  0  0",
    "  07 02 2026       00h  00m  00.00s  K=       Mcoda=      kt=  kolst=     ",
    " fi=50      lam=  100      h=  10    t0=         fmin=     ",
    "Sfi= 1      Slam=1                St0= 1    ",
    "",
    " 28  2  0 23 59 -1  0  0  2",
    "  1 2              10h  00m  00.00s  K=       Mcoda=      kt=  kolst=     ",
    "  28 02 2026       23h  59m  59.96s  K=  7.0  Mcoda=      kt=0 kolst= 2   ",
    " fi=50      lam=  100      h=  10    t0=         fmin=     ",
    "Sfi= 1      Slam=1                St0= 1    ",
    "  4 e 12.34              0.00    65.00                                                              ",
    " 77                      0.00  i 70.10                                                              ",
};

// How an editor may leave a line: its blank tail cut, runs of blanks that reach a stop of 8 columns
// as tabs.
enum class Edit { None, TailCut, Tabs };

QString edited(QString line, Edit edit)
{
    if (edit == Edit::None)
        return line;
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    if (edit == Edit::Tabs)
        for (qsizetype stop = (line.size() - 1) / 8 * 8; stop > 0; stop -= 8) {
            qsizetype from = stop;
            while (from > stop - 8 && line.at(from - 1) == QLatin1Char(' '))
                --from;
            if (stop - from >= 2)
                line.replace(from, stop - from, QLatin1Char('\t'));
        }
    return line;
}

QByteArray bulletinBytes(const QList<const char *> &lines = kBulletin, const char *eol = "\r\n",
                         Edit edit = Edit::None)
{
    QString text;
    for (const char *line : lines)
        text += edited(QString::fromUtf8(line), edit) + QString::fromLatin1(eol);
    return toCp1251(text);
}

// The table the bulletin gives, worked out from the layout of the KRV table (trailing empty cells left
// off).
const QStringList kTable = {
    "sta|Pn_q|Pn|Pg_q|Pg|Sn_q|Sn|Sg_q|Sg|del|K|Pnnev|Pnev|Snnev|Snev|Ap|As|Mgn",
    "05.02.2026 12:34:00|3|14|0|7",
    "05.02.2026|O =|12:34:56.78|K =|10.5|Mcoda =|3.2|kt =|2|kolst =|7",
    "fi =|52.123|lam =|104.456|h =|15|t0 =|0.45|fmin =|1.5|Sfi =|2.5|Slam =|3.1|St0 =|0.8 с",
    "",
    "KRV|e|58.12|||i|25.40|e|30.06|123.4|10.2|1.2|2.3|3.4|4.5|0.35|1.20|3.4",
    "?99|||e|59.95||||62.30|210.0|9.8",
    "?-1|||||i|45.50|||88.0",
    "",
    "06.02.2026 03:04:00|1|2|3|4",
    "06.02.2026|O =|03:05:7.96|K =|8.1|Mcoda =|2.0|kt =|1|kolst =|1",
    "fi =|-12.5|lam =|5|h =||t0 =||fmin =|0.8|Sfi =||Slam =||St0 =|Иркутск",
    "",
    "TASR|i|5,25||||10.10|||40.2",
    "",
    "28.02.2026 23:59:00|-1|0|0|2",
    "28.02.2026|O =|23:59:59.96|K =|7.0|Mcoda =||kt =|0|kolst =|2",
    "fi =|50|lam =|100|h =|10|t0 =||fmin =||Sfi =|1|Slam =|1|St0 =|1",
    "",
    "VEH|e|12.34||||||65.00",
    "BRCR|||||||i|70.10",
};

TD2D parsed(const QByteArray &bytes, int *lines = nullptr)
{
    TD2D t;
    int n = 0;
    ParseKrvBulletin(bytes, t, lines ? *lines : n);
    return t;
}

TEST(KrvReader, PartnerBulletinIntoTheKrvTable)
{
    // The same table whatever the line ends, whether the last line has one, and whether an editor cut
    // the lines' blank tails or put tabs for blanks.
    for (const Edit edit : {Edit::None, Edit::TailCut, Edit::Tabs})
        for (const char *eol : {"\r\n", "\n"}) {
            QByteArray bytes = bulletinBytes(kBulletin, eol, edit);
            for (bool lastEol : {true, false}) {
                if (!lastEol)
                    bytes.chop(qsizetype(strlen(eol)));
                int lines = 0;
                const TD2D t = parsed(bytes, &lines);
                EXPECT_EQ(tableRows(t), kTable) << eol << lastEol << int(edit);
                EXPECT_EQ(t.ColCount(), 18);
                EXPECT_EQ(lines, int(kBulletin.size()));
            }
        }
    // Events without stations add nothing; a station line before the event's error line is no station
    // of it.
    for (const QList<const char *> &lines :
         {kBulletin.mid(2, 1) + kBulletin.mid(4, 3),
          kBulletin.mid(2, 1) + kBulletin.mid(4, 1) + kBulletin.mid(7, 1) + kBulletin.mid(5, 2),
          QList<const char *>()})
        EXPECT_EQ(tableRows(parsed(bulletinBytes(lines))), kTable.mid(0, 1));
}

// While a title is awaited a further event line is only a line of another kind: the event keeps its own
// line. Once the title is read, an event line before any station opens the next event, and so does one
// right after a station, however far it is padded. A heading among the stations ends them.
TEST(KrvReader, EventLinesBeforeTheTitleAreSkipped)
{
    const QByteArray padded = QByteArray(kBulletin[11]).leftJustified(120);
    const struct
    {
        const char *name;
        QList<const char *> lines;
        QStringList table;
    } cases[] = {
        {"another event's line before the title",
         kBulletin.mid(2, 1) + kBulletin.mid(11, 1) + kBulletin.mid(4, 4), kTable.mid(0, 6)},
        {"two of them and a heading",
         kBulletin.mid(2, 1) + kBulletin.mid(11, 1) + kBulletin.mid(0, 1) + kBulletin.mid(17, 1) +
             kBulletin.mid(4, 4),
         kTable.mid(0, 6)},
        {"after the title",
         kBulletin.mid(2, 1) + kBulletin.mid(4, 1) + kBulletin.mid(11, 1) + kBulletin.mid(13, 4),
         kTable.mid(0, 1) + kTable.mid(9, 5)},
        {"padded to 120 after a station",
         kBulletin.mid(2, 1) + kBulletin.mid(4, 4) + QList<const char *>{padded.constData()} +
             kBulletin.mid(13, 4),
         kTable.mid(0, 6) + kTable.mid(8, 6)},
        {"a heading after a station",
         kBulletin.mid(2, 6) + QList<const char *>{" 12 станций, K= 10.5"} + kBulletin.mid(8, 2),
         kTable.mid(0, 6)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tableRows(parsed(bulletinBytes(c.lines))), c.table) << c.name;
}

TEST(KrvReader, StationCodes)
{
    const std::pair<int, const char *> cases[] = {{1, "KRV"},   {2, "ELT"},    {39, "ELDR"}, {72, "DVG"},
                                                  {79, "KRAR"}, {254, "KEMR"}, {0, "?0"},    {99, "?99"},
                                                  {-1, "?-1"},  {253, "?253"}};
    for (const auto &[number, code] : cases) {
        QString got;
        KrvStationCode(number, got);
        EXPECT_EQ(got, QString::fromLatin1(code)) << number;
    }
}

TEST(KrvReader, FailuresNameTheLineAndTheFile)
{
    TestDir dir;
    TD2D t;
    QString message;
    EXPECT_FALSE(ReadKrvFile(dir.file(QStringLiteral("tab_1.txt")), t, message));
    EXPECT_TRUE(message.startsWith(QStringLiteral("ReadKRV: Сообщение об ошибке:\rНе удалось открыть файл ")))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("tab_1.txt: нет такого файла или папки")))
        << message.toStdString();

    // 31 February: the reference date of the event does not exist; found when its first station comes.
    const QString bad = dir.file(QStringLiteral("tab_2.txt"));
    ASSERT_TRUE(
        writeBytes(bad, bulletinBytes(QList<const char *>{"Бюллетень", " 31  2  1 12 34   3  14   0   7"} +
                                      kBulletin.mid(4, 4))));
    EXPECT_FALSE(ReadKrvFile(bad, t, message));
    EXPECT_TRUE(
        message.startsWith(QStringLiteral("ReadKRV, строка 6 в файле tab_2.txt: Сообщение об ошибке:\r")))
        << message.toStdString();

    // A station line with what no field takes, past its last field or moving its columns: refused with
    // its line rather than written without its readings.
    const struct
    {
        const char *line;
        const char *text;
    } damaged[] = {
        {"  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  "
         "3.4  7",
         "Лишние данные после 100-й позиции строки станции"},
        {"  1 7 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  "
         "3.4 ",
         "Строка станции не по образцу: в 27-й позиции нет точки"},
        // Tabs for blanks at other stops than 8 columns.
        {"  1\te 58.12\t0.00\ti 25.40\te 30.06", "Строка станции не по образцу: в 27-й позиции нет точки"},
    };
    for (const auto &d : damaged) {
        const QString file = dir.file(QStringLiteral("tab_4.txt"));
        ASSERT_TRUE(writeBytes(file, bulletinBytes(kBulletin.mid(2, 6) + QList<const char *>{d.line})));
        EXPECT_FALSE(ReadKrvFile(file, t, message));
        EXPECT_EQ(message, QStringLiteral("ReadKRV, строка 7 в файле tab_4.txt: Сообщение об ошибке:\r") +
                               QString::fromUtf8(d.text));
    }

    const QString good = dir.file(QStringLiteral("tab_3.txt"));
    ASSERT_TRUE(writeBytes(good, bulletinBytes()));
    EXPECT_TRUE(ReadKrvFile(good, t, message));
    EXPECT_EQ(tableRows(t), kTable);
}

TEST(KrvWriter, TenthsCarryIntoTheSeconds)
{
    const std::tuple<double, qint64, int> cases[] = {
        {12.34, 12, 3}, {0, 0, 0}, {59.95, 60, 0}, {59.96, 60, 0}, {0.05, 0, 0}, {0.15, 0, 2}, {65, 65, 0}};
    for (const auto &[seconds, whole, tenths] : cases) {
        qint64 w = -1;
        int t = -1;
        SplitTenths(seconds, w, t);
        EXPECT_EQ(std::pair(w, t), std::pair(whole, tenths)) << seconds;
    }
}

class FakeKrvHost : public StationDbHost<KrvWriteHost>
{
public:
    using StationDbHost::StationDbHost;
    void ShowProgress(const QString &Caption, int Maximum) override
    {
        EXPECT_EQ(Caption, QStringLiteral("Импорт"));
        maximum = Maximum;
    }
    void SetProgress(int Position) override { positions << Position; }
    void HideProgress() override { ++hidden; }

    int maximum = -2, hidden = 0;
    QList<int> positions;
};

template <class Env> class KrvWriterTest : public OnBothBackends<Env>
{
public:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        for (const char *sql : kBulletinCreates)
            this->orx->exec(sql);
        host = std::make_unique<FakeKrvHost>(*this->orx->db);
    }
    QStringList rows(const char *sql)
    {
        if (!this->orx->db->Connected())
            this->orx->db->Open();
        return dbRows(*this->orx->db, QString::fromUtf8(sql));
    }
    QStringList events()
    {
        return rows("select num,[time],[dec],lat,lon,depdp,kps from События order by num");
    }
    QStringList readings()
    {
        return rows(
            "select n_equake,station_cod,[date],qual,phase,channel_cod,channel_component,[time],[dec] from "
            "[Станционный бюллетень] order by arid");
    }
    void addEvents(std::initializer_list<int> nums)
    {
        for (int n : nums)
            this->orx->exec("insert into События (num) values (?)", {n});
    }

    std::unique_ptr<FakeKrvHost> host;
    MessageRecorder rec;
};
TYPED_TEST_SUITE(KrvWriterTest, BothBackends, BackendName);

// Events and readings worked out from the writer's rules for the bulletin above written into an empty
// database: origin tenths rounded with halves to even, tenths that round up to ten carried into the
// seconds (event B, event D over midnight, station ?99), comma decimals read.
const QStringList kEvents = {
    "1|05.02.2026 12:34:56|8|52.123|104.456|15|10.5",
    "2|06.02.2026 03:05:08|0|-12.5|5|<null>|8.1",
    "3|01.03.2026|0|50|100|10|7",
};
const QStringList kReadings = {
    "1|KRV|05.02.2026|e|Pn|SP|Z|05.02.2026 12:34:58|1",
    "1|KRV|05.02.2026|i|Sn|SP|N|05.02.2026 12:34:25|4",
    "1|KRV|05.02.2026|e|Sg|SP|N|05.02.2026 12:34:30|1",
    "1|?99|05.02.2026|e|Pg|SP|Z|05.02.2026 12:35:00|0",
    "1|?99|05.02.2026|<null>|Sg|SP|N|05.02.2026 12:35:02|3",
    "1|?-1|05.02.2026|i|Sn|SP|N|05.02.2026 12:34:45|5",
    "2|TASR|06.02.2026|i|Pn|SP|Z|06.02.2026 03:04:05|2",
    "2|TASR|06.02.2026|<null>|Sn|SP|N|06.02.2026 03:04:10|1",
    "3|VEH|28.02.2026|e|Pn|SP|Z|28.02.2026 23:59:12|3",
    "3|VEH|28.02.2026|<null>|Sg|SP|N|01.03.2026 00:00:05|0",
    "3|BRCR|28.02.2026|i|Sg|SP|N|01.03.2026 00:00:10|1",
};

TYPED_TEST(KrvWriterTest, BulletinIntoAnEmptyDatabase)
{
    const TD2D t = parsed(bulletinBytes());
    EXPECT_TRUE(WriteKrvTable(*this->host, t));
    EXPECT_EQ(this->rec.count(), 0);
    EXPECT_EQ(this->events(), kEvents);
    EXPECT_EQ(this->readings(), kReadings);
    EXPECT_EQ(this->host->maximum, t.RowCount() - 1);
    EXPECT_EQ(this->host->hidden, 1);
    EXPECT_EQ(this->host->closed, 1);
    EXPECT_TRUE(this->host->positions.contains(t.RowCount() - 1));
}

TYPED_TEST(KrvWriterTest, NumbersFollowTheFirstGap)
{
    this->addEvents({1, 2, 3, 7});
    EXPECT_TRUE(WriteKrvTable(*this->host, parsed(bulletinBytes())));
    EXPECT_EQ(this->rows("select num from События order by num"),
              QStringList({"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_TRUE(this->readings().first().startsWith(QStringLiteral("4|KRV|")));
}

TYPED_TEST(KrvWriterTest, ATakenNumberStopsTheWriteAndKeepsTheOldRows)
{
    // Number 2 is free, 3 is not: the second event cannot be appended.
    this->addEvents({1, 3});
    EXPECT_FALSE(WriteKrvTable(*this->host, parsed(bulletinBytes())));
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_TRUE(
        this->rec.last().text.startsWith(QStringLiteral("WriteKRV: строка 9. Сообщение об ошибке:\r\r")))
        << this->rec.last().text.toStdString();
    EXPECT_EQ(this->rec.last().icon, unsigned(MB_ICONERROR));
    // Event A, numbered 2, went back out with its six readings.
    EXPECT_EQ(this->events().size(), 2);
    EXPECT_TRUE(this->readings().isEmpty());
    EXPECT_EQ(this->host->closed, 1);
}

// A failure is said once the transaction is rolled back: no message waits for a click while the bulletin
// database is locked for other writers.
TYPED_TEST(KrvWriterTest, NoMessageWaitsWhileTheDatabaseIsLocked)
{
    this->addEvents({1, 3});
    LockWatch watch(*this->orx);
    EXPECT_FALSE(WriteKrvTable(*this->host, parsed(bulletinBytes())));
    EXPECT_EQ(watch.shown(), 1);
    EXPECT_EQ(watch.shownLocked(), QStringList());
}

// Asked, a table whose events the database holds with a reading of the same station is written only on
// Yes; No, the default, writes nothing. The same origins read at other stations are no such events.
TYPED_TEST(KrvWriterTest, EventsTheDatabaseHoldsAreWrittenOnlyOnYes)
{
    const TD2D t = parsed(bulletinBytes());
    EXPECT_TRUE(WriteKrvTable(*this->host, t, true));
    EXPECT_EQ(this->rec.count(), 0);
    const QStringList events = this->events(), readings = this->readings();

    const QString question =
        QStringLiteral("События бюллетеня, которые уже есть в таблице \"События\" (то же время в очаге и та "
                       "же станция): 3 из 3, первое в 05.02.2026 12:34:56.8.\r\rВсё равно хотите внести их "
                       "ещё раз?");
    this->rec.answer({IDNO});
    EXPECT_FALSE(WriteKrvTable(*this->host, t, true));
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(this->rec.last().text, question);
    EXPECT_EQ(this->rec.last().icon, unsigned(MB_ICONQUESTION));
    EXPECT_EQ(this->rec.last().buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(this->events(), events);
    EXPECT_EQ(this->readings(), readings);
    EXPECT_EQ(this->host->closed, 2);

    // Only event B's station came again: one of three.
    TD2D onlyB = t;
    onlyB.SetCell(0, 5, QStringLiteral("ELT"));
    onlyB.SetCell(0, 6, QStringLiteral("ELT"));
    onlyB.SetCell(0, 7, QStringLiteral("ELT"));
    onlyB.SetCell(0, 19, QStringLiteral("ELT"));
    onlyB.SetCell(0, 20, QStringLiteral("ELT"));
    this->rec.clear();
    this->rec.answer({IDYES});
    EXPECT_TRUE(WriteKrvTable(*this->host, onlyB, true));
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(this->rec.last().text,
              QString(question).replace(QStringLiteral("3 из 3, первое в 05.02.2026 12:34:56.8"),
                                        QStringLiteral("1 из 3, первое в 06.02.2026 03:05:08.0")));
    EXPECT_EQ(this->events().size(), 6);

    // Another station only, and not asked: nothing to ask.
    TD2D others = t;
    for (int r : {5, 6, 7, 13, 19, 20})
        others.SetCell(0, r, QStringLiteral("ARTR"));
    this->rec.clear();
    EXPECT_TRUE(WriteKrvTable(*this->host, others, true));
    EXPECT_TRUE(WriteKrvTable(*this->host, t, false));
    EXPECT_EQ(this->rec.count(), 0);
    EXPECT_EQ(this->events().size(), 12);
}

TYPED_TEST(KrvWriterTest, HeaderOnlyAndFailedLookup)
{
    EXPECT_TRUE(WriteKrvTable(*this->host, parsed({})));
    EXPECT_TRUE(this->events().isEmpty());
    EXPECT_EQ(this->rec.count(), 0);

    this->host->lookupOk = false;
    EXPECT_FALSE(WriteKrvTable(*this->host, parsed(bulletinBytes())));
    ASSERT_EQ(this->rec.count(), 1);
    EXPECT_EQ(this->rec.last().text,
              QStringLiteral("WriteKRV: строка -1. Сообщение об ошибке:\r\rOperation aborted"));
    EXPECT_TRUE(this->events().isEmpty());
}

// A value that does not convert stops the write, named by its field, row and column as the grid shows them.
// Asked about events the database holds, the write names it before the question: the question would count
// the events without it.
TYPED_TEST(KrvWriterTest, AValueThatDoesNotConvertIsNamed)
{
    const struct
    {
        int col, row;
        const char *value, *text;
    } cases[] = {
        {2, 2, "99:99:99.00",
         "WriteKRV: строка 1. Сообщение об ошибке:\r\rВремя в очаге (строка 2, столбцы 1 и 3): \"05.02.2026 "
         "99:99:99\" - неверные дата и время"},
        {1, 3, "NAN",
         "WriteKRV: строка 1. Сообщение об ошибке:\r\rШирота fi (строка 3, столбец 2): \"NAN\" - не число"},
        {2, 10, "03:99:7.96",
         "WriteKRV: строка 9. Сообщение об ошибке:\r\rВремя в очаге (строка 10, столбцы 1 и 3): \"06.02.2026 "
         "03:99:7\" - неверные дата и время"},
        {0, 15, "28.02.2026 23:99:00",
         "WriteKRV: строка 15. Сообщение об ошибке:\r\rДата и время события (строка 15, столбец 1): "
         "\"28.02.2026 23:99:00\" - неверные дата и время"},
    };
    for (const bool ask : {false, true}) {
        // Asked, the database already holds the bulletin.
        if (ask) {
            ASSERT_TRUE(WriteKrvTable(*this->host, parsed(bulletinBytes())));
        }
        const QStringList events = this->events(), readings = this->readings();
        for (const auto &c : cases) {
            TD2D t = parsed(bulletinBytes());
            t.SetCell(c.col, c.row, QString::fromUtf8(c.value));
            this->rec.clear();
            this->rec.answer({IDYES});
            EXPECT_FALSE(WriteKrvTable(*this->host, t, ask));
            EXPECT_EQ(shown(this->rec), QList<Shown>({{QString::fromUtf8(c.text), MB_ICONERROR}})) << ask;
            EXPECT_EQ(this->events(), events);
            EXPECT_EQ(this->readings(), readings);
        }
    }
}

// The window's import page set to KRV bulletins; the window's one station, KRV, keeps its bulletin
// database in a new file at path.
ImportPage &krvImportPage(ProgramWindow &p, const QString &path)
{
    createBulletinFile(path);
    p.addStation(QStringLiteral("KRV"), QStringLiteral("KRV"), QStringLiteral("Партнёры"));
    p.w->stations.last().out_file_jet = path;
    p.w->sett.start_mode = 1;
    p.w->sett.out_provider = 0;
    p.w->SetImportPage(new ImportPage(*p.w));
    auto &page = *static_cast<ImportPage *>(p.w->importPage());
    page.SetImportType(ImportKrv);
    return page;
}

// The import page: a bulletin read into the grid, corrected there and written; then read and written at
// once.
TEST(KrvImportPage, ReadCorrectWriteAndImmediateMode)
{
    ProgramWindow p;
    const QString bulletin = p.dir.file(QStringLiteral("krv.mdb"));
    ImportPage &page = krvImportPage(p, bulletin);
    const auto rows = [&](const char *sql) {
        return dbRows(*openStationFile(bulletin), QString::fromUtf8(sql));
    };
    const QString file = p.dir.file(QStringLiteral("tab_1.txt"));
    ASSERT_TRUE(writeBytes(file, bulletinBytes()));
    p.w->Edit5->setText(file);

    // The panels still tell of an earlier read.
    const auto panels = [&p] {
        QStringList texts;
        for (const char *name : {"st1", "st2", "st3"})
            texts << p.w->findChild<QLabel *>(QString::fromLatin1(name))->text();
        return texts;
    };
    for (const char *name : {"st1", "st2", "st3"})
        p.w->findChild<QLabel *>(QString::fromLatin1(name))->setText(QStringLiteral("события 1 - 9"));

    p.w->imm->setChecked(false);
    page.ReadData();
    ASSERT_EQ(p.rec.count(), 0) << p.rec.last().text.toStdString();
    EXPECT_TRUE(page.gridLock());
    EXPECT_EQ(tableRows(*p.w->importTables[2]), kTable);
    EXPECT_EQ(GridCell(*p.w->sg, 1, 0), QStringLiteral("[1] sta"));
    EXPECT_EQ(GridCell(*p.w->sg, 1, 1), QStringLiteral("05.02.2026 12:34:00"));
    EXPECT_EQ(GridCell(*p.w->sg, 1, 5), QStringLiteral("KRV"));
    EXPECT_EQ(panels(), QStringList({"20 строк, 18 колонок (полей)", "с 05.02.2026 по 28.02.2026", ""}));
    EXPECT_TRUE(rows("select num from [События]").isEmpty());

    SetGridCell(*p.w->sg, 1, 5, QStringLiteral("KRVX"));
    page.WriteData();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{QStringLiteral("Данные импортированы."), MB_ICONINFORMATION}}));
    EXPECT_EQ(rows("select num from [События] order by num"), QStringList({"1", "2", "3"}));
    EXPECT_EQ(rows("select station_cod from [Станционный бюллетень] order by arid").value(0),
              QStringLiteral("KRVX"));

    // Read and written at once, the same bulletin again goes in only when the analyst says so.
    const QString held =
        QStringLiteral("События бюллетеня, которые уже есть в таблице \"События\" (то же время в "
                       "очаге и та же станция): 3 из 3, первое в 05.02.2026 12:34:56.8.\r\r"
                       "Всё равно хотите внести их ещё раз?");
    p.w->imm->setChecked(true);
    for (int answer : {IDNO, IDYES}) {
        p.rec.clear();
        p.rec.answer({answer});
        page.ReadData();
        QList<Shown> expected{{held, MB_ICONQUESTION}};
        if (answer == IDYES)
            expected.append({QStringLiteral("Данные импортированы."), MB_ICONINFORMATION});
        EXPECT_EQ(shown(p.rec), expected);
        EXPECT_EQ(p.rec.messages().value(0).buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
    }
    EXPECT_EQ(rows("select num from [События] order by num"), QStringList({"1", "2", "3", "4", "5", "6"}));

    // A file that cannot be read leaves no figures of the read before it.
    p.rec.clear();
    p.w->imm->setChecked(false);
    page.ReadData();
    ASSERT_TRUE(page.gridLock());
    ASSERT_TRUE(writeBytes(
        file, bulletinBytes(QList<const char *>{" 31  2  1 12 34   3  14   0   7"} + kBulletin.mid(4, 4))));
    page.ReadData();
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_EQ(p.rec.last().icon, unsigned(MB_ICONERROR));
    EXPECT_FALSE(page.gridLock());
    EXPECT_EQ(panels(), QStringList({"", "", ""}));
}

// A file without a single station line is no bulletin to show or write; the analyst is told so.
TEST(KrvImportPage, FileWithoutStationsHasNoData)
{
    for (bool immediate : {false, true}) {
        ProgramWindow p;
        const QString bulletin = p.dir.file(QStringLiteral("krv.mdb"));
        ImportPage &page = krvImportPage(p, bulletin);
        const QString file = p.dir.file(QStringLiteral("tab_1.txt"));
        ASSERT_TRUE(writeBytes(file, bulletinBytes(kBulletin.mid(0, 7))));
        p.w->Edit5->setText(file);
        p.w->imm->setChecked(immediate);
        page.ReadData();
        EXPECT_EQ(shown(p.rec),
                  (QList<Shown>{{QStringLiteral("В KRV - файле нет данных!"), MB_ICONWARNING}}));
        EXPECT_FALSE(page.gridLock());
        EXPECT_EQ(p.w->sg->rowCount(), 2);
        EXPECT_EQ(GridCell(*p.w->sg, 1, 0), QString());
        EXPECT_EQ(dbRows(*openStationFile(bulletin), QStringLiteral("select count(*) from [События]")),
                  QStringList({"0"}));
    }
}

} // namespace
