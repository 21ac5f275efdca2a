#include "action_log.h"

#include <chrono>
#include <csignal>

#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>

extern "C" {
// Present when the sanitizers' runtime is linked in.
void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));
void __sanitizer_print_stack_trace() __attribute__((weak));
}

namespace {

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

pthread_t g_mainThread = pthread_self();
void (*g_report)() = nullptr;

void fatalSignal(int sig)
{
    if (g_report)
        g_report();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void stackSignal(int)
{
    PrintStackTrace();
}

} // namespace

ActionLog::~ActionLog()
{
    if (m_trace)
        std::fclose(m_trace);
}

bool ActionLog::openTrace(const QString &path)
{
    m_trace = std::fopen(path.toLocal8Bit().constData(), "w");
    return m_trace != nullptr;
}

void ActionLog::add(const QString &line)
{
    std::string bytes = line.toStdString();
    if (m_trace) {
        std::fputs(bytes.c_str(), m_trace);
        std::fputc('\n', m_trace);
        std::fflush(m_trace);
    }
    std::lock_guard lock(m_mutex);
    m_lines.push_back(std::move(bytes));
    while (int(m_lines.size()) > m_keep)
        m_lines.pop_front();
}

QStringList ActionLog::last() const
{
    std::lock_guard lock(m_mutex);
    QStringList lines;
    for (const std::string &line : m_lines)
        lines << QString::fromStdString(line);
    return lines;
}

void ActionLog::dump(const std::string &header) const
{
    std::fprintf(stderr, "\n%s\nlast actions, oldest first:\n", header.c_str());
    // A thread stopped while adding a line must not keep the report from being written.
    const bool locked = m_mutex.try_lock_for(std::chrono::seconds(2));
    for (const std::string &line : m_lines)
        std::fprintf(stderr, "  %s\n", line.c_str());
    if (locked)
        m_mutex.unlock();
    std::fflush(stderr);
}

Watchdog::Watchdog(int seconds, void (*onHang)()) : m_seconds(seconds), m_onHang(onHang), m_last(nowMs())
{
    m_thread = std::thread([this] { run(); });
}

Watchdog::~Watchdog()
{
    m_stop = true;
    m_thread.join();
}

void Watchdog::beat()
{
    m_last = nowMs();
}

void Watchdog::run()
{
    while (!m_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!m_stop && nowMs() - m_last > qint64(m_seconds) * 1000) {
            m_onHang();
            return;
        }
    }
}

void PrintStackTrace()
{
    if (__sanitizer_print_stack_trace) {
        __sanitizer_print_stack_trace();
        return;
    }
    void *frames[128];
    const int n = backtrace(frames, 128);
    backtrace_symbols_fd(frames, n, STDERR_FILENO);
}

void InstallDeathReport(void (*report)())
{
    g_report = report;
    g_mainThread = pthread_self();
    std::signal(SIGUSR2, stackSignal);
    if (__sanitizer_set_death_callback) {
        __sanitizer_set_death_callback(report);
        return;
    }
    // Without the sanitizers the fatal signals are ours to catch.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        std::signal(sig, fatalSignal);
}

void InterruptMainThreadForStack()
{
    pthread_kill(g_mainThread, SIGUSR2);
}
