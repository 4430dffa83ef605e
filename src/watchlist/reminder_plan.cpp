#include "watchlist/reminder_plan.h"

#include "base/beijing_time.h"

namespace jilan::watchlist {

std::vector<PlannedReminder> planReminders(const std::vector<history::WatchedName>& names,
                                           const RemindRules& rules, const WallClock& clock,
                                           const RecordedState& recorded) {
    const std::int64_t now = clock.nowUtc();
    std::vector<PlannedReminder> out;
    for (const history::WatchedName& name : names) {
        struct Window {
            history::ReminderKind kind;
            std::optional<std::int64_t> moment;
            std::int64_t opens, closes;
        };
        const auto deadline = rules.beforeDeadline > 0
                                  ? base::parseBeijingTime(name.details.bookingDeadline)
                                  : std::nullopt;
        const auto deletion =
            rules.atDeletion ? base::parseBeijingTime(name.details.deletionTime) : std::nullopt;
        const Window windows[] = {
            {history::ReminderKind::BeforeDeadline, deadline,
             deadline.value_or(0) - rules.beforeDeadline, deadline.value_or(0)},
            {history::ReminderKind::AtDeletion, deletion, deletion.value_or(0),
             deletion.value_or(0) + rules.deletionGrace},
        };
        for (const Window& w : windows) {
            if (!w.moment || now < w.opens || name.addedAt > w.closes) {
                continue;
            }
            const auto state = recorded(name.key, w.kind, *w.moment);
            if (state == history::ReminderState::Sent || state == history::ReminderState::Missed) {
                continue;
            }
            history::ReminderRecord record;
            record.key = name.key;
            record.kind = w.kind;
            record.moment = *w.moment;
            record.state =
                now <= w.closes ? history::ReminderState::Due : history::ReminderState::Missed;
            record.at = now;
            out.push_back({std::move(record), &name});
        }
    }
    return out;
}

}  // namespace jilan::watchlist
