#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "config/urls.h"

namespace jilan::ui {

enum class RunMode { Window, Harvest, Query, Help, Version };

inline constexpr int kMinParallel = 1;
inline constexpr int kMaxParallel = 8;

struct LaunchOptions {
    RunMode mode = RunMode::Window;
    config::Urls urls = config::defaultUrls();
    int parallel = 0;    // 0: the harvester's own default
    std::string pages;   // --harvest, as typed; the harvest checks it like the page box
    std::string output;  // --output
    std::string domain;  // --query
};

struct ParsedCommandLine {
    LaunchOptions options;
    std::vector<std::string> errors;  // one line each; empty when the command line is fine
    bool ok() const { return errors.empty(); }
};

// Reads the program's arguments (program name first). URLs come from the
// defaults, then JILAN_*_URL from `env`, then the options.
ParsedCommandLine parseCommandLine(const QStringList& args, const config::EnvLookup& env);

// Decided before any application object exists: false when the arguments ask
// for no window (--harvest, --query, --help, --version) or are certainly wrong,
// so that they are answered without a display. Options only the toolkit knows
// (-platform, -style...) count as possibly right.
bool needsWindow(const QStringList& args, const config::EnvLookup& env);

// The --help text.
QString helpText();
// The --version text, one line.
QString versionText();

}  // namespace jilan::ui
