#include "app/main/fade_animation.h"
#include "app/settings/message_window.h"
#include "support/program_env.h"

#include <QStringEncoder>
#include <QTabBar>

#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

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
    ASSERT_EQ(w->pgc1->count(), 6);
    const bool visible[] = {true, true, false, true, false, true};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(w->pgc1->isTabVisible(i), visible[i]) << i;
    EXPECT_EQ(w->pgc1->currentIndex(), 0);
    EXPECT_TRUE(w->sett.effects);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale"));
    EXPECT_TRUE(w->hlp->isVisibleTo(w.get())); // empty station list
    EXPECT_TRUE(w->curCode.isEmpty() && w->curSta.isEmpty() && w->curName.isEmpty());
    EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
}

TEST_F(MainWindow, ClosingWithFadeWritesTheSettings)
{
    auto w = p.start();
    w->show();
    const auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i)
            w->fade().tick();
    };
    // Fade-in: the first tick sets the start alpha, eleven more reach full opacity.
    EXPECT_EQ(w->windowOpacity(), 0.0);
    ticks(1);
    EXPECT_EQ(w->fade().alpha(), 0);
    ticks(10);
    EXPECT_FALSE(w->close()); // refused while the fade-in runs, and nothing starts
    ticks(2);
    EXPECT_EQ(w->windowOpacity(), 1.0);
    EXPECT_FALSE(w->fade().fading() || w->fade().timerActive());

    // Fade-out: the close request is refused and the fade starts; a second request changes nothing.
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->fade().fading());
    ticks(1);
    EXPECT_FALSE(w->isEnabled());
    ticks(5);
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w->fade().alpha(), 255 - 5 * 25);
    int n = 5;
    for (; w->isVisible() && n < 50; ++n)
        ticks(1);
    EXPECT_EQ(n, 11);
    EXPECT_EQ(w->CloseAction, 2);

    const QByteArray bytes = readBytes(p.path("system/Brenvale.ini"));
    EXPECT_TRUE(
        bytes.startsWith("[global]\r\nstations=\r\nstation_code=\r\nno_search=0\r\nsvset=0\r\nrepset=0\r\n"
                         "expset=0\r\nnets_width=2\r\nshow_ts=0\r\nthreshold=1\r\nselect_data=1\r\n"
                         "onlyfull=1\r\nmulti_name=_multi\r\nnet=\r\n\r\n[window]\r\nwinstate=norm\r\n"))
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("\r\nwinwidth=" + QByteArray::number(w->width()) + "\r\n"));
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(MainWindow, PlacementAndMinimumSize)
{
    p.writeGlobal();
    {
        auto w = p.start();
        EXPECT_EQ(w->windowOpacity(), 1.0);
        EXPECT_GT(w->minWidth, w->Image1->width());
        EXPECT_GT(w->minHeight, w->Panel2->height());
        EXPECT_EQ(w->minimumSize(), QSize(w->minWidth, w->minHeight));
        w->resize(900, 700);
        w->move(40, 30);
        EXPECT_TRUE(w->close());
    }
    auto w = p.start();
    EXPECT_EQ(w->geometry().size(), QSize(900, 700));
    EXPECT_EQ(w->pos(), QPoint(40, 30));
    EXPECT_EQ(p.start({}, QRect(0, 0, 300, 120))->minimumSize(), QSize(300, 120));

    p.writeGlobal(QStringLiteral("[window]\r\nwinstate=max\r\nwinwidth=10\r\nwinx=-5000\r\n"));
    EXPECT_TRUE(p.start()->windowState() & Qt::WindowMaximized);
}

TEST_F(MainWindow, TestsPageOnlyForSlashT)
{
    p.writeGlobal();
    const std::pair<QStringList, bool> cases[] = {
        {{"/t"}, true}, {{"x", "/T"}, true}, {{"-t"}, false}, {{"/tt"}, false}, {{}, false}};
    for (const auto &[args, shown] : cases)
        EXPECT_EQ(p.start(args)->pgc1->isTabVisible(4), shown) << args.join(' ').toStdString();
}

TEST_F(MainWindow, StartPageRules)
{
    const struct
    {
        int mode, from;
        bool fullorx, first;
        int current, expected;
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

    // On a reload the single-station mode goes back to its page, the other keeps the one shown.
    for (const auto &[keys, page, reloaded] :
         {std::tuple("start_mode=0\r\n", 1, 1), std::tuple("start_mode=1\r\nstart_from=2\r\n", 3, 5)}) {
        p.writeGlobal(QString::fromLatin1(keys));
        auto w = p.start();
        EXPECT_EQ(w->pgc1->currentIndex(), page) << keys;
        w->pgc1->setCurrentIndex(5);
        w->Reload();
        EXPECT_EQ(w->pgc1->currentIndex(), reloaded) << keys;
    }
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(MainWindow, FirstStationSelectedAndItsSettingsRead)
{
    p.writeGlobal();
    p.write("system/Stations.ini",
            QStringLiteral("[PET]\r\nname=Петропавловск\r\nstart_date=31.02.2008\r\nimport_type=0\r\n"
                           "in_file_jet=/data/j.db\r\n\r\n[MNK]\r\ncode=MNKI\r\n\r\n"));
    p.write("orx.ini", QStringLiteral("[database]\r\nodbc=orx1\r\nuser=\r\n"));
    qputenv("ORX_INI_DIR", p.dir.path().toUtf8());
    auto w = p.start();
    qunsetenv("ORX_INI_DIR");
    EXPECT_EQ(QStringList({w->orxIniSource, w->orxIniUser, w->orxIniPassword}),
              QStringList({"orx1", "qzv", "qzv"}));
    EXPECT_EQ(listedCodes(*w), QStringList({"MNK", "PET"}));
    EXPECT_EQ(QStringList({w->curCode, w->curSta}), QStringList({"MNK", "MNKI"}));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale - БДСТБЮЛ - MNKI, MNK"));
    EXPECT_FALSE(w->hlp->isVisibleTo(w.get()));

    // The station's import choices are the import page's (tests/exchange, with the page installed).
    w->SelectStationByCode(QStringLiteral("PET"), true);
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

// Settings files a Windows editor saved with a byte order mark, in UTF-8 or UTF-16, holding letters that
// windows-1251 lacks (and one beyond 16 bits): a start and close writes each back byte for byte, but for
// the settings the user changed.
TEST_F(MainWindow, SettingsFilesWithAByteOrderMark)
{
    const QString brenvale = u"[global]\r\neffects=0\r\nstation_code=PET\r\nsmtp_user=地震台\r\n"
                             u"mail_from=🌋@example.org\r\nstations=\r\nno_search=0\r\nsvset=0\r\nrepset=0\r\n"
                             u"expset=0\r\nnets_width=2\r\nshow_ts=0\r\nthreshold=1\r\nselect_data=1\r\n"
                             u"onlyfull=1\r\nmulti_name=_multi\r\nnet=\r\n\r\n"
                             u"[window]\r\nwinstate=norm\r\nwinwidth=1000\r\nwinheight=700\r\nwinx=20\r\n"
                             u"winy=30\r\n\r\n"_s;
    const QString stations =
        u"[PET]\r\nname=地震台 🌋\r\nfi=530123\r\nstart_date=01.11.2026\r\nend_date=02.11.2026\r\n"
        u"svodka_date=02.11.2026\r\nsvodka_dir=/data/地震\r\nuseflag=0\r\ndperiod=1\r\n"
        u"exp_start_date=01.11.2026\r\nexp_end_date=02.11.2026 12:30:00\r\nexp_dir=/data/🌋\r\n"
        u"find_fstr=震\r\nfind_fopt=0\r\nfind_rfstr=\r\nfind_rstr=\r\nfind_ropt=0\r\nmails_global=1\r\n"
        u"mails_att=0\r\nmails_send=0\r\nmails_from=\r\nmails_recv=台@example.org\r\nmails_cc=\r\n"
        u"mails_subj=\r\nmaile_global=1\r\nmaile_send=0\r\nmaile_from=\r\nmaile_recv=\r\nmaile_cc=\r\n"
        u"maile_subj=🌋\r\n\r\n[地震台]\r\nname=一\r\n\r\n[🌋🌋]\r\nname=二\r\n\r\n[火山台]\r\nname=三\r\n\r\n"_s;
    const auto marked = [](QStringConverter::Encoding encoding, const QString &text) {
        QStringEncoder encode(encoding, QStringEncoder::Flag::WriteBom);
        return QByteArray(encode(text));
    };
    for (const auto encoding :
         {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        SCOPED_TRACE(QStringConverter::nameForEncoding(encoding));
        writeBytes(p.path("system/Brenvale.ini"), marked(encoding, brenvale));
        writeBytes(p.path("system/Stations.ini"), marked(encoding, stations));
        auto w = p.start();
        EXPECT_EQ(recorder.count(), 0);
        EXPECT_EQ(listedCodes(*w), QStringList({"PET", u"地震台"_s, u"火山台"_s, u"🌋🌋"_s}));
        EXPECT_EQ(w->windowTitle(), u"Brenvale - БДСТБЮЛ - 地震台 🌋 (PET, PET)"_s);
        EXPECT_EQ(w->sett.smtp_user, u"地震台"_s);
        // What the user changes is all that changes.
        w->sett.multi_name = u"多 🌋"_s;
        w->sett.find_fstr = u"火山"_s;
        ASSERT_TRUE(w->close());
        w.reset();
        EXPECT_EQ(readBytes(p.path("system/Brenvale.ini")),
                  marked(encoding, QString(brenvale).replace(u"multi_name=_multi"_s, u"multi_name=多 🌋"_s)));
        EXPECT_EQ(readBytes(p.path("system/Stations.ini")),
                  marked(encoding, QString(stations).replace(u"find_fstr=震"_s, u"find_fstr=火山"_s)));

        // Another file joined to the stations file, its mark at the start of a line: its station is
        // listed, and kept apart from the one before it.
        writeBytes(p.path("system/Stations.ini"),
                   marked(encoding, stations) + marked(encoding, u"[MNK]\r\nname=Мыс\r\n"_s));
        w = p.start();
        EXPECT_EQ(listedCodes(*w), QStringList({"MNK", "PET", u"地震台"_s, u"火山台"_s, u"🌋🌋"_s}));
        ASSERT_TRUE(w->close());
        w.reset();
        EXPECT_EQ(readBytes(p.path("system/Stations.ini")),
                  marked(encoding, stations + u"[MNK]\r\nname=Мыс\r\n\r\n"_s));
    }
}

// A window started without the import page (as here, below the page's library) starts, changes station
// and closes without it; whatever asks for the import state then fails loudly, and the station's import
// keys stay in Stations.ini as they were.
TEST_F(MainWindow, WithoutAnImportPageImportCallsThrowAndKeysStay)
{
    const QString stations =
        QStringLiteral("[PET]\r\nimport_type=0\r\nin_file_jet=/data/j.db\r\nintxt_imm=0\r\n\r\n"
                       "[MNK]\r\ncode=MNKI\r\n\r\n");
    auto w = p.startWith(QString(), stations);
    ASSERT_EQ(w->importPage(), nullptr);
    w->SelectStationByCode(QStringLiteral("PET"), true);
    EXPECT_EQ(w->curCode, QStringLiteral("PET"));
    EXPECT_TRUE(w->Edit5->text().isEmpty());

    const std::pair<const char *, std::function<void()>> calls[] = {
        {"GetImportType", [&] { w->GetImportType(); }},
        {"SetImportType", [&] { w->SetImportType(0); }},
        {"gridLock", [&] { w->gridLock(); }},
        {"ClearImportGrid", [&] { w->ClearImportGrid(true); }},
        {"SetupImportControls", [&] { w->SetupImportControls(); }},
        {"UpdateImportControls", [&] { w->UpdateImportControls(); }},
        {"SetImmediateMode", [&] { w->SetImmediateMode(true); }},
        {"UpdateELQButton", [&] { w->UpdateELQButton(); }},
        {"LoadSpec", [&] { w->LoadSpec(QStringLiteral("PET"), false); }},
        {"SaveSpec", [&] { w->SaveSpec(QStringLiteral("PET")); }},
    };
    for (const auto &[name, call] : calls)
        EXPECT_THROW(call(), std::logic_error) << name;

    w->SelectStationByCode(QStringLiteral("MNK"), true);
    ASSERT_TRUE(w->close());
    const QString saved = p.read("system/Stations.ini");
    for (const char *key : {"import_type=0\r\n", "in_file_jet=/data/j.db\r\n", "intxt_imm=0\r\n"})
        EXPECT_EQ(saved.count(QString::fromLatin1(key)), 1) << key;
    for (const char *key : {"smpjet=", "add_event="})
        EXPECT_FALSE(saved.contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(recorder.count(), 0);
}

TEST_F(MainWindow, Caption)
{
    const struct
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

// A settings file that cannot be used is reported at the start, never replaced, and the window still
// opens and closes.
TEST_F(MainWindow, UnusableSettingsFileIsReportedAndKept)
{
    const QByteArray garbage("\x00\x9C\xFFPK\x03\x04 \xD1\xF2\r\n\x01", 14);
    const QString noSection = QStringLiteral(": в нём нет ни одного раздела");
    const struct
    {
        const char *file;
        QByteArray bytes; // empty: a folder in the file's place
        QString ending;
    } cases[] = {
        {"system/Brenvale.ini", "[global]\r\nstation_code=PET\r\n\r\n[font_main]\r\ncolor=zz\r\n\r\n", {}},
        {"system/Brenvale.ini", garbage, noSection},
        {"system/Stations.ini", garbage, noSection},
        {"system/Brenvale.ini", {}, {}},
    };
    for (const auto &c : cases) {
        Program q;
        if (QByteArray(c.file).endsWith("Stations.ini"))
            q.writeGlobal();
        if (c.bytes.isEmpty())
            QDir().mkpath(q.path(c.file));
        else
            writeBytes(q.path(c.file), c.bytes);
        recorder.clear();
        auto w = q.start();
        ASSERT_EQ(recorder.count(), 1) << c.file;
        EXPECT_TRUE(recorder.last().text.startsWith(QStringLiteral("InitMain: "))) << c.file;
        EXPECT_TRUE(recorder.last().text.endsWith(c.ending)) << recorder.last().text.toStdString();
        EXPECT_EQ(recorder.last().icon, 16u);
        EXPECT_TRUE(w->initFailed && !w->initializing && w->isEnabled()) << c.file;
        EXPECT_EQ(ControlTag(w->Edit2), 0);
        EXPECT_EQ(w->pgc1->count(), 6);
        w->show();
        EXPECT_TRUE(w->close()); // closes at once
        w.reset();
        if (!c.bytes.isEmpty()) {
            EXPECT_EQ(readBytes(q.path(c.file)), c.bytes) << c.file;
        }
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
    const auto restore = qScopeGuard([&] { ErrorMessageProc = saved; });
    ErrorMessageProc = MsgBox;
    auto w = p.start();
    const Fn *installed = ErrorMessageProc.target<Fn>();
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(*installed, &GfxMessageDlg);
}

TEST_F(MainWindow, ConnectionsFollowTheSettings)
{
    p.writeGlobal(QStringLiteral("out_provider=0\r\nstart_mode=1\r\n"));
    auto w = p.start();
    Tdm &dm = p.dm;
    EXPECT_EQ(dm.dbs->Provider(), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_TRUE(w->Edit6->isVisibleTo(w->TabSheet4));

    QString from, to;
    const TDateTime noon = EncodeDate(2024, 1, 1) + 0.5;
    w->SqlDateRange(from, to, noon, noon + 1);
    EXPECT_EQ(QStringList({from, to}), QStringList({"45292", "45293"}));
    // Direct mode reaches the ORX database through ODBC whatever the file setting says.
    w->sett.start_mode = 0;
    w->sett.directORXwr = true;
    w->SqlDateRange(from, to, noon, noon);
    EXPECT_EQ(from, QStringLiteral("{d '2024-01-01'}"));
    w->SetupConnections();
    EXPECT_EQ(w->Label27->text(), QStringLiteral("2. *ORX*"));
    EXPECT_EQ(dm.dbs->Provider(), QStringLiteral("MSDASQL"));
    EXPECT_FALSE(w->Edit6->isVisibleTo(w->TabSheet4));
    // The ORX-only mode imports into the ORX database: the import page names no bulletin file.
    w->sett.start_mode = 1;
    w->sett.fullorx = true;
    w->SetupConnections();
    EXPECT_EQ(w->Label27->text(), QStringLiteral("2. *ORX*"));
    EXPECT_EQ(dm.dbs->Provider(), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_FALSE(w->Edit6->isVisibleTo(w->TabSheet4));
    EXPECT_FALSE(w->dss->isVisibleTo(w->TabSheet4));
}

TEST(FadeAnimation, EqualEndsTakeTheFullRange)
{
    QWidget form;
    FadeAnimation fade;
    fade.StartAnimation(1, {100, 100, 0, 0}, &form);
    fade.tick();
    EXPECT_EQ(fade.alpha(), 0);
    int ticks = 0;
    for (; fade.fading() && ticks < 300; ++ticks)
        fade.tick();
    EXPECT_EQ(ticks, 255);
    EXPECT_EQ(fade.alpha(), 255);
}

} // namespace
