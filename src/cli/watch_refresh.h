#pragma once

// After a window-less harvest, the watchlist is brought up to date from it: watched names the
// listing showed have their details fetched again when older than 6 hours (through the batch
// runner, with its pause, cache and --max-names), and watched names missing from a harvest that
// reached the listing's end with no page failed are marked 已不在列表. Never from a run that
// stopped before the end: a daily 20-page run does not cover the whole listing.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli_run.h"

namespace jilan::cli {

// How long fetched details of a watched name stay good enough.
inline constexpr std::int64_t kWatchDetailsMaxAge = 6 * 3600;

struct HarvestCoverage {
    std::optional<std::int64_t> runId;  // the history's run
    bool reachedEnd = false;            // a page declared itself last, or empty pages in a row
    bool anyPageFailed = false;
    bool interrupted = false;
};

struct WatchRefresh {
    // "关注变化：8848.com 价格 ¥100 → ¥120", one line per change, for the digest.
    std::vector<std::string> changes;
    int status = 0;  // the run's status with this step's (4 when the store failed, 130/143)
};

WatchRefresh refreshWatchlist(const Settings& settings, const std::vector<std::string>& listed,
                              const HarvestCoverage& coverage, const Interruption& interruption,
                              std::ostream& err, std::int64_t nowUtc, int status);

}  // namespace jilan::cli
