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

// `names` in the order settings.order asks for (scores under settings.scoreWeights); as they
// are without --sort.
void orderCandidates(std::vector<Candidate>& names, const Settings& settings);

// Writes `names` to `target` in the order settings.order asks for, the first settings.maxNames
// domains among them queried first when settings.details (with the history store as the
// cache; the rest kept, marked 未查询（超过上限）). Returns the run's status: the first
// (firstExitStatus) of `status`, 130/143 when interrupted (the names not done say so), 1 when
// the file could not be written, 4 when the cache was unavailable, 3 when a site kept refusing
// or every name failed.
int writeCandidates(std::vector<Candidate> names, const OutputTarget& target,
                    const Settings& settings, const Interruption& interruption, std::ostream& err,
                    int status);

}  // namespace jilan::cli
