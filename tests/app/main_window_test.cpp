#include "app/main/column_tables.h"
#include "app/main/fade_animation.h"
#include "app/settings/message_window.h"
#include "support/program_env.h"

#include <QFile>
#include <QTabBar>

namespace {

class MainWindow : public ::testing::Test
{
protected:
    MessageRecorder recorder;
    Program p;
};

TEST_F(MainWindow, FirstStartShowsDefaultsAndPages)
{
    auto w = p.start();
    EXPECT_EQ(recorder.count(), 0);
    struct Page
    {
        const char *name;
        const char *caption;
    } pages[] = {{"TabSheet2", "Настройка"},
                 {"TabSheet1", "Параметры землетрясения"},
                 {"TabSheet6", "Параметры землетрясения"},
                 {"TabSheet4", "Импорт"},
                 {"TabSheet3", "Tests"},
                 {"TabSheet5", "О программе"}};
    ASSERT_EQ(w->pgc1->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w->pgc1->widget(i)->objectName(), QString::fromLatin1(pages[i].name));
        EXPECT_EQ(w->pgc1->tabText(i), QString::fromUtf8(pages[i].caption));
    }
    const bool visible[] = {true, true, false, true, false, true};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(w->pgc1->isTabVisible(i), visible[i]) << i;
    EXPECT_EQ(w->pgc1->currentIndex(), 0);
    EXPECT_TRUE(w->sett.effects);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale"));
    EXPECT_TRUE(w->hlp->isVisibleTo(w.get())); // empty station list
    EXPECT_TRUE(w->curCode.isEmpty() && w->curSta.isEmpty() && w->curName.isEmpty());
    EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
    // Named controls carry their texts.
    EXPECT_EQ(w->findChild<QWidget *>(QStringLiteral("Button15"))->property("text").toString(),
              QStringLiteral("Общие настройки"));
    EXPECT_EQ(w->Label44->text().left(3), QStringLiteral("*  "));
    EXPECT_EQ(w->sgts->horizontalHeaderItem(1)->text(), QStringLiteral("окончание"));
    EXPECT_EQ(w->ifrom->currentIndex(), 2);
}

TEST_F(MainWindow, ClosingWithFadeWritesTheSettings)
{
    auto w = p.start();
    w->show();
    // Fade-in: the first tick sets the start alpha, eleven more reach full opacity.
    EXPECT_EQ(w->windowOpacity(), 0.0);
    w->fade().tick();
    EXPECT_EQ(w->fade().alpha(), 0);
    for (int i = 0; i < 10; ++i)
        w->fade().tick();
    EXPECT_EQ(w->fade().alpha(), 250);
    EXPECT_FALSE(w->close()); // refused while the fade-in runs, and nothing starts
    w->fade().tick();
    EXPECT_EQ(w->fade().alpha(), 255);
    EXPECT_EQ(w->windowOpacity(), 1.0);
    EXPECT_FALSE(w->fade().fading());
    w->fade().tick();
    EXPECT_FALSE(w->fade().timerActive());

    // Fade-out: the close request is refused and the fade starts; a second request changes nothing.
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->fade().fading());
    w->fade().tick();
    EXPECT_FALSE(w->isEnabled());
    for (int i = 0; i < 5; ++i)
        w->fade().tick();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w->fade().alpha(), 255 - 5 * 25);
    int ticks = 5;
    while (w->isVisible() && ticks < 50) {
        w->fade().tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 11);
    EXPECT_EQ(w->CloseAction, 2);
    EXPECT_EQ(w->fade().alpha(), 0);

    const QByteArray bytes = readBytes(p.path("system/Brenvale.ini"));
    const QByteArray global =
        "[global]\r\nstations=\r\nstation_code=\r\nno_search=0\r\nsvset=0\r\nrepset=0\r\n"
        "expset=0\r\nnets_width=2\r\nshow_ts=0\r\nthreshold=1\r\nselect_data=1\r\n"
        "onlyfull=1\r\nmulti_name=_multi\r\nnet=\r\n\r\n[window]\r\nwinstate=norm\r\n";
    EXPECT_TRUE(bytes.startsWith(global)) << bytes.constData();
    EXPECT_TRUE(bytes.contains("\r\nwinwidth=" + QByteArray::number(w->width()) + "\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nwinheight=" + QByteArray::number(w->height()) + "\r\n"));
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(MainWindow, PlacementRestoredOnTheNextStart)
{
    p.writeGlobal();
    {
        auto w = p.start();
        EXPECT_EQ(w->CloseAction, 2);
        EXPECT_EQ(w->windowOpacity(), 1.0);
        w->resize(900, 700);
        w->move(40, 30);
        EXPECT_TRUE(w->close());
    }
    auto w = p.start();
    EXPECT_EQ(w->size(), QSize(900, 700));
    EXPECT_EQ(w->pos(), QPoint(40, 30));
    EXPECT_FALSE(w->isMaximized());

    p.writeGlobal(QStringLiteral("[window]\r\nwinstate=max\r\nwinwidth=10\r\nwinx=-5000\r\n"));
    auto maxed = p.start();
    EXPECT_TRUE(maxed->windowState() & Qt::WindowMaximized);
}

TEST_F(MainWindow, MinimumSizeFitsTheWorkArea)
{
    p.writeGlobal();
    auto w = p.start();
    EXPECT_GT(w->minWidth, w->Image1->width());
    EXPECT_GT(w->minHeight, w->Panel2->height());
    EXPECT_EQ(w->minimumSize(), QSize(w->minWidth, w->minHeight));
    auto small = p.start({}, QRect(0, 0, 300, 120));
    EXPECT_EQ(small->minimumSize(), QSize(300, 120));
}

TEST_F(MainWindow, TestsPageOnlyForSlashT)
{
    p.writeGlobal();
    struct Case
    {
        QStringList args;
        bool shown;
    } cases[] = {{{"/t"}, true}, {{"x", "/T"}, true}, {{"-t"}, false}, {{"/tt"}, false}, {{}, false}};
    for (const auto &c : cases) {
        auto w = p.start(c.args);
        EXPECT_EQ(w->pgc1->isTabVisible(4), c.shown) << c.args.join(' ').toStdString();
    }
}

TEST_F(MainWindow, StartPageRules)
{
    struct Case
    {
        int mode, from;
        bool fullorx, first;
        int current;
        int expected;
    } cases[] = {
        {1, 0, false, true, 5, 0},  {1, 1, false, true, 0, 1},  {1, 1, true, true, 0, 2},
        {1, 2, false, true, 0, 3},  {1, 4, false, true, 0, 5},  {1, 9, false, true, 0, 5},
        {1, 3, false, true, 0, 3}, // 'Tests' hidden: the page before it
        {1, -1, false, true, 5, 0}, {1, 2, false, false, 5, 5}, {0, 2, false, false, 5, 1},
        {0, 0, true, true, 0, 2},
    };
    for (const auto &c : cases) {
        Tsett s;
        s.start_mode = c.mode;
        s.start_from = c.from;
        s.fullorx = c.fullorx;
        const std::array<bool, 6> visible = {c.mode == 1, !c.fullorx, c.fullorx, c.mode == 1, false, true};
        EXPECT_EQ(Tmainf::StartPageIndex(s, c.first, c.current, visible), c.expected)
            << c.mode << " " << c.from << " " << c.fullorx << " " << c.first;
    }
}

TEST_F(MainWindow, StartModesOnReload)
{
    p.writeGlobal(QStringLiteral("start_mode=0\r\n"));
    auto single = p.start();
    EXPECT_EQ(single->pgc1->currentIndex(), 1);
    EXPECT_FALSE(single->pgc1->isTabVisible(0));
    EXPECT_FALSE(single->pgc1->isTabVisible(3));
    single->pgc1->setCurrentIndex(5);
    single->Reload();
    EXPECT_EQ(single->pgc1->currentIndex(), 1);

    p.writeGlobal(QStringLiteral("start_mode=1\r\nstart_from=2\r\n"));
    auto multi = p.start();
    EXPECT_EQ(multi->pgc1->currentIndex(), 3);
    multi->pgc1->setCurrentIndex(5);
    multi->Reload();
    EXPECT_EQ(multi->pgc1->currentIndex(), 5);
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(MainWindow, FirstStationSelectedAndItsSettingsRead)
{
    p.writeGlobal();
    p.write("system/Stations.ini",
            QStringLiteral("[PET]\r\nname=Петропавловск\r\nstart_date=31.02.2008\r\nimport_type=0\r\n"
                           "in_file_jet=/data/j.db\r\n\r\n[MNK]\r\ncode=MNKI\r\n\r\n"));
    auto w = p.start();
    ASSERT_EQ(w->stas->count(), 2);
    EXPECT_EQ(listedCodes(*w), QStringList({"MNK", "PET"}));
    EXPECT_EQ(QStringList({w->curCode, w->curSta}), QStringList({"MNK", "MNKI"}));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale - БДСТБЮЛ - MNKI, MNK"));
    EXPECT_FALSE(w->hlp->isVisibleTo(w.get()));

    w->SelectStationByCode(QStringLiteral("PET"), true);
    EXPECT_EQ(w->GetImportType(), 0);
    EXPECT_EQ(w->Edit5->text(), QStringLiteral("/data/j.db"));
    EXPECT_EQ(w->sett.smp1, QStringLiteral("?"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale - БДСТБЮЛ - Петропавловск (PET, PET)"));

    // The previous station's settings were saved when the selection moved on.
    EXPECT_TRUE(p.read("system/Stations.ini").contains(QStringLiteral("[MNK]\r\ncode=MNKI\r\nstart_date=")));

    w->SetCheckedCodes({QStringLiteral("PET"), QStringLiteral("XXX"), QStringLiteral("MNK")});
    EXPECT_EQ(w->checkedPlain, QStringLiteral("MNK,PET"));
    EXPECT_EQ(w->checkedQuoted, QStringLiteral("'MNK','PET'"));
    ASSERT_TRUE(w->close());
    auto again = p.start();
    EXPECT_EQ(again->curCode, QStringLiteral("PET"));
    EXPECT_EQ(again->checkedPlain, QStringLiteral("MNK,PET"));
    EXPECT_EQ(again->stas->item(0)->checkState(), Qt::Checked);
}

TEST_F(MainWindow, Caption)
{
    struct Case
    {
        bool fullorx;
        const char *name, *sta, *code, *expected;
    } cases[] = {
        {true, "", "PUL", "PLK", "Brenvale - ORX - PUL, PLK"},
        {true, "", "", "PLK", "Brenvale - ORX - ?, PLK"},
        {false, "Пулково", "", "PLK", "Brenvale - БДСТБЮЛ - Пулково (?, PLK)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Tmainf::MainCaption(c.fullorx, QString::fromUtf8(c.name), QString::fromUtf8(c.sta),
                                      QString::fromUtf8(c.code)),
                  QString::fromUtf8(c.expected));
}

TEST_F(MainWindow, OrxIniFromItsFolder)
{
    p.writeGlobal();
    p.write("orx.ini", QStringLiteral("[database]\r\nodbc=orx1\r\nuser=\r\n"));
    qputenv("ORX_INI_DIR", p.dir.path().toUtf8());
    auto w = p.start();
    qunsetenv("ORX_INI_DIR");
    EXPECT_EQ(QStringList({w->orxIniSource, w->orxIniUser, w->orxIniPassword}),
              QStringList({"orx1", "qzv", "qzv"}));
}

TEST_F(MainWindow, FailedStartLeavesAUsableWindowAndTheFileAlone)
{
    const QByteArray bad = "[global]\r\nstation_code=PET\r\n\r\n[font_main]\r\ncolor=zz\r\n\r\n";
    writeBytes(p.path("system/Brenvale.ini"), bad);
    auto w = p.start();
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_TRUE(recorder.last().text.startsWith(QStringLiteral("InitMain: ")));
    EXPECT_EQ(recorder.last().icon, 16u);
    EXPECT_TRUE(w->initFailed);
    EXPECT_FALSE(w->initializing);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(ControlTag(w->Edit2), 0);
    w->show();
    EXPECT_TRUE(w->close()); // closes at once
    EXPECT_EQ(readBytes(p.path("system/Brenvale.ini")), bad);

    // A settings file that cannot be read at all.
    Program q;
    QDir().mkpath(q.path("system/Brenvale.ini"));
    recorder.clear();
    auto u = q.start();
    EXPECT_EQ(recorder.count(), 1);
    EXPECT_TRUE(u->initFailed);
    EXPECT_EQ(u->pgc1->count(), 6);
}

// A settings file of binary garbage is damaged, not empty: reported at the start, never replaced.
TEST_F(MainWindow, SettingsFileWithoutAnySectionIsReportedAndKept)
{
    const QByteArray garbage("\x00\x9C\xFFPK\x03\x04 \xD1\xF2\r\n\x01", 14);
    for (const char *file : {"system/Brenvale.ini", "system/Stations.ini"}) {
        Program q;
        if (QByteArray(file).endsWith("Stations.ini"))
            q.writeGlobal();
        writeBytes(q.path(file), garbage);
        recorder.clear();
        auto w = q.start();
        ASSERT_EQ(recorder.count(), 1) << file;
        EXPECT_TRUE(recorder.last().text.startsWith(QStringLiteral("InitMain: "))) << file;
        EXPECT_TRUE(recorder.last().text.endsWith(QStringLiteral(": в нём нет ни одного раздела")))
            << recorder.last().text.toStdString();
        EXPECT_TRUE(w->initFailed) << file;
        w->show();
        EXPECT_TRUE(w->close());
        w.reset();
        EXPECT_EQ(readBytes(q.path(file)), garbage) << file;
    }
}

TEST_F(MainWindow, FailedReloadKeepsTheWindowUsable)
{
    p.writeGlobal();
    auto w = p.start();
    ASSERT_EQ(recorder.count(), 0);
    p.writeGlobal(QStringLiteral("[font]\r\ncolor=0XFF\r\n"));
    w->Reload();
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_TRUE(w->initFailed);
    EXPECT_FALSE(w->initializing);
    EXPECT_EQ(ControlTag(w->Cod_stac), 0);
    p.writeGlobal();
    w->Reload();
    EXPECT_EQ(recorder.count(), 1);
    EXPECT_FALSE(w->initFailed);
}

TEST_F(MainWindow, ErrorProcedureInstalledOnlyOverThePlainBox)
{
    p.writeGlobal();
    {
        auto w = p.start();
        ErrorMessageProc(nullptr, QStringLiteral("x"), 16, 0);
        EXPECT_EQ(recorder.count(), 1); // the recorder stays in place
    }
    using Fn = int (*)(QWidget *, const QString &, unsigned, unsigned);
    const MessageProcType saved = ErrorMessageProc;
    ErrorMessageProc = MsgBox;
    auto w = p.start();
    const Fn *installed = ErrorMessageProc.target<Fn>();
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(*installed, &GfxMessageDlg);
    ErrorMessageProc = saved;
}

TEST_F(MainWindow, MissingReferenceFilesAreReportedAndStartUpGoesOn)
{
    QFile::remove(p.path("system/filters.txt"));
    QFile::remove(p.path("system/waves.txt"));
    auto w = p.start();
    ASSERT_EQ(recorder.count(), 2);
    for (const auto &m : recorder.messages()) {
        EXPECT_TRUE(
            m.text.startsWith(QStringLiteral("ReadFWTxt: произошло исключение. Сообщение об ошибке: \r")))
            << m.text.toStdString();
        EXPECT_EQ(m.icon, 16u);
    }
    EXPECT_TRUE(w->filters.isEmpty());
    EXPECT_TRUE(w->waves.isEmpty());
    EXPECT_EQ(w->pgc1->currentIndex(), 0);
}

TEST_F(MainWindow, ConnectionsFollowTheSettings)
{
    p.writeGlobal(QStringLiteral("out_provider=0\r\nstart_mode=1\r\n"));
    auto w = p.start();
    Tdm &dm = p.dm;
    EXPECT_EQ(dm.dbs->Provider(), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(dm.dbs->ConnectionString(), QStringLiteral("Data Source=a;Mode=ReadWrite"));
    EXPECT_EQ(dm.conPubs->Provider(), QStringLiteral("MSDASQL"));
    EXPECT_EQ(w->Label27->text(), QStringLiteral("2."));
    EXPECT_TRUE(w->Edit6->isVisibleTo(w->TabSheet4));
    EXPECT_FALSE(w->dss->isVisibleTo(w->TabSheet4));

    QString from, to;
    const TDateTime noon = EncodeDate(2024, 1, 1) + 0.5;
    w->SqlDateRange(from, to, noon, noon + 1);
    EXPECT_EQ(from, QStringLiteral("45292"));
    EXPECT_EQ(to, QStringLiteral("45293"));
    w->sett.out_provider = 1;
    w->SqlDateRange(from, to, noon, noon);
    EXPECT_EQ(from, QStringLiteral("{d '2024-01-01'}"));
    // Direct mode reaches the ORX database through ODBC whatever the file setting says.
    w->sett.out_provider = 0;
    w->sett.start_mode = 0;
    w->sett.directORXwr = true;
    w->SqlDateRange(from, to, noon, noon);
    EXPECT_EQ(from, QStringLiteral("{d '2024-01-01'}"));
    w->SetupConnections();
    EXPECT_EQ(w->Label27->text(), QStringLiteral("2. *ORX*"));
    EXPECT_EQ(dm.dbs->Provider(), QStringLiteral("MSDASQL"));
    EXPECT_FALSE(w->Edit6->isVisibleTo(w->TabSheet4));
}

TEST(ColumnTables, LookupIgnoresCase)
{
    const tcwarr origin = OriginColumnTable();
    const tcwarr arrival = ArrivalColumnTable();
    EXPECT_EQ(ColumnIndex(arrival, QStringLiteral("ITIME")), 7);
    EXPECT_EQ(ColumnIndex(origin, QStringLiteral("EventId")), 0);
    EXPECT_EQ(ColumnIndex(origin, QStringLiteral("comments_")), 16);
    EXPECT_EQ(ColumnIndex(arrival, QStringLiteral("ML")), 35);
    EXPECT_EQ(ColumnIndex(arrival, QStringLiteral("nosuch")), -1);
    EXPECT_EQ(arrival.at(16).caption, QStringLiteral("Резидулы"));
}

TEST(FadeAnimation, EqualEndsTakeTheFullRange)
{
    QWidget form;
    FadeAnimation fade;
    fade.StartAnimation(1, {100, 100, 0, 0}, &form);
    fade.tick();
    EXPECT_EQ(fade.alpha(), 0);
    int ticks = 0;
    while (fade.fading() && ticks < 300) {
        fade.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 255);
    EXPECT_EQ(fade.alpha(), 255);
}

} // namespace
