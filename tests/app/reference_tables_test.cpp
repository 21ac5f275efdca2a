#include "app/reference_tables.h"
#include "support/test_support.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

// One fixed-width line: each text padded with blanks to its column's width.
QByteArray line(const QList<std::pair<QString, int>> &cells)
{
    QString out;
    for (const auto &[text, width] : cells)
        out += text.leftJustified(width, QLatin1Char(' '));
    return out.toLatin1() + "\r\n";
}

QByteArray filterLine(const QString &kind, const QString &low, const QString &high)
{
    return line({{kind, 7}, {low, 8}, {high, 8}});
}

QByteArray waveLine(const QString &summary, const QString &phase, const QString &mult,
                    const QString &channels)
{
    return line({{summary, 10}, {phase, 10}, {mult, 10}, {channels, 20}});
}

class ReferenceTablesTest : public ::testing::Test
{
protected:
    void SetUp() override { QDir(dir.path()).mkdir(QStringLiteral("system")); }
    void write(const QString &name, const QByteArray &bytes)
    {
        ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("system/") + name), bytes));
    }

    TestDir dir;
    MessageRecorder messages;
    TD2D refTable;
    tfilts filters;
    tmulss waves;
};

TEST_F(ReferenceTablesTest, FiltersKeepTwoLettersOfTheKindAndDropBadNumbers)
{
    write(QStringLiteral("filters.txt"),
          filterLine(QStringLiteral("SPX"), QStringLiteral("0.5"), QStringLiteral("5")) + "\r\n" +
              filterLine(QStringLiteral("LP"), QStringLiteral("0,02"), QStringLiteral("0.1")) +
              filterLine(QStringLiteral("MP"), QStringLiteral("abc"), QStringLiteral("1")) +
              filterLine(QStringLiteral("BP"), QStringLiteral("1"), QString()) +
              filterLine(QStringLiteral("U"), QStringLiteral("-1"), QStringLiteral("20")));
    write(QStringLiteral("waves.txt"), QByteArray());

    LoadFiltersAndWaves(dir.base(), refTable, filters, waves);
    const struct
    {
        QString kind;
        double low, high;
    } expected[] = {
        {QStringLiteral("SP"), 0.5, 5}, {QStringLiteral("LP"), 0.02, 0.1}, {QStringLiteral("U"), -1, 20}};
    ASSERT_EQ(filters.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(filters[i].kind, expected[i].kind);
        EXPECT_DOUBLE_EQ(filters[i].low, expected[i].low);
        EXPECT_DOUBLE_EQ(filters[i].high, expected[i].high);
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReferenceTablesTest, WaveRowsAreRepairedAndChannelListsParsed)
{
    write(QStringLiteral("filters.txt"), QByteArray());
    write(
        QStringLiteral("waves.txt"),
        waveLine(QStringLiteral("P"), QStringLiteral("P"), QStringLiteral("1.5"),
                 QStringLiteral("SHZ=2, bhz")) +
            waveLine(QStringLiteral("S"), QStringLiteral("S"), QStringLiteral("abc"), QString()) + "\r\n" +
            waveLine(QStringLiteral("LR"), QStringLiteral("LR"), QStringLiteral("2,5"),
                     QStringLiteral("LHZ=x;'lhn'  *")) +
            waveLine(QStringLiteral("AMP"), QStringLiteral("Lg"), QStringLiteral("3"), QStringLiteral("*")));

    LoadFiltersAndWaves(dir.base(), refTable, filters, waves);
    EXPECT_TRUE(filters.isEmpty());
    ASSERT_EQ(refTable.ColCount(), 4);
    ASSERT_EQ(refTable.RowCount(), 4);
    const QStringList rows[] = {
        {QStringLiteral("P"), QStringLiteral("P"), QStringLiteral("1.5"), QStringLiteral("SHZ=2, bhz")},
        {QStringLiteral("S"), QStringLiteral("S"), QStringLiteral("1"), QStringLiteral("*")},
        {QStringLiteral("LR"), QStringLiteral("LR"), QStringLiteral("2,5"), QStringLiteral("LHZ=x;'lhn'  *")},
        {QStringLiteral("AMP"), QStringLiteral("Lg"), QStringLiteral("3"), QStringLiteral("*")},
    };
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(refTable.GetCell(c, r), rows[r][c]) << r << "," << c;

    ASSERT_EQ(waves.size(), 4);
    const auto named = [](const tmuls &m) {
        QStringList out;
        for (const tphchmul &e : m)
            out << e.name + QLatin1Char('=') + QString::number(e.factor);
        return out;
    };
    EXPECT_EQ(named(waves[0]), (QStringList{QStringLiteral("SHZ=2"), QStringLiteral("BHZ=1.5")}));
    EXPECT_TRUE(waves[1].isEmpty());
    // A "*" among other items is a channel name like any other.
    EXPECT_EQ(named(waves[2]),
              (QStringList{QStringLiteral("LHZ=2.5"), QStringLiteral("LHN=2.5"), QStringLiteral("*=2.5")}));
    EXPECT_TRUE(waves[3].isEmpty());

    const struct
    {
        int row;
        QString channel;
        double factor;
    } lookups[] = {
        {0, QStringLiteral("shz"), 2}, {0, QStringLiteral("BHZ"), 1.5}, {0, QStringLiteral("BHN"), 1.5},
        {1, QStringLiteral("SHZ"), 1}, {2, QStringLiteral("lhn"), 2.5}, {3, QStringLiteral("anything"), 3},
    };
    for (const auto &l : lookups)
        EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, l.row, l.channel), l.factor)
            << l.row << " " << l.channel.toStdString();
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReferenceTablesTest, RewrittenWaveTableIsParsedAgain)
{
    write(QStringLiteral("filters.txt"), QByteArray());
    write(QStringLiteral("waves.txt"),
          waveLine(QStringLiteral("P"), QStringLiteral("P"), QStringLiteral("2"), QString()));
    LoadFiltersAndWaves(dir.base(), refTable, filters, waves);
    ASSERT_EQ(waves.size(), 1);

    refTable.AddRows(1);
    refTable.SetRow(1,
                    {QStringLiteral("S"), QStringLiteral("S"), QStringLiteral("4"), QStringLiteral("BHE")});
    // Until the table is parsed again the new row's multiplier applies to every channel.
    EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, 1, QStringLiteral("BHE")), 4);
    refTable.SetCell(wcChannels, 0, QStringLiteral("BHZ=0.5"));
    ParseWaveTable(refTable, waves);
    ASSERT_EQ(waves.size(), 2);
    EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, 0, QStringLiteral("bhz")), 0.5);
    EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, 0, QStringLiteral("BHE")), 2);
    EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, 1, QStringLiteral("bhe")), 4);
}

TEST_F(ReferenceTablesTest, MissingFilesAreReportedAndLeaveEmptyTables)
{
    filters.append({QStringLiteral("SP"), 1, 2});
    waves.append(tmuls{{QStringLiteral("BHZ"), 2}});
    LoadFiltersAndWaves(dir.base(), refTable, filters, waves);
    EXPECT_EQ(messages.count(), 2);
    EXPECT_TRUE(filters.isEmpty());
    EXPECT_TRUE(waves.isEmpty());
    EXPECT_EQ(refTable.RowCount(), 0);
}

TEST_F(ReferenceTablesTest, MissingWaveFileLeavesNoFilterRowsInTheWaveTable)
{
    write(QStringLiteral("filters.txt"),
          filterLine(QStringLiteral("SP"), QStringLiteral("1"), QStringLiteral("2")));
    LoadFiltersAndWaves(dir.base(), refTable, filters, waves);
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(filters.size(), 1);
    EXPECT_EQ(refTable.ColCount(), 4);
    EXPECT_EQ(refTable.RowCount(), 0);
    EXPECT_TRUE(waves.isEmpty());
}

} // namespace
