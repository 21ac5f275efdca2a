// The program started on a freshly written demo folder, as scripts/run starts it.

#include "demo_data.h"
#include "tools/demo_program.h"

#include "app/main/fade_animation.h"
#include "app/settings/connection_dialog.h"
#include "app/settings/data_filters_dialog.h"
#include "app/settings/param_dialog.h"
#include "app/settings/settings_dialog.h"
#include "app/settings/startup_dialog.h"
#include "app/stations/station_editor.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "exchange/orv/orv_export_command.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange/page/import_page.h"
#include "exchange/text/data_format_dialog.h"
#include "lib/epoch.h"
#include "products/report_window.h"
#include "products/summary_command.h"
#include "products/summary_editor.h"
#include "support/program_env.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMetaMethod>
#include <QTextBrowser>
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

// What the copy from ORX writes into a station's bulletin database, in an order of its own keys (the
// counters of events and readings are left out; a measurement carries its reading's event and time).
QStringList bulletinRows(const QString &path)
{
    DbConnection db;
    db.SetProvider(u"Microsoft.Jet.OLEDB.4.0"_s);
    db.SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(path));
    db.Open(QString(), QString());
    QStringList rows;
    for (const QString &sql :
         {u"select num,[time],dec,lat,lon,depdp,deltagr,seaz,emares,Kps,comment,lddate from [События] "
          "order by num"_s,
          u"select N_equake,Station_Cod,[Date],[Time],[Dec],FM,Qual,Phase,Channel_name,Channel_Cod,"
          "Channel_component from [Станционный бюллетень] order by N_equake,[Time],[Dec]"_s,
          u"select "
          u"s.N_equake,s.[Time],s.[Dec],x.Channel_nameXM,x.Channel_CodXM,x.Channel_componentXM,x.TimeXM,"
          "x.DecXm,"
          "x.Period_NS,x.Amp_NS,x.Period_EW,x.Amp_EW,x.Period_Z,x.Amp_Z,x.Magnitude_Z,x.Klass_Z from "
          "[Динамические замеры] x,[Станционный бюллетень] s where x.arid=s.arid "
          "order by s.N_equake,s.[Time],s.[Dec]"_s}) {
        DbQuery q(&db);
        q.SetSQL(sql);
        q.Open();
        for (; !q.Eof(); q.Next()) {
            QStringList fields;
            for (int i = 0; i < q.FieldCount(); ++i)
                fields << (q.Field(i)->IsNull() ? u"<null>"_s : q.Field(i)->AsString().trimmed());
            rows << fields.join(u'|');
        }
        rows << u"--"_s;
    }
    return rows;
}

} // namespace

// The analyst's first run of the copy from ORX on a fresh demo, in its multi-station mode and its own
// period, for every station: the demo's bulletin is what the copy makes, so the run gives the same rows.
TEST(DemoStart, ImportFromOrxThroughTheButtonGivesTheDemosRows)
{
    DemoProgram p{DemoParams()};
    Tmainf *w = p.w.get();
    ASSERT_EQ(w->sett.start_mode, 1);
    auto *button = w->TabSheet1->findChild<QPushButton *>(u"Button9"_s);
    ASSERT_TRUE(button && button->isEnabled());
    QString lastReadingDay;
    {
        DbConnection orx;
        orx.SetProvider(u"MSDASQL"_s);
        orx.SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(p.demo.orxPath));
        orx.Open(QString(), QString());
        DbQuery last(&orx);
        last.SetSQL(u"select max(itime) from arrival"_s);
        last.Open();
        quint16 y, mo, d, h, mi, sec, tenths;
        etoh(last.Field(0)->AsFloat(), y, mo, d, h, mi, sec, tenths, false);
        lastReadingDay = QDate(y, mo, d).toString(u"dd.MM.yyyy"_s);
    }
    ASSERT_GE(lastReadingDay, u"01.12.2026"_s); // the case the period must cover
    for (int k = 0; k < p.demo.stationCodes.size(); ++k) {
        const QString code = p.demo.stationCodes[k];
        SCOPED_TRACE(code.toStdString());
        const QStringList demoRows = bulletinRows(p.demo.bulletinPaths[k]);
        ASSERT_GT(demoRows.size(), 10);
        {
            // A mark on every event the run must replace.
            DbConnection db;
            db.SetProvider(u"Microsoft.Jet.OLEDB.4.0"_s);
            db.SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(p.demo.bulletinPaths[k]));
            db.Open(QString(), QString());
            DbCommand mark(&db);
            mark.SetCommandText(u"update [События] set comment='до импорта'"_s);
            mark.Execute();
        }
        w->pgc1->setCurrentIndex(0);
        w->stas->setCurrentRow(listedCodes(*w).indexOf(code));
        ASSERT_EQ(w->curCode, code);
        w->pgc1->setCurrentIndex(1);

        // The first station twice: a run on the period it ran on before replaces it again.
        for (int run = 0; run < (k == 0 ? 2 : 1); ++run) {
            QString period;
            QTimer::singleShot(0, [&] {
                if (auto *dialog = qobject_cast<Tpar *>(QApplication::activeModalWidget())) {
                    period = dialog->Start_ORX->text() + u" - "_s + dialog->Stop_ORX->text();
                    dialog->Button1->click();
                }
            });
            button->click();
            // The demo's own period: its three weeks, to the end of the day of the last reading (the last
            // events' waves arrive after midnight).
            EXPECT_EQ(period, u"10.11.2026 00:00:00 - "_s + lastReadingDay + u" 23:59:59"_s);
            EXPECT_EQ(shown(p.recorder), QList<Shown>());
            p.recorder.clear();
            EXPECT_EQ(bulletinRows(p.demo.bulletinPaths[k]), demoRows);
        }
    }
}

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

// The bulletin mode reads a station's place from the station file: the demo gives every station its own,
// so the bulletin's head names it.
TEST(DemoStart, TheBulletinHeadNamesTheStationsPlace)
{
    DemoParams params;
    params.stations = 2;
    params.days = 3;
    DemoProgram p(params);
    Tmainf *w = p.w.get();
    ASSERT_EQ(w->curCode, u"PET"_s);
    w->pgc1->setCurrentIndex(1);
    auto *open = w->findChild<QPushButton *>(u"BitBtn12"_s);
    ASSERT_TRUE(open && open->isEnabled());
    open->click();
    TRepfrm *r = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<TRepfrm *>(top))
            r = window;
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->fi->displayText(), u"53° 1 ' 25\" N"_s);
    EXPECT_EQ(r->lamb->displayText(), u"158° 39' 0 \" E"_s);
    EXPECT_EQ(r->hval->text(), u"110"_s);
    r->mainbtn->click();
    ASSERT_TRUE(r->state().reportMade);
    const QString head = r->rwin->toPlainText();
    EXPECT_TRUE(head.contains(u"φ = 53° 1 ' 25\" N; λ = 158° 39' 0 \" E; H = 110 м"_s))
        << head.left(600).toStdString();
    r->close();
}
