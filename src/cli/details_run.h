#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli_run.h"
#include "history/reader.h"

namespace jilan::cli {

// A name a window-less run writes: as listed, its features, and its history row when known.
struct Candidate {
    std::string domain;
    filter::NameFeatures features;
    std::optional<history::NameRow> seen;
};

// Writes `names` to `target`, each queried first when settings.details (with the history
// store as the cache). Returns the run's status: the first (firstExitStatus) of `status`,
// 130/143 when interrupted (the names not done say so), 1 when the file could not be
// written, 4 when the cache was unavailable, 3 when a site kept refusing or every name failed.
int writeCandidates(const std::vector<Candidate>& names, const OutputTarget& target,
                    const Settings& settings, const Interruption& interruption, std::ostream& err,
                    int status);

}  // namespace jilan::cli
