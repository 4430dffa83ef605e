#pragma once

// Which reminders of the watchlist are due now: before the booking deadline (its lead time from
// notify.toml) and at the deletion time, each sent within its window and only once. A window
// that closed before any run could send its reminder makes it missed, for the next digest.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/watchlist.h"
#include "watchlist/wall_clock.h"

namespace jilan::watchlist {

struct RemindRules {
    std::int64_t beforeDeadline = 2 * 3600;  // 0: no reminder before the deadline
    bool atDeletion = true;
    // A deletion reminder may go out this late: the timer runs every 10 minutes, and one
    // skipped tick must not lose it.
    std::int64_t deletionGrace = 20 * 60;
};

// One reminder to send now (state Due) or to record as missed (state Missed), with its name.
struct PlannedReminder {
    history::ReminderRecord record;
    const history::WatchedName* name = nullptr;
};

// What the store already holds for a reminder; nullopt: nothing.
using RecordedState = std::function<std::optional<history::ReminderState>(
    const std::string& key, history::ReminderKind kind, std::int64_t moment)>;

// The reminders of `names` due or missed at the clock's now and not yet sent or marked missed.
// `recorded` is asked only of reminders whose window has opened, so a list where nothing is due
// costs no store look-up. A name watched only after a window closed is not reminded of it.
std::vector<PlannedReminder> planReminders(const std::vector<history::WatchedName>& names,
                                           const RemindRules& rules, const WallClock& clock,
                                           const RecordedState& recorded);

}  // namespace jilan::watchlist
