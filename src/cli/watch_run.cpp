#include "watch_run.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <ostream>
#include <tuple>
#include <unordered_set>

#include "base/beijing_time.h"
#include "base/domain_name.h"
#include "base/name_key.h"
#include "base/typed_name.h"
#include "export/csv_export.h"
#include "history/watch_note.h"
#include "history/watchlist.h"
#include "io/durable_writer.h"
#include "list_for_run.h"
#include "watchlist/watch_text.h"

namespace jilan::cli {

namespace {

// Opens the watch list for writing and makes `change` (which answers the reason it failed, or
// nothing). A store that cannot be opened or changed is exit 4, the list as it was.
int changeWatchlist(const Settings& settings, std::ostream& err,
                    const std::function<std::string(history::Watchlist&)>& change) {
    history::Watchlist store =
        history::Watchlist::open(settings.historyPath, history::OpenMode::ReadWrite);
    std::string reason = store.ok() ? change(store) : store.unavailableReason();
    if (reason.empty()) {
        return exitStatus(ExitCode::Ran);
    }
    err << reason << "（关注列表未改动）\n";
    return exitStatus(ExitCode::HistoryUnavailable);
}

// Soonest booking deadline first, then the deletion time; names without either last, by name.
void sortForListing(std::vector<history::WatchedName>& names) {
    constexpr std::int64_t kNever = INT64_MAX;
    struct Keyed {
        std::int64_t deadline, deletion;
        std::size_t index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        keyed.push_back({base::parseBeijingTime(names[i].details.bookingDeadline).value_or(kNever),
                         base::parseBeijingTime(names[i].details.deletionTime).value_or(kNever),
                         i});
    }
    std::sort(keyed.begin(), keyed.end(), [&names](const Keyed& a, const Keyed& b) {
        return std::tie(a.deadline, a.deletion, names[a.index].key) <
               std::tie(b.deadline, b.deletion, names[b.index].key);
    });
    std::vector<history::WatchedName> sorted;
    sorted.reserve(names.size());
    for (const Keyed& k : keyed) {
        sorted.push_back(std::move(names[k.index]));
    }
    names = std::move(sorted);
}

std::string csvRow(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += (i == 0 ? "" : ",") + exporting::csvField(cells[i]);
    }
    return line + "\r\n";
}

std::string listingText(const std::vector<history::WatchedName>& names, bool csv,
                        const watchlist::WallClock& clock) {
    std::string text;
    if (csv) {
        text =
            "\xEF\xBB\xBF" + csvRow({"域名", "预定截止（北京时间）", "删除时间（北京时间）", "价格",
                                     "备案", "评分", "状态", "备注", "加入时间", "查询时间"});
        for (const history::WatchedName& n : names) {
            const auto when = [](std::int64_t utc) {
                return utc > 0 ? base::formatBeijingTime(utc) : std::string();
            };
            text += csvRow({n.domain, n.details.bookingDeadline, n.details.deletionTime,
                            n.details.price, n.details.icpState,
                            n.score >= 0 ? std::to_string(n.score) : std::string(),
                            n.missingRun ? "已不在列表" : "", n.note, when(n.addedAt),
                            when(n.details.fetchedAt)});
        }
        return text;
    }
    for (const history::WatchedName& n : names) {
        const std::string details = watchlist::detailsText(n, clock);
        text += n.domain + (details.empty() ? "  （尚未查询）" : "  " + details) + "\n";
    }
    return text;
}

}  // namespace

TypedNames checkTypedNames(const std::vector<std::string>& typed) {
    TypedNames out;
    std::unordered_set<std::string> seen;
    for (const std::string& t : typed) {
        const std::string name = base::foldTypedName(t);
        if (name.empty()) {
            out.problems.push_back("跳过 \"" + t + "\"：不是域名（空白）");
        } else if (const auto problem = base::domainProblem(name)) {
            out.problems.push_back("跳过 \"" + t + "\"：" + *problem);
        } else if (std::string key = base::nameKey(name); seen.insert(key).second) {
            out.names.push_back(std::move(key));  // shown as the site lists names: lower case
        }
    }
    return out;
}

int runWatchCommand(const Settings& settings, const Interruption& interruption, std::ostream& out,
                    std::ostream& err, const watchlist::WallClock& clock) {
    std::optional<std::string> note;
    if (settings.note) {
        history::CleanedNote cleaned = history::cleanNote(*settings.note);
        if (!cleaned.problem.empty()) {
            err << "--note：" << cleaned.problem << '\n';
            return exitStatus(ExitCode::BadOptions);
        }
        if (cleaned.strippedControls > 0) {
            err << "--note：已删去 " << cleaned.strippedControls << " 个控制字符\n";
        }
        note = std::move(cleaned.text);
    }
    TypedNames names;
    if (!settings.watchFrom.empty()) {
        auto read =
            readListForRun(settings.watchFrom, interruption, settings.terminalProgress, err);
        if (const int* status = std::get_if<int>(&read)) {
            return *status;
        }
        names.names = std::move(std::get<std::vector<std::string>>(read));
    } else {
        names = checkTypedNames(settings.watchNames);
    }
    for (const std::string& problem : names.problems) {
        err << problem << '\n';
    }
    if (names.names.empty()) {
        err << "没有可关注的有效域名\n";
        return exitStatus(ExitCode::BadOptions);
    }
    if (const int status = changeWatchlist(settings, err,
                                           [&](history::Watchlist& store) {
                                               return store.add(names.names, note, clock.nowUtc());
                                           });
        status != exitStatus(ExitCode::Ran)) {
        return status;
    }
    out << "已关注 " << names.names.size() << " 个域名" << (note ? "（备注已更新）" : "") << '\n';
    return exitStatus(ExitCode::Ran);
}

int runUnwatchCommand(const Settings& settings, std::ostream& out, std::ostream& err) {
    const TypedNames names = checkTypedNames(settings.watchNames);
    for (const std::string& problem : names.problems) {
        err << problem << '\n';
    }
    if (names.names.empty()) {
        err << "没有可取消关注的有效域名\n";
        return exitStatus(ExitCode::BadOptions);
    }
    int removed = 0;
    if (const int status = changeWatchlist(
            settings, err,
            [&](history::Watchlist& store) { return store.remove(names.names, removed); });
        status != exitStatus(ExitCode::Ran)) {
        return status;
    }
    out << "已取消关注 " << removed << " 个域名";
    if (removed < static_cast<int>(names.names.size())) {
        out << "（" << names.names.size() - static_cast<std::size_t>(removed) << " 个本未关注）";
    }
    out << '\n';
    return exitStatus(ExitCode::Ran);
}

int runWatchlistCommand(const Settings& settings, std::ostream& out, std::ostream& err,
                        const watchlist::WallClock& clock) {
    history::Watchlist store =
        history::Watchlist::open(settings.historyPath, history::OpenMode::ReadOnly);
    std::vector<history::WatchedName> names;
    if (store.ok()) {
        auto listed = store.list();
        if (!listed) {
            err << "历史记录不可用：无法读取关注列表\n";
            return exitStatus(ExitCode::HistoryUnavailable);
        }
        names = std::move(*listed);
    } else if (store.unavailableReason() != "历史记录不可用：还没有历史记录文件") {
        err << store.unavailableReason() << '\n';
        return exitStatus(ExitCode::HistoryUnavailable);
    }
    sortForListing(names);
    const bool csv =
        settings.format == "csv" || (settings.format.empty() && settings.output.ends_with(".csv"));
    const std::string text = listingText(names, csv, clock);
    if (settings.output.empty() || settings.output == "-") {
        out << text;
        return exitStatus(ExitCode::Ran);
    }
    const std::string path = io::expandOutputTemplate(settings.output, clock.nowUtc());
    if (const io::WriteStatus failure = io::writeFile(path, text)) {
        err << writeFailureMessage(*failure) << '\n';
        return exitStatus(ExitCode::OutputNotWritable);
    }
    return exitStatus(ExitCode::Ran);
}

}  // namespace jilan::cli
