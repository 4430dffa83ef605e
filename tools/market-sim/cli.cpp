#include "cli.h"

#include <arpa/inet.h>

#include <charconv>
#include <limits>

#include "day_listing.h"

namespace jilan::sim {

namespace {

std::optional<long long> parseNumber(std::string_view text, long long lo, long long hi) {
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

// "N=VALUE" with a page number on the left.
std::optional<std::pair<int, std::string_view>> parsePagePair(std::string_view text) {
    std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    auto page = parseNumber(text.substr(0, eq), 1, 999999999);
    if (!page) {
        return std::nullopt;
    }
    return std::pair{static_cast<int>(*page), text.substr(eq + 1)};
}

}  // namespace

std::string usageText() {
    return "usage: market-sim [--port N] [--bind ADDR] [--pages N] [--rows N] [--latency-ms N]\n"
           "                  [--jitter-ms N] [--seed N] [--utf8] [--log] [--fault MODE]\n"
           "                  [--page-fault N=MODE]... [--page-latency N=MS]...\n"
           "                  [--detail-fault MODE] [--icp-fault MODE] [--fail-first N]\n"
           "                  [--hostile-rows] [--day N] [--throttle-every N]\n"
           "                  [--retry-after S] [--retry-after-date] [--request-log FILE]\n"
           "                  [--help]\n"
           "Serves the simulated marketplace on loopback and prints\n"
           "  market-sim listening on http://ADDR:PORT\n"
           "then runs until SIGTERM or SIGINT.\n"
           "MODE: none status-404 status-500 status-429 status-503 drop-before-body\n"
           "      drop-mid-body never-answer trickle endless-body oversized-body redirect-loop\n"
           "      redirect-to-file gzip-bomb invalid-gbk no-charset empty\n"
           "      page-404 page-500        error status carrying the normal page (listing rows)\n"
           "      icp-404-not-filed        ICP answers 404 with a page saying 该域名未备案\n"
           "      icp-404-filed            ICP answers 404 with the filing-number row\n"
           "      no-markers               200 page holding none of the sites' markers\n"
           "      changed-layout           200 page whose rows are marked up anew\n"
           "      throttle-429 throttle-429-no-retry-after throttle-503\n"
           "                               per site, every (N+1)-th request is refused\n"
           "                               (N = --throttle-every, default 3; Retry-After from\n"
           "                               --retry-after, default 1; as an HTTP date, now + S,\n"
           "                               with --retry-after-date)\n"
           "      (a site that drops every connection: drop-before-body)\n"
           "--day N (1..3650): realistic names of day N instead of the default listing;\n"
           "      consecutive days share about 80 %; detail and ICP pages follow the day.\n"
           "--request-log FILE: one line per completed request:\n"
           "      ARRIVAL_MS COMPLETION_MS SITE STATUS METHOD TARGET (steady clock ms)\n";
}

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine cl;
    Options& o = cl.options;
    auto fail = [&cl](std::string message) {
        cl.error = std::move(message);
        return cl;
    };
    constexpr long long kMaxMs = 3600 * 1000;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (std::size_t eq = name.find('=');
            name.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto flag = [&]() { return !inlineValue.has_value(); };
        // Value of the current option; std::nullopt when it is missing.
        auto value = [&]() -> std::optional<std::string_view> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        auto number = [&](long long lo, long long hi) -> std::optional<long long> {
            auto v = value();
            return v ? parseNumber(*v, lo, hi) : std::nullopt;
        };
        auto fault = [&]() -> std::optional<Fault> {
            auto v = value();
            return v ? parseFault(*v) : std::nullopt;
        };
        const std::string bad = "bad or missing value for " + std::string(name);

        if (name == "--help" || name == "-h") {
            cl.help = true;
        } else if (name == "--utf8" && flag()) {
            o.utf8 = true;
        } else if (name == "--log" && flag()) {
            o.logRequests = true;
        } else if (name == "--retry-after-date" && flag()) {
            o.retryAfterAsDate = true;
        } else if (name == "--hostile-rows" && flag()) {
            o.hostileRows = true;
        } else if (name == "--port") {
            auto v = number(0, 65535);
            if (!v) {
                return fail(bad);
            }
            o.port = static_cast<int>(*v);
        } else if (name == "--bind") {
            auto v = value();
            in_addr addr{};
            if (!v || ::inet_pton(AF_INET, std::string(*v).c_str(), &addr) != 1) {
                return fail(bad + " (an IPv4 address)");
            }
            o.bindAddress = std::string(*v);
        } else if (name == "--pages") {
            auto v = number(0, 32767);
            if (!v) {
                return fail(bad);
            }
            o.pages = static_cast<int>(*v);
        } else if (name == "--rows") {
            auto v = number(0, 50);
            if (!v) {
                return fail(bad);
            }
            o.rowsPerPage = static_cast<int>(*v);
        } else if (name == "--latency-ms") {
            auto v = number(0, kMaxMs);
            if (!v) {
                return fail(bad);
            }
            o.latencyMs = static_cast<int>(*v);
        } else if (name == "--jitter-ms") {
            auto v = number(0, kMaxMs);
            if (!v) {
                return fail(bad);
            }
            o.jitterMs = static_cast<int>(*v);
        } else if (name == "--seed") {
            auto v = number(0, std::numeric_limits<unsigned>::max());
            if (!v) {
                return fail(bad);
            }
            o.seed = static_cast<unsigned>(*v);
        } else if (name == "--fail-first") {
            auto v = number(0, 1000000);
            if (!v) {
                return fail(bad);
            }
            o.failFirstN = static_cast<int>(*v);
        } else if (name == "--day") {
            auto v = number(1, kMaxDay);
            if (!v) {
                return fail(bad + " (1.." + std::to_string(kMaxDay) + ")");
            }
            o.day = static_cast<int>(*v);
        } else if (name == "--throttle-every") {
            auto v = number(0, 1000000);
            if (!v) {
                return fail(bad);
            }
            o.throttleEvery = static_cast<int>(*v);
        } else if (name == "--retry-after") {
            auto v = number(0, 86400);
            if (!v) {
                return fail(bad);
            }
            o.retryAfterSeconds = static_cast<int>(*v);
        } else if (name == "--request-log") {
            auto v = value();
            if (!v || v->empty()) {
                return fail(bad);
            }
            o.requestLogPath = std::string(*v);
        } else if (name == "--fault" || name == "--detail-fault" || name == "--icp-fault") {
            auto f = fault();
            if (!f) {
                return fail(bad);
            }
            (name == "--fault"          ? o.allFault
             : name == "--detail-fault" ? o.detailFault
                                        : o.icpFault) = *f;
        } else if (name == "--page-fault") {
            auto v = value();
            auto pair = v ? parsePagePair(*v) : std::nullopt;
            auto f = pair ? parseFault(pair->second) : std::nullopt;
            if (!f) {
                return fail(bad + " (N=MODE)");
            }
            o.pageFaults[pair->first] = *f;
        } else if (name == "--page-latency") {
            auto v = value();
            auto pair = v ? parsePagePair(*v) : std::nullopt;
            auto ms = pair ? parseNumber(pair->second, 0, kMaxMs) : std::nullopt;
            if (!ms) {
                return fail(bad + " (N=MS)");
            }
            o.pageLatencyMs[pair->first] = static_cast<int>(*ms);
        } else {
            return fail("unknown option " + std::string(args[i]));
        }
    }
    return cl;
}

}  // namespace jilan::sim
