// Delivery over real loopback HTTP to the platforms' stand-in, with a clock the test controls.
#include "push/delivery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "push/http_post.h"
#include "push/push_task.h"
#include "push/standard_sender.h"
#include "push_sim.h"

namespace jilan::push {
namespace {

using pushsim::Fault;
using pushsim::PushSim;

// Time that moves only when someone waits: the sender and the stand-in read the same clock.
struct FakeTime {
    std::atomic<std::int64_t> now{1'796'000'000'000};  // 2026-12-01
    std::atomic<std::int64_t> waited{0};
    Timing timing() {
        return {[this] { return now.load(); },
                [this](std::int64_t ms) {
                    now += ms;
                    waited += ms;
                }};
    }
};

struct Rig {
    FakeTime time;
    PushSim sim{[this] { return time.now.load(); }};
    std::vector<Channel> channels;
    Rig() { EXPECT_NE(sim.start(), 0); }

    const Channel& add(ChannelType type, std::string name, std::string path,
                       std::string secret = {}) {
        Channel c;
        c.name = std::move(name);
        c.type = type;
        c.url = path.starts_with("http") ? path : sim.base() + path;
        c.secret = std::move(secret);
        c.chatId = "-100200300";
        c.token = "pp-token-1";
        channels.push_back(c);
        return channels.back();
    }
    std::vector<ChannelOutcome> send(const DigestText& digest, DeliveryLog* log = nullptr) {
        std::vector<DigestJob> jobs;
        for (const Channel& c : channels) {
            jobs.push_back({"四位数字", &c, splitDigest(digest, limitsOf(c.type)), {}});
        }
        HttpOptions fast;
        fast.timeoutMs = 2000;
        return deliver(jobs, standardSender(fast), time.timing(), log);
    }
};

DigestText digestOf(int names, int maxNames = 0) {
    std::vector<DigestEntry> entries;
    for (int i = 0; i < names; ++i) {
        entries.push_back(
            {"n" + std::to_string(100000 + i) + ".com", "杂米", 7, i % 101, "删除 12-09"});
    }
    DigestFacts facts{"2026-12-08", "四位数字", true, maxNames, "/tmp/out.txt", false, {}};
    return layoutDigest(entries, facts);
}

TEST(Delivery, SignedRobotsAreVerifiedByThePlatformAndAWrongSecretIsNotRetried) {
    struct Case {
        ChannelType type;
        std::string path;
        std::string key;
    };
    for (const Case& c :
         {Case{ChannelType::DingTalk, "/dingtalk/robot/send?access_token=dt1", "dt1"},
          Case{ChannelType::Feishu, "/feishu/hook/fs1", "fs1"}}) {
        Rig rig;
        rig.sim.setSecret(c.key, "SEC-right-secret");
        rig.add(c.type, "good", c.path, "SEC-right-secret");
        rig.add(c.type, "bad", c.path, "SEC-wrong-secret");
        const auto outcomes = rig.send(digestOf(3));
        ASSERT_EQ(outcomes.size(), 2u);
        EXPECT_TRUE(outcomes[0].ok) << outcomes[0].text;
        EXPECT_FALSE(outcomes[1].ok);
        EXPECT_EQ(outcomes[1].text, "签名不匹配");
        EXPECT_EQ(rig.sim.accepted().size(), 1u);
        EXPECT_EQ(rig.sim.refused(), 1);  // refused once, never tried again
    }
}

TEST(Delivery, TwoThousandNamesAreSplitWithinEveryLimitAndEachNameArrivesOnce) {
    Rig rig;
    rig.add(ChannelType::WeCom, "企业微信", "/wecom/webhook/send?key=wk1");
    rig.add(ChannelType::DingTalk, "钉钉", "/dingtalk/robot/send?access_token=dt2");
    rig.add(ChannelType::Feishu, "飞书", "/feishu/hook/fs2");
    rig.add(ChannelType::Telegram, "电报", "/telegram/bot42:tgkey/sendMessage");
    const DigestText digest = digestOf(2000);
    const auto outcomes = rig.send(digest);
    for (const ChannelOutcome& o : outcomes) {
        EXPECT_TRUE(o.ok) << o.channel << " " << o.text;
        EXPECT_GT(o.total, 1) << o.channel;
    }
    // Over the limit the stand-in answers with the platform's code; no answer was a refusal.
    EXPECT_EQ(rig.sim.refused(), 0);
    std::map<std::string, std::multiset<std::string>> seen;
    for (const pushsim::Accepted& a : rig.sim.accepted()) {
        std::size_t at = 0;
        while ((at = a.text.find("\nn", at)) != std::string::npos) {
            seen[a.platform].insert(a.text.substr(at + 1, a.text.find(' ', at) - at - 1));
            ++at;
        }
    }
    for (const char* platform : {"wecom", "dingtalk", "feishu", "telegram"}) {
        EXPECT_EQ(seen[platform].size(), 2000u) << platform;
        EXPECT_EQ(std::set<std::string>(seen[platform].begin(), seen[platform].end()).size(), 2000u)
            << platform;
    }
}

TEST(Delivery, AThrottledMessageIsDeliveredAfterWaitingOutTheWindow) {
    Rig rig;
    rig.add(ChannelType::WeCom, "企业微信", "/wecom/webhook/send?key=wk3");
    rig.sim.throttleNext("wk3", 2);
    const auto outcomes = rig.send(digestOf(5));
    ASSERT_TRUE(outcomes[0].ok) << outcomes[0].text;
    EXPECT_EQ(rig.sim.accepted().size(), 1u);
    EXPECT_GE(rig.time.waited.load(), 2 * 60'000);
}

// The window's push on the real clock: a throttled robot's minute is not waited out once the
// window goes, and nothing more is sent.
TEST(PushTask, ACancelCutsAThrottledWaitShortAndSendsNothingMore) {
    PushSim sim;
    ASSERT_NE(sim.start(), 0);
    sim.throttleNext("wk-cancel", 3);
    Channel channel;
    channel.name = "团队群";
    channel.type = ChannelType::WeCom;
    channel.url = sim.base() + "/wecom/webhook/send?key=wk-cancel";
    std::vector<Message> messages;
    for (int i = 1; i <= 3; ++i) {
        messages.push_back({i, 3, "选中域名", "选中域名 (" + std::to_string(i) + "/3)"});
    }
    PushTask task(channel, "选中域名", "2026-12-09 08:00", {}, messages, standardSender({}), {});
    const auto since = std::chrono::steady_clock::now();
    while (sim.refused() == 0 &&
           std::chrono::steady_clock::now() - since < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(sim.refused(), 1);
    task.cancel();
    while (task.running() && std::chrono::steady_clock::now() - since < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - since, std::chrono::seconds(5));
    EXPECT_FALSE(task.outcome().ok);
    EXPECT_EQ(task.progress().delivered, 0);
    EXPECT_TRUE(sim.accepted().empty());
}

TEST(Delivery, ADeadOrMisbehavingChannelFailsAloneWithItsOwnReason) {
    Rig rig;
    rig.add(ChannelType::WeCom, "关闭的端口", "http://127.0.0.1:1/wecom/webhook/send?key=dead");
    struct Faulty {
        Fault fault;
        std::string key;
        std::string reason;
    };
    const Faulty faults[] = {
        {Fault::HtmlError, "html", "HTTP 状态 502"},
        {Fault::NotJson, "notjson", "HTTP 状态 200，回答不是 JSON（可能是错误页面）"},
        {Fault::Redirect, "moved", "平台转向了其他地址（HTTP 状态 302，未跟随）"},
        {Fault::Huge, "huge", "平台的回答过大，已放弃"},
    };
    for (const Faulty& f : faults) {
        rig.sim.setFault(f.key, f.fault);
        rig.add(ChannelType::WeCom, f.key, "/wecom/webhook/send?key=" + f.key);
    }
    rig.add(ChannelType::WeCom, "正常", "/wecom/webhook/send?key=fine");
    const auto outcomes = rig.send(digestOf(3));
    ASSERT_EQ(outcomes.size(), 6u);
    EXPECT_FALSE(outcomes[0].ok);
    EXPECT_EQ(outcomes[0].text, "无法连接");
    for (std::size_t i = 0; i < std::size(faults); ++i) {
        EXPECT_FALSE(outcomes[i + 1].ok);
        EXPECT_EQ(outcomes[i + 1].text, faults[i].reason);
    }
    EXPECT_TRUE(outcomes[5].ok);
    ASSERT_EQ(rig.sim.accepted().size(), 1u);
    EXPECT_EQ(rig.sim.accepted()[0].key, "fine");
}

// Remembers deliveries as the history store does.
class MemoryLog : public DeliveryLog {
public:
    bool delivered(const std::string& d, const std::string& c, int n) override {
        return done_.contains(d + "|" + c + "|" + std::to_string(n));
    }
    void record(const std::string& d, const std::string& c, int n, bool ok,
                const std::string&) override {
        if (ok) {
            done_.insert(d + "|" + c + "|" + std::to_string(n));
        }
    }

private:
    std::set<std::string> done_;
};

TEST(Delivery, ASecondPassSendsOnlyWhatIsMissing) {
    Rig rig;
    rig.add(ChannelType::WeCom, "企业微信", "/wecom/webhook/send?key=wk4");
    rig.add(ChannelType::Feishu, "飞书", "/feishu/hook/fs4");
    rig.sim.setFault("fs4", Fault::HtmlError);
    MemoryLog log;
    const DigestText digest = digestOf(300);
    const auto first = rig.send(digest, &log);
    const std::size_t afterFirst = rig.sim.accepted().size();
    rig.sim.setFault("fs4", Fault::None);
    const auto second = rig.send(digest, &log);
    EXPECT_EQ(second[0].sent, 0);
    EXPECT_EQ(second[0].earlier, first[0].total);
    EXPECT_EQ(second[1].sent, second[1].total);
    EXPECT_EQ(rig.sim.accepted().size(), afterFirst + static_cast<std::size_t>(second[1].total));
    const auto third = rig.send(digest, &log);
    EXPECT_EQ(third[0].sent + third[1].sent, 0);
}

}  // namespace
}  // namespace jilan::push
