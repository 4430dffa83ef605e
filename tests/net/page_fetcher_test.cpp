#include "net/page_fetcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/utf8.h"
#include "market_sim.h"
#include "net/market_requests.h"
#include "net/text_decoding.h"
#include "net/url_check.h"

namespace jilan::net {
namespace {

// Counts the rounds of window events a waiting fetch lets run.
class CountingPump : public EventPump {
public:
    bool pumpOnce() override {
        ++pumps;
        return keepWaiting;
    }
    int pumps = 0;
    bool keepWaiting = true;
};

HttpLimits quick() {
    HttpLimits limits;
    limits.connectTimeoutMs = 1'000;
    limits.totalTimeoutMs = 1'500;
    limits.lowSpeedSeconds = 1;
    return limits;
}

struct Rig {
    explicit Rig(sim::Options o = {}, HttpLimits limits = quick())
        : sim(std::move(o)), pool(limits), fetcher(pool, pump) {
        EXPECT_TRUE(sim.start()) << sim.lastError();
    }
    std::string url(const std::string& path) const { return sim.baseUrl() + path; }

    sim::MarketSim sim;
    TransferPool pool;
    CountingPump pump;
    PageFetcher fetcher;
};

enum class Path { GetBody, HtmlStr, OpenURL };

FetchResult fetchBy(Rig& rig, Path path, const std::string& url) {
    switch (path) {
        case Path::GetBody:
            return rig.fetcher.GetBody(url, "gbk");
        case Path::HtmlStr:
            return rig.fetcher.HtmlStr(url);
        case Path::OpenURL:
            return rig.fetcher.OpenURL(url);
    }
    return {};
}

class EveryPathTest : public ::testing::TestWithParam<Path> {};

TEST_P(EveryPathTest, ErrorAnswerIsPageTextWithItsStatus) {
    sim::Options o;
    o.detailFault = sim::Fault::Status404;
    Rig rig(o);
    const FetchResult r = fetchBy(rig, GetParam(), rig.url("/backorder/a.com"));
    EXPECT_FALSE(r.failed());
    EXPECT_TRUE(r.httpError());
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(r.text, sim::errorPage(404));
}

TEST_P(EveryPathTest, EmptyBodyIsEmptyText) {
    sim::Options o;
    o.detailFault = sim::Fault::Empty;
    Rig rig(o);
    const FetchResult r = fetchBy(rig, GetParam(), rig.url("/backorder/a.com"));
    EXPECT_TRUE(r.good());
    EXPECT_EQ(r.text, "");
}

TEST_P(EveryPathTest, GbkPageIsDecoded) {
    Rig rig;
    const FetchResult r = fetchBy(rig, GetParam(), rig.url("/backorder/qiyun1.com"));
    EXPECT_TRUE(r.good());
    EXPECT_EQ(r.text, sim::detailPage("qiyun1.com"));
}

TEST_P(EveryPathTest, FailuresEndTheFetchWithinTheLimits) {
    struct Case {
        sim::Fault fault;
        FetchError error;
        FailureKind kind;
    };
    const Case cases[] = {
        {sim::Fault::DropBeforeBody, FetchError::Transport, FailureKind::ConnectionCut},
        {sim::Fault::DropMidBody, FetchError::Transport, FailureKind::ConnectionCut},
        {sim::Fault::NeverAnswer, FetchError::Timeout, FailureKind::ResponseTimeout},
        {sim::Fault::Trickle, FetchError::Timeout, FailureKind::ResponseTimeout},
        {sim::Fault::EndlessBody, FetchError::TooLarge, FailureKind::TooLarge},
        {sim::Fault::OversizedBody, FetchError::TooLarge, FailureKind::TooLarge},
        {sim::Fault::GzipBomb, FetchError::TooLarge, FailureKind::TooLarge},
        {sim::Fault::RedirectLoop, FetchError::BadRedirect, FailureKind::TooManyRedirects},
        {sim::Fault::RedirectToFile, FetchError::BadRedirect, FailureKind::RedirectRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(sim::faultName(c.fault)));
        sim::Options o;
        o.detailFault = c.fault;
        HttpLimits limits = quick();
        limits.maxBodyBytes = 2 * 1024 * 1024;
        Rig rig(o, limits);
        const auto started = std::chrono::steady_clock::now();
        const FetchResult r = fetchBy(rig, GetParam(), rig.url("/backorder/a.com"));
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.failed());
        EXPECT_EQ(r.text, "");
        EXPECT_EQ(r.cause.kind, c.kind);
        EXPECT_NE(r.cause.curlCode, 0);
        EXPECT_LT(took, std::chrono::seconds(10));
    }
}

TEST_P(EveryPathTest, RefusedConnectionIsATransportFailure) {
    Rig rig;
    const std::string url = rig.url("/backorder/a.com");
    rig.sim.stop();
    const FetchResult r = fetchBy(rig, GetParam(), url);
    EXPECT_EQ(r.error, FetchError::Transport);
    EXPECT_EQ(r.cause.kind, FailureKind::Refused);
    EXPECT_EQ(r.text, "");
}

TEST_P(EveryPathTest, UrlWithLineBreaksOrAnotherSchemeIsNeverSent) {
    Rig rig;
    for (const std::string& url :
         {rig.url("/backorder/a.com\r\nX-Injected: 1"), rig.url("/backorder/a b.com"),
          std::string("file:///etc/passwd"), std::string("ftp://127.0.0.1/x")}) {
        SCOPED_TRACE(url);
        const FetchResult r = fetchBy(rig, GetParam(), url);
        EXPECT_EQ(r.error, FetchError::InvalidUrl);
    }
    EXPECT_TRUE(rig.sim.requests().empty());
}

TEST_P(EveryPathTest, RetryAfterOfTheAnswerIsKeptAsSent) {
    struct Case {
        const char* rule;
        sim::Fault fault;
        std::string retryAfter;
    };
    const Case cases[] = {
        {"busy answer names its pause", sim::Fault::Status503, "1"},
        {"throttled answer names its pause", sim::Fault::Status429, "1"},
        {"plain page has none", sim::Fault::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim::Options o;
        o.detailFault = c.fault;
        Rig rig(o, quick());
        const FetchResult r = fetchBy(rig, GetParam(), rig.url("/backorder/a.com"));
        EXPECT_FALSE(r.failed());
        EXPECT_EQ(r.retryAfter, c.retryAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, EveryPathTest,
                         ::testing::Values(Path::GetBody, Path::HtmlStr, Path::OpenURL),
                         [](const auto& info) {
                             switch (info.param) {
                                 case Path::GetBody:
                                     return "GetBody";
                                 case Path::HtmlStr:
                                     return "HtmlStr";
                                 default:
                                     return "OpenURL";
                             }
                         });

TEST(GetBodyTest, CodingHasNoEffect) {
    Rig rig;
    const std::string url = rig.url("/search?p=1");
    const FetchResult gbk = rig.fetcher.GetBody(url, "gbk");
    const FetchResult other = rig.fetcher.GetBody(url, "iso-8859-1");
    const FetchResult none = rig.fetcher.GetBody(url, "");
    EXPECT_EQ(gbk.text, other.text);
    EXPECT_EQ(gbk.text, none.text);
    EXPECT_EQ(gbk.text, sim::listingPage(rig.sim.options(), 1));
}

TEST(GetBodyTest, DecodesByTheDeclaredCharsetOrByTheBytes) {
    struct Case {
        const char* rule;
        bool utf8;
        sim::Fault fault;
    };
    for (const Case c : {Case{"declared gbk", false, sim::Fault::None},
                         Case{"declared utf-8", true, sim::Fault::None},
                         Case{"undeclared gbk bytes", false, sim::Fault::NoCharset},
                         Case{"undeclared utf-8 bytes", true, sim::Fault::NoCharset}}) {
        SCOPED_TRACE(c.rule);
        sim::Options o;
        o.utf8 = c.utf8;
        o.allFault = c.fault;
        Rig rig(o);
        const FetchResult r = rig.fetcher.GetBody(rig.url("/search?p=2"), "gbk");
        EXPECT_TRUE(r.good());
        EXPECT_EQ(r.text, sim::listingPage(o, 2));
    }
}

TEST(GetBodyTest, InvalidGbkBytesBecomeReplacementCharacters) {
    sim::Options o;
    o.allFault = sim::Fault::InvalidGbk;
    Rig rig(o);
    const FetchResult r = rig.fetcher.GetBody(rig.url("/search?p=1"), "gbk");
    EXPECT_TRUE(r.good());
    EXPECT_TRUE(base::isValidUtf8(r.text));
    EXPECT_NE(r.text.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_NE(r.text.find("<div class=\"pagination\">"), std::string::npos);
}

TEST(FetchPathTest, OnlyGetBodySendsIfModifiedSince) {
    Rig rig;
    rig.fetcher.GetBody(rig.url("/icp/a.com"), "gbk");
    rig.fetcher.HtmlStr(rig.url("/backorder/a.com"));
    rig.fetcher.OpenURL(rig.url("/backorder/b.com"));
    const auto requests = rig.sim.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[0].hasIfModifiedSince);
    EXPECT_EQ(requests[0].ifModifiedSince, "0");
    EXPECT_FALSE(requests[1].hasIfModifiedSince);
    EXPECT_FALSE(requests[2].hasIfModifiedSince);
    for (const auto& r : requests) {
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.header("Cookie"), "");
    }
    // Each fetch stands alone: no connection is reused.
    EXPECT_NE(requests[0].connection, requests[1].connection);
    EXPECT_NE(requests[1].connection, requests[2].connection);
}

TEST(FetchPathTest, GetBodyPumpsEventsWhileWaitingAndTheBlockingPathsDoNot) {
    sim::Options o;
    o.latencyMs = 150;
    Rig rig(o);
    rig.fetcher.GetBody(rig.url("/icp/a.com"), "gbk");
    const int whileWaiting = rig.pump.pumps;
    // The wait is bounded: a few milliseconds per round, not a busy spin.
    EXPECT_GE(whileWaiting, 10);
    EXPECT_LE(whileWaiting, 150 / 2 + 20);
    rig.fetcher.HtmlStr(rig.url("/backorder/a.com"));
    rig.fetcher.OpenURL(rig.url("/backorder/a.com"));
    EXPECT_EQ(rig.pump.pumps, whileWaiting);
}

TEST(FetchPathTest, AbandonedWaitReturnsAtOnceAsCancelled) {
    sim::Options o;
    o.allFault = sim::Fault::NeverAnswer;
    Rig rig(o);
    rig.pump.keepWaiting = false;
    const FetchResult r = rig.fetcher.GetBody(rig.url("/search?p=1"), "gbk");
    EXPECT_EQ(r.error, FetchError::Cancelled);
    EXPECT_EQ(rig.pump.pumps, 1);
    EXPECT_EQ(rig.pool.running(), 0u);
}

TEST(MarketRequestTest, UrlsCarryEveryUntrustedByteEncoded) {
    struct Case {
        std::string domain;
        std::string encoded;
    };
    const Case cases[] = {
        {"qiyun4821.com", "qiyun4821.com"},   {"a.com\r\nX-Evil: 1", "a.com%0D%0AX-Evil%3A%201"},
        {"a b&c;d|e", "a%20b%26c%3Bd%7Ce"},   {"-x.com", "-x.com"},
        {"a\"b'<c>", "a%22b%27%3Cc%3E"},      {"%0d%0a", "%250d%250a"},
        {"中国.cn", "%E4%B8%AD%E5%9B%BD.cn"}, {"../../etc", "..%2F..%2Fetc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.domain);
        EXPECT_EQ(detailUrl("http://m", c.domain), "http://m/backorder/" + c.encoded);
        EXPECT_EQ(icpUrl("http://i/icp/", c.domain), "http://i/icp/" + c.encoded);
        EXPECT_TRUE(sendableUrl(detailUrl("http://m", c.domain)));
    }
    EXPECT_EQ(listingUrl("http://m", "12"), "http://m/search?p=12");
    EXPECT_EQ(listingUrl("http://m", "-1.5"), "http://m/search?p=-1.5");
}

}  // namespace
}  // namespace jilan::net
