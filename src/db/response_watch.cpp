#include "db/response_watch.h"

#include <QDir>

#include <sys/socket.h>
#include <sys/stat.h>

ResponseWatch::~ResponseWatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void ResponseWatch::setSockets(const QList<int> &sockets)
{
    std::lock_guard lock(m_mutex);
    m_sockets = sockets;
}

void ResponseWatch::arm()
{
    if (m_timeout.count() <= 0 || fired())
        return;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_sockets.isEmpty())
            return;
        ++m_depth;
        m_deadline = Clock::now() + m_timeout;
        // The thread sleeps until an earlier deadline and then looks again: most calls need not wake it.
        wake = m_deadline < m_sleepingUntil;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    if (wake)
        m_wake.notify_one();
}

void ResponseWatch::disarm()
{
    std::lock_guard lock(m_mutex);
    if (m_depth > 0)
        --m_depth;
}

void ResponseWatch::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (m_depth == 0) {
            m_sleepingUntil = Clock::time_point::max();
            m_wake.wait(lock);
            continue;
        }
        if (Clock::now() >= m_deadline) {
            // Marked first: the driver's call returns as soon as the sockets go, and its caller must
            // already see why. shutdown, not close: the descriptors stay the driver's.
            m_fired.store(true, std::memory_order_release);
            for (int s : std::as_const(m_sockets))
                ::shutdown(s, SHUT_RDWR);
            m_depth = 0;
            continue;
        }
        m_sleepingUntil = m_deadline;
        m_wake.wait_until(lock, m_deadline);
    }
}

QList<int> OpenStreamSockets()
{
    QList<int> sockets;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &entry : entries) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        struct stat st;
        if (!ok || fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        int type = 0;
        socklen_t length = sizeof type;
        sockaddr_storage peer;
        socklen_t peerLength = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM &&
            getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0)
            sockets << fd;
    }
    return sockets;
}
