#include "app/main/about_page.h"
#include "app/main/qt_translations.h"
#include "app/settings/settings_dialog.h"
#include "app_test_helpers.h"
#include "lib/control_routines.h"
#include "lib/epoch.h"

#include <QDialogButtonBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTableView>
#include <QTranslator>

// What the analyst sees of the windows' layout: controls that hold their texts whole, the ORX page's
// grids reaching the page's edges, the filter drop-down that goes away with the focus, Qt's own
// dialogs in Russian, and the help link that says when it opens nothing.

namespace {

// Screen sizes the program runs on; the main window takes its share of each.
const QSize kSizes[] = {QSize(787, 506), QSize(1050, 675)};

// The pixels a line edit has for its text, and what it shows with its cursor at the start and at the end:
// a text wider than its room scrolls, so the two ends lie less than the text's width apart.
int shownSpan(QLineEdit *edit)
{
    edit->setCursorPosition(int(edit->displayText().size()));
    const auto cursor = [edit] {
        edit->grab(); // the scroll is worked out while painting
        return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    };
    const int end = cursor();
    edit->setCursorPosition(0);
    return end - cursor();
}

// The filter grid's drop-down leaves when the focus does, and comes back on a click into its cell.
TEST(SettingsFilterCombo, HidesWhenTheFocusLeavesIt)
{
    ProgramWindow o;
    TSetts d(*o.w);
    d.show();
    QApplication::setActiveWindow(&d);
    const struct
    {
        const char *how;
        std::function<void()> act;
        bool stays;
    } cases[] = {
        {"its own list opens", [&] { d.cb->showPopup(); }, true},
        {"a tab to the next control", [&] { pressKey(d.cb, Qt::Key_Tab); }, false},
        {"a click on the OK button", [&] { d.okb->setFocus(Qt::MouseFocusReason); }, false},
        {"another page", [&] { d.pc->setCurrentIndex(2); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        d.pc->setCurrentIndex(1);
        d.sg->setCurrentCell(0, 1);
        d.sg->setCurrentCell(0, 0);
        QApplication::processEvents();
        ASSERT_TRUE(d.cb->isVisibleTo(&d));
        ASSERT_TRUE(d.cb->hasFocus());
        c.act();
        QApplication::processEvents();
        d.cb->hidePopup();
        d.pc->setCurrentIndex(1);
        EXPECT_EQ(d.cb->isVisibleTo(&d), c.stays);
    }
    // Its cell is still the current one: a click there puts the drop-down back over it.
    d.pc->setCurrentIndex(1);
    ASSERT_FALSE(d.cb->isVisibleTo(&d));
    ASSERT_EQ(d.sg->currentColumn(), 0);
    const QRect cell = d.sg->visualRect(d.sg->model()->index(0, 0));
    mouseClick(d.sg->viewport(), cell.center());
    EXPECT_TRUE(d.cb->isVisibleTo(&d));
    EXPECT_EQ(d.cb->geometry(), cell);
}

// The ORX page on a database whose values are as long as the information system writes them.
class OrxPageLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *sql :
             {"create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,"
              "lddate date,orid integer,primary key (eventid))",
              "create table arrival (arid integer,nindex integer,eventid varchar(20),sta varchar(6),chan "
              "varchar(8),iphase varchar(8),itime float,amptime float,flag integer,primary key (arid))",
              "create table sitechan (sta varchar(6),chan varchar(8),descr varchar(50),primary key "
              "(sta,chan))"})
            orx.exec(sql);
        const double t = htoe(2026, 11, 30, 4, 30, 16.6);
        orx.exec("insert into origin (eventid,lat,lon,depth,origintime,orid) values "
                 "('20261130_043016_0001',-53.1234,-177.4567,33,?,1)",
                 {t});
        orx.exec("insert into arrival (arid,nindex,eventid,sta,chan,iphase,itime,amptime,flag) values "
                 "(1,1,'20261130_043016_0001','PET','SPZ','P',?,?,1)",
                 {t + 88.8, t + 99.9});
        o.useOrx(orx.source());
        o.addStation(QStringLiteral("PET"), QStringLiteral("PET"), QStringLiteral("Петропавловск"));
        Tmainf &w = *o.w;
        w.ApplyFullOrxMode();
        SetControlTag(w.select_data, 0);
        w.select_data->setChecked(true);
        SetControlTag(w.select_data, 1);
        w.onlyfull->setChecked(false);
        w.viewReload = true;
        w.RefreshADB();
        w.pgc1->setCurrentWidget(w.TabSheet6);
        w.show();
    }
    template <class T = QWidget> T *control(const char *name) { return named<T>(o.w->TabSheet6, name); }
    // The rectangle of a control in the coordinates of an ancestor.
    static QRect in(const QWidget *ancestor, const QWidget *w)
    {
        return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
    }
    void resize(const QSize &size)
    {
        o.w->resize(size);
        QApplication::processEvents();
    }

    ProgramWindow o;
    OrxDb<SqliteEnv> orx;
};

TEST_F(OrxPageLayout, GridsReachThePageEdgesAndTheButtonsStayAtTheRight)
{
    QWidget *page = o.w->TabSheet6;
    auto *pc2 = control<QTabWidget>("pc2");
    auto *view = control("TabSheet8");
    auto *dbgo1 = control<QTableView>("dbgo1");
    auto *dbga1 = control<QTableView>("dbga1");
    auto *close = control<QPushButton>("BitBtn18");
    int eventsHeight = -1, arrivalsHeight = -1;
    for (const QSize &size : kSizes) {
        SCOPED_TRACE(size.width());
        resize(size);
        ASSERT_TRUE(page->isVisible() && view->isVisible());
        const QRect pc = in(page, pc2);
        EXPECT_EQ(pc.right(), page->width() - 1);
        EXPECT_EQ(pc.bottom(), page->height() - 1);
        EXPECT_EQ(in(page, close).right(), page->width() - 1 - 4);
        EXPECT_LT(in(page, close).bottom(), pc.top()) << "the buttons stand above the grids";
        const QRect events = in(view, dbgo1), arrivals = in(view, dbga1);
        EXPECT_EQ(events.width(), view->width() - 4);
        EXPECT_EQ(arrivals.width(), events.width());
        EXPECT_EQ(arrivals.bottom(), view->height() - 1 - 4);
        EXPECT_GT(arrivals.top(), events.bottom());
        // The events' grid keeps its height; the arrivals' grid takes what the window adds.
        if (eventsHeight >= 0) {
            EXPECT_EQ(events.height(), eventsHeight);
            EXPECT_GT(arrivals.height(), arrivalsHeight);
        }
        eventsHeight = events.height();
        arrivalsHeight = arrivals.height();
        // No control of either inner page is squeezed below the size it needs; the edit page scrolls.
        for (const int shownPage : {0, 1}) {
            pc2->setCurrentIndex(shownPage);
            QApplication::processEvents();
            for (QWidget *w : page->findChildren<QWidget *>()) {
                const QString name = w->objectName();
                if (!w->isVisible() || name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
                    name.startsWith(QLatin1String("TabSheet")) || qobject_cast<QAbstractItemView *>(w) ||
                    qobject_cast<QTabWidget *>(w))
                    continue;
                QSize need = w->minimumSizeHint();
                // The navigation buttons are only as wide as their signs, not a word as the style has it.
                if (auto *b = qobject_cast<QPushButton *>(w); b && b->text().size() <= 2)
                    need.setWidth(b->fontMetrics().horizontalAdvance(b->text()) + 8);
                EXPECT_GE(w->width(), need.width()) << name.toStdString();
                EXPECT_GE(w->height(), need.height()) << name.toStdString();
            }
        }
        pc2->setCurrentIndex(0);
    }
}

TEST_F(OrxPageLayout, ValuesShowWhole)
{
    EXPECT_EQ(o.rec.count(), 0) << o.rec.last().text.toStdString();
    const struct
    {
        const char *grid, *column, *text;
    } cells[] = {
        {"dbgo1", "eventid", "20261130_043016_0001"},
        {"dbgo1", "lat", "-53.1234"},
        {"dbgo1", "lon", "-177.4567"},
        {"dbgo1", "origintime", "30.11.2026 04:30:16.6"},
        {"dbga1", "eventid", "20261130_043016_0001"},
        {"dbga1", "itime", "30.11.2026 04:31:45.4"},
        {"dbga1", "amptime", "30.11.2026 04:31:56.5"},
    };
    for (const QSize &size : kSizes) {
        resize(size);
        for (const auto &c : cells) {
            SCOPED_TRACE(std::string(c.grid) + "." + c.column);
            auto *grid = control<QTableView>(c.grid);
            const QAbstractItemModel *m = grid->model();
            int column = -1;
            for (int i = 0; i < m->columnCount(); ++i)
                if (m->headerData(i, Qt::Horizontal).toString() == QLatin1String(c.column))
                    column = i;
            ASSERT_GE(column, 0);
            const QString text = QString::fromLatin1(c.text);
            if (text.contains(QLatin1Char(':')))
                EXPECT_EQ(text.size(), 21); // the epoch text's fixed shape
            else
                EXPECT_EQ(m->data(m->index(0, column)).toString(), text);
            // Drawn 2 pixels from the cell's left, cleared to its right.
            EXPECT_GE(grid->columnWidth(column), grid->fontMetrics().horizontalAdvance(text) + 4);
        }
        // The edit page's time edits show the whole value, day first.
        auto *pc2 = control<QTabWidget>("pc2");
        pc2->setCurrentIndex(1);
        QApplication::processEvents();
        for (const char *name : {"MaskEdit1", "MaskEdit3", "MaskEdit2"}) {
            SCOPED_TRACE(name);
            auto *edit = control<QLineEdit>(name);
            EXPECT_EQ(shownSpan(edit), edit->fontMetrics().horizontalAdvance(edit->displayText()));
        }
        EXPECT_EQ(control<QLineEdit>("MaskEdit1")->displayText(), QStringLiteral("30.11.2026 04:30:16.6"));
        pc2->setCurrentIndex(0);
    }
}

// The station list's columns hold the longest name; with too little room for even one, it scrolls.
TEST(StationListLayout, NamesShowWhole)
{
    ProgramWindow o;
    Tmainf &w = *o.w;
    w.sett.shownames = 1;
    const QString longest = QStringLiteral("Петропавловск-Камчатский (обсерватория)");
    o.addStation(QStringLiteral("PET"), QStringLiteral("PET"), longest);
    o.addStation(QStringLiteral("OBN"), QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    o.addStation(QStringLiteral("XXX"), QStringLiteral("XXX"), QString()); // no name: its code, bold
    w.pgc1->setCurrentWidget(w.TabSheet2);
    w.show();
    for (const QSize &size : kSizes) {
        SCOPED_TRACE(size.width());
        w.resize(size);
        QApplication::processEvents();
        for (int i = 0; i < w.stas->count(); ++i) {
            QListWidgetItem *item = w.stas->item(i);
            QStyleOptionViewItem opt;
            opt.initFrom(w.stas);
            opt.rect = w.stas->visualItemRect(item);
            opt.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
            const QRect text = w.stas->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, w.stas);
            QFont font = w.stas->font();
            const QString shown = i == 0   ? longest
                                  : i == 1 ? QStringLiteral("Обнинск")
                                           : QStringLiteral("XXX");
            font.setBold(i == 2);
            // The dividing line is drawn in the item's last pixel but one.
            EXPECT_GE(opt.rect.right() - 1 - text.left(), QFontMetrics(font).horizontalAdvance(shown)) << i;
        }
        EXPECT_GE(w.stas->gridSize().width(), 105);
    }
}

// On the small screen of 1050x675 the main window opens as large as its pages want, so none of their
// controls is squeezed below what it needs and every label shows whole; on a larger one it takes three
// quarters, as before.
TEST(MainWindowLayout, OpensToFitItsScreen)
{
    for (const QRect &area : {QRect(0, 0, 1050, 675), QRect(0, 0, 1400, 900)}) {
        SCOPED_TRACE(area.width());
        Program p;
        p.writeGlobal(QStringLiteral("start_mode=1\r\n"));
        MessageRecorder rec;
        auto w = p.start({}, area);
        w->show();
        QApplication::processEvents();
        EXPECT_LE(w->width(), area.width());
        EXPECT_LE(w->height(), area.height());
        EXPECT_GE(w->width(), area.width() * 3 / 4);
        EXPECT_GE(w->height(), area.height() * 3 / 4);
        for (int i = 0; i < w->pgc1->count(); ++i) {
            if (!w->pgc1->isTabVisible(i))
                continue;
            w->pgc1->setCurrentIndex(i);
            QApplication::processEvents();
            QWidget *page = w->pgc1->widget(i);
            SCOPED_TRACE(w->pgc1->tabText(i).toStdString());
            EXPECT_GE(page->width(), page->minimumSizeHint().width());
            EXPECT_GE(page->height(), page->minimumSizeHint().height());
            // The screen has room for every page whole: none opens scrolled.
            for (QScrollArea *scroll : page->findChildren<QScrollArea *>()) {
                if (!scroll->isVisible() || !scroll->widget())
                    continue;
                EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << scroll->objectName().toStdString();
                EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << scroll->objectName().toStdString();
            }
            for (QWidget *c : page->findChildren<QWidget *>()) {
                const std::string name = c->objectName().toStdString();
                if (!c->isVisible() || name.empty() || name.starts_with("qt_"))
                    continue;
                // A text shows whole: a button's, and each line of a label's.
                QString text;
                int room = c->contentsRect().width();
                if (auto *button = qobject_cast<QAbstractButton *>(c)) {
                    text = button->text();
                } else if (auto *label = qobject_cast<QLabel *>(c)) {
                    if (!label->wordWrap() && !label->text().contains(QLatin1Char('<')))
                        text = label->text();
                } else {
                    EXPECT_GE(c->width(), c->minimumSizeHint().width()) << name;
                }
                for (const QString &line : text.split(QLatin1Char('\n')))
                    EXPECT_GE(room, c->fontMetrics().horizontalAdvance(line)) << name;
            }
        }
    }
}

// Standard buttons, and the file, font and colour choosers, in Russian.
TEST(QtTranslations, QtsOwnDialogsSpeakRussian)
{
    QTranslator translator;
    ASSERT_TRUE(LoadQtTranslations(translator)) << "qtbase_ru missing: scripts/install-deps installs it";
    EXPECT_EQ(translator.translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    QApplication::installTranslator(&translator);
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    const QString cancel = box.button(QDialogButtonBox::Cancel)->text();
    const QString save = box.button(QDialogButtonBox::Save)->text();
    QApplication::removeTranslator(&translator);
    EXPECT_EQ(QString(cancel).remove(QLatin1Char('&')), QStringLiteral("Отмена"));
    EXPECT_EQ(QString(save).remove(QLatin1Char('&')), QStringLiteral("Сохранить"));
}

// A help document missing from the program folder, or one the desktop has no program for, is named.
TEST(HelpLink, SaysWhatCouldNotBeOpened)
{
    ProgramWindow o;
    auto saved = HelpDocumentOpener();
    int asked = 0;
    bool opens = false;
    HelpDocumentOpener() = [&](QWidget *, const QString &) {
        ++asked;
        return opens;
    };
    const QString file = QFileInfo(o.path("Brenvale.doc")).absoluteFilePath();
    QWidget *link = named(o.w.get(), "Label32");
    mouseClick(link, QPoint(2, 2));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(shown(o.rec),
              QList<Shown>({{QStringLiteral("Не найден файл справки \"") + file + QStringLiteral("\"."),
                             MB_ICONERROR}}));
    o.rec.clear();
    o.write("Brenvale.doc", QStringLiteral("{\\rtf1}"));
    mouseClick(link, QPoint(2, 2));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(shown(o.rec), QList<Shown>({{QStringLiteral("Не удалось открыть файл справки \"") + file +
                                               QStringLiteral("\": не установлена программа, открывающая "
                                                              "файлы MS Word (*.doc)."),
                                           MB_ICONERROR}}));
    o.rec.clear();
    opens = true;
    mouseClick(link, QPoint(2, 2));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(o.rec.count(), 0);
    HelpDocumentOpener() = saved;
}

} // namespace
