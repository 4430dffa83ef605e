#pragma once

// --stats: the counts of the 统计 view as a table, without the network.

#include <ctime>
#include <iosfwd>
#include <string>

#include "history/stats.h"
#include "settings.h"

namespace jilan::cli {

// The counts as text to read (aligned columns) or as CSV for a spreadsheet (UTF-8 with BOM,
// one row per day and class, suffix and score band). `filter` is named in the text's title.
std::string statsTable(const history::NameStats& stats, const std::string& filter, bool csv);

// The names first seen from settings.since (a Beijing date; else the last 30 Beijing days
// up to `now`) that pass the filter, counted and written to settings.output ("-" when
// empty). Returns the exit status: 2 for a bad date, 1 for an output that cannot be
// written, 4 when the history cannot be read.
int runStatsCommand(const Settings& settings, std::time_t now, std::ostream& err);

}  // namespace jilan::cli
