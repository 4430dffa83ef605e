#include "details/detail_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "day_listing.h"
#include "details/detail_judges.h"
#include "market_sim.h"
#include "rule_name.h"
#include "temp_dir.h"

namespace {

namespace details = jilan::details;
namespace sim = jilan::sim;
using namespace std::chrono_literals;

constexpr int kDay = 1;

std::vector<std::string> dayNames(std::size_t count) {
    const sim::DayListing listing(kDay, 500);
    std::vector<std::string> names = listing.names();
    names.resize(std::min(count, names.size()));
    return names;
}

class DetailServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Options options;
        options.day = kDay;
        server_ = std::make_unique<sim::MarketSim>(options);
        ASSERT_TRUE(server_->start()) << server_->lastError();
    }

    details::DetailSettings settings(int pauseMs = 0) const {
        details::DetailSettings s;
        s.urls.market = server_->baseUrl();
        s.urls.icp = server_->icpBaseUrl();
        s.pauseMs = pauseMs;
        s.historyPath = dir_.file("history.sqlite3");
        s.limits.connectTimeoutMs = 5'000;
        s.limits.totalTimeoutMs = 10'000;
        return s;
    }

    details::DetailRunOutcome run(const std::vector<std::string>& names, int pauseMs = 0) {
        std::ostringstream err;
        const std::atomic<bool> never{false};
        auto outcome = details::runDetails(names, settings(pauseMs), never, err);
        lastErr_ = err.str();
        return outcome;
    }

    // Requests per site ("market", "icp") since the log was last cleared.
    std::map<std::string, std::vector<sim::RequestRecord>> bySite() const {
        std::map<std::string, std::vector<sim::RequestRecord>> out;
        for (auto& record : server_->requests()) {
            out[record.site].push_back(record);
        }
        return out;
    }

    jilan::testing::TempDir dir_;
    std::unique_ptr<sim::MarketSim> server_;
    std::string lastErr_;  // what the last run() printed
};

void expectSimulatorValues(const details::NameDetails& d) {
    SCOPED_TRACE(d.domain);
    const sim::DayDomainFacts facts = sim::dayDomainFacts(kDay, d.domain);
    EXPECT_EQ(d.result, "成功");
    EXPECT_EQ(d.deletionType, facts.deleteType);
    EXPECT_EQ(d.deletionTime, facts.deleteTime);
    EXPECT_EQ(d.bookingDeadline, facts.bookingDeadline);
    EXPECT_EQ(d.filed, facts.filed ? "已备案" : "未备案");
    EXPECT_EQ(d.filingNumber, facts.filingNumber);
    const std::string platform = facts.bookingOver          ? "预定时间已过"
                                 : facts.priceCells.empty() ? ""
                                                            : facts.priceCells[0];
    EXPECT_EQ(d.bookingPlatform, platform);
    if (!facts.bookingOver && !facts.priceCells.empty()) {
        EXPECT_EQ(d.bookingPrice, facts.priceCells[1]);
        EXPECT_EQ(d.priceInYuan, facts.priceCells[2]);
        EXPECT_EQ(d.deposit, facts.priceCells[3]);
    }
    EXPECT_EQ(d.queriedAt.size(), 19U);
}

TEST_F(DetailServiceTest, ValuesOfTheSitesThenASecondRunSendsNothing) {
    const std::vector<std::string> names = dayNames(30);
    const details::DetailRunOutcome first = run(names);
    ASSERT_EQ(first.details.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(first.details[i].domain, names[i]);
        expectSimulatorValues(first.details[i]);
    }
    EXPECT_FALSE(first.allFailed);
    EXPECT_FALSE(first.stoppedBySite);
    EXPECT_EQ(first.historyProblem, "");
    EXPECT_EQ(server_->requests().size(), 2 * names.size());
    EXPECT_NE(lastErr_.find("已完成 30/30（缓存 0，新查询 30，失败 0）"), std::string::npos)
        << lastErr_;

    server_->clearRequests();
    const details::DetailRunOutcome second = run(names);
    EXPECT_EQ(server_->requests().size(), 0U);
    EXPECT_NE(lastErr_.find("已完成 30/30（缓存 30，新查询 0，失败 0）"), std::string::npos)
        << lastErr_;
    ASSERT_EQ(second.details.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(second.details[i].result, "成功");
        EXPECT_EQ(second.details[i].filingNumber, first.details[i].filingNumber);
        EXPECT_EQ(second.details[i].bookingPrice, first.details[i].bookingPrice);
        EXPECT_EQ(second.details[i].queriedAt, first.details[i].queriedAt);
    }
}

struct FaultCase {
    const char* rule;
    sim::Fault all, detail, icp;
    std::string result;
    std::string filed;  // for a name that is not filed
    bool allFailed;
    bool stoppedBySite;
    std::size_t marketAgain, icpAgain;  // requests per name of a second run without the fault
};

std::vector<FaultCase> faultCases() {
    using F = sim::Fault;
    return {
        {"site that drops every connection", F::DropBeforeBody, F::None, F::None,
         "详情查询失败：连接中断；备案查询失败：连接中断", "查询失败", true, false, 1, 1},
        {"detail page without markers", F::None, F::NoMarkers, F::None,
         "详情查询失败：页面无法识别", "未备案", true, false, 1, 0},
        {"icp page that fails", F::None, F::None, F::Status500, "备案查询失败：服务器返回 500",
         "查询失败", true, false, 0, 1},
        {"icp page without markers", F::None, F::None, F::NoMarkers, "备案查询失败：页面无法识别",
         "查询失败", true, false, 0, 1},
        {"a site that keeps refusing is given up", F::None, F::None, F::Status429,
         "未查询（站点限流）", "查询失败", true, true, 0, 1},
    };
}

class DetailFaultTest : public DetailServiceTest,
                        public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DetailFaultTest, ReasonInTheTableAndOnlyConclusivePartsCached) {
    const FaultCase& c = GetParam();
    server_->modifyOptions([&](sim::Options& o) {
        o.allFault = c.all;
        o.detailFault = c.detail;
        o.icpFault = c.icp;
    });
    // Names the simulator does not file, so 未备案 is the answer when the ICP part works.
    std::vector<std::string> names;
    for (const std::string& name : dayNames(100)) {
        if (!sim::dayDomainFacts(kDay, name).filed && names.size() < 4) {
            names.push_back(name);
        }
    }
    const details::DetailRunOutcome outcome = run(names);
    ASSERT_EQ(outcome.details.size(), names.size());
    for (const details::NameDetails& d : outcome.details) {
        EXPECT_EQ(d.result, c.result) << d.domain;
        EXPECT_EQ(d.filed, c.filed) << d.domain;
        EXPECT_EQ(d.filingNumber, "") << d.domain;
    }
    EXPECT_EQ(outcome.allFailed, c.allFailed);
    EXPECT_EQ(outcome.stoppedBySite, c.stoppedBySite);

    server_->modifyOptions([](sim::Options& o) {
        o.allFault = sim::Fault::None;
        o.detailFault = sim::Fault::None;
        o.icpFault = sim::Fault::None;
    });
    server_->clearRequests();
    const details::DetailRunOutcome again = run(names);
    auto sites = bySite();
    EXPECT_EQ(sites["market"].size(), c.marketAgain * names.size());
    EXPECT_EQ(sites["icp"].size(), c.icpAgain * names.size());
    for (const details::NameDetails& d : again.details) {
        EXPECT_EQ(d.result, "成功") << d.domain;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DetailFaultTest, ::testing::ValuesIn(faultCases()),
                         [](const auto& info) {
                             return jilan::testing::ruleName(info.param.rule);
                         });

TEST_F(DetailServiceTest, InterruptedRunKeepsWhatWasDoneAndTheNextAsksOnlyTheRest) {
    const std::vector<std::string> names = dayNames(40);
    std::atomic<bool> interrupted{false};
    // Interrupts once a few answers of each site have come back.
    std::thread watcher([&] {
        while (!interrupted) {
            const auto sites = bySite();
            const auto done = [&](const char* site) {
                const auto it = sites.find(site);
                return it == sites.end()
                           ? 0L
                           : std::count_if(it->second.begin(), it->second.end(),
                                           [](const auto& r) { return r.isComplete; });
            };
            if (done("market") >= 8 && done("icp") >= 8) {
                interrupted = true;
            }
            std::this_thread::sleep_for(2ms);
        }
    });
    std::ostringstream err;
    const details::DetailRunOutcome first =
        details::runDetails(names, settings(20), interrupted, err);
    watcher.join();
    ASSERT_TRUE(first.interrupted);
    std::set<std::string> done;
    std::size_t notAsked = 0;
    for (const details::NameDetails& d : first.details) {
        if (d.result == "成功") {
            done.insert(d.domain);
        } else {
            EXPECT_NE(d.result.find("未查询（已中断）"), std::string::npos) << d.domain;
            // Never asked is not failed: the filing is unknown, or known when its own lookup
            // came back before the stop; 查询失败 only when that lookup itself failed.
            EXPECT_EQ(d.filed == "查询失败", d.result.find("备案查询失败") != std::string::npos)
                << d.domain << " " << d.result;
            ++notAsked;
        }
    }
    EXPECT_GE(done.size(), 7U);
    EXPECT_GT(notAsked, 0U);
    // The summary counts what was answered and what was left, and no failure.
    EXPECT_NE(err.str().find("已停止：完成 " + std::to_string(done.size()) + " / 40，未查询 " +
                             std::to_string(notAsked)),
              std::string::npos)
        << err.str();

    server_->clearRequests();
    const details::DetailRunOutcome second = run(names);
    EXPECT_FALSE(second.interrupted);
    for (const details::NameDetails& d : second.details) {
        EXPECT_EQ(d.result, "成功") << d.domain;
    }
    // Nothing is asked again for a name the first run finished.
    for (const auto& record : server_->requests()) {
        for (const std::string& name : done) {
            EXPECT_FALSE(record.target.ends_with("/" + name)) << record.target;
        }
    }
    EXPECT_LE(server_->requests().size(), 2 * (names.size() - done.size()));
}

TEST_F(DetailServiceTest, PerSiteNoOverlapAndThePauseAfterEveryAnswer) {
    const auto pause = 20ms;
    const std::vector<std::string> names = dayNames(50);
    const details::DetailRunOutcome outcome = run(names, static_cast<int>(pause.count()));
    for (const details::NameDetails& d : outcome.details) {
        EXPECT_EQ(d.result, "成功") << d.domain;
    }
    for (auto& [site, records] : bySite()) {
        SCOPED_TRACE(site);
        ASSERT_EQ(records.size(), names.size());
        std::sort(records.begin(), records.end(),
                  [](const auto& a, const auto& b) { return a.received < b.received; });
        for (std::size_t i = 1; i < records.size(); ++i) {
            ASSERT_TRUE(records[i - 1].isComplete);
            EXPECT_GE(records[i].received - records[i - 1].completed, pause)
                << records[i].target << " after " << records[i - 1].target;
        }
    }
}

TEST_F(DetailServiceTest, CachedNamesAreNotAskedAgainInALargerList) {
    const std::vector<std::string> names = dayNames(500);
    ASSERT_EQ(names.size(), 500U);
    const std::vector<std::string> first(names.begin(), names.begin() + 300);
    run(first);
    server_->clearRequests();
    const details::DetailRunOutcome outcome = run(names);
    auto sites = bySite();
    EXPECT_EQ(sites["market"].size(), 200U);
    EXPECT_EQ(sites["icp"].size(), 200U);
    EXPECT_EQ(std::count_if(outcome.details.begin(), outcome.details.end(),
                            [](const auto& d) { return d.result == "成功"; }),
              500);
}

struct RetryCase {
    const char* rule;
    bool asDate;
    int seconds;
};

class RetryAfterTest : public DetailServiceTest, public ::testing::WithParamInterface<RetryCase> {};

// The wait a refusal asks for reaches the runner: the refused name is asked again after it,
// well before the minute a refusal without the header would wait.
TEST_P(RetryAfterTest, RefusedNameAskedAgainAfterTheWait) {
    const RetryCase& c = GetParam();
    server_->modifyOptions([&](sim::Options& o) {
        o.icpFault = sim::Fault::Throttle429;
        o.throttleEvery = 3;
        o.retryAfterSeconds = c.seconds;
        o.retryAfterAsDate = c.asDate;
    });
    const std::vector<std::string> names = dayNames(5);
    const details::DetailRunOutcome outcome = run(names);
    for (const details::NameDetails& d : outcome.details) {
        EXPECT_EQ(d.result, "成功") << d.domain;
    }
    EXPECT_FALSE(outcome.stoppedBySite);
    auto icp = bySite()["icp"];
    std::sort(icp.begin(), icp.end(),
              [](const auto& a, const auto& b) { return a.received < b.received; });
    std::size_t refusals = 0;
    for (std::size_t i = 0; i + 1 < icp.size(); ++i) {
        if (icp[i].status != 429) {
            continue;
        }
        ++refusals;
        EXPECT_EQ(icp[i + 1].target, icp[i].target);
        const auto gap = icp[i + 1].received - icp[i].completed;
        EXPECT_GE(gap, std::chrono::seconds(1));
        EXPECT_LT(gap, std::chrono::seconds(60));
    }
    EXPECT_EQ(refusals, 1U);
}

INSTANTIATE_TEST_SUITE_P(DetailService, RetryAfterTest,
                         ::testing::Values(RetryCase{"delta_seconds", false, 1},
                                           RetryCase{"http_date", true, 2}),
                         [](const auto& info) { return std::string(info.param.rule); });

TEST_F(DetailServiceTest, WorkerDeliversEveryNameAndTheCacheAnswersLookups) {
    const std::vector<std::string> names = dayNames(12);
    details::DetailWorker worker(settings());
    // Before any batch there is no store, and a look-up does not create one.
    EXPECT_FALSE(worker.cached(names[0]).has_value());
    EXPECT_FALSE(std::filesystem::exists(settings().historyPath));
    ASSERT_TRUE(worker.start(names));
    EXPECT_FALSE(worker.start(names));
    std::vector<details::NameDetails> results;
    while (worker.running() || !results.empty()) {
        auto more = worker.takeResults();
        if (more.empty() && !worker.running()) {
            break;
        }
        results.insert(results.end(), more.begin(), more.end());
        std::this_thread::sleep_for(5ms);
    }
    auto rest = worker.takeResults();
    results.insert(results.end(), rest.begin(), rest.end());
    ASSERT_EQ(results.size(), names.size());
    for (const details::NameDetails& d : results) {
        expectSimulatorValues(d);
    }
    const details::DetailProgress progress = worker.progress();
    EXPECT_EQ(progress.done, names.size());
    EXPECT_EQ(progress.fetched, names.size());
    EXPECT_FALSE(progress.left.has_value());

    const std::optional<details::NameDetails> cached = worker.cached(names[0]);
    ASSERT_TRUE(cached.has_value());
    EXPECT_EQ(cached->result, "成功");
    EXPECT_EQ(cached->deletionTime, results.front().domain == names[0]
                                        ? results.front().deletionTime
                                        : sim::dayDomainFacts(kDay, names[0]).deleteTime);
    EXPECT_FALSE(worker.cached("never-asked.com").has_value());
}

TEST_F(DetailServiceTest, StoppedWorkerFinishesTheRestAsInterrupted) {
    const std::vector<std::string> names = dayNames(30);
    details::DetailWorker worker(settings(50));
    ASSERT_TRUE(worker.start(names));
    std::vector<details::NameDetails> results;
    while (results.empty()) {
        results = worker.takeResults();
        std::this_thread::sleep_for(2ms);
    }
    worker.stop();
    while (worker.running()) {
        std::this_thread::sleep_for(2ms);
    }
    auto rest = worker.takeResults();
    results.insert(results.end(), rest.begin(), rest.end());
    ASSERT_EQ(results.size(), names.size());
    const auto interrupted = std::count_if(results.begin(), results.end(), [](const auto& d) {
        return d.result.find("未查询（已中断）") != std::string::npos;
    });
    EXPECT_GT(interrupted, 0);
    // A new batch may start once the last one is over.
    EXPECT_TRUE(worker.start({names[0]}));
}

}  // namespace
