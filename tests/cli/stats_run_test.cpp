// --stats over a small store recorded around a Beijing midnight: the days follow the
// marketplace's calendar whatever the machine's zone, the filter applies, and a bad date or a
// missing store ends the run with its exit status.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/stats_run.h"
#include "program/harvest_history.h"
#include "temp_dir.h"

namespace jilan::cli {
namespace {

constexpr std::int64_t kMidnight = 1'796'659'200;     // 2026-12-08 00:00 Beijing, 12-07 16:00 UTC
constexpr std::time_t kNow = kMidnight + 12 * 3'600;  // noon in Beijing

// The machine's zone for one scope, restored after it.
class Zone {
public:
    explicit Zone(const char* zone) {
        if (const char* was = ::getenv("TZ")) {
            saved_ = was;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~Zone() {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    Zone(const Zone&) = delete;
    Zone& operator=(const Zone&) = delete;

private:
    std::optional<std::string> saved_;
};

void record(const std::string& path) {
    history::Recorder recorder(program::recorderOptionsFor(path));
    for (const auto& [domain, at] :
         {std::pair{"1234.com", kMidnight - 1}, std::pair{"abcd.com", kMidnight},
          std::pair{"5678.cn", kMidnight + 3'600}}) {
        const history::RunTicket t = recorder.beginRun(1, at);
        recorder.recordPage(t, {domain}, at);
        recorder.endRun(t, history::RunStats{at, 1, 0, 1});
        recorder.completeRun(t, at);
    }
    recorder.close();
    ASSERT_EQ(recorder.unavailableReason(), "");
}

// The per-day rows of the CSV, without the BOM and header.
std::vector<std::string> dailyRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("每日新增,")) {
            rows.push_back(line.substr(0, line.find('\r')));
        }
    }
    return rows;
}

struct StatsRunCase {
    const char* rule;
    const char* zone;
    std::string since, filter;
    bool storeThere;
    int status;
    std::vector<std::string> rows;
};

TEST(StatsRun, BeijingDaysWhateverTheZoneAndTheFilterApplied) {
    jilan::testing::TempDir dir;
    const std::string store = dir.file("h.sqlite3");
    record(store);
    const std::vector<StatsRunCase> cases = {
        {"UtcMachineStillSplitsAtBeijingMidnight",
         "UTC",
         "2026-12-07",
         "",
         true,
         0,
         {"每日新增,2026-12-07,纯数字,1", "每日新增,2026-12-07,纯字母,0",
          "每日新增,2026-12-08,纯数字,1", "每日新增,2026-12-08,纯字母,1"}},
        {"NewYorkMachineLikewise",
         "America/New_York",
         "2026-12-07",
         "",
         true,
         0,
         {"每日新增,2026-12-07,纯数字,1", "每日新增,2026-12-07,纯字母,0",
          "每日新增,2026-12-08,纯数字,1", "每日新增,2026-12-08,纯字母,1"}},
        {"FilterKeepsOnlyItsClass",
         "UTC",
         "2026-12-07",
         "纯数字",
         true,
         0,
         {"每日新增,2026-12-07,纯数字,1", "每日新增,2026-12-08,纯数字,1"}},
        {"FilterOnSuffixIsTestedPerName",
         "Asia/Shanghai",
         "2026-12-08",
         "tld=cn",
         true,
         0,
         {"每日新增,2026-12-08,纯数字,1"}},
        // A test of each name reads the name (and, with a score term, every feature).
        {"FilterOnTheNameTextIsTestedPerName",
         "UTC",
         "2026-12-08",
         "has=5",
         true,
         0,
         {"每日新增,2026-12-08,纯数字,1"}},
        {"ScoreTermWithTheNameText",
         "UTC",
         "2026-12-08",
         "has=bc score>=0",
         true,
         0,
         {"每日新增,2026-12-08,纯字母,1"}},
        // Still 12-07 in New York, already 12-08 in Beijing: the 9th is tomorrow.
        {"SinceTomorrowInBeijingIsRefused", "America/New_York", "2026-12-09", "", true, 2, {}},
        {"SinceNotADate", "UTC", "2026-12-7", "", true, 2, {}},
        {"NoStoreThere", "UTC", "", "", false, 4, {}},
    };
    for (const StatsRunCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const Zone zone(c.zone);
        Settings s;
        s.mode = RunMode::Stats;
        s.since = c.since;
        s.filter = c.filter;
        s.historyPath = c.storeThere ? store : dir.file("none.sqlite3");
        s.output = dir.file(std::string(c.rule) + ".csv");
        std::ostringstream err;
        EXPECT_EQ(runStatsCommand(s, kNow, err), c.status) << err.str();
        EXPECT_EQ(dailyRows(s.output), c.rows);
        if (c.status != 0) {
            EXPECT_NE(err.str(), "");
        }
    }
}

// Without --since the last 30 Beijing days are counted, today included.
TEST(StatsRun, DefaultRangeIsTheLastThirtyDays) {
    jilan::testing::TempDir dir;
    Settings s;
    s.mode = RunMode::Stats;
    s.historyPath = dir.file("h.sqlite3");
    record(s.historyPath);
    s.output = dir.file("s.txt");
    std::ostringstream err;
    ASSERT_EQ(runStatsCommand(s, kNow, err), 0) << err.str();
    std::ifstream in(s.output);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("北京时间 2026-11-09 至 2026-12-08"), std::string::npos) << text;
    EXPECT_NE(text.find("共 3 个"), std::string::npos) << text;
}

}  // namespace
}  // namespace jilan::cli
