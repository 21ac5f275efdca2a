#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "demo_data.h"
#include "exchange/orx_copy.h"
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

    std::unique_ptr<DbConnection> bulletin()
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        c->SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(demo.bulletinPaths.first()));
        c->Open(QString(), QString());
        return c;
    }
    int count(DbConnection &c, const char *sql)
    {
        DbQuery q(&c);
        q.SetSQL(QString::fromUtf8(sql));
        q.Open();
        return q.Field(0)->AsInteger();
    }

    TestDir dir;
    DemoSummary demo;
    MessageRecorder messages;
    Tdm dm;
};

TEST_F(OrxImportPage, FillsTheBulletinAndShowsTheEvents)
{
    int events = 0, readings = 0, measured = 0;
    {
        // The demo bulletin is what the copy makes; empty it, and give it the working copies.
        auto c = bulletin();
        events = count(*c, "select count(*) from [События]");
        readings = count(*c, "select count(*) from [Станционный бюллетень]");
        measured = count(*c, "select count(*) from (select distinct arid from [Динамические замеры])");
        ASSERT_GT(events, 1);
        exec(*c, "delete from [Динамические замеры]");
        exec(*c, "delete from [Станционный бюллетень]");
        exec(*c, "delete from [События]");
        exec(*c, "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,"
                 "rms float,dh float,dz float,comment varchar(1),lddate date,primary key (eventid))");
        exec(*c, "create table arrival (flag integer,eventid varchar(20),numb integer,sta varchar(6),chan "
                 "varchar(8),iphase varchar(8),itime float,deltim float,azimuth float,slow float,ema float,"
                 "rect float,fm varchar(2),im_em varchar(2),per float,residuals float,ampl float,lddate date,"
                 "ms float,mb float,amptime float,dist float,regclass float)");
    }

    auto w = startMainWindow(dir.path());
    w->pgc1->setCurrentIndex(1);
    auto *label = w->TabSheet1->findChild<QLabel *>(QStringLiteral("Label31"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("из 0"));
    auto *button = w->TabSheet1->findChild<QPushButton *>(QStringLiteral("Button9"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Импорт из ORX"));
    ASSERT_TRUE(button->isEnabled());

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
    EXPECT_EQ(label->text(), QStringLiteral("из ") + QString::number(events));
    EXPECT_EQ(w->TabSheet1->findChild<QLineEdit *>(QStringLiteral("Edit1"))->text(), QStringLiteral("1"));

    w.reset();
    auto c = bulletin();
    EXPECT_EQ(count(*c, "select count(*) from [События]"), events);
    EXPECT_EQ(count(*c, "select count(*) from [Станционный бюллетень]"), readings);
    EXPECT_EQ(count(*c, "select count(*) from [Динамические замеры]"), measured);
}

} // namespace
