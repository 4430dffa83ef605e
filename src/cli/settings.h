#pragma once

// What one start of the program asks for, parsed once from its command line: which run, and
// every setting of it. The window binary reads the same type and hands the runs it does not
// open a window for to the same code as the command-line program.

#include <cstddef>
#include <string>
#include <vector>

#include "config/urls.h"
#include "filter/score_weights.h"
#include "harvest/harvester.h"
#include "net/fetch_result.h"
#include "program/application.h"

namespace jilan::cli {

enum class RunMode { Window, Harvest, Query, SearchHistory, DetailsFrom, Explain, Help, Version };

struct Settings {
    RunMode mode = RunMode::Window;
    config::Urls urls = config::defaultUrls();
    harvest::HarvestOptions harvest;  // --parallel applied
    net::HttpLimits limits;

    std::string pages;        // --harvest, as typed; the harvest checks it like the page box
    std::string domain;       // --query
    std::string detailsFrom;  // --details-from LIST
    std::vector<std::string> explainNames;  // --explain NAME...

    // The score's weights: --score-config, else score.toml in the configuration folder when it
    // exists, else the defaults. Read by loadScoreWeights before the run starts.
    std::string scoreConfig;
    bool scoreConfigGiven = false;  // --score-config: the file must exist
    filter::ScoreWeights scoreWeights = filter::defaultScoreWeights();

    std::string historyPath;  // --history, else the default place; empty: --no-history
    std::string filter;       // the expression as typed (checked to compile); empty: every name
    bool newOnly = false;
    std::string output;        // may hold {date} / {time}; "-" is standard output
    std::string format;        // txt, csv or xlsx; empty: from the output's name
    std::string since, until;  // --search-history range: YYYY-MM-DD, local dates; empty: open
    bool details = false;      // --details (always with --details-from)
    std::size_t maxNames = 1000;
    int pauseMs = 1000;  // also the pause of the window's 批量查询
    int maxAgeHours = 12;
    // Standard error is a terminal: long runs draw a progress bar there (progress_line.h);
    // otherwise they print no line per page or name.
    bool terminalProgress = false;
};

// What the window takes of the settings.
inline program::AppOptions windowOptions(const Settings& settings) {
    return program::AppOptions{settings.urls, settings.harvest, settings.historyPath,
                               settings.pauseMs};
}

}  // namespace jilan::cli
