#pragma once

// How a window-less harvest went, said in one or two lines and in its exit status.

#include <iosfwd>
#include <string>

#include "harvest/harvester.h"

namespace jilan::cli {

// The failed pages grouped by reason, the most frequent first (ties in the order they first
// failed): "4 页：无法连接服务器；2 页：服务器返回 404". Empty when no page failed.
std::string failureCauses(const harvest::HarvestOutcome& outcome);

// Writes how many pages were fetched (and where the listing ended), then the failures by
// cause, to `err`. Returns 5 (采集失败) when every page failed, 3 when some did, else 0.
int reportHarvest(const harvest::HarvestOutcome& outcome, std::ostream& err);

}  // namespace jilan::cli
