#pragma once

// Whether a harvest went right: a listing the parser no longer fits (its first such page saved
// for a look), and a run far smaller than the recent ones.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <variant>

#include "config/urls.h"

namespace jilan::cli {

// $XDG_STATE_HOME/jilan-harvester/diagnostics, else ~/.local/state/jilan-harvester/diagnostics.
std::string diagnosticsFolder(const config::EnvLookup& env);

// Saves a listing page that answered but yielded no row, headed by the time, URL and status;
// the file's path, or the Chinese reason it could not be saved.
struct SavedSample {
    std::string path;
    std::string problem;  // empty when saved
};
SavedSample saveListingSample(const std::string& folder, const std::string& url, long status,
                              const std::string& text, std::time_t at);

// "今日条目 812，低于近 7 次中位数 2 350" when `entries` is below half the median of the last
// seven completed runs with the same page limit (at least three of them).
std::optional<std::string> belowMedianNote(const std::string& historyPath, std::int64_t runId,
                                           int pageLimit, int entries);

}  // namespace jilan::cli
