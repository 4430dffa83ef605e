#include "http_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace jilan::sim {

namespace {

constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 8 * 1024 * 1024;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

using Clock = std::chrono::steady_clock;

// Rounded up, so that a wait never ends before its deadline.
int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void Fd::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

const std::string* HttpRequest::find(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoreCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

bool HttpRequest::wantsKeepAlive() const {
    const std::string* connection = find("Connection");
    if (version == "HTTP/1.0") {
        return connection != nullptr && equalsIgnoreCase(*connection, "keep-alive");
    }
    return connection == nullptr || !equalsIgnoreCase(*connection, "close");
}

bool parseRequestHead(std::string_view head, HttpRequest& out) {
    out = HttpRequest{};
    std::size_t eol = head.find("\r\n");
    std::string_view line = head.substr(0, eol);
    std::size_t sp1 = line.find(' ');
    std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp1 == std::string_view::npos || sp2 == std::string_view::npos || sp1 == 0 ||
        sp2 == sp1 + 1) {
        return false;
    }
    out.method = line.substr(0, sp1);
    out.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    out.version = line.substr(sp2 + 1);
    if (!out.version.starts_with("HTTP/1.")) {
        return false;
    }
    while (eol != std::string_view::npos) {
        std::size_t start = eol + 2;
        eol = head.find("\r\n", start);
        std::string_view h = head.substr(start, eol == std::string_view::npos ? eol : eol - start);
        if (h.empty()) {
            continue;
        }
        std::size_t colon = h.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            return false;
        }
        out.headers.emplace_back(std::string(trim(h.substr(0, colon))),
                                 std::string(trim(h.substr(colon + 1))));
    }
    return true;
}

Connection::Read Connection::readRequest(HttpRequest& out, int idleTimeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(idleTimeoutMs);
    std::array<char, 16 * 1024> chunk{};
    std::size_t headEnd = std::string::npos;
    std::size_t bodyBytes = 0;
    bool haveHead = false;
    while (true) {
        if (!haveHead) {
            headEnd = buffer_.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                if (!parseRequestHead(std::string_view(buffer_).substr(0, headEnd), out)) {
                    return Read::Bad;
                }
                if (out.find("Transfer-Encoding") != nullptr) {
                    return Read::Bad;  // GET-only server: no chunked request bodies
                }
                if (const std::string* length = out.find("Content-Length")) {
                    char* end = nullptr;
                    unsigned long long n = std::strtoull(length->c_str(), &end, 10);
                    if (end == length->c_str() || *end != '\0' || n > kMaxBodyBytes) {
                        return Read::Bad;
                    }
                    bodyBytes = static_cast<std::size_t>(n);
                }
                haveHead = true;
            } else if (buffer_.size() > kMaxHeadBytes) {
                return Read::Bad;
            }
        }
        if (haveHead && buffer_.size() >= headEnd + 4 + bodyBytes) {
            buffer_.erase(0, headEnd + 4 + bodyBytes);
            return Read::Ok;
        }
        std::array<pollfd, 2> fds = {pollfd{fd_.get(), POLLIN, 0}, pollfd{stopFd_, POLLIN, 0}};
        int rc = ::poll(fds.data(), fds.size(), remainingMs(deadline));
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Read::Closed;
        }
        if (fds[1].revents != 0) {
            return Read::Stopped;
        }
        if (rc == 0) {
            return Read::TimedOut;
        }
        ssize_t n = ::recv(fd_.get(), chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (n == 0) {
            return Read::Closed;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return Read::Closed;
        }
        buffer_.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

bool Connection::sendAll(std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        std::array<pollfd, 2> fds = {pollfd{fd_.get(), POLLOUT, 0}, pollfd{stopFd_, POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        if (fds[1].revents != 0) {
            return false;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
    }
    return true;
}

Connection::Hold Connection::hold(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    std::array<char, 4096> scratch{};
    while (true) {
        std::array<pollfd, 2> fds = {pollfd{fd_.get(), POLLIN, 0}, pollfd{stopFd_, POLLIN, 0}};
        int rc = ::poll(fds.data(), fds.size(), ms < 0 ? -1 : remainingMs(deadline));
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Hold::Gone;
        }
        if (fds[1].revents != 0) {
            return Hold::Stopped;
        }
        if (rc == 0) {
            return Hold::Elapsed;
        }
        ssize_t n = ::recv(fd_.get(), scratch.data(), scratch.size(), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return Hold::Gone;
        }
    }
}

bool Connection::sleep(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        pollfd stop{stopFd_, POLLIN, 0};
        int rc = ::poll(&stop, 1, remainingMs(deadline));
        if (rc > 0) {
            return false;
        }
        if (rc == 0) {
            return true;
        }
        if (errno != EINTR) {
            return true;
        }
    }
}

}  // namespace jilan::sim
