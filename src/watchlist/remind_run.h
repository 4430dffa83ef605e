#pragma once

// --remind: the reminders due now, written to the store before they go out (so a crash or a
// clock set back never sends one twice), sent on every channel of notify.toml through the push
// outbox, and marked sent once every channel has it. A channel that failed is tried again by
// the next run while the reminder's window is open; only the missing channels get it.
// The 关注变化 a harvest recorded go out the same way, each once; a line every channel has is
// marked reported, so the next digest does not list it again.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "history/watchlist.h"
#include "push/delivery.h"
#include "push/notify_config.h"
#include "watchlist/wall_clock.h"

namespace jilan::watchlist {

enum class RemindOutcome { Ran, PushFailed, HistoryUnavailable };

struct RemindReport {
    RemindOutcome outcome = RemindOutcome::Ran;
    int sent = 0;     // reminders every channel has now
    int missed = 0;   // newly recorded as missed
    int changes = 0;  // 关注变化 lines every channel has now
};

// The outbox's run number of reminders: no harvest run has it (run ids start at 1).
inline constexpr std::int64_t kReminderOutboxRun = 0;

// The outbox's digest name of a reminder: each channel's delivery of it is recorded under it.
std::string reminderOutboxName(const history::ReminderRecord& record);

RemindReport runReminders(const std::string& historyPath, const push::NotifyConfig& config,
                          const WallClock& clock, const push::SendOne& send,
                          const push::Timing& timing, std::ostream& err);

}  // namespace jilan::watchlist
