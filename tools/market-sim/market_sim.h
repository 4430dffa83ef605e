// market-sim: a loopback HTTP/1.1 server that plays the domain marketplace (listing and detail
// pages) and the ICP lookup site, with switchable faults, for tests, benchmarks and scripts.
//
// Routes (all GET; HEAD answers headers only, other methods get 405):
//   /                    index of the routes
//   /search?p=N          listing page N (see listingPage in sim_content.h)
//   /backorder/DOMAIN    detail page; DOMAIN is percent-decoded, any text is answered
//   /icp/DOMAIN          ICP lookup page (icpBaseUrl() + DOMAIN)
//   /vendor/forum, /vendor/home, /help/booking   small pages
//   anything else        404 with a small error page
// Pages are served as "text/html; charset=gbk" (GBK bytes) or, with Options::utf8,
// "text/html; charset=utf-8". HTTP/1.1 keep-alive is supported; faults that break the stream
// close the connection. A query "hop=1" is ignored by the routes (RedirectLoop uses it).
//
// Faults on the wire (see Fault in sim_options.h): status faults carry an error page in the
// page charset; 429 and 503 add "Retry-After: 1". Redirects are 302 with a body; RedirectLoop's
// Location is a relative path (A = the target, B = the target with "hop=1" added, B -> A).
// DropMidBody sends half of the body. Trickle sends the first body byte right after the
// headers and then one byte a second. EndlessBody is chunked: the page, then 16 KiB padding
// chunks until the client leaves. OversizedBody is the page plus ASCII padding, exactly
// kOversizedBodyBytes long. GzipBomb's body (about 1 MiB) is built once per server on first use.
// InvalidGbk puts the bytes 0x81 0x20 0xFF right after "<body>\r\n" (before every marker).
// Page404 / Page500 send the route's normal page under an error status; IcpNotFiled404 and
// IcpFiled404 answer /icp/ with 404 and a page that is forced to "not filed" (it contains
// "该域名未备案") or to "filed" (the filing-number row with assignedFilingNumber()); NoMarkers
// answers 200 with noMarkersPage(). The throttle modes refuse every (throttleEvery+1)-th request
// per site (ICP vs. the rest) with 429 or 503, Retry-After: retryAfterSeconds (Throttle429NoRetry
// without it); the requests in between are answered normally.
//
// With Options::day > 0 the listing holds the names of that day (see day_listing.h) and the
// detail and ICP routes answer from dayDomainFacts(day, DOMAIN).
//
// Every request waits latencyMs (or pageLatencyMs[N] for /search?p=N) plus a jitter of
// 0..jitterMs before it is answered, whatever its fault. A request counts as in flight from the
// moment it has been read until just before its last bytes are written (or the connection is
// closed); maxConcurrent() is the peak of that count.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim_content.h"
#include "sim_options.h"

namespace jilan::sim {

struct RequestRecord {
    std::string method;
    std::string target;  // path + query exactly as received (not decoded)
    bool hasIfModifiedSince = false;
    std::string ifModifiedSince;                               // value when present
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    int connection = 0;  // 1-based number of the TCP connection that carried it
    std::chrono::steady_clock::time_point received;  // when the request had been read
    Fault fault = Fault::None;  // fault actually served, after failFirstN and throttling
    std::uint64_t id = 0;       // 1, 2, ... in arrival order since start
    std::string site;           // "icp" for /icp/..., "market" for everything else
    // Completion: when the last bytes were written or the request was given up (connection
    // closed, server stopped). Until then isComplete is false.
    bool isComplete = false;
    std::chrono::steady_clock::time_point completed;
    int status = 0;  // status line sent, 0 when none was

    // Steady-clock milliseconds (since the clock's epoch, comparable with any steady_clock
    // reading in this machine) of arrival and completion.
    long long arrivalMs() const;
    long long completionMs() const;

    // Value of the first header with that name (case-insensitive), "" when absent.
    std::string header(std::string_view name) const;
};

class MarketSim {
public:
    explicit MarketSim(Options options = {});
    ~MarketSim();  // stops
    MarketSim(const MarketSim&) = delete;
    MarketSim& operator=(const MarketSim&) = delete;

    // Binds and serves on background threads. False on failure (see lastError()); a server is
    // started at most once.
    bool start();
    std::string lastError() const;
    // Closes the listener, wakes every waiting connection and joins all threads. Returns
    // promptly even while faults hold connections open. Idempotent.
    void stop();

    int port() const;
    std::string baseUrl() const;     // "http://127.0.0.1:PORT" (127.0.0.1 also for 0.0.0.0)
    std::string icpBaseUrl() const;  // baseUrl() + "/icp/"

    // Thread-safe; takes effect for requests read afterwards. port and bindAddress are only
    // used by start(). Changing the options (or clearRequests) restarts the failFirstN counts.
    Options options() const;
    void setOptions(Options options);
    void modifyOptions(const std::function<void(Options&)>& change);

    // Every request since start or the last clearRequests(), in arrival order, with arrival and
    // completion times: per site, tests can see overlaps and the gaps between requests.
    std::vector<RequestRecord> requests() const;
    // Empties the log, restarts the failFirstN counts and sets maxConcurrent to the requests
    // in flight right now.
    void clearRequests();
    int maxConcurrent() const;
    int inFlight() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace jilan::sim
