#pragma once

// Shell completion for both programs, written from the option table (command_line.h), so that
// the completion knows exactly the options the program takes. A generator run at build time
// (gen_completion.cpp) writes the files the package installs.

#include <string>

namespace jilan::cli {

// The bash completion file: options, the choices of an option with a fixed set of values
// (--format), file names after an option that takes a file, filter words after --filter.
std::string bashCompletion();

// The same for zsh (#compdef jilan-harvester-cli jilan-harvester).
std::string zshCompletion();

}  // namespace jilan::cli
