#pragma once

#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Bounds the client's wait for a database server that has stopped answering. The server's own command
// time-out cannot help there, and neither can TCP's keep-alives or user time-out while the server's
// machine still acknowledges what it is sent (a stopped or hung server process). A call that talks to
// the server runs inside a Scope; when one runs past the bound, the watch shuts the connection's
// sockets down, so the driver's wait ends at once with an error, and fired() tells the caller why.
class ResponseWatch
{
public:
    ResponseWatch() = default;
    ~ResponseWatch();
    ResponseWatch(const ResponseWatch &) = delete;
    ResponseWatch &operator=(const ResponseWatch &) = delete;

    // The sockets of the connection; without any the watch does nothing.
    void setSockets(const QList<int> &sockets);
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    // True once the watch has cut the connection; it stays cut.
    bool fired() const { return m_fired.load(std::memory_order_acquire); }

    class Scope
    {
    public:
        explicit Scope(ResponseWatch *watch) : m_watch(watch)
        {
            if (m_watch)
                m_watch->arm();
        }
        ~Scope()
        {
            if (m_watch)
                m_watch->disarm();
        }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        ResponseWatch *m_watch;
    };

private:
    using Clock = std::chrono::steady_clock;
    void arm();
    void disarm();
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    QList<int> m_sockets;
    std::chrono::milliseconds m_timeout{0};
    int m_depth = 0;
    Clock::time_point m_deadline;
    Clock::time_point m_sleepingUntil = Clock::time_point::max(); // the thread's own wake-up
    bool m_stop = false;
    std::atomic<bool> m_fired{false};
};

// The connected stream sockets this process holds; the ones a connection's open adds are its own.
QList<int> OpenStreamSockets();
