// --harvest with --notify and --notify alone, against the market and platform stand-ins.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "child_process.h"
#include "cli/notify_run.h"
#include "cli/window_less_runs.h"
#include "history/watchlist.h"
#include "market_sim.h"
#include "push_sim.h"
#include "smtp_stand_in.h"
#include "temp_dir.h"

namespace jilan::cli {
namespace {

TEST(NotifyRun, DigestsReachEveryWorkingChannelOnceAndTheRestIsSentLater) {
    testing::TempDir dir{"jilan-notify"};
    sim::MarketSim market;
    sim::Options o;
    o.day = 1;
    o.pages = 3;
    market.setOptions(o);
    ASSERT_TRUE(market.start()) << market.lastError();
    pushsim::PushSim robots;
    ASSERT_NE(robots.start(), 0);
    robots.setSecret("fs-hook-0123456789abcdef", "feishu-secret-1");
    robots.setFault("moved-0123456789", pushsim::Fault::Redirect);

    const std::string config =
        "[[channel]]\nname = \"团队群\"\ntype = \"wecom\"\nurl = \"" + robots.base() +
        "/wecom/webhook/send?key=wecom-key-0123456789\"\n"
        "[[channel]]\nname = \"飞书\"\ntype = \"feishu\"\nurl = \"" +
        robots.base() +
        "/feishu/hook/fs-hook-0123456789abcdef\"\nsecret = \"feishu-secret-1\"\n"
        "[[channel]]\nname = \"搬走的\"\ntype = \"wecom\"\nurl = \"" +
        robots.base() +
        "/wecom/webhook/send?key=moved-0123456789\"\n"
        "[[digest]]\nname = \"全部\"\nfilter = \"\"\nchannels = [\"团队群\", \"飞书\", "
        "\"搬走的\"]\n"
        "max_names = 0\n";
    dir.write("notify.toml", config);
    ASSERT_EQ(::chmod(dir.file("notify.toml").c_str(), 0600), 0);

    Settings s;
    s.urls = config::Urls{market.baseUrl(), market.icpBaseUrl(), market.baseUrl() + "/vendor/forum",
                          market.baseUrl() + "/vendor/home"};
    s.limits.totalTimeoutMs = 5'000;
    s.harvest.retryPauseMs = 10;
    s.historyPath = dir.file("history.sqlite3");
    s.pauseMs = 0;
    s.output = dir.file("out.txt");
    s.notify = true;
    s.notifyConfig = dir.file("notify.toml");
    Interruption interruption;
    std::ostringstream err;
    ASSERT_EQ(runHarvestCommand("3", s, interruption, err), 6) << err.str();
    std::ifstream file(s.output);
    std::set<std::string> written;
    for (std::string line; std::getline(file, line);) {
        written.insert(line.substr(0, line.find('\r')));
    }
    ASSERT_FALSE(written.empty());

    // Every written name reached each working channel exactly once.
    auto names = [&robots](const std::string& platform) {
        std::multiset<std::string> seen;
        for (const pushsim::Accepted& a : robots.accepted()) {
            std::istringstream lines(a.text);
            std::string line;
            std::getline(lines, line);  // the title
            while (a.platform == platform && std::getline(lines, line)) {
                seen.insert(line.substr(0, line.find("  ")));
            }
        }
        return seen;
    };
    for (const char* platform : {"wecom", "feishu"}) {
        const auto seen = names(platform);
        EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()), written) << platform;
        EXPECT_EQ(seen.size(), written.size()) << platform;
    }
    const std::string report = err.str();
    EXPECT_NE(report.find("搬走的"), std::string::npos) << report;
    EXPECT_NE(report.find("部分推送失败"), std::string::npos) << report;
    // No key, token or secret in anything printed.
    for (const char* secret : {"wecom-key-0123456789", "fs-hook-0123456789abcdef",
                               "feishu-secret-1", "moved-0123456789"}) {
        EXPECT_EQ(report.find(secret), std::string::npos) << secret << "\n" << report;
    }

    // The channel works again: --notify alone sends it only what it missed, then nothing.
    robots.setFault("moved-0123456789", pushsim::Fault::None);
    const std::size_t before = robots.accepted().size();
    s.notify = true;
    err.str({});
    ASSERT_EQ(runNotifyMissing(s, err), 0) << err.str();
    const auto after = robots.accepted();
    ASSERT_GT(after.size(), before);
    for (std::size_t i = before; i < after.size(); ++i) {
        EXPECT_EQ(after[i].key, "moved-0123456789");
    }
    err.str({});
    ASSERT_EQ(runNotifyMissing(s, err), 0) << err.str();
    EXPECT_EQ(robots.accepted().size(), after.size());
}

TEST(NotifyRun, AListingWithoutMarkersIsALayoutChangeWithASavedSampleAndAnAlert) {
    testing::TempDir dir{"jilan-layout"};
    sim::MarketSim market;
    sim::Options o;
    o.pages = 3;
    o.allFault = sim::Fault::NoMarkers;
    market.setOptions(o);
    ASSERT_TRUE(market.start()) << market.lastError();
    pushsim::PushSim robots;
    ASSERT_NE(robots.start(), 0);
    dir.write("notify.toml",
              "[[channel]]\nname = \"群\"\ntype = \"wecom\"\nurl = \"" + robots.base() +
                  "/wecom/webhook/send?key=k-layout-0123456789\"\n"
                  "[[digest]]\nname = \"全部\"\nfilter = \"\"\nchannels = [\"群\"]\n");
    ASSERT_EQ(::chmod(dir.file("notify.toml").c_str(), 0600), 0);
    ASSERT_EQ(::setenv("XDG_STATE_HOME", dir.path().c_str(), 1), 0);

    Settings s;
    s.urls = config::Urls{market.baseUrl(), market.icpBaseUrl(), market.baseUrl() + "/vendor/forum",
                          market.baseUrl() + "/vendor/home"};
    s.limits.totalTimeoutMs = 5'000;
    s.harvest.retryPauseMs = 10;
    s.historyPath = dir.file("history.sqlite3");
    s.output = dir.file("out.txt");
    s.notify = true;
    s.notifyConfig = dir.file("notify.toml");
    Interruption interruption;
    std::ostringstream err;
    EXPECT_EQ(runHarvestCommand("3", s, interruption, err), 5) << err.str();
    ::unsetenv("XDG_STATE_HOME");

    const std::regex savedAs("已保存样本：([^）]+)）");
    std::smatch match;
    const std::string report = err.str();
    ASSERT_TRUE(std::regex_search(report, match, savedAs)) << report;
    const std::string sample = match[1];
    EXPECT_EQ(sample.rfind((dir.path() / "jilan-harvester" / "diagnostics").string(), 0), 0u);
    std::ifstream saved(sample);
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("网址：" + market.baseUrl()), std::string::npos) << text;
    EXPECT_NE(text.find("HTTP 状态：200"), std::string::npos) << text;
    ASSERT_EQ(robots.accepted().size(), 1u);
    EXPECT_EQ(robots.accepted()[0].text,
              "霁岚 采集异常：列表页面格式可能已变化（已保存样本：" + sample + "）");
}

TEST(NotifyRun, AMissedWatchlistReminderHeadsTheNextDigestOnce) {
    testing::TempDir dir{"jilan-missed"};
    pushsim::PushSim robots;
    ASSERT_NE(robots.start(), 0);
    Settings s;
    s.historyPath = dir.file("history.sqlite3");
    {
        auto store = history::Watchlist::open(s.historyPath, history::OpenMode::ReadWrite);
        ASSERT_EQ(store.add({"8848.com"}, std::nullopt, 1), "");
        ASSERT_EQ(store.recordReminder({"8848.com", history::ReminderKind::BeforeDeadline, 500,
                                        history::ReminderState::Missed,
                                        "已错过：8848.com 预定截止 2026-12-08 03:00 的提醒", 600}),
                  "");
    }
    push::NotifyConfig config;
    push::Channel channel;
    channel.name = "团队群";
    channel.type = push::ChannelType::WeCom;
    channel.url = robots.base() + "/wecom/webhook/send?key=missed-key-1";
    config.channels.push_back(channel);
    config.digests.push_back({"全部", "", {"团队群"}, true, true, 30});
    const RunNames none = [](const std::function<void(const std::string&, bool)>&) {};
    std::ostringstream err;
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_EQ(sendDigests(config, s, RunFacts{}, none, err), ExitCode::Ran) << err.str();
    }
    const auto sent = robots.accepted();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[0].text.find("已错过：8848.com 预定截止 2026-12-08 03:00 的提醒"),
              std::string::npos)
        << sent[0].text;
    EXPECT_EQ(sent[1].text.find("已错过"), std::string::npos) << sent[1].text;
}

// A page in a changed layout fails the run only when no page before it parsed; after good pages
// it ends the listing quietly. Either way no page after it is asked for and its sample is kept.
TEST(NotifyRun, AnUnreadablePageFailsTheRunOnlyWhenNoPageParsedBeforeIt) {
    struct Case {
        const char* name;
        const char* pages;
        int unreadablePage;
        int exitCode;
        long namesWritten;
        bool alert;
    };
    const Case cases[] = {
        {"after a good page", "4", 2, 0, 50, false},
        {"first of several", "4", 1, 5, 0, true},
        {"the only page", "1", 1, 5, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir{"jilan-unreadable"};
        sim::MarketSim market;
        sim::Options o;
        o.pages = 4;
        o.pageFaults[c.unreadablePage] = sim::Fault::ChangedLayout;
        market.setOptions(o);
        ASSERT_TRUE(market.start()) << market.lastError();
        pushsim::PushSim robots;
        ASSERT_NE(robots.start(), 0);
        dir.write("notify.toml", "[[channel]]\nname = \"群\"\ntype = \"wecom\"\nurl = \"" +
                                     robots.base() +
                                     "/wecom/webhook/send?key=k-unread-0123456789\"\n"
                                     "[[digest]]\nname = \"全部\"\nfilter = \"\"\nchannels = "
                                     "[\"群\"]\nmax_names = 0\n");
        ASSERT_EQ(::chmod(dir.file("notify.toml").c_str(), 0600), 0);
        const jilan::testing::ChildResult run = jilan::testing::runChild(
            {JILAN_PROGRAM_PATH, "--market-url", market.baseUrl(), "--icp-url", market.icpBaseUrl(),
             "--history", dir.file("history.sqlite3"), "--harvest", c.pages, "--parallel", "1",
             "--output", dir.file("out.txt"), "--notify", "--notify-config",
             dir.file("notify.toml")},
            {{"HOME", dir.path().string()},
             {"XDG_STATE_HOME", dir.path().string()},
             {"PATH", "/usr/bin:/bin"},
             {"LANG", "C.UTF-8"}},
            dir.path(), std::chrono::seconds(60));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;

        int lastAsked = 0;
        for (const sim::RequestRecord& r : market.requests()) {
            if (r.target.starts_with("/search?p=")) {
                lastAsked = std::max(lastAsked, std::stoi(r.target.substr(10)));
            }
        }
        EXPECT_EQ(lastAsked, c.unreadablePage);
        std::ifstream out(dir.file("out.txt"));
        EXPECT_EQ(std::count(std::istreambuf_iterator<char>(out), {}, '\n'), c.namesWritten);
        const auto folder = dir.path() / "jilan-harvester" / "diagnostics";
        ASSERT_TRUE(std::filesystem::is_directory(folder));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
        const auto sent = robots.accepted();
        EXPECT_EQ(sent.size(), 1u);  // the alert or the digest
        EXPECT_EQ(std::any_of(sent.begin(), sent.end(),
                              [](const pushsim::Accepted& a) {
                                  return a.text.find("采集异常：列表页面格式可能已变化") !=
                                         std::string::npos;
                              }),
                  c.alert);
    }
}

TEST(NotifyRun, NotifyTestReachesAMailServerOverStarttls) {
    testing::TempDir dir{"jilan-notify-mail"};
    const testing::SmtpStandIn server("starttls", dir.path());
    dir.write("notify.toml", "[[channel]]\nname = \"邮件\"\ntype = \"email\"\nurl = \"" +
                                 server.url("smtp") +
                                 "\"\nuser = \"bot\"\npassword = \"pw-1\"\nfrom = \"jilan@test\"\n"
                                 "to = [\"me@test\"]\nca_file = \"" +
                                 server.caFile() + "\"\n");
    ASSERT_EQ(::chmod(dir.file("notify.toml").c_str(), 0600), 0);
    Settings s;
    s.notifyConfig = dir.file("notify.toml");
    std::ostringstream out, err;
    EXPECT_EQ(runNotifyTest(s, out, err), 0) << out.str() << err.str();
    EXPECT_EQ(out.str().rfind("邮件（", 0), 0u) << out.str();
    EXPECT_NE(out.str().find("）：成功\n"), std::string::npos) << out.str();
    EXPECT_EQ(server.mail(1).rfind("霁岚 推送测试\n\n霁岚 推送测试\n此通道可以收到采集结果（", 0),
              0u)
        << server.mail(1);
}

}  // namespace
}  // namespace jilan::cli
