#include "app/main/user_action_guard.h"

#include "app/data/data_module.h"
#include "db/db_connection.h"
#include "lib/errors.h"
#include "lib/messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <new>

namespace {

int g_depth = 0;

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&')).trimmed();
}

// Undoes what an interrupted action left open on the connections that outlive it: the data module's and
// those of the open windows. Connections of the action's own went with its stack.
void rollBackOpenTransactions()
{
    QList<DbConnection *> connections;
    if (Tdm *dm = Tdm::instance())
        connections += dm->findChildren<DbConnection *>();
    for (QWidget *top : QApplication::topLevelWidgets())
        connections += top->findChildren<DbConnection *>();
    for (DbConnection *c : std::as_const(connections)) {
        if (!c->InTransaction())
            continue;
        try {
            c->RollbackTrans();
        } catch (const std::exception &) {
            // A connection that cannot roll back loses its transaction when it closes.
            c->Close();
        }
    }
}

bool isUserInput(const QEvent *Event)
{
    switch (Event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

QString UserActionName(QObject *Receiver)
{
    if (auto *button = qobject_cast<QAbstractButton *>(Receiver)) {
        QString name = withoutMnemonic(button->text());
        if (name.isEmpty())
            name = button->toolTip();
        if (!name.isEmpty())
            return name;
    }
    if (auto *menu = qobject_cast<QMenu *>(Receiver); menu && menu->activeAction())
        return withoutMnemonic(menu->activeAction()->text());
    if (auto *action = qobject_cast<QAction *>(Receiver))
        return withoutMnemonic(action->text());
    if (auto *widget = qobject_cast<QWidget *>(Receiver);
        widget && !widget->window()->windowTitle().isEmpty())
        return QStringLiteral("работа в окне \"") + widget->window()->windowTitle() + QLatin1Char('"');
    return QStringLiteral("работа программы");
}

bool DeliverGuarded(QObject *Receiver, QEvent *Event, const std::function<bool()> &Deliver)
{
    struct Depth
    {
        Depth() { ++g_depth; }
        ~Depth() { --g_depth; }
    } depth;
    if (g_depth > 1)
        return Deliver();
    // Actions start with the analyst's input; they are named before they run, as they may close or
    // delete the receiver. Other events (timers, painting) are not worth naming on every delivery.
    QString name = QStringLiteral("работа программы");
    QPointer<QWidget> owner;
    if (isUserInput(Event)) {
        name = UserActionName(Receiver);
        owner = qobject_cast<QWidget *>(Receiver);
    }
    try {
        return Deliver();
    } catch (const std::bad_alloc &) {
        rollBackOpenTransactions();
        MessageProc(owner ? owner->window() : nullptr,
                    QStringLiteral("Недостаточно памяти: действие \"") + name +
                        QStringLiteral("\" прервано.\rЕго незавершённые изменения в базах данных отменены, "
                                       "программа продолжает работу. Закройте ненужные окна или возьмите "
                                       "период поменьше и повторите."),
                    MB_ICONERROR, MB_OK);
        return false;
    }
}

BrenvaleApplication::BrenvaleApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool BrenvaleApplication::notify(QObject *Receiver, QEvent *Event)
{
    return DeliverGuarded(Receiver, Event, [&] { return QApplication::notify(Receiver, Event); });
}
