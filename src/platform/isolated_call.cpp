#include "platform/isolated_call.h"

#include <QElapsedTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRENVALE_ISOLATED_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(BRENVALE_ISOLATED_ASAN)
#define BRENVALE_ISOLATED_ASAN 1
#endif

#ifdef BRENVALE_ISOLATED_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// Exit codes of the child beyond 0 (done) and 2 (an exception).
constexpr int kContainedExit = 86;
constexpr int kOwnFaultExit = 87;

void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

#ifdef BRENVALE_ISOLATED_ASAN
// The child's verdict on its own sanitizer report, decided before the sanitizer ends it. The report
// names each frame's module; a fault is the library's when one of the first two frames lies in it (the
// first may be the sanitizer's own interceptor of memcpy or strlen that the library called).
char g_contained[64];
bool g_containedFault = false;
char g_report[32768];

void onReport(const char *report)
{
    std::snprintf(g_report, sizeof g_report, "%s", report);
    int frames = 0;
    for (const char *line = report; line && *line && frames < 2;) {
        const char *end = std::strchr(line, '\n');
        const size_t length = end ? size_t(end - line) : std::strlen(line);
        const char *hash = static_cast<const char *>(std::memchr(line, '#', length));
        if (hash && hash + 1 < line + length && hash[1] >= '0' && hash[1] <= '9') {
            ++frames;
            if (g_contained[0] && memmem(line, length, g_contained, std::strlen(g_contained)))
                g_containedFault = true;
        }
        line = end ? end + 1 : nullptr;
    }
}

void onDeath()
{
    // In place of the fuzzer's or the test's own handling: the parent judges by the exit code. Only a
    // fault of ours is shown; the library's are what the child is there for.
    if (!g_containedFault)
        writeAll(STDERR_FILENO, QByteArray::fromRawData(g_report, qsizetype(std::strlen(g_report))));
    _exit(g_containedFault ? kContainedExit : kOwnFaultExit);
}
#endif

[[noreturn]] void runChild(const std::function<QByteArray()> &work, const IsolatedLimits &limits, int fd)
{
#ifdef BRENVALE_ISOLATED_ASAN
    // The sanitizer reserves terabytes of address space for its shadow: only the time limit holds here.
    const QByteArray library = limits.containedLibrary.toUtf8();
    std::snprintf(g_contained, sizeof g_contained, "%s", library.constData());
    __asan_set_error_report_callback(onReport);
    __sanitizer_set_death_callback(onDeath);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0)
        __sanitizer_set_report_fd(reinterpret_cast<void *>(intptr_t(quiet)));
#else
    // On top of what the process has mapped already, which the child shares.
    quint64 pages = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long long size = 0;
        if (std::fscanf(statm, "%llu", &size) == 1)
            pages = size;
        std::fclose(statm);
    }
    const rlim_t limit = rlim_t(pages * quint64(sysconf(_SC_PAGESIZE)) + limits.memoryBytes);
    const struct rlimit memory = {limit, limit};
    setrlimit(RLIMIT_AS, &memory);
#endif
    // A second bound, should the parent be gone: the processor time the wall time allows.
    const rlim_t seconds = rlim_t(limits.timeLimitMs / 1000 + 1);
    const struct rlimit cpu = {seconds, seconds};
    setrlimit(RLIMIT_CPU, &cpu);
    QByteArray out;
    try {
        out = work();
    } catch (...) {
        _exit(2);
    }
    writeAll(fd, out);
    _exit(0);
}

} // namespace

IsolatedResult RunIsolated(const std::function<QByteArray()> &Work, const IsolatedLimits &Limits)
{
    IsolatedResult result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        runChild(Work, Limits, fds[1]);
    }
    close(fds[1]);

    QElapsedTimer clock;
    clock.start();
    bool timedOut = false;
    char buffer[65536];
    for (;;) {
        const qint64 left = Limits.timeLimitMs - clock.elapsed();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        struct pollfd p = {fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, int(std::min<qint64>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            result.bytes.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    if (timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        result.outcome = IsolatedOutcome::TimedOut;
        result.bytes.clear();
        return result;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == kOwnFaultExit) {
#ifdef BRENVALE_ISOLATED_ASAN
        std::fprintf(stderr,
                     "The sanitizer report of the isolated child above lies outside %s: a fault "
                     "of ours.\n",
                     Limits.containedLibrary.toUtf8().constData());
        std::abort();
#endif
    }
    result.outcome = code == 0                ? IsolatedOutcome::Done
                     : code == kContainedExit ? IsolatedOutcome::ContainedFault
                                              : IsolatedOutcome::Failed;
    if (result.outcome != IsolatedOutcome::Done)
        result.bytes.clear();
    return result;
}
