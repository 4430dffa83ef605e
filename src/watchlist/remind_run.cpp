#include "watchlist/remind_run.h"

#include <map>
#include <ostream>

#include "base/beijing_time.h"
#include "history/push_outbox.h"
#include "push/url_mask.h"
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
    if (planned.empty()) {
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

    std::vector<push::DigestJob> jobs;
    std::vector<std::size_t> reminderOf;  // the planned reminder of each job
    const std::string when = base::formatBeijingTime(clock.nowUtc());
    for (std::size_t i = 0; i < planned.size(); ++i) {
        if (planned[i].record.state != history::ReminderState::Due) {
            continue;
        }
        const std::string& text = planned[i].record.text;
        for (const push::Channel& c : config.channels) {
            jobs.push_back({reminderOutboxName(planned[i].record),
                            &c,
                            {push::Message{1, 1, "霁岚 关注提醒", text}},
                            {"关注提醒", when, {}}});
            reminderOf.push_back(i);
        }
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

    push::Redactor redactor;
    for (const push::Channel& c : config.channels) {
        redactor.addChannel(c);
    }
    std::map<std::size_t, bool> allReached;
    for (std::size_t j = 0; j < outcomes.size(); ++j) {
        const std::size_t i = reminderOf[j];
        allReached.try_emplace(i, true);
        if (!outcomes[j].ok) {
            allReached[i] = false;
            err << redactor.apply("提醒 " + planned[i].name->domain + " → " +
                                  jobs[j].channel->name + "：" + outcomes[j].text)
                << '\n';
        }
    }
    for (const auto& [i, reached] : allReached) {
        if (!reached) {
            report.outcome = RemindOutcome::PushFailed;
            continue;
        }
        history::ReminderRecord sent = planned[i].record;
        sent.state = history::ReminderState::Sent;
        if (const std::string reason = store.recordReminder(sent); !reason.empty()) {
            return unavailable(reason);
        }
        ++report.sent;
    }
    if (report.outcome == RemindOutcome::PushFailed) {
        err << "部分推送失败\n";
    }
    return report;
}

}  // namespace jilan::watchlist
