#include <algorithm>
#include <limits>
#include <ostream>

#include "details_run.h"
#include "filter/score.h"
#include "program/history_filter.h"
#include "table_output.h"
#include "window_less_runs.h"

namespace jilan::cli {

namespace {

// The score a sorted search orders by: the stored one when the run scores with the default
// weights and the row's features are current, else computed from the features.
int scoreOf(const history::NameRow& row, const filter::NameFeatures& features,
            const Settings& settings) {
    if (!settings.scoreConfigRead && row.columns.featuresVersion == filter::kFeaturesVersion) {
        return row.columns.score;
    }
    return filter::scoreValue(features, settings.scoreWeights);
}

}  // namespace

int runSearchHistoryCommand(const Settings& settings, const Interruption& interruption,
                            std::ostream& err) {
    auto compiled = compileFilter(settings.filter, settings.scoreWeights);
    if (const auto* message = std::get_if<std::string>(&compiled)) {
        err << *message << '\n';
        return exitStatus(ExitCode::BadOptions);
    }
    const filter::Filter& filter = std::get<filter::Filter>(compiled);

    // The range holds whole local days: from the midnight starting `since` to the one ending
    // `until`.
    std::int64_t since = std::numeric_limits<std::int64_t>::min();
    std::int64_t until = std::numeric_limits<std::int64_t>::max();
    if (!settings.since.empty()) {
        const auto start = localMidnightUtc(settings.since);
        if (!start) {
            err << "--since 需要日期 YYYY-MM-DD，不能是 \"" << settings.since << "\"\n";
            return exitStatus(ExitCode::BadOptions);
        }
        since = *start;
    }
    if (!settings.until.empty()) {
        const auto end = localMidnightUtc(settings.until);
        if (!end) {
            err << "--until 需要日期 YYYY-MM-DD，不能是 \"" << settings.until << "\"\n";
            return exitStatus(ExitCode::BadOptions);
        }
        // The next local midnight; mktime finds it across a daylight-saving change too.
        std::tm tm{};
        const std::time_t t = static_cast<std::time_t>(*end);
        localtime_r(&t, &tm);
        tm.tm_mday += 1;
        tm.tm_hour = 0;
        tm.tm_min = 0;
        tm.tm_sec = 0;
        tm.tm_isdst = -1;
        until = static_cast<std::int64_t>(std::mktime(&tm));
    }
    if (settings.historyPath.empty()) {
        err << "--search-history 需要历史记录，不能与 --no-history 同用\n";
        return exitStatus(ExitCode::BadOptions);
    }

    auto prepared =
        prepareOutput(settings.output, settings.format, std::time(nullptr), settings.details);
    if (const auto* problem = std::get_if<OutputProblem>(&prepared)) {
        err << problem->message << '\n';
        return exitStatus(problem->code);
    }
    const OutputTarget& target = std::get<OutputTarget>(prepared);

    history::Reader reader = history::Reader::open(settings.historyPath);
    int status = exitStatus(ExitCode::Ran);
    if (!reader.ok()) {
        err << reader.unavailableReason() << '\n';
        status = exitStatus(ExitCode::HistoryUnavailable);
    }
    const history::SearchHints hints = program::searchHintsFor(filter);
    // No name can pass: nothing to read.
    const bool searchable = reader.ok() && !filter.bounds().empty();
    const auto wanted = [&](const history::NameRow& row, filter::NameFeatures& features) {
        features = featuresOf(row);
        const bool isNew = row.firstSeen >= since && row.firstSeen < until;
        return filter.matches(features, isNew);
    };

    if (settings.details) {
        // The names passing the filter are collected, the first --max-names of them queried,
        // then all written.
        std::vector<Candidate> names;
        if (searchable) {
            const history::WalkResult walked = reader.search(
                since, until,
                [&](const history::NameRow& row) {
                    filter::NameFeatures features;
                    if (!wanted(row, features)) {
                        return !interruption.requested;
                    }
                    names.push_back(Candidate{row.domain, std::move(features), row});
                    return !interruption.requested;
                },
                hints);
            if (!walked.ok()) {
                err << "历史记录读取失败：" << walked.error << '\n';
                status = exitStatus(ExitCode::HistoryUnavailable);
            }
        }
        if (interruption.requested) {
            // Stopped while reading: what was found is written without asking the network.
            Settings plain = settings;
            plain.details = false;
            writeCandidates(std::move(names), target, plain, interruption, err, status);
            return interruption.exitStatus();
        }
        return writeCandidates(std::move(names), target, settings, interruption, err, status);
    }

    // Streamed: one row in memory at a time, whatever the store holds; sorted, the rows that
    // pass the filter are held until the walk ends.
    // The length is unknown.
    TableOutput table(target, std::numeric_limits<std::size_t>::max(), settings.scoreWeights);
    const auto write = [&](const history::NameRow& row, const filter::NameFeatures& features) {
        if (target.format == exporting::Format::Txt) {
            table.addDomain(row.domain);
        } else {
            table.add(features, &row, nullptr);
        }
    };
    std::vector<std::pair<OrderKey, history::NameRow>> held;
    if (searchable && table.ok()) {
        filter::NameFeatures features;
        const history::WalkResult walked = reader.search(
            since, until,
            [&](const history::NameRow& row) {
                if (wanted(row, features)) {
                    if (settings.order == OutputOrder::AsFound) {
                        write(row, features);
                    } else {
                        held.emplace_back(orderKeyOf(settings.order == OutputOrder::Score
                                                         ? scoreOf(row, features, settings)
                                                         : -1,
                                                     row.domain),
                                          row);
                    }
                }
                return table.ok() && !interruption.requested;
            },
            hints);
        if (!walked.ok()) {
            err << "历史记录读取失败：" << walked.error << '\n';
            status = exitStatus(ExitCode::HistoryUnavailable);
        }
    }
    std::stable_sort(held.begin(), held.end(), [&](const auto& a, const auto& b) {
        return comesBefore(settings.order, a.first, b.first);
    });
    for (const auto& [key, row] : held) {
        if (!table.ok()) {
            break;
        }
        write(row, featuresOf(row));
    }
    if (const io::WriteStatus failed = table.commit()) {
        err << writeFailureMessage(*failed) << '\n';
        return exitStatus(ExitCode::OutputNotWritable);
    }
    if (target.path != "-") {
        err << "已写入 " << table.rows() << " 个域名：" << target.path << '\n';
    }
    if (interruption.requested) {
        return interruption.exitStatus();
    }
    return status;
}

}  // namespace jilan::cli
