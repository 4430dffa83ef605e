// A process killed while it exports must not cost the user the file it was replacing: the
// list goes to a temporary file first (without a name where the file system allows) and only a
// finished, flushed file is named over the target. These tests kill a child process at several
// points of a large export and look at what is left on disk.
#include <fcntl.h>
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
    bool killed = false;  // the child died of SIGKILL (it had not finished)
    // The child's file in the folder at the kill: its path as the kernel names it ("#123
    // (deleted)" for a file without a name), and whether it had a name in the folder.
    std::string fileAtKill;
    bool named = false;
    std::uintmax_t bytesAtKill = 0;
    std::string problem;  // why the kill point was not reached
};

// The file the child has open for writing in `folder`, other than the target: found through
// its descriptors, because a file made with O_TMPFILE has no name in the folder to look for.
std::optional<fs::path> childFileIn(pid_t pid, const fs::path& folder, const fs::path& target) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code linkEc;
        const fs::path link = fs::read_symlink(fd.path(), linkEc);
        if (!linkEc && link.parent_path() == folder && link != target) {
            return fd.path();
        }
    }
    return std::nullopt;
}

// Forks a child that exports `entries` over `target` and kills it once its unfinished file in
// the target's folder holds at least `minBytes`.
KillOutcome exportAndKill(const fs::path& target, const std::vector<std::string>& entries,
                          std::uintmax_t minBytes) {
    KillOutcome outcome;
    const fs::path folder = target.parent_path();

    ForkedChild child(
        [&](int) { return listactions::writeList(target.string(), entries).ok ? 0 : 1; });
    if (!child.started()) {
        outcome.problem = "fork failed";
        return outcome;
    }

    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        if (const std::optional<fs::path> fd = childFileIn(child.pid(), folder, target)) {
            std::error_code ec;
            const std::uintmax_t size = fs::file_size(*fd, ec);  // through the descriptor
            if (!ec && size >= minBytes) {
                const fs::path link = fs::read_symlink(*fd, ec);
                child.kill();
                outcome.fileAtKill = link.string();
                outcome.named = !outcome.fileAtKill.ends_with(" (deleted)");
                outcome.bytesAtKill = size;
                break;
            }
        }
        if (child.endedOnItsOwn()) {
            outcome.problem = "the export ended before the kill point";
            return outcome;
        }
        ::usleep(200);
    }
    const int status = child.wait().value_or(-1);
    outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!outcome.killed && outcome.problem.empty()) {
        outcome.problem = outcome.fileAtKill.empty() ? "kill point not reached in time"
                                                     : "the child ended before the kill landed";
    }
    return outcome;
}

// What a kill may leave in the folder besides the target: nothing where the file system has
// O_TMPFILE, else the named temporary, which the next write removes.
std::vector<std::string> allowedLeftovers(const KillOutcome& kill) {
    if (!kill.named) {
        return {};
    }
    return {fs::path(kill.fileAtKill).filename().string()};
}

TEST(ExportDurability, KillBeforeTheRenameKeepsTheOldFileAndLeavesNoTemporary) {
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

        // The target is exactly the old file, and nothing is left beside it but a named
        // temporary where the file system cannot make nameless files.
        EXPECT_EQ(readFile(target), oldContent);
        EXPECT_EQ(othersIn(dir.path(), "domains.txt"), allowedLeftovers(kill)) << kill.fileAtKill;

        // The next export works and leaves the folder holding the target alone.
        const listactions::WriteOutcome next =
            listactions::writeList(target.string(), {"new-a.com", "new-b.net"});
        EXPECT_TRUE(next.ok) << next.error;
        EXPECT_EQ(readFile(target), "new-a.com\r\nnew-b.net\r\n");
        EXPECT_TRUE(othersIn(dir.path(), "domains.txt").empty());
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
    EXPECT_EQ(othersIn(dir.path(), "first.txt"), allowedLeftovers(kill));
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
