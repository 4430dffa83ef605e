// The fault player: writes a reply to the socket as the request's fault mode says (normal,
// error status, cut, stalled, endless, oversized, redirected, compressed...).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "http_io.h"
#include "routes.h"
#include "sim_options.h"

namespace jilan::sim {

// What to do with one request, decided by the server when it arrives.
struct Plan {
    Options opts;
    Fault fault = Fault::None;
    int delayMs = 0;
    std::uint64_t requestId = 0;  // RequestRecord::id
};

// Marks the end of a request (its last bytes written, or the connection given up) exactly once:
// on release() or on destruction, passing the status sent (0 when no status line went out).
class RequestGuard {
public:
    explicit RequestGuard(std::function<void(int status)> onRelease)
        : onRelease_(std::move(onRelease)) {}
    RequestGuard(const RequestGuard&) = delete;
    RequestGuard& operator=(const RequestGuard&) = delete;
    ~RequestGuard() { release(); }
    void setStatus(int status) { status_ = status; }
    void release() {
        if (onRelease_) {
            auto done = std::exchange(onRelease_, nullptr);
            done(status_);
        }
    }

private:
    std::function<void(int)> onRelease_;
    int status_ = 0;
};

// The gzip bomb body, built once per server on first use (std::nullopt when zlib failed).
class GzipBombBody {
public:
    const std::optional<std::string>& get();

private:
    std::once_flag once_;
    std::optional<std::string> body_;
};

std::string_view reasonPhrase(int status);
// IMF-fixdate, e.g. "Mon, 07 Dec 2026 18:45:00 GMT" (the form of Retry-After as a date).
std::string httpDate(std::chrono::system_clock::time_point when);
std::string responseHead(int status, const std::vector<std::pair<std::string, std::string>>& fields,
                         bool keepAlive);

// Sends `reply` for one request with the plan's fault applied. Every reply the server sends goes
// through here. Returns true when the connection may carry another request.
bool sendReply(Connection& conn, const Plan& plan, const Target& target, Reply reply,
               bool keepAlive, bool headOnly, RequestGuard& guard, GzipBombBody& bomb);

}  // namespace jilan::sim
