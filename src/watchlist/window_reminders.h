#pragma once

// The reminders the open window shows itself as desktop notifications. The window claims each in
// the push outbox under a channel key of its own before showing it, so it shows a reminder once,
// also after the window is closed and opened again. It never writes the reminder's own record:
// --remind still sends it to every channel of notify.toml and marks it sent there, whether or
// not the window showed it first, and a reminder --remind already sent is still shown once.

#include <string>
#include <string_view>
#include <vector>

#include "watchlist/reminder_plan.h"
#include "watchlist/wall_clock.h"

namespace jilan::watchlist {

// The outbox channel of the window's notifications; no channel of notify.toml should be named so.
inline constexpr std::string_view kWindowChannel = "#窗口桌面通知";

struct WindowReminder {
    std::string title;
    std::string body;
};

struct WindowClaim {
    std::vector<WindowReminder> shown;  // due now, claimed: show each of them
    std::string problem;                // empty, or why the store could not be used
};

// The reminders due at the clock's now that the window has not shown, each claimed before it is
// returned (one that cannot be claimed is left out: once matters more than soon). Opens the
// store: not for the window's thread. Costs no write when nothing is due.
WindowClaim claimWindowReminders(const std::string& historyPath, const RemindRules& rules,
                                 const WallClock& clock);

}  // namespace jilan::watchlist
