#pragma once

// What both programs do with a command line that opens no window: report its errors, print
// help or the version, or run the harvest, query, history search or list's details it asks for.

#include <iosfwd>
#include <string_view>

#include "command_line.h"

namespace jilan::cli {

// Runs what `parsed` asks for and returns the exit status. `program` is the name the help and
// the error lines use. A command line that asks for the window is a usage error here.
int runCommandLine(const ParsedCommandLine& parsed, std::string_view program, std::ostream& out,
                   std::ostream& err);

}  // namespace jilan::cli
