// Every button of the running program does something: an enabled button nobody listens to is a button
// that silently does nothing when the analyst presses it.

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

} // namespace

TEST(Controls, NoEnabledButtonIsIdle)
{
    TestDir dir;
    DemoParams params;
    params.stations = 2;
    params.days = 1;
    params.eventsPerDay = 1;
    GenerateDemoFolder(dir.path(), params);

    // As scripts/run starts it: the ORX database is found through the demo's orx.ini.
    qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toUtf8());
    MessageRecorder recorder;
    Tdm dm;
    InstallSummaryCommand();
    InstallOrvExportCommand();
    InstallReportCommand();
    InstallOrxImportCommand();
    InstallDataFormatCommand();
    SetImportPageInstaller(&InstallImportPage);
    auto w = startMainWindow(dir.path());
    SetImportPageInstaller(nullptr);
    w->show();
    for (int i = 0; i < 100 && w->fade().fading(); ++i)
        w->fade().tick();
    // Both working modes enable their own buttons.
    for (bool orx : {false, true}) {
        w->sett.fullorx = orx;
        w->UpdateELQButton();
        const QStringList idle = idleControls(*w);
        EXPECT_TRUE(idle.isEmpty()) << "mode " << orx << ": " << idle.join(QLatin1String(", ")).toStdString();
    }
    // The windows and dialogs the main window opens.
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.emplace_back(std::make_unique<TStaEdit>(w.get(), 0));
    windows.emplace_back(std::make_unique<Tpar>(w.get()));
    windows.emplace_back(std::make_unique<Tfilt>(*w));
    windows.emplace_back(std::make_unique<TSetts>(*w));
    windows.emplace_back(std::make_unique<Tcpar>(*w));
    windows.emplace_back(std::make_unique<Tsveditor>(w.get(), w->sett));
    windows.emplace_back(std::make_unique<TRepfrm>(*w, dm));
    windows.emplace_back(std::make_unique<Tdfmtfrm>(w->fsLocal, w->curYear));
    for (const auto &window : windows) {
        const QStringList idle = idleControls(*window);
        EXPECT_TRUE(idle.isEmpty()) << window->metaObject()->className() << ": "
                                    << idle.join(QLatin1String(", ")).toStdString();
    }
    for (const auto &m : recorder.messages())
        ADD_FAILURE() << m.text.toStdString();
    qunsetenv("ORX_INI_DIR");
}
