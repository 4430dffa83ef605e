#include "cli/name_list_file.h"
#include "cli/list_for_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "net/text_decoding.h"
#include "rule_name.h"
#include "temp_dir.h"

namespace {

using jilan::cli::NameList;
using jilan::cli::parseNameList;

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char hi = static_cast<char>(unit >> 8);
        const char lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

struct ListCase {
    const char* rule;
    std::string bytes;
    std::vector<std::string> names;
    std::vector<std::size_t> skippedLines;
};

std::vector<ListCase> listCases() {
    return {
        {"plain utf-8 with lf", "abc.com\nxyz.cn\n", {"abc.com", "xyz.cn"}, {}},
        {"utf-8 bom is not part of the first name",
         "\xEF\xBB\xBF"
         "abc.com\r\n",
         {"abc.com"},
         {}},
        {"cr lf line ends", "abc.com\r\nxyz.cn\r\n", {"abc.com", "xyz.cn"}, {}},
        {"no line end after the last name", "abc.com\nxyz.cn", {"abc.com", "xyz.cn"}, {}},
        {"utf-16 le with its mark",
         utf16(u"abc.com\r\n中国.cn\r\n", false),
         {"abc.com", "中国.cn"},
         {}},
        {"utf-16 be with its mark", utf16(u"abc.com\n中国.cn\n", true), {"abc.com", "中国.cn"}, {}},
        {"gb18030 without a mark",
         jilan::net::encodeGb18030("兰山.com\r\nabc.com\r\n"),
         {"兰山.com", "abc.com"},
         {}},
        {"blank and space-only lines ignored", "\n  \n\t\nabc.com\n\r\n", {"abc.com"}, {}},
        {"surrounding spaces and full-width spaces trimmed",
         "  abc.com \t\n\u3000xyz.cn\u3000\n",
         {"abc.com", "xyz.cn"},
         {}},
        {"duplicates kept once in first order",
         "b.com\na.com\nB.COM\nb.com\n",
         {"b.com", "a.com"},
         {}},
        {"inner space refused", "ab c.com\nok.com\n", {"ok.com"}, {1}},
        {"control character refused",
         "ab\x01"
         "c.com\nok.com\n",
         {"ok.com"},
         {1}},
        {"lone cr inside a line refused", "abc\r.com\n", {}, {1}},
        {"path climbing refused", "../etc/passwd\n..\nok.com\n", {"ok.com"}, {1, 2}},
        {"double dot refused", "abc..com\n", {}, {1}},
        {"url refused", "http://abc.com/\nhttps://x.cn\n", {}, {1, 2}},
        {"percent and backslash refused", "a%2e.com\na\\b.com\n", {}, {1, 2}},
        {"single label refused", "localhost\n", {}, {1}},
        {"leading dot refused", ".abc.com\n", {}, {1}},
        {"trailing dot refused", "abc.com.\n", {}, {1}},
        {"hyphen at a label edge refused", "-abc.com\nabc-.com\nab-c.com\n", {"ab-c.com"}, {1, 2}},
        {"64-character label refused",
         std::string(64, 'a') + ".com\n" + std::string(63, 'a') + ".com\n",
         {std::string(63, 'a') + ".com"},
         {1}},
        {"300-character line refused",
         std::string(60, 'a') + "." + std::string(60, 'b') + "." + std::string(60, 'c') + "." +
             std::string(60, 'd') + "." + std::string(56, 'e') + ".com\n",
         {},
         {1}},
        {"full-width punctuation refused", "abc。com\nabc，d.com\n", {}, {1, 2}},
        {"line numbers count blank lines", "\n\nbad\n\nok.com\nalso bad\n", {"ok.com"}, {3, 6}},
        {"hyphenated and idn names kept",
         "lan-shan.com\nxn--fiqs8s.cn\n北京.中国\n",
         {"lan-shan.com", "xn--fiqs8s.cn", "北京.中国"},
         {}},
    };
}

class NameListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(NameListTest, NamesAndSkippedLines) {
    const ListCase& c = GetParam();
    const NameList list = parseNameList(c.bytes);
    EXPECT_EQ(list.names, c.names);
    std::vector<std::size_t> lines;
    for (const auto& skipped : list.skipped) {
        lines.push_back(skipped.line);
        // The caller names the line; the message says what is wrong, once.
        EXPECT_EQ(skipped.message.find("行"), std::string::npos) << skipped.message;
        EXPECT_FALSE(skipped.message.empty());
    }
    EXPECT_EQ(lines, c.skippedLines);
    EXPECT_EQ(list.error, "");
}

INSTANTIATE_TEST_SUITE_P(ListFile, NameListTest, ::testing::ValuesIn(listCases()),
                         [](const auto& info) {
                             return jilan::testing::ruleName(info.param.rule);
                         });

TEST(NameListFile, ReadsTheFileAndReportsAMissingOne) {
    const jilan::testing::TempDir dir;
    dir.write("list.txt",
              "\xEF\xBB\xBF"
              "abc.com\r\nbad name\r\n");
    const std::atomic<bool> never{false};
    const NameList list = jilan::cli::readNameListFile(dir.file("list.txt"), never, nullptr);
    EXPECT_EQ(list.names, std::vector<std::string>{"abc.com"});
    ASSERT_EQ(list.skipped.size(), 1U);
    EXPECT_EQ(list.skipped[0].line, 2U);

    const NameList missing = jilan::cli::readNameListFile(dir.file("none.txt"), never, nullptr);
    EXPECT_NE(missing.error, "");
    EXPECT_EQ(missing.names.size(), 0U);
}

// Only regular files and pipes are lists, and a list is bounded in lines and bytes: anything
// else would fill the memory (a device never ends) or hang.
TEST(NameListFile, RefusesWhatIsNoListAndWhatIsTooLong) {
    const jilan::testing::TempDir dir;
    dir.write("four.txt", "a.com\nb.com\nc.com\nd.com\n");
    dir.write("big.txt", std::string(jilan::cli::ListLimits{}.maxBytes / 256 + 1, '\n'));
    std::filesystem::create_directory(dir.file("folder"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("sock");
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    jilan::cli::ListLimits small;
    small.maxLines = 3;
    small.maxBytes = jilan::cli::ListLimits{}.maxBytes / 256;  // 1 MiB
    const struct {
        std::string path;
        std::string saying;  // a part of the error
    } cases[] = {
        {dir.file("folder"), "文件夹"}, {"/dev/zero", "设备"},          {socketPath, "套接字"},
        {dir.file("four.txt"), "3 行"}, {dir.file("big.txt"), "1 MiB"},
    };
    const std::atomic<bool> never{false};
    for (const auto& c : cases) {
        const NameList list = jilan::cli::readNameListFile(c.path, never, nullptr, small);
        EXPECT_NE(list.error.find(c.saying), std::string::npos) << c.path << ": " << list.error;
        EXPECT_TRUE(list.names.empty()) << c.path;
    }
    ::close(sock);

    // The reader tells how far it has come; a run shows it only for a list longer than the
    // step: a bar on a terminal, a start line elsewhere, and the summary after either.
    small.maxLines = 100;
    jilan::cli::ListReadProgress last;
    jilan::cli::readNameListFile(
        dir.file("four.txt"), never, [&](const jilan::cli::ListReadProgress& p) { last = p; },
        small);
    EXPECT_EQ(last.lines, 4U);
    EXPECT_EQ(last.bytes, 24U);
    EXPECT_EQ(last.size, 24U);
    const struct {
        bool terminal;
        std::size_t step;
        const char* shown;  // "": nothing
    } runs[] = {
        {false, 3, "正在读取名单 "},
        {true, 3, "\r读取 0.0/0.0 MiB"},
        {false, 5, ""},
        {true, 5, ""},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(std::to_string(run.terminal) + " " + std::to_string(run.step));
        small.progressEvery = run.step;
        const jilan::cli::Interruption interruption;
        std::ostringstream err;
        const auto read = jilan::cli::readListForRun(dir.file("four.txt"), interruption,
                                                     run.terminal, err, small);
        ASSERT_TRUE(std::holds_alternative<std::vector<std::string>>(read));
        EXPECT_EQ(std::get<std::vector<std::string>>(read).size(), 4U);
        const std::string text = err.str();
        if (*run.shown == '\0') {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_EQ(text.rfind(run.shown, 0), 0U) << text;
        EXPECT_EQ(text.find('\r') != std::string::npos, run.terminal) << text;
        EXPECT_NE(text.find("名单读完：4 个域名\n"), std::string::npos) << text;
        if (run.terminal) {
            EXPECT_NE(text.find("\r\x1b[K名单读完"), std::string::npos) << "bar not cleared";
        }
    }
}

// The real program waits for a FIFO's writer and still ends within a second of SIGTERM.
TEST(NameListFile, TheProgramWaitingForAFifoEndsOnSigterm) {
    const jilan::testing::TempDir dir;
    const std::string fifo = dir.file("names.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string home = dir.path().string();
    jilan::testing::ForkedChild program([&](int) {
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        const std::string out = home + "/out.csv";
        ::execl(JILAN_PROGRAM_PATH, JILAN_PROGRAM_PATH, "--details-from", fifo.c_str(), "--output",
                out.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
    ASSERT_TRUE(program.started());
    // Waits until the program holds the FIFO open, so the signal reaches the reader.
    const auto holdsFifo = [&] {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(
                 "/proc/" + std::to_string(program.pid()) + "/fd", ec)) {
            if (std::filesystem::read_symlink(entry.path(), ec) == fifo) {
                return true;
            }
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!holdsFifo() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(holdsFifo()) << "the program never opened the FIFO";
    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(program.kill(SIGTERM));
    while (!program.endedOnItsOwn() &&
           std::chrono::steady_clock::now() - signalled < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto took = std::chrono::steady_clock::now() - signalled;
    const std::optional<int> status = program.wait();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by a signal instead of stopping";
    EXPECT_EQ(WEXITSTATUS(*status), 143);
    EXPECT_LT(took, std::chrono::seconds(1));
}

}  // namespace
