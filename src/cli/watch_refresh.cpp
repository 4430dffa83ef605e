#include "watch_refresh.h"

#include <algorithm>
#include <ostream>
#include <unordered_set>

#include "base/name_key.h"
#include "details/detail_service.h"
#include "export/name_record.h"
#include "history/watchlist.h"
#include "query/detail_batch.h"

namespace jilan::cli {

namespace {

// What the watchlist keeps of a successful lookup.
history::WatchDetails detailsOf(const exporting::NameDetails& d, std::int64_t nowUtc) {
    history::WatchDetails w;
    w.deletionTime = d.deletionTime;
    w.bookingDeadline = d.bookingPlatform == exporting::kBookingOverValue ? "" : d.bookingDeadline;
    w.price = d.bookingPrice;
    w.icpState = d.filed == "已备案" || d.filed == "未备案" ? d.filed : "";
    w.fetchedAt = nowUtc;
    return w;
}

// "关注变化：NAME what" for each change the digest reports.
std::vector<std::string> changesOf(const history::WatchedName& name,
                                   const exporting::NameDetails& fetched,
                                   const history::WatchDetails& now) {
    const history::WatchDetails& before = name.details;
    const std::string head = "关注变化：" + name.domain + " ";
    std::vector<std::string> changes;
    if (before.fetchedAt == 0) {
        return changes;  // the first details of a name are news to nobody
    }
    if (fetched.bookingPlatform == exporting::kBookingOverValue &&
        !before.bookingDeadline.empty()) {
        changes.push_back(head + std::string(exporting::kBookingOverValue));
    }
    if (!before.price.empty() && !now.price.empty() && before.price != now.price) {
        changes.push_back(head + "价格 " + before.price + " → " + now.price);
    }
    if (!before.icpState.empty() && !now.icpState.empty() && before.icpState != now.icpState) {
        changes.push_back(head + "备案 " + before.icpState + " → " + now.icpState);
    }
    return changes;
}

}  // namespace

WatchRefresh refreshWatchlist(const Settings& settings, const std::vector<std::string>& listed,
                              const HarvestCoverage& coverage, const Interruption& interruption,
                              std::ostream& err, std::int64_t nowUtc, int status) {
    WatchRefresh out;
    out.status = status;
    if (settings.historyPath.empty()) {
        return out;
    }
    history::Watchlist store =
        history::Watchlist::open(settings.historyPath, history::OpenMode::ReadWrite);
    const auto watched = store.ok() ? store.list() : std::nullopt;
    if (!watched || watched->empty()) {
        return out;  // an unusable store was reported by the harvest's own history
    }
    std::unordered_set<std::string> shown;
    for (const std::string& domain : listed) {
        shown.insert(base::nameKey(domain));
    }
    std::string failure;
    const auto keep = [&failure](std::string reason) {
        if (failure.empty()) {
            failure = std::move(reason);
        }
    };
    // Kept in the store for the next digest, whether or not this run sends one.
    const auto changed = [&](const history::WatchedName& name, const std::string& text) {
        keep(store.recordChange(name.key, text, nowUtc));
        out.changes.push_back(text);
    };
    std::vector<const history::WatchedName*> stale;
    const bool completeListing = coverage.reachedEnd && !coverage.anyPageFailed &&
                                 !coverage.interrupted && coverage.runId.has_value();
    for (const history::WatchedName& name : *watched) {
        if (shown.contains(name.key)) {
            if (name.missingRun) {
                keep(store.setMissing(name.key, std::nullopt));
            }
            const bool old = name.details.fetchedAt == 0 ||
                             nowUtc - name.details.fetchedAt >= kWatchDetailsMaxAge ||
                             name.details.fetchedAt > nowUtc;  // a clock set back since
            if (old && stale.size() < settings.maxNames) {
                stale.push_back(&name);
            }
        } else if (completeListing && !name.missingRun) {
            keep(store.setMissing(name.key, coverage.runId));
            changed(name, "关注变化：" + name.domain + " 已不在列表");
        }
    }

    if (!stale.empty() && !interruption.requested) {
        std::vector<std::string> domains;
        for (const history::WatchedName* name : stale) {
            domains.push_back(name->domain);
        }
        details::DetailSettings detail;
        detail.urls = settings.urls;
        detail.pauseMs = settings.pauseMs;
        detail.maxAgeHours = static_cast<int>(
            std::min<std::int64_t>(settings.maxAgeHours, kWatchDetailsMaxAge / 3600));
        detail.historyPath = settings.historyPath;
        detail.limits = settings.limits;
        err << "更新 " << domains.size() << " 个关注域名的详情\n";
        const details::DetailRunOutcome outcome =
            details::runDetails(domains, detail, interruption.requested, err);
        for (std::size_t i = 0; i < stale.size() && i < outcome.details.size(); ++i) {
            const exporting::NameDetails& fetched = outcome.details[i];
            if (fetched.domain.empty() || fetched.result != query::kQuerySucceeded) {
                continue;
            }
            const history::WatchDetails now = detailsOf(fetched, nowUtc);
            for (const std::string& text : changesOf(*stale[i], fetched, now)) {
                changed(*stale[i], text);
            }
            keep(store.updateDetails(stale[i]->key, now));
        }
        if (outcome.interrupted || interruption.requested) {
            out.status = firstExitStatus(out.status, interruption.exitStatus());
        }
    }
    if (!failure.empty()) {
        err << failure << "（关注列表未能更新）\n";
        out.status = firstExitStatus(out.status, exitStatus(ExitCode::HistoryUnavailable));
    }
    return out;
}

}  // namespace jilan::cli
