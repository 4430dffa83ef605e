#pragma once

// The watchlist from the command line: --watch NAME... [--note TEXT], --watch-from LIST,
// --unwatch NAME... and --watchlist [--format txt|csv] [--output FILE]. Each returns its exit
// status: 2 for bad input (no valid name, a refused note), 4 when the history cannot be
// written or read (read-only, locked by another run, damaged), 1 when the list's file cannot be
// written.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli_run.h"
#include "watchlist/wall_clock.h"

namespace jilan::cli {

// The names as typed, folded (full-width forms, 。) and checked; each bad one with its reason.
struct TypedNames {
    std::vector<std::string> names;     // each once (by name key), in the order typed
    std::vector<std::string> problems;  // "跳过 \"x\"：reason", Chinese
};
TypedNames checkTypedNames(const std::vector<std::string>& typed);

int runWatchCommand(const Settings& settings, const Interruption& interruption, std::ostream& out,
                    std::ostream& err, const watchlist::WallClock& clock);
int runUnwatchCommand(const Settings& settings, std::ostream& out, std::ostream& err);
int runWatchlistCommand(const Settings& settings, std::ostream& out, std::ostream& err,
                        const watchlist::WallClock& clock);

}  // namespace jilan::cli
