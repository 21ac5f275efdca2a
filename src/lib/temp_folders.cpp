#include "lib/temp_folders.h"

#include "lib/system_errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <signal.h>
#include <unistd.h>

namespace {

const QString kPrefix = QStringLiteral("brenvale-");

// A process that no longer exists; one of another user, or a zombie, still counts as running.
bool processGone(qint64 pid)
{
    if (pid <= 0 || pid != qint64(pid_t(pid)))
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QString ProgramTempDirTemplate(qint64 ProcessId)
{
    return QDir(QDir::tempPath()).filePath(kPrefix + QString::number(ProcessId) + QStringLiteral("-XXXXXX"));
}

ProgramTempDir::ProgramTempDir() : m_dir(ProgramTempDirTemplate(QCoreApplication::applicationPid())) {}

QString ProgramTempDir::errorString() const
{
    return SystemTextReason(m_dir.errorString());
}

int RemoveStaleTempFolders()
{
    static const QRegularExpression name(QStringLiteral("^brenvale-([0-9]{1,10})-[A-Za-z0-9]{6}$"));
    const QDir temp(QDir::tempPath());
    const qint64 own = QCoreApplication::applicationPid();
    const uint user = uint(::getuid());
    int removed = 0;
    for (const QFileInfo &entry :
         temp.entryInfoList({kPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = name.match(entry.fileName());
        // A link could lead the removal into a folder that is not ours.
        if (!m.hasMatch() || entry.isSymLink() || !entry.isDir() || entry.ownerId() != user)
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid == own || !processGone(pid))
            continue;
        if (QDir(entry.filePath()).removeRecursively())
            ++removed;
    }
    return removed;
}
