#pragma once

#include <QByteArray>
#include <QFile>

#include <malloc.h>

#include <cstring>

// Under AddressSanitizer the shadow memory and the quarantine of freed blocks swell the resident set: the
// figures tell nothing of the program's own memory there.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PEAK_MEMORY_SANITIZED 1
#endif
#endif
#ifdef PEAK_MEMORY_SANITIZED
inline constexpr bool kPeakMemoryMeasures = false;
#else
inline constexpr bool kPeakMemoryMeasures = true;
#endif

// The high-water mark of the resident set over a case (reset through clear_refs, freed heap given back
// first), in MiB above what the process held before it.
class PeakMemory
{
public:
    PeakMemory()
    {
        malloc_trim(0);
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        m_reset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
        m_base = statusKb("VmRSS:");
    }
    // -1 when the kernel would not reset the mark.
    qint64 mebibytes() const { return m_reset ? (statusKb("VmHWM:") - m_base) >> 10 : -1; }

private:
    static qint64 statusKb(const char *key)
    {
        QFile f(QStringLiteral("/proc/self/status"));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(qsizetype(strlen(key))).trimmed().split(' ').value(0).toLongLong();
        return 0;
    }
    bool m_reset = false;
    qint64 m_base = 0;
};
