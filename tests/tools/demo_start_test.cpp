// The program started on a freshly written demo folder, as scripts/run starts it.

#include "demo_data.h"

#include "app/main/fade_animation.h"
#include "app/settings/connection_dialog.h"
#include "app/settings/data_filters_dialog.h"
#include "app/settings/param_dialog.h"
#include "app/settings/settings_dialog.h"
#include "app/settings/startup_dialog.h"
#include "app/stations/station_editor.h"
#include "exchange/data_format_dialog.h"
#include "exchange/import_page.h"
#include "exchange/orv_export.h"
#include "exchange/orx_copy.h"
#include "products/report_window.h"
#include "products/summary_command.h"
#include "products/summary_editor.h"
#include "support/program_env.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMetaMethod>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// QObject::isSignalConnected is protected; a member pointer taken through a subclass reaches it legally.
struct SignalPeek : QObject
{
    static bool connected(const QObject *o, const QMetaMethod &signal)
    {
        return (o->*(&SignalPeek::isSignalConnected))(signal);
    }
};

bool listened(const QAbstractButton *b)
{
    if (b->isCheckable() && !qobject_cast<const QToolButton *>(b))
        return true; // check boxes and radio buttons are read, not listened to
    if (auto *t = qobject_cast<const QToolButton *>(b); t && (t->menu() || t->defaultAction()))
        return true;
    for (auto signal : {QMetaMethod::fromSignal(&QAbstractButton::clicked),
                        QMetaMethod::fromSignal(&QAbstractButton::pressed),
                        QMetaMethod::fromSignal(&QAbstractButton::released),
                        QMetaMethod::fromSignal(&QAbstractButton::toggled)}) {
        if (SignalPeek::connected(b, signal))
            return true;
    }
    return false;
}

QStringList idleControls(const QWidget &top)
{
    QStringList idle;
    for (const QAbstractButton *b : top.findChildren<QAbstractButton *>()) {
        // Buttons that belong to Qt's own composite widgets (spin boxes, tab bars, headers) are not ours.
        if (b->objectName().isEmpty() || b->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (b->isEnabled() && !listened(b))
            idle << b->objectName() + QLatin1String(" \"") + b->text() + QLatin1Char('"');
    }
    for (const QAction *a : top.findChildren<QAction *>()) {
        if (a->objectName().isEmpty() || a->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (a->isEnabled() && !a->menu() &&
            !SignalPeek::connected(a, QMetaMethod::fromSignal(&QAction::triggered)))
            idle << a->objectName() + QLatin1String(" \"") + a->text() + QLatin1Char('"');
    }
    return idle;
}

// The program as main() sets it up, on a demo folder: every command installed, the ORX database found
// through the demo's orx.ini, the window shown and its fade run to the end. No message may appear.
struct DemoProgram
{
    TestDir dir;
    DemoSummary demo;
    MessageRecorder recorder;
    std::unique_ptr<Tdm> dm;
    std::unique_ptr<Tmainf> w;

    explicit DemoProgram(const DemoParams &params) : demo(GenerateDemoFolder(dir.path(), params))
    {
        qputenv("ORX_INI_DIR", dir.file(u"system"_s).toUtf8());
        dm = std::make_unique<Tdm>();
        InstallSummaryCommand();
        InstallOrvExportCommand();
        InstallReportCommand();
        InstallOrxImportCommand();
        InstallDataFormatCommand();
        SetImportPageInstaller(&InstallImportPage);
        w = startMainWindow(dir.path());
        SetImportPageInstaller(nullptr);
        w->show();
        finishFade();
    }
    ~DemoProgram()
    {
        w.reset();
        dm.reset();
        qunsetenv("ORX_INI_DIR");
        for (const auto &m : recorder.messages())
            ADD_FAILURE() << m.text.toStdString();
    }
    // Runs the window's fade to its end, as its timer would.
    void finishFade()
    {
        for (int i = 0; i < 100 && w->fade().fading(); ++i)
            w->fade().tick();
    }
};
} // namespace

TEST(DemoStart, SwitchingStationsAndClosingShowNoMessage)
{
    DemoParams params;
    params.stations = 3;
    params.days = 2;
    params.eventsPerDay = 2;
    DemoProgram p(params);
    Tmainf *w = p.w.get();
    ASSERT_EQ(w->stas->count(), p.demo.stationCodes.size());
    // Every station once, then back to the first: each change saves the previous station's formats.
    QStringList visited;
    for (int row : {1, 2, 0}) {
        w->stas->setCurrentRow(row);
        w->StationChanged(true);
        EXPECT_EQ(w->curCode, w->stations.at(w->stas->item(row)->data(Qt::UserRole).toInt()).code);
        visited << w->curCode;
    }
    visited.sort();
    QStringList codes = p.demo.stationCodes;
    codes.sort();
    EXPECT_EQ(visited, codes);
    EXPECT_FALSE(w->close());
    p.finishFade();
    EXPECT_EQ(w->CloseAction, 2);
    for (const QString &code : p.demo.stationCodes)
        EXPECT_TRUE(QFileInfo::exists(p.dir.file(u"specs/%1.spe"_s.arg(code)))) << code.toStdString();
}

// An enabled button nobody listens to silently does nothing when the analyst presses it.
TEST(DemoStart, NoEnabledButtonIsIdle)
{
    DemoParams params;
    params.stations = 2;
    params.days = 1;
    params.eventsPerDay = 1;
    DemoProgram p(params);
    Tmainf *w = p.w.get();
    // Both working modes enable their own buttons.
    for (bool orx : {false, true}) {
        w->sett.fullorx = orx;
        w->UpdateELQButton();
        const QStringList idle = idleControls(*w);
        EXPECT_TRUE(idle.isEmpty()) << "mode " << orx << ": " << idle.join(u", "_s).toStdString();
    }
    // The windows and dialogs the main window opens.
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.emplace_back(std::make_unique<TStaEdit>(w, 0));
    windows.emplace_back(std::make_unique<Tpar>(w));
    windows.emplace_back(std::make_unique<Tfilt>(*w));
    windows.emplace_back(std::make_unique<TSetts>(*w));
    windows.emplace_back(std::make_unique<Tcpar>(*w));
    windows.emplace_back(std::make_unique<Tsveditor>(w, w->sett));
    windows.emplace_back(std::make_unique<TRepfrm>(*w, *p.dm));
    windows.emplace_back(std::make_unique<Tdfmtfrm>(w->fsLocal, w->curYear));
    windows.emplace_back(std::make_unique<Tstartupf>(w->sett, p.dir.file(u"system/Brenvale.ini"_s), [] {}));
    for (const auto &window : windows) {
        const QStringList idle = idleControls(*window);
        EXPECT_TRUE(idle.isEmpty()) << window->metaObject()->className() << ": "
                                    << idle.join(u", "_s).toStdString();
    }
}
