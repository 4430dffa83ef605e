#include "watchlist/window_reminders.h"

#include "history/push_outbox.h"
#include "history/watchlist.h"
#include "watchlist/remind_run.h"
#include "watchlist/watch_text.h"

namespace jilan::watchlist {

WindowClaim claimWindowReminders(const std::string& historyPath, const RemindRules& rules,
                                 const WallClock& clock) {
    WindowClaim claim;
    std::vector<history::WatchedName> names;
    std::vector<PlannedReminder> due;
    {
        history::Watchlist store =
            history::Watchlist::open(historyPath, history::OpenMode::ReadOnly);
        if (!store.ok()) {
            claim.problem = store.unavailableReason();
            return claim;
        }
        auto listed = store.list();
        if (!listed) {
            claim.problem = "历史记录不可用：无法读取关注列表";
            return claim;
        }
        names = std::move(*listed);
        // Only a missed reminder is over for the window too; one --remind has sent (or is
        // sending) is still the window's to show.
        const auto missedOnly = [&store](
                                    const std::string& key, history::ReminderKind kind,
                                    std::int64_t moment) -> std::optional<history::ReminderState> {
            const auto r = store.reminder(key, kind, moment);
            if (r && r->state == history::ReminderState::Missed) {
                return r->state;
            }
            return std::nullopt;
        };
        for (PlannedReminder& p : planReminders(names, rules, clock, missedOnly)) {
            if (p.record.state == history::ReminderState::Due) {
                due.push_back(std::move(p));
            }
        }
    }
    if (due.empty()) {
        return claim;
    }
    history::PushOutbox outbox(historyPath);
    if (!outbox.ok()) {
        claim.problem = outbox.unavailableReason();
        return claim;
    }
    const std::string channel(kWindowChannel);
    for (const PlannedReminder& p : due) {
        const std::string digest = reminderOutboxName(p.record);
        if (outbox.delivered(kReminderOutboxRun, digest, channel, 1)) {
            continue;
        }
        if (!outbox.record(kReminderOutboxRun, digest, channel, 1, true, "已在窗口显示",
                           clock.nowUtc())) {
            claim.problem = "历史记录不可用：无法记下已显示的提醒";
            continue;
        }
        claim.shown.push_back({"霁岚 关注提醒", reminderText(*p.name, p.record.kind, clock)});
    }
    return claim;
}

}  // namespace jilan::watchlist
