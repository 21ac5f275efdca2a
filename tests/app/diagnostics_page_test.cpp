#include "app/main/diagnostics_page.h"
#include "app/main/program_folder.h"
#include "app/settings/progress_window.h"
#include "app_test_helpers.h"

#include <QProgressBar>

namespace {

TEST(DiagnosticsPage, TestSqlFileByteForByte)
{
    const QByteArray text = TestSqlText();
    EXPECT_TRUE(text.startsWith("insert into tab1 (id,s,i,fl,d) values (1,'A999',2,3.1,sysdate+0);\r\n\r\n"
                                "insert into tab2 (id2,id,i,d) values (1,1,3,sysdate+9991);\r\n\r\n"
                                "insert into tab2 (id2,id,i,d) values (2,1,2,sysdate+9992);\r\n\r\n"));
    // Row 27 starts the letters again; row 100 has a whole tenth part of 0.
    for (const char *row : {"(27,'A973',54,81.27,sysdate+26)", "(100,'V900',200,300.0,sysdate+99)"})
        EXPECT_TRUE(text.contains(QByteArray("insert into tab1 (id,s,i,fl,d) values ") + row + ";\r\n\r\n"))
            << row;
    EXPECT_TRUE(text.endsWith("insert into tab2 (id2,id,i,d) values (10000,1000,3990,sysdate+10);\r\n\r\n"));
    EXPECT_EQ(text.count("insert into tab1 "), 1000);
    EXPECT_EQ(text.count("insert into tab2 "), 10000);
    EXPECT_EQ(text.count('\n'), 22000);
}

TEST(DiagnosticsPage, TestSqlButtonWritesIntoTheTmpFolder)
{
    ProgramWindow o;
    auto *button = named<QPushButton>(o.w.get(), "Button32");
    button->click();
    ASSERT_EQ(o.rec.count(), 1); // the folder is the developer's to make
    EXPECT_EQ(o.rec.last().icon, 16u);
    EXPECT_TRUE(o.rec.last().text.contains(QStringLiteral("1000.sql")));
    QDir(o.dir.path()).mkpath(QStringLiteral("tmp"));
    button->click();
    EXPECT_EQ(o.rec.count(), 1);
    EXPECT_EQ(readBytes(o.path("tmp/1000.sql")), TestSqlText());
}

TEST(DiagnosticsPage, ConversionsBothWays)
{
    const std::pair<const char *, const char *> cases[] = {{"15.03.2008 12:30:45", "1205584245"},
                                                           {"31.12.1969 23:59:59", "-1"},
                                                           {"29.02.2000 00:00:01", "951782401"}};
    for (const auto &[date, epoch] : cases) {
        EXPECT_EQ(DateTextToEpochText(QString::fromLatin1(date)), QString::fromLatin1(epoch)) << date;
        EXPECT_EQ(EpochTextToDateText(QString::fromLatin1(epoch)), QString::fromLatin1(date)) << epoch;
    }
    // Tenths are cut, not rounded; ',' is read as well as '.'.
    EXPECT_EQ(EpochTextToDateText(QStringLiteral("1205584245,9")), QStringLiteral("15.03.2008 12:30:45"));
    EXPECT_THROW(DateTextToEpochText(QStringLiteral("15.13.2008 12:30:45")), EConvertError);
    EXPECT_THROW(EpochTextToDateText(QStringLiteral("12x")), EConvertError);

    // Through the page: now, to epoch and back gives the same second.
    ProgramWindow o;
    auto click = [&](const char *name) { clickNamed(o.w.get(), name); };
    auto edit = [&](const char *name) { return named<QLineEdit>(o.w.get(), name); };
    click("Button44");
    const QString now = edit("Edit3")->text();
    click("Button43");
    edit("Edit3")->clear();
    click("Button45");
    EXPECT_EQ(edit("Edit3")->text(), now);
    edit("Edit4")->setText(QStringLiteral("abc"));
    click("Button45");
    EXPECT_EQ(shown(o.rec), QList<Shown>({{QStringLiteral("\"abc\" - не число"), 16}}));
}

TEST(DiagnosticsPage, KeyNamesOncePerName)
{
    EXPECT_EQ(
        IniKeyNames(QStringLiteral("[global]\r\n Effects =1\r\neffects=0\r\nSMTP_host=a=b\r\n; comment\r\n"
                                   "\r\nx\n[ABC]\nsource=\nZ=1")),
        QStringList({QStringLiteral("effects"), QStringLiteral("smtp_host"), QStringLiteral("source"),
                     QStringLiteral("z")}));
    ProgramWindow o;
    auto *button = named<QPushButton>(o.w.get(), "Button47");
    o.write("system/Stations.ini", QStringLiteral("[ABC]\r\nUser=a\r\nsource=b\r\n[DEF]\r\nuser=c\r\n"));
    o.write("system/Brenvale.ini", QStringLiteral("[global]\r\nb=1\r\nA=2\r\n"));
    button->click();
    EXPECT_EQ(o.read("system/Brenvale.txt"), QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(o.read("system/Stations.txt"), QStringLiteral("source\r\nuser\r\n"));
    // Saved by an editor in UTF-8 with a byte order mark.
    writeBytes(o.path("system/Brenvale.ini"),
               "\xEF\xBB\xBF" + QStringLiteral("Имя=1\r\n[global]\r\nb=1\r\n").toUtf8());
    button->click();
    EXPECT_EQ(o.read("system/Brenvale.txt"), QStringLiteral("b\r\nимя\r\n"));
}

TEST(DiagnosticsPage, StatementsReportAndCloseEverything)
{
    OrxDb<SqliteEnv> orx;
    orx.exec("create table arrival (arid integer, flag integer)");
    ProgramWindow o;
    o.useOrx(orx.source());
    auto click = [&](const char *name) { clickNamed(o.w.get(), name); };
    auto edit = [&](const char *name) { return named<QLineEdit>(o.w.get(), name); };
    Tdm &dm = o.dm;

    click("Button2");
    EXPECT_EQ(lastShown(o.rec), Shown(QStringLiteral("Команда не задана!"), 16));
    edit("Edit8")->setText(QStringLiteral("select * from arrival"));
    click("Button2");
    EXPECT_EQ(lastShown(o.rec), Shown(QStringLiteral("OK"), 0));
    EXPECT_FALSE(dm.rstORX->Active() || dm.conPubs->Connected());

    edit("Edit9")->setText(QStringLiteral("insert into arrival (arid, flag) values (1, 2)"));
    click("Button3");
    EXPECT_EQ(lastShown(o.rec), Shown(QStringLiteral("OK"), 0));
    EXPECT_EQ(orx.rows(QStringLiteral("select arid, flag from arrival")), QStringList{QStringLiteral("1|2")});
    // A failure is the statement runner's to report (its text is tested with it); the page closes all.
    edit("Edit9")->setText(QStringLiteral("update nosuch set a=1"));
    click("Button3");
    EXPECT_TRUE(
        o.rec.last().text.startsWith(QStringLiteral("QAct: Запрос\r\rupdate nosuch set a=1\rвызвал ошибку!")))
        << o.rec.last().text.toStdString();
    EXPECT_FALSE(dm.acmi->Active() || dm.rstORX->Active() || dm.conPubs->Connected());

    click("Button31");
    EXPECT_EQ(lastShown(o.rec), Shown(QStringLiteral("<b>A</b> <i>Simple</i> <u>Message</u>"), 64));
}

// The demonstration follows the clock in 25 ms steps and stops at the stop button.
TEST(DiagnosticsPage, StopDemoFollowsTheClockAndStops)
{
    QWidget owner;
    qint64 t = 0;
    QList<int> positions;
    QString caption;
    RunStopDemo(&owner, 200, [&] {
        if (auto *pro = owner.findChild<Tpro *>()) {
            positions << pro->pb->value();
            caption = pro->windowTitle();
            if (t == 100)
                pro->cbt->click();
        }
        return t += 5;
    });
    EXPECT_EQ(t, 105);
    EXPECT_EQ(caption, QStringLiteral("non-stop (100 из 200)"));
    EXPECT_EQ(positions.last(), 100);
    EXPECT_EQ(owner.findChild<Tpro *>(), nullptr);

    t = 0;
    RunStopDemo(&owner, 50, [&] { return t += 25; });
    EXPECT_EQ(t, 50);
}

} // namespace
