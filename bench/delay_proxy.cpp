// A TCP relay on the loopback address that holds every chunk of bytes for a fixed time before passing it
// on, so that a database server on this machine answers as one on the network would: each round trip
// costs the two delays more, while bytes already in flight keep flowing (a chunk waits only for its own
// delay, never for the answer to the one before it). Order is kept per direction, every connection gets
// its own connection to the server, and a half-close is passed on once the bytes before it are.
//
//   bench_delay_proxy --server PORT [--listen PORT] [--up MS] [--down MS]
//
// --up delays what the client sends, --down what the server sends (0.5 ms each unless given). With no
// --listen (or 0) a free port is taken. Once listening it prints "listening on PORT" and runs until it
// is killed.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <list>
#include <string>
#include <vector>

namespace {

using Nanos = std::int64_t;

Nanos now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return Nanos(t.tv_sec) * 1000000000 + t.tv_nsec;
}

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "bench_delay_proxy: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

void setSocketOptions(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Nagle's wait would add its own delay to every small message.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

struct Chunk
{
    Nanos due;
    std::vector<char> bytes;
    std::size_t sent = 0;
};

// One direction of a connection: what was read from `from` waits in `queue` until it is due for `to`.
struct Direction
{
    int from = -1, to = -1;
    Nanos delay = 0;
    std::deque<Chunk> queue;
    std::size_t queued = 0;
    bool eof = false;     // `from` will send nothing more
    bool closed = false;  // `to` has been told so
    bool blocked = false; // `to` took less than it was given; wait until it is writable
    bool failed = false;

    // A reader that does not keep up stops the reading, as a full socket buffer would.
    static constexpr std::size_t kLimit = 8 << 20;
    bool wantsRead() const { return !eof && !failed && queued < kLimit; }
    bool done() const { return failed || (eof && queue.empty() && closed); }

    void read()
    {
        char buffer[65536];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n > 0) {
            queue.push_back(Chunk{now() + delay, std::vector<char>(buffer, buffer + n)});
            queued += std::size_t(n);
        } else if (n == 0) {
            eof = true;
        } else if (errno != EAGAIN && errno != EINTR) {
            failed = true;
        }
    }

    // Writes every chunk that is due; returns when the next one is due (0: nothing waits on time).
    Nanos write(Nanos at)
    {
        blocked = false;
        while (!queue.empty() && !failed) {
            Chunk &c = queue.front();
            if (c.due > at)
                return c.due;
            const ssize_t n = send(to, c.bytes.data() + c.sent, c.bytes.size() - c.sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    blocked = true;
                else
                    failed = true;
                return 0;
            }
            c.sent += std::size_t(n);
            if (c.sent < c.bytes.size()) {
                blocked = true;
                return 0;
            }
            queued -= c.bytes.size();
            queue.pop_front();
        }
        if (eof && queue.empty() && !closed && !failed) {
            shutdown(to, SHUT_WR);
            closed = true;
        }
        return 0;
    }
};

struct Connection
{
    int client, server;
    Direction up, down;
    Connection(int c, int s, Nanos upDelay, Nanos downDelay) : client(c), server(s)
    {
        up.from = down.to = c;
        up.to = down.from = s;
        up.delay = upDelay;
        down.delay = downDelay;
    }
    bool finished() const { return up.failed || down.failed || (up.done() && down.done()); }
};

int listenOn(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        die("socket");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(std::uint16_t(port));
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        die("bind");
    if (listen(fd, 128) != 0)
        die("listen");
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

int connectTo(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(std::uint16_t(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

Nanos millis(const char *text)
{
    char *end = nullptr;
    const double ms = std::strtod(text, &end);
    if (end == text || *end || ms < 0) {
        std::fprintf(stderr, "bench_delay_proxy: not a delay in ms: %s\n", text);
        std::exit(2);
    }
    return Nanos(ms * 1e6);
}

int portOf(const char *text)
{
    char *end = nullptr;
    const long port = std::strtol(text, &end, 10);
    if (end == text || *end || port < 0 || port > 65535) {
        std::fprintf(stderr, "bench_delay_proxy: not a port: %s\n", text);
        std::exit(2);
    }
    return int(port);
}

} // namespace

int main(int argc, char **argv)
{
    int serverPort = -1, listenPort = 0;
    Nanos upDelay = 500000, downDelay = 500000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--server")
            serverPort = portOf(argv[i + 1]);
        else if (option == "--listen")
            listenPort = portOf(argv[i + 1]);
        else if (option == "--up")
            upDelay = millis(argv[i + 1]);
        else if (option == "--down")
            downDelay = millis(argv[i + 1]);
        else
            serverPort = -1, i = argc;
    }
    if (serverPort <= 0 || argc % 2 == 0) {
        std::fprintf(stderr,
                     "usage: bench_delay_proxy --server PORT [--listen PORT] [--up MS] [--down MS]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    // The kernel may otherwise wake the wait up to 50 us late, a tenth of the delay.
    prctl(PR_SET_TIMERSLACK, 1UL);

    const int listener = listenOn(listenPort);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(listener, reinterpret_cast<sockaddr *>(&bound), &length);
    std::printf("listening on %d\n", ntohs(bound.sin_port));
    std::fflush(stdout);

    std::list<Connection> connections;
    std::vector<pollfd> fds;
    std::vector<Direction *> owners; // the direction that asked for each entry of fds (null: the listener)
    for (;;) {
        // Everything due goes out first; the earliest chunk still waiting sets the sleep.
        const Nanos at = now();
        Nanos next = 0;
        for (auto it = connections.begin(); it != connections.end();) {
            for (Direction *d : {&it->up, &it->down}) {
                const Nanos due = d->write(at);
                if (due && (!next || due < next))
                    next = due;
            }
            if (it->finished()) {
                close(it->client);
                close(it->server);
                it = connections.erase(it);
            } else {
                ++it;
            }
        }

        fds.assign(1, pollfd{listener, POLLIN, 0});
        owners.assign(1, nullptr);
        for (Connection &c : connections)
            for (Direction *d : {&c.up, &c.down}) {
                if (d->wantsRead()) {
                    fds.push_back(pollfd{d->from, POLLIN, 0});
                    owners.push_back(d);
                }
                if (d->blocked) {
                    fds.push_back(pollfd{d->to, POLLOUT, 0});
                    owners.push_back(d);
                }
            }
        timespec wait{};
        const timespec *timeout = nullptr;
        if (next) {
            const Nanos left = std::max<Nanos>(0, next - now());
            wait.tv_sec = time_t(left / 1000000000);
            wait.tv_nsec = long(left % 1000000000);
            timeout = &wait;
        }
        if (ppoll(fds.data(), fds.size(), timeout, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            die("ppoll");
        }

        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            Direction *d = owners[i];
            if (fds[i].events & POLLIN)
                d->read();
            else if (fds[i].revents & (POLLERR | POLLHUP))
                d->failed = true;
        }
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const int client = accept(listener, nullptr, nullptr);
                if (client < 0)
                    break;
                const int server = connectTo(serverPort);
                if (server < 0) {
                    close(client);
                    continue;
                }
                setSocketOptions(client);
                setSocketOptions(server);
                connections.emplace_back(client, server, upDelay, downDelay);
            }
        }
    }
}
