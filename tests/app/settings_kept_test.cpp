// What the analyst set stays set: the settings files' keys before and after the actions that reload the
// main window, on the demo folder the program is tried on.

#include "app/settings/connection_dialog.h"
#include "app_test_helpers.h"
#include "demo_data.h"
#include "lib/ini_file.h"

#include <QRadioButton>
#include <QToolButton>

namespace {

// Every key of the two settings files as "file [section] key=value".
QStringList settingsKeys(const QString &folder)
{
    QStringList keys;
    for (const char *file : {"Brenvale.ini", "Stations.ini"}) {
        const IniFile ini(folder + QStringLiteral("/system/") + QLatin1String(file));
        for (const QString &section : ini.ReadSections())
            for (const QString &line : ini.ReadSectionValues(section))
                keys << QLatin1String(file) + QStringLiteral(" [") + section + QStringLiteral("] ") + line;
    }
    return keys;
}

// The keys of Before that After no longer holds with the same value, each with what After holds instead.
QStringList changedKeys(const QStringList &before, const QStringList &after)
{
    QStringList changed;
    for (const QString &line : before) {
        if (after.contains(line))
            continue;
        const QString key = line.left(line.indexOf(QLatin1Char('=')) + 1);
        QString now = QStringLiteral("<missing>");
        for (const QString &other : after)
            if (other.startsWith(key))
                now = other.mid(key.size());
        changed << line + QStringLiteral(" -> ") + now;
    }
    return changed;
}

// A demo folder with the main window on it, started as the program starts: the ORX database named in
// the demo's orx.ini, the first station current.
class SettingsKept : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DemoParams params;
        params.days = 2;
        params.eventsPerDay = 3;
        demo = GenerateDemoFolder(dir.path(), params);
        qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toUtf8());
        before = settingsKeys(dir.path());
        w = startMainWindow(dir.path());
    }
    void TearDown() override
    {
        w.reset();
        qunsetenv("ORX_INI_DIR");
    }

    // The connection dialog through its button; Answer works in it before OK.
    void connectionDialog(const std::function<void(Tcpar &)> &answer)
    {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<Tcpar *>(QApplication::activeModalWidget());
            if (!d)
                return;
            opened = true;
            answer(*d);
            d->Button1->click();
        });
        named<QPushButton>(w.get(), "Button26")->click();
        EXPECT_TRUE(opened);
    }
    QStringList changed() { return changedKeys(before, settingsKeys(dir.path())); }

    TestDir dir;
    DemoSummary demo;
    QStringList before;
    MessageRecorder messages;
    Tdm dm;
    std::unique_ptr<Tmainf> w;
};

TEST_F(SettingsKept, RefreshOfTheSourceListsKeepsTheOrxSource)
{
    QString shownAfterRefresh;
    connectionDialog([&](Tcpar &d) {
        d.brout->click();
        shownAfterRefresh = d.dsorx->currentText();
    });
    EXPECT_EQ(shownAfterRefresh, demo.orxPath);
    EXPECT_EQ(changed(), QStringList());
    EXPECT_EQ(w->sett.ORX_source, demo.orxPath);
    EXPECT_EQ(shown(messages), QList<Shown>());
}

TEST_F(SettingsKept, ReloadInTheBulletinModeKeepsTheNetwork)
{
    ASSERT_FALSE(w->sett.fullorx);
    named<QPushButton>(w.get(), "Button7")->click(); // "Обновить список"
    w.reset();
    EXPECT_EQ(changed(), QStringList());
    EXPECT_EQ(shown(messages), QList<Shown>());
}

// Ctrl with a click on the current station takes the list's selection away without choosing another
// one. The station stays current and selected, so a reload through the connection dialog keeps it
// rather than storing none and taking the first station of the list.
TEST_F(SettingsKept, DeselectedStationStaysCurrent)
{
    w->stas->setCurrentRow(listedCodes(*w).indexOf(QStringLiteral("MNK")));
    ASSERT_EQ(w->curCode, QStringLiteral("MNK"));
    QListWidget &list = *w->stas;
    const QPoint at = list.visualItemRect(list.currentItem()).center();
    for (const auto &[type, held] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                     std::pair{QEvent::MouseButtonRelease, Qt::NoButton}}) {
        QMouseEvent event(type, at, list.viewport()->mapToGlobal(at), Qt::LeftButton, held,
                          Qt::ControlModifier);
        QApplication::sendEvent(list.viewport(), &event);
    }
    EXPECT_EQ(w->curCode, QStringLiteral("MNK"));
    ASSERT_EQ(list.selectedItems().size(), 1);
    EXPECT_EQ(list.selectedItems().first()->text(), QStringLiteral("MNK"));

    connectionDialog([](Tcpar &d) { d.dir->setText(QStringLiteral("orx")); });
    EXPECT_EQ(w->curCode, QStringLiteral("MNK"));
    EXPECT_EQ(changed(), QStringList{QStringLiteral("Brenvale.ini [global] station_code=PET -> MNK")});
    EXPECT_EQ(shown(messages), QList<Shown>());
}

// The event filter of a station is read only in the ORX-only mode; switching into it must not write the
// pickers' own dates over the station's, on either back end of the ORX database.
template <class Env> class ModeSwitch : public SettingsKept
{
};
TYPED_TEST_SUITE(ModeSwitch, BothBackends, BackendName);

TYPED_TEST(ModeSwitch, IntoOrxOnlyKeepsTheStationsEventFilter)
{
    if (!TypeParam::available())
        GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
    OrxDb<TypeParam> server;
    // In the file's order.
    QStringList expected{QStringLiteral("Brenvale.ini [global] fullorx=0 -> 1")};
    if (TypeParam::odbc) {
        // The demo's stations and networks on the server.
        server.exec(kSiteTable);
        server.exec("create table networks (netname varchar(30),netlist varchar(255),primary key (netname))");
        for (const QString &code : this->demo.stationCodes)
            server.exec("insert into site (sta,cod) values (?,?)", {code, code});
        server.exec("insert into networks values ('Восток','PET;TLY;')");
        server.exec("insert into networks values ('Запад','MNK;OBN;KIV;ARU;')");
        expected.prepend(QStringLiteral("Brenvale.ini [global] orxini=1 -> 0"));
        expected << QStringLiteral("Brenvale.ini [global] ORX_source=") + this->demo.orxPath +
                        QStringLiteral(" -> ") + server.source();
    }
    ASSERT_EQ(this->w->curCode, QStringLiteral("PET"));
    this->connectionDialog([&](Tcpar &d) {
        d.rbd1->click();
        if (TypeParam::odbc) {
            d.orxini->click();
            d.dsorx->setEditText(server.source());
            d.dir->setText(server.user());
            d.stb->setText(server.password());
        }
    });
    ASSERT_TRUE(this->w->sett.fullorx);
    EXPECT_EQ(this->w->curCode, QStringLiteral("PET"));
    // The pickers show the station's filter: the demo's first day to the last second of its last one.
    const auto picked = [](const QDateEdit *date, const QTimeEdit *time) {
        return QDateTime(date->date(), time->time()).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    };
    EXPECT_EQ(picked(this->w->dat1, this->w->tim1), QStringLiteral("29.11.2026 00:00:00"));
    EXPECT_EQ(picked(this->w->dat2, this->w->tim2), QStringLiteral("30.11.2026 23:59:59"));
    this->w.reset();
    EXPECT_EQ(this->changed(), expected);
    EXPECT_EQ(shown(this->messages), QList<Shown>());
}

} // namespace
