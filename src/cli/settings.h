#pragma once

// What one start of the program asks for, parsed once from its command line: which run, and
// every setting of it. The window binary reads the same type and hands the runs it does not
// open a window for to the same code as the command-line program.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "config/urls.h"
#include "filter/score_weights.h"
#include "harvest/harvester.h"
#include "net/fetch_result.h"
#include "output_order.h"
#include "program/application.h"

namespace jilan::cli {

enum class RunMode {
    Window,
    Harvest,
    Query,
    SearchHistory,
    DetailsFrom,
    Explain,
    CheckHistory,
    RestoreHistory,
    Help,
    Version,
    NotifyTest,  // --notify-test
    Notify,      // --notify or --notify-resend without --harvest
    Watch,       // --watch NAME... or --watch-from FILE
    Unwatch,     // --unwatch NAME...
    Watchlist,   // --watchlist
    Remind,      // --remind
    Stats,       // --stats
};

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
    // scoreWeights came from a file: the scores the history stores (default weights) do not
    // apply, each is computed when read.
    bool scoreConfigRead = false;

    std::string historyPath;  // --history, else the default place; empty: --no-history
    std::string filter;       // the expression as typed (checked to compile); empty: every name
    bool newOnly = false;
    bool yes = false;          // --restore-history without asking
    std::string output;        // may hold {date} / {time}; "-" is standard output
    std::string format;        // txt, csv or xlsx; empty: from the output's name
    std::string since, until;  // --search-history range: YYYY-MM-DD, local dates; empty: open
                               // (--stats: since, a Beijing date; empty: the last 30 days)
    OutputOrder order = OutputOrder::AsFound;  // --sort
    bool details = false;                      // --details (always with --details-from)
    std::size_t maxNames = 1000;
    int pauseMs = 1000;  // also the pause of the window's 批量查询
    int maxAgeHours = 12;
    // --quiet: no messages unless the run fails; then every message it had is written.
    bool quiet = false;

    // Notifications: --notify-config, else notify.toml in the configuration folder.
    std::string notifyConfig;
    bool notify = false;        // --notify: send the digests after the harvest
    bool notifyResend = false;  // --notify-resend: send the newest run's digests again

    // The watchlist: the names of --watch / --unwatch as typed, --watch-from's list, --note.
    std::vector<std::string> watchNames;
    std::string watchFrom;
    std::optional<std::string> note;

    // Standard error is a terminal: long runs draw a progress bar there (progress_line.h);
    // otherwise they print no line per page or name.
    bool terminalProgress = false;
};

// What the window takes of the settings.
inline program::AppOptions windowOptions(const Settings& settings) {
    return program::AppOptions{settings.urls, settings.harvest, settings.historyPath,
                               settings.pauseMs, settings.scoreWeights};
}

}  // namespace jilan::cli
