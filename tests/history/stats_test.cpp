#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "history/recorder.h"
#include "history/stats.h"
#include "history_fixture.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

// 2026-12-08 on the Beijing calendar begins at 2026-12-07 16:00 UTC.
const std::int64_t kDay = *dayOfDate("2026-12-08");
const std::int64_t kMidnight = 1'796'659'200;  // 2026-12-07T16:00:00Z

// Class 纯数字 or 纯字母 by the name; the score is ten points a character, none for "x" names.
NameColumns columnsOf(std::string_view domain) {
    NameColumns c = testing::simpleColumns(domain, 1);
    c.kind = c.name.find_first_not_of("0123456789") == std::string::npos ? "纯数字" : "纯字母";
    c.score = c.name.starts_with('x') ? -1 : std::min(100, 10 * c.length);
    return c;
}

// Each name first seen at the given UTC second.
struct Sighting {
    const char* domain;
    std::int64_t at;
};

void record(const std::string& path, const std::vector<Sighting>& sightings) {
    RecorderOptions options = testing::recorderOptions(path);
    options.columns = columnsOf;
    Recorder recorder(std::move(options));
    for (const Sighting& s : sightings) {
        const RunTicket t = recorder.beginRun(1, s.at);
        recorder.recordPage(t, {s.domain}, s.at);
        recorder.endRun(t, RunStats{s.at, 1, 0, 1});
        recorder.completeRun(t, s.at);
    }
    recorder.close();
    ASSERT_EQ(recorder.unavailableReason(), "");
}

const std::vector<Sighting> kAroundMidnight = {
    {"1234.com", kMidnight - 1},              // 12-07 23:59:59 Beijing
    {"abc.com", kMidnight},                   // 12-08 00:00:00
    {"88.cn", kMidnight + 86'399},            // 12-08 23:59:59
    {"xyz.com", kMidnight + 43'200},          // 12-08 noon, no score
    {"abcdefghijk.net", kMidnight + 86'400},  // 12-09 00:00:00, score capped at 100
};

struct StatsCase {
    const char* rule;
    std::int64_t firstDay, lastDay;
    SearchHints hints;
    bool onlyCom;  // the caller's own test keeps .com names only
    std::vector<std::string> kinds;
    std::vector<std::vector<std::int64_t>> perDay;
    std::vector<std::pair<std::string, std::int64_t>> suffixes;
    std::vector<int> bandOfEachScored;  // the bands expected to hold one name each
    std::int64_t unscored;
};

class Stats : public ::testing::TestWithParam<StatsCase> {};

// The counts SQLite groups and those of a scan with a test that keeps every name agree, and
// each is what the names recorded make.
TEST_P(Stats, CountsByBeijingDayClassSuffixAndScore) {
    const StatsCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("s.sqlite3");
    record(path, kAroundMidnight);
    StatsReader reader = StatsReader::open(path);
    ASSERT_TRUE(reader.ok()) << reader.unavailableReason();

    for (const bool scan : {false, true}) {
        if (c.onlyCom && !scan) {
            continue;
        }
        SCOPED_TRACE(scan ? "scan" : "grouped");
        StatsRequest request{c.firstDay, c.lastDay, c.hints, {}, {}, true};
        if (scan) {
            request.keep = [&c](const NameRow& row) {
                return !c.onlyCom || row.columns.tld == "com";
            };
        }
        const NameStats stats = reader.compute(request);
        ASSERT_EQ(stats.error, "");
        EXPECT_EQ(stats.firstDay, c.firstDay);
        EXPECT_EQ(stats.kinds, c.kinds);
        EXPECT_EQ(stats.perDay, c.perDay);
        std::vector<std::pair<std::string, std::int64_t>> suffixes;
        for (const SuffixCount& s : stats.suffixes) {
            suffixes.emplace_back(s.tld, s.names);
        }
        EXPECT_EQ(suffixes, c.suffixes);
        std::array<std::int64_t, kScoreBands> bands{};
        for (const int band : c.bandOfEachScored) {
            ++bands[static_cast<std::size_t>(band)];
        }
        EXPECT_EQ(stats.scoreBands, bands);
        EXPECT_EQ(stats.unscored, c.unscored);
        EXPECT_EQ(stats.total, static_cast<std::int64_t>(c.bandOfEachScored.size()) + c.unscored);
    }
}

SearchHints digitsOnly() {
    SearchHints h;
    h.kinds = {"纯数字"};
    return h;
}

INSTANTIATE_TEST_SUITE_P(History, Stats,
                         ::testing::Values(StatsCase{"ThreeBeijingDaysSplitAtSixteenUtc",
                                                     kDay - 1,
                                                     kDay + 1,
                                                     {},
                                                     false,
                                                     {"纯字母", "纯数字"},
                                                     {{0, 1}, {2, 1}, {1, 0}},
                                                     {{"com", 3}, {"cn", 1}, {"net", 1}},
                                                     {4, 2, 3, 9},
                                                     1},
                                           StatsCase{"OneDayLeavesOutTheSecondsAroundIt",
                                                     kDay,
                                                     kDay,
                                                     {},
                                                     false,
                                                     {"纯字母", "纯数字"},
                                                     {{2, 1}},
                                                     {{"com", 2}, {"cn", 1}},
                                                     {3, 2},
                                                     1},
                                           StatsCase{"HintsNarrowInsideSqlite",
                                                     kDay - 1,
                                                     kDay + 1,
                                                     digitsOnly(),
                                                     false,
                                                     {"纯数字"},
                                                     {{1}, {1}, {0}},
                                                     {{"cn", 1}, {"com", 1}},
                                                     {4, 2},
                                                     0},
                                           StatsCase{"TheCallersTestDropsNames",
                                                     kDay - 1,
                                                     kDay + 1,
                                                     {},
                                                     true,
                                                     {"纯字母", "纯数字"},
                                                     {{0, 1}, {2, 0}, {0, 0}},
                                                     {{"com", 3}},
                                                     {4, 3},
                                                     1},
                                           StatsCase{"ADayWithoutNamesStillHasItsRow",
                                                     kDay + 5,
                                                     kDay + 6,
                                                     {},
                                                     false,
                                                     {},
                                                     {{}, {}},
                                                     {},
                                                     {},
                                                     0}),
                         [](const auto& info) { return std::string(info.param.rule); });

// A store without names, and one that cannot be opened, each in its own way.
TEST(StatsStore, EmptyStoreCountsNothingAndAMissingOneSaysWhy) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("empty.sqlite3");
    record(path, {});
    const NameStats empty = StatsReader::open(path).compute({kDay - 29, kDay, {}, {}, {}});
    EXPECT_EQ(empty.error, "");
    EXPECT_EQ(empty.total, 0);
    EXPECT_EQ(empty.perDay.size(), 30U);
    EXPECT_FALSE(empty.hasScores());

    const NameStats missing =
        StatsReader::open(dir.file("none.sqlite3")).compute({kDay, kDay, {}, {}, {}});
    EXPECT_NE(missing.error, "");
}

struct DateCase {
    const char* text;
    bool valid;
};

TEST(StatsDates, OnlyRealDatesWrittenInFullAreDays) {
    for (const DateCase c :
         {DateCase{"2026-12-08", true}, DateCase{"2024-02-29", true}, DateCase{"2026-02-29", false},
          DateCase{"2026-12-8", false}, DateCase{"2026/12/08", false}, DateCase{"", false},
          DateCase{"2026-13-01", false}}) {
        const auto day = dayOfDate(c.text);
        EXPECT_EQ(day.has_value(), c.valid) << c.text;
        if (day) {
            EXPECT_EQ(dateOfDay(*day), c.text);
        }
    }
    EXPECT_EQ(beijingDay(kMidnight - 1), kDay - 1);
    EXPECT_EQ(beijingDay(kMidnight), kDay);
}

}  // namespace
}  // namespace jilan::history
