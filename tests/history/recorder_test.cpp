#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/name_key.h"
#include "history/recorder.h"
#include "history_fixture.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

using testing::recordRuns;
using testing::RunPlan;
using testing::searchDomains;

struct SightingCase {
    const char* rule;
    std::vector<RunPlan> runs;
    const char* asked;  // the name looked up, in any case
    const char* domain;
    std::size_t firstRun, lastRun;  // indices into runs
    std::int64_t firstSeen, lastSeen;
    int runsSeen;
    std::vector<std::vector<std::string>> newPerRun;
};

class Sightings : public ::testing::TestWithParam<SightingCase> {};

TEST_P(Sightings, FirstAndLastSightingAndNewInRun) {
    const SightingCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("history.sqlite3");
    const std::vector<std::int64_t> ids = recordRuns(path, c.runs);
    ASSERT_EQ(ids.size(), c.runs.size());

    Reader reader = Reader::open(path);
    ASSERT_TRUE(reader.ok()) << reader.unavailableReason();
    const auto row = reader.lookup(c.asked);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->domain, c.domain);
    EXPECT_EQ(row->key, base::nameKey(c.domain));
    EXPECT_EQ(row->firstRun, ids[c.firstRun]);
    EXPECT_EQ(row->lastRun, ids[c.lastRun]);
    EXPECT_EQ(row->firstSeen, c.firstSeen);
    EXPECT_EQ(row->lastSeen, c.lastSeen);
    EXPECT_EQ(row->runsSeen, c.runsSeen);

    for (std::size_t i = 0; i < ids.size(); ++i) {
        std::vector<std::string> fresh;
        const WalkResult r = reader.newInRun(ids[i], [&](const NameRow& n) {
            fresh.push_back(n.domain);
            return true;
        });
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(fresh, c.newPerRun[i]) << "run " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    History, Sightings,
    ::testing::Values(SightingCase{"NameSeenOnceIsNewInItsRun",
                                   {{1000, {{"a.com", "b.com"}}}},
                                   "a.com",
                                   "a.com",
                                   0,
                                   0,
                                   1000,
                                   1000,
                                   1,
                                   {{"a.com", "b.com"}}},
                      SightingCase{"LaterRunKeepsFirstRunAndCountsTwice",
                                   {{1000, {{"a.com"}}}, {2000, {{"c.cn", "a.com"}}}},
                                   "a.com",
                                   "a.com",
                                   0,
                                   1,
                                   1000,
                                   2000,
                                   2,
                                   {{"a.com"}, {"c.cn"}}},
                      SightingCase{"CaseOfTheListingDoesNotMakeANewName",
                                   {{1000, {{"ABC.com"}}}, {2000, {{"abc.com"}}}},
                                   "Abc.COM",
                                   "ABC.com",
                                   0,
                                   1,
                                   1000,
                                   2000,
                                   2,
                                   {{"ABC.com"}, {}}},
                      SightingCase{"TwoPagesOfOneRunCountOnce",
                                   {{1000, {{"a.com"}, {"x.net", "a.com"}}}},
                                   "a.com",
                                   "a.com",
                                   0,
                                   0,
                                   1000,
                                   1001,
                                   1,
                                   {{"a.com", "x.net"}}},
                      SightingCase{"NameMissingFromARunKeepsItsLastRun",
                                   {{1000, {{"a.com"}}}, {2000, {{"b.com"}}}, {3000, {{"b.com"}}}},
                                   "a.com",
                                   "a.com",
                                   0,
                                   0,
                                   1000,
                                   1000,
                                   1,
                                   {{"a.com"}, {"b.com"}, {}}}),
    [](const auto& info) { return std::string(info.param.rule); });

struct SearchCase {
    const char* rule;
    std::int64_t since, until;
    std::vector<std::string> expected;
};

class Search : public ::testing::TestWithParam<SearchCase> {};

// Run 1 at 1000: z.com and a.com on page 1 (1000), m.com on page 2 (1001).
// Run 2 at 2000: b.com and a.com again (2000).
TEST_P(Search, RangeOfLastSightingInOrderOfFirstSighting) {
    const SearchCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    recordRuns(path, {{1000, {{"z.com", "a.com"}, {"m.com"}}}, {2000, {{"b.com", "a.com"}}}});
    EXPECT_EQ(searchDomains(path, c.since, c.until), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    History, Search,
    ::testing::Values(
        SearchCase{
            "WholeRangeByFirstSightingThenDomain", 0, 3000, {"a.com", "z.com", "m.com", "b.com"}},
        SearchCase{"UntilIsExclusive", 0, 2000, {"z.com", "m.com"}},
        SearchCase{"SinceIsInclusive", 2000, 2001, {"a.com", "b.com"}},
        SearchCase{"NameMovesWithItsLastSighting", 1000, 1001, {"z.com"}},
        SearchCase{"RangeBetweenSightingsIsEmpty", 1500, 1600, {}},
        SearchCase{"NoLowerBound", INT64_MIN, 2000, {"z.com", "m.com"}},
        SearchCase{"NoUpperBound", 2000, INT64_MAX, {"a.com", "b.com"}},
        SearchCase{"NoBoundAtAll", INT64_MIN, INT64_MAX, {"a.com", "z.com", "m.com", "b.com"}}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(HistorySearch, SinkStopsTheWalk) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    recordRuns(path, {{1000, {{"a.com", "b.com", "c.com"}}}});
    Reader reader = Reader::open(path);
    std::vector<std::string> seen;
    const WalkResult r = reader.search(0, 5000, [&](const NameRow& row) {
        seen.push_back(row.domain);
        return seen.size() < 2;
    });
    EXPECT_EQ(r.rows, 2u);
    EXPECT_EQ(seen, (std::vector<std::string>{"a.com", "b.com"}));
}

struct FeatureCase {
    const char* rule;
    int recordedWith, reopenedWith;
    const char* expectedKind;
    int expectedVersion;
};

class Features : public ::testing::TestWithParam<FeatureCase> {};

TEST_P(Features, ColumnsFollowTheRulesVersion) {
    const FeatureCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    {
        Recorder r(testing::recorderOptions(path, c.recordedWith));
        const RunTicket t = r.beginRun(1, 1000);
        r.recordPage(t, {"lanshan.com.cn", "x.com"}, 1000);
    }
    {
        Recorder r(testing::recorderOptions(path, c.reopenedWith));
        r.flush();
        EXPECT_EQ(r.unavailableReason(), "");
    }
    Reader reader = Reader::open(path);
    for (const char* domain : {"lanshan.com.cn", "x.com"}) {
        const auto row = reader.lookup(domain);
        ASSERT_TRUE(row.has_value()) << domain;
        EXPECT_EQ(row->columns.kind, c.expectedKind);
        EXPECT_EQ(row->columns.featuresVersion, c.expectedVersion);
        EXPECT_EQ(row->columns.name + "." + row->columns.tld, domain);
    }
}

INSTANTIATE_TEST_SUITE_P(History, Features,
                         ::testing::Values(FeatureCase{"SameVersionKeepsColumns", 1, 1, "v1", 1},
                                           FeatureCase{"NewVersionRecomputes", 1, 2, "v2", 2},
                                           FeatureCase{"OlderVersionAlsoRecomputes", 3, 2, "v2",
                                                       2}),
                         [](const auto& info) { return std::string(info.param.rule); });

struct ComputeCase {
    const char* rule;
    std::vector<std::vector<std::string>> pagesPerRun;  // one run each, one page each
    int expectedComputations;
};

class FeatureWork : public ::testing::TestWithParam<ComputeCase> {};

// Features are computed for a name the store does not hold yet, never again for a sighting.
TEST_P(FeatureWork, ComputedOncePerNewName) {
    const ComputeCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    int computed = 0;
    RecorderOptions options = testing::recorderOptions(path);
    options.columns = [&computed](std::string_view d) {
        ++computed;
        return testing::simpleColumns(d, 1);
    };
    {
        Recorder r(std::move(options));
        std::int64_t at = 1000;
        for (const auto& page : c.pagesPerRun) {
            const RunTicket t = r.beginRun(1, at);
            r.recordPage(t, page, at);
            r.endRun(t, RunStats{at + 10, 1, 0, static_cast<int>(page.size())});
            at += 1000;
        }
        r.close();
        EXPECT_EQ(r.unavailableReason(), "");
    }
    EXPECT_EQ(computed, c.expectedComputations);
}

INSTANTIATE_TEST_SUITE_P(
    History, FeatureWork,
    ::testing::Values(ComputeCase{"EachNewName", {{"a.com", "b.com"}}, 2},
                      ComputeCase{"NameSeenAgainInALaterRun", {{"a.com"}, {"a.com", "b.com"}}, 2},
                      ComputeCase{"NameTwiceOnOnePage", {{"a.com", "a.com"}}, 1},
                      ComputeCase{"CaseVariantsAreOneName", {{"Ab.com"}, {"aB.COM"}}, 1}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(HistoryRuns, FiguresOfAnEndedRunAreStored) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    const auto ids = recordRuns(path, {{1000, {{"a.com", "b.com"}, {"c.com"}}}});
    Reader reader = Reader::open(path);
    const auto run = reader.run(ids.at(0));
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->started, 1000);
    EXPECT_EQ(run->ended, std::optional<std::int64_t>(1100));
    EXPECT_EQ(run->pageLimit, 2);
    EXPECT_EQ(run->pagesRequested, 2);
    EXPECT_EQ(run->entries, 3);
    EXPECT_EQ(reader.lastRun().value_or(RunRow{}).id, ids.at(0));
}

// The writer yields to the window's thread: its nice value is the creator's plus the option's,
// capped at the lowest priority, and the creating thread keeps its own.
struct NicenessCase {
    const char* rule;
    int niceness;
};
class WriterPriority : public ::testing::TestWithParam<NicenessCase> {};

TEST_P(WriterPriority, WriterThreadRunsNicerThanItsCreator) {
    jilan::testing::TempDir dir;
    const int creator = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    std::atomic<int> writer{-100};
    RecorderOptions options = testing::recorderOptions(dir.file("h.sqlite3"));
    options.writerNiceness = GetParam().niceness;
    options.onPageCommitted = [&writer](std::size_t) {
        writer = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    };
    Recorder recorder(options);
    recorder.recordPage(recorder.beginRun(1, 1000), {"a.com"}, 1000);
    recorder.close();
    EXPECT_EQ(writer.load(), std::min(creator + std::max(GetParam().niceness, 0), 19));
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), creator);
}

INSTANTIATE_TEST_SUITE_P(History, WriterPriority,
                         ::testing::Values(NicenessCase{"TenNicer", 10},
                                           NicenessCase{"ZeroLeavesItAlone", 0},
                                           NicenessCase{"CappedAtNineteen", 40}),
                         [](const auto& info) { return std::string(info.param.rule); });

}  // namespace
}  // namespace jilan::history

namespace jilan::history {
namespace {

struct HintCase {
    const char* rule;
    SearchHints hints;
    std::vector<std::string> expected;
};

class Hints : public ::testing::TestWithParam<HintCase> {};

// Hints narrow the walk inside SQLite; the order and the range stay as without them.
TEST_P(Hints, SkipRowsThatCannotPass) {
    const HintCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    {
        RecorderOptions options = testing::recorderOptions(path);
        options.columns = [](std::string_view d) {
            NameColumns columns = testing::simpleColumns(d, 1);
            const bool digits = columns.name.find_first_not_of("0123456789") == std::string::npos;
            columns.kind = digits ? "纯数字" : "纯字母";
            return columns;
        };
        Recorder r(std::move(options));
        const RunTicket t = r.beginRun(1, 1000);
        r.recordPage(t, {"88.com", "abc.com", "12345.cn", "abcdef.com", "1234567.com"}, 1000);
        r.recordPage(t, {"9.net"}, 1001);
    }
    std::vector<std::string> got;
    Reader reader = Reader::open(path);
    const WalkResult r = reader.search(
        0, 5000,
        [&](const NameRow& row) {
            got.push_back(row.domain);
            return true;
        },
        c.hints);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(got, c.expected);
}

SearchHints lengths(int min, int max) {
    SearchHints h;
    h.minLength = min;
    h.maxLength = max;
    return h;
}
SearchHints kinds(std::vector<std::string> k, int max = std::numeric_limits<int>::max()) {
    SearchHints h;
    h.kinds = std::move(k);
    h.maxLength = max;
    return h;
}

INSTANTIATE_TEST_SUITE_P(
    History, Hints,
    ::testing::Values(
        HintCase{"NoHintsKeepEveryRow",
                 {},
                 {"12345.cn", "1234567.com", "88.com", "abc.com", "abcdef.com", "9.net"}},
        HintCase{
            "MaximumLengthIsInclusive", lengths(0, 5), {"12345.cn", "88.com", "abc.com", "9.net"}},
        HintCase{"MinimumLengthIsInclusive", lengths(6, 100), {"1234567.com", "abcdef.com"}},
        HintCase{"MinimumLengthAlone",
                 lengths(3, std::numeric_limits<int>::max()),
                 {"12345.cn", "1234567.com", "abc.com", "abcdef.com"}},
        HintCase{"OneKind", kinds({"纯字母"}), {"abc.com", "abcdef.com"}},
        HintCase{"KindsAndLengthTogether", kinds({"纯数字"}, 5), {"12345.cn", "88.com", "9.net"}},
        HintCase{"AnyOfSeveralKinds", kinds({"纯字母", "纯数字"}, 2), {"88.com", "9.net"}},
        HintCase{"UnknownKindKeepsNothing", kinds({"杂米"}), {}}),
    [](const auto& info) { return std::string(info.param.rule); });

}  // namespace
}  // namespace jilan::history
