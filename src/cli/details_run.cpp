#include "details_run.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "base/domain_name.h"
#include "details/detail_service.h"
#include "filter/score.h"
#include "list_for_run.h"
#include "progress_line.h"
#include "query/detail_batch.h"
#include "table_output.h"
#include "window_less_runs.h"

namespace jilan::cli {

void orderCandidates(std::vector<Candidate>& names, const Settings& settings) {
    if (settings.order == OutputOrder::AsFound) {
        return;
    }
    // Each name's key is made once, not at every comparison.
    std::vector<std::pair<OrderKey, std::size_t>> keys;
    keys.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int score = settings.order == OutputOrder::Score
                              ? filter::scoreValue(names[i].features, settings.scoreWeights)
                              : -1;
        keys.emplace_back(orderKeyOf(score, names[i].domain), i);
    }
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return comesBefore(settings.order, a.first, b.first);
    });
    std::vector<Candidate> ordered;
    ordered.reserve(names.size());
    for (const auto& [key, index] : keys) {
        ordered.push_back(std::move(names[index]));
    }
    names = std::move(ordered);
}

int writeCandidates(std::vector<Candidate> names, const OutputTarget& target,
                    const Settings& settings, const Interruption& interruption, std::ostream& err,
                    int status) {
    orderCandidates(names, settings);
    // The names asked: the first maxNames that are domains at all. The rest stay in the file,
    // those beyond the cap marked as such, those that are no domain marked by their column.
    std::vector<std::string> domains;
    std::vector<std::size_t> askedRow;
    std::size_t overCap = 0;
    if (settings.details) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!base::isDomainName(names[i].domain)) {
                continue;
            }
            if (domains.size() >= settings.maxNames) {
                ++overCap;
                continue;
            }
            domains.push_back(names[i].domain);
            askedRow.push_back(i);
        }
    }
    if (overCap > 0) {
        err << "另有 " << overCap << " 个域名超出 --max-names " << settings.maxNames
            << "，本次未查询（文件中标为“" << query::kNotAskedOverCap << "”）\n";
    }
    details::DetailRunOutcome outcome;
    if (!domains.empty()) {
        details::DetailSettings detail;
        detail.urls = settings.urls;
        detail.pauseMs = settings.pauseMs;
        detail.maxAgeHours = settings.maxAgeHours;
        detail.historyPath = settings.historyPath;
        detail.limits = settings.limits;
        ProgressLine progress(err, settings.terminalProgress, "查询", "个域名");
        progress.followResizes(interruption.resizes);
        progress.start(domains.size(), ProgressLine::Clock::now());
        outcome = details::runDetails(
            domains, detail, interruption.requested, err, [&](const details::DetailProgress& p) {
                progress.update({.done = p.done, .total = p.total, .failed = p.failed},
                                ProgressLine::Clock::now());
            });
        progress.finish();
    }
    std::vector<const details::NameDetails*> rowDetails(names.size(), nullptr);
    for (std::size_t k = 0; k < askedRow.size() && k < outcome.details.size(); ++k) {
        if (!outcome.details[k].domain.empty()) {
            rowDetails[askedRow[k]] = &outcome.details[k];
        }
    }
    details::NameDetails notAsked;
    notAsked.result = std::string(query::kNotAskedOverCap);

    TableOutput table(target, names.size(), settings.scoreWeights);
    for (std::size_t i = 0; i < names.size() && table.ok(); ++i) {
        const Candidate& c = names[i];
        const details::NameDetails* details = rowDetails[i];
        if (details == nullptr && overCap > 0 && base::isDomainName(c.domain)) {
            notAsked.domain = c.domain;
            details = &notAsked;
        }
        if (target.format == exporting::Format::Txt) {
            table.addDomain(c.domain);
        } else {
            table.add(c.features, c.seen ? &*c.seen : nullptr, details);
        }
    }
    const bool interrupted = interruption.requested || outcome.interrupted;
    if (const io::WriteStatus failed = table.commit()) {
        err << writeFailureMessage(*failed) << '\n';
        status = firstExitStatus(status, exitStatus(ExitCode::OutputNotWritable));
        return interrupted ? firstExitStatus(status, interruption.exitStatus()) : status;
    }
    if (target.path != "-") {
        err << "已写入 " << table.rows() << " 个域名：" << target.path << '\n';
    }
    if (interrupted) {
        err << "已中断，已写入目前的结果\n";
        return firstExitStatus(status, interruption.exitStatus());
    }
    if (!outcome.historyProblem.empty()) {
        status = firstExitStatus(status, exitStatus(ExitCode::HistoryUnavailable));
    }
    if (outcome.stoppedBySite || outcome.allFailed) {
        if (outcome.allFailed) {
            err << "全部域名查询失败\n";
        }
        status = firstExitStatus(status, exitStatus(ExitCode::SiteRefused));
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

    auto read = readListForRun(listPath, interruption, settings.terminalProgress, err);
    if (const int* status = std::get_if<int>(&read)) {
        return *status;
    }
    const std::vector<std::string>& listed = std::get<std::vector<std::string>>(read);

    auto prepared = prepareOutput(settings.output, settings.format, std::time(nullptr), true);
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
    for (const std::string& domain : listed) {
        Candidate c{domain, filter::computeFeatures(domain), std::nullopt};
        if (!filter.matches(c.features, false)) {
            continue;
        }
        if (reader && reader->ok()) {
            c.seen = reader->lookup(domain);
        }
        names.push_back(std::move(c));
    }
    int status = exitStatus(ExitCode::Ran);
    if (reader && !reader->ok()) {
        err << reader->unavailableReason() << '\n';
        status = exitStatus(ExitCode::HistoryUnavailable);
    }
    reader.reset();
    Settings run = settings;
    run.details = true;
    return writeCandidates(std::move(names), target, run, interruption, err, status);
}

}  // namespace jilan::cli
