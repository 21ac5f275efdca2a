#include "app/settings/startup_dialog.h"
#include "support/program_env.h"

#include <QFile>

namespace {

TEST(StartupDialog, ShowsTheSettings)
{
    Tsett s;
    s.start_mode = 0;
    s.start_from = 2;
    Tstartupf dlg(s, QStringLiteral("/nonexistent/Brenvale.ini"), nullptr);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Настройка запуска"));
    EXPECT_TRUE(dlg.sub1->isChecked());
    EXPECT_FALSE(dlg.start_from->isEnabled());
    EXPECT_FALSE(dlg.Label1->isEnabled());
    EXPECT_EQ(dlg.start_from->currentIndex(), 2);
    EXPECT_EQ(dlg.start_from->count(), 3);
    EXPECT_EQ(dlg.start_from->itemText(1), QStringLiteral("Параметры землетрясения"));

    dlg.sub2->click();
    EXPECT_TRUE(dlg.start_from->isEnabled());
    dlg.sub1->click(); // a single station greys out the start page
    EXPECT_FALSE(dlg.start_from->isEnabled());
    EXPECT_FALSE(dlg.Label1->isEnabled());
}

TEST(StartupDialog, OkWithoutChangesWritesNothingButApplies)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Brenvale.ini"));
    Tsett s;
    int applied = 0;
    Tstartupf dlg(s, path, [&] { ++applied; });
    EXPECT_TRUE(dlg.sub2->isChecked());
    dlg.okb->click();
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(StartupDialog, OnlyChangedValuesAreWritten)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("Brenvale.ini"));
    ASSERT_TRUE(writeBytes(path, "[global]\r\neffects=0\r\n"));
    Tsett s;
    int applied = 0;
    {
        Tstartupf dlg(s, path, [&] { ++applied; });
        dlg.sub1->click();
        dlg.okb->click();
    }
    EXPECT_EQ(s.start_mode, 0);
    EXPECT_EQ(readBytes(path), QByteArray("[global]\r\neffects=0\r\nstart_mode=0\r\n\r\n"));
    {
        Tstartupf dlg(s, path, [&] { ++applied; });
        dlg.sub2->click();
        dlg.start_from->setCurrentIndex(2);
        dlg.okb->click();
    }
    EXPECT_EQ(s.start_mode, 1);
    EXPECT_EQ(s.start_from, 2);
    EXPECT_EQ(readBytes(path), QByteArray("[global]\r\neffects=0\r\nstart_mode=1\r\nstart_from=2\r\n\r\n"));
    EXPECT_EQ(applied, 2);
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
