#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <unordered_set>

#include "base/name_key.h"
#include "details_run.h"
#include "harvest_outcome.h"
#include "headless.h"
#include "history/store.h"
#include "history_care.h"
#include "listing_health.h"
#include "net/market_requests.h"
#include "notify_run.h"
#include "progress_line.h"
#include "watch_refresh.h"
#include "window_less_runs.h"

namespace jilan::cli {

namespace {

constexpr std::string_view kPageStatus = "正在采集第";

// Drives the harvest as the window's timer would, until it ends; an interruption stops it as
// the stop button does (the pages on the wire are still taken in).
void harvestUntilDone(HeadlessProgram& program, const Interruption& interruption,
                      ProgressLine& progress, const std::size_t& pagesAsked) {
    app::Form1& form = program.form;
    form.Command1.click();
    while (form.Timer1.enabled()) {
        const std::size_t onTheWire = program.application.harvester().inFlight();
        progress.update({.done = pagesAsked > onTheWire ? pagesAsked - onTheWire : 0,
                         .total = static_cast<std::size_t>(
                             std::max(1.0, harvest::parsePageLimit(form.Text1.text()).value_or(1))),
                         .found = form.List1.items().size(),
                         .failed = program.application.harvester().pagesFailed()},
                        ProgressLine::Clock::now());
        if (interruption.requested && form.Command1.caption() == app::kStopCaption) {
            form.Command1.click();
            program.drain();
            break;
        }
        program.pool.poll(form.Timer1.interval());
        form.Timer1.tick();
    }
    // A stop returns at once; the pages it left on the wire still come in.
    program.drain();
}

// The keys of the names new in the run (no completed run has seen them), or nullopt when the
// history cannot say.
std::optional<std::unordered_set<std::string>> newNamesOf(history::Reader& reader,
                                                          std::optional<std::int64_t> runId) {
    if (!reader.ok() || !runId) {
        return std::nullopt;
    }
    std::unordered_set<std::string> keys;
    const history::WalkResult walked = reader.newDomainsInRun(*runId, [&](std::string_view domain) {
        keys.insert(base::nameKey(domain));
        return true;
    });
    if (!walked.ok()) {
        return std::nullopt;
    }
    return keys;
}

}  // namespace

int runHarvestCommand(const std::string& pages, const Settings& settings,
                      const Interruption& interruption, std::ostream& err) {
    if (!harvest::parsePageLimit(pages)) {
        err << "--harvest 需要页数，不能是 \"" << pages << "\"\n";
        return exitStatus(ExitCode::BadOptions);
    }
    if (settings.newOnly && settings.historyPath.empty()) {
        err << "--new-only 需要历史记录，不能与 --no-history 同用\n";
        return exitStatus(ExitCode::BadOptions);
    }
    auto compiled = compileFilter(settings.filter, settings.scoreWeights);
    if (const auto* message = std::get_if<std::string>(&compiled)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    const filter::Filter& filter = std::get<filter::Filter>(compiled);
    auto prepared =
        prepareOutput(settings.output, settings.format, std::time(nullptr), settings.details);
    if (const auto* problem = std::get_if<OutputProblem>(&prepared)) {
        err << problem->message << '\n';
        return exitStatus(problem->code);
    }
    const OutputTarget& target = std::get<OutputTarget>(prepared);
    // A bad or loose notify.toml ends the run before any request.
    std::optional<push::NotifyConfig> notify;
    if (settings.notify) {
        auto loaded = loadNotifyConfig(settings);
        if (const auto* message = std::get_if<std::string>(&loaded)) {
            err << *message << '\n';
            return exitStatus(ExitCode::BadOptions);
        }
        notify = std::move(std::get<push::NotifyConfig>(loaded));
    }

    // The status texts go through the progress line: no line per page, a bar on a terminal.
    const double limit = *harvest::parsePageLimit(pages);
    ProgressLine progress(err, settings.terminalProgress, "采集", "页");
    progress.followResizes(interruption.resizes);
    std::size_t pagesAsked = 0;
    HeadlessProgram program(settings, err, [&](const std::string& status) {
        if (status.starts_with(kPageStatus)) {
            ++pagesAsked;
        } else {
            progress.note(status);
        }
    });
    auto& history = program.application.history();
    // The run's names stay new until its file is written and its digests are sent.
    history.deferCompletion();
    // The first listing page that answered without a row the parser could read.
    std::optional<std::pair<int, net::FetchResult>> unparsed;
    program.application.harvester().setUnparsedPageSink(
        [&unparsed](int page, const net::FetchResult& answer) {
            if (!unparsed) {
                unparsed.emplace(page, answer);
            }
        });
    program.form.Text1.setText(pages);
    // The harvest's own first status ("正在批量采集 ..") is the start line.
    progress.start(static_cast<std::size_t>(std::max(1.0, limit)), ProgressLine::Clock::now(),
                   false);
    harvestUntilDone(program, interruption, progress, pagesAsked);
    progress.finish();
    // Failed pages make the run fail (5 when none came, 3 when some did), file still written.
    int status = reportHarvest(program.application.harvester().lastOutcome(), err);
    std::string sample;
    if (unparsed) {
        const SavedSample saved = saveListingSample(
            diagnosticsFolder([](const std::string& name) -> std::optional<std::string> {
                const char* value = std::getenv(name.c_str());
                return value ? std::optional<std::string>(value) : std::nullopt;
            }),
            net::listingUrl(settings.urls.market, std::to_string(unparsed->first)),
            unparsed->second.status, unparsed->second.text, std::time(nullptr));
        sample = saved.path.empty() ? saved.problem : saved.path;
    }
    // No page of the run parsed although pages answered: the site's layout may have changed.
    const bool layoutChanged = unparsed && program.form.List1.listCount() == 0;
    if (layoutChanged) {
        err << "采集失败：列表页面格式可能已变化（已保存样本：" << sample << "）\n";
        status = firstExitStatus(status, exitStatus(ExitCode::HarvestFailed));
    } else if (unparsed) {
        // After good pages an unreadable one only ends the listing: no alert, the sample kept.
        err << "列表第 " << unparsed->first << " 页无法解析，采集到此为止（已保存样本：" << sample
            << "）\n";
    }
    history.flush();
    std::optional<history::Reader> reader;
    std::optional<std::unordered_set<std::string>> fresh;
    if (history.enabled()) {
        if (!history.unavailable()) {
            reader.emplace(history::Reader::open(settings.historyPath));
            fresh = newNamesOf(*reader, history.currentRunId());
        }
        if (!fresh) {
            const std::string reason = history.unavailable() ? history.unavailableReason()
                                       : reader && !reader->ok()
                                           ? reader->unavailableReason()
                                           : "历史记录不可用：本次采集未能记录";
            // The reasons name the history themselves ("历史记录不可用：...").
            err << reason << "；已写出全部符合条件的域名\n";
            status = firstExitStatus(status, exitStatus(ExitCode::HistoryUnavailable));
            reader.reset();
        }
    }

    // Without a history every name counts as new: nothing is held back that might be.
    std::vector<Candidate> names;
    const bool table = target.format != exporting::Format::Txt;
    for (const std::string& domain : program.form.List1.items()) {
        Candidate c{domain, filter::computeFeatures(domain), std::nullopt};
        const bool isNew = !fresh || fresh->contains(base::nameKey(domain));
        if ((settings.newOnly && !isNew) || !filter.matches(c.features, isNew)) {
            continue;
        }
        if (table && reader) {
            c.seen = reader->lookup(domain);
        }
        names.push_back(std::move(c));
    }
    reader.reset();

    // A run that fetched no page knows nothing new: what an earlier run wrote stays as it is.
    std::error_code ec;
    if (history.lastRunPages().fetched() <= 0 && target.path != "-" &&
        std::filesystem::exists(target.path, ec)) {
        err << "本次采集没有取得任何一页，未改动已有的输出文件：" << target.path << '\n';
        if (notify && layoutChanged && !interruption.requested) {
            sendAlert(*notify, "采集异常：列表页面格式可能已变化（已保存样本：" + sample + "）",
                      err);
        }
        return interruption.requested ? interruption.exitStatus() : status;
    }
    status = writeCandidates(std::move(names), target, settings, interruption, err, status);
    const bool written =
        status != exitStatus(ExitCode::OutputNotWritable) && !interruption.requested;
    if (!written) {
        return status;
    }
    // Watched names: details refreshed, 已不在列表 only after a complete listing; the changes
    // wait in the store for the digest.
    if (history.enabled() && !history.unavailable() && !layoutChanged) {
        const harvest::HarvestOutcome& outcome = program.application.harvester().lastOutcome();
        const HarvestCoverage coverage{fresh ? history.currentRunId() : std::nullopt,
                                       // a listing ended by an unreadable page is not known whole
                                       outcome.listingEnd.has_value() && !unparsed,
                                       !outcome.failures.empty(), interruption.requested};
        status = refreshWatchlist(settings, program.form.List1.items(), coverage, interruption, err,
                                  std::time(nullptr), status)
                     .status;
    }
    if (notify && layoutChanged) {
        sendAlert(*notify, "采集异常：列表页面格式可能已变化（已保存样本：" + sample + "）", err);
    } else if (notify) {
        RunFacts facts;
        facts.runId = history.enabled() && fresh ? history.currentRunId() : std::nullopt;
        facts.outputFile = target.path;
        if (facts.runId) {
            history::Reader runs = history::Reader::open(settings.historyPath);
            if (const auto row = runs.run(*facts.runId)) {
                facts.somePagesFailed = row->pagesFailed > 0;
                if (auto note = belowMedianNote(settings.historyPath, *facts.runId, row->pageLimit,
                                                row->entries)) {
                    facts.notes.push_back(*note);
                }
            }
        }
        const ExitCode pushed = sendDigests(
            *notify, settings, facts,
            [&](const std::function<void(const std::string&, bool)>& each) {
                for (const std::string& domain : program.form.List1.items()) {
                    each(domain, !fresh || fresh->contains(base::nameKey(domain)));
                }
            },
            err);
        // 6 only when nothing earlier in the order of exit codes applies.
        status = firstExitStatus(status, exitStatus(pushed));
    }
    // The run completes: its file is written and every digest message is delivered or recorded
    // as failed. Its names stop being new for the runs after it.
    if (!history.enabled() || history.unavailable()) {
        return status;
    }
    history.completeRun();
    history.flush();
    if (history.unavailable()) {
        err << history.unavailableReason() << '\n';
        return firstExitStatus(status, exitStatus(ExitCode::HistoryUnavailable));
    }
    if (status != exitStatus(ExitCode::Ran)) {
        return status;
    }
    return careAfterRun(settings.historyPath, std::time(nullptr), err, status);
}

}  // namespace jilan::cli
