// --watch, --unwatch and --watchlist on a store in a temporary folder, with a clock the test sets.
#include "cli/watch_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/beijing_time.h"
#include "child_process.h"
#include "history/watchlist.h"
#include "temp_dir.h"

namespace jilan::cli {
namespace {

const std::int64_t kDeadline = *base::parseBeijingTime("2026-12-08 03:00");

struct WatchRig {
    testing::TempDir dir{"jilan-watch"};
    Settings settings;
    std::ostringstream out, err;
    Interruption interruption;
    WatchRig() { settings.historyPath = dir.file("history.sqlite3"); }

    int watch(std::vector<std::string> names, std::optional<std::string> note = std::nullopt) {
        settings.watchNames = std::move(names);
        settings.note = std::move(note);
        return runWatchCommand(settings, interruption, out, err, watchlist::fixedClock(100, 0));
    }
    std::vector<history::WatchedName> stored() {
        auto store = history::Watchlist::open(settings.historyPath, history::OpenMode::ReadOnly);
        return store.list().value_or(std::vector<history::WatchedName>{});
    }
};

TEST(WatchRun, TypedNamesAreFoldedLikeTheHistoryAndBadOnesSaySo) {
    const TypedNames checked =
        checkTypedNames({"８８４８．ＣＯＭ", "8848.com", "Abc。CN", "  xian.cn ", "好名字.中国",
                         "bad name", "foo", "　"});
    EXPECT_EQ(checked.names,
              (std::vector<std::string>{"8848.com", "abc.cn", "xian.cn", "好名字.中国"}));
    ASSERT_EQ(checked.problems.size(), 3u);
    EXPECT_EQ(checked.problems[0].rfind("跳过 \"bad name\"：", 0), 0u) << checked.problems[0];
    EXPECT_EQ(checked.problems[1].rfind("跳过 \"foo\"：", 0), 0u) << checked.problems[1];
}

TEST(WatchRun, BadNotesAndNamesAreRefusedOrCleanedAndSaid) {
    struct Case {
        const char* rule;
        std::vector<std::string> names;
        std::optional<std::string> note;
        int status;
        std::string said;        // in stderr
        std::size_t watched;     // names in the store afterwards
        std::string storedNote;  // of the first stored name
    };
    std::string longNote;
    for (int i = 0; i < 10000; ++i) {
        longNote += "字";
    }
    for (const Case& c : {
             Case{"TenThousandCharactersNamesTheLimit",
                  {"a.com"},
                  longNote,
                  2,
                  "备注最多 1000 个字符，这条有 10000 个",
                  0,
                  ""},
             Case{"ControlsAreStripped",
                  {"a.com"},
                  std::string("先\x01看\n价格\x7f"),
                  0,
                  "已删去 3 个控制字符",
                  1,
                  "先看价格"},
             Case{"NotUtf8IsRefused", {"a.com"}, std::string("\xff\xfe"), 2, "UTF-8", 0, ""},
             Case{"NoValidNameIsExitTwo",
                  {"bad name", "x"},
                  std::nullopt,
                  2,
                  "没有可关注的有效域名",
                  0,
                  ""},
             Case{"SomeValidAreWatched",
                  {"bad name", "Ok.com"},
                  std::string("n"),
                  0,
                  "跳过 \"bad name\"",
                  1,
                  "n"},
         }) {
        SCOPED_TRACE(c.rule);
        WatchRig rig;
        EXPECT_EQ(rig.watch(c.names, c.note), c.status);
        EXPECT_NE(rig.err.str().find(c.said), std::string::npos) << rig.err.str();
        const auto stored = rig.stored();
        ASSERT_EQ(stored.size(), c.watched);
        if (c.watched > 0) {
            EXPECT_EQ(stored[0].note, c.storedNote);
        }
    }
}

// Root writes through any mode bits, so the check runs in a child that gives up root first.
TEST(WatchRun, AReadOnlyStoreIsExitFourWithItsReasonAndKeepsItsList) {
    WatchRig rig;
    ASSERT_EQ(rig.watch({"kept.com"}), 0);
    ASSERT_EQ(::chmod(rig.settings.historyPath.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(rig.dir.path().c_str(), 0755), 0);
    testing::ForkedChild child([&](int report) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 100;
        }
        const int status = rig.watch({"new.com"}, std::string("n"));
        const std::string said = rig.err.str();
        return ::write(report, said.data(), said.size()) == static_cast<ssize_t>(said.size())
                   ? status
                   : 101;
    });
    ASSERT_TRUE(child.started());
    const std::string said = child.readReport();
    const auto status = child.wait();
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 4);
    EXPECT_NE(said.find("历史记录不可用：数据库文件只读"), std::string::npos) << said;
    const auto stored = rig.stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].key, "kept.com");
}

TEST(WatchRun, TheListShowsTheSoonestDeadlineFirstAndMarksBeijingTimeInOtherZones) {
    WatchRig rig;
    ASSERT_EQ(rig.watch({"late.com", "none.com", "soon.com"}, std::string("备注")), 0);
    {
        auto store =
            history::Watchlist::open(rig.settings.historyPath, history::OpenMode::ReadWrite);
        ASSERT_EQ(store.updateDetails(
                      "soon.com", {"2026-12-08 05:00", "2026-12-08 03:00", "¥120", "未备案", 50}),
                  "");
        ASSERT_EQ(
            store.updateDetails("late.com", {"2026-12-09 05:00", "2026-12-09 03:00", "", "", 50}),
            "");
    }
    struct Case {
        std::int64_t zoneOffset;
        bool marked;
    };
    for (const Case& c : {Case{8 * 3600, false}, Case{0, true}, Case{-5 * 3600, true}}) {
        SCOPED_TRACE(c.zoneOffset);
        rig.out.str({});
        const auto clock = watchlist::fixedClock(kDeadline - 7080, c.zoneOffset);
        ASSERT_EQ(runWatchlistCommand(rig.settings, rig.out, rig.err, clock), 0);
        std::istringstream lines(rig.out.str());
        std::vector<std::string> read;
        for (std::string line; std::getline(lines, line);) {
            read.push_back(line);
        }
        ASSERT_EQ(read.size(), 3u);
        EXPECT_EQ(read[0].rfind("soon.com  预定截止 2026-12-08 03:00", 0), 0u) << read[0];
        EXPECT_NE(read[0].find("（还剩 1 小时 58 分）"), std::string::npos) << read[0];
        EXPECT_NE(read[0].find("价格 ¥120，未备案，备注：备注"), std::string::npos) << read[0];
        EXPECT_EQ(read[1].rfind("late.com", 0), 0u);
        EXPECT_EQ(read[2].rfind("none.com", 0), 0u);
        EXPECT_EQ(read[0].find("北京时间") != std::string::npos, c.marked) << read[0];
    }

    rig.settings.output = rig.dir.file("watch.csv");
    ASSERT_EQ(runWatchlistCommand(rig.settings, rig.out, rig.err, watchlist::fixedClock(0, 0)), 0);
    const std::string csv = testing::readWholeFile(rig.settings.output);
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF域名,预定截止（北京时间）", 0), 0u) << csv;
    EXPECT_LT(csv.find("\r\nsoon.com,2026-12-08 03:00,2026-12-08 05:00,¥120,未备案,"),
              csv.find("\r\nlate.com,"));
}

}  // namespace
}  // namespace jilan::cli
