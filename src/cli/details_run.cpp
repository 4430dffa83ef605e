#include "details_run.h"

#include <filesystem>
#include <ostream>

#include "details/detail_service.h"
#include "name_list_file.h"
#include "progress_line.h"
#include "table_output.h"
#include "window_less_runs.h"

namespace jilan::cli {

int writeCandidates(const std::vector<Candidate>& names, const OutputTarget& target,
                    const Settings& settings, const Interruption& interruption, std::ostream& err,
                    int status) {
    details::DetailRunOutcome outcome;
    if (settings.details && !names.empty()) {
        std::vector<std::string> domains;
        domains.reserve(names.size());
        for (const Candidate& c : names) {
            domains.push_back(c.domain);
        }
        details::DetailSettings detail;
        detail.urls = settings.urls;
        detail.pauseMs = settings.pauseMs;
        detail.maxAgeHours = settings.maxAgeHours;
        detail.historyPath = settings.historyPath;
        detail.limits = settings.limits;
        ProgressLine progress(err, settings.terminalProgress, "查询", "个域名");
        progress.start(domains.size(), ProgressLine::Clock::now());
        outcome = details::runDetails(
            domains, detail, interruption.requested, err, [&](const details::DetailProgress& p) {
                progress.update({.done = p.done, .total = p.total, .failed = p.failed},
                                ProgressLine::Clock::now());
            });
        progress.finish();
    }

    TableOutput table(target, names.size());
    for (std::size_t i = 0; i < names.size() && table.ok(); ++i) {
        const Candidate& c = names[i];
        const details::NameDetails* details =
            i < outcome.details.size() ? &outcome.details[i] : nullptr;
        if (details != nullptr && details->domain.empty()) {
            details = nullptr;
        }
        if (target.format == exporting::Format::Txt) {
            table.addDomain(c.domain);
        } else {
            table.add(c.features, c.seen ? &*c.seen : nullptr, details);
        }
    }
    if (const io::WriteStatus failed = table.commit()) {
        err << writeFailureMessage(*failed) << '\n';
        return exitStatus(ExitCode::OutputNotWritable);
    }
    if (target.path != "-") {
        err << "已写入 " << table.rows() << " 个域名：" << target.path << '\n';
    }
    if (interruption.requested || outcome.interrupted) {
        err << "已中断，已写入目前的结果\n";
        return interruption.exitStatus();
    }
    if (!outcome.historyProblem.empty() && status == exitStatus(ExitCode::Ran)) {
        status = exitStatus(ExitCode::HistoryUnavailable);
    }
    if (outcome.stoppedBySite || outcome.allFailed) {
        if (outcome.allFailed) {
            err << "全部域名查询失败\n";
        }
        return exitStatus(ExitCode::SiteRefused);
    }
    return status;
}

int runDetailsFromCommand(const std::string& listPath, const Settings& settings,
                          const Interruption& interruption, std::ostream& err) {
    auto compiled = compileFilter(settings.filter, settings.scoreWeights);
    if (const auto* message = std::get_if<std::string>(&compiled)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    const filter::Filter& filter = std::get<filter::Filter>(compiled);

    const NameList list = readNameListFile(listPath);
    if (!list.error.empty()) {
        err << list.error << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    for (const SkippedLine& skipped : list.skipped) {
        err << listPath << " 第" << skipped.line << "行：" << skipped.message << '\n';
    }

    auto prepared = prepareOutput(settings.output, settings.format, std::time(nullptr));
    if (const auto* problem = std::get_if<OutputProblem>(&prepared)) {
        err << problem->message << '\n';
        return exitStatus(problem->code);
    }
    const OutputTarget& target = std::get<OutputTarget>(prepared);

    // What the history remembers of each name fills the sighting columns; a queried name is
    // never recorded as seen.
    std::optional<history::Reader> reader;
    std::error_code ec;
    if (!settings.historyPath.empty() && std::filesystem::exists(settings.historyPath, ec)) {
        reader.emplace(history::Reader::open(settings.historyPath));
    }
    std::vector<Candidate> names;
    std::size_t overCap = 0;
    for (const std::string& domain : list.names) {
        Candidate c{domain, filter::computeFeatures(domain), std::nullopt};
        if (!filter.matches(c.features, false)) {
            continue;
        }
        if (names.size() >= settings.maxNames) {
            ++overCap;
            continue;
        }
        if (reader && reader->ok()) {
            c.seen = reader->lookup(domain);
        }
        names.push_back(std::move(c));
    }
    if (overCap > 0) {
        err << "另有 " << overCap << " 个域名超出 --max-names " << settings.maxNames
            << "，本次未查询\n";
    }
    int status = exitStatus(ExitCode::Ran);
    if (reader && !reader->ok()) {
        err << reader->unavailableReason() << '\n';
        status = exitStatus(ExitCode::HistoryUnavailable);
    }
    reader.reset();
    Settings run = settings;
    run.details = true;
    return writeCandidates(names, target, run, interruption, err, status);
}

}  // namespace jilan::cli
