#include "app/settings/startup_dialog.h"
#include "support/program_env.h"

#include <QFile>

#include <functional>

namespace {

TEST(StartupDialog, StartPageOnlyForManyStations)
{
    Tsett s;
    s.start_mode = 0;
    s.start_from = 2;
    Tstartupf dlg(s, QStringLiteral("/nonexistent/Brenvale.ini"), nullptr);
    EXPECT_TRUE(dlg.sub1->isChecked());
    EXPECT_EQ(dlg.start_from->currentIndex(), 2);
    EXPECT_FALSE(dlg.start_from->isEnabled() || dlg.Label1->isEnabled());
    dlg.sub2->click();
    EXPECT_TRUE(dlg.start_from->isEnabled() && dlg.Label1->isEnabled());
    dlg.sub1->click();
    EXPECT_FALSE(dlg.start_from->isEnabled() || dlg.Label1->isEnabled());
}

// OK writes only the values changed (nothing at all when none is) and applies them every time.
TEST(StartupDialog, OnlyChangedValuesAreWritten)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Brenvale.ini"));
    Tsett s;
    int applied = 0;
    const auto ok = [&](const std::function<void(Tstartupf &)> &change) {
        Tstartupf dlg(s, path, [&] { ++applied; });
        change(dlg);
        dlg.okb->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    };
    ok([](Tstartupf &) {});
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(writeBytes(path, "[global]\r\neffects=0\r\n"));
    ok([](Tstartupf &d) { d.sub1->click(); });
    EXPECT_EQ(s.start_mode, 0);
    EXPECT_EQ(readBytes(path), QByteArray("[global]\r\neffects=0\r\nstart_mode=0\r\n\r\n"));
    ok([](Tstartupf &d) {
        d.sub2->click();
        d.start_from->setCurrentIndex(2);
    });
    EXPECT_EQ(std::pair(s.start_mode, s.start_from), std::pair(1, 2));
    EXPECT_EQ(readBytes(path), QByteArray("[global]\r\neffects=0\r\nstart_mode=1\r\nstart_from=2\r\n\r\n"));
    EXPECT_EQ(applied, 3);
}

TEST(StartupDialog, FailedWriteKeepsTheSettings)
{
    MessageRecorder recorder;
    Tsett s;
    int applied = 0;
    Tstartupf dlg(s, QStringLiteral("/nonexistent/folder/Brenvale.ini"), [&] { ++applied; });
    dlg.sub1->click();
    dlg.okb->click();
    EXPECT_EQ(recorder.count(), 1);
    EXPECT_EQ(recorder.last().icon, 16u);
    EXPECT_EQ(s.start_mode, 1);
    EXPECT_EQ(applied, 0);
}

} // namespace
