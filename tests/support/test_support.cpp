#include "test_support.h"

#include "lib/safe_write.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>

MessageRecorder::MessageRecorder() : m_oldMessage(MessageProc), m_oldError(ErrorMessageProc)
{
    MessageProc = [this](QWidget *owner, const QString &text, unsigned icon, unsigned buttons) {
        return record(owner, text, icon, buttons, false);
    };
    ErrorMessageProc = [this](QWidget *owner, const QString &text, unsigned icon, unsigned buttons) {
        return record(owner, text, icon, buttons, true);
    };
}

MessageRecorder::~MessageRecorder()
{
    MessageProc = m_oldMessage;
    ErrorMessageProc = m_oldError;
}

int MessageRecorder::record(QWidget *owner, const QString &text, unsigned icon, unsigned buttons, bool error)
{
    m_messages.append({text, icon, buttons, error});
    if (m_boxes) {
        QWidget *had = QApplication::activeWindow();
        QMessageBox box(owner);
        box.setText(text);
        box.show();
        QApplication::setActiveWindow(&box);
        box.hide();
        QApplication::setActiveWindow(had);
    }
    return m_answers.isEmpty() ? IDOK : m_answers.takeFirst();
}

ModalDialogCloser::ModalDialogCloser() : m_timer(new QTimer)
{
    QObject::connect(m_timer, &QTimer::timeout, [this] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            dialog->reject();
            ++m_closed;
        }
    });
    m_timer->start(10);
}

ModalDialogCloser::~ModalDialogCloser()
{
    delete m_timer;
}

void typeKeys(QWidget *target, const QString &text)
{
    const auto send = [target](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                               const QString &t) {
        QKeyEvent event(type, key, modifiers, t);
        QApplication::sendEvent(target, &event);
    };
    for (const QChar c : text) {
        const int key = c.isDigit()              ? Qt::Key_0 + c.digitValue()
                        : c == QLatin1Char('\b') ? int(Qt::Key_Backspace)
                        : c == QLatin1Char('\r') ? int(Qt::Key_Return)
                        : c == QLatin1Char('\t') ? int(Qt::Key_Tab)
                                                 : int(c.unicode());
        const bool shift = c == QLatin1Char(':');
        if (shift)
            send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, QString());
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
            send(type, key, shift ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
        if (shift)
            send(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, QString());
    }
}

void clickAt(QLineEdit *line, int position)
{
    const int y = line->height() / 2;
    int x = 0;
    while (x < line->width() && line->cursorPositionAt(QPoint(x, y)) < position)
        ++x;
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(x, y), line->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(line, &event);
    }
}

TestDir::TestDir()
{
    m_dir.setAutoRemove(true);
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

DiskFullAfter::DiskFullAfter(qint64 bytes)
{
    safe_write_testing::SetByteBudget(bytes);
}

DiskFullAfter::~DiskFullAfter()
{
    safe_write_testing::SetByteBudget(-1);
}

QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
