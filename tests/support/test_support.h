#pragma once

#include "lib/messages.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

class QLineEdit;
class QWidget;

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Replaces both message procedures for the life of the object and records every message shown.
class MessageRecorder
{
public:
    struct Message
    {
        QString text;
        unsigned icon = 0;
        unsigned buttons = 0;
        bool error = false; // shown through the error procedure
    };

    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    // Answers handed out in order to questions; when they run out, IDOK.
    void answer(QList<int> results) { m_answers = std::move(results); }

    // Each message also shows as a box does: it takes the focus from the window that had it while it is
    // open, and gives it back.
    void boxesTakeTheFocus() { m_boxes = true; }

    const QList<Message> &messages() const { return m_messages; }
    int count() const { return int(m_messages.size()); }
    Message last() const { return m_messages.isEmpty() ? Message{} : m_messages.last(); }
    void clear() { m_messages.clear(); }

private:
    int record(QWidget *owner, const QString &text, unsigned icon, unsigned buttons, bool error);

    MessageProcType m_oldMessage;
    MessageProcType m_oldError;
    QList<Message> m_messages;
    QList<int> m_answers;
    bool m_boxes = false;
};

// While alive, rejects every modal dialog as soon as it opens, so code that asks the user something the
// test does not answer (a station editor after an add) cannot wait for a click forever.
class ModalDialogCloser
{
public:
    ModalDialogCloser();
    ~ModalDialogCloser();
    int closed() const { return m_closed; }

private:
    QTimer *m_timer;
    int m_closed = 0;
};

// Keys as the keyboard gives them to the focused Target, each pressed and released: ':' with Shift held,
// '\b' for Backspace, '\r' for Enter, '\t' for Tab.
void typeKeys(QWidget *target, const QString &text);

// A left click into Line's text at Position, where the mouse puts the cursor there.
void clickAt(QLineEdit *line, int position);

// A fresh folder per test, removed afterwards.
class TestDir
{
public:
    TestDir();
    QString path() const { return m_dir.path(); }
    // The folder with a trailing "/", as the system joins relative names.
    QString base() const { return m_dir.path() + QLatin1Char('/'); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
};

QByteArray readBytes(const QString &path);
bool writeBytes(const QString &path, const QByteArray &bytes);

// A full disk for the life of the object: the safe-write helper fails once Bytes more have been written.
class DiskFullAfter
{
public:
    explicit DiskFullAfter(qint64 bytes);
    ~DiskFullAfter();
    DiskFullAfter(const DiskFullAfter &) = delete;
    DiskFullAfter &operator=(const DiskFullAfter &) = delete;
};

// The names in a folder, for checking that no temporary file was left behind.
QStringList folderEntries(const QString &path);
