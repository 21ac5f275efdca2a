#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "demo_data.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange_test_env.h"
#include "support/program_env.h"

namespace {

// "Импорт из ORX" on the event page of a demo station whose bulletin file has been emptied.
class OrxImportPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DemoParams params;
        params.stations = 2;
        params.days = 2;
        params.eventsPerDay = 4;
        demo = GenerateDemoFolder(dir.path(), params);
        // The demo names its ORX database in the information system's own INI file.
        qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toLocal8Bit());
        InstallOrxImportCommand();
    }
    void TearDown() override
    {
        productCommands().importOrx = nullptr;
        qunsetenv("ORX_INI_DIR");
    }

    std::unique_ptr<DbConnection> bulletin() { return openStationFile(demo.bulletinPaths.first()); }
    // The counts of events, readings and measured readings.
    QStringList counts()
    {
        auto c = bulletin();
        return dbRows(*c, QStringLiteral("select count(*) from [События]")) +
               dbRows(*c, QStringLiteral("select count(*) from [Станционный бюллетень]")) +
               dbRows(*c, QStringLiteral(
                              "select count(*) from (select distinct arid from [Динамические замеры])"));
    }

    TestDir dir;
    DemoSummary demo;
    MessageRecorder messages;
    Tdm dm;
};

TEST_F(OrxImportPage, FillsTheBulletinAndShowsTheEvents)
{
    // The demo bulletin is what the copy makes; empty it.
    const QStringList before = counts();
    ASSERT_GT(before[0].toInt(), 1);
    {
        auto c = bulletin();
        exec(*c, "delete from [Динамические замеры]");
        exec(*c, "delete from [Станционный бюллетень]");
        exec(*c, "delete from [События]");
    }

    auto w = startMainWindow(dir.path());
    w->pgc1->setCurrentIndex(1);
    auto *label = w->TabSheet1->findChild<QLabel *>(QStringLiteral("Label31"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("из 0"));
    auto *button = w->TabSheet1->findChild<QPushButton *>(QStringLiteral("Button9"));
    ASSERT_TRUE(button && button->isEnabled());

    w->sett.start_date = EncodeDate(2026, 11, 29);
    w->sett.end_date = EncodeDate(2026, 11, 30);
    bool asked = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<Tpar *>(top); dialog && dialog->isVisible()) {
                asked = true;
                dialog->Button1->click();
            }
    });
    button->click();
    EXPECT_TRUE(asked);
    EXPECT_EQ(shown(messages), QList<Shown>());
    EXPECT_EQ(label->text(), QStringLiteral("из ") + before[0]);
    EXPECT_EQ(w->TabSheet1->findChild<QLineEdit *>(QStringLiteral("Edit1"))->text(), QStringLiteral("1"));

    w.reset();
    EXPECT_EQ(counts(), before);
}

} // namespace
