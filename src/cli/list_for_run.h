#pragma once

#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

#include "cli_run.h"
#include "name_list_file.h"

namespace jilan::cli {

// The names of the list at `path` for a window-less run (--details-from, --watch-from), read
// with readNameListFile. A long read shows its progress on `err` (a bar when `terminal`, else a
// start line and a line every tenth past a minute); every skipped line is reported as
// "FILE 第 N 行：…". When the run cannot go on, its exit status instead, its reason on `err`:
// the read interrupted, or the file unreadable (2).
std::variant<std::vector<std::string>, int> readListForRun(const std::string& path,
                                                           const Interruption& interruption,
                                                           bool terminal, std::ostream& err,
                                                           const ListLimits& limits = {});

}  // namespace jilan::cli
