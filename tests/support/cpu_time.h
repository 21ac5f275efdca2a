#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class ServerProcessesCpu;

// The processor time a piece of work costs the process: every thread's, and that of the children it
// waited for (a reader run in a child process). Unlike the wall clock it does not grow while other
// programs keep the machine busy, so a test may bound it to catch work that grows faster than its input.
// It still grows somewhat on a loaded machine (shared caches, a slower clock), so bounds keep ample
// headroom.
class CpuTime
{
public:
    CpuTime();
    // Also the time of the PostgreSQL server on this machine that serves serverDatabase (none when empty):
    // a statement's work is done there, on the other side of the connection. Its sessions are counted
    // whole, those that ended between two readings too (with, at most, the short lives and last moments
    // of other databases' sessions); where no process of the server can be seen, only this program's time
    // is counted, and the log says so.
    explicit CpuTime(const QString &serverDatabase);
    ~CpuTime();
    qint64 milliseconds() const;

private:
    std::unique_ptr<ServerProcessesCpu> m_server;
    qint64 m_start;
};

// How much more processor time the sanitized build's code takes.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CPU_TIME_SANITIZED 1
#endif
#endif
#ifdef CPU_TIME_SANITIZED
inline constexpr int kSanitizerSlowdown = 4;
#else
inline constexpr int kSanitizerSlowdown = 1;
#endif
