// The durable writer on real files: where writing works it writes, by the cheapest safe
// route; where it fails it says why with errno and leaves the old bytes as they were. Every
// row runs the writer in a child process so that it can drop privileges, get a small file
// size limit or another standard output without touching the test process.
#include "io/durable_writer.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_dir.h"

namespace jilan::io {
namespace {

namespace fs = std::filesystem;
using jilan::testing::ForkedChild;
using jilan::testing::TempDir;

constexpr uid_t kNobody = 65534;
constexpr uid_t kSelf = static_cast<uid_t>(-1);  // the test's own user
const std::string kOld = "old-one.com\r\nold-two.cn\r\nold-three.net\r\n";
const std::string kNew = "new-a.com\r\nnew-b.net\r\n";
const std::string kBig(4096, 'x');  // more than the small file-size limit below
constexpr rlim_t kSmallLimit = 1024;

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void putFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    ::chmod(path.c_str(), mode);
}

std::string drain(int fd) {
    std::string out;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
        out.append(chunk, static_cast<std::size_t>(n));
    }
    return out;
}

// What a row prepares on disk before the child runs.
struct Scene {
    std::string target{};      // the path given to the writer
    std::string inspect{};     // the file whose content, owner and links are checked
    std::string otherLink{};   // a second name of the same file, checked to match
    int childStdout = -1;      // becomes the child's standard output
    int readEnd = -1;          // pipe or FIFO read end: its bytes are the written content
    std::vector<int> close{};  // descriptors the test closes when the row is done
    std::string unlock{};      // a folder made writable again when the row is done
};

enum class Child { AsIs, AsNobody, SmallFileLimit };

struct Row {
    const char* rule = "";
    std::function<Scene(const TempDir&)> prepare{};
    Child child = Child::AsIs;
    bool needsRoot = false;
    bool needsNonRoot = false;  // root writes into any folder: no fallback to see
    std::string bytes = kNew;
    int checkErrnum = 0;                   // what checkWritable answers
    int writeErrnum = 0;                   // what writeFile answers
    std::optional<std::string> content{};  // afterwards (inspect file, or what the reader got)
    uid_t owner = kSelf;
    nlink_t links = 1;
    std::optional<bool> sameInode{};  // in place keeps the inode; the atomic path replaces it
    std::optional<mode_t> mode{};
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.rule;
}

struct Results {
    int check = -1;
    int write = -1;
};

// Runs `action` in a child set up as the row says and returns the errnos it saw.
Results runInChild(const Row& row, const Scene& scene, bool write) {
    ForkedChild child([&](int report) {
        ignoreWriteSignals();
        if (scene.childStdout >= 0 && ::dup2(scene.childStdout, STDOUT_FILENO) < 0) {
            return 90;
        }
        if (scene.readEnd >= 0) {
            ::close(scene.readEnd);  // an EPIPE row closes its reader before the child writes
        }
        if (row.child == Child::AsNobody &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            return 91;
        }
        if (row.child == Child::SmallFileLimit) {
            const rlimit limit{kSmallLimit, kSmallLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 92;
            }
        }
        Results r;
        const WriteStatus checked = checkWritable(scene.target);
        r.check = checked ? checked->errnum : 0;
        if (write) {
            const WriteStatus written = writeFile(scene.target, row.bytes);
            r.write = written ? written->errnum : 0;
        }
        const ssize_t sent = ::write(report, &r, sizeof r);
        return sent == static_cast<ssize_t>(sizeof r) ? 0 : 93;
    });
    Results r;
    const std::string sent = child.readReport();
    if (sent.size() == sizeof r) {
        std::memcpy(&r, sent.data(), sizeof r);
    }
    const int status = child.wait().value_or(-1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return r;
}

Scene fileScene(const TempDir& dir, const std::string& name, const std::string& content,
                mode_t mode = 0644) {
    Scene s;
    s.target = s.inspect = dir.file(name);
    putFile(s.target, content, mode);
    return s;
}

// The folder is root's and closed to others; the file in it belongs to nobody.
Scene readOnlyFolderScene(const TempDir& dir, mode_t fileMode) {
    ::chmod(dir.path().c_str(), 0755);
    const std::string folder = dir.file("locked");
    ::mkdir(folder.c_str(), 0755);
    Scene s;
    s.target = s.inspect = folder + "/domains.txt";
    putFile(s.target, kOld, fileMode);
    (void)::chown(s.target.c_str(), kNobody, kNobody);
    return s;
}

Scene hardLinkScene(const TempDir& dir) {
    Scene s = fileScene(dir, "domains.txt", kOld);
    s.otherLink = dir.file("second-name.txt");
    ::link(s.target.c_str(), s.otherLink.c_str());
    return s;
}

Scene fifoScene(const TempDir& dir, bool withReader) {
    Scene s;
    s.target = dir.file("pipe");
    ::mkfifo(s.target.c_str(), 0644);
    if (withReader) {
        s.readEnd = ::open(s.target.c_str(), O_RDONLY | O_NONBLOCK);
        s.close.push_back(s.readEnd);
    }
    return s;
}

Scene stdoutPipeScene(const std::string& target, bool readerClosed) {
    Scene s;
    int fds[2];
    if (::pipe(fds) != 0) {
        return s;
    }
    s.target = target;
    s.childStdout = fds[1];
    if (readerClosed) {
        ::close(fds[0]);
    } else {
        s.readEnd = fds[0];
        s.close.push_back(fds[0]);
    }
    s.close.push_back(fds[1]);
    return s;
}

Scene stdoutAppendScene(const TempDir& dir) {
    Scene s = fileScene(dir, "log.txt", kOld);
    s.childStdout = ::open(s.inspect.c_str(), O_WRONLY | O_APPEND);
    s.close.push_back(s.childStdout);
    s.target = "/dev/stdout";
    return s;
}

const Row kRows[] = {
    {.rule = "AbsentFileIsCreated",
     .prepare =
         [](const TempDir& d) {
             return Scene{d.file("new.txt"), d.file("new.txt")};
         },
     .content = kNew},
    {.rule = "OwnFileIsReplacedWithItsModeKept",
     .prepare = [](const TempDir& d) { return fileScene(d, "domains.txt", kOld, 0640); },
     .content = kNew,
     .sameInode = false,
     .mode = 0640},
    {.rule = "OwnReadOnlyFileInOwnFolderIsReplaced",
     .prepare = [](const TempDir& d) { return fileScene(d, "domains.txt", kOld, 0444); },
     .content = kNew,
     .sameInode = false,
     .mode = 0444},
    {.rule = "SymlinkIsFollowedAndKept",
     .prepare =
         [](const TempDir& d) {
             Scene s = fileScene(d, "real.txt", kOld);
             s.target = d.file("link.txt");
             ::symlink("real.txt", s.target.c_str());
             return s;
         },
     .content = kNew},
    {.rule = "WritableFileInReadOnlyFolderIsWrittenInPlace",
     .prepare = [](const TempDir& d) { return readOnlyFolderScene(d, 0644); },
     .child = Child::AsNobody,
     .needsRoot = true,
     .content = kNew,
     .owner = kNobody,
     .sameInode = true},
    {.rule = "OwnFileInOwnReadOnlyFolderIsWrittenInPlace",
     .prepare =
         [](const TempDir& d) {
             const std::string folder = d.file("locked");
             ::mkdir(folder.c_str(), 0755);
             Scene s;
             s.target = s.inspect = folder + "/domains.txt";
             putFile(s.target, kOld);
             ::chmod(folder.c_str(), 0555);
             s.unlock = folder;
             return s;
         },
     .needsNonRoot = true,
     .content = kNew,
     .sameInode = true},
    {.rule = "ReadOnlyFileInReadOnlyFolderIsRefused",
     .prepare = [](const TempDir& d) { return readOnlyFolderScene(d, 0444); },
     .child = Child::AsNobody,
     .needsRoot = true,
     .checkErrnum = EACCES,
     .writeErrnum = EACCES,
     .content = kOld,
     .owner = kNobody,
     .sameInode = true},
    {.rule = "ForeignOwnerIsKept",
     .prepare =
         [](const TempDir& d) {
             Scene s = fileScene(d, "domains.txt", kOld);
             (void)::chown(s.target.c_str(), kNobody, kNobody);
             return s;
         },
     .needsRoot = true,
     .content = kNew,
     .owner = kNobody,
     .sameInode = true},
    {.rule = "HardLinksBothSeeTheNewContent",
     .prepare = hardLinkScene,
     .content = kNew,
     .links = 2,
     .sameInode = true},
    {.rule = "FifoWithReaderGetsTheBytes",
     .prepare = [](const TempDir& d) { return fifoScene(d, true); },
     .content = kNew},
    {.rule = "FifoWithoutReaderIsAnErrorNotAHang",
     .prepare = [](const TempDir& d) { return fifoScene(d, false); },
     .writeErrnum = ENXIO},
    {.rule = "DashIsStandardOutput",
     .prepare = [](const TempDir&) { return stdoutPipeScene("-", false); },
     .content = kNew},
    {.rule = "DevStdoutIntoAPipe",
     .prepare = [](const TempDir&) { return stdoutPipeScene("/dev/stdout", false); },
     .content = kNew},
    {.rule = "DevStdoutIntoAClosedPipeIsEpipe",
     .prepare = [](const TempDir&) { return stdoutPipeScene("/dev/stdout", true); },
     .writeErrnum = EPIPE},
    {.rule = "DevStdoutIntoAnAppendedFileAppends",
     .prepare = stdoutAppendScene,
     .content = kOld + kNew,
     .sameInode = true},
    {.rule = "MissingFolderIsEnoent",
     .prepare =
         [](const TempDir& d) {
             return Scene{d.file("no/such/a.txt"), d.file("no")};
         },
     .checkErrnum = ENOENT,
     .writeErrnum = ENOENT},
    {.rule = "FolderAsTargetIsEisdir",
     .prepare =
         [](const TempDir& d) {
             ::mkdir(d.file("folder").c_str(), 0755);
             return Scene{d.file("folder"), ""};
         },
     .checkErrnum = EISDIR,
     .writeErrnum = EISDIR},
    {.rule = "OutOfRoomOnTheAtomicPathKeepsTheOldFile",
     .prepare = [](const TempDir& d) { return fileScene(d, "domains.txt", kOld); },
     .child = Child::SmallFileLimit,
     .bytes = kBig,
     .writeErrnum = EFBIG,
     .content = kOld,
     .sameInode = true},
    {.rule = "OutOfRoomInPlaceKeepsTheOldBytes",
     .prepare = hardLinkScene,
     .child = Child::SmallFileLimit,
     .bytes = kBig,
     .writeErrnum = EFBIG,
     .content = kOld,
     .links = 2,
     .sameInode = true},
};

class WriterTable : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        if (GetParam().needsRoot && ::geteuid() != 0) {
            GTEST_SKIP() << "needs root to own files as another user";
        }
        if (GetParam().needsNonRoot && ::geteuid() == 0) {
            GTEST_SKIP() << "root is not stopped by a folder's permissions";
        }
    }
};

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_P(WriterTable, WritesWhereWritingWorksAndSaysWhyNot) {
    const Row& row = GetParam();
    const TempDir dir;
    Scene scene = row.prepare(dir);
    const ino_t before = scene.inspect.empty() ? 0 : inodeOf(scene.inspect);

    const Results r = runInChild(row, scene, true);
    EXPECT_EQ(r.check, row.checkErrnum);
    EXPECT_EQ(r.write, row.writeErrnum);

    if (scene.readEnd >= 0) {
        ::close(scene.childStdout);
        std::erase(scene.close, scene.childStdout);
        EXPECT_EQ(drain(scene.readEnd), row.content.value_or(""));
    } else if (!scene.inspect.empty()) {
        EXPECT_EQ(readFile(scene.inspect), row.content);
        struct stat st {};
        if (row.content && ::stat(scene.inspect.c_str(), &st) == 0) {
            EXPECT_EQ(st.st_uid, row.owner == kSelf ? ::geteuid() : row.owner);
            EXPECT_EQ(st.st_nlink, row.links);
            if (row.mode) {
                EXPECT_EQ(st.st_mode & 07777, *row.mode);
            }
            if (row.sameInode) {
                EXPECT_EQ(st.st_ino == before, *row.sameInode);
            }
        }
    }
    if (!scene.otherLink.empty()) {
        EXPECT_EQ(readFile(scene.otherLink), row.content);
    }
    // No temporary file is left beside the target, whatever happened.
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
    for (const int fd : scene.close) {
        ::close(fd);
    }
    if (!scene.unlock.empty()) {
        ::chmod(scene.unlock.c_str(), 0755);
    }
}

TEST_P(WriterTable, CheckAnswersAsTheWriterWouldAndWritesNothing) {
    const Row& row = GetParam();
    const TempDir dir;
    Scene scene = row.prepare(dir);
    const std::optional<std::string> before =
        scene.inspect.empty() ? std::nullopt : readFile(scene.inspect);
    const std::set<std::string> namesBefore = dir.names();

    const Results r = runInChild(row, scene, false);
    EXPECT_EQ(r.check, row.checkErrnum);
    if (scene.readEnd >= 0) {
        ::close(scene.childStdout);
        std::erase(scene.close, scene.childStdout);
        EXPECT_EQ(drain(scene.readEnd), "");
    }
    if (!scene.inspect.empty()) {
        EXPECT_EQ(readFile(scene.inspect), before);
    }
    EXPECT_EQ(dir.names(), namesBefore);
    for (const int fd : scene.close) {
        ::close(fd);
    }
    if (!scene.unlock.empty()) {
        ::chmod(scene.unlock.c_str(), 0755);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, WriterTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.rule); });

// Streaming: many small writes and writes larger than the buffer, through both routes, and
// past the in-memory part of the in-place spool.
TEST(FileWriterStreaming, ChunksArriveInOrderOnEveryRoute) {
    struct Case {
        const char* rule;
        bool hardLinked;  // forces the in-place route
        std::size_t lines;
    } cases[] = {
        {"atomic, small", false, 10},
        {"atomic, larger than the buffer", false, 200'000},
        {"in place, small", true, 10},
        {"in place, larger than the in-memory spool", true, 1'200'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const TempDir dir;
        const std::string target = dir.file("out.txt");
        putFile(target, kOld);
        if (c.hardLinked) {
            ::link(target.c_str(), dir.file("other.txt").c_str());
        }
        std::string expected;
        FileWriter writer;
        ASSERT_EQ(writer.open(target), std::nullopt);
        EXPECT_EQ(writer.mode(), c.hardLinked ? WriteMode::InPlace : WriteMode::Atomic);
        for (std::size_t i = 0; i < c.lines; ++i) {
            const std::string line = "d" + std::to_string(i) + ".com\r\n";
            expected += line;
            ASSERT_EQ(writer.write(line), std::nullopt);
            if (i % 50'000 == 0) {
                const std::string block(70'000, static_cast<char>('a' + i % 26));
                expected += block;
                ASSERT_EQ(writer.write(block), std::nullopt);
            }
        }
        EXPECT_EQ(readFile(target), kOld) << "nothing visible before commit";
        EXPECT_EQ(writer.commit(), std::nullopt);
        EXPECT_EQ(readFile(target), expected);
    }
}

TEST(FileWriterStreaming, AnUncommittedWriterLeavesTheOldFileAndNoTemporary) {
    for (const bool hardLinked : {false, true}) {
        SCOPED_TRACE(hardLinked ? "in place" : "atomic");
        const TempDir dir;
        const std::string target = dir.file("out.txt");
        putFile(target, kOld);
        if (hardLinked) {
            ::link(target.c_str(), dir.file("other.txt").c_str());
        }
        const std::set<std::string> namesBefore = dir.names();
        {
            FileWriter writer;
            ASSERT_EQ(writer.open(target), std::nullopt);
            ASSERT_EQ(writer.write(std::string(300'000, 'z')), std::nullopt);
        }
        EXPECT_EQ(readFile(target), kOld);
        EXPECT_EQ(dir.names(), namesBefore);
    }
}

// A process killed in the middle of an atomic write leaves the old file exactly as it was and
// no temporary file: the new bytes live in a file without a name until the commit.
TEST(FileWriterStreaming, ChildKilledMidWriteLeavesTheOldFileAndNoTemporary) {
    const TempDir dir;
    const std::string target = dir.file("domains.txt");
    putFile(target, kOld);
    ForkedChild child([&](int ready) {
        FileWriter writer;
        if (writer.open(target)) {
            return 1;
        }
        for (int i = 0; i < 64; ++i) {
            if (writer.write(std::string(64 * 1024, 'k'))) {
                return 2;
            }
        }
        const char byte = 'r';
        (void)::write(ready, &byte, 1);
        ::pause();
        return 3;
    });
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(child.readByte());
    child.kill();
    const int status = child.wait().value_or(-1);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readFile(target), kOld);
    EXPECT_EQ(dir.names(), std::set<std::string>{"domains.txt"});
}

// Named temporaries of this program's pattern (left where a file system has no anonymous
// files) are removed by the next write, except one a running writer still holds locked.
TEST(FileWriterStreaming, TheNextWriteRemovesAbandonedTemporariesButNotALockedOne) {
    const TempDir dir;
    const std::string target = dir.file("domains.txt");
    putFile(dir.file(".domains.txt.Abc123"), "abandoned");
    putFile(dir.file(".domains.txt.Run456"), "running");
    putFile(dir.file(".domains.txt.keep"), "not our pattern");
    const int held = ::open(dir.file(".domains.txt.Run456").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_EQ(writeFile(target, "new"), std::nullopt);
    ::close(held);
    EXPECT_EQ(dir.names(),
              (std::set<std::string>{"domains.txt", ".domains.txt.Run456", ".domains.txt.keep"}));
    EXPECT_EQ(readFile(target), "new");
}

// Under cron and systemd standard input is /dev/null: /dev/null as the output is then still
// a path to write, not standard input's read-only descriptor.
TEST(FileWriterStreaming, DevNullIsWritableWhenItIsStandardInput) {
    ForkedChild child([](int report) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0) {
            return 90;
        }
        const WriteStatus checked = checkWritable("/dev/null");
        const WriteStatus written = writeFile("/dev/null", "names\n");
        const int errs[2] = {checked ? checked->errnum + 1000 : 0,
                             written ? written->errnum + 1000 : 0};
        return ::write(report, errs, sizeof errs) == static_cast<ssize_t>(sizeof errs) ? 0 : 91;
    });
    ASSERT_TRUE(child.started());
    const std::string report = child.readReport();
    ASSERT_EQ(report.size(), 2 * sizeof(int));
    int errs[2];
    std::memcpy(errs, report.data(), sizeof errs);
    EXPECT_EQ(errs[0], 0) << "check";
    EXPECT_EQ(errs[1], 0) << "write";
}

TEST(OutputTemplate, DateAndTimeAreLocal) {
    const char* oldTz = std::getenv("TZ");
    const std::optional<std::string> savedTz =
        oldTz ? std::optional<std::string>(oldTz) : std::nullopt;
    ::setenv("TZ", "Asia/Shanghai", 1);
    ::tzset();
    const std::time_t when =
        1'700'000'000;  // 2023-11-15 06:13:20 in Shanghai, still the 14th in UTC
    struct Case {
        const char* rule;
        const char* in;
        const char* out;
    } cases[] = {
        {"date", "~/域名/{date}-new.csv", "~/域名/2023-11-15-new.csv"},
        {"time", "run-{time}.txt", "run-061320.txt"},
        {"both, repeated", "{date}/{date}_{time}", "2023-11-15/2023-11-15_061320"},
        {"braces around a placeholder stay", "{{date}}", "{2023-11-15}"},
        {"unknown and unclosed placeholders stay", "{dat}{DATE}{date", "{dat}{DATE}{date"},
        {"plain path unchanged", "/tmp/a.txt", "/tmp/a.txt"},
        {"dash unchanged", "-", "-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expandOutputTemplate(c.in, when), c.out) << c.rule;
    }
    if (savedTz) {
        ::setenv("TZ", savedTz->c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(MissingFolders, AreCreatedOnTheWayToTheFile) {
    const TempDir dir;
    putFile(dir.file("plain"), "x");
    ::mkdir(dir.file("have").c_str(), 0755);
    struct Case {
        const char* rule;
        std::string path;
        int errnum;
        std::string folder;  // must exist afterwards (empty: nothing to check)
    } cases[] = {
        {"nested folders created", dir.file("a/b/c/out.csv"), 0, dir.file("a/b/c")},
        {"existing folder is fine", dir.file("have/out.csv"), 0, dir.file("have")},
        {"doubled slash", dir.file("x//y/out.csv"), 0, dir.file("x/y")},
        {"a file in the way", dir.file("plain/sub/out.csv"), ENOTDIR, ""},
        {"no folder part", "out-in-working-folder.csv", 0, ""},
        {"standard output", "-", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const WriteStatus result = createMissingFolders(c.path);
        EXPECT_EQ(result ? result->errnum : 0, c.errnum);
        if (!c.folder.empty()) {
            EXPECT_TRUE(fs::is_directory(c.folder));
        }
        EXPECT_FALSE(fs::exists(c.path)) << "only folders are made";
    }
}

}  // namespace
}  // namespace jilan::io
