#include "market_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "gzip_bomb.h"
#include "http_io.h"
#include "text_codec.h"

namespace jilan::sim {

// ---- Fault names -----------------------------------------------------------------------------

namespace {

struct FaultEntry {
    Fault fault;
    std::string_view name;
};

constexpr std::array<FaultEntry, 17> kFaultNames = {{
    {Fault::None, "none"},
    {Fault::Status404, "status-404"},
    {Fault::Status500, "status-500"},
    {Fault::Status429, "status-429"},
    {Fault::Status503, "status-503"},
    {Fault::DropBeforeBody, "drop-before-body"},
    {Fault::DropMidBody, "drop-mid-body"},
    {Fault::NeverAnswer, "never-answer"},
    {Fault::Trickle, "trickle"},
    {Fault::EndlessBody, "endless-body"},
    {Fault::OversizedBody, "oversized-body"},
    {Fault::RedirectLoop, "redirect-loop"},
    {Fault::RedirectToFile, "redirect-to-file"},
    {Fault::GzipBomb, "gzip-bomb"},
    {Fault::InvalidGbk, "invalid-gbk"},
    {Fault::NoCharset, "no-charset"},
    {Fault::Empty, "empty"},
}};

constexpr std::array<Fault, kFaultNames.size()> kAllFaults = [] {
    std::array<Fault, kFaultNames.size()> out{};
    for (std::size_t i = 0; i < kFaultNames.size(); ++i) {
        out[i] = kFaultNames[i].fault;
    }
    return out;
}();

}  // namespace

std::optional<Fault> parseFault(std::string_view name) {
    for (const auto& entry : kFaultNames) {
        if (equalsIgnoreCase(entry.name, name)) {
            return entry.fault;
        }
        if (entry.name.starts_with("status-") && equalsIgnoreCase(entry.name.substr(7), name)) {
            return entry.fault;
        }
    }
    return std::nullopt;
}

std::string_view faultName(Fault fault) {
    for (const auto& entry : kFaultNames) {
        if (entry.fault == fault) {
            return entry.name;
        }
    }
    return "none";
}

std::span<const Fault> allFaults() {
    return kAllFaults;
}

std::string RequestRecord::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return {};
}

// ---- Request routing ---------------------------------------------------------------------------

namespace {

constexpr int kIdleTimeoutMs = 30000;
constexpr std::size_t kPaddingChunk = 16 * 1024;

std::string percentDecode(std::string_view in) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
            out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

// Splits a raw query into its parameters (not decoded).
std::vector<std::pair<std::string_view, std::string_view>> queryParams(std::string_view query) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view part = query.substr(0, amp);
        std::size_t eq = part.find('=');
        if (eq == std::string_view::npos) {
            out.emplace_back(part, std::string_view{});
        } else {
            out.emplace_back(part.substr(0, eq), part.substr(eq + 1));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return out;
}

enum class Route { Index, Listing, Detail, Icp, Vendor, Help, Unknown };

struct Target {
    Route route = Route::Unknown;
    std::string path;
    std::string query;
    int page = 0;        // canonical listing page, 0 when none
    std::string domain;  // detail / ICP, percent-decoded
};

Target classify(std::string_view raw) {
    Target t;
    std::size_t q = raw.find('?');
    t.path = std::string(raw.substr(0, q));
    t.query = q == std::string_view::npos ? "" : std::string(raw.substr(q + 1));
    const std::string_view path = t.path;
    if (path == "/" || path == "/index.html") {
        t.route = Route::Index;
    } else if (path == "/search") {
        t.route = Route::Listing;
        for (const auto& [key, value] : queryParams(t.query)) {
            if (key == "p") {
                t.page = canonicalPage(percentDecode(value));
                break;
            }
        }
    } else if (path.starts_with("/backorder/") && path.size() > 11) {
        t.route = Route::Detail;
        t.domain = percentDecode(path.substr(11));
    } else if (path.starts_with("/icp/") && path.size() > 5) {
        t.route = Route::Icp;
        t.domain = percentDecode(path.substr(5));
    } else if (path == "/vendor/forum" || path == "/vendor/home") {
        t.route = Route::Vendor;
    } else if (path == "/help/booking") {
        t.route = Route::Help;
    }
    return t;
}

// Target with "hop=1" toggled: the two ends of RedirectLoop.
std::string redirectPartner(const Target& t) {
    std::string query;
    bool hadHop = false;
    std::string_view rest = t.query;
    while (!rest.empty()) {
        std::size_t amp = rest.find('&');
        std::string_view part = rest.substr(0, amp);
        if (part == "hop" || part.starts_with("hop=")) {
            hadHop = true;
        } else if (!part.empty()) {
            query += query.empty() ? "" : "&";
            query += part;
        }
        rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    }
    if (!hadHop) {
        query += query.empty() ? "hop=1" : "&hop=1";
    }
    return query.empty() ? t.path : t.path + "?" + query;
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

// A response before faults are applied: status, encoded body and content type.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> extraHeaders;
};

Reply htmlReply(int status, const std::string& utf8Text, bool utf8) {
    Reply r;
    r.status = status;
    if (utf8) {
        r.body = utf8Text;
        r.contentType = "text/html; charset=utf-8";
        return r;
    }
    if (auto gbk = utf8ToGbk(utf8Text)) {
        r.body = std::move(*gbk);
        r.contentType = "text/html; charset=gbk";
        return r;
    }
    r.status = 500;
    r.body =
        "<html><body><h1>500 Internal Server Error</h1>charset conversion failed</body></html>";
    r.contentType = "text/html";
    return r;
}

Reply routeReply(const Target& t, const Options& o) {
    switch (t.route) {
        case Route::Index:
            return htmlReply(200, indexPage(o.utf8), o.utf8);
        case Route::Listing:
            return htmlReply(200, listingPage(o, t.page), o.utf8);
        case Route::Detail:
            return htmlReply(200, detailPage(t.domain, o.utf8), o.utf8);
        case Route::Icp:
            return htmlReply(200, icpPage(t.domain, o.utf8), o.utf8);
        case Route::Vendor:
            return htmlReply(200, vendorPage(t.path.substr(8), o.utf8), o.utf8);
        case Route::Help:
            return htmlReply(200, helpPage(o.utf8), o.utf8);
        case Route::Unknown:
            break;
    }
    return htmlReply(404, errorPage(404), o.utf8);
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

void writeLogLine(const HttpRequest& req) {
    std::string line = req.method + " " + req.target;
    if (const std::string* ims = req.find("If-Modified-Since")) {
        line += " If-Modified-Since: " + *ims;
    }
    line += "\n";
    // One write per line keeps lines whole when several connections log at once.
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace

// ---- Server ------------------------------------------------------------------------------------

struct MarketSim::Impl {
    explicit Impl(Options o) : opts(std::move(o)), rng(opts.seed) {}

    // Configuration and bookkeeping, guarded by mu.
    mutable std::mutex mu;
    Options opts;
    std::mt19937 rng;
    std::vector<RequestRecord> log;
    std::map<std::string, int> hits;  // requests per target, for failFirstN
    int inFlight = 0;
    int maxInFlight = 0;
    int connections = 0;

    // Life cycle, guarded by lifeMu.
    mutable std::mutex lifeMu;
    bool started = false;
    bool stopped = false;
    std::string error;
    int boundPort = 0;
    std::string host = "127.0.0.1";
    Fd listenFd;
    Fd stopRead;
    Fd stopWrite;
    std::thread acceptThread;

    struct Conn {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::mutex connMu;
    std::list<Conn> conns;

    std::once_flag bombOnce;
    std::optional<std::string> bomb;

    // What to do with one request, decided under mu when it arrives.
    struct Plan {
        Options opts;
        Fault fault = Fault::None;
        int delayMs = 0;
    };

    // Keeps a request counted as in flight until released or destroyed.
    class InFlight {
    public:
        explicit InFlight(Impl& impl) : impl_(&impl) {}
        InFlight(const InFlight&) = delete;
        InFlight& operator=(const InFlight&) = delete;
        ~InFlight() { release(); }
        void release() {
            if (impl_ != nullptr) {
                std::lock_guard lock(impl_->mu);
                --impl_->inFlight;
                impl_ = nullptr;
            }
        }

    private:
        Impl* impl_;
    };

    bool start();
    void stop();
    void acceptLoop();
    void reapFinished();
    void serve(Fd fd, int connectionId);
    Plan admit(const HttpRequest& req, const Target& target, int connectionId);
    bool answer(Connection& conn, const HttpRequest& req, int connectionId);
    bool sendFault(Connection& conn, const Plan& plan, const Target& target, Reply reply,
                   bool keepAlive, bool headOnly, InFlight& guard);
    const std::optional<std::string>& gzipBomb() {
        std::call_once(bombOnce, [this] { bomb = makeGzipBomb(kGzipBombInflatedBytes); });
        return bomb;
    }
};

bool MarketSim::Impl::start() {
    std::lock_guard life(lifeMu);
    if (started) {
        error = "already started";
        return false;
    }
    Options o;
    {
        std::lock_guard lock(mu);
        o = opts;
    }
    std::array<int, 2> pipeFds{};
    if (::pipe2(pipeFds.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    stopRead = Fd(pipeFds[0]);
    stopWrite = Fd(pipeFds[1]);

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(o.port));
    if (o.port < 0 || o.port > 65535 ||
        ::inet_pton(AF_INET, o.bindAddress.c_str(), &addr.sin_addr) != 1) {
        error = "bad bind address or port: " + o.bindAddress + ":" + std::to_string(o.port);
        return false;
    }
    Fd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!sock) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(sock.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(sock.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        error =
            "bind " + o.bindAddress + ":" + std::to_string(o.port) + ": " + std::strerror(errno);
        return false;
    }
    if (::listen(sock.get(), 128) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    if (::getsockname(sock.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error = std::string("getsockname: ") + std::strerror(errno);
        return false;
    }
    boundPort = ntohs(addr.sin_port);
    host = o.bindAddress == "0.0.0.0" ? "127.0.0.1" : o.bindAddress;
    listenFd = std::move(sock);
    acceptThread = std::thread([this] { acceptLoop(); });
    started = true;
    return true;
}

void MarketSim::Impl::stop() {
    {
        std::lock_guard life(lifeMu);
        if (!started || stopped) {
            return;
        }
        stopped = true;
    }
    // The pipe is never drained: once written, every poll on stopRead wakes at once.
    [[maybe_unused]] ssize_t n = ::write(stopWrite.get(), "x", 1);
    acceptThread.join();
    listenFd.reset();
    std::list<Conn> all;
    {
        std::lock_guard lock(connMu);
        all.splice(all.begin(), conns);
    }
    for (auto& c : all) {
        c.thread.join();
    }
}

void MarketSim::Impl::reapFinished() {
    std::lock_guard lock(connMu);
    for (auto it = conns.begin(); it != conns.end();) {
        if (it->done.load()) {
            it->thread.join();
            it = conns.erase(it);
        } else {
            ++it;
        }
    }
}

void MarketSim::Impl::acceptLoop() {
    while (true) {
        std::array<pollfd, 2> fds = {pollfd{listenFd.get(), POLLIN, 0},
                                     pollfd{stopRead.get(), POLLIN, 0}};
        int rc = ::poll(fds.data(), fds.size(), 1000);
        if (rc < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        reapFinished();
        if (rc <= 0 || (fds[0].revents & POLLIN) == 0) {
            continue;
        }
        Fd client(::accept4(listenFd.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client) {
            if (errno == EMFILE || errno == ENFILE) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        int one = 1;
        ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int id = 0;
        {
            std::lock_guard lock(mu);
            id = ++connections;
        }
        std::lock_guard lock(connMu);
        Conn& c = conns.emplace_back();
        c.thread = std::thread([this, fd = std::move(client), &c, id]() mutable {
            serve(std::move(fd), id);
            c.done = true;
        });
    }
}

void MarketSim::Impl::serve(Fd fd, int connectionId) {
    Connection conn(std::move(fd), stopRead.get());
    while (true) {
        HttpRequest req;
        Connection::Read r = conn.readRequest(req, kIdleTimeoutMs);
        if (r == Connection::Read::Bad) {
            std::string body = errorPage(400);
            conn.sendAll(responseHead(400,
                                      {{"Content-Type", "text/html"},
                                       {"Content-Length", std::to_string(body.size())}},
                                      false) +
                         body);
            return;
        }
        if (r != Connection::Read::Ok) {
            return;
        }
        if (!answer(conn, req, connectionId)) {
            return;
        }
    }
}

MarketSim::Impl::Plan MarketSim::Impl::admit(const HttpRequest& req, const Target& target,
                                             int connectionId) {
    RequestRecord rec;
    rec.method = req.method;
    rec.target = req.target;
    if (const std::string* ims = req.find("If-Modified-Since")) {
        rec.hasIfModifiedSince = true;
        rec.ifModifiedSince = *ims;
    }
    rec.headers = req.headers;
    rec.connection = connectionId;
    rec.received = std::chrono::steady_clock::now();

    std::lock_guard lock(mu);
    Plan plan;
    plan.opts = opts;
    const Options& o = plan.opts;

    Fault specific = Fault::None;
    switch (target.route) {
        case Route::Listing:
            if (auto it = o.pageFaults.find(target.page);
                target.page > 0 && it != o.pageFaults.end()) {
                specific = it->second;
            }
            break;
        case Route::Detail:
            specific = o.detailFault;
            break;
        case Route::Icp:
            specific = o.icpFault;
            break;
        default:
            break;
    }
    plan.fault = specific != Fault::None ? specific : o.allFault;
    if (o.failFirstN > 0 && ++hits[req.target] > o.failFirstN) {
        plan.fault = Fault::None;
    }

    plan.delayMs = o.latencyMs;
    if (target.route == Route::Listing && target.page > 0) {
        if (auto it = o.pageLatencyMs.find(target.page); it != o.pageLatencyMs.end()) {
            plan.delayMs = it->second;
        }
    }
    if (o.jitterMs > 0) {
        plan.delayMs += std::uniform_int_distribution<int>(0, o.jitterMs)(rng);
    }

    rec.fault = plan.fault;
    log.push_back(std::move(rec));
    ++inFlight;
    maxInFlight = std::max(maxInFlight, inFlight);
    return plan;
}

bool MarketSim::Impl::answer(Connection& conn, const HttpRequest& req, int connectionId) {
    const Target target = classify(req.target);
    Plan plan = admit(req, target, connectionId);
    InFlight guard(*this);
    if (plan.opts.logRequests) {
        writeLogLine(req);
    }
    if (plan.delayMs > 0 && !conn.sleep(plan.delayMs)) {
        return false;
    }
    const bool headOnly = req.method == "HEAD";
    bool keepAlive = req.wantsKeepAlive();
    Reply reply;
    if (req.method != "GET" && !headOnly) {
        reply = htmlReply(405, errorPage(405), plan.opts.utf8);
        reply.extraHeaders.emplace_back("Allow", "GET, HEAD");
    } else {
        reply = routeReply(target, plan.opts);
    }
    return sendFault(conn, plan, target, std::move(reply), keepAlive, headOnly, guard);
}

bool MarketSim::Impl::sendFault(Connection& conn, const Plan& plan, const Target& target,
                                Reply reply, bool keepAlive, bool headOnly, InFlight& guard) {
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
            if (!conn.sendAll(responseHead(reply.status, fields, false) + chunk(reply.body))) {
                return false;
            }
            while (conn.sendAll(padding)) {
            }
            return false;
        }
        case Fault::OversizedBody: {
            contentFields(kOversizedBodyBytes);
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
            const auto& bombBody = gzipBomb();
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

// ---- Public wrapper ----------------------------------------------------------------------------

MarketSim::MarketSim(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

MarketSim::~MarketSim() {
    impl_->stop();
}

bool MarketSim::start() {
    return impl_->start();
}

std::string MarketSim::lastError() const {
    std::lock_guard life(impl_->lifeMu);
    return impl_->error;
}

void MarketSim::stop() {
    impl_->stop();
}

int MarketSim::port() const {
    std::lock_guard life(impl_->lifeMu);
    return impl_->boundPort;
}

std::string MarketSim::baseUrl() const {
    std::lock_guard life(impl_->lifeMu);
    return "http://" + impl_->host + ":" + std::to_string(impl_->boundPort);
}

std::string MarketSim::icpBaseUrl() const {
    return baseUrl() + "/icp/";
}

Options MarketSim::options() const {
    std::lock_guard lock(impl_->mu);
    return impl_->opts;
}

void MarketSim::setOptions(Options options) {
    std::lock_guard lock(impl_->mu);
    impl_->opts = std::move(options);
    impl_->hits.clear();
}

void MarketSim::modifyOptions(const std::function<void(Options&)>& change) {
    std::lock_guard lock(impl_->mu);
    change(impl_->opts);
    impl_->hits.clear();
}

std::vector<RequestRecord> MarketSim::requests() const {
    std::lock_guard lock(impl_->mu);
    return impl_->log;
}

void MarketSim::clearRequests() {
    std::lock_guard lock(impl_->mu);
    impl_->log.clear();
    impl_->hits.clear();
    impl_->maxInFlight = impl_->inFlight;
}

int MarketSim::maxConcurrent() const {
    std::lock_guard lock(impl_->mu);
    return impl_->maxInFlight;
}

int MarketSim::inFlight() const {
    std::lock_guard lock(impl_->mu);
    return impl_->inFlight;
}

}  // namespace jilan::sim
