// Socket ownership and the small HTTP/1.1 server-side reader/writer used by MarketSim.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jilan::sim {

// Owns a file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset();

private:
    int fd_ = -1;
};

struct HttpRequest {
    std::string method;
    std::string target;   // request target exactly as received
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;

    // First header with that name (case-insensitive); nullptr when absent.
    const std::string* find(std::string_view name) const;
    bool wantsKeepAlive() const;
};

// Parses a request head (request line and header lines, without the final blank line).
bool parseRequestHead(std::string_view head, HttpRequest& out);

bool equalsIgnoreCase(std::string_view a, std::string_view b);

// One accepted connection. Every wait also watches the server's stop descriptor, so a stopping
// server never waits on a client.
class Connection {
public:
    Connection(Fd fd, int stopFd) : fd_(std::move(fd)), stopFd_(stopFd) {}

    enum class Read { Ok, Closed, Stopped, TimedOut, Bad };
    // Reads the next request (and discards its body, if any); leftover bytes stay buffered.
    Read readRequest(HttpRequest& out, int idleTimeoutMs);

    // Writes everything; false when the client went away or the server is stopping.
    bool sendAll(std::string_view data);

    enum class Hold { Elapsed, Stopped, Gone };
    // Keeps the connection open for `ms` milliseconds (forever when negative), discarding
    // anything the client sends; returns early when the client closes or the server stops.
    Hold hold(int ms);

    // Sleeps `ms` milliseconds; false when the server started stopping meanwhile.
    bool sleep(int ms);

private:
    Fd fd_;
    int stopFd_;
    std::string buffer_;
};

}  // namespace jilan::sim
