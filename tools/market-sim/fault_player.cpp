#include "fault_player.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

#include "gzip_bomb.h"
#include "sim_content.h"

namespace jilan::sim {

namespace {

constexpr std::size_t kPaddingChunk = 16 * 1024;

int faultStatus(Fault fault) {
    switch (fault) {
        case Fault::Status404:
            return 404;
        case Fault::Status500:
            return 500;
        case Fault::Status429:
            return 429;
        case Fault::Status503:
            return 503;
        default:
            return 0;
    }
}

}  // namespace

std::string httpDate(std::chrono::system_clock::time_point when) {
    static constexpr std::array<std::string_view, 7> kDays = {"Thu", "Fri", "Sat", "Sun",
                                                              "Mon", "Tue", "Wed"};
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    const auto days = std::chrono::floor<std::chrono::days>(
        std::chrono::sys_seconds(std::chrono::seconds(seconds)));
    const std::chrono::year_month_day date(days);
    const long long inDay = seconds - days.time_since_epoch().count() * 86400LL;
    auto two = [](long long v) {
        return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
    };
    // 1970-01-01 was a Thursday.
    const long long weekday = ((days.time_since_epoch().count() % 7) + 7) % 7;
    return std::string(kDays[static_cast<std::size_t>(weekday)]) + ", " +
           two(static_cast<unsigned>(date.day())) + " " +
           std::string(kMonths[static_cast<unsigned>(date.month()) - 1]) + " " +
           std::to_string(static_cast<int>(date.year())) + " " + two(inDay / 3600) + ":" +
           two(inDay / 60 % 60) + ":" + two(inDay % 60) + " GMT";
}

const std::optional<std::string>& GzipBombBody::get() {
    std::call_once(once_, [this] { body_ = makeGzipBomb(kGzipBombInflatedBytes); });
    return body_;
}

std::string_view reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

std::string responseHead(int status, const std::vector<std::pair<std::string, std::string>>& fields,
                         bool keepAlive) {
    std::string s = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reasonPhrase(status)) +
                    "\r\nServer: market-sim\r\n";
    for (const auto& [key, value] : fields) {
        s += key + ": " + value + "\r\n";
    }
    s += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return s;
}

bool sendReply(Connection& conn, const Plan& plan, const Target& target, Reply reply,
               bool keepAlive, bool headOnly, RequestGuard& guard, GzipBombBody& bomb) {
    const Options& o = plan.opts;
    std::vector<std::pair<std::string, std::string>> fields;
    auto contentFields = [&](std::size_t length) {
        fields.emplace_back("Content-Type", reply.contentType);
        fields.emplace_back("Content-Length", std::to_string(length));
        for (const auto& h : reply.extraHeaders) {
            fields.push_back(h);
        }
    };
    // Sends head + body (body skipped for HEAD) as the request's last bytes.
    auto finish = [&](const std::string& head, std::string_view body, bool keep) {
        guard.setStatus(reply.status);
        guard.release();
        bool ok = conn.sendAll(headOnly ? std::string_view(head) : head + std::string(body));
        return ok && keep;
    };

    switch (plan.fault) {
        case Fault::None:
            break;
        case Fault::Status404:
        case Fault::Status500:
        case Fault::Status429:
        case Fault::Status503: {
            const int status = faultStatus(plan.fault);
            reply = htmlReply(status, errorPage(status), o.utf8);
            if (status == 429 || status == 503) {
                reply.extraHeaders.emplace_back("Retry-After", "1");
            }
            break;
        }
        case Fault::Page404:
        case Fault::Page500:
            reply.status = plan.fault == Fault::Page404 ? 404 : 500;
            break;
        case Fault::IcpNotFiled404:
        case Fault::IcpFiled404:
            if (target.route == Route::Icp) {
                const std::string number = plan.fault == Fault::IcpFiled404
                                               ? assignedFilingNumber(target.domain)
                                               : std::string();
                reply = htmlReply(404, icpPageWith(target.domain, number, o.utf8), o.utf8);
            }
            reply.status = 404;
            break;
        case Fault::NoMarkers:
            reply = htmlReply(200, noMarkersPage(o.utf8), o.utf8);
            break;
        case Fault::ChangedLayout:
            // Every marker but the rows' own is still there: the rows are what no longer parse.
            reply.status = 200;
            for (std::size_t at = reply.body.find(kRowMarker); at != std::string::npos;
                 at = reply.body.find(kRowMarker, at + kChangedRowMarker.size())) {
                reply.body.replace(at, kRowMarker.size(), kChangedRowMarker);
            }
            break;
        case Fault::Throttle429:
        case Fault::Throttle429NoRetry:
        case Fault::Throttle503: {
            // admit() leaves a throttle mode in the plan only for the refused requests.
            const int status = plan.fault == Fault::Throttle503 ? 503 : 429;
            reply = htmlReply(status, errorPage(status), o.utf8);
            if (plan.fault != Fault::Throttle429NoRetry) {
                reply.extraHeaders.emplace_back(
                    "Retry-After", o.retryAfterAsDate
                                       ? httpDate(std::chrono::system_clock::now() +
                                                  std::chrono::seconds(o.retryAfterSeconds))
                                       : std::to_string(o.retryAfterSeconds));
            }
            break;
        }
        case Fault::RedirectLoop:
        case Fault::RedirectToFile: {
            const std::string location = plan.fault == Fault::RedirectLoop
                                             ? redirectPartner(target)
                                             : std::string(kRedirectFileTarget);
            reply = htmlReply(
                302, "<html><body><a href=\"" + location + "\">moved</a></body></html>", o.utf8);
            reply.extraHeaders.emplace_back("Location", location);
            break;
        }
        case Fault::InvalidGbk: {
            std::size_t at = reply.body.find("<body>\r\n");
            at = at == std::string::npos ? 0 : at + 8;
            reply.body.insert(at, "\x81\x20\xFF");
            break;
        }
        case Fault::NoCharset:
            reply.contentType = "text/html";
            break;
        case Fault::Empty:
            reply.status = 200;
            reply.body.clear();
            break;
        case Fault::DropBeforeBody:
            guard.release();
            return false;
        case Fault::NeverAnswer:
            conn.hold(-1);
            return false;
        case Fault::DropMidBody: {
            contentFields(reply.body.size());
            const std::string head = responseHead(reply.status, fields, false);
            finish(head, std::string_view(reply.body).substr(0, reply.body.size() / 2), false);
            return false;
        }
        case Fault::Trickle: {
            contentFields(reply.body.size());
            guard.setStatus(reply.status);
            if (!conn.sendAll(responseHead(reply.status, fields, false))) {
                return false;
            }
            for (std::size_t i = 0; i < reply.body.size(); ++i) {
                if (i + 1 == reply.body.size()) {
                    guard.release();
                }
                if (!conn.sendAll(std::string_view(reply.body).substr(i, 1)) ||
                    conn.hold(1000) != Connection::Hold::Elapsed) {
                    return false;
                }
            }
            return false;
        }
        case Fault::EndlessBody: {
            fields.emplace_back("Content-Type", reply.contentType);
            fields.emplace_back("Transfer-Encoding", "chunked");
            auto chunk = [](std::string_view data) {
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", data.size());
                return std::string(size) + std::string(data) + "\r\n";
            };
            const std::string padding = chunk(std::string(kPaddingChunk, ' '));
            guard.setStatus(reply.status);
            if (!conn.sendAll(responseHead(reply.status, fields, false) + chunk(reply.body))) {
                return false;
            }
            while (conn.sendAll(padding)) {
            }
            return false;
        }
        case Fault::OversizedBody: {
            contentFields(kOversizedBodyBytes);
            guard.setStatus(reply.status);
            std::string body = reply.body.substr(0, kOversizedBodyBytes);
            if (!conn.sendAll(responseHead(reply.status, fields, false) + body)) {
                return false;
            }
            const std::string padding(kPaddingChunk, ' ');
            std::size_t left = kOversizedBodyBytes - body.size();
            while (left > 0) {
                const std::size_t n = std::min(left, padding.size());
                if (n == left) {
                    guard.release();
                }
                if (!conn.sendAll(std::string_view(padding).substr(0, n))) {
                    return false;
                }
                left -= n;
            }
            return false;
        }
        case Fault::GzipBomb: {
            const auto& bombBody = bomb.get();
            if (!bombBody) {
                reply = htmlReply(500, errorPage(500), o.utf8);
                break;
            }
            fields.emplace_back("Content-Encoding", "gzip");
            contentFields(bombBody->size());
            finish(responseHead(reply.status, fields, false), *bombBody, false);
            return false;
        }
    }
    contentFields(reply.body.size());
    return finish(responseHead(reply.status, fields, keepAlive), reply.body, keepAlive);
}

}  // namespace jilan::sim
