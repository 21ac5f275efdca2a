#pragma once

// Small helpers the window tests of this folder share.

#include "app/settings/param_dialog.h"
#include "support/program_env.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>

// The named control under Parent; a missing one fails the test.
template <class T = QWidget> T *named(const QObject *parent, const char *name)
{
    T *c = parent->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// What a control shows: a check box as "1" or "0", a button's or label's text, a group's title, an edit's
// text as displayed, a combo box's current text, a date edit's date as dd.MM.yyyy.
inline QString shownText(const QWidget *w)
{
    if (auto *box = qobject_cast<const QCheckBox *>(w))
        return QString::number(box->isChecked());
    if (auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->text();
    if (auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (auto *group = qobject_cast<const QGroupBox *>(w))
        return group->title();
    if (auto *edit = qobject_cast<const QLineEdit *>(w))
        return edit->displayText();
    if (auto *combo = qobject_cast<const QComboBox *>(w))
        return combo->currentText();
    if (auto *date = qobject_cast<const QDateEdit *>(w))
        return date->date().toString(QStringLiteral("dd.MM.yyyy"));
    return QStringLiteral("<%1?>").arg(QLatin1String(w ? w->metaObject()->className() : "none"));
}

// What the named controls under Parent show, in order.
inline QStringList shownTexts(const QObject *parent, std::initializer_list<const char *> names)
{
    QStringList texts;
    for (const char *name : names)
        texts << shownText(named(parent, name));
    return texts;
}

inline void clickNamed(const QObject *parent, const char *name)
{
    named<QPushButton>(parent, name)->click();
}

// A left-button mouse event as the platform delivers it (the release holds no button).
inline void mouse(QWidget *target, QEvent::Type type, const QPoint &at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

inline void mouseClick(QWidget *target, const QPoint &at)
{
    mouse(target, QEvent::MouseButtonPress, at);
    mouse(target, QEvent::MouseButtonRelease, at);
}

inline void pressKey(QWidget *target, Qt::Key k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::processEvents();
}

// Answers the next one-line prompt: checks its label, hands back what it proposed, types Text and clicks OK.
inline void answerPrompt(const QString &label, const QString &text, QString *proposed = nullptr)
{
    QTimer::singleShot(0, [label, text, proposed] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<Tpar *>(top); dialog && dialog->isVisible()) {
                EXPECT_EQ(dialog->Label1->text(), label);
                if (proposed)
                    *proposed = dialog->dir->text();
                dialog->dir->setText(text);
                dialog->Button1->click();
            }
    });
}

// Whether the PostgreSQL test server takes new connections to Db's database; said from the server's own
// database, as a database does not refuse the connection that says it.
inline void allowServerConnections(DbConnection &Db, bool Allow)
{
    DbQuery name(&Db);
    name.SetSQL(QStringLiteral("select current_database()"));
    name.Open();
    DbConnection admin;
    admin.SetProvider(QStringLiteral("MSDASQL"));
    admin.SetConnectionString(
        QStringLiteral("Data Source=\"DSN=%1\"").arg(qEnvironmentVariable("BRENVALE_TEST_PG_DSN")));
    admin.Open(qEnvironmentVariable("BRENVALE_TEST_PG_USER"),
               qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD"));
    exec(admin,
         QStringLiteral("alter database %1 allow_connections %2")
             .arg(name.Field(0)->AsString(), Allow ? QStringLiteral("true") : QStringLiteral("false")));
}

// What a restart of the PostgreSQL test server does to the connections to Db's database other than Db:
// each is dropped. Refused: the server takes no new one either, as while it is still down.
inline void dropServerConnections(DbConnection &Db, bool Refused)
{
    if (Refused)
        allowServerConnections(Db, false);
    const QString others =
        QStringLiteral("from pg_stat_activity where datname=current_database() and pid<>pg_backend_pid()");
    exec(Db, QStringLiteral("select pg_terminate_backend(pid) ") + others);
    // The server ends them a moment later (on a busy machine, several).
    for (int i = 0; i < 1200; ++i) {
        DbQuery left(&Db);
        left.SetSQL(QStringLiteral("select count(*) ") + others);
        left.Open();
        if (left.Field(0)->AsInteger() == 0)
            break;
        QThread::msleep(50);
    }
}
