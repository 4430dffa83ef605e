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
#include "notify_run.h"
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

}  // namespace

int runCommandLine(const ParsedCommandLine& parsed, std::string_view program, std::ostream& out,
                   std::ostream& err) {
    if (!parsed.ok()) {
        return reportErrors(parsed, program, err);
    }
    Settings settings = parsed.settings;
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
            return quietly(settings, err,
                           [&settings](std::ostream& e) { return runWritingFile(settings, e); });
        case RunMode::Query:
            return quietly(settings, err, [&](std::ostream& e) {
                return runHeadlessQuery(settings.domain, settings, out, e);
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
        case RunMode::Window:
            break;
    }
    err << program
        << ": 没有可在窗口外运行的任务：请给出 --harvest、--query、--search-history、"
           "--details-from 或 --explain（窗口请运行 jilan-harvester）\n";
    err << "请运行 " << program << " --help 查看用法。\n";
    return exitStatus(ExitCode::BadOptions);
}

}  // namespace jilan::cli
