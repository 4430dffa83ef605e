// What the investor relies on every morning: a name stays new until a run that saw it has
// completed, and a damaged store is found, refused and put back from a backup.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "history/backup.h"
#include "history/damage.h"
#include "history/integrity.h"
#include "history/reader.h"
#include "history/recorder.h"
#include "history_fixture.h"
#include "store_damage.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

Names newIn(const std::string& path, std::int64_t runId) {
    Names names;
    Reader reader = Reader::open(path);
    const WalkResult walked = reader.newDomainsInRun(runId, [&](std::string_view d) {
        names.emplace(d);
        return true;
    });
    EXPECT_TRUE(walked.ok()) << walked.error;
    return names;
}

// Runs one after the other in one recorder; some never complete (killed, or their file failed).
struct PlannedRun {
    std::vector<std::string> names;
    bool completes;
    Names expectedNew;  // what it reports as new when its pages are recorded
};

struct NewNameCase {
    const char* rule;
    std::vector<PlannedRun> runs;
};

class NewUntilCompleted : public ::testing::TestWithParam<NewNameCase> {};

TEST_P(NewUntilCompleted, OnlyACompletedRunMakesNamesOld) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    Recorder recorder(testing::recorderOptions(path));
    std::int64_t clock = 1000;
    for (const PlannedRun& run : GetParam().runs) {
        SCOPED_TRACE("run " + std::to_string(clock));
        const RunTicket t = recorder.beginRun(1, clock);
        recorder.recordPage(t, run.names, clock + 1);
        recorder.endRun(t, RunStats{clock + 2, 1, 0, static_cast<int>(run.names.size())});
        recorder.flush();
        const auto id = recorder.runId(t);
        ASSERT_TRUE(id.has_value()) << recorder.unavailableReason();
        EXPECT_EQ(newIn(path, *id), run.expectedNew);
        if (run.completes) {
            recorder.completeRun(t, clock + 3);
            recorder.flush();
        }
        EXPECT_EQ(Reader::open(path).run(*id).value_or(RunRow{}).completed.has_value(),
                  run.completes);
        clock += 10;
    }
    EXPECT_EQ(recorder.unavailableReason(), "");
}

INSTANTIATE_TEST_SUITE_P(
    History, NewUntilCompleted,
    ::testing::Values(
        NewNameCase{"AKilledRunLeavesItsNamesNewForTheNext",
                    {{{"a.com", "b.com"}, false, {"a.com", "b.com"}},
                     {{"a.com", "c.com"}, true, {"a.com", "c.com"}},
                     {{"a.com", "b.com", "c.com", "d.com"}, true, {"b.com", "d.com"}}}},
        NewNameCase{"TwoFailedRunsInARow",
                    {{{"a.com"}, false, {"a.com"}},
                     {{"a.com", "b.com"}, false, {"a.com", "b.com"}},
                     {{"a.com", "b.com"}, true, {"a.com", "b.com"}},
                     {{"a.com", "b.com"}, true, {}}}},
        NewNameCase{"ACompletedRunsNamesAreNotNewAgain",
                    {{{"x.com"}, true, {"x.com"}},
                     {{"x.com", "y.com"}, false, {"y.com"}},
                     {{"x.com", "y.com"}, true, {"y.com"}}}}),
    [](const auto& info) { return std::string(info.param.rule); });

// --- Damage, backups and their rotation ----------------------------------------------------

constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int64_t kMonday = 1'765'800'000;  // a Monday around noon UTC

std::size_t nameCount(const std::string& path) {
    std::size_t n = 0;
    Reader reader = Reader::open(path);
    const WalkResult walked =
        reader.search(INT64_MIN, INT64_MAX, [&](const NameRow&) { return ++n > 0; });
    EXPECT_TRUE(walked.ok()) << path << ": " << walked.error;
    return n;
}

std::string localDay(std::int64_t utc) {
    const auto t = static_cast<std::time_t>(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &tm);
    return text;
}

std::vector<std::string> manyNames(const std::string& prefix, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(prefix + std::to_string(i) + ".com");
    }
    return names;
}

TEST(HistoryBackup, OncePerDayTwoGenerationsAndNeverACorruptCopy) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("history.sqlite3");
    testing::recordRuns(path, {{kMonday, {manyNames("mon", 400)}}});

    EXPECT_TRUE(backupIfDue(path, kMonday).made);
    testing::recordRuns(path, {{kMonday + 60, {manyNames("later", 10)}}});
    EXPECT_FALSE(backupIfDue(path, kMonday + 3600).made) << "one backup a day";
    EXPECT_EQ(nameCount(backupPath(path, 0)), 400u);

    testing::recordRuns(path, {{kMonday + kDay, {manyNames("tue", 100)}}});
    const BackupOutcome tuesday = backupIfDue(path, kMonday + 2 * kDay);
    EXPECT_TRUE(tuesday.made) << tuesday.error;
    EXPECT_EQ(nameCount(backupPath(path, 0)), 510u);
    EXPECT_EQ(nameCount(backupPath(path, 1)), 400u) << "the older backup moved down";

    // The backup API copies corrupt pages: the copy's check keeps them out of the rotation.
    ASSERT_GT(jilan::testing::garbleInteriorPages(path), 0);
    const BackupOutcome wednesday = backupIfDue(path, kMonday + 3 * kDay);
    EXPECT_FALSE(wednesday.made);
    EXPECT_EQ(wednesday.error, kDamagedReason);
    EXPECT_TRUE(isMarkedDamaged(path));
    EXPECT_EQ(nameCount(backupPath(path, 0)), 510u);
    EXPECT_FALSE(fs::exists(path + ".bak-new"));

    // Refused while marked; the newest good backup goes back, the damaged file is kept.
    EXPECT_EQ(Reader::open(path).unavailableReason(), kDamagedReason);
    EXPECT_FALSE(checkStore(path, CheckDepth::Full).passed);
    const auto good = newestGoodBackup(path);
    ASSERT_EQ(good, backupPath(path, 0));
    EXPECT_EQ(restoreBackup(path, *good, kMonday + 3 * kDay), "");
    EXPECT_FALSE(isMarkedDamaged(path));
    EXPECT_EQ(nameCount(path), 510u);
    EXPECT_TRUE(checkStore(path, CheckDepth::Full).passed);
    EXPECT_TRUE(fs::is_regular_file(path + ".damaged-" + localDay(kMonday + 3 * kDay)));
}

}  // namespace
}  // namespace jilan::history
