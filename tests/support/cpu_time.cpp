#include "support/cpu_time.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

qint64 processMicroseconds()
{
    qint64 microseconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        for (const timeval &t : {u.ru_utime, u.ru_stime})
            microseconds += qint64(t.tv_sec) * 1000000 + t.tv_usec;
    }
    return microseconds;
}

QByteArray readProc(qint64 pid, const QString &file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The fields of /proc/<pid>/stat after the command's name: [1] the parent, [11] and [12] the user and
// system time in clock ticks. Empty once the process is gone.
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray stat = readProc(pid, QStringLiteral("stat"));
    const qsizetype end = stat.lastIndexOf(')');
    return end < 0 ? QList<QByteArray>() : stat.mid(end + 2).split(' ');
}

// The words of a server process's title: "postgres: <user> <database> <client> <activity>" for a session,
// "postgres: parallel worker for PID <session>" for a helper of one; the program's own command line
// until the server sets it.
QList<QByteArray> title(qint64 pid)
{
    QByteArray line = readProc(pid, QStringLiteral("cmdline"));
    line.replace('\0', ' ');
    return line.simplified().split(' ');
}

} // namespace

// Sessions come and go with the connections the work opens, so their times are read every few
// milliseconds: of one that ends, only what it did since it was last read is missed.
class ServerProcessesCpu
{
public:
    explicit ServerProcessesCpu(const QString &database) : m_database(database.toUtf8())
    {
        // Found by the session of the test's own connection.
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const qint64 pid = entry.toLongLong();
            if (pid <= 0 || !isSession(title(pid)))
                continue;
            const QList<QByteArray> stat = statFields(pid);
            if (stat.size() > 1)
                m_postmaster = stat[1].toLongLong();
            break;
        }
        if (m_postmaster <= 0) {
            ADD_FAILURE() << "No server process on this machine serves the database "
                          << database.toStdString()
                          << ": the processor time of its statements is not counted";
            return;
        }
        sample(true);
        m_thread = std::thread([this] {
            std::unique_lock lock(m_mutex);
            while (!m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stop; }))
                sample(false);
        });
    }
    ~ServerProcessesCpu()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    qint64 milliseconds()
    {
        std::lock_guard lock(m_mutex);
        if (m_postmaster <= 0)
            return 0;
        sample(false);
        qint64 ticks = 0;
        for (const Process &p : std::as_const(m_processes))
            if (p.ours)
                ticks += p.last - p.first;
        return ticks * 1000 / sysconf(_SC_CLK_TCK);
    }

private:
    struct Process
    {
        bool ours = false;
        qint64 first = 0, last = 0; // processor time in clock ticks
    };

    void sample(bool start)
    {
        const QList<QByteArray> children =
            readProc(m_postmaster, QStringLiteral("task/%1/children").arg(m_postmaster))
                .simplified()
                .split(' ');
        for (const QByteArray &child : children) {
            const qint64 pid = child.toLongLong();
            auto it = m_processes.find(pid);
            if (it == m_processes.end()) {
                const QList<QByteArray> words = title(pid);
                if (words.size() < 3 || words[0] != "postgres:")
                    continue; // not yet named
                Process p;
                p.ours = isSession(words) || (words.size() > 5 && words[1] == "parallel" &&
                                              m_processes.value(words[5].toLongLong()).ours);
                it = m_processes.insert(pid, p);
                if (!p.ours)
                    continue;
                const qint64 now = ticks(pid);
                it->first = start ? now : 0;
                it->last = now;
            } else if (it->ours) {
                it->last = std::max(it->last, ticks(pid));
            }
        }
    }

    bool isSession(const QList<QByteArray> &words) const
    {
        return words.size() > 2 && words[0] == "postgres:" && words[2] == m_database;
    }

    static qint64 ticks(qint64 pid)
    {
        const QList<QByteArray> stat = statFields(pid);
        return stat.size() > 12 ? stat[11].toLongLong() + stat[12].toLongLong() : 0;
    }

    QByteArray m_database;
    qint64 m_postmaster = 0;
    QHash<qint64, Process> m_processes;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

CpuTime::CpuTime() : m_start(processMicroseconds()) {}

CpuTime::CpuTime(const QString &serverDatabase)
    : m_server(serverDatabase.isEmpty() ? nullptr : std::make_unique<ServerProcessesCpu>(serverDatabase)),
      m_start(processMicroseconds())
{}

CpuTime::~CpuTime() = default;

qint64 CpuTime::milliseconds() const
{
    return (processMicroseconds() - m_start) / 1000 + (m_server ? m_server->milliseconds() : 0);
}
