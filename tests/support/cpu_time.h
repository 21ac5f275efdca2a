#pragma once

#include <QtGlobal>

#include <sys/resource.h>

// The processor time a piece of work costs the process: every thread's, and that of the children it
// waited for (a reader run in a child process). Unlike the wall clock it does not grow while other
// programs keep the machine busy, so a test may bound it to catch work that grows faster than its input.
// It still grows somewhat on a loaded machine (shared caches, a slower clock), so bounds keep ample
// headroom; a server's work on the other side of a connection is not in it.
class CpuTime
{
public:
    CpuTime() : m_start(now()) {}
    qint64 milliseconds() const { return (now() - m_start) / 1000; }

private:
    static qint64 now()
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
