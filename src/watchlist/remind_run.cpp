#include "watchlist/remind_run.h"

#include <map>
#include <ostream>

#include "base/beijing_time.h"
#include "history/push_outbox.h"
#include "push/channel_label.h"
#include "watchlist/reminder_plan.h"
#include "watchlist/watch_text.h"

namespace jilan::watchlist {

namespace {

// The outbox rows of reminders: run 0, one "digest" per reminder.
class ReminderLog : public push::DeliveryLog {
public:
    ReminderLog(history::PushOutbox& outbox, std::int64_t nowUtc) : outbox_(outbox), now_(nowUtc) {}
    bool delivered(const std::string& digest, const std::string& channel, int number) override {
        return outbox_.delivered(kReminderOutboxRun, digest, channel, number);
    }
    void record(const std::string& digest, const std::string& channel, int number, bool ok,
                const std::string& text) override {
        outbox_.record(kReminderOutboxRun, digest, channel, number, ok, text, now_);
    }

private:
    history::PushOutbox& outbox_;
    std::int64_t now_;
};

}  // namespace

std::string reminderOutboxName(const history::ReminderRecord& r) {
    return "关注提醒 " + r.key + " " + std::string(history::reminderKindName(r.kind)) + " " +
           std::to_string(r.moment);
}

RemindReport runReminders(const std::string& historyPath, const push::NotifyConfig& config,
                          const WallClock& clock, const push::SendOne& send,
                          const push::Timing& timing, std::ostream& err) {
    RemindReport report;
    const auto unavailable = [&](const std::string& reason) {
        err << reason << '\n';
        report.outcome = RemindOutcome::HistoryUnavailable;
        return report;
    };
    history::Watchlist store = history::Watchlist::open(historyPath, history::OpenMode::ReadWrite);
    if (!store.ok()) {
        return unavailable(store.unavailableReason());
    }
    const auto names = store.list();
    if (!names) {
        return unavailable("历史记录不可用：无法读取关注列表");
    }
    const RemindRules rules{config.remind.beforeDeadlineSeconds, config.remind.atDeletion};
    std::vector<PlannedReminder> planned = planReminders(
        *names, rules, clock,
        [&store](const std::string& key, history::ReminderKind kind, std::int64_t moment) {
            const auto r = store.reminder(key, kind, moment);
            return r ? std::optional(r->state) : std::nullopt;
        });
    // The 关注变化 no digest has listed yet go out now as well, one message each, so that a
    // channel that failed gets only the lines it is missing.
    const history::Watchlist::Changes changes = store.unreportedChanges();
    if (planned.empty() && changes.ids.empty()) {
        return report;
    }

    // Written before anything is sent: the record, not the send, decides "once".
    for (PlannedReminder& p : planned) {
        const bool due = p.record.state == history::ReminderState::Due;
        p.record.text = due ? reminderText(*p.name, p.record.kind, clock)
                            : missedText(*p.name, p.record.kind, clock);
        if (const std::string reason = store.recordReminder(p.record); !reason.empty()) {
            return unavailable(reason);
        }
        report.missed += due ? 0 : 1;
    }

    // Each job carries one reminder (index into planned) or one change (planned.size() + index
    // into changes); a message is done once every channel has it.
    std::vector<push::DigestJob> jobs;
    std::vector<std::size_t> messageOf;
    const std::string when = base::formatBeijingTime(clock.nowUtc());
    const auto addJobs = [&](std::size_t message, const std::string& name, const char* title,
                             const std::string& text) {
        for (const push::Channel& c : config.channels) {
            jobs.push_back({name, &c, {push::Message{1, 1, title, text}}, {title, when, {}}});
            messageOf.push_back(message);
        }
    };
    for (std::size_t i = 0; i < planned.size(); ++i) {
        if (planned[i].record.state == history::ReminderState::Due) {
            addJobs(i, reminderOutboxName(planned[i].record), "霁岚 关注提醒",
                    planned[i].record.text);
        }
    }
    for (std::size_t i = 0; i < changes.ids.size(); ++i) {
        addJobs(planned.size() + i, "关注变化 " + std::to_string(changes.ids[i]), "霁岚 关注变化",
                changes.lines[i]);
    }
    if (jobs.empty()) {
        return report;
    }
    history::PushOutbox outbox(historyPath);
    if (!outbox.ok()) {
        return unavailable(outbox.unavailableReason());
    }
    ReminderLog log(outbox, clock.nowUtc());
    const auto outcomes = push::deliver(jobs, send, timing, &log);

    const push::Redactor redactor = push::redactorOf(config);
    std::map<std::size_t, bool> allReached;
    for (std::size_t j = 0; j < outcomes.size(); ++j) {
        const std::size_t m = messageOf[j];
        allReached.try_emplace(m, true);
        if (!outcomes[j].ok) {
            allReached[m] = false;
            const std::string what = m < planned.size() ? "提醒 " + planned[m].name->domain
                                                        : changes.lines[m - planned.size()];
            err << redactor.apply(what + " → " + jobs[j].channel->name + "：" + outcomes[j].text)
                << '\n';
        }
    }
    std::vector<std::int64_t> changesSent;
    for (const auto& [m, reached] : allReached) {
        if (!reached) {
            report.outcome = RemindOutcome::PushFailed;
            continue;
        }
        if (m >= planned.size()) {
            changesSent.push_back(changes.ids[m - planned.size()]);
            continue;
        }
        history::ReminderRecord sent = planned[m].record;
        sent.state = history::ReminderState::Sent;
        if (const std::string reason = store.recordReminder(sent); !reason.empty()) {
            return unavailable(reason);
        }
        ++report.sent;
    }
    if (!changesSent.empty()) {
        if (const std::string reason = store.markChangesReported(changesSent); !reason.empty()) {
            return unavailable(reason);
        }
        report.changes = static_cast<int>(changesSent.size());
    }
    if (report.outcome == RemindOutcome::PushFailed) {
        err << "部分推送失败\n";
    }
    return report;
}

}  // namespace jilan::watchlist
