// The server: listener, one thread per connection, request admission (fault choice, latency,
// log) and the public MarketSim wrapper. Routing is in routes.cpp, replies in fault_player.cpp.
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
#include <cstring>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "day_listing.h"
#include "fault_player.h"
#include "http_io.h"
#include "request_log.h"
#include "routes.h"

namespace jilan::sim {

long long RequestRecord::arrivalMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(received.time_since_epoch())
        .count();
}

long long RequestRecord::completionMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(completed.time_since_epoch())
        .count();
}

std::string RequestRecord::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return {};
}

namespace {

constexpr int kIdleTimeoutMs = 30000;

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
    std::map<std::string, int> hits;                       // requests per target, for failFirstN
    std::map<std::string, int, std::less<>> throttleHits;  // per site, for the throttle modes
    std::uint64_t nextRequestId = 1;
    Fd requestLogFile;  // Options::requestLogPath, opened by start()
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

    GzipBombBody bomb;

    // The list of the day being served (built on first use, rebuilt when day or size change).
    std::mutex dayMu;
    std::shared_ptr<const DayListing> dayListing;
    std::shared_ptr<const DayListing> dayListingFor(const Options& o);
    void complete(std::uint64_t id, int status);

    bool start();
    void stop();
    void acceptLoop();
    void reapFinished();
    void serve(Fd fd, int connectionId);
    Plan admit(const HttpRequest& req, const Target& target, int connectionId);
    bool answer(Connection& conn, const HttpRequest& req, int connectionId);
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
    if (!o.requestLogPath.empty()) {
        Fd file(::open(o.requestLogPath.c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
        if (!file) {
            error = "request log " + o.requestLogPath + ": " + std::strerror(errno);
            return false;
        }
        std::lock_guard lock(mu);
        requestLogFile = std::move(file);
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

Plan MarketSim::Impl::admit(const HttpRequest& req, const Target& target, int connectionId) {
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
    rec.site = std::string(siteOf(target.route));

    std::lock_guard lock(mu);
    Plan plan;
    plan.opts = opts;
    const Options& o = plan.opts;
    rec.id = nextRequestId++;
    plan.requestId = rec.id;

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
    if (plan.fault == Fault::Throttle429 || plan.fault == Fault::Throttle429NoRetry ||
        plan.fault == Fault::Throttle503) {
        // Requests 1..N of every N+1 pass; the throttle mode is served only to the last one.
        const int every = std::max(o.throttleEvery, 0) + 1;
        if (++throttleHits[rec.site] % every != 0) {
            plan.fault = Fault::None;
        }
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
    // The request counts as in flight until its last bytes are written or it is given up.
    RequestGuard guard([this, id = plan.requestId](int status) { complete(id, status); });
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
        reply = routeReply(target, plan.opts, dayListingFor(plan.opts).get());
    }
    return sendReply(conn, plan, target, std::move(reply), keepAlive, headOnly, guard, bomb);
}

std::shared_ptr<const DayListing> MarketSim::Impl::dayListingFor(const Options& o) {
    if (o.day <= 0) {
        return nullptr;
    }
    std::lock_guard lock(dayMu);
    const int size = dayListingSize(o);
    if (!dayListing || dayListing->day() != o.day ||
        dayListing->names().size() != static_cast<std::size_t>(size)) {
        dayListing = std::make_shared<const DayListing>(o.day, size);
    }
    return dayListing;
}

void MarketSim::Impl::complete(std::uint64_t id, int status) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mu);
    --inFlight;
    // The record may be gone (clearRequests); recent ones sit at the back.
    for (auto it = log.rbegin(); it != log.rend(); ++it) {
        if (it->id == id) {
            it->completed = now;
            it->isComplete = true;
            it->status = status;
            if (requestLogFile) {
                const std::string line = requestLogLine(*it) + "\n";
                [[maybe_unused]] ssize_t n =
                    ::write(requestLogFile.get(), line.data(), line.size());
            }
            break;
        }
        if (it->id < id) {
            break;
        }
    }
}

// ---- Public wrapper
// ----------------------------------------------------------------------------

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
