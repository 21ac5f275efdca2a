#pragma once

#include "action_log.h"
#include "monkey_rng.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractItemView;
class QComboBox;
class QFileDialog;
class QHeaderView;
class QTabBar;
class QTimer;

// What the monkey does when a message or question comes while a database's write lock is held.
enum class LockCheck { Off, Note, Fail };

struct MonkeyConfig
{
    quint64 seed = 1;
    int actions = 2000; // the run winds down after this many actions
    int seconds = 60;   // or after this time, whichever comes first
    int checkEvery = 50;
    QStringList databases; // SQLite files checked every checkEvery actions and at the end
    QString readFolder;    // open dialogs pick files under it
    QString writeFolder;   // save dialogs name new files in it
    QPointer<QWidget> mainWindow;
    // Of the window closes the monkey chooses, the share (per thousand) that may close the main window,
    // which ends the program once its other windows are closed too.
    int mainClosePerMille = 30;
    int maxDepth = 6; // actions inside actions (a long run that lets input in); deeper it only closes
    LockCheck lockCheck = LockCheck::Fail;
};

// A seeded GUI monkey: on every pass of the event loop where the program lets user input in, it does one
// thing an analyst could do to the active window (or switches to another window): clicks buttons, check
// boxes, tabs, list and grid items and headers, chooses in combo boxes, types hostile texts, presses
// keys, opens context menus, closes windows. Modal dialogs are acted on or closed, popups and menus
// chosen from or dismissed, file dialogs answered with paths inside the run's folders. Messages are
// answered through answer(), which the message procedures call. Every checkEvery actions the databases
// are checked from a connection of their own. When the actions or the time run out it closes every
// window as the analyst would, the main window last.
class Monkey : public QObject
{
    Q_OBJECT
public:
    using Failure = std::function<void(const QString &reason)>;
    Monkey(const MonkeyConfig &config, ActionLog &log, Failure fail, QObject *parent = nullptr);

    void start();
    void setMainWindow(QWidget *window) { m_config.mainWindow = window; }
    // Called on every pass, also where the monkey holds back (the watchdog's heartbeat).
    std::function<void()> onTick;

    // The answer to a message shown through the message procedures: one of its buttons.
    int answer(const QString &text, unsigned icon, unsigned buttons);
    // A yes or no of the desktop layer (a save dialog, a document or program to open).
    bool decide(const QString &what);
    // A file name in the write folder that is not there yet, ending in suffix (".htm").
    QString newFileName(const QString &suffix);
    // Checks every database now; false when a check failed (and was reported).
    bool checkDatabases(const QString &when);

    int actions() const { return m_actions; }
    int messages() const { return m_messages; }
    // What the run noticed without failing: a message under a write lock (LockCheck::Note), a message
    // with no Russian in it. Each once, in the order first seen.
    const QStringList &notes() const { return m_notes; }
    bool windingDown() const { return m_windDown; }
    // The actions done when the run began to wind down; -1 before.
    int windDownAfter() const { return m_windDownAfter; }
    bool failed() const { return m_failed; }

private:
    void scheduleTick();
    void tick();
    void act();
    void windDownStep();
    void fail(const QString &reason);
    void record(const QString &line);
    void checkLocks(const QString &what);
    void note(const QString &finding);

    QList<QWidget *> visibleWindows() const;
    void actOnPopup(QWidget *popup);
    void actOnModal(QWidget *modal);
    void answerFileDialog(QFileDialog *dialog);
    bool actOnWindow(QWidget *window);
    void actOnTabBar(QTabBar *bar);
    void actOnCombo(QComboBox *combo);
    void actOnEditor(QWidget *editor);
    void actOnView(QAbstractItemView *view);
    void actOnHeader(QHeaderView *header);
    void closeWindow(QWidget *window);

    void typeText(QWidget *target, bool multiLine);
    void pressKeys(QWidget *target, const QList<int> &keys, int count);

    QStringList filesUnder(const QString &folder, bool folders) const;

    MonkeyConfig m_config;
    ActionLog &m_log;
    Failure m_fail;
    MonkeyRng m_rng;
    QList<QTimer *> m_timers;
    QElapsedTimer m_clock;
    qint64 m_windDownStart = 0;
    int m_windDownAfter = -1;
    int m_actions = 0;
    int m_nextCheck = 0;
    int m_messages = 0;
    int m_depth = 0;
    int m_closing = 0; // inside a close of the wind-down
    int m_names = 0;
    bool m_windDown = false;
    bool m_failed = false;
    QPointer<QWidget> m_lastModal;
    QStringList m_notes;
};
