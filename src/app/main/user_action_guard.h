#pragma once

#include <QApplication>
#include <QString>

#include <functional>

class QEvent;
class QObject;

// Every user action begins as an event the application delivers. An allocation failure anywhere in the
// action unwinds to the outermost delivery: there the transactions the action left open are rolled
// back, the analyst is told what was stopped, and the program goes on. Failures inside nested event
// loops (dialogs, progress) travel on to that outermost delivery, so the action's own writers roll back
// on the way, and nothing half-done is committed by an action that believes the event went through.
bool DeliverGuarded(QObject *Receiver, QEvent *Event, const std::function<bool()> &Deliver);

// The action an event starts, as the analyst knows it: the caption of a button or menu item, otherwise
// the window it happens in.
QString UserActionName(QObject *Receiver);

// The program's application object: every event goes through DeliverGuarded.
class BrenvaleApplication : public QApplication
{
    Q_OBJECT
public:
    BrenvaleApplication(int &argc, char **argv);
    bool notify(QObject *Receiver, QEvent *Event) override;
};
