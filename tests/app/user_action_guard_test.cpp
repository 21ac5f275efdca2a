#include "app/main/user_action_guard.h"
#include "app_test_helpers.h"
#include "db/db_test_env.h"
#include "lib/errors.h"

#include <QMenu>
#include <QPushButton>

#include <optional>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define GUARD_TEST_LSAN 1
#endif
#endif

namespace {

// Qt's frames between the application's notify and a button's handler hold a few small things (a weak
// pointer's count on the button, a copy of the event point) that a failure unwinding through them cannot
// give back: that is the price of catching in notify, as Qt advises. The button is made and fails while
// this lives, so those stay out of the leak report.
struct QtFramesUnwound
{
#ifdef GUARD_TEST_LSAN
    QtFramesUnwound()
    {
        __lsan_disable();
    }
    ~QtFramesUnwound()
    {
        __lsan_enable();
    }
#endif
};

// A button whose action writes a row in a transaction of the data module's connection and, when told,
// runs out of memory half-way.
struct WritingButton
{
    TestDir dir;
    Tdm dm;
    QWidget window;
    QPushButton *button = new QPushButton(QStringLiteral("&Запись данных"), &window);
    bool failing = true;
    int finished = 0;

    WritingButton()
    {
        const QString path = dir.file(QStringLiteral("станция.mdb"));
        writeBytes(path, {});
        dm.dbs->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        dm.dbs->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
        dm.dbs->Open(QString(), QString());
        exec(*dm.dbs, "create table t (n integer)");
        window.setWindowTitle(QStringLiteral("Импорт"));
        button->resize(120, 30);
        window.show();
        QObject::connect(button, &QPushButton::clicked, [this] {
            dm.dbs->BeginTrans();
            exec(*dm.dbs, "insert into t (n) values (1)");
            if (failing)
                throw std::bad_alloc();
            dm.dbs->CommitTrans();
            ++finished;
        });
    }

    // A click as the application delivers it, through the guard.
    bool click()
    {
        const QPoint at = button->rect().center();
        mouse(button, QEvent::MouseButtonPress, at);
        QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        return DeliverGuarded(button, &release, [&] { return qApp->QApplication::notify(button, &release); });
    }

    int rows()
    {
        DbQuery q(dm.dbs);
        q.SetSQL(QStringLiteral("select count(*) from t"));
        q.Open();
        return int(q.Field(0)->AsLargeInt());
    }
};

TEST(UserActionGuard, AnAllocationFailureRollsTheActionBackAndIsTold)
{
    MessageRecorder rec;
    std::optional<QtFramesUnwound> unwound(std::in_place);
    WritingButton b;
    b.click();
    unwound.reset();
    EXPECT_FALSE(b.dm.dbs->InTransaction());
    EXPECT_EQ(b.rows(), 0);
    EXPECT_EQ(b.finished, 0);
    EXPECT_EQ(shown(rec),
              (QList<Shown>{{QStringLiteral("Недостаточно памяти: действие \"Запись данных\" прервано.\rЕго "
                                            "незавершённые изменения в базах данных отменены, программа "
                                            "продолжает работу. Закройте ненужные окна или возьмите период "
                                            "поменьше и повторите."),
                             MB_ICONERROR}}));

    // The program goes on: the same action, with memory enough, does its work.
    rec.clear();
    b.failing = false;
    b.click();
    EXPECT_EQ(b.finished, 1);
    EXPECT_EQ(b.rows(), 1);
    EXPECT_EQ(rec.count(), 0);
}

// Inside a nested delivery (a dialog's or a progress window's event loop) the failure goes on to the action
// that began it, so that action's own writer rolls back and nothing half-done is committed.
TEST(UserActionGuard, NestedDeliveriesLeaveTheFailureToTheActionThatBeganIt)
{
    MessageRecorder rec;
    QEvent event(QEvent::User);
    bool reachedOuter = false;
    EXPECT_FALSE(DeliverGuarded(nullptr, &event, [&] {
        try {
            DeliverGuarded(nullptr, &event, []() -> bool { throw std::bad_alloc(); });
        } catch (const std::bad_alloc &) {
            reachedOuter = true;
            throw;
        }
        return true;
    }));
    EXPECT_TRUE(reachedOuter);
    EXPECT_EQ(shown(rec), (QList<Shown>{{QStringLiteral("Недостаточно памяти: действие \"работа программы\" "
                                                        "прервано.\rЕго незавершённые изменения в базах "
                                                        "данных отменены, программа продолжает работу. "
                                                        "Закройте ненужные окна или возьмите период "
                                                        "поменьше и повторите."),
                                         MB_ICONERROR}}));
}

TEST(UserActionGuard, ActionsAreNamedAsTheAnalystKnowsThem)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Отчёт №32"));
    QPushButton caption(QStringLiteral("Создать &отчёт"), &window), bare(&window);
    bare.setToolTip(QStringLiteral("Удалить станцию"));
    QLineEdit edit(&window);
    QMenu menu;
    menu.setActiveAction(menu.addAction(QStringLiteral("&Копировать")));
    EXPECT_EQ(UserActionName(&caption), QStringLiteral("Создать отчёт"));
    EXPECT_EQ(UserActionName(&bare), QStringLiteral("Удалить станцию"));
    EXPECT_EQ(UserActionName(&menu), QStringLiteral("Копировать"));
    EXPECT_EQ(UserActionName(&edit), QStringLiteral("работа в окне \"Отчёт №32\""));
    EXPECT_EQ(UserActionName(nullptr), QStringLiteral("работа программы"));
}

// Writers that catch every exception, roll back and say why get the reason in Russian.
TEST(UserActionGuard, AnAllocationFailureReadsInRussian)
{
    EXPECT_EQ(ExceptionText(std::bad_alloc()),
              QStringLiteral("Недостаточно памяти для выполнения операции."));
    EXPECT_EQ(ExceptionText(EConvertError(QStringLiteral("Неверное число"))),
              QStringLiteral("Неверное число"));
    EXPECT_EQ(ExceptionText(std::runtime_error("disk")), QStringLiteral("disk"));
}

} // namespace
