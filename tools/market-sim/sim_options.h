// Options and fault modes of the market simulator (shared by the server and the page builders).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace jilan::sim {

// What the server does instead of (or on top of) a normal answer. Every mode really happens on
// the socket; see MarketSim for the exact wire behaviour of each.
enum class Fault {
    None,
    Status404,       // 404 with a small GBK error page
    Status500,       // 500 with a small GBK error page
    Status429,       // 429 + Retry-After: 1
    Status503,       // 503 + Retry-After: 1
    DropBeforeBody,  // read the request, close without sending a byte
    DropMidBody,     // headers with the full Content-Length, half the body, close
    NeverAnswer,     // read the request, hold the connection silently until stop/client close
    Trickle,         // headers with the full Content-Length, then 1 body byte per second
    EndlessBody,     // chunked body: the normal page, then padding chunks forever
    OversizedBody,   // the normal page padded to kOversizedBodyBytes, Content-Length known
    RedirectLoop,    // 302 A -> B -> A (B is A with "hop=1" toggled in the query)
    RedirectToFile,  // 302 Location: file:///etc/passwd
    GzipBomb,        // Content-Encoding: gzip, inflates to kGzipBombInflatedBytes of spaces
    InvalidGbk,      // normal page with invalid bytes 0x81 0x20 0xFF right after <body>
    NoCharset,       // normal page bytes, Content-Type: text/html without a charset
    Empty,           // 200 with an empty body
    // Error statuses whose body still answers the question (a client must read it as page text).
    Page404,         // 404 carrying the route's normal page (a listing page with its rows, ...)
    Page500,         // 500 carrying the route's normal page
    IcpNotFiled404,  // 404 with an ICP page saying "该域名未备案" (other routes: as Page404)
    IcpFiled404,     // 404 with an ICP page holding the filing-number row (other routes: Page404)
    NoMarkers,       // 200 with an ordinary page that holds none of the sites' markers
    ChangedLayout,   // 200 with the normal page whose rows are marked up anew (kChangedRowMarker)
    // Throttling: per site (ICP vs. everything else), requests 1..N of each run of N+1 subject to
    // the mode are answered normally and request N+1 is refused (N = Options::throttleEvery).
    Throttle429,         // 429 + Retry-After: Options::retryAfterSeconds
    Throttle429NoRetry,  // 429 without Retry-After
    Throttle503,         // 503 + Retry-After: Options::retryAfterSeconds
};

// Canonical names are lower-case with dashes ("status-404", "drop-mid-body", ...). parseFault
// also accepts the bare status numbers ("404") and is case-insensitive.
std::optional<Fault> parseFault(std::string_view name);
std::string_view faultName(Fault fault);
// Every fault mode, None first, in declaration order.
std::span<const Fault> allFaults();

inline constexpr std::size_t kOversizedBodyBytes = std::size_t{20} * 1024 * 1024;
inline constexpr std::uint64_t kGzipBombInflatedBytes = std::uint64_t{1} << 30;
inline constexpr std::string_view kRedirectFileTarget = "file:///etc/passwd";

struct Options {
    int port = 0;  // 0 = pick a free port
    std::string bindAddress = "127.0.0.1";
    int pages = 100;       // listing pages 1..pages carry rows, later pages none
    int rowsPerPage = 50;  // clamped to 0..50
    int latencyMs = 0;     // applied before answering every request
    int jitterMs = 0;      // plus a uniform extra 0..jitterMs from a PRNG seeded with `seed`
    unsigned seed = 1;
    bool utf8 = false;         // serve UTF-8 instead of GBK
    bool logRequests = false;  // one line per request on stderr
    // Faults. The most specific setting that is not None wins over allFault.
    Fault allFault = Fault::None;      // every route
    std::map<int, Fault> pageFaults;   // /search?p=N only (N canonical, see listingPage)
    std::map<int, int> pageLatencyMs;  // /search?p=N latency, replaces latencyMs
    Fault detailFault = Fault::None;   // /backorder/...
    Fault icpFault = Fault::None;      // /icp/...
    // When > 0, a fault is served only for the first N requests of each target (path + query as
    // received); later requests for that target are answered normally. Lets tests check retries.
    int failFirstN = 0;
    bool hostileRows = false;   // listing pages carry hostile domain names, see hostileDomains()
    int throttleEvery = 3;      // the throttle modes refuse every (N+1)-th request of a site
    int retryAfterSeconds = 1;  // Retry-After of Throttle429 and Throttle503
    // Send that Retry-After as an HTTP date (now + retryAfterSeconds, IMF-fixdate in GMT)
    // instead of a number of seconds.
    bool retryAfterAsDate = false;
    // 0: the default listing (domainFor). N >= 1: the realistic names of day N (see DayListing),
    // with detail and ICP pages from dayDomainFacts().
    int day = 0;
    // When not empty, every request is also appended to this file when it completes, one line:
    // "ARRIVAL_MS COMPLETION_MS SITE STATUS METHOD TARGET" (steady clock ms; SITE market or icp;
    // STATUS 0 when no status line was sent). The file is truncated at start().
    std::string requestLogPath;
};

}  // namespace jilan::sim
