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
    QStringList got;
    for (const tfilt &f : filters)
        got << QStringLiteral("%1 %2 %3").arg(f.kind).arg(f.low).arg(f.high);
    EXPECT_EQ(got, QStringList({"SP 0.5 5", "LP 0.02 0.1", "U -1 20"}));
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
    // A multiplier that is no number becomes 1, an empty channel list "*".
    EXPECT_EQ(QStringList({refTable.GetCell(2, 1), refTable.GetCell(3, 1), refTable.GetCell(3, 2)}),
              QStringList({"1", "*", "LHZ=x;'lhn'  *"}));

    ASSERT_EQ(waves.size(), 4);
    EXPECT_EQ(named(waves[0]), QStringList({"SHZ=2", "BHZ=1.5"}));
    EXPECT_TRUE(waves[1].isEmpty());
    // A "*" among other items is a channel name like any other.
    EXPECT_EQ(named(waves[2]), QStringList({"LHZ=2.5", "LHN=2.5", "*=2.5"}));
    EXPECT_TRUE(waves[3].isEmpty());

    const std::tuple<int, const char *, double> lookups[] = {
        {0, "shz", 2}, {0, "BHN", 1.5}, {3, "anything", 3}};
    for (const auto &[row, channel, factor] : lookups)
        EXPECT_DOUBLE_EQ(WaveAmplitudeFactor(refTable, waves, row, QString::fromLatin1(channel)), factor)
            << row << " " << channel;
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
    const struct
    {
        const QByteArray *filtersTxt;
        int messages, filters;
    } cases[] = {{nullptr, 2, 0}, {&filtersTxt, 1, 1}};
    for (const auto &c : cases) {
        messages.clear();
        filters = {{QStringLiteral("SP"), 1, 2}, {QStringLiteral("LP"), 1, 2}};
        waves = {tmuls{{QStringLiteral("BHZ"), 2}}};
        load(c.filtersTxt, nullptr);
        ASSERT_EQ(messages.count(), c.messages);
        for (const auto &m : messages.messages())
            EXPECT_EQ(m.text.section(QLatin1Char('\r'), 0, 0) + QString::number(m.icon),
                      QStringLiteral("ReadFWTxt: произошло исключение. Сообщение об ошибке: 16"));
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
