// Over loopback: error answers that still hold the page, pages without markers, throttling, the
// request log with arrival and completion times, and the day listing's pages.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "day_listing.h"
#include "fault_player.h"
#include "market_sim.h"
#include "sim_test_support.h"
#include "temp_dir.h"
#include "text_codec.h"

namespace jilan::sim {
namespace {

using namespace std::chrono_literals;
using test::between;
using test::decodeToUtf8;
using test::extractRowDomains;
using test::getRequest;
using test::rawExchange;
using test::RawResponse;

std::unique_ptr<MarketSim> startedSim(Options o) {
    auto sim = std::make_unique<MarketSim>(std::move(o));
    EXPECT_TRUE(sim->start()) << sim->lastError();
    return sim;
}

RawResponse get(const MarketSim& sim, std::string_view target) {
    return rawExchange(sim.port(), getRequest(target), 5000ms);
}

std::string text(const RawResponse& r) {
    return decodeToUtf8(r.body, "GBK").value_or("<not GBK>");
}

// First domain of the default listing whose filing state is `filed`.
std::string domainFiled(bool filed) {
    for (int row = 1;; ++row) {
        std::string d = domainFor(1 + row / 50, 1 + row % 50);
        if (isFiled(d) == filed) {
            return d;
        }
    }
}

struct AnswerCase {
    const char* rule;
    std::function<void(Options&)> configure;
    std::string target;
    int status;
    std::function<void(const RawResponse&)> check;
};

TEST(ErrorAnswers, StatusAndBodyAsTheModeSays) {
    const std::string filed = domainFiled(true);
    const std::string unfiled = domainFiled(false);
    const std::vector<AnswerCase> cases = {
        {"listing 404 still carries its rows", [](Options& o) { o.pageFaults[2] = Fault::Page404; },
         "/search?p=2", 404,
         [](const RawResponse& r) { EXPECT_EQ(extractRowDomains(r.body), rowDomains({}, 2)); }},
        {"listing 500 still carries its rows", [](Options& o) { o.allFault = Fault::Page500; },
         "/search?p=7", 500,
         [](const RawResponse& r) { EXPECT_EQ(extractRowDomains(r.body), rowDomains({}, 7)); }},
        {"ICP 404 of a filed name says not filed",
         [](Options& o) { o.icpFault = Fault::IcpNotFiled404; }, "/icp/" + filed, 404,
         [](const RawResponse& r) {
             EXPECT_NE(text(r).find("该域名未备案"), std::string::npos);
             EXPECT_EQ(text(r).find(kIcpNumberLabel), std::string::npos);
         }},
        {"ICP 404 of an unfiled name carries a filing number",
         [](Options& o) { o.icpFault = Fault::IcpFiled404; }, "/icp/" + unfiled, 404,
         [unfiled](const RawResponse& r) {
             EXPECT_EQ(between(text(r), kIcpNumberLabel, "</td>"), assignedFilingNumber(unfiled));
             EXPECT_NE(assignedFilingNumber(unfiled), "");
             EXPECT_EQ(text(r).find(kNotFiledText), std::string::npos);
         }},
        {"detail 200 without any detail marker",
         [](Options& o) { o.detailFault = Fault::NoMarkers; }, "/backorder/" + filed, 200,
         [](const RawResponse& r) {
             const std::vector<std::string_view> markers = {
                 "<label>删除类型：", "<label>删除时间：", "<label>预订截止时间：", "<pre>",
                 "<th>保证金</th>",   kBookingOverText};
             for (std::string_view marker : markers) {
                 EXPECT_EQ(text(r).find(marker), std::string::npos) << marker;
             }
         }},
        {"ICP 200 without the ICP markers", [](Options& o) { o.icpFault = Fault::NoMarkers; },
         "/icp/" + unfiled, 200,
         [](const RawResponse& r) {
             EXPECT_EQ(text(r).find(kNotFiledText), std::string::npos);
             EXPECT_EQ(text(r).find(kIcpNumberLabel), std::string::npos);
         }},
        {"the ICP modes leave the listing route a plain 404 page",
         [](Options& o) { o.allFault = Fault::IcpFiled404; }, "/search?p=3", 404,
         [](const RawResponse& r) { EXPECT_EQ(extractRowDomains(r.body), rowDomains({}, 3)); }},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.rule);
        Options o;
        c.configure(o);
        auto sim = startedSim(o);
        const RawResponse r = get(*sim, c.target);
        EXPECT_EQ(r.status, c.status);
        EXPECT_FALSE(r.timedOut);
        c.check(r);
    }
}

TEST(ErrorAnswers, ASiteThatDropsEveryConnection) {
    Options o;
    o.icpFault = Fault::DropBeforeBody;
    auto sim = startedSim(o);
    for (int i = 0; i < 3; ++i) {
        const RawResponse r = get(*sim, "/icp/a" + std::to_string(i) + ".com");
        EXPECT_TRUE(r.closedByPeer);
        EXPECT_EQ(r.bytesReceived, 0u);
    }
    EXPECT_EQ(get(*sim, "/search?p=1").status, 200) << "the marketplace still answers";
}

struct ThrottleCase {
    const char* rule;
    Fault mode;
    int every;
    int retryAfter;
    std::vector<int> statuses;
    std::optional<std::string> retryAfterHeader;  // on the refusals
};

TEST(Throttle, RefusesEveryNPlusFirstRequestOfTheSite) {
    const std::vector<ThrottleCase> cases = {
        {"429 after every 2 with Retry-After",
         Fault::Throttle429,
         2,
         5,
         {200, 200, 429, 200, 200, 429, 200},
         "5"},
        {"429 after every 1 without Retry-After",
         Fault::Throttle429NoRetry,
         1,
         5,
         {200, 429, 200, 429},
         std::nullopt},
        {"503 after every 3 with Retry-After",
         Fault::Throttle503,
         3,
         2,
         {200, 200, 200, 503, 200, 200, 200, 503},
         "2"},
        {"every 0 refuses every request", Fault::Throttle429, 0, 1, {429, 429, 429}, "1"},
    };
    for (const ThrottleCase& c : cases) {
        SCOPED_TRACE(c.rule);
        Options o;
        o.detailFault = c.mode;
        o.throttleEvery = c.every;
        o.retryAfterSeconds = c.retryAfter;
        auto sim = startedSim(o);
        for (std::size_t i = 0; i < c.statuses.size(); ++i) {
            SCOPED_TRACE(i);
            // Different names: the throttle counts requests to the site, not to one target.
            const RawResponse r = get(*sim, "/backorder/n" + std::to_string(i) + ".com");
            EXPECT_EQ(r.status, c.statuses[i]);
            if (r.status == 200) {
                EXPECT_EQ(r.header("Retry-After"), std::nullopt);
            } else {
                EXPECT_EQ(r.header("Retry-After"), c.retryAfterHeader);
            }
        }
        const auto log = sim->requests();
        ASSERT_EQ(log.size(), c.statuses.size());
        for (std::size_t i = 0; i < log.size(); ++i) {
            EXPECT_EQ(log[i].fault, c.statuses[i] == 200 ? Fault::None : c.mode);
        }
    }
}

TEST(HttpDate, ImfFixdateInGmt) {
    const std::vector<std::pair<long long, std::string>> cases = {
        {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
        {784111777, "Sun, 06 Nov 1994 08:49:37 GMT"},
        {1796669100, "Mon, 07 Dec 2026 18:45:00 GMT"},
        {1835440496, "Tue, 29 Feb 2028 12:34:56 GMT"},
        {-1, "Wed, 31 Dec 1969 23:59:59 GMT"},
    };
    for (const auto& [seconds, expected] : cases) {
        EXPECT_EQ(httpDate(std::chrono::system_clock::time_point(std::chrono::seconds(seconds))),
                  expected);
    }
}

TEST(Throttle, RetryAfterAsAnHttpDateLiesThatFarAhead) {
    Options o;
    o.icpFault = Fault::Throttle503;
    o.throttleEvery = 0;
    o.retryAfterSeconds = 120;
    o.retryAfterAsDate = true;
    auto sim = startedSim(o);
    auto secondsNow = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const long long before = secondsNow();
    const RawResponse r = get(*sim, "/icp/a.com");
    const long long after = secondsNow();
    EXPECT_EQ(r.status, 503);
    const std::string value = r.header("Retry-After").value_or("");
    std::tm tm{};
    const char* end = ::strptime(value.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    ASSERT_NE(end, nullptr) << value;
    EXPECT_EQ(*end, '\0') << value;
    const long long at = ::timegm(&tm);
    EXPECT_GE(at, before + 120) << value;
    EXPECT_LE(at, after + 120) << value;
}

TEST(Throttle, EachSiteCountsOnItsOwn) {
    Options o;
    o.allFault = Fault::Throttle429;
    o.throttleEvery = 2;
    auto sim = startedSim(o);
    // market, icp, market, icp, market, icp: the third request of each site is refused.
    const std::vector<std::pair<std::string, int>> steps = {
        {"/search?p=1", 200}, {"/icp/a.com", 200},  {"/backorder/a.com", 200},
        {"/icp/b.com", 200},  {"/search?p=2", 429}, {"/icp/c.com", 429},
    };
    for (const auto& [target, status] : steps) {
        EXPECT_EQ(get(*sim, target).status, status) << target;
    }
}

TEST(RequestLog, EveryRequestHasArrivalCompletionSiteAndStatus) {
    Options o;
    o.latencyMs = 20;
    o.pageFaults[2] = Fault::Status503;
    o.icpFault = Fault::DropBeforeBody;
    auto sim = startedSim(o);
    const std::vector<std::string> targets = {"/search?p=1", "/search?p=2", "/icp/x.com",
                                              "/backorder/x.com"};
    for (const auto& t : targets) {
        get(*sim, t);
    }
    const auto log = sim->requests();
    ASSERT_EQ(log.size(), targets.size());
    const std::vector<std::string> sites = {"market", "market", "icp", "market"};
    const std::vector<int> statuses = {200, 503, 0, 200};
    for (std::size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(targets[i]);
        EXPECT_EQ(log[i].target, targets[i]);
        EXPECT_EQ(log[i].id, i + 1);
        EXPECT_TRUE(log[i].isComplete);
        EXPECT_EQ(log[i].site, sites[i]);
        EXPECT_EQ(log[i].status, statuses[i]);
        // The latency is served before the answer: completion is at least that much later.
        EXPECT_GE(log[i].completionMs() - log[i].arrivalMs(), 20);
        if (i > 0) {
            EXPECT_GE(log[i].arrivalMs(), log[i - 1].completionMs()) << "sequential requests";
        }
    }
}

TEST(RequestLog, HeldRequestsCompleteOnlyWhenGivenUp) {
    Options o;
    o.icpFault = Fault::NeverAnswer;
    auto sim = startedSim(o);
    std::thread client([&] { rawExchange(sim->port(), getRequest("/icp/held.com"), 1500ms); });
    // Wait (bounded) until the server has read the request.
    for (int i = 0; i < 500 && sim->inFlight() == 0; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    auto log = sim->requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].site, "icp");
    EXPECT_FALSE(log[0].isComplete) << "the connection is still held";
    client.join();
    for (int i = 0; i < 500 && sim->inFlight() != 0; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    log = sim->requests();
    EXPECT_TRUE(log[0].isComplete) << "the client left";
    EXPECT_EQ(log[0].status, 0);
}

TEST(RequestLog, FileHasOneLinePerRequestMatchingTheMemoryLog) {
    jilan::testing::TempDir dir("sim-log");
    Options o;
    o.requestLogPath = dir.file("requests.log");
    o.pageFaults[3] = Fault::Status404;
    auto sim = startedSim(o);
    for (const char* t : {"/search?p=3", "/icp/y.com", "/backorder/y.com?x=1"}) {
        get(*sim, t);
    }
    const auto log = sim->requests();
    std::ifstream in(o.requestLogPath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), log.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        std::ostringstream expected;
        expected << log[i].arrivalMs() << " " << log[i].completionMs() << " " << log[i].site << " "
                 << log[i].status << " " << log[i].method << " " << log[i].target;
        EXPECT_EQ(lines[i], expected.str());
    }
    EXPECT_EQ(log[0].status, 404);
}

TEST(RequestLog, AnUnwritableLogFileFailsTheStart) {
    jilan::testing::TempDir dir("sim-log");
    Options o;
    o.requestLogPath = dir.file("missing-folder/requests.log");
    MarketSim sim(o);
    EXPECT_FALSE(sim.start());
    EXPECT_NE(sim.lastError().find("request log"), std::string::npos) << sim.lastError();
}

TEST(DayMode, ServesTheDaysListingDetailAndIcpPages) {
    Options o;
    o.day = 3;
    o.pages = 2;
    auto sim = startedSim(o);
    const RawResponse listing = get(*sim, "/search?p=2");
    ASSERT_EQ(listing.status, 200);
    const std::vector<std::string> rows = extractRowDomains(listing.body);
    EXPECT_EQ(rows, rowDomains(o, 2));
    ASSERT_EQ(rows.size(), 50u);
    for (std::size_t i : {0u, 17u, 49u}) {
        SCOPED_TRACE(rows[i]);
        EXPECT_EQ(text(get(*sim, "/backorder/" + rows[i])), dayDetailPage(3, rows[i]));
        EXPECT_EQ(text(get(*sim, "/icp/" + rows[i])), dayIcpPage(3, rows[i]));
    }
    // Switching the day while running serves the other day's list.
    sim->modifyOptions([](Options& x) { x.day = 4; });
    Options day4 = o;
    day4.day = 4;
    EXPECT_EQ(extractRowDomains(get(*sim, "/search?p=1").body), rowDomains(day4, 1));
}

}  // namespace
}  // namespace jilan::sim
