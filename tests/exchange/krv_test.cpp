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
#include <QRegularExpression>

namespace {

// A partner bulletin as the partner group sends it (windows-1251): a heading, event A with three
// stations, event B with a title whose year is no number before the good one and its station line
// followed at once by the event line of C, event C without stations, and event D whose origin rounds up
// into the next day. Its values stand right-aligned in their fields, as partners write them.
const QList<const char *> kBulletin = {
    "Бюллетень партнёрской группы КРВ",
    "",
    "  5  2  1 12 34   3  14   0   7",
    "Примечание: ощущалось в Иркутске",
    "  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst=  7  ",
    " fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin= 1.5 ",
    "Sfi= 2.5    Slam=3.1              St0= 0.8 с",
    "  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20   3.4",
    " 99          e 59.95     0.00    62.30   210.0   9.8                                                ",
    " ab                   i 45.50             88.0                                                      ",
    "",
    "  6  2  0  3  4  1  2  3  4",
    "  06 02 20x6       03h  05m  07.00s  K=  8.1  Mcoda= 2.0  kt=1 kolst=  1  ",
    "  06 02 2026       03h  05m   7.96s  K=  8.1  Mcoda= 2.0  kt=1 kolst=  1  ",
    " fi=-12.5   lam=    5      h=        t0=         fmin= 0.8 ",
    "Sfi=        Slam=                 St0= Иркутск",
    " 54 i  5,25             10.10              40.2                                                     ",
    "  7  2  0  0  0  0  0  0  0",
    "  07 02 2026       00h  00m  00.00s  K=       Mcoda=      kt=  kolst=     ",
    " fi=50      lam=  100      h=  10    t0=         fmin=     ",
    "Sfi= 1      Slam=1                St0= 1    ",
    "",
    " 28  2  0 23 59 -1  0  0  2",
    "  1 2              10h  00m  00.00s  K=       Mcoda=      kt=  kolst=     ",
    "  28 02 2026       23h  59m  59.96s  K=  7.0  Mcoda=      kt=0 kolst=  2  ",
    " fi=50      lam=  100      h=  10    t0=         fmin=     ",
    "Sfi= 1      Slam=1                St0= 1    ",
    "  4 e 12.34              0.00    65.00                                                              ",
    " 77                      0.00  i 70.10                                                              ",
};

// The demo's partner bulletin: two events, three station lines, six readings.
const QList<const char *> kSample = {
    "  5 11  1  3 12   2  14   0   7",
    "  05 11 2026       03h  12m  45.30s K=  11.2 Mcoda=  3.9 kt= 1 kolst=  2  ",
    " fi= 52.810 lam=   160.120 h=     35 t0=    0.45 fmin= 1.5 ",
    "Sfi=    2.5 Slam=    3.1           St0=0.8  ",
    "  1    0.00  i 62.80     0.00  e 75.60    122.3 11.2    1.2    2.3    3.4    4.5   0.35   1.20   3.4 ",
    "  2    0.00  i 70.50     0.00  e 89.00    182.3 11.2    1.2    2.3    3.4    4.5   0.35   1.20   3.4 ",
    "",
    "  6 11  1 17 40   1  14   0   7",
    "  06 11 2026       17h  40m   2.80s K=  10.4 Mcoda=  3.9 kt= 1 kolst=  1  ",
    " fi= 54.100 lam=   162.050 h=     20 t0=    0.45 fmin= 1.5 ",
    "Sfi=    2.5 Slam=    3.1           St0=0.8  ",
    "  1    0.00  e 31.70     0.00  e 53.40    237.9 10.4    1.2    2.3    3.4    4.5   0.35   1.20   3.4 ",
};

// How an editor may leave a line: its blank tail cut, longer, or one tab for it; runs of blanks that reach
// a stop of 8 columns as tabs (the tail cut), or of 4; a tab for the blank at position 4.
enum class Edit { None, TailCut, Tabs, TailTab, TailLonger, TabAt4, TabsAt4 };

QString edited(QString line, Edit edit)
{
    if (edit == Edit::None)
        return line;
    if (edit == Edit::TailLonger)
        return line.leftJustified(120);
    if (edit == Edit::TabAt4) {
        if (line.size() > 4 && line.at(3) == QLatin1Char(' '))
            line[3] = QLatin1Char('\t');
        return line;
    }
    const qsizetype length = line.size();
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    if (edit == Edit::TailTab && line.size() < length)
        line += QLatin1Char('\t');
    const qsizetype width = edit == Edit::TabsAt4 ? 4 : 8;
    if (edit == Edit::Tabs || edit == Edit::TabsAt4)
        for (qsizetype stop = (line.size() - 1) / width * width; stop > 0; stop -= width) {
            qsizetype from = stop;
            while (from > stop - width && line.at(from - 1) == QLatin1Char(' '))
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

// The table of the demo's bulletin, from the same layout.
const QStringList kSampleTable = {
    "sta|Pn_q|Pn|Pg_q|Pg|Sn_q|Sn|Sg_q|Sg|del|K|Pnnev|Pnev|Snnev|Snev|Ap|As|Mgn",
    "05.11.2026 03:12:00|2|14|0|7",
    "05.11.2026|O =|03:12:45.30|K =|11.2|Mcoda =|3.9|kt =|1|kolst =|2",
    "fi =|52.810|lam =|160.120|h =|35|t0 =|0.45|fmin =|1.5|Sfi =|2.5|Slam =|3.1|St0 =|0.8",
    "",
    "KRV|||i|62.80|||e|75.60|122.3|11.2|1.2|2.3|3.4|4.5|0.35|1.20|3.4",
    "ELT|||i|70.50|||e|89.00|182.3|11.2|1.2|2.3|3.4|4.5|0.35|1.20|3.4",
    "",
    "06.11.2026 17:40:00|1|14|0|7",
    "06.11.2026|O =|17:40:2.80|K =|10.4|Mcoda =|3.9|kt =|1|kolst =|1",
    "fi =|54.100|lam =|162.050|h =|20|t0 =|0.45|fmin =|1.5|Sfi =|2.5|Slam =|3.1|St0 =|0.8",
    "",
    "KRV|||e|31.70|||e|53.40|237.9|10.4|1.2|2.3|3.4|4.5|0.35|1.20|3.4",
};

TD2D parsed(const QByteArray &bytes, int *lines = nullptr)
{
    TD2D t;
    int n = 0;
    ParseKrvBulletin(bytes, t, lines ? *lines : n);
    return t;
}

// The table's rows, or the line a refusal names and its text.
QStringList rowsOrRefusal(const QByteArray &bytes)
{
    TD2D t;
    int lines = 0;
    try {
        ParseKrvBulletin(bytes, t, lines);
    } catch (const EConvertError &e) {
        return {QStringLiteral("%1: %2").arg(lines).arg(e.message())};
    }
    return tableRows(t);
}

TEST(KrvReader, PartnerBulletinIntoTheKrvTable)
{
    // The same table whatever the line ends (a lone CR too), whether the last line has one, and whether an
    // editor cut the lines' blank tails, made them longer, or put tabs for blanks. Only a station line
    // shorter than 100 characters without its number at 2-3 (?-1) is no station line: it ends the stations.
    QStringList shortened = kTable;
    shortened.removeAt(7);
    for (const Edit edit :
         {Edit::None, Edit::TailCut, Edit::Tabs, Edit::TailTab, Edit::TailLonger, Edit::TabAt4})
        for (const char *eol : {"\r\n", "\n", "\r"})
            for (const auto &[sample, table] :
                 {std::pair(kBulletin, edit == Edit::None || edit == Edit::TailLonger || edit == Edit::TabAt4
                                           ? kTable
                                           : shortened),
                  std::pair(kSample, kSampleTable)}) {
                QByteArray bytes = bulletinBytes(sample, eol, edit);
                for (bool lastEol : {true, false}) {
                    if (!lastEol)
                        bytes.chop(qsizetype(strlen(eol)));
                    int lines = 0;
                    const TD2D t = parsed(bytes, &lines);
                    EXPECT_EQ(tableRows(t), table) << eol << lastEol << int(edit);
                    EXPECT_EQ(t.ColCount(), 18);
                    EXPECT_EQ(lines, int(sample.size()));
                }
            }
    // Events without stations add nothing.
    for (const QList<const char *> &lines :
         {kBulletin.mid(2, 1) + kBulletin.mid(4, 3), QList<const char *>()})
        EXPECT_EQ(tableRows(parsed(bulletinBytes(lines))), kTable.mid(0, 1));
}

// While a title is awaited a further event line is only a line of another kind: the event keeps its own
// line. Once the title is read, an event line before any station opens the next event, and so does one
// right after a station, however far it is padded. A heading among the stations ends them, and so does
// any line shorter than 100 characters that is no station line cut after its last character (a word
// where a number stands makes it a note); before the first station such a line is skipped. A " fi=" line
// without its longitude is no coordinate line. A station line is never passed over: met where no
// stations are read, it is refused with the line awaited.
TEST(KrvReader, EventLinesBeforeTheTitleAreSkipped)
{
    const QByteArray padded = QByteArray(kBulletin[11]).leftJustified(120);
    const char *const note = "Примечание: ощущалось в 12.30 местного времени";
    const char *const noted = "  7 i 11.00  e 13.00  i 20.40  n/a";
    const QByteArray dots(60, '.'), shifted = " " + QByteArray(kBulletin[4]);
    const QByteArray cutSeconds = QByteArray(kBulletin[13]).left(30),
                     cut99 = " 99          e 59.95     0.00    62.30   210.0   9.8";
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
         kBulletin.mid(2, 6) + QList<const char *>{" 12 станций, K= 10.5"} + kBulletin.mid(10, 7),
         kTable.mid(0, 6) + kTable.mid(8, 6)},
        {"a note after the stations", kBulletin.mid(2, 8) + QList<const char *>{note}, kTable.mid(0, 8)},
        {"a note before the first station",
         kBulletin.mid(2, 5) + QList<const char *>{note} + kBulletin.mid(7, 3), kTable.mid(0, 8)},
        {"a rule of 60 dots after the stations", kBulletin.mid(2, 8) + QList<const char *>{dots.constData()},
         kTable.mid(0, 8)},
        {"a rule of 60 dots before the first station",
         kBulletin.mid(2, 5) + QList<const char *>{dots.constData()} + kBulletin.mid(7, 3), kTable.mid(0, 8)},
        {"a note between two stations",
         kBulletin.mid(2, 6) + QList<const char *>{note} + kBulletin.mid(8, 2),
         {"8: Строка станции там, где ожидалась строка события: станции события кончились на строке 7"}},
        {"a short fi= line before the coordinates",
         kBulletin.mid(2, 3) + QList<const char *>{" fi= 48.120 lam="} + kBulletin.mid(5, 5),
         kTable.mid(0, 8)},
        {"a note with a word for Sg before the first station",
         kBulletin.mid(2, 5) + QList<const char *>{noted} + kBulletin.mid(7, 3), kTable.mid(0, 8)},
        {"the same after the stations", kBulletin.mid(2, 8) + QList<const char *>{noted}, kTable.mid(0, 8)},
        {"a station line before the coordinates",
         kBulletin.mid(2, 1) + kBulletin.mid(4, 1) + kBulletin.mid(7, 1) + kBulletin.mid(5, 2),
         {"3: Строка станции там, где ожидалась строка координат"}},
        {"a title shifted right",
         kBulletin.mid(2, 2) + QList<const char *>{shifted.constData()} + kBulletin.mid(5, 5),
         {"6: Строка станции там, где ожидалась строка заголовка события"}},
        {"a title cut before its seconds",
         kBulletin.mid(11, 2) + QList<const char *>{cutSeconds.constData()} + kBulletin.mid(14, 8),
         {"6: Строка станции там, где ожидалась строка заголовка события"}},
        {"a short station line before the title",
         kBulletin.mid(2, 1) + QList<const char *>{cut99.constData()} + kBulletin.mid(4, 6),
         {"2: Строка станции там, где ожидалась строка заголовка события"}},
        {"a station line before the first event",
         kBulletin.mid(7, 1) + kBulletin.mid(2, 8),
         {"1: Строка станции там, где ожидалась строка события"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rowsOrRefusal(bulletinBytes(c.lines)), c.table) << c.name;
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
    // its line rather than written without its readings. So is a line that ends inside a field holding
    // characters: the value cannot be read whole. The line goes after event A's first station, or in
    // place of event A's line at.
    const QByteArray station = kBulletin[7];
    const QByteArray right1 = " " + station, right2 = "  " + station, tabbed = "\t" + station,
                     left1 = station.mid(1);
    const char *const noPoint = "Строка станции не по образцу: в 27-й позиции нет точки";
    const struct
    {
        const char *line;
        const char *text;
        int at = 6;
    } damaged[] = {
        {"  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  "
         "3.4  7",
         "Лишние данные после 100-й позиции строки станции"},
        {"  1 7 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  "
         "3.4 ",
         "Строка станции не по образцу: в 27-й позиции нет точки"},
        // Tabs for blanks at other stops than 8 columns.
        {"  1\te 58.12\t0.00\ti 25.40\te 30.06", "Строка станции не по образцу: в 27-й позиции нет точки"},
        // Cut inside Sn, Sg, the origin's seconds, fi, Sfi, and a value standing left in its field.
        {"  1 e 58.12    0.00   i 25.",
         "Строка станции оборвана на 27-й позиции, посреди поля Sn (позиции 24-29)", 5},
        {"  1 e 58.12    0.00   i 25.40  e 3",
         "Строка станции оборвана на 34-й позиции, посреди поля Sg (позиции 33-38)", 5},
        {"  1 e 58.12    0.00   i 25.40  e 30",
         "Строка станции оборвана на 35-й позиции, посреди поля Sg (позиции 33-38)", 5},
        {"  1 e 58.12    0.00   i 25.40  e 30.",
         "Строка станции оборвана на 36-й позиции, посреди поля Sg (позиции 33-38)"},
        {"  05 02 2026       12h  34m  56",
         "Строка заголовка события оборвана на 31-й позиции, посреди поля секунд (позиции 30-34)", 2},
        {" fi= 52.", "Строка координат оборвана на 8-й позиции, посреди поля fi (позиции 5-11)", 3},
        {"Sfi= 2.", "Строка ошибок координат оборвана на 7-й позиции, посреди поля Sfi (позиции 6-11)", 4},
        {"  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 7",
         "Строка заголовка события оборвана на 71-й позиции, посреди поля kolst (позиции 71-72)", 2},
        // Shifted right by one or two columns, started with a tab, shifted left: the first station or a
        // later one.
        {right1.constData(), noPoint},
        {right2.constData(), noPoint},
        {tabbed.constData(), noPoint},
        {right1.constData(), noPoint, 5},
        {left1.constData(), noPoint},
        // Its point at 27, but a value over the blank between two fields.
        {"  1 e 58.123   0.00   i 25.40  e 30.06", "Строка станции не по образцу: поля не на своих местах"},
        // Of a station line's length, its point at 27, but no number and a tab moving its fields.
        {" ab e 58.12    0.00   i 25.40  e 30.06\t123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20   "
         "3.4   ",
         "Строка станции не по образцу: поля не на своих местах"},
    };
    for (const auto &d : damaged) {
        const QString file = dir.file(QStringLiteral("tab_4.txt"));
        QList<const char *> lines = kBulletin.mid(2, 6);
        if (d.at < lines.size())
            lines[d.at] = d.line;
        else
            lines << d.line;
        ASSERT_TRUE(writeBytes(file, bulletinBytes(lines)));
        EXPECT_FALSE(ReadKrvFile(file, t, message)) << d.line;
        EXPECT_EQ(
            message,
            QStringLiteral("ReadKRV, строка %1 в файле tab_4.txt: Сообщение об ошибке:\r").arg(d.at + 1) +
                QString::fromUtf8(d.text));
    }

    const QString good = dir.file(QStringLiteral("tab_3.txt"));
    ASSERT_TRUE(writeBytes(good, bulletinBytes()));
    EXPECT_TRUE(ReadKrvFile(good, t, message));
    EXPECT_EQ(tableRows(t), kTable);
}

// What the sample gives with its line i replaced: the table's rows, or the text of the refusal and the
// line it names.
QStringList readOrRefusal(int i, const QString &line, int *refusedAt)
{
    QString text;
    for (int l = 0; l < kSample.size(); ++l)
        text += (l == i ? line : QString::fromUtf8(kSample[l])) + QStringLiteral("\r\n");
    TD2D t;
    *refusedAt = 0;
    try {
        ParseKrvBulletin(toCp1251(text), t, *refusedAt);
    } catch (const EConvertError &e) {
        return {e.message()};
    }
    *refusedAt = -1;
    return tableRows(t);
}

// The fields of a line kind (positions from the layout), how long a line must be to show its kind ('h' at
// 22, " fi=", "Sfi", '.' at 27), and for a station line the rows of the table it alone gives.
struct SampleKind
{
    int line; // of the sample
    const char *name;
    int shows;
    QList<std::tuple<int, int, const char *>> fields;
    int row = 0, rows = 0;
};
const QList<std::tuple<int, int, const char *>> kStationFields = {
    {2, 3, "sta"},    {5, 5, "Pn_q"},    {6, 11, "Pn"},    {14, 14, "Pg_q"},  {15, 20, "Pg"},
    {23, 23, "Sn_q"}, {24, 29, "Sn"},    {32, 32, "Sg_q"}, {33, 38, "Sg"},    {40, 47, "del"},
    {49, 52, "K"},    {55, 59, "Pnnev"}, {62, 66, "Pnev"}, {69, 73, "Snnev"}, {76, 80, "Snev"},
    {83, 87, "Ap"},   {90, 94, "As"},    {97, 100, "Mgn"}};
const SampleKind kSampleKinds[] = {
    {1,
     "заголовка события",
     22,
     {{20, 21, "часа"},
      {25, 26, "минут"},
      {30, 34, "секунд"},
      {41, 44, "K"},
      {53, 56, "Mcoda"},
      {62, 62, "kt"},
      {71, 72, "kolst"}}},
    {2, "координат", 4, {{5, 11, "fi"}, {19, 26, "lam"}, {32, 36, "h"}, {42, 48, "t0"}, {55, 58, "fmin"}}},
    {3, "ошибок координат", 3, {{6, 11, "Sfi"}, {18, 24, "Slam"}}},
    {4, "станции", 27, kStationFields, 5, 1},
    {5, "станции", 27, kStationFields, 6, 1},
    // The second event's only station: its block goes with it, and the empty row before it.
    {11, "станции", 27, kStationFields, 7, 6},
};

// A refusal of the sample with its line i changed names that line, or a station line after it that the
// change left without its event.
bool namesTheLineOrAStation(int refusedAt, int i)
{
    return refusedAt == i + 1 || (refusedAt > i + 1 && refusedAt <= kSample.size() &&
                                  QByteArray(kSample[refusedAt - 1]).mid(26, 1) == ".");
}

// The sample's rows, each value as the sample has it or emptied where the cut took it. St0 runs to the
// line's end, where the blanks after it may have been cut: how long it was cannot be told.
void expectTheSampleRows(const QStringList &rows, const QString &form)
{
    ASSERT_EQ(rows.size(), kSampleTable.size()) << form.toStdString();
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows[r].split(QLatin1Char('|')),
                          sample = kSampleTable[r].split(QLatin1Char('|'));
        for (int c = 0; c < cells.size(); ++c)
            EXPECT_TRUE(cells[c].isEmpty() || cells[c] == sample.value(c) ||
                        (c == 15 && cells[14] == u"St0 ="))
                << form.toStdString() << ": " << cells[c].toStdString();
    }
}

// Each line of the sample cut at every position. Where nothing but blanks was cut it reads as before;
// cut inside a field holding characters, once the line shows its kind, it is refused with its line.
// Elsewhere it gives the sample's rows, or a refusal naming the line or a station after it: no event's
// readings are lost, and no value is read in part. Only a station line cut before any reading of it goes
// with its rows.
TEST(KrvReader, SampleCutAtEveryPosition)
{
    for (const SampleKind &kind : kSampleKinds) {
        const QString whole = QString::fromUtf8(kSample[kind.line]);
        for (int p = 0; p < whole.size(); ++p) {
            const QString form = QStringLiteral("line %1 cut at %2").arg(kind.line + 1).arg(p);
            QString refusal;
            for (const auto &[first, last, name] : kind.fields)
                if (p >= kind.shows && first <= p && p < last &&
                    !whole.mid(first - 1, p - first + 1).trimmed().isEmpty())
                    refusal =
                        QStringLiteral("Строка %1 оборвана на %2-й позиции, посреди поля %3 (позиции %4-%5)")
                            .arg(QString::fromUtf8(kind.name))
                            .arg(p)
                            .arg(QString::fromUtf8(name))
                            .arg(first)
                            .arg(last);
            int refusedAt = -1;
            const QStringList got = readOrRefusal(kind.line, whole.left(p), &refusedAt);
            if (whole.mid(p).trimmed().isEmpty()) {
                EXPECT_EQ(got, kSampleTable) << form.toStdString();
            } else if (!refusal.isEmpty()) {
                EXPECT_EQ(got, QStringList{refusal}) << form.toStdString();
                EXPECT_EQ(refusedAt, kind.line + 1) << form.toStdString();
            } else if (refusedAt >= 0) {
                EXPECT_TRUE(namesTheLineOrAStation(refusedAt, kind.line))
                    << form.toStdString() << refusedAt << got.value(0).toStdString();
            } else if (kind.rows > 0 &&
                       !whole.left(p).mid(3).contains(QRegularExpression(QStringLiteral("[1-9]")))) {
                QStringList without = kSampleTable;
                without.remove(kind.row, kind.rows);
                EXPECT_EQ(got, without) << form.toStdString();
            } else {
                expectTheSampleRows(got, form);
            }
        }
    }
}

// A tab for one blank reads as the blank, wherever it stands (but in " fi=", which then is no coordinate
// line: the event's first station is refused); a tab for a run of blanks that reaches a stop of 8 columns
// reads as the run, and so do the tabs of an editor set to stops of 4 in a line with labels. Every other
// tab, and a line shifted by one, gives the sample's table or a refusal naming the line or a station after
// it.
TEST(KrvReader, SampleWithTabsAndShifts)
{
    int restored = 0, restoredAt4 = 0;
    for (int i = 0; i < kSample.size(); ++i) {
        const QString whole = QString::fromUtf8(kSample[i]);
        const bool station = whole.size() > 27 && whole.at(26) == QLatin1Char('.');
        int refusedAt = -1;
        const auto read = [&](const QString &line, const QString &form) {
            const QStringList got = readOrRefusal(i, line, &refusedAt);
            if (refusedAt >= 0) {
                EXPECT_TRUE(namesTheLineOrAStation(refusedAt, i))
                    << form.toStdString() << refusedAt << got.value(0).toStdString();
            } else {
                EXPECT_EQ(got, kSampleTable) << form.toStdString();
            }
            return got;
        };
        for (int p = 0; p < whole.size(); ++p) {
            if (whole.at(p) != QLatin1Char(' '))
                continue;
            QString line = whole;
            line[p] = QLatin1Char('\t');
            const QStringList got = read(line, QStringLiteral("line %1, a tab at %2").arg(i + 1).arg(p + 1));
            if (p == 0 && whole.startsWith(QLatin1String(" fi=")))
                EXPECT_EQ(
                    std::pair(got.value(0), refusedAt),
                    std::pair(QStringLiteral("Строка станции там, где ожидалась строка координат"), i + 3));
            else
                EXPECT_EQ(refusedAt, -1) << "line " << i + 1 << " tab at " << p + 1;
        }
        for (int from = 0; from < whole.size(); ++from) {
            if (whole.at(from) != QLatin1Char(' ') || (from > 0 && whole.at(from - 1) == QLatin1Char(' ')))
                continue;
            int to = from;
            while (to < whole.size() && whole.at(to) == QLatin1Char(' '))
                ++to;
            if (to - from < 2 || to == whole.size())
                continue;
            const QString line = whole.left(from) + QLatin1Char('\t') + whole.mid(to);
            const QString form = QStringLiteral("line %1, a tab for %2-%3").arg(i + 1).arg(from + 1).arg(to);
            const QStringList got = read(line, form);
            if ((from / 8 + 1) * 8 == to) {
                EXPECT_EQ(got, kSampleTable) << form.toStdString();
                ++restored;
            }
        }
        if (const QString line = edited(whole, Edit::TabsAt4); !station && line.contains(QLatin1Char('\t'))) {
            EXPECT_EQ(read(line, QStringLiteral("line %1 with tabs at 4").arg(i + 1)), kSampleTable);
            ++restoredAt4;
        }
        const QStringList right =
            read(QLatin1Char(' ') + whole, QStringLiteral("line %1 shifted right").arg(i + 1));
        const QStringList left = read(whole.mid(1), QStringLiteral("line %1 shifted left").arg(i + 1));
        // A station line shifted either way is refused.
        if (station) {
            const QStringList noPoint{
                QStringLiteral("Строка станции не по образцу: в 27-й позиции нет точки")};
            EXPECT_EQ(right, noPoint) << i + 1;
            EXPECT_EQ(left, noPoint) << i + 1;
        }
    }
    EXPECT_GE(restored, 10);
    EXPECT_GE(restoredAt4, 6);
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

    // Read at once, a station line cut inside its Sg is refused with its line, and an origin time that
    // cannot be read is named before the question: nothing is written.
    QList<const char *> cut = kBulletin;
    cut[8] = " 99          e 59.95     0.00    62";
    QList<const char *> badTime = kBulletin;
    badTime[13] = "  06 02 2026       03h  99m   7.96s  K=  8.1  Mcoda= 2.0  kt=1 kolst=  1  ";
    for (const auto &[lines, text] :
         {std::pair(
              cut, QStringLiteral("ReadKRV, строка 9 в файле tab_1.txt: Сообщение об ошибке:\rСтрока станции "
                                  "оборвана на 35-й позиции, посреди поля Sg (позиции 33-38)")),
          std::pair(badTime,
                    QStringLiteral("WriteKRV: строка 9. Сообщение об ошибке:\r\rВремя в очаге (строка 10, "
                                   "столбцы 1 и 3): \"06.02.2026 03:99:7\" - неверные дата и время"))}) {
        ASSERT_TRUE(writeBytes(file, bulletinBytes(lines)));
        p.rec.clear();
        p.rec.answer({IDYES});
        page.ReadData();
        EXPECT_EQ(shown(p.rec), (QList<Shown>{{text, MB_ICONERROR}}));
    }
    EXPECT_EQ(rows("select num from [События] order by num"), QStringList({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(rows("select count(*) from [Станционный бюллетень]"), QStringList({"22"}));
    ASSERT_TRUE(writeBytes(file, bulletinBytes()));

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
