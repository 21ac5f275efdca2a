#include "action_log.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(ActionLog, KeepsTheLastLinesAndTracesThemAll)
{
    TestDir dir;
    ActionLog log(3);
    ASSERT_TRUE(log.openTrace(dir.file(QStringLiteral("seed.trace"))));
    for (const char *line :
         {"#1 click", "#2 tab \"Импорт\"", "   message [Ошибка] \"x\" -> OK", "#3 close", "#4 key"})
        log.add(QString::fromUtf8(line));
    EXPECT_EQ(log.last(), (QStringList{QStringLiteral("   message [Ошибка] \"x\" -> OK"),
                                       QStringLiteral("#3 close"), QStringLiteral("#4 key")}));
    EXPECT_EQ(readBytes(dir.file(QStringLiteral("seed.trace"))),
              QByteArray("#1 click\n#2 tab \"Импорт\"\n   message [Ошибка] \"x\" -> OK\n#3 close\n#4 key\n"));
}

namespace {
std::atomic<int> g_hangs{0};
void countHang()
{
    ++g_hangs;
}
} // namespace

TEST(Watchdog, SpeaksOnlyWhenTheBeatStops)
{
    g_hangs = 0;
    {
        // Beats far closer than its three seconds keep it quiet, even where a busy machine wakes the threads
        // late; once they stop, it speaks once.
        Watchdog watchdog(3, &countHang);
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            watchdog.beat();
        }
        EXPECT_EQ(g_hangs, 0);
        for (int i = 0; i < 1200 && g_hangs == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(g_hangs, 1);
    }
    EXPECT_EQ(g_hangs, 1);
}
