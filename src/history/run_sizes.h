#pragma once

// The entries of recent completed runs, for the warning of a run that harvested far fewer.

#include <cstdint>
#include <string>
#include <vector>

namespace jilan::history {

// Entries of the newest `count` ended runs before `beforeRun` with the same page limit, newest
// first; empty when the store cannot be read.
std::vector<int> recentRunEntries(const std::string& path, std::int64_t beforeRun, int pageLimit,
                                  int count);

}  // namespace jilan::history
