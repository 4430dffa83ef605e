// The market-sim executable: port line, request log, faults from flags, exit codes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "http_io.h"
#include "sim_content.h"
#include "sim_test_support.h"
#include "temp_dir.h"

extern char** environ;

namespace jilan::sim {
namespace {

using namespace std::chrono_literals;
using test::getRequest;
using test::rawExchange;

// A running market-sim process with its stdout and stderr on pipes; killed if still running
// when destroyed.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) {
        std::array<int, 2> out{};
        std::array<int, 2> err{};
        if (::pipe2(out.data(), O_CLOEXEC) != 0 || ::pipe2(err.data(), O_CLOEXEC) != 0) {
            return;
        }
        stdout_ = Fd(out[0]);
        stderr_ = Fd(err[0]);
        Fd outWrite(out[1]);
        Fd errWrite(err[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
        std::vector<std::string> all = {MARKET_SIM_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, MARKET_SIM_EXE, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool spawned() const { return pid_ > 0; }

    // First line on stdout, without the newline; std::nullopt on timeout or EOF.
    std::optional<std::string> readStdoutLine(std::chrono::milliseconds timeout) {
        return readLine(stdout_, stdoutBuf_, timeout);
    }
    // Everything on stderr until `needle` shows up or the timeout passes.
    std::string readStderrUntil(std::string_view needle, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (stderrBuf_.find(needle) == std::string::npos &&
               readSome(stderr_, stderrBuf_, deadline)) {
        }
        return stderrBuf_;
    }

    // Sends `signal` and waits for the exit; the exit status, or -1 on timeout / abnormal end.
    int signalAndWait(int signal, std::chrono::milliseconds timeout) {
        ::kill(pid_, signal);
        return waitExit(timeout);
    }
    int waitExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            ::usleep(10000);
        }
        return -1;
    }

private:
    static bool readSome(const Fd& fd, std::string& buf,
                         std::chrono::steady_clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        std::array<char, 4096> chunk{};
        ssize_t n = ::read(fd.get(), chunk.data(), chunk.size());
        if (n <= 0) {
            return false;
        }
        buf.append(chunk.data(), static_cast<std::size_t>(n));
        return true;
    }
    static std::optional<std::string> readLine(const Fd& fd, std::string& buf,
                                               std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (buf.find('\n') == std::string::npos) {
            if (!readSome(fd, buf, deadline)) {
                return std::nullopt;
            }
        }
        std::string line = buf.substr(0, buf.find('\n'));
        buf.erase(0, line.size() + 1);
        return line;
    }

    pid_t pid_ = -1;
    Fd stdout_;
    Fd stderr_;
    std::string stdoutBuf_;
    std::string stderrBuf_;
};

int portFromLine(const std::string& line) {
    static const std::string kPrefix = "market-sim listening on http://127.0.0.1:";
    if (!line.starts_with(kPrefix)) {
        return 0;
    }
    return std::stoi(line.substr(kPrefix.size()));
}

TEST(Cli, PrintsThePortServesAndExitsCleanlyOnStopSignals) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        SimProcess sim({"--pages", "3"});
        ASSERT_TRUE(sim.spawned());
        const auto line = sim.readStdoutLine(5000ms);
        ASSERT_TRUE(line.has_value());
        const int port = portFromLine(*line);
        ASSERT_GT(port, 0) << *line;
        const auto page = rawExchange(port, getRequest("/search?p=3"), 3000ms);
        EXPECT_EQ(page.status, 200);
        EXPECT_EQ(test::extractRowDomains(page.body).size(), 50u);
        EXPECT_EQ(test::extractRowDomains(rawExchange(port, getRequest("/search?p=4"), 3000ms).body)
                      .size(),
                  0u);
        EXPECT_EQ(sim.signalAndWait(signal, 5000ms), 0);
    }
}

TEST(Cli, LogsEachRequestWithIfModifiedSince) {
    SimProcess sim({"--log", "--page-fault", "2=status-404", "--port=0"});
    const auto line = sim.readStdoutLine(5000ms);
    ASSERT_TRUE(line.has_value());
    const int port = portFromLine(*line);
    EXPECT_EQ(
        rawExchange(port, getRequest("/search?p=2", "If-Modified-Since: 0\r\n"), 3000ms).status,
        404);
    EXPECT_EQ(rawExchange(port, getRequest("/icp/x.com"), 3000ms).status, 200);
    const std::string log = sim.readStderrUntil("GET /icp/x.com\n", 3000ms);
    EXPECT_EQ(log, "GET /search?p=2 If-Modified-Since: 0\nGET /icp/x.com\n");
    EXPECT_EQ(sim.signalAndWait(SIGTERM, 5000ms), 0);
}

TEST(Cli, DayListingAndRequestLogFile) {
    jilan::testing::TempDir dir("sim-cli");
    const std::string logPath = dir.file("requests.log");
    SimProcess sim({"--day", "2", "--pages", "2", "--request-log", logPath, "--icp-fault",
                    "throttle-503", "--throttle-every", "1", "--retry-after", "9"});
    const auto line = sim.readStdoutLine(5000ms);
    ASSERT_TRUE(line.has_value());
    const int port = portFromLine(*line);
    Options day2;
    day2.day = 2;
    day2.pages = 2;
    EXPECT_EQ(test::extractRowDomains(rawExchange(port, getRequest("/search?p=2"), 3000ms).body),
              rowDomains(day2, 2));
    EXPECT_EQ(rawExchange(port, getRequest("/icp/a.com"), 3000ms).status, 200);
    const auto refused = rawExchange(port, getRequest("/icp/b.com"), 3000ms);
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.header("Retry-After"), "9");
    EXPECT_EQ(sim.signalAndWait(SIGTERM, 5000ms), 0);

    // ARRIVAL_MS COMPLETION_MS SITE STATUS METHOD TARGET, in completion order.
    std::ifstream in(logPath);
    std::vector<std::string> rest;
    long long previousCompletion = 0;
    for (std::string entry; std::getline(in, entry);) {
        std::istringstream fields(entry);
        long long arrival = 0;
        long long completion = 0;
        std::string remainder;
        fields >> arrival >> completion;
        std::getline(fields, remainder);
        EXPECT_LE(arrival, completion) << entry;
        EXPECT_GE(arrival, previousCompletion) << "the requests were sent one after another";
        previousCompletion = completion;
        rest.push_back(remainder);
    }
    EXPECT_EQ(rest,
              (std::vector<std::string>{" market 200 GET /search?p=2", " icp 200 GET /icp/a.com",
                                        " icp 503 GET /icp/b.com"}));
}

TEST(Cli, BadArgumentsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "x"}, {"--fault", "melt"}, {"--nope"}, {"--page-fault", "3"}, {"--day", "0"}};
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0]);
        SimProcess sim(args);
        ASSERT_TRUE(sim.spawned());
        EXPECT_EQ(sim.waitExit(5000ms), 2);
        EXPECT_NE(sim.readStderrUntil("usage:", 1000ms).find("usage:"), std::string::npos);
        EXPECT_EQ(sim.readStdoutLine(100ms), std::nullopt);
    }
}

TEST(Cli, BusyPortExitsWithOne) {
    SimProcess first({});
    const auto line = first.readStdoutLine(5000ms);
    ASSERT_TRUE(line.has_value());
    SimProcess second({"--port", std::to_string(portFromLine(*line))});
    EXPECT_EQ(second.waitExit(5000ms), 1);
    EXPECT_NE(second.readStderrUntil("bind", 1000ms).find("bind"), std::string::npos);
    EXPECT_EQ(first.signalAndWait(SIGTERM, 5000ms), 0);
}

}  // namespace
}  // namespace jilan::sim
