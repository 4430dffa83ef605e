#pragma once

// A name filter applied to the names the history remembers: the features of a stored row,
// what the filter implies on the stored columns, and the counts of the 统计 view.

#include <cstdint>
#include <vector>

#include "filter/filter_expr.h"
#include "filter/name_features.h"
#include "history/reader.h"
#include "history/stats.h"

namespace jilan::program {

// The features of a remembered name from its stored columns, recomputed when they were stored
// by other rules.
filter::NameFeatures storedFeatures(const history::NameRow& row);

// What the filter implies on the stored length, class and suffix, so SQLite skips the other
// rows before reading them.
history::SearchHints searchHintsFor(const filter::Filter& filter);

// The counts of the names first seen on Beijing days [firstDay, lastDay] that pass every one
// of `filters`. Filters of classes, lengths and suffixes alone are applied by SQLite on the
// stored columns; any other is tested on each name of the range, every one of which is new
// within it (the `new` term holds).
history::StatsRequest statsRequestFor(const std::vector<filter::Filter>& filters,
                                      std::int64_t firstDay, std::int64_t lastDay);

}  // namespace jilan::program
