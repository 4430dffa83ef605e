// Reading the request log back: the --request-log file of an out-of-process market-sim, and the
// per-site pacing a polite client must keep (no overlap on a site, a pause between requests).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "market_sim.h"

namespace jilan::sim {

// The line MarketSim writes for a completed request (without the newline):
// "ARRIVAL_MS COMPLETION_MS SITE STATUS METHOD TARGET".
std::string requestLogLine(const RequestRecord& record);

// A record with arrival/completion times, site, status, method and target from one log line;
// std::nullopt when the line is not in that shape.
std::optional<RequestRecord> parseRequestLogLine(std::string_view line);

// Every line of a --request-log file, in file (completion) order; lines that do not parse are
// skipped. Empty when the file cannot be read.
std::vector<RequestRecord> readRequestLog(const std::string& path);

struct SitePacing {
    std::string site;
    int requests = 0;
    int maxInFlight = 0;  // most requests of the site open at one moment
    // Smallest time from one request's completion to the next request's arrival on the site,
    // arrival order; negative when two overlapped; 0 when the site had fewer than two requests.
    long long minGapMs = 0;
};

// Pacing per site (sites in name order). A request not yet complete counts as open forever.
std::vector<SitePacing> sitePacing(const std::vector<RequestRecord>& records);

}  // namespace jilan::sim
