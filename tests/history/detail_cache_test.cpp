#include <gtest/gtest.h>

#include <string>

#include "history/detail_cache.h"
#include "history_fixture.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

constexpr std::int64_t kHour = 3600;

DetailPart bookingOver(std::int64_t fetched) {
    DetailPart part;
    part.fetchedUtc = fetched;
    part.bookingOver = true;
    return part;
}

struct FreshCase {
    const char* rule;
    std::int64_t fetched, now, maxAge;
    bool fresh;
};

class Freshness : public ::testing::TestWithParam<FreshCase> {};

TEST_P(Freshness, YoungerThanTheMaximumAgeIsTakenFromTheCache) {
    const FreshCase& c = GetParam();
    EXPECT_EQ(isFresh(c.fetched, c.now, c.maxAge), c.fresh);
}

INSTANTIATE_TEST_SUITE_P(
    History, Freshness,
    ::testing::Values(
        FreshCase{"FetchedJustNow", 100'000, 100'000, 12 * kHour, true},
        FreshCase{"ElevenHoursOld", 100'000, 100'000 + 11 * kHour, 12 * kHour, true},
        FreshCase{"ExactlyTheMaximumAgeIsStale", 100'000, 100'000 + 12 * kHour, 12 * kHour, false},
        FreshCase{"OlderThanTheMaximumAge", 0, 100 * kHour, 12 * kHour, false},
        FreshCase{"MaximumAgeZeroAlwaysFetches", 100'000, 100'000, 0, false},
        FreshCase{"FetchedInTheFutureIsNotTrusted", 200'000, 100'000, 12 * kHour, false}),
    [](const auto& info) { return std::string(info.param.rule); });

struct DetailRoundTrip {
    const char* rule;
    const char* stored;
    const char* asked;
    DetailPart part;
};

class DetailParts : public ::testing::TestWithParam<DetailRoundTrip> {};

TEST_P(DetailParts, StoredPartComesBackWithItsTime) {
    const DetailRoundTrip& c = GetParam();
    jilan::testing::TempDir dir;
    DetailCache cache = DetailCache::open(dir.file("h.sqlite3"));
    ASSERT_TRUE(cache.ok()) << cache.unavailableReason();
    EXPECT_EQ(cache.detail(c.asked), std::nullopt);
    ASSERT_EQ(cache.putDetail(c.stored, c.part), "");
    const auto got = cache.detail(c.asked);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->fetchedUtc, c.part.fetchedUtc);
    EXPECT_EQ(got->bookingOver, c.part.bookingOver);
    EXPECT_EQ(got->deletionType, c.part.deletionType);
    EXPECT_EQ(got->deletionTime, c.part.deletionTime);
    EXPECT_EQ(got->bookingDeadline, c.part.bookingDeadline);
    EXPECT_EQ(got->platform, c.part.platform);
    EXPECT_EQ(got->price, c.part.price);
    EXPECT_EQ(got->priceCny, c.part.priceCny);
    EXPECT_EQ(got->deposit, c.part.deposit);
}

INSTANTIATE_TEST_SUITE_P(
    History, DetailParts,
    ::testing::Values(
        DetailRoundTrip{"EveryField",
                        "lanshan.com",
                        "lanshan.com",
                        {1000, false, "过期删除", "2026-12-08 06:00", "2026-12-08 05:00", "平台甲",
                         "80 元", "80", "10 元"}},
        DetailRoundTrip{"BookingOverWithoutFields", "a8b.cn", "a8b.cn", bookingOver(2000)},
        DetailRoundTrip{"KeyIgnoresAsciiCase",
                        "ABC.Com",
                        "abc.cOM",
                        {3000, false, "赎回期删除", "", "", "", "12 USD", "86.4", ""}},
        DetailRoundTrip{"ChineseNameKeptAsIs",
                        "霁岚.中国",
                        "霁岚.中国",
                        {4000, false, "", "2026-12-09 06:00", "", "", "", "", ""}}),
    [](const auto& info) { return std::string(info.param.rule); });

struct IcpCase {
    const char* rule;
    IcpPart put;
    IcpState state;
    std::string number;
};

class IcpParts : public ::testing::TestWithParam<IcpCase> {};

TEST_P(IcpParts, StateAndNumberComeBack) {
    const IcpCase& c = GetParam();
    jilan::testing::TempDir dir;
    DetailCache cache = DetailCache::open(dir.file("h.sqlite3"));
    ASSERT_EQ(cache.putIcp("x.com", c.put), "");
    const auto got = cache.icp("X.COM");
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->state, c.state);
    EXPECT_EQ(got->filingNumber, c.number);
    EXPECT_EQ(got->fetchedUtc, c.put.fetchedUtc);
}

INSTANTIATE_TEST_SUITE_P(History, IcpParts,
                         ::testing::Values(IcpCase{"Filed",
                                                   {10, IcpState::Filed, "京ICP备12345678号"},
                                                   IcpState::Filed,
                                                   "京ICP备12345678号"},
                                           IcpCase{"NotFiledHasNoNumber",
                                                   {20, IcpState::NotFiled, "京ICP备1号"},
                                                   IcpState::NotFiled,
                                                   ""}),
                         [](const auto& info) { return std::string(info.param.rule); });

TEST(HistoryCache, LaterPutReplacesTheOlderPart) {
    jilan::testing::TempDir dir;
    DetailCache cache = DetailCache::open(dir.file("h.sqlite3"));
    ASSERT_EQ(cache.putIcp("x.com", IcpPart{10, IcpState::NotFiled, ""}), "");
    ASSERT_EQ(cache.putIcp("x.com", IcpPart{90, IcpState::Filed, "沪ICP备2号"}), "");
    const auto got = cache.icp("x.com");
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->fetchedUtc, 90);
    EXPECT_EQ(got->filingNumber, "沪ICP备2号");
}

// A query is not a sighting: caching a name neither adds it to the history nor changes the
// sightings or the "new" state of a harvested one.
TEST(HistoryCache, QueryIsNotASighting) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    const auto ids = testing::recordRuns(path, {{1000, {{"seen.com"}}}});
    {
        DetailCache cache = DetailCache::open(path);
        for (const char* name : {"seen.com", "never.com"}) {
            ASSERT_EQ(cache.putDetail(name, bookingOver(5000)), "");
            ASSERT_EQ(cache.putIcp(name, IcpPart{5000, IcpState::NotFiled, ""}), "");
        }
    }
    Reader reader = Reader::open(path);
    EXPECT_EQ(reader.lookup("never.com"), std::nullopt);
    const auto seen = reader.lookup("seen.com");
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->firstSeen, 1000);
    EXPECT_EQ(seen->lastSeen, 1000);
    EXPECT_EQ(seen->runsSeen, 1);
    EXPECT_EQ(seen->firstRun, ids.at(0));
    EXPECT_EQ(testing::searchDomains(path, 4000, 6000), std::vector<std::string>{});
}

}  // namespace
}  // namespace jilan::history
