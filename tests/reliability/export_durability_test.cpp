// A process killed while it exports must not cost the user the file it was replacing: the
// list goes to a temporary file first and only a finished, flushed file is renamed over the
// target. These tests kill a child process at several points of a large export and look at
// what is left on disk.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "io/unique_fd.h"
#include "listactions/list_actions.h"
#include "temp_dir.h"

namespace jilan::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Every entry of the folder except `keep`, by name.
std::vector<std::string> othersIn(const fs::path& folder, const std::string& keep) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != keep) {
            names.push_back(name);
        }
    }
    return names;
}

std::vector<std::string> bigList(std::size_t count) {
    std::vector<std::string> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        entries.push_back("d" + std::to_string(1'000'000 + i) + ".com");
    }
    return entries;
}

std::uintmax_t exportedSize(const std::vector<std::string>& entries) {
    std::uintmax_t total = 0;
    for (const auto& e : entries) {
        total += e.size() + 2;
    }
    return total;
}

struct KillOutcome {
    bool killed = false;   // the child died of SIGKILL (it had not finished)
    std::string tempName;  // the temporary file seen before the kill
    std::uintmax_t bytesAtKill = 0;
    std::string problem;  // why the kill point was not reached
};

// Forks a child that exports `entries` over `target` and kills it once the temporary file
// beside the target holds at least `minBytes`.
KillOutcome exportAndKill(const fs::path& target, const std::vector<std::string>& entries,
                          std::uintmax_t minBytes) {
    KillOutcome outcome;
    const fs::path folder = target.parent_path();
    const std::string targetName = target.filename().string();

    // Woken by every create and write in the folder, so the kill lands right at its point.
    const io::UniqueFd notify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (notify.get() < 0 ||
        ::inotify_add_watch(notify.get(), folder.c_str(), IN_CREATE | IN_MODIFY) < 0) {
        outcome.problem = "inotify unavailable";
        return outcome;
    }

    ForkedChild child(
        [&](int) { return listactions::writeList(target.string(), entries).ok ? 0 : 1; });
    if (!child.started()) {
        outcome.problem = "fork failed";
        return outcome;
    }

    const auto deadline = Clock::now() + std::chrono::seconds(60);
    char events[64 * 1024];
    while (Clock::now() < deadline) {
        pollfd p{notify.get(), POLLIN, 0};
        ::poll(&p, 1, 20);
        while (::read(notify.get(), events, sizeof events) > 0) {
        }
        const std::vector<std::string> temps = othersIn(folder, targetName);
        if (temps.size() == 1) {
            std::error_code ec;
            const std::uintmax_t size = fs::file_size(folder / temps[0], ec);
            if (!ec && size >= minBytes) {
                child.kill();
                outcome.tempName = temps[0];
                break;
            }
        }
        if (child.endedOnItsOwn()) {
            outcome.problem = "the export ended before the kill point";
            return outcome;
        }
    }
    const int status = child.wait().value_or(-1);
    outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!outcome.killed && outcome.problem.empty()) {
        outcome.problem = outcome.tempName.empty() ? "kill point not reached in time"
                                                   : "the child ended before the kill landed";
    }
    std::error_code ec;
    outcome.bytesAtKill = fs::file_size(folder / outcome.tempName, ec);
    return outcome;
}

TEST(ExportDurability, KillBetweenTemporaryFileAndRenameKeepsTheOldFile) {
    const std::vector<std::string> entries = bigList(2'000'000);
    const std::uintmax_t fullSize = exportedSize(entries);
    const std::string oldContent = "old-one.com\r\nold-two.cn\r\n";

    struct KillPoint {
        const char* name;
        std::uintmax_t minTempBytes;
    };
    const KillPoint points[] = {
        {"temporary file just created", 0},
        {"first chunk written", 64 * 1024},
        {"a quarter written", fullSize / 4},
        {"half written", fullSize / 2},
    };

    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.name);
        const TempDir dir;
        ASSERT_FALSE(dir.path().empty());
        const fs::path target = dir.path() / "domains.txt";
        writeFile(target, oldContent);

        const KillOutcome kill = exportAndKill(target, entries, point.minTempBytes);
        ASSERT_TRUE(kill.killed) << kill.problem;
        EXPECT_GE(kill.bytesAtKill, point.minTempBytes);
        EXPECT_LE(kill.bytesAtKill, fullSize);

        // The target is exactly the old file; the kill left its temporary behind, hidden
        // beside it (nothing removes the temporaries of a killed process).
        EXPECT_EQ(readFile(target), oldContent);
        EXPECT_EQ(othersIn(dir.path(), "domains.txt"), std::vector<std::string>{kill.tempName});
        EXPECT_EQ(kill.tempName.rfind(".domains.txt.", 0), 0u) << kill.tempName;

        // The next export works and adds no temporary of its own.
        const listactions::WriteOutcome next =
            listactions::writeList(target.string(), {"new-a.com", "new-b.net"});
        EXPECT_TRUE(next.ok) << next.error;
        EXPECT_EQ(readFile(target), "new-a.com\r\nnew-b.net\r\n");
        EXPECT_EQ(othersIn(dir.path(), "domains.txt"), std::vector<std::string>{kill.tempName});
    }
}

TEST(ExportDurability, KillBeforeAFirstExportLeavesNoTargetBehind) {
    // With no old file, a killed export must not leave a partial file under the chosen name.
    const std::vector<std::string> entries = bigList(2'000'000);
    const TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path target = dir.path() / "first.txt";

    const KillOutcome kill = exportAndKill(target, entries, 256 * 1024);
    ASSERT_TRUE(kill.killed) << kill.problem;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(othersIn(dir.path(), "first.txt"), std::vector<std::string>{kill.tempName});
}

TEST(ExportDurability, AnUnkilledChildReplacesTheFileCompletely) {
    // The same child set-up without a kill: the whole list arrives, so the kills above are
    // what kept the old content.
    const std::vector<std::string> entries = bigList(200'000);
    const TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path target = dir.path() / "domains.txt";
    writeFile(target, "old.com\r\n");

    ForkedChild child(
        [&](int) { return listactions::writeList(target.string(), entries).ok ? 0 : 1; });
    ASSERT_TRUE(child.started());
    const int status = child.wait().value_or(-1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::string expected;
    expected.reserve(exportedSize(entries));
    for (const auto& e : entries) {
        expected += e;
        expected += "\r\n";
    }
    EXPECT_EQ(readFile(target), expected);
    EXPECT_EQ(othersIn(dir.path(), "domains.txt"), std::vector<std::string>{});
}

}  // namespace
}  // namespace jilan::testing
