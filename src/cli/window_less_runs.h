#pragma once

// The window-less runs of the command line. Each returns its exit status (ExitCode): the file
// is written whenever the run got as far as it, even when it then reports 3, 4, 130 or 143.

#include <iosfwd>
#include <string>

#include "cli_run.h"

namespace jilan::cli {

// --harvest N: harvests as pressing "开始采集" with N in the page box does, records the run in
// the history, and writes the names that pass the filter (and are new in this run, with
// newOnly), queried first with `details`. Status lines and messages go to `err`.
int runHarvestCommand(const std::string& pages, const Settings& settings,
                      const Interruption& interruption, std::ostream& err);

// --search-history: no network; the remembered names last seen within [since, until] (local
// dates), filtered, in order of first sighting then name, streamed straight into the file.
// With `details` the first maxNames of them are queried first.
int runSearchHistoryCommand(const Settings& settings, const Interruption& interruption,
                            std::ostream& err);

// --details-from LIST: the names of a list file (filtered), queried and written.
int runDetailsFromCommand(const std::string& listPath, const Settings& settings,
                          const Interruption& interruption, std::ostream& err);

}  // namespace jilan::cli
