#include "monkey.h"

#include "db_integrity.h"
#include "hostile_texts.h"
#include "input_gate.h"

#include "lib/errors.h"
#include "lib/messages.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace {

QString oneLine(QString text, int limit = 80)
{
    text.replace(QLatin1String("\r\n"), QStringLiteral("⏎"));
    text.replace(QLatin1Char('\r'), QStringLiteral("⏎"));
    text.replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    if (text.size() > limit)
        text = text.left(limit) + QStringLiteral("…(%1 chars)").arg(text.size());
    return text;
}

QString describe(const QWidget *w)
{
    if (!w)
        return QStringLiteral("(gone)");
    QString d = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        d += QLatin1Char(' ') + w->objectName();
    QString text;
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    else if (w->isWindow())
        text = w->windowTitle();
    if (!text.isEmpty())
        d += QStringLiteral(" \"") + oneLine(text, 40) + QLatin1Char('"');
    return d;
}

// Mouse and key events as the window system would deliver them (spontaneous, so focus follows clicks),
// each half sent only while its receiver lives: a press may close the window it went to.
bool press(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QPointer<QWidget> alive(w);
    QTest::mousePress(w, button, {}, pos);
    return !alive.isNull();
}

void release(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(w, button, {}, pos);
}

void click(QWidget *w, QPoint pos)
{
    QPointer<QWidget> alive(w);
    if (press(w, pos))
        release(w, pos);
    QTestPrivate::qtestMouseButtons = Qt::NoButton;
}

void doubleClick(QWidget *w, QPoint pos)
{
    QPointer<QWidget> alive(w);
    if (press(w, pos) && alive) {
        release(w, pos);
        if (alive) {
            QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
            if (alive)
                release(w, pos);
        }
    }
    QTestPrivate::qtestMouseButtons = Qt::NoButton;
}

void key(QWidget *w, Qt::Key code, const QString &text = {}, Qt::KeyboardModifiers modifiers = {})
{
    QPointer<QWidget> alive(w);
    QTest::sendKeyEvent(QTest::Press, w, code, text, modifiers);
    if (alive)
        QTest::sendKeyEvent(QTest::Release, w, code, text, modifiers);
}

QString keyText(int code)
{
    switch (code) {
    case Qt::Key_Return:
        return QStringLiteral("\r");
    case Qt::Key_Space:
        return QStringLiteral(" ");
    case Qt::Key_Escape:
        return QStringLiteral("\x1b");
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Backspace:
        return QStringLiteral("\b");
    case Qt::Key_Delete:
        return QStringLiteral("\x7f");
    default:
        return QString();
    }
}

QString keyName(int code, Qt::KeyboardModifiers modifiers = {})
{
    return QKeySequence(int(modifiers) | code).toString();
}

// The point a click on a check box or radio button must hit: its indicator at the left.
QPoint indicatorPoint(const QWidget *w)
{
    return QPoint(qMin(8, w->width() / 2), w->height() / 2);
}

bool isTextInput(const QWidget *w)
{
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return !e->isReadOnly();
    if (auto *e = qobject_cast<const QPlainTextEdit *>(w))
        return !e->isReadOnly();
    if (auto *e = qobject_cast<const QTextEdit *>(w))
        return !e->isReadOnly();
    return qobject_cast<const QAbstractSpinBox *>(w) != nullptr;
}

// Parts of a composite control that the monkey drives through the control itself.
bool insideComposite(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QComboBox *>(p) || qobject_cast<const QAbstractSpinBox *>(p) ||
            qobject_cast<const QFileDialog *>(p))
            return true;
    return false;
}

enum Kind { Button, Check, Tab, Combo, Editor, View, Header, KindCount };
// How often each kind of control is chosen, relative to the others, per control.
constexpr int kWeights[KindCount] = {6, 4, 5, 5, 5, 6, 1};

int kindOf(QWidget *w)
{
    if (qobject_cast<QTabBar *>(w))
        return static_cast<QTabBar *>(w)->count() > 0 ? Tab : -1;
    if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w))
        return Check;
    if (qobject_cast<QAbstractButton *>(w))
        return Button;
    if (qobject_cast<QComboBox *>(w))
        return static_cast<QComboBox *>(w)->count() > 0 || static_cast<QComboBox *>(w)->isEditable() ? Combo
                                                                                                     : -1;
    if (auto *h = qobject_cast<QHeaderView *>(w))
        return h->count() > 0 && h->sectionsClickable() ? Header : -1;
    if (qobject_cast<QAbstractItemView *>(w))
        return View;
    if (isTextInput(w))
        return Editor;
    return -1;
}

} // namespace

Monkey::Monkey(const MonkeyConfig &config, ActionLog &log, Failure fail, QObject *parent)
    : QObject(parent), m_config(config), m_log(log), m_fail(std::move(fail)), m_rng(config.seed)
{}

void Monkey::start()
{
    m_clock.start();
    m_nextCheck = m_config.checkEvery;
    record(QStringLiteral("seed %1").arg(m_config.seed));
    scheduleTick();
}

// A zero timer runs on the next pass of whichever event loop is running. Qt never fires a timer again
// while its own timeout runs, so each tick is given a timer that is not running one: the tick that
// opened a dialog or a progress is still running while the next ones act inside it.
void Monkey::scheduleTick()
{
    if (m_failed)
        return;
    for (QTimer *t : std::as_const(m_timers))
        if (!t->property("running").toBool()) {
            t->start();
            return;
        }
    auto *t = new QTimer(this);
    t->setSingleShot(true);
    t->setInterval(0);
    connect(t, &QTimer::timeout, this, [this, t] {
        t->setProperty("running", true);
        const auto done = qScopeGuard([t] { t->setProperty("running", false); });
        tick();
    });
    m_timers << t;
    t->start();
}

void Monkey::record(const QString &line)
{
    m_log.add(line);
}

void Monkey::fail(const QString &reason)
{
    if (m_failed)
        return;
    m_failed = true;
    for (QTimer *t : std::as_const(m_timers))
        t->stop();
    m_fail(reason);
}

void Monkey::tick()
{
    if (m_failed)
        return;
    scheduleTick();
    if (onTick)
        onTick();
    if (!UserInputAllowed())
        return;
    ++m_depth;
    // What is asked inside a tick that a close let in is not the close's question.
    const int closing = std::exchange(m_closing, 0);
    const auto leave = qScopeGuard([this, closing] {
        --m_depth;
        m_closing = closing;
    });
    if (!m_windDown &&
        (m_actions >= m_config.actions || m_clock.elapsed() >= qint64(m_config.seconds) * 1000)) {
        m_windDown = true;
        m_windDownStart = m_clock.elapsed();
        m_windDownAfter = m_actions;
        record(QStringLiteral("-- winding down after %1 actions").arg(m_actions));
    }
    try {
        if (m_windDown || m_depth > m_config.maxDepth) {
            windDownStep();
            return;
        }
        act();
        // Actions inside this one (a progress that let input in) may have moved the count past the mark.
        if (m_actions >= m_nextCheck) {
            m_nextCheck = (m_actions / m_config.checkEvery + 1) * m_config.checkEvery;
            checkDatabases(QStringLiteral("after action %1").arg(m_actions));
        }
    } catch (const std::exception &e) {
        fail(QStringLiteral("an exception escaped into the event loop: ") + ExceptionText(e));
    } catch (...) {
        fail(QStringLiteral("an exception of unknown type escaped into the event loop"));
    }
}

bool Monkey::checkDatabases(const QString &when)
{
    for (const QString &path : std::as_const(m_config.databases)) {
        const IntegrityResult r = CheckSqliteIntegrity(path);
        if (r.busy) {
            record(QStringLiteral("   check %1 %2: busy, skipped").arg(when, QFileInfo(path).fileName()));
            continue;
        }
        if (!r.problems.isEmpty()) {
            fail(QStringLiteral("database check %1 of %2:\n  %3")
                     .arg(when, path, r.problems.join(QStringLiteral("\n  "))));
            return false;
        }
    }
    record(QStringLiteral("   checked %1 databases %2").arg(m_config.databases.size()).arg(when));
    return true;
}

void Monkey::note(const QString &finding)
{
    record(QStringLiteral("   !! ") + finding);
    // The run's own folder differs from run to run; the finding is the same.
    QString general = finding;
    general.replace(QRegularExpression(QStringLiteral("/[^ ]*/brenvale-monkey-[^/ ]*")),
                    QStringLiteral("<run>"));
    if (!m_notes.contains(general))
        m_notes << general;
}

void Monkey::checkLocks(const QString &what)
{
    if (m_config.lockCheck == LockCheck::Off)
        return;
    for (const QString &path : std::as_const(m_config.databases)) {
        if (!HoldsWriteLock(path))
            continue;
        const QString finding = QStringLiteral("%1 while the write lock of %2 is held").arg(what, path);
        if (m_config.lockCheck == LockCheck::Fail)
            fail(finding);
        else
            note(finding);
        return;
    }
}

int Monkey::answer(const QString &text, unsigned icon, unsigned buttons)
{
    ++m_messages;
    const QList<MsgBoxButton> choices = MsgBoxButtons(buttons);
    MsgBoxButton chosen = choices.first();
    if (m_windDown) {
        // Closing up: take the way out where the message offers one. What a window asks as the monkey
        // closes it (to close without the changes it could not write) is agreed to, as by the analyst who
        // closes the program: refused, it would keep the window open for good.
        const QList<int> ways = m_closing > 0 ? QList<int>{IDYES, IDOK, IDCANCEL, IDNO, IDABORT}
                                              : QList<int>{IDCANCEL, IDNO, IDABORT};
        for (int way : ways) {
            const auto it = std::find_if(choices.cbegin(), choices.cend(),
                                         [way](const MsgBoxButton &b) { return b.result == way; });
            if (it != choices.cend()) {
                chosen = *it;
                break;
            }
        }
    } else {
        chosen = m_rng.pick(choices);
    }
    record(QStringLiteral("   message [%1] \"%2\" -> %3")
               .arg(MsgBoxCaption(icon & 0xF0), oneLine(text, 160), chosen.caption));
    checkLocks(QStringLiteral("the message \"%1\" was shown").arg(oneLine(text, 60)));
    // The analysts read Russian: a message of letters without a Russian word is a driver's or library's
    // text passed on as it came.
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]{3}")),
        russian(QStringLiteral("[А-Яа-яЁё]{2}"));
    if (text.contains(latin) && !text.contains(russian))
        note(QStringLiteral("a message without Russian: \"%1\"").arg(oneLine(text, 120)));
    return chosen.result;
}

bool Monkey::decide(const QString &what)
{
    const bool yes = !m_windDown && m_rng.chance(50);
    record(QStringLiteral("   %1 -> %2").arg(what, yes ? QStringLiteral("yes") : QStringLiteral("no")));
    return yes;
}

QString Monkey::newFileName(const QString &suffix)
{
    QString name;
    do
        name = QDir(m_config.writeFolder)
                   .filePath(QStringLiteral("m%1-%2%3").arg(m_config.seed).arg(++m_names).arg(suffix));
    while (QFileInfo::exists(name));
    return name;
}

QStringList Monkey::filesUnder(const QString &folder, bool folders) const
{
    QStringList found;
    QDirIterator it(folder, folders ? QDir::Dirs | QDir::NoDotAndDotDot : QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!m_config.databases.contains(path))
            found << path;
    }
    found.sort();
    return found;
}

// The visible windows in the order they were created, so a seed always finds them in one order.
QList<QWidget *> Monkey::visibleWindows() const
{
    const QWindowList order = QGuiApplication::allWindows();
    QList<QWidget *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->windowHandle())
            continue;
        const Qt::WindowType type = w->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop || type == Qt::SplashScreen)
            continue;
        windows << w;
    }
    std::sort(windows.begin(), windows.end(), [&](QWidget *a, QWidget *b) {
        return order.indexOf(a->windowHandle()) < order.indexOf(b->windowHandle());
    });
    return windows;
}

void Monkey::act()
{
    if (QWidget *popup = QApplication::activePopupWidget()) {
        actOnPopup(popup);
        return;
    }
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (modal != m_lastModal) {
            m_lastModal = modal;
            checkLocks(QStringLiteral("the dialog ") + describe(modal) + QStringLiteral(" opened"));
            if (m_failed)
                return;
        }
        actOnModal(modal);
        return;
    }
    QList<QWidget *> windows = visibleWindows();
    if (windows.isEmpty())
        return;
    // With one window there is nothing to switch to, whether the platform says it is active or not.
    QWidget *active = windows.size() == 1 ? windows.first() : QApplication::activeWindow();
    QWidget *window = windows.contains(active) && m_rng.chance(70) ? active : m_rng.pick(windows);
    if (window != active) {
        record(QStringLiteral("#%1 switch to %2").arg(m_actions + 1).arg(describe(window)));
        window->raise();
        window->activateWindow();
        ++m_actions;
        return;
    }
    actOnWindow(window);
}

void Monkey::actOnPopup(QWidget *popup)
{
    ++m_actions;
    const QString n = QStringLiteral("#%1 ").arg(m_actions);
    if (auto *menu = qobject_cast<QMenu *>(popup)) {
        QList<QAction *> actions;
        for (QAction *a : menu->actions())
            if (a->isVisible() && a->isEnabled() && !a->isSeparator() && !menu->actionGeometry(a).isEmpty())
                actions << a;
        if (actions.isEmpty() || m_rng.chance(15)) {
            record(n + QStringLiteral("menu: Escape"));
            key(menu, Qt::Key_Escape, keyText(Qt::Key_Escape));
            return;
        }
        QAction *a = m_rng.pick(actions);
        record(n + QStringLiteral("menu: choose \"%1\"").arg(oneLine(a->text(), 40)));
        click(menu, menu->actionGeometry(a).center());
        return;
    }
    // A combo box's list, a calendar: keys, as its items may not take a click yet.
    QWidget *target = popup->focusWidget() ? popup->focusWidget() : popup;
    if (m_rng.chance(20)) {
        record(n + QStringLiteral("popup %1: Escape").arg(describe(popup)));
        key(target, Qt::Key_Escape, keyText(Qt::Key_Escape));
        return;
    }
    const int moves = m_rng.below(5);
    const Qt::Key move = m_rng.chance(70) ? Qt::Key_Down : Qt::Key_Up;
    record(n + QStringLiteral("popup %1: %2 x%3, Enter").arg(describe(popup), keyName(move)).arg(moves));
    QPointer<QWidget> alive(target);
    for (int i = 0; i < moves && alive; ++i)
        key(target, move);
    if (alive)
        key(target, Qt::Key_Return, keyText(Qt::Key_Return));
}

void Monkey::actOnModal(QWidget *modal)
{
    if (auto *files = qobject_cast<QFileDialog *>(modal)) {
        answerFileDialog(files);
        return;
    }
    if (qobject_cast<QFontDialog *>(modal) || qobject_cast<QColorDialog *>(modal)) {
        ++m_actions;
        auto *dialog = static_cast<QDialog *>(modal);
        const bool accept = m_rng.chance(50);
        record(QStringLiteral("#%1 %2: %3")
                   .arg(m_actions)
                   .arg(describe(modal), accept ? QStringLiteral("OK") : QStringLiteral("Отмена")));
        accept ? dialog->accept() : dialog->reject();
        return;
    }
    if (m_rng.chance(8)) {
        closeWindow(modal);
        return;
    }
    if (!actOnWindow(modal))
        closeWindow(modal);
}

void Monkey::answerFileDialog(QFileDialog *dialog)
{
    ++m_actions;
    const QString n = QStringLiteral("#%1 ").arg(m_actions);
    if (m_rng.chance(20)) {
        record(n + QStringLiteral("file dialog \"%1\": Отмена").arg(dialog->windowTitle()));
        dialog->reject();
        return;
    }
    QString path;
    switch (dialog->fileMode()) {
    case QFileDialog::Directory: {
        QStringList folders = filesUnder(m_config.readFolder, true);
        folders << m_config.writeFolder;
        path = m_rng.pick(folders);
        break;
    }
    case QFileDialog::ExistingFile:
    case QFileDialog::ExistingFiles: {
        const QStringList files = filesUnder(m_config.readFolder, false);
        path = files.isEmpty() ? m_config.readFolder : m_rng.pick(files);
        break;
    }
    default: {
        const QStringList written = filesUnder(m_config.writeFolder, false);
        if (!written.isEmpty() && m_rng.chance(20)) {
            path = m_rng.pick(written);
        } else {
            QString suffix = dialog->defaultSuffix();
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*(\\.[A-Za-z0-9]+)"))
                                                  .match(dialog->selectedNameFilter());
            if (suffix.isEmpty() && m.hasMatch())
                suffix = m.captured(1);
            else if (!suffix.isEmpty())
                suffix.prepend(QLatin1Char('.'));
            path = newFileName(suffix);
        }
        break;
    }
    }
    record(n + QStringLiteral("file dialog \"%1\": %2").arg(dialog->windowTitle(), path));
    dialog->selectFile(path);
    // QFileDialog::accept checks the choice as the dialog's OK would; it is reached through QDialog.
    static_cast<QDialog *>(dialog)->accept();
}

bool Monkey::actOnWindow(QWidget *window)
{
    // Things done to the window itself, now and then.
    const int roll = m_rng.below(100);
    if (roll < 3) {
        closeWindow(window);
        return true;
    }
    if (roll < 7) {
        static const QList<int> keys{Qt::Key_Escape, Qt::Key_Escape, Qt::Key_Return, Qt::Key_Tab};
        QWidget *target = window->focusWidget() ? window->focusWidget() : window;
        const int code = m_rng.pick(keys);
        ++m_actions;
        record(QStringLiteral("#%1 %2: key %3 to %4")
                   .arg(m_actions)
                   .arg(describe(window), keyName(code), describe(target)));
        key(target, Qt::Key(code), keyText(code));
        return true;
    }

    QList<QWidget *> candidates;
    QList<int> kinds;
    QList<int> weights;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isVisible() || !w->isEnabled() || w->visibleRegion().isEmpty() ||
            insideComposite(w, window))
            continue;
        const int kind = kindOf(w);
        if (kind < 0)
            continue;
        candidates << w;
        kinds << kind;
        weights << kWeights[kind];
    }
    if (candidates.isEmpty())
        return false;
    const int i = m_rng.weighted(weights);
    QWidget *w = candidates[i];
    ++m_actions;
    const QString n = QStringLiteral("#%1 ").arg(m_actions);
    switch (kinds[i]) {
    case Button:
        record(n + QStringLiteral("click ") + describe(w));
        click(w, w->rect().center());
        break;
    case Check:
        record(n + QStringLiteral("click ") + describe(w) +
               (static_cast<QAbstractButton *>(w)->isChecked() ? QStringLiteral(" (ticked)")
                                                               : QStringLiteral(" (clear)")));
        click(w, indicatorPoint(w));
        break;
    case Tab:
        actOnTabBar(static_cast<QTabBar *>(w));
        break;
    case Combo:
        actOnCombo(static_cast<QComboBox *>(w));
        break;
    case Editor:
        actOnEditor(w);
        break;
    case View:
        actOnView(static_cast<QAbstractItemView *>(w));
        break;
    case Header:
        actOnHeader(static_cast<QHeaderView *>(w));
        break;
    default:
        break;
    }
    return true;
}

void Monkey::closeWindow(QWidget *window)
{
    if (window == m_config.mainWindow && m_rng.below(1000) >= m_config.mainClosePerMille)
        return;
    ++m_actions;
    record(QStringLiteral("#%1 close %2").arg(m_actions).arg(describe(window)));
    window->close();
}

void Monkey::actOnTabBar(QTabBar *bar)
{
    QList<int> tabs;
    for (int i = 0; i < bar->count(); ++i)
        if (bar->isTabVisible(i) && bar->isTabEnabled(i) && !bar->tabRect(i).isEmpty())
            tabs << i;
    if (tabs.isEmpty())
        return;
    const int tab = m_rng.pick(tabs);
    record(QStringLiteral("#%1 tab \"%2\" of %3").arg(m_actions).arg(bar->tabText(tab), describe(bar)));
    click(bar, bar->tabRect(tab).center());
}

void Monkey::actOnCombo(QComboBox *combo)
{
    const QString n = QStringLiteral("#%1 ").arg(m_actions);
    const int roll = m_rng.below(100);
    if (combo->isEditable() && roll < 30) {
        record(n + QStringLiteral("type into ") + describe(combo));
        combo->setFocus(Qt::TabFocusReason);
        typeText(combo, false);
        return;
    }
    if (roll < 55) {
        record(n + QStringLiteral("open the list of ") + describe(combo));
        click(combo, combo->rect().center());
        return;
    }
    combo->setFocus(Qt::TabFocusReason);
    pressKeys(combo, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End},
              1 + m_rng.below(3));
}

void Monkey::actOnEditor(QWidget *editor)
{
    const QString n = QStringLiteral("#%1 ").arg(m_actions);
    // Into the field first, as a click does (somewhere along its width).
    const QPoint at(qMax(1, m_rng.below(editor->width())), editor->height() / 2);
    record(n + QStringLiteral("click into ") + describe(editor));
    QPointer<QWidget> alive(editor);
    click(editor, at);
    if (!alive)
        return;
    if (qobject_cast<QAbstractSpinBox *>(editor) && m_rng.chance(20)) {
        pressKeys(editor, {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown}, 1 + m_rng.below(3));
        return;
    }
    typeText(editor, qobject_cast<QPlainTextEdit *>(editor) || qobject_cast<QTextEdit *>(editor));
}

void Monkey::typeText(QWidget *target, bool multiLine)
{
    const QString text = PickHostileText(m_rng);
    const int mode = m_rng.below(100);
    QString how;
    QPointer<QWidget> alive(target);
    // Replacing all, appending or prepending, never inserting in the middle: a path edited so still
    // names a place inside the run's folder or a relative one.
    if (mode < 60) {
        how = QStringLiteral("replace with");
        key(target, Qt::Key_A, QStringLiteral("a"), Qt::ControlModifier);
        if (alive && text.isEmpty())
            key(target, Qt::Key_Delete, keyText(Qt::Key_Delete));
    } else if (mode < 90) {
        how = QStringLiteral("append");
        key(target, Qt::Key_End, {}, multiLine ? Qt::ControlModifier : Qt::NoModifier);
    } else {
        how = QStringLiteral("prepend");
        key(target, Qt::Key_Home, {}, multiLine ? Qt::ControlModifier : Qt::NoModifier);
    }
    const int after = m_rng.below(100);
    const Qt::Key finish = after < 35   ? Qt::Key_Return
                           : after < 50 ? Qt::Key_Tab
                           : after < 55 ? Qt::Key_Escape
                                        : Qt::Key_unknown;
    record(QStringLiteral("   %1 \"%2\"%3")
               .arg(how, oneLine(text),
                    finish == Qt::Key_unknown ? QString() : QStringLiteral(", ") + keyName(finish)));
    if (!alive)
        return;
    if (text.size() <= 40) {
        for (const QChar c : text) {
            if (!alive)
                return;
            key(target, Qt::Key(c.toUpper().unicode()), QString(c));
        }
    } else {
        // A long text arrives at once, as a paste does.
        key(target, Qt::Key_unknown, text);
    }
    if (!alive)
        return;
    // What the field made of it: masks, validators and date sections have their say.
    QString shown;
    if (auto *e = qobject_cast<QLineEdit *>(target))
        shown = e->text();
    else if (auto *b = qobject_cast<QAbstractSpinBox *>(target))
        shown = b->text();
    else if (auto *c = qobject_cast<QComboBox *>(target))
        shown = c->currentText();
    if (!shown.isNull() && shown != text)
        record(QStringLiteral("     shows \"%1\"").arg(oneLine(shown)));
    if (finish != Qt::Key_unknown)
        key(target, finish, keyText(finish));
}

void Monkey::pressKeys(QWidget *target, const QList<int> &keys, int count)
{
    QList<int> chosen;
    QStringList names;
    for (int i = 0; i < count; ++i) {
        chosen << m_rng.pick(keys);
        names << keyName(chosen.last());
    }
    record(QStringLiteral("#%1 keys %2 to %3")
               .arg(m_actions)
               .arg(names.join(QLatin1Char(' ')), describe(target)));
    QPointer<QWidget> alive(target);
    for (int code : std::as_const(chosen)) {
        if (!alive)
            return;
        key(target, Qt::Key(code), keyText(code));
    }
}

void Monkey::actOnView(QAbstractItemView *view)
{
    const QString n = QStringLiteral("#%1 ").arg(m_actions);
    QAbstractItemModel *model = view->model();
    const int rows = model ? model->rowCount(view->rootIndex()) : 0;
    const int columns = model ? model->columnCount(view->rootIndex()) : 0;
    QWidget *viewport = view->viewport();
    QPointer<QWidget> alive(viewport);
    QModelIndex index;
    QRect rect;
    if (rows > 0 && columns > 0) {
        index = model->index(m_rng.below(rows), m_rng.below(columns), view->rootIndex());
        view->scrollTo(index);
        rect = view->visualRect(index).intersected(viewport->rect());
    }
    const int roll = m_rng.below(100);
    const QString where =
        index.isValid() ? QStringLiteral(" at %1,%2").arg(index.row()).arg(index.column()) : QString();
    if (roll < 8 || rect.isEmpty()) {
        const QPoint at = rect.isEmpty() ? viewport->rect().center() : rect.center();
        if (roll < 4 || rect.isEmpty()) {
            record(n + QStringLiteral("context menu of ") + describe(view) + where);
            QContextMenuEvent menu(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QCoreApplication::sendEvent(viewport, &menu);
            return;
        }
        pressKeys(view,
                  {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home, Qt::Key_Space},
                  1 + m_rng.below(3));
        return;
    }
    // The check box of an item sits at its left edge.
    const QPoint at =
        m_rng.chance(30) ? QPoint(rect.left() + qMin(8, rect.width() / 2), rect.center().y()) : rect.center();
    if (roll < 55) {
        record(n + QStringLiteral("click ") + describe(view) + where);
        click(viewport, at);
        return;
    }
    if (roll < 75) {
        record(n + QStringLiteral("double-click ") + describe(view) + where);
        doubleClick(viewport, at);
        return;
    }
    record(n + QStringLiteral("click ") + describe(view) + where);
    click(viewport, at);
    if (!alive)
        return;
    if (roll < 90) {
        pressKeys(view,
                  {Qt::Key_Down, Qt::Key_Up, Qt::Key_Space, Qt::Key_Return, Qt::Key_F2, Qt::Key_Delete,
                   Qt::Key_Insert, Qt::Key_Escape, Qt::Key_Backspace},
                  1 + m_rng.below(2));
        return;
    }
    typeText(view, false);
}

void Monkey::actOnHeader(QHeaderView *header)
{
    QList<int> sections;
    for (int i = 0; i < header->count(); ++i)
        if (!header->isSectionHidden(i) && header->sectionSize(i) > 0)
            sections << i;
    if (sections.isEmpty())
        return;
    const int logical = m_rng.pick(sections);
    const int position = header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2;
    const QPoint at = header->orientation() == Qt::Horizontal ? QPoint(position, header->height() / 2)
                                                              : QPoint(header->width() / 2, position);
    record(QStringLiteral("#%1 header section %2 of %3").arg(m_actions).arg(logical).arg(describe(header)));
    if (header->rect().contains(at))
        click(header->viewport(), at);
}

void Monkey::windDownStep()
{
    if (!m_windDown && m_depth > m_config.maxDepth) {
        // Too deep to start anything: only what closes.
        if (QWidget *popup = QApplication::activePopupWidget())
            key(popup, Qt::Key_Escape, keyText(Qt::Key_Escape));
        else if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
        return;
    }
    if (m_clock.elapsed() - m_windDownStart > 120000) {
        fail(QStringLiteral("the program could not be closed within two minutes"));
        return;
    }
    if (QWidget *popup = QApplication::activePopupWidget()) {
        record(QStringLiteral("   close: Escape to ") + describe(popup));
        key(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Escape, keyText(Qt::Key_Escape));
        return;
    }
    ++m_closing;
    const auto closed = qScopeGuard([this] { --m_closing; });
    if (QWidget *modal = QApplication::activeModalWidget()) {
        record(QStringLiteral("   close ") + describe(modal));
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    const QList<QWidget *> windows = visibleWindows();
    QWidget *progress = nullptr;
    QWidget *other = nullptr;
    for (QWidget *w : windows) {
        if (w == m_config.mainWindow)
            continue;
        if (w->inherits("Tpro"))
            progress = w;
        else
            other = w;
    }
    if (other) {
        record(QStringLiteral("   close ") + describe(other));
        other->close();
        return;
    }
    if (progress)
        return; // a run that lets input in is still going: wait for it
    if (m_config.mainWindow && m_config.mainWindow->isVisible()) {
        record(QStringLiteral("   close ") + describe(m_config.mainWindow));
        m_config.mainWindow->close();
    }
}
