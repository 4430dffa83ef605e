#include "run.h"

#include <ctime>
#include <iostream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "explain_run.h"
#include "headless.h"
#include "history_care.h"
#include "interrupt_watch.h"
#include "net/listen_probe.h"
#include "notify_run.h"
#include "progress_line.h"
#include "remind_command.h"
#include "stats_run.h"
#include "watch_run.h"
#include "window_less_runs.h"

namespace jilan::cli {

namespace {

int reportErrors(const ParsedCommandLine& parsed, std::string_view program, std::ostream& err) {
    for (const std::string& error : parsed.errors) {
        err << program << ": " << error << '\n';
    }
    err << "请运行 " << program << " --help 查看用法。\n";
    return exitStatus(ExitCode::BadOptions);
}

// The runs that write a file: SIGINT and SIGTERM stop them, and they write what they did.
int runWritingFile(const Settings& settings, std::ostream& err) {
    Interruption interruption;
    const InterruptWatch watch(interruption);
    switch (settings.mode) {
        case RunMode::Harvest:
            return runHarvestCommand(settings.pages, settings, interruption, err);
        case RunMode::SearchHistory:
            return runSearchHistoryCommand(settings, interruption, err);
        default:
            return runDetailsFromCommand(settings.detailsFrom, settings, interruption, err);
    }
}

// A run with --quiet: its messages are held back and written only when it fails.
template <typename Run>
int quietly(const Settings& settings, std::ostream& err, Run run) {
    if (!settings.quiet) {
        return run(err);
    }
    std::ostringstream held;
    const int status = run(held);
    if (status != exitStatus(ExitCode::Ran)) {
        err << held.str() << std::flush;
    }
    return status;
}

// A run that reached for the marketplace at the built-in demo address, with no demo site there:
// the user most likely has not said where the real one is.
void hintAtDemoAddress(const Settings& settings, int status, std::ostream& err) {
    const bool network = settings.mode != RunMode::SearchHistory || settings.details;
    if (!network || settings.urls.market != config::defaultUrls().market ||
        status == exitStatus(ExitCode::BadOptions) ||
        status == exitStatus(ExitCode::OutputNotWritable)) {
        return;
    }
    if (!net::acceptsConnections(settings.urls.market, 1000)) {
        err << "交易平台网址仍为演示地址，请在 config.toml 中设置\n";
    }
}

}  // namespace

int runCommandLine(const ParsedCommandLine& parsed, std::string_view program, std::ostream& out,
                   std::ostream& err) {
    if (!parsed.ok()) {
        return reportErrors(parsed, program, err);
    }
    if (!parsed.sitesFileProblem.empty()) {
        err << program << ": " << parsed.sitesFileProblem << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    Settings settings = parsed.settings;
    // A quiet run draws nothing: what it holds back is printed only when it fails.
    settings.terminalProgress =
        !settings.quiet && &err == &std::cerr && ProgressLine::stderrIsTerminal();
    // A bad score.toml ends the run before it sends anything.
    if (const std::optional<std::string> problem = loadScoreWeights(settings)) {
        err << program << ": " << *problem << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    switch (settings.mode) {
        case RunMode::Help:
            out << helpText(program);
            return exitStatus(ExitCode::Ran);
        case RunMode::Version:
            out << versionText(program) << '\n';
            return exitStatus(ExitCode::Ran);
        case RunMode::Harvest:
        case RunMode::SearchHistory:
        case RunMode::DetailsFrom:
            return quietly(settings, err, [&settings](std::ostream& e) {
                const int status = runWritingFile(settings, e);
                hintAtDemoAddress(settings, status, e);
                return status;
            });
        case RunMode::Query:
            return quietly(settings, err, [&](std::ostream& e) {
                const int status = runHeadlessQuery(settings.domain, settings, out, e);
                hintAtDemoAddress(settings, status, e);
                return status;
            });
        case RunMode::Explain:
            return runExplainCommand(settings, out);
        case RunMode::CheckHistory:
            return runCheckHistoryCommand(settings, out, err);
        case RunMode::RestoreHistory:
            return runRestoreHistoryCommand(settings, std::cin, err, std::time(nullptr));
        case RunMode::NotifyTest:
            return runNotifyTest(settings, out, err);
        case RunMode::Notify:
            return runNotifyMissing(settings, err);
        case RunMode::Watch: {
            Interruption interruption;
            const InterruptWatch watch(interruption);
            return runWatchCommand(settings, interruption, out, err, watchlist::systemClock());
        }
        case RunMode::Unwatch:
            return runUnwatchCommand(settings, out, err);
        case RunMode::Watchlist:
            return runWatchlistCommand(settings, out, err, watchlist::systemClock());
        case RunMode::Remind:
            return runRemindCommand(settings, err, watchlist::systemClock());
        case RunMode::Stats:
            return runStatsCommand(settings, std::time(nullptr), err);
        case RunMode::Window:
            break;
    }
    err << program
        << ": 没有可在窗口外运行的任务：请给出 --harvest、--query、--search-history、"
           "--details-from、--explain、--check-history、--restore-history、--notify、"
           "--notify-test 或 --stats（窗口请运行 jilan-harvester）\n";
    err << "请运行 " << program << " --help 查看用法。\n";
    return exitStatus(ExitCode::BadOptions);
}

}  // namespace jilan::cli
