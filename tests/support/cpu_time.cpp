#include "support/cpu_time.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iostream>
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
// system time in clock ticks, [13] and [14] those of the children it waited for, [19] when it started.
// Empty once the process is gone.
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

// The server's sessions are read every few milliseconds as the connections the work opens come and go.
// What a session did after it was last read, and the whole of one that came and went between two
// readings, is in the server's own process: it holds the time of every child it has waited for. That
// part cannot be told by database, so it is counted as ours: of another database's sessions only what
// one did after its last reading, or one shorter than the pause between readings, is counted with it.
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
        if (m_postmaster <= 0 || statFields(m_postmaster).size() <= 14 || !children(nullptr)) {
            // A server on another machine, or in a process namespace of its own: the bound can only hold
            // this program's time.
            std::cerr << "CpuTime: no process of this machine that can be read serves the database "
                      << database.toStdString()
                      << ": the processor time of its statements is not counted, only this program's\n";
            m_postmaster = 0;
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
        qint64 ticks = m_endedOurs + std::max<qint64>(0, m_reaped - m_reapedAtStart - m_endedLast);
        for (const Process &p : std::as_const(m_processes))
            if (p.ours)
                ticks += p.last - p.first;
        return ticks * 1000 / sysconf(_SC_CLK_TCK);
    }

private:
    struct Process
    {
        QByteArray started; // with the pid, tells a process from a later one given the same pid
        bool ours = false;
        qint64 first = 0, last = 0; // processor time in clock ticks
    };

    // The server's children, sorted; false when they cannot be read.
    bool children(QList<qint64> *pids) const
    {
        QFile f(QStringLiteral("/proc/%1/task/%1/children").arg(m_postmaster));
        if (!f.open(QIODevice::ReadOnly))
            return false;
        if (pids) {
            pids->clear();
            for (const QByteArray &child : f.readAll().simplified().split(' '))
                if (const qint64 pid = child.toLongLong(); pid > 0)
                    pids->append(pid);
            std::sort(pids->begin(), pids->end());
        }
        return true;
    }

    void sample(bool start)
    {
        // A child leaves the list only once the server has taken its time: read on both sides of the
        // server's own time, an unchanged list holds exactly the children whose time it does not hold yet.
        QList<qint64> listed, again;
        for (int attempt = 0; attempt < 10; ++attempt) {
            children(&listed);
            const QList<QByteArray> server = statFields(m_postmaster);
            if (server.size() > 14)
                m_reaped = server[13].toLongLong() + server[14].toLongLong();
            children(&again);
            if (listed == again)
                break;
        }
        if (start)
            m_reapedAtStart = m_reaped;
        QHash<qint64, QList<QByteArray>> stats;
        for (const qint64 pid : std::as_const(again))
            if (QList<QByteArray> stat = statFields(pid); stat.size() > 19)
                stats.insert(pid, stat);
        for (auto it = m_processes.begin(); it != m_processes.end();) {
            const auto stat = stats.constFind(it.key());
            if (stat != stats.cend() && stat->at(19) == it->started) {
                it->last = std::max(it->last, ticks(*stat));
                stats.erase(stat);
                ++it;
            } else {
                ended(*it);
                it = m_processes.erase(it);
            }
        }
        for (auto stat = stats.cbegin(); stat != stats.cend(); ++stat) {
            const QList<QByteArray> words = title(stat.key());
            if (words.size() < 3 || words[0] != "postgres:")
                continue; // not yet named
            Process p;
            p.started = stat->at(19);
            p.ours = isSession(words) || (words.size() > 5 && words[1] == "parallel" &&
                                          m_processes.value(words[5].toLongLong()).ours);
            p.last = ticks(*stat);
            p.first = start ? p.last : 0;
            m_processes.insert(stat.key(), p);
        }
    }

    // Its time up to its last reading is counted as it was read; the rest is in the server's.
    void ended(const Process &p)
    {
        if (p.ours)
            m_endedOurs += p.last - p.first;
        m_endedLast += p.last;
    }

    bool isSession(const QList<QByteArray> &words) const
    {
        return words.size() > 2 && words[0] == "postgres:" && words[2] == m_database;
    }

    static qint64 ticks(const QList<QByteArray> &stat)
    {
        return stat.size() > 12 ? stat[11].toLongLong() + stat[12].toLongLong() : 0;
    }

    QByteArray m_database;
    qint64 m_postmaster = 0;
    QHash<qint64, Process> m_processes;
    qint64 m_reaped = 0, m_reapedAtStart = 0; // the server's children's time, in clock ticks
    qint64 m_endedOurs = 0;                   // what our ended sessions did while they were read
    qint64 m_endedLast = 0; // what every ended child of the server had done when it was last read
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
