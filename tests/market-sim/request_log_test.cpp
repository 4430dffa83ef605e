// Reading the request log back: the file's line format and the per-site pacing checks that
// politeness tests rely on.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "market_sim.h"
#include "request_log.h"
#include "sim_test_support.h"
#include "temp_dir.h"

namespace jilan::sim {
namespace {

using namespace std::chrono_literals;

// A record on `site` from arrival to completion (ms); completion < 0: still open.
RequestRecord span(std::string site, long long arrival, long long completion) {
    RequestRecord r;
    r.site = std::move(site);
    r.method = "GET";
    r.target = "/t";
    r.received = std::chrono::steady_clock::time_point(std::chrono::milliseconds(arrival));
    r.isComplete = completion >= 0;
    if (r.isComplete) {
        r.completed = std::chrono::steady_clock::time_point(std::chrono::milliseconds(completion));
    }
    return r;
}

struct PacingCase {
    const char* rule;
    std::vector<RequestRecord> records;
    std::vector<SitePacing> expected;
};

TEST(SitePacing, OverlapAndGapsPerSite) {
    const std::vector<PacingCase> cases = {
        {"one after another with pauses",
         {span("icp", 0, 10), span("icp", 30, 45), span("icp", 65, 70)},
         {{"icp", 3, 1, 20}}},
        {"the next starting the moment the last ended is no overlap",
         {span("market", 0, 10), span("market", 10, 20)},
         {{"market", 2, 1, 0}}},
        {"overlap on one site",
         {span("market", 0, 50), span("market", 20, 30), span("market", 25, 60)},
         {{"market", 3, 3, -30}}},
        {"two sites interleaved do not overlap each other",
         {span("icp", 0, 10), span("market", 5, 15), span("icp", 12, 20), span("market", 40, 50)},
         {{"icp", 2, 1, 2}, {"market", 2, 1, 25}}},
        {"a request still open overlaps every later one",
         {span("icp", 0, -1), span("icp", 1000, 1010)},
         {{"icp", 2, 2, std::numeric_limits<long long>::min()}}},
        {"records out of order are sorted by arrival",
         {span("icp", 40, 50), span("icp", 0, 10)},
         {{"icp", 2, 1, 30}}},
        {"a single request has no gap", {span("icp", 5, 9)}, {{"icp", 1, 1, 0}}},
        {"no requests, no sites", {}, {}},
    };
    for (const PacingCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const std::vector<SitePacing> got = sitePacing(c.records);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].site, c.expected[i].site);
            EXPECT_EQ(got[i].requests, c.expected[i].requests);
            EXPECT_EQ(got[i].maxInFlight, c.expected[i].maxInFlight);
            EXPECT_EQ(got[i].minGapMs, c.expected[i].minGapMs);
        }
    }
}

TEST(RequestLogLine, RoundTripsAndRejectsOtherShapes) {
    RequestRecord r = span("icp", 123456, 123470);
    r.status = 503;
    r.target = "/icp/a.com?x=1";
    const std::string line = requestLogLine(r);
    EXPECT_EQ(line, "123456 123470 icp 503 GET /icp/a.com?x=1");
    const auto back = parseRequestLogLine(line);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->arrivalMs(), 123456);
    EXPECT_EQ(back->completionMs(), 123470);
    EXPECT_EQ(back->site, "icp");
    EXPECT_EQ(back->status, 503);
    EXPECT_EQ(back->method, "GET");
    EXPECT_EQ(back->target, "/icp/a.com?x=1");
    EXPECT_TRUE(back->isComplete);

    const std::vector<std::string> bad = {
        "",    "1 2 icp 200 GET",         "x 2 icp 200 GET /", "1 2 icp OK GET /",
        "1 2", "1 2 icp 200 GET / extra",
    };
    for (const std::string& b : bad) {
        EXPECT_EQ(parseRequestLogLine(b), std::nullopt) << b;
    }
}

TEST(RequestLogFile, ConcurrentRequestsShowAsOverlapOnTheirSite) {
    jilan::testing::TempDir dir("sim-pacing");
    Options o;
    o.latencyMs = 400;  // long enough that both clients are surely in at once
    o.requestLogPath = dir.file("log");
    MarketSim sim(o);
    ASSERT_TRUE(sim.start()) << sim.lastError();
    std::vector<std::thread> clients;
    for (const char* target : {"/icp/a.com", "/icp/b.com"}) {
        clients.emplace_back(
            [&sim, target] { test::rawExchange(sim.port(), test::getRequest(target), 5000ms); });
    }
    for (auto& c : clients) {
        c.join();
    }
    test::rawExchange(sim.port(), test::getRequest("/search?p=1"), 5000ms);
    const std::vector<RequestRecord> fromFile = readRequestLog(o.requestLogPath);
    ASSERT_EQ(fromFile.size(), 3u);
    const std::vector<SitePacing> pacing = sitePacing(fromFile);
    ASSERT_EQ(pacing.size(), 2u);
    EXPECT_EQ(pacing[0].site, "icp");
    EXPECT_EQ(pacing[0].maxInFlight, 2) << "both were held by the latency at once";
    EXPECT_LT(pacing[0].minGapMs, 0);
    EXPECT_EQ(pacing[1].site, "market");
    EXPECT_EQ(pacing[1].maxInFlight, 1);
    EXPECT_EQ(readRequestLog(dir.file("absent")).size(), 0u);
}

}  // namespace
}  // namespace jilan::sim
