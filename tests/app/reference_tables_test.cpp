#include "app/settings/reference_tables.h"
#include "support/program_env.h"

namespace {

class ReferenceTablesTest : public ::testing::Test
{
protected:
    void SetUp() override { QDir(dir.path()).mkdir(QStringLiteral("system")); }
    // Fixed-width files: filters in columns of 7, 8 and 8 characters, waves of 10, 10, 10 and 20.
    void load(const QByteArray *filtersTxt, const QByteArray *wavesTxt)
    {
        if (filtersTxt) {
            ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("system/filters.txt")), *filtersTxt));
        }
        if (wavesTxt) {
            ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("system/waves.txt")), *wavesTxt));
        }
        LoadFiltersAndWaves(dir.base(), refTable, filters, waves);
    }
    static QStringList named(const tmuls &m)
    {
        QStringList out;
        for (const tphchmul &e : m)
            out << e.name + QLatin1Char('=') + QString::number(e.factor);
        return out;
    }

    TestDir dir;
    MessageRecorder messages;
    TD2D refTable;
    tfilts filters;
    tmulss waves;
};

TEST_F(ReferenceTablesTest, FiltersKeepTwoLettersOfTheKindAndDropBadNumbers)
{
    const QByteArray filtersTxt = "SPX    0.5     5       \r\n"
                                  "\r\n"
                                  "LP     0,02    0.1     \r\n"
                                  "MP     abc     1       \r\n"
                                  "BP     1               \r\n"
                                  "U      -1      20      \r\n";
    const QByteArray none;
    load(&filtersTxt, &none);
    const struct
    {
        QString kind;
        double low, high;
    } expected[] = {{"SP", 0.5, 5}, {"LP", 0.02, 0.1}, {"U", -1, 20}};
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
    const QByteArray none;
    const QByteArray wavesTxt = "P         P         1.5       SHZ=2, bhz          \r\n"
                                "S         S         abc                           \r\n"
                                "\r\n"
                                "LR        LR        2,5       LHZ=x;'lhn'  *      \r\n"
                                "AMP       Lg        3         *                   \r\n";
    load(&none, &wavesTxt);
    EXPECT_TRUE(filters.isEmpty());
    ASSERT_EQ(refTable.ColCount(), 4);
    ASSERT_EQ(refTable.RowCount(), 4);
    const QStringList rows[] = {{"P", "P", "1.5", "SHZ=2, bhz"},
                                {"S", "S", "1", "*"},
                                {"LR", "LR", "2,5", "LHZ=x;'lhn'  *"},
                                {"AMP", "Lg", "3", "*"}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(refTable.GetCell(c, r), rows[r][c]) << r << "," << c;

    ASSERT_EQ(waves.size(), 4);
    EXPECT_EQ(named(waves[0]), QStringList({"SHZ=2", "BHZ=1.5"}));
    EXPECT_TRUE(waves[1].isEmpty());
    // A "*" among other items is a channel name like any other.
    EXPECT_EQ(named(waves[2]), QStringList({"LHZ=2.5", "LHN=2.5", "*=2.5"}));
    EXPECT_TRUE(waves[3].isEmpty());

    const struct
    {
        int row;
        QString channel;
        double factor;
    } lookups[] = {{0, "shz", 2}, {0, "BHZ", 1.5}, {0, "BHN", 1.5},
                   {1, "SHZ", 1}, {2, "lhn", 2.5}, {3, "anything", 3}};
    for (const auto &l : lookups)
        EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, l.row, l.channel), l.factor)
            << l.row << " " << l.channel.toStdString();
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReferenceTablesTest, RewrittenWaveTableIsParsedAgain)
{
    const QByteArray none, wavesTxt = "P         P         2\r\n";
    load(&none, &wavesTxt);
    ASSERT_EQ(waves.size(), 1);
    refTable.AddRows(1);
    refTable.SetRow(1, {"S", "S", "4", "BHE"});
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
    const QByteArray filtersTxt = "SP     1       2       \r\n";
    struct Case
    {
        const QByteArray *filtersTxt;
        int messages, filters;
    } cases[] = {{nullptr, 2, 0}, {&filtersTxt, 1, 1}};
    for (const Case &c : cases) {
        messages.clear();
        filters = {{QStringLiteral("SP"), 1, 2}, {QStringLiteral("LP"), 1, 2}};
        waves = {tmuls{{QStringLiteral("BHZ"), 2}}};
        load(c.filtersTxt, nullptr);
        EXPECT_EQ(messages.count(), c.messages);
        EXPECT_EQ(filters.size(), c.filters);
        EXPECT_TRUE(waves.isEmpty());
        if (c.filtersTxt) {
            EXPECT_EQ(refTable.ColCount(), 4);
        }
        // No filter rows are left in the wave table.
        EXPECT_EQ(refTable.RowCount(), 0);
    }
}

} // namespace
