#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "child_process.h"
#include "history/detail_cache.h"
#include "history/store.h"
#include "history_fixture.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

namespace fs = std::filesystem;

// --- Where the store lives ------------------------------------------------------------------

struct PathCase {
    const char* rule;
    std::map<std::string, std::string> env;
    std::string expected;
};

class DefaultPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(DefaultPath, FollowsTheXdgDataFolder) {
    const PathCase& c = GetParam();
    const EnvLookup lookup = [&](const char* name) -> std::optional<std::string> {
        auto it = c.env.find(name);
        return it == c.env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    EXPECT_EQ(defaultHistoryPath(lookup), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    History, DefaultPath,
    ::testing::Values(PathCase{"XdgDataHomeWins",
                               {{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/u"}},
                               "/data/jilan-harvester/history.sqlite3"},
                      PathCase{"HomeLocalShareWhenUnset",
                               {{"HOME", "/home/u"}},
                               "/home/u/.local/share/jilan-harvester/history.sqlite3"},
                      PathCase{"EmptyXdgIsUnset",
                               {{"XDG_DATA_HOME", ""}, {"HOME", "/home/u"}},
                               "/home/u/.local/share/jilan-harvester/history.sqlite3"},
                      PathCase{"RelativeXdgIsIgnored",
                               {{"XDG_DATA_HOME", "data"}, {"HOME", "/home/u"}},
                               "/home/u/.local/share/jilan-harvester/history.sqlite3"},
                      PathCase{"NoHomeNoPath", {}, ""}),
    [](const auto& info) { return std::string(info.param.rule); });

// --- Stores we must not use, and must not change ----------------------------------------------

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What "untouched" means: same bytes (or, for a folder, same entries) and same mtime.
struct Snapshot {
    std::string bytes;
    fs::file_time_type mtime;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const std::string& path) {
    Snapshot s;
    s.mtime = fs::last_write_time(path);
    if (fs::is_directory(path)) {
        for (const auto& e : fs::directory_iterator(path)) {
            s.bytes += e.path().filename().string() + "\n";
        }
    } else {
        s.bytes = readAll(path);
    }
    return s;
}

void setUserVersion(const std::string& path, int version) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    Connection db(raw);
    const std::string sql = "PRAGMA user_version = " + std::to_string(version);
    ASSERT_EQ(execute(db.get(), sql.c_str()), SQLITE_OK);
}

void storeWithNames(const std::string& path) {
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i) {
        names.push_back("name" + std::to_string(i) + ".com");
    }
    testing::recordRuns(path, {{1000, {names}}});
}

struct UnusableCase {
    const char* rule;
    std::function<void(const std::string& path)> prepare;
    std::string reason;
};

class UnusableStore : public ::testing::TestWithParam<UnusableCase> {};

TEST_P(UnusableStore, RecorderTurnsUnavailableAndLeavesTheFileAlone) {
    const UnusableCase& c = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("history.sqlite3");
    c.prepare(path);
    const Snapshot before = snapshot(path);

    Recorder recorder(testing::recorderOptions(path));
    const RunTicket t = recorder.beginRun(3, 1000);
    recorder.recordPage(t, {"a.com", "b.com"}, 1000);
    recorder.endRun(t, RunStats{1001, 1, 0, 2});
    recorder.flush();
    EXPECT_TRUE(recorder.unavailable());
    EXPECT_EQ(recorder.unavailableReason(), c.reason);
    EXPECT_EQ(recorder.pagesCommitted(), 0u);
    recorder.close();

    EXPECT_TRUE(before == snapshot(path)) << "the store was changed";
}

INSTANTIATE_TEST_SUITE_P(
    History, UnusableStore,
    ::testing::Values(
        UnusableCase{"TextFileIsCorrupt",
                     [](const std::string& p) {
                         std::ofstream(p, std::ios::binary) << std::string(3000, 'x');
                     },
                     "历史记录不可用：数据库文件已损坏"},
        UnusableCase{"GarbledPagesAfterAGoodHeaderAreCorrupt",
                     [](const std::string& p) {
                         storeWithNames(p);
                         const std::string bytes = readAll(p);
                         ASSERT_GT(bytes.size(), 8192u);
                         std::string garbled = bytes.substr(0, 4096);
                         garbled.append(bytes.size() - 4096, '\xA5');
                         std::ofstream(p, std::ios::binary | std::ios::trunc) << garbled;
                     },
                     "历史记录不可用：数据库文件已损坏"},
        UnusableCase{"FolderInItsPlace", [](const std::string& p) { fs::create_directory(p); },
                     "历史记录不可用：该路径是一个文件夹"},
        UnusableCase{"NewerSchemaIsNeverMigratedDown",
                     [](const std::string& p) {
                         storeWithNames(p);
                         setUserVersion(p, kSchemaVersion + 7);
                     },
                     "历史记录不可用：数据库版本 " + std::to_string(kSchemaVersion + 7) +
                         " 比本程序认识的版本 " + std::to_string(kSchemaVersion) + " 新"}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(HistoryUnusable, ReaderAndCacheGiveTheSameReasonForANewerSchema) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    storeWithNames(path);
    setUserVersion(path, 99);
    const std::string reason = "历史记录不可用：数据库版本 99 比本程序认识的版本 " +
                               std::to_string(kSchemaVersion) + " 新";
    EXPECT_EQ(Reader::open(path).unavailableReason(), reason);
    EXPECT_EQ(DetailCache::open(path).unavailableReason(), reason);
}

// Root writes through any mode bits, so the check runs in a child that gives up root first.
TEST(HistoryUnusable, ReadOnlyFileIsUnavailableAndUntouched) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    storeWithNames(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const Snapshot before = snapshot(path);

    jilan::testing::ForkedChild child([&](int report) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 2;
        }
        std::string reason;
        {
            Recorder recorder(testing::recorderOptions(path));
            recorder.recordPage(recorder.beginRun(1, 1000), {"a.com"}, 1000);
            recorder.flush();
            reason = recorder.unavailableReason();
        }
        const bool written =
            ::write(report, reason.data(), reason.size()) == static_cast<ssize_t>(reason.size());
        return written ? 0 : 3;
    });
    ASSERT_TRUE(child.started());
    const std::string reason = child.readReport();
    const std::optional<int> status = child.wait();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status));
    ASSERT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(reason, "历史记录不可用：数据库文件只读");
    EXPECT_TRUE(before == snapshot(path)) << "the store was changed";
}

TEST(HistoryUnusable, StoreLockedPastTheTimeoutTurnsUnavailableThenRecovers) {
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    storeWithNames(path);

    OpenedStore holder = openStore(path, OpenMode::ReadWrite);
    ASSERT_TRUE(holder.ok());
    ASSERT_EQ(execute(holder.db.get(), "BEGIN IMMEDIATE"), SQLITE_OK);
    {
        RecorderOptions options = testing::recorderOptions(path);
        options.store.busyTimeout = std::chrono::milliseconds(10);
        Recorder recorder(std::move(options));
        const RunTicket t = recorder.beginRun(1, 2000);
        recorder.recordPage(t, {"late.com"}, 2000);
        recorder.flush();
        EXPECT_EQ(recorder.unavailableReason(), "历史记录不可用：数据库被其他程序占用过久");
        EXPECT_EQ(recorder.runId(t), std::nullopt);
    }
    ASSERT_EQ(execute(holder.db.get(), "COMMIT"), SQLITE_OK);

    const auto ids = testing::recordRuns(path, {{3000, {{"late.com"}}}});
    EXPECT_EQ(Reader::open(path).lookup("late.com").value_or(NameRow{}).firstRun, ids.at(0));
}

// --- Migrations from every older version -------------------------------------------------------

class Migration : public ::testing::TestWithParam<int> {};

TEST_P(Migration, OlderStoreReachesTheCurrentVersionAndKeepsItsNames) {
    const int from = GetParam();
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        Connection db(raw);
        for (int step = 0; step < from; ++step) {
            ASSERT_EQ(execute(db.get(), schemaStep(step)), SQLITE_OK) << step;
        }
        if (from >= 1) {
            ASSERT_EQ(
                execute(
                    db.get(),
                    "INSERT INTO runs(id, started, page_limit) VALUES(7, 500, 1);"
                    "INSERT INTO names(key, domain, first_run, last_run, first_seen, last_seen, "
                    "runs_seen, name, tld, length, kind, structure, pinyin, syllables, "
                    "features_version) VALUES('old.com', 'Old.com', 7, 7, 500, 500, 1, "
                    "'old', 'com', 3, 'v1', 'LLL', '', 0, 1);"),
                SQLITE_OK);
        }
        const std::string sql = "PRAGMA user_version = " + std::to_string(from);
        ASSERT_EQ(execute(db.get(), sql.c_str()), SQLITE_OK);
    }

    DetailCache cache = DetailCache::open(path);
    ASSERT_TRUE(cache.ok()) << cache.unavailableReason();
    EXPECT_EQ(cache.putIcp("old.com", IcpPart{600, IcpState::NotFiled, ""}), "");
    EXPECT_EQ(cache.icp("old.com").value_or(IcpPart{}).fetchedUtc, 600);

    Reader reader = Reader::open(path);
    ASSERT_TRUE(reader.ok()) << reader.unavailableReason();
    const auto row = reader.lookup("OLD.com");
    EXPECT_EQ(row.has_value(), from >= 1);
    if (row) {
        EXPECT_EQ(row->domain, "Old.com");
        EXPECT_EQ(row->firstRun, 7);
    }
    const auto ids = testing::recordRuns(path, {{1000, {{"old.com", "new.com"}}}});
    EXPECT_GT(ids.at(0), from >= 1 ? 7 : 0) << "run ids continue after the old ones";
    int code = 0;
    OpenedStore check = openStore(path, OpenMode::ReadOnly);
    EXPECT_EQ(queryInteger(check.db.get(), "PRAGMA user_version", code), kSchemaVersion);
}

INSTANTIATE_TEST_SUITE_P(History, Migration, ::testing::Range(0, kSchemaVersion + 1),
                         [](const auto& info) {
                             return "FromVersion" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace jilan::history
