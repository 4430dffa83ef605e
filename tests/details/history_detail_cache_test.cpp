#include "details/history_detail_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "details/detail_judges.h"
#include "rule_name.h"
#include "temp_dir.h"

namespace {

namespace details = jilan::details;
using jilan::query::FieldValue;
using jilan::query::Part;
using jilan::query::PartValue;
using Stored = jilan::query::DetailCache::Stored;

PartValue conclusive(std::vector<FieldValue> fields) {
    return PartValue{.conclusive = true, .fields = std::move(fields), .failure = {}};
}

struct RoundTrip {
    const char* rule;
    Part part;
    PartValue value;
};

std::vector<RoundTrip> roundTrips() {
    return {
        {"every detail column kept", Part::Detail,
         conclusive({{"删除类型", "过期删除"},
                     {"删除时间", "2026-12-07 09:00:00"},
                     {"预定截止", "2026-12-07 07:50:00"},
                     {"预定平台", "云岫&北辰联营"},
                     {"预定价格", "12.00 美元"},
                     {"折合人民币", "86.40元"},
                     {"保证金", "50元"}})},
        {"booking over kept as the stores flag", Part::Detail,
         conclusive({{"删除类型", "赎回期删除"}, {"预定平台", "预定时间已过"}})},
        {"filed with its number", Part::Icp,
         conclusive({{"是否备案", "已备案"}, {"备案号", "京ICP备12345678号-1"}})},
        {"not filed without a number", Part::Icp, conclusive({{"是否备案", "未备案"}})},
    };
}

class CacheRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CacheRoundTrip, StoredPartComesBackUnderAnyLetterCase) {
    const RoundTrip& c = GetParam();
    const jilan::testing::TempDir dir;
    const auto fetchedAt =
        std::chrono::system_clock::time_point(std::chrono::seconds(1'796'000'000));
    {
        details::HistoryDetailCache cache(dir.file("history.sqlite3"));
        ASSERT_TRUE(cache.ok()) << cache.unavailableReason();
        cache.store("LanShan.com", c.part, Stored{.value = c.value, .fetchedAt = fetchedAt});
        EXPECT_EQ(cache.lastWriteError(), "");
    }
    details::HistoryDetailCache reopened(dir.file("history.sqlite3"));
    const auto entry = reopened.lookup("lanshan.COM");
    const auto& stored = c.part == Part::Detail ? entry.detail : entry.icp;
    const auto& other = c.part == Part::Detail ? entry.icp : entry.detail;
    ASSERT_TRUE(stored.has_value());
    EXPECT_FALSE(other.has_value());
    EXPECT_EQ(stored->value, c.value);
    EXPECT_EQ(stored->fetchedAt, fetchedAt);
    EXPECT_EQ(reopened.fetchedAt("LANSHAN.com"), fetchedAt);
}

INSTANTIATE_TEST_SUITE_P(HistoryDetailCache, CacheRoundTrip, ::testing::ValuesIn(roundTrips()),
                         [](const auto& info) {
                             return jilan::testing::ruleName(info.param.rule);
                         });

TEST(HistoryDetailCache, UnusableStoreKeepsNothingAndSaysWhy) {
    const jilan::testing::TempDir dir;
    // A folder where the store's file should be.
    std::filesystem::create_directory(dir.path() / "history.sqlite3");
    details::HistoryDetailCache cache(dir.file("history.sqlite3"));
    EXPECT_FALSE(cache.ok());
    EXPECT_NE(cache.unavailableReason(), "");
    cache.store("a.com", Part::Icp,
                Stored{.value = conclusive({{"是否备案", "未备案"}}),
                       .fetchedAt = std::chrono::system_clock::now()});
    const auto entry = cache.lookup("a.com");
    EXPECT_FALSE(entry.detail.has_value());
    EXPECT_FALSE(entry.icp.has_value());
}

TEST(HistoryDetailCache, NoPathIsNoCache) {
    details::HistoryDetailCache cache("");
    EXPECT_FALSE(cache.ok());
    EXPECT_EQ(cache.unavailableReason(), "");
    EXPECT_FALSE(cache.lookup("a.com").detail.has_value());
}

}  // namespace
