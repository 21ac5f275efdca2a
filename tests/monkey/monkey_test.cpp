#include "monkey.h"

#include "db/jet_sqlite.h"
#include "lib/messages.h"
#include "support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Asks its function before the window it watches closes: false keeps the window open.
struct CloseQuestion : QObject
{
    std::function<bool()> ask;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Close || !ask || ask())
            return false;
        event->ignore();
        return true;
    }
};

// A window with a control of every kind the monkey drives; each tells the journal what reached it.
struct Playground
{
    QWidget window;
    CloseQuestion closing;
    QStringList journal;
    TestDir folders;
    QString readFolder = folders.file(QStringLiteral("demo"));
    QString writeFolder = folders.file(QStringLiteral("out"));
    bool inTransfer = false, inReport = false;
    int duringTransfer = 0, duringReport = 0;
    std::function<void()> special; // what the button "special" does

    Playground()
    {
        QDir().mkpath(readFolder + QStringLiteral("/data"));
        QDir().mkpath(writeFolder);
        writeBytes(readFolder + QStringLiteral("/data/PET.mdb"), "not for the dialogs");
        writeBytes(readFolder + QStringLiteral("/events.txt"), "1;2;3\r\n");
        window.setObjectName(QStringLiteral("playground"));
        window.installEventFilter(&closing);
        window.resize(700, 900);
        auto *layout = new QVBoxLayout(&window);
        auto *plain = button(layout, "plain");
        Q_UNUSED(plain);
        button(layout, "disabled")->setEnabled(false);
        button(layout, "hidden")->hide();
        // A transfer keeps input out while it works; a report lets it in.
        QObject::connect(button(layout, "transfer"), &QPushButton::clicked, [this] {
            inTransfer = true;
            for (int i = 0; i < 30; ++i)
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            inTransfer = false;
        });
        QObject::connect(button(layout, "report"), &QPushButton::clicked, [this] {
            inReport = true;
            for (int i = 0; i < 30; ++i)
                QApplication::processEvents();
            inReport = false;
        });
        QObject::connect(button(layout, "dialog"), &QPushButton::clicked, [this] {
            QDialog dialog(&window);
            auto *l = new QVBoxLayout(&dialog);
            auto *edit = new QLineEdit(&dialog);
            l->addWidget(edit);
            auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
            QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
            QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
            l->addWidget(box);
            journal << QStringLiteral("dialog %1").arg(dialog.exec());
        });
        QObject::connect(button(layout, "save"), &QPushButton::clicked, [this] {
            journal << QStringLiteral("save ") +
                           QFileDialog::getSaveFileName(&window, QStringLiteral("Сохранить"), QString(),
                                                        QStringLiteral("Отчёты (*.htm)"));
        });
        QObject::connect(button(layout, "open"), &QPushButton::clicked, [this] {
            journal << QStringLiteral("open ") +
                           QFileDialog::getOpenFileName(&window, QStringLiteral("Открыть"));
        });
        QObject::connect(button(layout, "special"), &QPushButton::clicked, [this] {
            if (special)
                special();
        });

        auto *check = new QCheckBox(QStringLiteral("check"), &window);
        layout->addWidget(check);
        QObject::connect(check, &QCheckBox::toggled,
                         [this](bool on) { note(QStringLiteral("check %1").arg(on)); });
        auto *edit = new QLineEdit(&window);
        edit->setObjectName(QStringLiteral("edit"));
        layout->addWidget(edit);
        QObject::connect(edit, &QLineEdit::textEdited,
                         [this](const QString &) { note(QStringLiteral("edit")); });
        auto *combo = new QComboBox(&window);
        combo->addItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
        layout->addWidget(combo);
        QObject::connect(combo, &QComboBox::activated,
                         [this](int i) { note(QStringLiteral("combo %1").arg(i)); });
        auto *list = new QListWidget(&window);
        for (int i = 0; i < 50; ++i)
            list->addItem(QStringLiteral("item %1").arg(i));
        layout->addWidget(list);
        QObject::connect(list, &QListWidget::itemClicked,
                         [this](QListWidgetItem *) { note(QStringLiteral("list")); });
        auto *table = new QTableWidget(20, 3, &window);
        layout->addWidget(table);
        QObject::connect(table, &QTableWidget::cellClicked,
                         [this](int, int) { note(QStringLiteral("table")); });
        auto *tabs = new QTabWidget(&window);
        tabs->addTab(new QWidget, QStringLiteral("first"));
        auto *locked = new QWidget;
        auto *lockedButton = new QPushButton(QStringLiteral("locked"), locked);
        QObject::connect(lockedButton, &QPushButton::clicked, [this] { note(QStringLiteral("locked")); });
        tabs->addTab(locked, QStringLiteral("locked"));
        tabs->setTabEnabled(1, false);
        tabs->addTab(new QWidget, QStringLiteral("third"));
        layout->addWidget(tabs);
        QObject::connect(tabs, &QTabWidget::currentChanged,
                         [this](int i) { note(QStringLiteral("tab %1").arg(i)); });
    }

    QPushButton *button(QVBoxLayout *layout, const char *name)
    {
        auto *b = new QPushButton(QString::fromLatin1(name), &window);
        b->setObjectName(QString::fromLatin1(name));
        layout->addWidget(b);
        QObject::connect(b, &QPushButton::clicked, [this, name] { note(QString::fromLatin1(name)); });
        return b;
    }

    void note(const QString &what)
    {
        duringTransfer += inTransfer ? 1 : 0;
        duringReport += inReport ? 1 : 0;
        journal << what;
    }
    // What reached the controls, without the details.
    bool reached(const QString &what) const
    {
        return std::any_of(journal.cbegin(), journal.cend(),
                           [&](const QString &j) { return j.startsWith(what); });
    }
};

struct Outcome
{
    QStringList log;
    QStringList failures;
    int actions = 0;
};

// Runs a monkey on the playground until it has closed the window (or failed); atEnd is given the monkey
// then.
Outcome runMonkey(Playground &p, MonkeyConfig config, const std::function<void(Monkey &)> &atEnd = {})
{
    config.readFolder = p.readFolder;
    config.writeFolder = p.writeFolder;
    config.mainClosePerMille = 0;
    Outcome outcome;
    ActionLog log(1000000);
    Monkey monkey(config, log, [&](const QString &reason) { outcome.failures << reason; });
    const MessageProcType oldMessage = MessageProc, oldError = ErrorMessageProc;
    MessageProc = [&](QWidget *, const QString &text, unsigned icon, unsigned buttons) {
        return monkey.answer(text, icon, buttons);
    };
    ErrorMessageProc = MessageProc;
    monkey.setMainWindow(&p.window);
    p.window.show();
    monkey.start();
    QEventLoop loop;
    QTimer poll;
    // Only a monkey that stopped acting altogether meets this: a run of a few hundred actions takes
    // seconds.
    constexpr qint64 stuckMs = 300000;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!p.window.isVisible() || monkey.failed() || clock.elapsed() > stuckMs) {
            // A monkey that stopped leaves the dialog it was in: close it, as the program would end.
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
    MessageProc = oldMessage;
    ErrorMessageProc = oldError;
    EXPECT_LT(clock.elapsed(), stuckMs) << "the monkey did not finish";
    if (atEnd)
        atEnd(monkey);
    outcome.log = log.last();
    outcome.actions = monkey.actions();
    return outcome;
}

MonkeyConfig config(quint64 seed, int actions)
{
    MonkeyConfig c;
    c.seed = seed;
    c.actions = actions;
    // The actions end the run, however slowly a busy machine does them.
    c.seconds = 86400;
    return c;
}

} // namespace

TEST(Monkey, DrivesEveryKindOfControlAndClosesTheWindowAtTheEnd)
{
    Playground p;
    const Outcome o = runMonkey(p, config(1, 500));
    EXPECT_EQ(o.failures, QStringList());
    EXPECT_EQ(o.actions, 500);
    EXPECT_TRUE(o.log.contains(QStringLiteral("-- winding down after 500 actions")));
    EXPECT_FALSE(p.window.isVisible());
    for (const char *kind :
         {"plain", "check", "edit", "combo", "list", "table", "tab 2", "dialog", "save", "open"})
        EXPECT_TRUE(p.reached(QString::fromLatin1(kind))) << kind;
    // Nothing the analyst cannot reach: a disabled or hidden button, one on a disabled tab.
    for (const char *kind : {"disabled", "hidden", "locked", "tab 1"})
        EXPECT_FALSE(p.reached(QString::fromLatin1(kind))) << kind;
}

TEST(Monkey, ASeedGivesOneActionSequence)
{
    Playground first, again, other;
    const Outcome a = runMonkey(first, config(3, 300));
    const Outcome b = runMonkey(again, config(3, 300));
    const Outcome c = runMonkey(other, config(4, 300));
    // The file dialogs name the run's own folders.
    const auto same = [](QStringList lines, const Playground &p) {
        return lines.replaceInStrings(p.folders.path(), QStringLiteral("<run>"));
    };
    EXPECT_EQ(same(a.log, first), same(b.log, again));
    EXPECT_EQ(same(first.journal, first), same(again.journal, again));
    EXPECT_NE(same(a.log, first), same(c.log, other));
}

// Winding down, the monkey agrees to close without the changes the window could not write; any other
// message then still takes the way out.
TEST(Monkey, WindingDownAgreesToCloseWithoutTheUnwrittenChanges)
{
    Playground p;
    int refused = 0;
    p.closing.ask = [&] {
        if (MessageProc(&p.window,
                        QStringLiteral("Изменения на странице \"Параметры землетрясения\" не записаны в базу "
                                       "данных.\rЗакрыть программу без них?"),
                        MB_ICONQUESTION, MB_YESNO | MB_DEFBUTTON2) == IDYES)
            return true;
        return ++refused == 3; // a monkey that refuses is let go, so that the test ends
    };
    QList<int> after;
    const Outcome o = runMonkey(p, config(1, 100), [&](Monkey &m) {
        for (unsigned buttons : {MB_YESNO, MB_YESNOCANCEL, MB_OKCANCEL, MB_ABORTRETRYIGNORE})
            after << m.answer(QStringLiteral("Удалить?"), MB_ICONQUESTION, buttons);
    });
    EXPECT_EQ(o.failures, QStringList());
    EXPECT_EQ(refused, 0);
    EXPECT_FALSE(p.window.isVisible());
    EXPECT_EQ(after, (QList<int>{IDNO, IDCANCEL, IDCANCEL, IDABORT}));
}

// Input reaches the window inside a report's progress, which lets it in, and never inside a transfer's.
TEST(Monkey, ActsOnlyWhereTheProgramLetsInputIn)
{
    Playground p;
    const Outcome o = runMonkey(p, config(5, 600));
    ASSERT_TRUE(p.reached(QStringLiteral("transfer")));
    ASSERT_TRUE(p.reached(QStringLiteral("report")));
    EXPECT_EQ(p.duringTransfer, 0);
    EXPECT_GT(p.duringReport, 0);
}

// The file dialogs get paths inside the run: new names in the write folder, existing files of the read
// folder other than the databases.
TEST(Monkey, FileDialogsAreAnsweredInsideTheRunsFolders)
{
    for (quint64 seed : {1, 2, 3}) {
        SCOPED_TRACE(seed);
        Playground p;
        MonkeyConfig c = config(seed, 400);
        c.databases = {p.readFolder + QStringLiteral("/data/PET.mdb")};
        c.checkEvery = 1000000;
        runMonkey(p, c);
        int answered = 0;
        for (const QString &j : std::as_const(p.journal)) {
            if (j.startsWith(QStringLiteral("save /"))) {
                EXPECT_TRUE(j.startsWith(QStringLiteral("save ") + p.writeFolder + QLatin1Char('/')))
                    << j.toStdString();
                EXPECT_TRUE(j.endsWith(QStringLiteral(".htm"))) << j.toStdString();
                ++answered;
            }
            if (j.startsWith(QStringLiteral("open /"))) {
                EXPECT_EQ(j, QStringLiteral("open ") + p.readFolder + QStringLiteral("/events.txt"));
                ++answered;
            }
        }
        EXPECT_GT(answered, 0);
    }
}

TEST(Monkey, AnswersAMessageWithOneOfItsButtons)
{
    struct Case
    {
        unsigned buttons;
        QSet<int> answers;
    } cases[] = {
        {MB_OK, {IDOK}},
        {MB_OKCANCEL, {IDOK, IDCANCEL}},
        {MB_YESNO, {IDYES, IDNO}},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, {IDYES, IDNO, IDCANCEL}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
    };
    ActionLog log;
    Monkey monkey(MonkeyConfig(), log, [](const QString &) {});
    for (const Case &c : cases) {
        QSet<int> given;
        for (int i = 0; i < 100; ++i)
            given << monkey.answer(QStringLiteral("Удалить?"), MB_ICONQUESTION, c.buttons);
        EXPECT_EQ(given, c.answers) << c.buttons;
    }
    EXPECT_EQ(monkey.messages(), 600);
    // Each answer is recorded with the message.
    monkey.answer(QStringLiteral("Готово\rФайл записан"), MB_ICONINFORMATION, MB_OK);
    EXPECT_EQ(log.last().constLast(),
              QStringLiteral("   message [Информация] \"Готово⏎Файл записан\" -> OK"));
}

// A driver's English reaches the analyst as it came: noted, not failed; so would a conversion error said in
// English.
TEST(Monkey, NotesAMessageWithoutRussian)
{
    struct Case
    {
        const char *text;
        bool noted;
    } cases[] = {
        {"Cannot perform this operation on a closed dataset", true},
        {"FOREIGN KEY constraint failed", true},
        {"QExe: Команда\rdelete from [События]\rвызвала ошибку!\rFOREIGN KEY constraint failed", false},
        {"'31.02.2026' is not a valid date and time", true},
        {"'1.5e308' is not a valid integer value", true},
        {"'Ъ' is not a valid floating point value", true},
        {"OK", false},
        {"12345", false},
    };
    for (const Case &c : cases) {
        ActionLog log;
        Monkey monkey(MonkeyConfig(), log, [](const QString &) {});
        monkey.answer(QString::fromUtf8(c.text), MB_ICONERROR, MB_OK);
        EXPECT_EQ(monkey.notes(), c.noted ? QStringList{QStringLiteral("a message without Russian: \"%1\"")
                                                            .arg(QString::fromUtf8(c.text))}
                                          : QStringList())
            << c.text;
    }
}

TEST(Monkey, ADamagedDatabaseEndsTheRunWithItsProblems)
{
    Playground p;
    const QString path = p.folders.file(QStringLiteral("orx.db"));
    ASSERT_TRUE(writeBytes(path, QByteArray("SQLite format 3").append('\0').append(QByteArray(8192, 'x'))));
    MonkeyConfig c = config(1, 500);
    c.databases = {path};
    c.checkEvery = 10;
    const Outcome o = runMonkey(p, c);
    ASSERT_EQ(o.failures.size(), 1);
    // The check after the tenth action; an action that let input in may have had others inside it.
    const QRegularExpressionMatch m =
        QRegularExpression(
            QStringLiteral("^database check after action (\\d+) of (.*):\n  integrity_check failed: "
                           "file is not a database$"))
            .match(o.failures[0]);
    ASSERT_TRUE(m.hasMatch()) << o.failures[0].toStdString();
    EXPECT_EQ(m.captured(2), path);
    EXPECT_EQ(m.captured(1).toInt(), o.actions);
    EXPECT_GE(o.actions, 10);
    EXPECT_LT(o.actions, 20);
}

// A message while the program holds a database's write lock keeps another window or program waiting for
// as long as the message is open.
TEST(Monkey, AMessageUnderAWriteLockIsAFailure)
{
    struct Case
    {
        bool messageInsideTheWrite;
        LockCheck check;
        bool failure;
    } cases[] = {
        {true, LockCheck::Fail, true},
        {false, LockCheck::Fail, false},
        {true, LockCheck::Note, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.messageInsideTheWrite);
        Playground p;
        const QString path = p.folders.file(QStringLiteral("PET.mdb"));
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "create table t (a)", nullptr, nullptr, nullptr), SQLITE_OK);
        p.special = [&] {
            sqlite3_exec(db, "begin; insert into t values (1)", nullptr, nullptr, nullptr);
            if (!c.messageInsideTheWrite)
                sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
            MessageProc(&p.window, QStringLiteral("Не удалось записать"), MB_ICONERROR, MB_OK);
            if (c.messageInsideTheWrite)
                sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        };
        MonkeyConfig cfg = config(2, 400);
        cfg.databases = {path};
        cfg.lockCheck = c.check;
        const Outcome o = runMonkey(p, cfg);
        ASSERT_TRUE(p.reached(QStringLiteral("special")));
        EXPECT_EQ(o.failures,
                  c.failure ? QStringList{QStringLiteral(
                                              "the message \"Не удалось записать\" was shown while the write "
                                              "lock of %1 is held")
                                              .arg(path)}
                            : QStringList());
        sqlite3_close(db);
    }
}

extern "C" {
// Present when the sanitizers' runtime is linked in.
void __lsan_disable() __attribute__((weak));
void __lsan_enable() __attribute__((weak));
}

TEST(Monkey, AnExceptionLeavingAHandlerIsAFailure)
{
    // Qt's widget code is built without exceptions: what its frames held is lost when one passes through
    // them (the window's accessibility records among it). That is the fault the monkey reports; the test
    // keeps it out of the leak check.
    struct NoLeakCheck
    {
        NoLeakCheck()
        {
            if (__lsan_disable)
                __lsan_disable();
        }
        ~NoLeakCheck()
        {
            if (__lsan_enable)
                __lsan_enable();
        }
    } noLeakCheck;
    Playground p;
    p.special = [] { throw std::runtime_error("сбой записи"); };
    const Outcome o = runMonkey(p, config(2, 400));
    EXPECT_EQ(o.failures,
              QStringList{QStringLiteral("an exception escaped into the event loop: сбой записи")});
}
