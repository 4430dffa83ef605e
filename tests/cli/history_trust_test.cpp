// The command-line program itself against market-sim, as the daily timer starts it: the names
// of a run killed with -9, or of one whose file could not be written, are still reported by the
// next --new-only run; a run that fetched no page leaves the day's file alone; a damaged store
// is found, refused until it is restored, and restored from the daily backup.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "market_sim.h"
#include "store_damage.h"
#include "temp_dir.h"

namespace jilan::cli {
namespace {

namespace fs = std::filesystem;
using jilan::testing::ChildResult;
using jilan::testing::readWholeFile;

const fs::path kProgram = JILAN_PROGRAM_PATH;
constexpr auto kWatchdog = std::chrono::seconds(120);
constexpr int kSimPages = 30;

std::set<std::string> linesOf(const std::string& text) {
    std::set<std::string> out;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            if (!line.empty()) {
                out.insert(line);
            }
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return out;
}

// The line of a run's messages that says the store is damaged.
std::string damageLine(const std::string& err) {
    for (const std::string& line : linesOf(err)) {
        if (line.find("已损坏") != std::string::npos) {
            return line;
        }
    }
    return {};
}

// The names in the store, read as any other program reads it while a run writes.
std::set<std::string> storedNames(const std::string& path) {
    std::set<std::string> names;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT domain FROM names", -1, &s, nullptr) == SQLITE_OK) {
            while (sqlite3_step(s) == SQLITE_ROW) {
                names.emplace(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
            }
        }
        sqlite3_finalize(s);
    }
    sqlite3_close_v2(db);
    return names;
}

class HistoryTrust : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Options o;
        o.pages = kSimPages;
        sim.setOptions(o);
        ASSERT_TRUE(sim.start()) << sim.lastError();
    }

    ChildResult run(const std::vector<std::string>& args,
                    const std::function<void(pid_t)>& duringRun = {}) {
        std::vector<std::string> argv = {
            kProgram.string(), "--market-url", sim.baseUrl(), "--icp-url",
            sim.icpBaseUrl(),  "--history",    history};
        argv.insert(argv.end(), args.begin(), args.end());
        const jilan::testing::Environment env = {
            {"HOME", dir.path().string()}, {"PATH", "/usr/bin:/bin"}, {"LANG", "C.UTF-8"}};
        return jilan::testing::runChild(argv, env, dir.path(), kWatchdog, duringRun);
    }

    void slowPages(int latencyMs) {
        sim.modifyOptions([latencyMs](sim::Options& o) { o.latencyMs = latencyMs; });
    }

    jilan::testing::TempDir dir{"jilan-trust"};
    sim::MarketSim sim;
    std::string history = dir.file("history.sqlite3");
};

// What happens to a run once its first pages are in the store.
struct Mishap {
    const char* rule;
    std::function<void(pid_t, const fs::path& outputFolder)> strike;
    int exitCode;  // -1: killed
};

class RunThatNeverCompletes : public HistoryTrust, public ::testing::WithParamInterface<Mishap> {};

TEST_P(RunThatNeverCompletes, NextNewOnlyRunStillReportsItsNames) {
    const fs::path folder = dir.path() / "out";
    slowPages(150);
    bool struck = false;
    const ChildResult failed =
        run({"--harvest", std::to_string(kSimPages), "--output", (folder / "first.txt").string()},
            [&](pid_t pid) {
                if (!struck && storedNames(history).size() >= 50) {
                    GetParam().strike(pid, folder);
                    struck = true;
                }
            });
    ASSERT_TRUE(struck) << "the run ended before its first page was recorded: " << failed.err;
    EXPECT_EQ(failed.exitCode, GetParam().exitCode) << failed.err;
    EXPECT_FALSE(fs::is_regular_file(folder / "first.txt"));
    const std::set<std::string> recorded = storedNames(history);
    ASSERT_FALSE(recorded.empty());

    slowPages(0);
    const std::string next = dir.file("next.txt");
    const ChildResult newOnly =
        run({"--harvest", std::to_string(kSimPages), "--new-only", "--output", next});
    ASSERT_EQ(newOnly.exitCode, 0) << newOnly.err;
    const std::set<std::string> reported = linesOf(readWholeFile(next));
    for (const std::string& name : recorded) {
        EXPECT_TRUE(reported.contains(name)) << name << " was recorded but never reported";
    }

    // That run completed: no run started after it reports its names again.
    const std::string after = dir.file("after.txt");
    ASSERT_EQ(
        run({"--harvest", std::to_string(kSimPages), "--new-only", "--output", after}).exitCode, 0);
    EXPECT_EQ(linesOf(readWholeFile(after)), std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RunThatNeverCompletes,
    ::testing::Values(Mishap{"KilledWithSigkill",
                             [](pid_t pid, const fs::path&) { ::kill(pid, SIGKILL); }, -1},
                      // The output's folder turns into a file while the pages come in.
                      Mishap{"OutputCannotBeWritten",
                             [](pid_t, const fs::path& folder) {
                                 fs::remove_all(folder);
                                 std::ofstream(folder) << "in the way\n";
                             },
                             1}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST_F(HistoryTrust, RunThatFetchedNoPageLeavesTheDatedFileAlone) {
    const std::string output = (dir.path() / "{date}-new.txt").string();
    ASSERT_EQ(run({"--harvest", "3", "--output", output}).exitCode, 0);
    std::vector<fs::path> written;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().ends_with("-new.txt")) {
            written.push_back(entry.path());
        }
    }
    ASSERT_EQ(written.size(), 1u);
    const std::string before = readWholeFile(written.front());
    ASSERT_FALSE(before.empty());

    const ChildResult dead =
        run({"--harvest", "3", "--market-url", "http://127.0.0.1:1", "--output", output});
    EXPECT_EQ(readWholeFile(written.front()), before) << dead.err;
}

TEST_F(HistoryTrust, DamagedStoreIsMarkedRefusedAndRestoredFromTheBackup) {
    ASSERT_EQ(run({"--harvest", "8", "--output", dir.file("first.txt")}).exitCode, 0);
    ASSERT_TRUE(fs::is_regular_file(history + ".bak")) << "the first good run backs the store up";
    ASSERT_GT(jilan::testing::garbleInteriorPages(history), 0);

    const ChildResult found = run({"--harvest", "8", "--output", dir.file("damaged.txt")});
    EXPECT_EQ(found.exitCode, 4) << found.err;
    EXPECT_NE(found.err.find("--restore-history"), std::string::npos) << found.err;
    EXPECT_EQ(linesOf(readWholeFile(dir.file("damaged.txt"))).size(), 8u * 50u)
        << "the harvest's names are still written";
    EXPECT_TRUE(fs::exists(history + ".damaged"));

    const ChildResult refused = run({"--harvest", "8", "--output", dir.file("refused.txt")});
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_EQ(damageLine(refused.err), damageLine(found.err));
    EXPECT_FALSE(damageLine(found.err).empty());

    // No answer on standard input: nothing is restored.
    EXPECT_EQ(run({"--restore-history"}).exitCode, 4);
    EXPECT_TRUE(fs::exists(history + ".damaged"));
    EXPECT_EQ(run({"--check-history"}).exitCode, 4);

    const ChildResult restored = run({"--restore-history", "--yes"});
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_FALSE(fs::exists(history + ".damaged"));
    EXPECT_EQ(run({"--check-history"}).exitCode, 0);
    EXPECT_EQ(storedNames(history).size(), 8u * 50u);
    bool kept = false;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        kept = kept || entry.path().filename().string().starts_with("history.sqlite3.damaged-");
    }
    EXPECT_TRUE(kept) << "the damaged file is kept beside the restored one";
    EXPECT_EQ(run({"--harvest", "8", "--output", dir.file("again.txt")}).exitCode, 0);
}

}  // namespace
}  // namespace jilan::cli
