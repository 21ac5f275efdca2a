#include "lib/safe_write.h"

#include "lib/errors.h"
#include "lib/system_errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<qint64> g_budget{-1};

QString systemError(int code)
{
    return SystemErrorText(code);
}

// Writes through a symbolic link go to the file it names, so the link itself survives the rename.
QString resolvedTarget(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return target;
    }
    return fileName;
}

} // namespace

namespace safe_write_testing {
void SetByteBudget(qint64 bytes)
{
    g_budget = bytes;
}
} // namespace safe_write_testing

SafeFileWriter::SafeFileWriter(const QString &fileName) : m_fileName(fileName) {}

SafeFileWriter::~SafeFileWriter()
{
    cancel();
}

bool SafeFileWriter::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    cancel();
    return false;
}

bool SafeFileWriter::open()
{
    cancel();
    m_error.clear();
    m_written = 0;
    const QString target = resolvedTarget(m_fileName);
    QByteArray pattern = QFile::encodeName(target + QStringLiteral(".tmp-XXXXXX"));
    m_fd = ::mkstemp(pattern.data());
    if (m_fd < 0)
        return fail(systemError(errno));
    m_tempName = QFile::decodeName(pattern);

    // mkstemp makes the file private; a replaced file keeps its own mode, a new one gets the usual one.
    struct stat old
    {
    };
    mode_t mode;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(m_fd, mode);
    return true;
}

bool SafeFileWriter::write(const QByteArray &bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool SafeFileWriter::write(const char *data, qint64 size)
{
    if (m_fd < 0)
        return fail(m_error.isEmpty() ? QStringLiteral("файл не открыт") : m_error);
    while (size > 0) {
        qint64 chunk = size;
        const qint64 budget = g_budget.load();
        if (budget >= 0) {
            if (budget == 0)
                return fail(systemError(ENOSPC));
            chunk = std::min(chunk, budget);
            g_budget = budget - chunk;
        }
        const ssize_t done = ::write(m_fd, data, size_t(chunk));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return fail(systemError(errno));
        }
        if (done == 0)
            return fail(systemError(ENOSPC));
        data += done;
        size -= done;
        m_written += done;
    }
    return true;
}

bool SafeFileWriter::rewrite(qint64 offset, const QByteArray &bytes)
{
    if (m_fd < 0)
        return fail(m_error.isEmpty() ? QStringLiteral("файл не открыт") : m_error);
    if (offset < 0 || offset + bytes.size() > m_written)
        return fail(QStringLiteral("запись за концом файла"));
    const char *data = bytes.constData();
    qint64 size = bytes.size();
    while (size > 0) {
        const ssize_t done = ::pwrite(m_fd, data, size_t(size), off_t(offset));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return fail(systemError(errno));
        }
        if (done == 0)
            return fail(systemError(EIO));
        data += done;
        offset += done;
        size -= done;
    }
    return true;
}

bool SafeFileWriter::commit()
{
    if (m_fd < 0)
        return fail(m_error.isEmpty() ? QStringLiteral("файл не открыт") : m_error);
    // A full disk may only show at the flush or the close: both are checked, then the size on disk.
    if (!m_scratch && ::fsync(m_fd) != 0)
        return fail(systemError(errno));
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0)
        return fail(systemError(errno));
    if (st.st_size != m_written)
        return fail(QStringLiteral("записано %1 байт из %2").arg(st.st_size).arg(m_written));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int code = errno;
        m_fd = -1;
        QFile::remove(m_tempName);
        m_tempName.clear();
        return fail(systemError(code));
    }
    const QString target = resolvedTarget(m_fileName);
    if (::rename(QFile::encodeName(m_tempName).constData(), QFile::encodeName(target).constData()) != 0) {
        const int code = errno;
        QFile::remove(m_tempName);
        m_tempName.clear();
        return fail(systemError(code));
    }
    m_tempName.clear();
    if (m_scratch)
        return true;
    // The rename itself reaches the disk with the folder's entry.
    const int dir = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void SafeFileWriter::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempName.isEmpty()) {
        QFile::remove(m_tempName);
        m_tempName.clear();
    }
}

bool SafeWriteFile(const QString &fileName, const QByteArray &bytes, QString *error)
{
    SafeFileWriter writer(fileName);
    if (writer.open() && writer.write(bytes) && writer.commit())
        return true;
    if (error)
        *error = writer.errorString();
    return false;
}

QString SafeWriteMessage(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(fileName), reason);
}

void SafeWriteFileOrThrow(const QString &fileName, const QByteArray &bytes)
{
    QString reason;
    if (!SafeWriteFile(fileName, bytes, &reason))
        throw EFileError(SafeWriteMessage(fileName, reason));
}
