// Command line of the market-sim executable.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim_options.h"

namespace jilan::sim {

struct CommandLine {
    Options options;
    bool help = false;
    std::string error;  // non-empty when the arguments are invalid
};

// Parses the arguments after the program name. Options take their value as the next argument
// or after '=' ("--port 8080", "--port=8080").
CommandLine parseCommandLine(std::span<const std::string_view> args);

std::string usageText();

}  // namespace jilan::sim
