#include "db/db_test_env.h"
#include "exchange/text/delimited_reader.h"
#include "exchange/text/delimited_writer.h"
#include "exchange/text/text_cells.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

using namespace Qt::StringLiterals;

namespace {

tspec specOf(const QStringList &names)
{
    tspec s;
    for (const QString &n : names)
        s.cols.append(tspeccol{n, false, true, {}});
    return s;
}

TFormatSettings settingsOf(const tspec &spec, int currentYear = 2026)
{
    TFormatSettings fs;
    TspecToFormatSettings(fs, spec, TFormatSettings(), currentYear);
    return fs;
}

TDateTime at(int y, int mo, int d, int h = 0, int n = 0, int s = 0)
{
    return ComposeDateTime(y ? EncodeDate(y, mo, d) : 0, EncodeTime(h, n, s, 0));
}

// A SQLite file with one table of every writable kind, three rows, a column the formats leave out
// ("extra") and one they keep but do not use ("unused").
struct Source
{
    SqliteEnv env;
    std::unique_ptr<DbConnection> db = env.open();
    Source()
    {
        exec(*db,
             "create table t (n integer,s varchar(20),i integer,b bigint,f float,d date,tm date,bl yesno,"
             "unused integer,extra varchar(5))");
        const QVariant null;
        add({1, u"O\"Brien; it's"_s, -42, qlonglong(9000000000), -12.75, at(2008, 3, 5, 14, 7, 9),
             at(0, 0, 0, 14, 7, 9), 1, 5, u"x"_s});
        add({2, u""_s, null, 0, 0.57, at(2008, 3, 5), null, 0, null, null});
        add({3, null, 7, -1, 0.00004, at(1999, 12, 31), 0.0, null, null, null});
    }
    void add(const QVariantList &v) { exec(*db, u"insert into t values (?,?,?,?,?,?,?,?,?,?)"_s, v); }
};

const QStringList kColumns = {u"s"_s, u"i"_s, u"b"_s, u"f"_s, u"d"_s, u"tm"_s, u"bl"_s, u"unused"_s};

tspec sourceSpec()
{
    tspec spec = specOf(kColumns);
    spec.cols[7].used = false; // the writer ignores the flag
    return spec;
}

} // namespace

// Expected files written from the format rules, not from a run of the writer.
TEST(DelimitedWriter, WritesEachFormatByteForByte)
{
    const struct
    {
        tspec format;
        const char *expected;
    } cases[] = {
        {formatOf(u";\"/:,"_s), // the defaults
         "\"O\"\"Brien; it's\";-42;9000000000;-12,75;3/5/08 14:07:09;14:07:09;1;5\r\n"
         "\"\";;0;0,57;3/5/08;;0;\r\n"
         ";7;-1;0;12/31/99;00:00:00;;\r\n"},
        {formatOf(u",\"/:,"_s), // the field separator is the decimal separator
         "\"O\"\"Brien; it's\",-42,9000000000,\"-12,75\",3/5/08 14:07:09,14:07:09,1,5\r\n"
         "\"\",,0,\"0,57\",3/5/08,,0,\r\n"
         ",7,-1,\"0\",12/31/99,00:00:00,,\r\n"},
        {formatOf(u"\t'/:,"_s),
         "'O\"Brien; it''s'\t-42\t9000000000\t-12,75\t3/5/08 14:07:09\t14:07:09\t1\t5\r\n"
         "''\t\t0\t0,57\t3/5/08\t\t0\t\r\n"
         "\t7\t-1\t0\t12/31/99\t00:00:00\t\t\r\n"},
        {formatOf(u"-\"-.."_s, "dmy", true, true), // '-' separates fields and dates
         "\"O\"\"Brien; it's\"-\"-42\"-9000000000-\"-12.75\"-\"05-03-2008 14.07.09\"-\"14.07.09\"-1-5\r\n"
         "\"\"--0-0.57-\"05-03-2008\"--0-\r\n"
         "-7-\"-1\"-0-\"31-12-1999\"-\"00.00.00\"--\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        Source src;
        TestDir dir;
        tspec spec = c.format;
        spec.cols = sourceSpec().cols;
        DbQuery q(src.db.get());
        MessageRecorder rec;
        const QString file = dir.file(u"out.txt"_s);
        EXPECT_EQ(ExportQueryToText(q, spec, u"select * from t order by n"_s, file, settingsOf(spec)), 3);
        EXPECT_EQ(readBytes(file), QByteArray(c.expected));
        EXPECT_EQ(rec.count(), 0);
        EXPECT_FALSE(q.Active());
    }
}

TEST(DelimitedWriter, ValuesKeepTheirDecimals)
{
    const struct
    {
        double value;
        const char *text;
    } cases[] = {{0.57, "0,57"},          {-0.57, "-0,57"},
                 {12.3456, "12,3456"},    {12.34567, "12,3456"},
                 {-12.34569, "-12,3456"}, {0.1 + 0.2, "0,3"},
                 {0.00004, "0"},          {-0.00004, "0"},
                 {2.675, "2,675"},        {123456789.1234, "123456789,1234"},
                 {1e15, "1E15"}};
    TFormatSettings fs;
    fs.DecimalSeparator = QLatin1Char(',');
    for (const auto &c : cases) {
        const QString text = FloatCellText(c.value, QLatin1Char(','));
        EXPECT_EQ(text, QString::fromLatin1(c.text)) << c.value;
        double back = 0;
        ASSERT_TRUE(TextCellToFloat(text, fs, back));
        if (std::abs(c.value) >= 0.0001 && std::abs(c.value) < 1e9 &&
            c.value == std::trunc(c.value * 1e4) / 1e4) {
            EXPECT_EQ(back, c.value) << c.text;
        }
    }
}

// The rule behind every float cell: the shortest decimal form cut to four decimals, read back and written
// with 15 significant digits. Values of every magnitude, sign and length of fraction give what the rule
// gives, the short ones written without a second conversion.
TEST(DelimitedWriter, FloatCellsFollowTheirRuleAtEveryMagnitude)
{
    const auto byRule = [](double v) {
        char buffer[64];
        std::string text(buffer,
                         std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed).ptr);
        if (const auto dot = text.find('.'); dot != std::string::npos && text.size() > dot + 5)
            text.resize(dot + 5);
        const double cut = std::strtod(text.c_str(), nullptr);
        return FloatToStr(cut == 0 ? 0.0 : cut, QLatin1Char(','));
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-7, 18);
    for (int i = 0; i < 200000; ++i) {
        double v = mantissa(random) * std::pow(10.0, exponent(random));
        if (i % 3 == 0)
            v = std::round(v * 1000) / 1000; // few decimals, as most values have
        ASSERT_EQ(FloatCellText(v, QLatin1Char(',')), byRule(v)) << v;
    }
    for (const double v : {0.0, -0.0, 99999999999999.9, 999999999999999.9, 1e15, 123456789012345.6789, 0.0001,
                           -0.00009999, 5e-5})
        EXPECT_EQ(FloatCellText(v, QLatin1Char(',')), byRule(v)) << v;
}

TEST(DelimitedWriter, RefusesWhatItCannotWrite)
{
    Source src;
    TestDir dir;
    MessageRecorder rec;
    DbQuery q(src.db.get());
    const QString file = dir.file(u"out.txt"_s);
    const tspec spec = sourceSpec();
    const TFormatSettings fs = settingsOf(spec);

    // No records: no file.
    EXPECT_EQ(ExportQueryToText(q, spec, u"select * from t where n > 3"_s, file, fs), 0);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(rec.count(), 0);

    // A binary column: the message, result 0, no file.
    exec(*src.db, "create table raw (n integer,bin varbinary(4))");
    exec(*src.db, u"insert into raw values (1,?)"_s, {QByteArray("\x01\x02", 2)});
    EXPECT_EQ(ExportQueryToText(q, specOf({u"n"_s, u"bin"_s}), u"select * from raw"_s, file, fs), 0);
    ASSERT_EQ(rec.count(), 1);
    EXPECT_EQ(rec.last().text,
              u"Неподдерживаемый тип столбца. Экспорт невозможен.\rТип = VarBytes, столбец №2"_s);
    EXPECT_EQ(rec.last().icon, unsigned(MB_ICONERROR));
    EXPECT_FALSE(QFile::exists(file));
    rec.clear();

    // A format column the query lacks reaches the caller; nothing is left behind.
    EXPECT_THROW(ExportQueryToText(q, specOf({u"n"_s, u"nope"_s}), u"select * from t"_s, file, fs), DbError);
    EXPECT_FALSE(QFile::exists(file));

    // A statement that fails is reported by the runner.
    EXPECT_EQ(ExportQueryToText(q, spec, u"select * from missing"_s, file, fs), 0);
    ASSERT_EQ(rec.count(), 1);
    EXPECT_TRUE(rec.last().text.startsWith(u"QAct: Запрос"_s));
    rec.clear();

    // A missing export folder.
    const QString gone = dir.file(u"gone"_s);
    EXPECT_EQ(ExportQueryToFile(q, gone, u"Events7"_s, spec, u"select * from t"_s, true, fs), -1);
    EXPECT_EQ(rec.last().text, u"Директория \""_s + gone + u"\" не найдена"_s);

    // A full disk leaves the old file as it was.
    writeBytes(file, "old");
    {
        DiskFullAfter full(20);
        EXPECT_THROW(ExportQueryToText(q, spec, u"select * from t"_s, file, fs), EFileError);
    }
    EXPECT_EQ(readBytes(file), QByteArray("old"));
    EXPECT_EQ(folderEntries(dir.path()), QStringList{u"out.txt"_s});

    EXPECT_EQ(ExportQueryToFile(q, dir.path(), u"Events7"_s, spec, u"select * from t"_s, true, fs), 3);
    EXPECT_TRUE(QFile::exists(dir.file(u"Events7.txt"_s)));
}

namespace {

struct Read
{
    TD2D table;
    MessageRecorder rec;
    bool ok = false;
    Read(const tspec &spec, const QByteArray &bytes, const QString &name = u"/data/in.txt"_s)
    {
        ok = Txt2dslBytes(table, spec, bytes, name);
    }
    QStringList rows() const { return tableRows(table, true); }
};

} // namespace

TEST(DelimitedReader, SplitsQuotedAndEmptyFields)
{
    const tspec abc = specOf({u"a"_s, u"b"_s, u"c"_s});
    Read r(abc, "a;;c\r\n"
                "a;b;\r\n"
                "\"x;y\";\"\";\"say \"\"hi\"\"\"\n"
                ";; z \r\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rows(), (QStringList{u"a||c"_s, u"a|b|"_s, u"x;y||say \"hi\""_s, u"|| z "_s}));
    EXPECT_EQ(r.rec.count(), 0);

    tspec tabs = abc;
    tabs.fdel = QLatin1Char('\t');
    tabs.sdel = QLatin1Char('\'');
    Read t(tabs, "'it''s'\t\"q\"\t'a\tb'\n");
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.rows(), QStringList{u"it's|\"q\"|a\tb"_s});

    // One column: every line is one value, an empty line an empty one; surplus fields have no cell.
    Read one(specOf({u"a"_s}), "x;y\r\n\r\nz");
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.rows(), (QStringList{u"x"_s, u""_s, u"z"_s}));
}

TEST(DelimitedReader, TakesDosTextTokenByToken)
{
    const tspec ab = specOf({u"a"_s, u"b"_s});
    // "Привет" in cp866, then the same word and "Ёж" in cp1251.
    Read r(ab,
           QByteArray("\x8f\xe0\xa8\xa2\xa5\xe2;") + toCp1251(u"Привет"_s) + "\r\n" + toCp1251(u"Ёж;12"_s));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rows(), (QStringList{u"Привет|Привет"_s, u"Ёж|12"_s}));
}

// A read gets a share of memory: the table is refused, and cleared, once it would pass it; the three files
// of an import share one, so the second file meets what the first took.
TEST(DelimitedReader, ATablePastItsShareIsRefusedNamingIt)
{
    const tspec ab = specOf({u"a"_s, u"b"_s});
    // 200,000 rows of two cells: 3.2 MB of words, whatever the texts.
    const QByteArray lines = QByteArray("1;2\n3;4\n").repeated(100000);
    MessageRecorder rec;
    TD2D table;
    ReadBudget small(2 << 20);
    EXPECT_FALSE(Txt2dslBytes(table, ab, lines, u"/data/big.txt"_s, &small));
    EXPECT_EQ(shown(rec),
              (QList<Shown>{{u"Txt2dsl: Не удалось импортировать файл \"big.txt\"\rСообщение об ошибке:\r"
                             "данные файла заняли бы в памяти больше предела в 2 МиБ"_s,
                             MB_ICONERROR}}));
    EXPECT_EQ(table.ColCount(), 0);

    rec.clear();
    ReadBudget enough(8 << 20);
    ASSERT_TRUE(Txt2dslBytes(table, ab, lines, u"/data/first.txt"_s, &enough));
    EXPECT_EQ(table.RowCount(), 200000);
    EXPECT_GT(enough.spent(), 200000 * 2 * 8);
    TD2D second;
    EXPECT_FALSE(Txt2dslBytes(second, ab, lines + lines, u"/data/second.txt"_s, &enough));
    EXPECT_EQ(rec.count(), 1);
}

TEST(DelimitedReader, ShortLinesNameLineAndColumn)
{
    const tspec abc = specOf({u"a"_s, u"b"_s, u"c"_s});
    const struct
    {
        const char *bytes;
        int rowsKept;
        const char *message;
    } cases[] = {
        {"a;b", 1,
         "В строке №1 файла \"/data/in.txt\" произошла ошибка при импорте 2-го столбца. Операция прервана."},
        {"a;b;c\r\n\r\n", 2,
         "В строке №2 файла \"/data/in.txt\" произошла ошибка при импорте 1-го столбца. Операция прервана."},
        {"a;b;c\r\n1;2;3\r\n\"x;y;z\"\r\n", 3,
         "В строке №3 файла \"/data/in.txt\" произошла ошибка при импорте 1-го столбца. Операция прервана."},
    };
    for (const auto &c : cases) {
        Read r(abc, c.bytes);
        EXPECT_FALSE(r.ok) << c.bytes;
        EXPECT_EQ(r.table.RowCount(), c.rowsKept) << c.bytes;
        ASSERT_EQ(r.rec.count(), 1);
        EXPECT_EQ(r.rec.last().text, QString::fromUtf8(c.message));
        EXPECT_EQ(r.rec.last().icon, unsigned(MB_ICONERROR));
    }

    Read none(tspec{}, "a;b");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.table.ColCount(), 0);
}

TEST(DelimitedReader, MissingFileClearsTheTable)
{
    TestDir dir;
    TD2D table;
    table.Init(2, 3);
    MessageRecorder rec;
    EXPECT_FALSE(Txt2dsl(table, specOf({u"a"_s}), dir.file(u"Events7.txt"_s)));
    EXPECT_EQ(table.ColCount(), 0);
    ASSERT_EQ(rec.count(), 1);
    EXPECT_TRUE(rec.last().text.startsWith(
        u"Txt2dsl: Не удалось импортировать файл \"Events7.txt\"\rСообщение об ошибке:\r"_s))
        << rec.last().text.toStdString();
    EXPECT_EQ(rec.last().icon, unsigned(MB_ICONERROR));
}

TEST(TextCells, TwoDigitYearsFollowTheWindowNotTheClock)
{
    const struct
    {
        int currentYear;
        quint16 byear;
        const char *text;
        int year;
    } cases[] = {
        {2026, 0, "1/1/30", 1930},  {2026, 0, "1/1/99", 1999},   {2026, 0, "1/1/00", 1900},
        {2026, 50, "1/1/30", 2030}, {2026, 50, "1/1/49", 2049},  {2026, 50, "1/1/50", 1950},
        {2026, 99, "1/1/98", 2098}, {2026, 99, "1/1/99", 1999},  {2126, 50, "1/1/49", 2149},
        {2126, 50, "1/1/50", 2050}, {2026, 0, "1/1/1930", 1930}, {2026, 50, "1/1/2030", 2030},
    };
    for (const auto &c : cases) {
        tspec spec;
        spec.byear = c.byear;
        const TFormatSettings fs = settingsOf(spec, c.currentYear);
        TDateTime d = 0;
        ASSERT_TRUE(TextCellToDateTime(QString::fromLatin1(c.text), fs, c.currentYear, d)) << c.text;
        int y, m, day;
        DecodeDate(d, y, m, day);
        EXPECT_EQ(y, c.year) << c.text << " byear " << c.byear << " in " << c.currentYear;
    }

    tspec dmy;
    dmy.datefmt = u"ymd"_s;
    dmy.dtdel = QLatin1Char('.');
    dmy.tmdel = QLatin1Char('-');
    const TFormatSettings fs = settingsOf(dmy);
    TDateTime d = 0;
    ASSERT_TRUE(TextCellToDateTime(u"08.3.5 14-07-09"_s, fs, 2026, d));
    EXPECT_EQ(d, at(2008, 3, 5, 14, 7, 9));
    ASSERT_TRUE(TextCellToDateTime(u"14-07-09"_s, fs, 2026, d));
    EXPECT_EQ(d, at(0, 0, 0, 14, 7, 9));
    for (const char *bad : {"", "08.13.5", "x.3.5", "25-00-00", "08.3"})
        EXPECT_FALSE(TextCellToDateTime(QString::fromLatin1(bad), fs, 2026, d)) << bad;
}

// A column's reader keeps the last date part it read: each cell must still come out as it does alone,
// whatever came before it in the column.
TEST(TextCells, ColumnOfDatesReadsEachCellAsAlone)
{
    const tspec spec; // m/d/y, '/' and ':', two-digit years from 1950 to 2049
    const TFormatSettings fs = settingsOf(spec);
    const struct
    {
        const char *text;
        bool ok;
        TDateTime value;
    } cells[] = {
        {"2/3/26", true, at(2026, 2, 3)},
        {"2/3/26 00:00:01", true, at(2026, 2, 3, 0, 0, 1)},
        {"2/3/26 23:59:59", true, at(2026, 2, 3, 23, 59, 59)},
        {"2/3/26 7:5", true, at(2026, 2, 3, 7, 5)},
        {"2/3/26 24:00:00", false, 0},
        {"2/3/26 1:60", false, 0},
        {"2/3/26 1", false, 0},
        {"2/3/26 1:2:3:4", false, 0},
        {"2/3/26 1:2:", false, 0},
        {"2/3/26  1:2:3", true, at(2026, 2, 3, 1, 2, 3)},
        {"2/3/26 000000001:2:3", true, at(2026, 2, 3, 1, 2, 3)},
        {"2/3/26 0000000001:2:3", false, 0},
        {"2/30/26 10:00:00", false, 0},
        {"2/30/26", false, 0},
        {"2/28/50 12:00:00", true, at(1950, 2, 28, 12)},
        {"2/28/49 12:00:00", true, at(2049, 2, 28, 12)},
        {"2/28/1975 12:00:00", true, at(1975, 2, 28, 12)},
        {" 2/28/1975 12:00:00 ", true, at(1975, 2, 28, 12)},
        {"2/28/1975T12:00:00", false, 0},
        {"2-28-1975 12:00:00", false, 0},
        {"12:30:15", true, at(0, 0, 0, 12, 30, 15)},
        {"2/28/1975 12:00:00", true, at(1975, 2, 28, 12)},
    };
    TextDateTimeCells column(fs, 2026);
    for (const auto &c : cells) {
        const QString text = QString::fromLatin1(c.text);
        TDateTime alone = -1, read = -1;
        EXPECT_EQ(TextCellToDateTime(text, fs, 2026, alone), c.ok) << c.text;
        ASSERT_EQ(column.read(text, read), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(alone, c.value) << c.text;
            EXPECT_EQ(read, c.value) << c.text;
        }
    }
}
