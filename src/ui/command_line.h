#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "config/urls.h"
#include "harvest/listing_batch.h"

namespace jilan::ui {

enum class RunMode { Window, Harvest, Query, SearchHistory, DetailsFrom, Help, Version };

// The range the batch scheduler accepts, so that the option and the scheduler agree.
inline constexpr int kMinParallel = harvest::kMinParallel;
inline constexpr int kMaxParallel = harvest::kMaxParallel;

struct LaunchOptions {
    RunMode mode = RunMode::Window;
    config::Urls urls = config::defaultUrls();
    int parallel = 0;    // 0: the harvester's own default
    std::string pages;   // --harvest, as typed; the harvest checks it like the page box
    std::string output;  // --output
    std::string domain;  // --query

    // The history: --history FILE, else the default place; --no-history turns it off.
    std::string historyPath;
    bool noHistory = false;
    std::string filter;  // --filter, checked to compile
    bool newOnly = false;
    std::string format;        // --format txt|csv|xlsx; empty: from the output's name
    std::string since, until;  // --search-history range, YYYY-MM-DD (checked)
    bool details = false;      // --details
    std::string detailsFrom;   // --details-from LIST
    int maxNames = 1000;       // --max-names
    int pauseMs = 1000;        // --pause-ms
    int maxAgeHours = 12;      // --max-age-hours, 0: always fetch
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
