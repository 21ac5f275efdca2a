#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// The monkey's record: every action, answer and finding, the last few kept for a failure report and
// all of them optionally written to a trace file as they happen (a crash loses none of them).
class ActionLog
{
public:
    explicit ActionLog(int keep = 30) : m_keep(keep) {}
    ~ActionLog();
    ActionLog(const ActionLog &) = delete;
    ActionLog &operator=(const ActionLog &) = delete;

    // False when the file cannot be written.
    bool openTrace(const QString &path);
    void add(const QString &line);
    QStringList last() const;
    // The header (seed and reason) and the kept lines, to stderr. Safe to call from a sanitizer's
    // death callback or the watchdog's thread: it takes no lock it cannot give up on.
    void dump(const std::string &header) const;

private:
    int m_keep;
    mutable std::timed_mutex m_mutex;
    std::deque<std::string> m_lines;
    std::FILE *m_trace = nullptr;
};

// Reports a program that stopped processing events: when beat() has not been called for the time
// given, onHang runs on the watchdog's own thread (it must end the process).
class Watchdog
{
public:
    Watchdog(int seconds, void (*onHang)());
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;
    void beat();

private:
    void run();

    int m_seconds;
    void (*m_onHang)();
    std::atomic<qint64> m_last;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The stack of the calling thread, to stderr (the sanitizer's symbolized one in a sanitized build).
void PrintStackTrace();
// Calls report() first when the process dies of a sanitizer finding or a fatal signal.
void InstallDeathReport(void (*report)());
// Has the main thread print its stack (used by the watchdog before it ends the process).
void InterruptMainThreadForStack();
