#include "test_support.h"

#include "lib/safe_write.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>

MessageRecorder::MessageRecorder() : m_oldMessage(MessageProc), m_oldError(ErrorMessageProc)
{
    MessageProc = [this](QWidget *, const QString &text, unsigned icon, unsigned buttons) {
        return record(text, icon, buttons, false);
    };
    ErrorMessageProc = [this](QWidget *, const QString &text, unsigned icon, unsigned buttons) {
        return record(text, icon, buttons, true);
    };
}

MessageRecorder::~MessageRecorder()
{
    MessageProc = m_oldMessage;
    ErrorMessageProc = m_oldError;
}

int MessageRecorder::record(const QString &text, unsigned icon, unsigned buttons, bool error)
{
    m_messages.append({text, icon, buttons, error});
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
