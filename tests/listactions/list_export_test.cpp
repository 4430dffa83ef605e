#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "listactions/list_actions.h"
#include "recording_platform.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using jilan::app::Form1;
using jilan::listactions::writeList;

using jilan::testing::TempDir;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

struct Rig {
    void fill(const std::vector<std::string>& entries) {
        for (const auto& e : entries) {
            form.List1.addItem(e);
        }
    }
    Form1 form;
    jilan::testing::RecordingPlatform platform;
    jilan::listactions::ListActions actions{form, platform, "http://m.example"};
};

void expectOnlyMessage(const Rig& rig, const std::string& prompt,
                       jilan::app::MessageIcon icon = jilan::app::MessageIcon::Information) {
    ASSERT_EQ(rig.platform.messages.size(), 1U);
    EXPECT_EQ(rig.platform.messages[0].prompt, prompt);
    EXPECT_EQ(rig.platform.messages[0].title, "霁岚系列软件");
    EXPECT_EQ(rig.platform.messages[0].buttons, jilan::app::MessageButtons::Ok);
    EXPECT_EQ(rig.platform.messages[0].icon, icon);
}

TEST(Export, EmptyListShowsANoticeAndNoDialog) {
    Rig rig;
    rig.actions.Command5_Click();
    expectOnlyMessage(rig, "没有可导出域名,请先进行采集");
    EXPECT_TRUE(rig.platform.saveDialogs.empty());
}

TEST(Export, WritesEveryEntryAsACrLfLine) {
    struct Case {
        const char* name;
        std::vector<std::string> entries;
        std::string content;
    } cases[] = {
        {"one entry", {"x"}, "x\r\n"},
        {"three in list order", {"c.com", "a.com", "b.cn"}, "c.com\r\na.com\r\nb.cn\r\n"},
        {"UTF-8 without a byte-order mark", {"中文.cn", "a.com"}, "中文.cn\r\na.com\r\n"},
        {"spaces kept as the list holds them", {" sp .com", "a b"}, " sp .com\r\na b\r\n"},
        {"CR and LF inside an entry become spaces: one line per entry",
         {"a\r\nb.com", "c\nd.com", "e\r.com"},
         "a  b.com\r\nc d.com\r\ne .com\r\n"},
        {"tab and other control characters become spaces",
         {"a\tb", "x\x01y\x7f"},
         "a b\r\nx y \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Rig rig;
        rig.fill(c.entries);
        const std::string target = dir.file("out.txt");
        rig.platform.saveAnswers.push_back(target);
        rig.actions.Command5_Click();

        EXPECT_EQ(readFile(target), c.content);
        expectOnlyMessage(rig, "域名保存成功!");
        ASSERT_EQ(rig.platform.saveDialogs.size(), 1U);
        EXPECT_EQ(rig.platform.saveDialogs[0].title, "请选择要保存的路径");
        EXPECT_EQ(rig.platform.saveDialogs[0].filter, "文本文件|*.txt");
        EXPECT_EQ(rig.platform.saveDialogs[0].initialName, "");
        EXPECT_TRUE(rig.form.C1.cancelError());
        EXPECT_EQ(rig.form.C1.fileName(), target);
        EXPECT_EQ(dir.names(), (std::set<std::string>{"out.txt"}));
    }
}

TEST(Export, CancelWritesNothing) {
    TempDir dir;
    const std::string existing = dir.file("keep.txt");
    writeFile(existing, "old\n");
    Rig rig;
    rig.fill({"a.com"});
    rig.platform.saveAnswers.push_back(std::nullopt);
    rig.actions.Command5_Click();
    EXPECT_EQ(readFile(existing), "old\n");
    EXPECT_TRUE(rig.platform.messages.empty());
    EXPECT_EQ(rig.form.C1.fileName(), "");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"keep.txt"}));
}

TEST(Export, ReplacesAnExistingFileAndOffersItsNameAgain) {
    TempDir dir;
    const std::string first = dir.file("list.txt");
    writeFile(first, "a much longer old content\r\nsecond old line\r\n");
    Rig rig;
    rig.fill({"a.com"});
    rig.platform.saveAnswers.push_back(first);
    rig.platform.saveAnswers.push_back(dir.file("again.txt"));
    rig.actions.Command5_Click();
    EXPECT_EQ(readFile(first), "a.com\r\n");

    rig.form.List1.addItem("b.com");
    rig.actions.Command5_Click();
    ASSERT_EQ(rig.platform.saveDialogs.size(), 2U);
    EXPECT_EQ(rig.platform.saveDialogs[1].initialName, first);
    EXPECT_EQ(readFile(dir.file("again.txt")), "a.com\r\nb.com\r\n");
    EXPECT_EQ(readFile(first), "a.com\r\n");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"list.txt", "again.txt"}));
}

TEST(Export, FailureIsShownAndNothingIsLeftBehind) {
    struct Case {
        const char* name;
        std::string (*target)(const TempDir&);
        std::string reason;
    } cases[] = {
        {"parent is a file", [](const TempDir& d) { return d.file("plain") + "/out.txt"; },
         "文件夹不存在"},
        {"path is a directory", [](const TempDir& d) { return d.file("sub"); }, "是文件夹"},
        {"name too long", [](const TempDir& d) { return d.file(std::string(300, 'n') + ".txt"); },
         "未知错误（File name too long）"},
        {"folder missing", [](const TempDir& d) { return d.file("nowhere") + "/out.txt"; },
         "文件夹不存在"},
        {"empty name", [](const TempDir&) { return std::string(); }, "文件夹不存在"},
        {"trailing slash", [](const TempDir& d) { return d.file("sub") + "/"; }, "是文件夹"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFile(dir.file("plain"), "plain file\r\n");
        fs::create_directory(dir.file("sub"));
        writeFile(dir.file("sub") + "/inside.txt", "inside\r\n");
        const std::set<std::string> before = dir.names();

        Rig rig;
        rig.fill({"a.com", "b.com"});
        const std::string target = c.target(dir);
        rig.platform.saveAnswers.push_back(target);
        rig.actions.Command5_Click();

        ASSERT_EQ(rig.platform.messages.size(), 1U);
        EXPECT_EQ(rig.platform.messages[0].icon, jilan::app::MessageIcon::Warning);
        EXPECT_EQ(rig.platform.messages[0].prompt, "域名保存失败: " + target + ": " + c.reason);
        EXPECT_EQ(rig.platform.messages[0].title, "霁岚系列软件");
        EXPECT_EQ(dir.names(), before);
        EXPECT_EQ(readFile(dir.file("plain")), "plain file\r\n");
        EXPECT_EQ(readFile(dir.file("sub") + "/inside.txt"), "inside\r\n");
        EXPECT_EQ(fs::directory_entry(dir.file("sub")).is_directory(), true);
    }
}

// Caps the size of files this process writes, so a write fails part-way as on
// a full disk; the signal that would kill the process is ignored meanwhile.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = old_;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

TEST(Export, AWriteFailingPartWayKeepsTheOldFile) {
    TempDir dir;
    const std::string target = dir.file("domains.txt");
    writeFile(target, "old-content\r\n");
    Rig rig;
    for (int i = 0; i < 20'000; ++i) {
        rig.form.List1.addItem("entry" + std::to_string(i) + ".com");
    }
    rig.platform.saveAnswers.push_back(target);
    {
        const FileSizeCap cap(4096);
        rig.actions.Command5_Click();
    }
    EXPECT_EQ(readFile(target), "old-content\r\n");
    ASSERT_EQ(rig.platform.messages.size(), 1U);
    EXPECT_EQ(rig.platform.messages[0].prompt, "域名保存失败: " + target + ": 文件过大");
    EXPECT_EQ(rig.platform.messages[0].icon, jilan::app::MessageIcon::Warning);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"domains.txt"}));
}

TEST(Export, HundredThousandEntries) {
    TempDir dir;
    Rig rig;
    std::size_t expectedSize = 0;
    for (int i = 0; i < 100'000; ++i) {
        std::string e = "d" + std::to_string(i) + ".com";
        expectedSize += e.size() + 2;
        rig.form.List1.addItem(std::move(e));
    }
    const std::string target = dir.file("big.txt");
    rig.platform.saveAnswers.push_back(target);
    rig.actions.Command5_Click();
    expectOnlyMessage(rig, "域名保存成功!");

    const std::string content = readFile(target);
    EXPECT_EQ(content.size(), expectedSize);
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < content.size()) {
        const std::size_t end = content.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 100'000U);
    EXPECT_EQ(lines[0], "d0.com");
    EXPECT_EQ(lines[32'767], "d32767.com");
    EXPECT_EQ(lines[32'768], "d32768.com");
    EXPECT_EQ(lines[99'999], "d99999.com");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"big.txt"}));
}

TEST(ListWrite, APipeWithoutReaderIsAFailureThatSaysSo) {
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto outcome = writeList(fifo, {"a.com"});
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, fifo + ": 没有读取方");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(dir.names(), (std::set<std::string>{"pipe"}));
}

TEST(ListWrite, EmptyListGivesAnEmptyFile) {
    TempDir dir;
    const auto outcome = writeList(dir.file("none.txt"), {});
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(readFile(dir.file("none.txt")), "");
}

TEST(ListWrite, KeepsTheModeOfAReplacedFile) {
    TempDir dir;
    const std::string target = dir.file("mode.txt");
    writeFile(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto outcome = writeList(target, {"a.com"});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(ListWrite, NewFileFollowsTheUmask) {
    TempDir dir;
    const mode_t old = ::umask(027);
    const auto outcome = writeList(dir.file("new.txt"), {"a.com"});
    ::umask(old);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(fs::status(dir.file("new.txt")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(ListWrite, ASymbolicLinkKeepsPointingAtTheNewContent) {
    TempDir dir;
    writeFile(dir.file("real.txt"), "old");
    fs::create_symlink(dir.file("real.txt"), dir.file("link.txt"));
    const auto outcome = writeList(dir.file("link.txt"), {"a.com", "b.com"});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(readFile(dir.file("real.txt")), "a.com\r\nb.com\r\n");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"real.txt", "link.txt"}));
}

}  // namespace
