// MarketSim over real loopback HTTP: pages, faults on the wire, latency, log and concurrency.
#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "market_sim.h"
#include "sim_test_support.h"
#include "text_codec.h"

namespace jilan::sim {
namespace {

using namespace std::chrono_literals;
using test::countOf;
using test::decodeToUtf8;
using test::elapsedMs;
using test::extractRowDomains;
using test::getRequest;
using test::rawExchange;
using test::RawResponse;

std::unique_ptr<MarketSim> startedSim(Options o = {}) {
    auto sim = std::make_unique<MarketSim>(std::move(o));
    EXPECT_TRUE(sim->start()) << sim->lastError();
    return sim;
}

RawResponse get(const MarketSim& sim, std::string_view target,
                std::chrono::milliseconds timeout = 5000ms) {
    return rawExchange(sim.port(), getRequest(target), timeout);
}

// ---- Pages ----------------------------------------------------------------------------------

struct PageCase {
    const char* name;
    std::string target;
    bool utf8;
    bool hostile;
    std::function<std::string(const Options&)> expected;
    int status = 200;
};

void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.name << " " << c.target;
}

class ServesPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(ServesPages, BodyDecodesToThePageText) {
    const PageCase& c = GetParam();
    Options o;
    o.utf8 = c.utf8;
    o.hostileRows = c.hostile;
    auto sim = startedSim(o);
    // httplib is an independent HTTP implementation: it must accept what the server sends.
    httplib::Client client("127.0.0.1", sim->port());
    client.set_read_timeout(5, 0);
    auto res = client.Get(c.target.c_str());
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, c.status);
    EXPECT_EQ(res->get_header_value("Content-Type"),
              c.utf8 ? "text/html; charset=utf-8" : "text/html; charset=gbk");
    const auto text =
        c.utf8 ? std::optional<std::string>(res->body) : decodeToUtf8(res->body, "GBK");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, c.expected(o));
}

const std::string kDomain = domainFor(3, 17);

INSTANTIATE_TEST_SUITE_P(
    Routes, ServesPages,
    ::testing::Values(
        PageCase{"listingFirst", "/search?p=1", false, false,
                 [](const Options& o) { return listingPage(o, 1); }},
        PageCase{"listingLast", "/search?p=100", false, false,
                 [](const Options& o) { return listingPage(o, 100); }},
        PageCase{"listingExtraParams", "/search?sort=time&p=5&hop=1", false, false,
                 [](const Options& o) { return listingPage(o, 5); }},
        PageCase{"listingPastLast", "/search?p=101", false, false,
                 [](const Options& o) { return listingPage(o, 101); }},
        PageCase{"listingUtf8", "/search?p=2", true, false,
                 [](const Options& o) { return listingPage(o, 2); }},
        PageCase{"listingHostile", "/search?p=7", false, true,
                 [](const Options& o) { return listingPage(o, 7); }},
        PageCase{"detail", "/backorder/" + kDomain, false, false,
                 [](const Options&) { return detailPage(kDomain); }},
        PageCase{"detailUtf8", "/backorder/" + kDomain, true, false,
                 [](const Options&) { return detailPage(kDomain, true); }},
        PageCase{"detailPercentDecoded", "/backorder/a%20b%3Cc.com", false, false,
                 [](const Options&) { return detailPage("a b<c.com"); }},
        PageCase{"icpFiled", "/icp/" + sampleDomain(DetailVariant::Normal), false, false,
                 [](const Options&) { return icpPage(sampleDomain(DetailVariant::Normal)); }},
        PageCase{"icpUtf8", "/icp/" + kDomain, true, false,
                 [](const Options&) { return icpPage(kDomain, true); }},
        PageCase{"index", "/", false, false, [](const Options&) { return indexPage(); }},
        PageCase{"forum", "/vendor/forum", false, false,
                 [](const Options&) { return vendorPage("forum"); }},
        PageCase{"home", "/vendor/home", false, false,
                 [](const Options&) { return vendorPage("home"); }},
        PageCase{"unknown", "/nothing/here", false, false,
                 [](const Options&) { return errorPage(404); }, 404}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Listing, NonCanonicalPageNumbersGetTheStructureWithoutRows) {
    auto sim = startedSim();
    for (std::string p : {"1.0", "-3", "abc", "01", "0", "", "%31"}) {
        SCOPED_TRACE("p=" + p);
        const RawResponse r = get(*sim, "/search?p=" + p);
        EXPECT_EQ(r.status, 200);
        const auto text = decodeToUtf8(r.body, "GBK");
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(countOf(*text, "booking"), 2u);
        EXPECT_EQ(countOf(*text, kPaginationMarker), 1u);
        EXPECT_EQ(extractRowDomains(*text).size(), p == "%31" ? 50u : 0u);
    }
    const RawResponse bare = get(*sim, "/search");
    EXPECT_EQ(bare.status, 200);
    EXPECT_EQ(extractRowDomains(bare.body).size(), 0u);
}

// ---- Faults on the wire ---------------------------------------------------------------------

std::uint64_t inflatedSize(const std::string& gz, bool& streamEnd) {
    z_stream zs{};
    streamEnd = false;
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) {
        return 0;
    }
    std::vector<unsigned char> out(1 << 20);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    zs.avail_in = static_cast<uInt>(gz.size());
    std::uint64_t total = 0;
    while (true) {
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        int rc = inflate(&zs, Z_NO_FLUSH);
        total += out.size() - zs.avail_out;
        if (rc == Z_STREAM_END) {
            streamEnd = true;
            break;
        }
        if (rc != Z_OK) {
            break;
        }
    }
    inflateEnd(&zs);
    return total;
}

struct FaultCase {
    Fault fault;
    std::chrono::milliseconds timeout;
    std::size_t maxBody;
    std::function<void(const RawResponse&, const std::string& fullPage)> check;
};

void expectStatus(const RawResponse& r, int status) {
    EXPECT_EQ(r.status, status);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.body.size(), std::stoul(r.header("Content-Length").value_or("0")));
    const auto text = decodeToUtf8(r.body, "GBK");
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find(std::to_string(status)), std::string::npos) << *text;
}

TEST(Faults, EachModeIsObservableOnTheSocket) {
    constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();
    const std::vector<FaultCase> cases = {
        {Fault::Status404, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) { expectStatus(r, 404); }},
        {Fault::Status500, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) { expectStatus(r, 500); }},
        {Fault::Status429, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             expectStatus(r, 429);
             EXPECT_EQ(r.header("Retry-After"), "1");
         }},
        {Fault::Status503, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             expectStatus(r, 503);
             EXPECT_EQ(r.header("Retry-After"), "1");
         }},
        {Fault::DropBeforeBody, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_TRUE(r.closedByPeer);
             EXPECT_EQ(r.bytesReceived, 0u);
         }},
        {Fault::DropMidBody, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_TRUE(r.closedByPeer);
             EXPECT_EQ(r.header("Content-Length"), std::to_string(full.size()));
             EXPECT_EQ(r.body, full.substr(0, full.size() / 2));
         }},
        {Fault::NeverAnswer, 400ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_TRUE(r.timedOut);
             EXPECT_FALSE(r.closedByPeer);
             EXPECT_EQ(r.bytesReceived, 0u);
         }},
        {Fault::Trickle, 1500ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_TRUE(r.timedOut);
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.header("Content-Length"), std::to_string(full.size()));
             EXPECT_GE(r.body.size(), 1u);
             EXPECT_LE(r.body.size(), 3u);
             EXPECT_EQ(r.body, full.substr(0, r.body.size()));
         }},
        {Fault::EndlessBody, 5000ms, 3u << 20,
         [](const RawResponse& r, const std::string&) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.header("Transfer-Encoding"), "chunked");
             EXPECT_FALSE(r.closedByPeer);
             EXPECT_GE(r.body.size(), 3u << 20);
         }},
        {Fault::OversizedBody, 10000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.header("Content-Length"), std::to_string(kOversizedBodyBytes));
             EXPECT_EQ(r.body.size(), kOversizedBodyBytes);
             EXPECT_EQ(r.body.substr(0, full.size()), full);
         }},
        {Fault::RedirectLoop, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_EQ(r.status, 302);
             EXPECT_EQ(r.header("Location"), "/search?p=2&hop=1");
         }},
        {Fault::RedirectToFile, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_EQ(r.status, 302);
             EXPECT_EQ(r.header("Location"), "file:///etc/passwd");
         }},
        {Fault::GzipBomb, 10000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.header("Content-Encoding"), "gzip");
             EXPECT_LT(r.body.size(), 2u << 20);
             bool complete = false;
             EXPECT_EQ(inflatedSize(r.body, complete), kGzipBombInflatedBytes);
             EXPECT_TRUE(complete) << "gzip trailer (CRC, length) rejected";
         }},
        {Fault::InvalidGbk, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.body.size(), full.size() + 3);
             EXPECT_NE(r.body.find("\x81\x20\xFF"), std::string::npos);
             EXPECT_EQ(decodeToUtf8(r.body, "GBK"), std::nullopt);
             Options o;
             EXPECT_EQ(extractRowDomains(r.body), rowDomains(o, 2));
             EXPECT_EQ(countOf(r.body, "booking"), 2u);
         }},
        {Fault::NoCharset, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.header("Content-Type"), "text/html");
             EXPECT_EQ(r.body, full);
         }},
        {Fault::Empty, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.header("Content-Length"), "0");
             EXPECT_EQ(r.body, "");
             EXPECT_FALSE(r.timedOut);
         }},
        // An error status around the normal listing: the rows are still there to be read.
        {Fault::Page404, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 404);
             EXPECT_EQ(r.body, full);
         }},
        {Fault::Page500, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 500);
             EXPECT_EQ(r.body, full);
         }},
        // The ICP modes on a listing page behave as page-404.
        {Fault::IcpNotFiled404, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 404);
             EXPECT_EQ(r.body, full);
         }},
        {Fault::IcpFiled404, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 404);
             EXPECT_EQ(r.body, full);
         }},
        {Fault::NoMarkers, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string&) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(decodeToUtf8(r.body, "GBK"), noMarkersPage());
             EXPECT_EQ(countOf(r.body, "booking"), 0u);
         }},
        {Fault::ChangedLayout, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(countOf(r.body, "booking"), countOf(full, "booking"));
             EXPECT_EQ(countOf(r.body, kChangedRowMarker), countOf(full, kRowMarker));
             EXPECT_TRUE(extractRowDomains(r.body).empty());
         }},
        // The throttle modes pass the first request of a site.
        {Fault::Throttle429, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.body, full);
         }},
        {Fault::Throttle429NoRetry, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.body, full);
         }},
        {Fault::Throttle503, 3000ms, kNoLimit,
         [](const RawResponse& r, const std::string& full) {
             EXPECT_EQ(r.status, 200);
             EXPECT_EQ(r.body, full);
         }},
    };
    Options o;
    const std::string full = *utf8ToGbk(listingPage(o, 2));
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(std::string(faultName(c.fault)));
        Options faulty;
        faulty.pageFaults[2] = c.fault;
        auto sim = startedSim(faulty);
        const RawResponse r =
            rawExchange(sim->port(), getRequest("/search?p=2"), c.timeout, c.maxBody);
        EXPECT_TRUE(r.connected);
        c.check(r, full);
    }
    EXPECT_EQ(cases.size() + 1, allFaults().size()) << "a fault mode has no wire check";
}

TEST(Faults, RedirectLoopBouncesBetweenTwoTargets) {
    Options o;
    o.detailFault = Fault::RedirectLoop;
    auto sim = startedSim(o);
    const RawResponse a = get(*sim, "/backorder/x.com");
    ASSERT_EQ(a.status, 302);
    const std::string b = a.header("Location").value_or("");
    EXPECT_EQ(b, "/backorder/x.com?hop=1");
    const RawResponse back = get(*sim, b);
    EXPECT_EQ(back.status, 302);
    EXPECT_EQ(back.header("Location"), "/backorder/x.com");
}

TEST(Faults, Utf8WithoutCharsetServesUtf8Bytes) {
    Options o;
    o.utf8 = true;
    o.allFault = Fault::NoCharset;
    auto sim = startedSim(o);
    const RawResponse r = get(*sim, "/search?p=4");
    EXPECT_EQ(r.header("Content-Type"), "text/html");
    EXPECT_EQ(r.body, listingPage(o, 4));
}

struct RoutingCase {
    const char* name;
    std::function<void(Options&)> setup;
    std::vector<std::pair<std::string, int>> expectedStatus;
};

TEST(Faults, ApplyOnlyToTheirRoutesAndTheMostSpecificWins) {
    const std::vector<RoutingCase> cases = {
        {"page",
         [](Options& o) { o.pageFaults[3] = Fault::Status404; },
         {{"/search?p=3", 404},
          {"/search?p=4", 200},
          {"/search?p=03", 200},
          {"/backorder/x.com", 200},
          {"/icp/x.com", 200}}},
        {"detail",
         [](Options& o) { o.detailFault = Fault::Status500; },
         {{"/backorder/x.com", 500}, {"/search?p=1", 200}, {"/icp/x.com", 200}}},
        {"icp",
         [](Options& o) { o.icpFault = Fault::Status503; },
         {{"/icp/x.com", 503}, {"/backorder/x.com", 200}, {"/", 200}}},
        {"all",
         [](Options& o) { o.allFault = Fault::Status429; },
         {{"/", 429},
          {"/vendor/home", 429},
          {"/search?p=1", 429},
          {"/icp/x.com", 429},
          {"/nothing", 429}}},
        {"specificOverAll",
         [](Options& o) {
             o.allFault = Fault::Status429;
             o.pageFaults[2] = Fault::Status404;
             o.detailFault = Fault::Status500;
         },
         {{"/search?p=2", 404},
          {"/search?p=1", 429},
          {"/backorder/x.com", 500},
          {"/icp/x.com", 429}}},
        {"methods", [](Options&) {}, {}},
    };
    for (const RoutingCase& c : cases) {
        SCOPED_TRACE(c.name);
        Options o;
        c.setup(o);
        auto sim = startedSim(o);
        for (const auto& [target, status] : c.expectedStatus) {
            EXPECT_EQ(get(*sim, target).status, status) << target;
        }
        if (c.expectedStatus.empty()) {
            const RawResponse post =
                rawExchange(sim->port(), getRequest("/search?p=1", "", "POST"), 3000ms);
            EXPECT_EQ(post.status, 405);
            EXPECT_EQ(post.header("Allow"), "GET, HEAD");
        }
    }
}

TEST(Faults, FailFirstNServesTheFaultThenRecoversPerTarget) {
    Options o;
    o.pageFaults[3] = Fault::Status503;
    o.detailFault = Fault::DropBeforeBody;
    o.failFirstN = 2;
    auto sim = startedSim(o);
    std::vector<int> page3;
    for (int i = 0; i < 4; ++i) {
        page3.push_back(get(*sim, "/search?p=3").status);
    }
    EXPECT_EQ(page3, (std::vector<int>{503, 503, 200, 200}));
    EXPECT_EQ(get(*sim, "/search?p=4").status, 200);

    EXPECT_TRUE(get(*sim, "/backorder/a.com").closedByPeer);
    EXPECT_EQ(get(*sim, "/backorder/b.com").status, 0) << "b.com has its own count";
    EXPECT_EQ(get(*sim, "/backorder/a.com").status, 0);
    EXPECT_EQ(get(*sim, "/backorder/a.com").status, 200);

    std::vector<Fault> served;
    for (const auto& rec : sim->requests()) {
        if (rec.target == "/search?p=3") {
            served.push_back(rec.fault);
        }
    }
    EXPECT_EQ(served,
              (std::vector<Fault>{Fault::Status503, Fault::Status503, Fault::None, Fault::None}));

    sim->clearRequests();
    EXPECT_EQ(get(*sim, "/search?p=3").status, 503) << "clearRequests restarts the counts";
}

// ---- Behaviour ------------------------------------------------------------------------------

TEST(Latency, AppliedBeforeAnswering) {
    struct Case {
        const char* name;
        std::function<void(Options&)> setup;
        std::string target;
        long long atLeastMs;
    };
    const std::vector<Case> cases = {
        {"global", [](Options& o) { o.latencyMs = 150; }, "/search?p=1", 150},
        {"jitterAdds",
         [](Options& o) {
             o.latencyMs = 100;
             o.jitterMs = 50;
         },
         "/icp/x.com", 100},
        {"perPage",
         [](Options& o) {
             o.latencyMs = 10;
             o.pageLatencyMs[2] = 300;
         },
         "/search?p=2", 300},
        {"beforeFaults",
         [](Options& o) {
             o.latencyMs = 200;
             o.allFault = Fault::Status500;
         },
         "/", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options o;
        c.setup(o);
        auto sim = startedSim(o);
        const auto start = std::chrono::steady_clock::now();
        const RawResponse r = get(*sim, c.target);
        EXPECT_GE(elapsedMs(start), c.atLeastMs);
        EXPECT_GT(r.status, 0);
    }
}

TEST(RequestLog, RecordsRawTargetsHeadersAndIfModifiedSince) {
    auto sim = startedSim();
    get(*sim, "/search?p=3");
    rawExchange(sim->port(),
                getRequest("/backorder/a%2Db.com", "If-Modified-Since: 0\r\nX-Probe: yes\r\n"),
                3000ms);
    const auto log = sim->requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].target, "/search?p=3");
    EXPECT_FALSE(log[0].hasIfModifiedSince);
    EXPECT_EQ(log[0].header("host"), "127.0.0.1");
    EXPECT_EQ(log[1].target, "/backorder/a%2Db.com");
    EXPECT_TRUE(log[1].hasIfModifiedSince);
    EXPECT_EQ(log[1].ifModifiedSince, "0");
    EXPECT_EQ(log[1].header("X-Probe"), "yes");
    EXPECT_EQ(log[1].headers.size(), 4u);
    EXPECT_NE(log[0].connection, log[1].connection);
    EXPECT_LE(log[0].received, log[1].received);

    sim->clearRequests();
    EXPECT_TRUE(sim->requests().empty());
}

TEST(RequestLog, KeepAliveRequestsShareOneConnection) {
    auto sim = startedSim();
    httplib::Client client("127.0.0.1", sim->port());
    client.set_keep_alive(true);
    for (int p = 1; p <= 3; ++p) {
        auto res = client.Get(("/search?p=" + std::to_string(p)).c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
    }
    const auto log = sim->requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].connection, log[1].connection);
    EXPECT_EQ(log[1].connection, log[2].connection);
}

TEST(Concurrency, MaxConcurrentCountsOverlappingRequestsOnly) {
    Options o;
    o.latencyMs = 300;
    auto sim = startedSim(o);
    std::vector<std::thread> clients;
    for (int i = 1; i <= 3; ++i) {
        clients.emplace_back([&sim, i] { get(*sim, "/search?p=" + std::to_string(i)); });
    }
    for (auto& t : clients) {
        t.join();
    }
    EXPECT_EQ(sim->maxConcurrent(), 3);
    EXPECT_EQ(sim->inFlight(), 0);

    sim->clearRequests();
    sim->modifyOptions([](Options& opts) { opts.latencyMs = 20; });
    for (int i = 1; i <= 3; ++i) {
        get(*sim, "/search?p=" + std::to_string(i));
    }
    EXPECT_EQ(sim->maxConcurrent(), 1);
    EXPECT_EQ(sim->requests().size(), 3u);
}

TEST(Lifecycle, OptionsChangeWhileRunning) {
    auto sim = startedSim();
    EXPECT_EQ(get(*sim, "/search?p=1").status, 200);
    sim->modifyOptions([](Options& o) { o.allFault = Fault::Status404; });
    EXPECT_EQ(get(*sim, "/search?p=1").status, 404);
    Options back = sim->options();
    back.allFault = Fault::None;
    back.utf8 = true;
    sim->setOptions(back);
    const RawResponse r = get(*sim, "/search?p=1");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("Content-Type"), "text/html; charset=utf-8");
}

TEST(Lifecycle, StopReturnsPromptlyWhileFaultsHoldConnections) {
    Options o;
    o.pageFaults = {{1, Fault::NeverAnswer}, {2, Fault::Trickle}, {3, Fault::EndlessBody}};
    o.pageLatencyMs[4] = 60000;
    auto sim = startedSim(o);
    std::vector<std::thread> clients;
    std::array<RawResponse, 4> results;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&, i] {
            results[i] = rawExchange(sim->port(), getRequest("/search?p=" + std::to_string(i + 1)),
                                     20000ms, 1u << 30);
        });
    }
    const auto waitStart = std::chrono::steady_clock::now();
    while (sim->inFlight() < 4 && elapsedMs(waitStart) < 5000) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(sim->inFlight(), 4);
    const auto stopStart = std::chrono::steady_clock::now();
    sim->stop();
    EXPECT_LT(elapsedMs(stopStart), 3000) << "stop() waited on a held connection";
    for (auto& t : clients) {
        t.join();
    }
    for (const RawResponse& r : results) {
        EXPECT_TRUE(r.closedByPeer);
        EXPECT_FALSE(r.timedOut);
    }
    EXPECT_FALSE(rawExchange(sim->port(), getRequest("/"), 1000ms).connected);
}

TEST(Lifecycle, StartFailsOnABusyPortAndWhenStartedTwice) {
    auto first = startedSim();
    Options o;
    o.port = first->port();
    MarketSim second(o);
    EXPECT_FALSE(second.start());
    EXPECT_NE(second.lastError().find("bind"), std::string::npos) << second.lastError();
    EXPECT_FALSE(first->start());
    EXPECT_EQ(first->baseUrl(), "http://127.0.0.1:" + std::to_string(first->port()));
    EXPECT_EQ(first->icpBaseUrl(), first->baseUrl() + "/icp/");
}

}  // namespace
}  // namespace jilan::sim
