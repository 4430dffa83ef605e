#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace jilan::packaging {

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
                     const std::filesystem::path& scratch, std::chrono::seconds watchdog) {
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

}  // namespace jilan::packaging
