// Child processes of a test: a program run with exactly the given environment, its output kept
// in files and a watchdog that kills it when it hangs (a hang fails the test; it is not a speed
// requirement), and a function run in a forked copy of the test, killed and reaped however the
// test leaves the scope.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace jilan::testing {

using Environment = std::map<std::string, std::string>;

struct ChildResult {
    int exitCode = -1;  // -1 when it did not exit normally
    bool killedByWatchdog = false;
    std::string out;
    std::string err;
};

// argv[0] is a path; the outputs go through files in `scratch`. `duringRun`, when given, is
// called with the child's pid every 20 ms while it runs (to kill it, or to change its world).
ChildResult runChild(const std::vector<std::string>& argv, const Environment& env,
                     const std::filesystem::path& scratch, std::chrono::seconds watchdog,
                     const std::function<void(pid_t)>& duringRun = {});

std::string readWholeFile(const std::filesystem::path& path);

// `body(report)` run in a forked child, which then ends with body's result and never returns
// into the test framework. What the body writes to `report` reaches the parent through a pipe.
class ForkedChild {
public:
    explicit ForkedChild(const std::function<int(int report)>& body);
    ~ForkedChild();
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    bool started() const { return started_; }
    // One byte of the report; false once the child has closed it.
    bool readByte();
    // The rest of the report, up to the child's end.
    std::string readReport();
    // SIGKILL unless another signal is named.
    bool kill(int signalNumber = 9);
    pid_t pid() const { return pid_; }
    // True once the child has ended by itself; its status is kept for wait().
    bool endedOnItsOwn();
    // The child's wait status; nullopt when it cannot be had.
    std::optional<int> wait();

private:
    bool started_ = false;
    pid_t pid_ = -1;
    int report_ = -1;
    std::optional<int> status_;
};

}  // namespace jilan::testing
