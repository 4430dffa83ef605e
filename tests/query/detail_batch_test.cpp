#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "query/detail_batch.h"

namespace {

using namespace std::chrono_literals;
using jilan::query::BatchTransport;
using jilan::query::DetailBatch;
using jilan::query::DetailBatchHooks;
using jilan::query::DetailBatchOptions;
using jilan::query::DetailCache;
using jilan::query::Part;
using jilan::query::PartSource;
using jilan::query::PartValue;
using jilan::query::Site;
using Clock = DetailBatch::Clock;
using Answer = BatchTransport::Answer;
using std::chrono::milliseconds;
using std::chrono::system_clock;

const Clock::time_point kT0{};
// Monday, 7 December 2026, 12:00:00 GMT.
const system_clock::time_point kWall0 =
    std::chrono::sys_days{std::chrono::year{2026} / std::chrono::December / 7} + 12h;

// Records every request; answers only what the test hands it.
class FakeTransport : public BatchTransport {
public:
    struct Sent {
        Id id;
        std::string url;
        Site site;
        Clock::time_point at;
    };

    explicit FakeTransport(const Clock::time_point& now) : now_(now) {}

    Id start(const std::string& url, Site site) override {
        sent.push_back(Sent{.id = nextId_, .url = url, .site = site, .at = now_});
        return nextId_++;
    }
    std::vector<Answer> takeFinished() override {
        std::vector<Answer> out;
        out.swap(ready);
        return out;
    }
    void cancel(Id id) override { cancelled.push_back(id); }

    std::vector<Sent> sentTo(Site site) const {
        std::vector<Sent> out;
        std::copy_if(sent.begin(), sent.end(), std::back_inserter(out),
                     [site](const Sent& s) { return s.site == site; });
        return out;
    }
    std::size_t countFor(Site site) const { return sentTo(site).size(); }

    std::vector<Sent> sent;
    std::vector<Answer> ready;
    std::vector<Id> cancelled;

private:
    const Clock::time_point& now_;
    Id nextId_ = 1;
};

class FakeCache : public DetailCache {
public:
    Entry lookup(std::string_view name) override {
        const auto it = entries.find(std::string(name));
        return it == entries.end() ? Entry{} : it->second;
    }
    void store(std::string_view name, Part part, const Stored& stored) override {
        stores.emplace_back(std::string(name), part);
        Entry& e = entries[std::string(name)];
        (part == Part::Detail ? e.detail : e.icp) = stored;
    }

    std::map<std::string, Entry> entries;
    std::vector<std::pair<std::string, Part>> stores;
};

PartValue conclusive(std::string column, std::string value) {
    PartValue v;
    v.conclusive = true;
    v.fields.push_back({std::move(column), std::move(value)});
    return v;
}

// Pages of the fake sites: "ok:<value>" holds a value, anything else no marker.
PartValue judge(std::string_view page, const char* column) {
    if (page.starts_with("ok:")) {
        return conclusive(column, std::string(page.substr(3)));
    }
    return PartValue{.conclusive = false, .fields = {}, .failure = "页面无法识别"};
}

std::string nameOf(const std::string& url) {
    return url.substr(url.rfind('/') + 1);
}

// A batch with its fake sites, driven in simulated time: every request is
// answered `latency` after it was sent, with what `respond` says.
struct Rig {
    using Respond = std::function<Answer(Site, const std::string& name)>;

    explicit Rig(std::vector<std::string> names, DetailBatchOptions options = {}) : transport(now) {
        DetailBatchHooks hooks{
            .detailUrl = [](std::string_view n) { return "http://m/detail/" + std::string(n); },
            .icpUrl = [](std::string_view n) { return "http://i/icp/" + std::string(n); },
            .judgeDetail = [](std::string_view p) { return judge(p, "删除时间"); },
            .judgeIcp = [](std::string_view p) { return judge(p, "备案号"); },
            .wallClock = [this] { return kWall0 + (now - kT0); },
        };
        batch.emplace(std::move(names), transport, cache, std::move(hooks), options);
    }

    static Answer page(std::string text) { return status(200, std::nullopt, std::move(text)); }
    // A non-empty `failure` makes it a failed transfer.
    static Answer status(long code, std::optional<std::string> retryAfter = std::nullopt,
                         std::string text = {}, std::string failure = {}) {
        return Answer{.id = 0,
                      .status = code,
                      .text = std::move(text),
                      .failed = !failure.empty(),
                      .failure = std::move(failure),
                      .retryAfter = std::move(retryAfter)};
    }
    static Answer fine(Site, const std::string& name) { return page("ok:" + name); }

    // Runs until the batch is finished, `until` is reached, or nothing is left to happen.
    void run(const Respond& respond, Clock::duration latency = 10ms,
             Clock::time_point until = Clock::time_point::max()) {
        if (!started) {
            batch->start(now);
            started = true;
        }
        for (int guard = 0; guard < 100'000; ++guard) {
            for (std::size_t i = seen; i < transport.sent.size(); ++i) {
                const auto& s = transport.sent[i];
                pending.push_back({s.id, s.at + latency, s.site, nameOf(s.url)});
            }
            seen = transport.sent.size();
            collectFinished();
            if (batch->finished()) {
                return;
            }
            std::optional<Clock::time_point> next = batch->nextDue();
            for (const Pending& p : pending) {
                next = next ? std::min(*next, p.at) : p.at;
            }
            if (!next || *next > until) {
                return;
            }
            now = std::max(now, *next);
            for (auto it = pending.begin(); it != pending.end();) {
                if (it->at <= now) {
                    Answer a = respond(it->site, it->name);
                    a.id = it->id;
                    transport.ready.push_back(std::move(a));
                    answeredAt[it->id] = now;
                    it = pending.erase(it);
                } else {
                    ++it;
                }
            }
            batch->poll(now);
        }
        FAIL() << "the batch never finished";
    }

    void collectFinished() {
        for (const std::size_t i : batch->takeFinishedNames()) {
            finishedOrder.push_back(i);
        }
    }

    struct Pending {
        BatchTransport::Id id;
        Clock::time_point at;
        Site site;
        std::string name;
    };

    Clock::time_point now = kT0;
    FakeTransport transport;
    FakeCache cache;
    std::optional<DetailBatch> batch;
    bool started = false;
    std::size_t seen = 0;
    std::vector<Pending> pending;
    std::map<BatchTransport::Id, Clock::time_point> answeredAt;
    std::vector<std::size_t> finishedOrder;
};

std::vector<std::string> names(std::size_t n) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back("name" + std::to_string(i) + ".com");
    }
    return out;
}

TEST(DetailBatch, EachSiteIsPacedOnItsOwn) {
    Rig rig(names(5), DetailBatchOptions{.pause = 1000ms});
    rig.run(&Rig::fine, 30ms);
    ASSERT_TRUE(rig.batch->finished());

    for (const Site site : {Site::Market, Site::Icp}) {
        const std::vector<FakeTransport::Sent> mine = rig.transport.sentTo(site);
        ASSERT_EQ(mine.size(), 5u);
        for (std::size_t i = 1; i < mine.size(); ++i) {
            // No overlap and the full pause after the previous answer ended.
            const Clock::time_point previousEnd = rig.answeredAt.at(mine[i - 1].id);
            EXPECT_GE(mine[i].at - previousEnd, 1000ms) << "request " << i;
        }
    }
    // The two sites do not wait for each other: both first requests go out at once.
    EXPECT_EQ(rig.transport.sent[0].at, kT0);
    EXPECT_EQ(rig.transport.sent[1].at, kT0);
    EXPECT_NE(rig.transport.sent[0].site, rig.transport.sent[1].site);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(rig.batch->result(i).outcome, "成功");
        EXPECT_EQ(rig.batch->result(i).detail.source, PartSource::Fetched);
    }
    const auto progress = rig.batch->progress(rig.now);
    EXPECT_EQ(progress.done, 5u);
    EXPECT_EQ(progress.fetched, 5u);
    EXPECT_EQ(progress.timeLeft, 0ms);
}

struct RefusalCase {
    const char* rule;
    long status;
    std::optional<std::string> retryAfter;
    milliseconds expectedWait;
};

class RefusalWait : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalWait, AsksAgainAfterTheWaitTheSiteAskedFor) {
    const RefusalCase& c = GetParam();
    Rig rig({"refused.com"}, DetailBatchOptions{.pause = 1000ms});
    int marketAsked = 0;
    rig.run(
        [&](Site site, const std::string& name) {
            if (site == Site::Market && marketAsked++ == 0) {
                return Rig::status(c.status, c.retryAfter);
            }
            return Rig::fine(site, name);
        },
        10ms);
    ASSERT_TRUE(rig.batch->finished());
    const std::vector<FakeTransport::Sent> market = rig.transport.sentTo(Site::Market);
    ASSERT_EQ(market.size(), 2u);
    EXPECT_EQ(market[1].url, market[0].url);
    EXPECT_EQ(market[1].at - rig.answeredAt.at(market[0].id), c.expectedWait);
    EXPECT_EQ(rig.batch->result(0).outcome, "成功");
    EXPECT_FALSE(rig.batch->stoppedBySite());
}

// Answered at 10 ms into the run, so a date 9 s after the wall clock's start waits 8.99 s.
INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalWait,
    ::testing::Values(RefusalCase{"seconds", 429, "7", 7000ms},
                      RefusalCase{"http_date", 429, "Mon, 07 Dec 2026 12:00:09 GMT", 8990ms},
                      RefusalCase{"absent_header_waits_a_minute", 429, std::nullopt, 60000ms},
                      RefusalCase{"unavailable_503_counts_too", 503, "3", 3000ms},
                      RefusalCase{"zero_still_keeps_the_pause", 429, "0", 1000ms},
                      RefusalCase{"over_ten_minutes_is_cut", 429, "86400", 600000ms}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(DetailBatch, RepeatedRefusalsStopOnlyThatSite) {
    struct Case {
        const char* rule;
        std::vector<long> marketStatuses;  // in order; 200 after the script runs out
        bool givenUp;
        std::size_t marketRequests;
    };
    const Case cases[] = {
        {"three refusals in a row give up", {429, 503, 429}, true, 3},
        {"an answer between refusals resets the count", {429, 429, 200, 429, 429}, false, 8},
    };
    for (const Case& c : cases) {
        Rig rig(names(4), DetailBatchOptions{.pause = 100ms});
        std::size_t asked = 0;
        rig.run(
            [&](Site site, const std::string& name) {
                if (site == Site::Market && asked < c.marketStatuses.size()) {
                    const long code = c.marketStatuses[asked++];
                    return code == 200 ? Rig::fine(site, name) : Rig::status(code, "1");
                }
                return Rig::fine(site, name);
            },
            5ms);
        ASSERT_TRUE(rig.batch->finished()) << c.rule;
        EXPECT_EQ(rig.batch->stoppedBySite(), c.givenUp) << c.rule;
        EXPECT_EQ(rig.transport.countFor(Site::Market), c.marketRequests) << c.rule;
        // The other site is asked for every name either way.
        EXPECT_EQ(rig.transport.countFor(Site::Icp), 4u) << c.rule;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto& r = rig.batch->result(i);
            EXPECT_EQ(r.icp.source, PartSource::Fetched) << c.rule;
            EXPECT_EQ(r.outcome, c.givenUp ? "未查询（站点限流）" : "成功") << c.rule << " " << i;
        }
    }
}

TEST(DetailBatch, CancelDuringAWaitEndsAtOnce) {
    Rig rig(names(3), DetailBatchOptions{.pause = 1000ms});
    rig.run(
        [](Site site, const std::string& name) {
            return site == Site::Market ? Rig::status(429, "30") : Rig::fine(site, name);
        },
        3s, kT0 + 5s);
    // The market site waits out its Retry-After; the ICP site has a request on the wire.
    ASSERT_FALSE(rig.batch->finished());
    ASSERT_EQ(rig.transport.countFor(Site::Market), 1u);
    const BatchTransport::Id onTheWire = rig.transport.sent.back().id;
    ASSERT_EQ(rig.transport.sent.back().site, Site::Icp);

    rig.batch->cancel();
    EXPECT_TRUE(rig.batch->finished());
    EXPECT_EQ(rig.transport.cancelled, std::vector<BatchTransport::Id>{onTheWire});
    EXPECT_EQ(rig.batch->result(0).icp.source, PartSource::Fetched);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rig.batch->result(i).outcome, "未查询（已中断）") << i;
    }
    const std::size_t sentBefore = rig.transport.sent.size();
    rig.now += 10min;
    rig.batch->poll(rig.now);
    EXPECT_EQ(rig.transport.sent.size(), sentBefore);
    rig.collectFinished();
    EXPECT_EQ(rig.finishedOrder.size(), 3u);
}

TEST(DetailBatch, CachedPartsAreUsedWhileYoungEnough) {
    struct Case {
        const char* rule;
        std::chrono::hours maxAge;
        std::optional<Clock::duration> detailAge;  // nullopt: not cached
        Clock::duration icpAge;
        bool detailConclusive;
        std::size_t detailRequests;
        std::size_t icpRequests;
    };
    const Case cases[] = {
        {"fresh parts send nothing", 12h, 1h, 11h, true, 0, 0},
        {"a stale part is fetched again", 12h, 13h, 1h, true, 1, 0},
        {"max age zero always fetches", std::chrono::hours{0}, 1h, 1h, true, 1, 1},
        {"a missing part is fetched", 12h, std::nullopt, 1h, true, 1, 0},
        {"an inconclusive cached part is not trusted", 12h, 1h, 1h, false, 1, 0},
        {"a part stamped in the future is fetched", 12h, -2h, 1h, true, 1, 0},
    };
    for (const Case& c : cases) {
        Rig rig({"kept.com"}, DetailBatchOptions{.pause = 1000ms, .maxAge = c.maxAge});
        DetailCache::Entry entry;
        if (c.detailAge) {
            PartValue v = conclusive("删除时间", "cached");
            v.conclusive = c.detailConclusive;
            entry.detail = DetailCache::Stored{.value = v, .fetchedAt = kWall0 - *c.detailAge};
        }
        entry.icp = DetailCache::Stored{.value = conclusive("备案号", "cached"),
                                        .fetchedAt = kWall0 - c.icpAge};
        rig.cache.entries["kept.com"] = entry;
        rig.run(&Rig::fine);
        ASSERT_TRUE(rig.batch->finished()) << c.rule;
        EXPECT_EQ(rig.transport.countFor(Site::Market), c.detailRequests) << c.rule;
        EXPECT_EQ(rig.transport.countFor(Site::Icp), c.icpRequests) << c.rule;
        const auto& r = rig.batch->result(0);
        EXPECT_EQ(r.detail.source, c.detailRequests ? PartSource::Fetched : PartSource::Cache)
            << c.rule;
        EXPECT_EQ(r.detail.value.fields.at(0).value, c.detailRequests ? "kept.com" : "cached")
            << c.rule;
        EXPECT_EQ(r.outcome, "成功") << c.rule;
    }
}

TEST(DetailBatch, FiveHundredNamesWithThreeHundredCachedSendTwoHundredOfEach) {
    const std::vector<std::string> all = names(500);
    Rig rig(all, DetailBatchOptions{.pause = 20ms});
    std::set<std::string> uncached;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i % 5 < 3) {
            rig.cache.entries[all[i]] = DetailCache::Entry{
                .detail = DetailCache::Stored{conclusive("删除时间", "x"), kWall0 - 1h},
                .icp = DetailCache::Stored{conclusive("备案号", "y"), kWall0 - 1h}};
        } else {
            uncached.insert(all[i]);
        }
    }
    rig.run(&Rig::fine, 2ms);
    ASSERT_TRUE(rig.batch->finished());
    EXPECT_EQ(rig.transport.countFor(Site::Market), 200u);
    EXPECT_EQ(rig.transport.countFor(Site::Icp), 200u);
    std::set<std::string> asked;
    std::ranges::transform(rig.transport.sent, std::inserter(asked, asked.end()),
                           [](const auto& s) { return nameOf(s.url); });
    EXPECT_EQ(asked, uncached);

    // Every name is reported finished exactly once.
    std::vector<std::size_t> order = rig.finishedOrder, every(500);
    std::sort(order.begin(), order.end());
    std::iota(every.begin(), every.end(), std::size_t{0});
    EXPECT_EQ(order, every);
    const auto progress = rig.batch->progress(rig.now);
    EXPECT_EQ(progress.fromCache, 300u);
    EXPECT_EQ(progress.fetched, 200u);
    EXPECT_EQ(progress.failed, 0u);
}

TEST(DetailBatch, OnlyConclusivePartsAreCachedAndFailuresAreNamed) {
    // Pages: "ok:..." has markers, "-" is a failed transfer, "500" an error status.
    const auto answer = [](const std::string& page) {
        if (page == "-") {
            return Rig::status(0, std::nullopt, {}, "连接被拒绝");
        }
        return page == "500" ? Rig::status(500) : Rig::page(page);
    };
    struct Case {
        const char* rule;
        std::string detail, icp, outcome;
        std::vector<Part> stored;
    };
    const Case cases[] = {
        {"both parts conclusive", "ok:a", "ok:b", "成功", {Part::Detail, Part::Icp}},
        {"page without markers", "<p></p>", "ok:b", "详情查询失败：页面无法识别", {Part::Icp}},
        {"error status", "ok:a", "500", "备案查询失败：服务器返回 500", {Part::Detail}},
        {"transport reason passed through",
         "-",
         "500",
         "详情查询失败：连接被拒绝；备案查询失败：服务器返回 500",
         {}},
    };
    for (const Case& c : cases) {
        Rig rig({"one.com"});
        rig.run([&](Site site, const std::string&) {
            return answer(site == Site::Market ? c.detail : c.icp);
        });
        ASSERT_TRUE(rig.batch->finished()) << c.rule;
        EXPECT_EQ(rig.batch->result(0).outcome, c.outcome) << c.rule;
        std::vector<Part> stored;
        for (const auto& [name, part] : rig.cache.stores) {
            stored.push_back(part);
        }
        std::sort(stored.begin(), stored.end());
        EXPECT_EQ(stored, c.stored) << c.rule;
        EXPECT_EQ(rig.batch->progress(rig.now).failed, c.stored.size() == 2 ? 0u : 1u) << c.rule;
    }
}

TEST(DetailBatch, NamesThatAreNoDomainAreNeverAsked) {
    // Each would put its text into a request path: "" asks for "/icp/", "a/b.com" for another
    // page. They finish at once as 无效域名; the good name between them is asked as usual.
    const std::vector<std::string> batchNames = {"",        "a b.com", "good.com",
                                                 "a/b.com", "x..com",  "com"};
    Rig rig(batchNames);
    rig.run(&Rig::fine);
    ASSERT_TRUE(rig.batch->finished());
    for (std::size_t i = 0; i < batchNames.size(); ++i) {
        const bool good = batchNames[i] == "good.com";
        EXPECT_EQ(rig.batch->result(i).outcome, good ? "成功" : "无效域名") << batchNames[i];
    }
    std::set<std::string> asked;
    for (const auto& sent : rig.transport.sent) {
        asked.insert(sent.url);
    }
    EXPECT_EQ(asked, (std::set<std::string>{"http://m/detail/good.com", "http://i/icp/good.com"}));
}

TEST(DetailBatch, ProgressCountsWhileRunning) {
    Rig rig(names(3), DetailBatchOptions{.pause = 1000ms});
    rig.cache.entries["name0.com"] =
        DetailCache::Entry{.detail = DetailCache::Stored{conclusive("删除时间", "x"), kWall0},
                           .icp = DetailCache::Stored{conclusive("备案号", "y"), kWall0}};
    rig.run(&Rig::fine, 100ms, kT0 + 500ms);
    // name1 is done at 100 ms; name2 waits for the pause on both sites.
    const auto p = rig.batch->progress(rig.now);
    EXPECT_EQ(p.total, 3u);
    EXPECT_EQ(p.done, 2u);
    EXPECT_EQ(p.fromCache, 1u);
    EXPECT_EQ(p.fetched, 1u);
    EXPECT_GT(p.timeLeft, 0ms);
    EXPECT_EQ(rig.batch->nextDue(), kT0 + 1100ms);
}

}  // namespace
