#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace jilan::testing {

namespace {

// posix_spawn's file actions, released however the spawn ends.
class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ChildResult runChild(const std::vector<std::string>& argv, const Environment& env,
                     const std::filesystem::path& scratch, std::chrono::seconds watchdog,
                     const std::function<void(pid_t)>& duringRun) {
    ChildResult result;
    const std::string outPath = (scratch / "child.out").string();
    const std::string errPath = (scratch / "child.err").string();
    FileActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 1, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(actions.get(), 2, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> args = argv;
    Environment withTools = env;
    // The sanitizer build's settings (suppressions, abort on error) reach the child too; they
    // are the test's tooling, not part of what a launcher would give the program.
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name); value != nullptr && !withTools.contains(name)) {
            withTools[name] = value;
        }
    }
    std::vector<std::string> vars;
    for (const auto& [name, value] : withTools) {
        vars.push_back(name + "=" + value);
    }
    auto argp = pointers(args);
    auto envp = pointers(vars);
    pid_t pid = 0;
    if (posix_spawn(&pid, argp[0], actions.get(), nullptr, argp.data(), envp.data()) != 0) {
        result.err = "could not start " + argv.front();
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + watchdog;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (duringRun) {
            duringRun(pid);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.killedByWatchdog = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.out = readWholeFile(outPath);
    result.err = readWholeFile(errPath);
    return result;
}

ForkedChild::ForkedChild(const std::function<int(int report)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        ::_exit(body(fds[1]));
    }
    ::close(fds[1]);
    report_ = fds[0];
    started_ = pid_ > 0;
}

ForkedChild::~ForkedChild() {
    if (pid_ > 0 && !status_) {
        kill();
        wait();
    }
    if (report_ >= 0) {
        ::close(report_);
    }
}

bool ForkedChild::readByte() {
    char byte = 0;
    return ::read(report_, &byte, 1) == 1;
}

std::string ForkedChild::readReport() {
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(report_, buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

bool ForkedChild::kill(int signalNumber) {
    return pid_ > 0 && !status_ && ::kill(pid_, signalNumber) == 0;
}

bool ForkedChild::endedOnItsOwn() {
    if (pid_ <= 0 || status_) {
        return true;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        return true;
    }
    return false;
}

std::optional<int> ForkedChild::wait() {
    if (pid_ > 0 && !status_) {
        int status = 0;
        pid_t r = 0;
        while ((r = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
        }
        if (r == pid_) {
            status_ = status;
        } else {
            pid_ = -1;  // nothing left to wait for
        }
    }
    return status_;
}

}  // namespace jilan::testing
