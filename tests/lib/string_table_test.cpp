#include "lib/codec.h"
#include "lib/string_table.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList row(const TD2D &t, int r)
{
    QStringList cells;
    for (int c = 0; c < t.ColCount(); ++c)
        cells << t.GetCell(c, r);
    return cells;
}

// Every row of the table, cells joined by "|".
QStringList rows(const TD2D &t)
{
    QStringList out;
    for (int r = 0; r < t.RowCount(); ++r)
        out << row(t, r).join(u'|');
    return out;
}

TD2D twoByTwo()
{
    TD2D t;
    t.Init(2, 2, false);
    t.SetRow(0, {"a", "b"});
    t.SetRow(1, {"c", "d"});
    return t;
}

TEST(TD2D, CountsAndRows)
{
    TD2D t;
    EXPECT_EQ(t.ColCount(), 0);
    EXPECT_EQ(t.RowCount(), -1);
    EXPECT_EQ(t.AddRows(1), -1);
    EXPECT_FALSE(t.ClearRows());

    t.Init(3, 0, true);
    EXPECT_EQ(t.ColCount(), 3);
    EXPECT_EQ(t.RowCount(), 0);
    EXPECT_TRUE(t.Columns.at(2).CaseSensitive);
    EXPECT_EQ(t.AddRows(0), -1);
    EXPECT_EQ(t.RowCount(), 0);
    EXPECT_EQ(t.AddRows(2), 1);
    EXPECT_EQ(t.AddRows(1), 2);
    t.SetRow(0, {"x", "y", "z", "surplus"});
    t.SetRow(1, {"only"});
    EXPECT_EQ(rows(t), QStringList({"x|y|z", "only||", "||"}));
    t.SwapRows(0, 1);
    t.SwapRows(1, 3); // rows outside the table: nothing moves
    t.SwapRows(-1, 0);
    EXPECT_EQ(rows(t), QStringList({"only||", "x|y|z", "||"}));

    EXPECT_TRUE(t.ClearRows());
    EXPECT_EQ(t.ColCount(), 3);
    EXPECT_EQ(t.RowCount(), 0);
    t.Clear();
    EXPECT_EQ(t.RowCount(), -1);
}

TEST(TD2D, CellIndexOutsideTheTableThrows)
{
    TD2D t = twoByTwo();
    EXPECT_EQ(t.GetCell(1, 1), u("d"));
    for (const auto &[c, r] : dptarray{{2, 0}, {0, 2}, {-1, 0}, {0, -1}}) {
        EXPECT_THROW(t.GetCell(c, r), std::out_of_range) << c << ',' << r;
        EXPECT_THROW(t.SetCell(c, r, u("x")), std::out_of_range) << c << ',' << r;
    }
    EXPECT_THROW(t.SetRow(5, {"x"}), std::out_of_range);
}

TEST(TD2D, SetSizeKeepsCellsInsideTheNewShape)
{
    TD2D t = twoByTwo();
    t.SetSize(3, 5);
    EXPECT_EQ(t.ColCount(), 3);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(t.Columns.at(c).size(), 5);
    EXPECT_EQ(rows(t), QStringList({"a|b|", "c|d|", "||", "||", "||"}));

    t.SetSize(1, 1);
    EXPECT_EQ(t.ColCount(), 1);
    EXPECT_EQ(t.RowCount(), 1);
    EXPECT_EQ(t.GetCell(0, 0), u("a"));

    TD2D empty;
    empty.SetSize(2, 3);
    EXPECT_EQ(empty.ColCount(), 2);
    EXPECT_EQ(empty.RowCount(), 3);
    EXPECT_FALSE(empty.Columns.at(0).CaseSensitive);
}

TEST(TD2D, FindColAndColumnCase)
{
    TD2D t;
    EXPECT_EQ(t.FindCol(u("a"), false), -1);
    t.Init(3, 0, false);
    EXPECT_EQ(t.FindCol(u(""), false), -1);
    t.AddRows(1);
    t.SetRow(0, {u("Станция"), u("Code"), u("code")});
    EXPECT_EQ(t.FindCol(u("СТАНЦИЯ"), false), 0);
    EXPECT_EQ(t.FindCol(u("станция"), true), -1);
    EXPECT_EQ(t.FindCol(u("CODE"), false), 1);
    EXPECT_EQ(t.FindCol(u("code"), true), 2);
    EXPECT_EQ(t.FindCol(u("name"), false), -1);

    EXPECT_EQ(t.Columns.at(0).IndexOf(u("станция")), 0);
    t.Init(1, 0, true);
    t.AddRows(1);
    t.SetCell(0, 0, u("Ёж"));
    EXPECT_EQ(t.Columns.at(0).IndexOf(u("ёж")), -1);
    EXPECT_EQ(t.Columns.at(0).IndexOf(u("Ёж")), 0);
}

class ReadFWTxtTest : public ::testing::Test
{
protected:
    TestDir dir;
    MessageRecorder messages;
};

TEST_F(ReadFWTxtTest, HeaderOrGivenColumnsSplitTheLines)
{
    // File text, columns given (empty: taken from the first non-empty line), result, columns after,
    // rows after (the table starts as a|b / c|d).
    const std::tuple<QString, dptarray, bool, dptarray, QStringList> cases[] = {
        {u"\r\n"
         "Имя    Code    Comment\r\n"
         "P      PKP     a long comment running past the header\r\n"
         "\r\n"
         "Волна  ЛР      Поверхностная волна\n"
         "X\r"
         "   \r\n"
         "LQ     \tLQM\r\n"_s,
         {},
         true,
         {{1, 7}, {8, 8}, {16, 0}},
         {u"Имя|Code|Comment"_s, "P|PKP|a long comment running past the header",
          u"Волна|ЛР|Поверхностная волна"_s, "X||", "||", "LQ|LQM|"}},
        // Leading blanks make an empty first column.
        {u"  A  B\r\n1234567\r\n"_s, {}, true, {{1, 2}, {3, 3}, {6, 0}}, {"|A|B", "12|345|67"}},
        // Given columns make every line data.
        {u"abcdef\r\nxy\r\n"_s, {{1, 3}, {4, 0}}, true, {{1, 3}, {4, 0}}, {"abc|def", "xy|"}},
        // Only empty lines leave no old rows; a blank header stops with the table unchanged.
        {u"\r\n\r\n\n"_s, {}, true, {}, {}},
        {u"    \r\nA B\r\n"_s, {}, false, {}, {"a|b", "c|d"}},
    };
    for (const auto &[text, given, ok, wantCols, wantRows] : cases) {
        const QString path = dir.file(u"t.txt"_s);
        ASSERT_TRUE(writeBytes(path, toCp1251(text)));
        TD2D t = twoByTwo();
        dptarray cols = given;
        EXPECT_EQ(ReadFWTxt(t, path, cols, false), ok) << text.toStdString();
        EXPECT_EQ(cols, wantCols) << text.toStdString();
        EXPECT_EQ(rows(t), wantRows) << text.toStdString();
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReadFWTxtTest, ColumnsTakeTheCaseRuleAndTheHeaderIsFound)
{
    const QString path = dir.file(u"t.txt"_s);
    ASSERT_TRUE(writeBytes(path, toCp1251(u"Имя  B\r\n1234567\r\n"_s)));
    for (const bool caseSensitive : {false, true}) {
        TD2D t;
        dptarray cols;
        ASSERT_TRUE(ReadFWTxt(t, path, cols, caseSensitive));
        EXPECT_EQ(t.Columns.at(1).CaseSensitive, caseSensitive);
        EXPECT_EQ(t.FindCol(u"имя"_s, false), 0);
    }
}

TEST_F(ReadFWTxtTest, MissingFileIsReported)
{
    const QString path = dir.file(u"none.txt"_s);
    TD2D t = twoByTwo();
    dptarray cols{{1, 0}};
    EXPECT_FALSE(ReadFWTxt(t, path, cols, false));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text,
              u("ReadFWTxt: произошло исключение. Сообщение об ошибке: \rНе удалось открыть файл \"") + path +
                  u("\": нет такого файла или папки"));
    EXPECT_EQ(messages.last().icon, 16u);
    EXPECT_EQ(messages.last().buttons, 0u);
    EXPECT_FALSE(messages.last().error);
    EXPECT_EQ(t.ColCount(), 2);
    EXPECT_EQ(t.RowCount(), 2);
}

// A column keeps its cells' texts back to back: the cells read as written whatever their length, and
// set, swap, copy and shrink do not disturb the other cells.
TEST(TStringColumn, CellsReadAsWritten)
{
    const QString longText(5000, u'я'), block(70000, u'z');
    const QStringList written = {u"a"_s, QString(), u"a"_s, u"a"_s, longText, u"Ёж"_s, block, u""_s, u"b"_s};
    TStringColumn column;
    for (const QString &text : written)
        column.append(text);
    EXPECT_EQ(column, written);
    EXPECT_EQ(column.size(), written.size());
    EXPECT_EQ(column.view(4).size(), 5000);
    EXPECT_EQ(column.at(6), block);
    EXPECT_TRUE(column.at(1).isEmpty());
    EXPECT_EQ(column.indexOf(u"Ёж"_s), 5);
    EXPECT_EQ(column.indexOf(u"a"_s, 1), 2);
    EXPECT_EQ(column.indexOf(u"c"_s), -1);
    EXPECT_EQ(column.mid(5, 2), (QStringList{u"Ёж"_s, block}));

    column[1] = u"b"_s; // as its neighbour
    column.set(4, u"short"_s);
    column.swapItemsAt(0, 8);
    EXPECT_EQ(column,
              (QStringList{u"b"_s, u"b"_s, u"a"_s, u"a"_s, u"short"_s, u"Ёж"_s, block, u""_s, u"a"_s}));

    TStringColumn copy = column;
    column.append(u"only in the first"_s);
    copy.append(u"only in the copy"_s);
    copy.set(5, u"changed in the copy"_s);
    EXPECT_EQ(column.at(9), u"only in the first"_s);
    EXPECT_EQ(copy.at(9), u"only in the copy"_s);
    EXPECT_EQ(column.at(5), u"Ёж"_s);

    column.resize(3);
    EXPECT_EQ(column, (QStringList{u"b"_s, u"b"_s, u"a"_s}));
    column.resize(4);
    EXPECT_EQ(column.at(3), QString());
}

// A cell set again and again leaves its old texts behind until the column is rebuilt: the column stays
// near what its cells hold, and every cell keeps its text through the rebuilds.
TEST(TStringColumn, OldTextsAreDroppedAsCellsAreSetAgain)
{
    TStringColumn column;
    for (int i = 0; i < 1000; ++i)
        column.append(QString::number(i));
    const qint64 start = column.memoryBytes();
    for (int round = 0; round < 200; ++round)
        for (int i = 0; i < 1000; ++i)
            column.set(i, QStringLiteral("%1 in round %2").arg(i).arg(round));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(column.at(i), QStringLiteral("%1 in round 199").arg(i));
    // 1,000 texts of about 16 characters: 32 KB of characters at most three times over, and the words.
    EXPECT_LT(column.memoryBytes(), start + 200000);
}

// What the table costs: a word a cell, and the characters of each text once; a column repeating its value
// from row to row costs only its words.
// What a reader is told a column of n cells will take before it sizes one: the chunks of words (16, 32,
// ... 32,768, then 65,536 each) and their pointers, as a column grown to n allocates them.
TEST(CellWords, BytesForFollowTheChunks)
{
    const std::pair<qint64, qint64> cases[] = {
        {0, 0},
        {1, (16 + 1) * 8},
        {16, (16 + 1) * 8},
        {17, (16 + 32 + 2) * 8},
        {65520, (65520 + 12) * 8},
        {65521, (65520 + 65536 + 13) * 8},
        {65520 + 2 * 65536, (65520 + 2 * 65536 + 14) * 8},
    };
    for (const auto &[n, bytes] : cases) {
        EXPECT_EQ(CellWords::bytesFor(n), bytes) << n;
        CellWords words;
        words.resize(qsizetype(n));
        EXPECT_LE(CellWords::bytesFor(n), words.allocatedBytes()) << n;
    }
}

TEST(TD2D, MemoryFollowsWordsAndCharacters)
{
    TD2D same, distinct;
    same.Init(2, 0);
    distinct.Init(2, 0);
    const qint64 empty = same.MemoryBytes();
    for (int r = 0; r < 100000; ++r) {
        same.Columns[0].append(u"PET"_s);
        same.Columns[1].append(u"СКМ-3_SP"_s);
        distinct.Columns[0].append(QString::number(1000000 + r));
        distinct.Columns[1].append(QString::number(2000000 + r));
    }
    // 200,000 words of 8 bytes, with room for their growth.
    EXPECT_LT(same.MemoryBytes() - empty, 2 * 200000 * 8 + 1024);
    // And 1,400,000 characters of 2 bytes besides.
    EXPECT_GT(distinct.MemoryBytes() - empty, 200000 * 8 + 1400000 * 2);
    EXPECT_LT(distinct.MemoryBytes() - empty, 2 * 200000 * 8 + 2 * 1400000 * 2);
    EXPECT_EQ(distinct.GetCell(1, 99999), u"2099999"_s);
    EXPECT_EQ(same.CellView(1, 5), u"СКМ-3_SP"_s);
}

} // namespace
