#pragma once

// --remind from the command line: notify.toml read first, then the watchlist's due reminders
// sent (watchlist/remind_run.h). Prints nothing when all is well, as a timer's run should.

#include <iosfwd>

#include "cli_run.h"
#include "watchlist/wall_clock.h"

namespace jilan::cli {

int runRemindCommand(const Settings& settings, std::ostream& err,
                     const watchlist::WallClock& clock);

}  // namespace jilan::cli
