#pragma once

// Looking after the history store from the command line: its check, its restore from a
// backup, and what a completed daily run does for it (the weekly check, the daily backup).

#include <ctime>
#include <iosfwd>
#include <string>

#include "settings.h"

namespace jilan::cli {

// --check-history: SQLite's full integrity check of the store; 0 when it passes (the damage
// mark removed), 4 when it does not (the mark set) or the store cannot be read.
int runCheckHistoryCommand(const Settings& settings, std::ostream& out, std::ostream& err);

// --restore-history: the newest backup that passes its quick check replaces the store, after
// a "y" on `in` (or settings.yes); the store is kept beside it as .damaged-YYYYMMDD. 0 when
// restored, 4 when nothing was restored (no good backup, or not confirmed).
int runRestoreHistoryCommand(const Settings& settings, std::istream& in, std::ostream& err,
                             std::time_t now);

// After a completed run that went well: the quick check when a week has passed since the last
// one, then the backup when none was made today. Returns `status`, or 4 when the check found
// the store damaged (said on `err`). A failed backup is said and changes nothing else.
int careAfterRun(const std::string& historyPath, std::time_t now, std::ostream& err, int status);

}  // namespace jilan::cli
