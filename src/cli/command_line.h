#pragma once

// The command line of both programs: one table of options, read into one Settings. No toolkit:
// the window binary reads its arguments with the same code once the toolkit has taken its own.

#include <string>
#include <string_view>
#include <vector>

#include "config/urls.h"
#include "harvest/listing_batch.h"
#include "settings.h"

namespace jilan::cli {

// The range the batch scheduler accepts, so that the option and the scheduler agree.
inline constexpr int kMinParallel = harvest::kMinParallel;
inline constexpr int kMaxParallel = harvest::kMaxParallel;

// One option of the table: its long names (the first is the one shown), an optional one-letter
// name, the name of its value (empty for a switch) and its Chinese description.
struct OptionSpec {
    std::vector<std::string_view> names;
    std::string_view shortName;
    std::string_view valueName;
    std::string description;
};

// Every option, in the order --help lists them.
const std::vector<OptionSpec>& optionTable();

struct ParsedCommandLine {
    Settings settings;
    std::vector<std::string> errors;  // one line each; empty when the command line is fine
    bool ok() const { return errors.empty(); }
    // The settings file (config.toml) could not be used: its Chinese message. The URLs were
    // then resolved without it. A window-less run stops on it; the window warns and goes on.
    std::string sitesFileProblem;
};

// Reads the program's arguments (program name first). URLs come from the defaults, then the
// settings file config.toml (found through `env`), then JILAN_*_URL from `env`, then the options.
// Options are `--name value`, `--name=value` or
// `-name value`; `--` ends them.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args,
                                   const config::EnvLookup& env);

// Decided before any toolkit exists: false when the arguments ask for no window (a run, help,
// version) or are certainly wrong, so that they are answered without a display. Options only
// the window toolkit knows (-platform, -style...) count as possibly right.
bool needsWindow(const std::vector<std::string>& args, const config::EnvLookup& env);

// The --help text of `program` (the name it was started by): usage, options, exit codes.
std::string helpText(std::string_view program);
// The --version text of `program`, one line.
std::string versionText(std::string_view program);

}  // namespace jilan::cli
