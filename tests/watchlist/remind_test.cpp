// --remind's rules: when a reminder goes out, that it goes out once (also when the clock is set
// back or a deadline moves), and that a missed one is recorded instead of sent late. Sent over
// loopback HTTP to the platforms' stand-in.
#include "watchlist/remind_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "base/beijing_time.h"
#include "history/watchlist.h"
#include "push/standard_sender.h"
#include "push_sim.h"
#include "temp_dir.h"
#include "watchlist/window_reminders.h"

namespace jilan::watchlist {
namespace {

using history::ReminderKind;

const std::int64_t kDeadline = *base::parseBeijingTime("2026-12-08 03:00");
const std::int64_t kDeletion = *base::parseBeijingTime("2026-12-08 05:00");
constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;

struct RemindRig {
    testing::TempDir dir{"jilan-remind"};
    std::string path = dir.file("history.sqlite3");
    std::atomic<std::int64_t> nowMs{1'796'000'000'000};
    pushsim::PushSim sim{[this] { return nowMs.load(); }};
    push::NotifyConfig config;

    RemindRig() {
        EXPECT_NE(sim.start(), 0);
        addChannel("团队群", "wecom-key-1");
    }
    void addChannel(const std::string& name, const std::string& key) {
        push::Channel c;
        c.name = name;
        c.type = push::ChannelType::WeCom;
        c.url = sim.base() + "/wecom/webhook/send?key=" + key;
        config.channels.push_back(c);
    }
    void watch(const std::string& domain, std::int64_t addedAt, const std::string& deadline,
               const std::string& deletion) {
        auto store = history::Watchlist::open(path, history::OpenMode::ReadWrite);
        ASSERT_EQ(store.add({domain}, std::string("先看价格"), addedAt), "");
        ASSERT_EQ(store.updateDetails(domain, {deletion, deadline, "¥120", "", addedAt}), "");
    }
    RemindReport remindAt(std::int64_t nowUtc, std::int64_t zoneOffset = 8 * kHour) {
        push::Timing timing{[this] { return nowMs.load(); },
                            [this](std::int64_t ms) { nowMs += ms; }};
        push::HttpOptions fast;
        fast.timeoutMs = 2000;
        std::ostringstream err;
        const RemindReport report = runReminders(path, config, fixedClock(nowUtc, zoneOffset),
                                                 push::standardSender(fast), timing, err);
        said += err.str();
        return report;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const pushsim::Accepted& a : sim.accepted()) {
            out.push_back(a.text);
        }
        return out;
    }
    std::vector<history::ReminderRecord> missed() {
        return history::Watchlist::open(path, history::OpenMode::ReadWrite).unreportedMissed();
    }
    std::string said;
};

TEST(Remind, EachReminderGoesOutInsideItsWindowOrIsRecordedAsMissed) {
    struct Case {
        const char* rule;
        std::int64_t now;
        std::int64_t addedAt;
        std::vector<std::string> sentStarts;  // the beginnings of the messages sent
        std::vector<ReminderKind> missed;
    };
    const std::string before = "⏰ 8848.com 预定截止 2026-12-08 03:00（还剩 ";
    const std::string atDeletion = "⏰ 8848.com 已到删除时间 2026-12-08 05:00";
    for (const Case& c : {
             Case{"NotYetDue", kDeadline - 2 * kHour - kMinute, 0, {}, {}},
             Case{"LeadTimeReached", kDeadline - 2 * kHour, 0, {before + "2 小时）"}, {}},
             Case{"InsideTheLead", kDeadline - 118 * kMinute, 0, {before + "1 小时 58 分）"}, {}},
             Case{"DeadlinePassedIsMissedNotSentLate",
                  kDeadline + kMinute,
                  0,
                  {},
                  {ReminderKind::BeforeDeadline}},
             Case{"DeletionSentUpToTwentyMinutesLate",
                  kDeletion + 20 * kMinute,
                  0,
                  {atDeletion},
                  {ReminderKind::BeforeDeadline}},
             Case{"DeletionLaterIsMissed",
                  kDeletion + 21 * kMinute,
                  0,
                  {},
                  {ReminderKind::BeforeDeadline, ReminderKind::AtDeletion}},
             Case{"WatchedAfterTheDeadlineIsNoMissedReminder",
                  kDeadline + kHour,
                  kDeadline + 30 * kMinute,
                  {},
                  {}},
         }) {
        SCOPED_TRACE(c.rule);
        RemindRig rig;
        rig.watch("8848.com", c.addedAt, "2026-12-08 03:00", "2026-12-08 05:00");
        const RemindReport report = rig.remindAt(c.now);
        EXPECT_EQ(report.outcome, RemindOutcome::Ran) << rig.said;
        const auto texts = rig.texts();
        ASSERT_EQ(texts.size(), c.sentStarts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i].rfind(c.sentStarts[i], 0), 0u) << texts[i];
        }
        std::vector<ReminderKind> missed;
        for (const history::ReminderRecord& r : rig.missed()) {
            missed.push_back(r.kind);
        }
        EXPECT_EQ(missed, c.missed);
        EXPECT_EQ(report.missed, static_cast<int>(c.missed.size()));
    }
}

TEST(Remind, AReminderGoesOnceEvenWithTheClockSetBackAndAMovedDeadlineGetsANewOne) {
    RemindRig rig;
    rig.watch("8848.com", 0, "2026-12-08 03:00", "");
    const std::int64_t now = kDeadline - 118 * kMinute;
    ASSERT_EQ(rig.remindAt(now).sent, 1) << rig.said;
    const auto texts = rig.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("价格 ¥120，备注：先看价格"), std::string::npos) << texts[0];

    for (const std::int64_t again : {now + 10 * kMinute, now - 30 * kMinute, now + kMinute}) {
        EXPECT_EQ(rig.remindAt(again).sent, 0) << again;
    }
    EXPECT_EQ(rig.texts().size(), 1u);

    rig.watch("8848.com", 0, "2026-12-08 05:00", "");  // the site moved the deadline
    EXPECT_EQ(rig.remindAt(now + 10 * kMinute).sent, 0) << "not yet inside the new lead time";
    ASSERT_EQ(rig.remindAt(kDeadline + kHour).sent, 1);
    EXPECT_EQ(rig.texts().back().rfind("⏰ 8848.com 预定截止 2026-12-08 05:00（还剩 1 小时）", 0),
              0u);
}

TEST(Remind, AFailedChannelGetsItLaterAndOnlyItWhileTheWindowIsOpen) {
    RemindRig rig;
    rig.addChannel("钉钉转发", "moved-key-2");
    rig.sim.setFault("moved-key-2", pushsim::Fault::HtmlError);
    rig.watch("8848.com", 0, "2026-12-08 03:00", "");
    const std::int64_t now = kDeadline - kHour;
    EXPECT_EQ(rig.remindAt(now).outcome, RemindOutcome::PushFailed);
    EXPECT_NE(rig.said.find("钉钉转发"), std::string::npos) << rig.said;
    EXPECT_EQ(rig.said.find("moved-key-2"), std::string::npos) << "no key is printed";

    rig.sim.setFault("moved-key-2", pushsim::Fault::None);
    const RemindReport retried = rig.remindAt(now + 10 * kMinute);
    EXPECT_EQ(retried.outcome, RemindOutcome::Ran) << rig.said;
    EXPECT_EQ(retried.sent, 1);
    std::vector<std::string> keys;
    for (const pushsim::Accepted& a : rig.sim.accepted()) {
        keys.push_back(a.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"wecom-key-1", "moved-key-2"}));
}

TEST(Remind, SiteTimesAreMarkedBeijingTimeOnlyWhereTheMachineZoneDiffers) {
    for (const std::int64_t zone : {8 * kHour, 0 * kHour, 9 * kHour}) {
        RemindRig rig;
        rig.watch("8848.com", 0, "2026-12-08 03:00", "2026-12-08 05:00");
        ASSERT_EQ(rig.remindAt(kDeadline - kHour, zone).sent, 1);
        const std::string text = rig.texts().at(0);
        EXPECT_EQ(text.find("03:00 北京时间（还剩 1 小时）") != std::string::npos,
                  zone != 8 * kHour)
            << text;
        EXPECT_NE(text.find("（还剩 1 小时）"), std::string::npos) << "the span ignores the zone";
    }
}

TEST(Remind, AWatchedNameChangeGoesOutOnceOnEveryChannelAndLeavesTheDigest) {
    struct Case {
        const char* rule;
        bool secondChannelFails;  // on the first run only
        std::vector<std::string> keysFirst, keysAfter;
    };
    for (const Case& c : {
             Case{"SentOnceThenNothing", false, {"moved-key-2", "wecom-key-1"}, {}},
             Case{"AFailedChannelGetsOnlyWhatItMissed", true, {"wecom-key-1"}, {"moved-key-2"}},
         }) {
        SCOPED_TRACE(c.rule);
        RemindRig rig;
        rig.addChannel("钉钉转发", "moved-key-2");
        rig.sim.setFault("moved-key-2",
                         c.secondChannelFails ? pushsim::Fault::HtmlError : pushsim::Fault::None);
        rig.watch("8848.com", 0, "", "");
        const std::string line = "关注变化：8848.com 价格 ¥120 → ¥150";
        ASSERT_EQ(history::Watchlist::open(rig.path, history::OpenMode::ReadWrite)
                      .recordChange("8848.com", line, 1000),
                  "");
        const auto keys = [&rig, &line](std::size_t from) {
            std::vector<std::string> out;
            const auto accepted = rig.sim.accepted();
            for (std::size_t i = from; i < accepted.size(); ++i) {
                EXPECT_EQ(accepted[i].text.find(line), 0u) << accepted[i].text;
                out.push_back(accepted[i].key);
            }
            std::sort(out.begin(), out.end());  // each channel sends on its own thread
            return out;
        };
        const RemindReport first = rig.remindAt(kDeadline);
        EXPECT_EQ(first.changes, c.secondChannelFails ? 0 : 1) << rig.said;
        EXPECT_EQ(keys(0), c.keysFirst);
        const auto pending =
            history::Watchlist::open(rig.path, history::OpenMode::ReadWrite).unreportedChanges();
        EXPECT_EQ(pending.lines.size(), c.secondChannelFails ? 1u : 0u) << "the digest's share";

        rig.sim.setFault("moved-key-2", pushsim::Fault::None);
        const std::size_t before = rig.sim.accepted().size();
        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ(rig.remindAt(kDeadline + (run + 1) * 10 * kMinute).outcome,
                      RemindOutcome::Ran)
                << rig.said;
        }
        EXPECT_EQ(keys(before), c.keysAfter);
        EXPECT_TRUE(history::Watchlist::open(rig.path, history::OpenMode::ReadWrite)
                        .unreportedChanges()
                        .lines.empty());
    }
}

// The window's notifications and --remind share the store: each shows a reminder once, and
// neither keeps the other from it.
TEST(Remind, TheWindowShowsAReminderOnceAndTheTimerStillSendsItToThePhones) {
    enum class Who { Window, Timer };
    struct Step {
        Who who;
        std::int64_t at;
        int shown;  // notifications the window shows (Window) or messages sent (Timer)
    };
    const std::int64_t due = kDeadline - 118 * kMinute;
    struct Case {
        const char* rule;
        std::vector<Step> steps;
    } cases[] = {
        {"WindowFirstThenTheNextTickThenTheTimer",
         {{Who::Window, due, 1},
          {Who::Window, due + 10 * kMinute, 0},
          {Who::Timer, due, 1},
          {Who::Window, due + 20 * kMinute, 0}}},
        {"TimerFirstThenTheWindowOnce",
         {{Who::Timer, due, 1}, {Who::Window, due, 1}, {Who::Window, due + 10 * kMinute, 0}}},
        {"NotYetDueThenDue", {{Who::Window, kDeadline - 3 * kHour, 0}, {Who::Window, due, 1}}},
        {"MissedIsNotShownLate",
         {{Who::Timer, kDeadline + kMinute, 0}, {Who::Window, kDeadline + 2 * kMinute, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        RemindRig rig;
        rig.watch("8848.com", 0, "2026-12-08 03:00", "");
        std::size_t phoneBefore = 0;
        for (const Step& step : c.steps) {
            if (step.who == Who::Window) {
                const WindowClaim claim =
                    claimWindowReminders(rig.path, RemindRules{}, fixedClock(step.at, 8 * kHour));
                EXPECT_EQ(claim.problem, "");
                ASSERT_EQ(claim.shown.size(), static_cast<std::size_t>(step.shown));
                for (const WindowReminder& r : claim.shown) {
                    EXPECT_EQ(r.body.rfind("⏰ 8848.com 预定截止 2026-12-08 03:00", 0), 0u)
                        << r.body;
                }
            } else {
                rig.remindAt(step.at);
                EXPECT_EQ(rig.texts().size() - phoneBefore, static_cast<std::size_t>(step.shown))
                    << rig.said;
                phoneBefore = rig.texts().size();
            }
        }
    }
}

}  // namespace
}  // namespace jilan::watchlist
