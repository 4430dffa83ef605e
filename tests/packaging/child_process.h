// Runs a program with exactly the given environment, its output kept in files, and a watchdog
// that kills it when it hangs (a hang fails the test; it is not a speed requirement).
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "unit_file.h"

namespace jilan::packaging {

struct ChildResult {
    int exitCode = -1;  // -1 when it did not exit normally
    bool killedByWatchdog = false;
    std::string out;
    std::string err;
};

// argv[0] is a path; the outputs go through files in `scratch`.
ChildResult runChild(const std::vector<std::string>& argv, const Environment& env,
                     const std::filesystem::path& scratch, std::chrono::seconds watchdog);

std::string readWholeFile(const std::filesystem::path& path);

}  // namespace jilan::packaging
