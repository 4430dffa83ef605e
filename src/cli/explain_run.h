#pragma once

// --explain NAME...: each name's score and how it came about, one line each; no network.

#include <iosfwd>

#include "settings.h"

namespace jilan::cli {

// Writes "NAME<TAB>SCORE<TAB>BREAKDOWN" for each of settings.explainNames, with "-" for the
// score of a name that cannot be scored and the reason as its breakdown. Returns the exit
// status (0).
int runExplainCommand(const Settings& settings, std::ostream& out);

}  // namespace jilan::cli
