#include "harvest_history.h"

#include <chrono>
#include <utility>

#include "base/domain_name.h"
#include "filter/name_features.h"
#include "filter/score.h"

namespace jilan::program {

namespace {

std::int64_t systemUtc() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

history::NameColumns nameColumnsOf(std::string_view domain, const filter::ScoreWeights& weights) {
    const filter::NameFeatures f = filter::computeFeatures(domain);
    history::NameColumns columns;
    columns.name = f.name;
    columns.tld = f.tld;
    columns.kind = std::string(filter::classText(f.kind));
    columns.structure = f.structure;
    columns.pinyin = f.pinyin;
    columns.length = f.length;
    columns.syllables = f.syllables;
    columns.score = filter::scoreValue(f, weights);
    columns.featuresVersion = filter::kFeaturesVersion;
    return columns;
}

history::RecorderOptions recorderOptionsFor(const std::string& path) {
    history::RecorderOptions options;
    options.path = path;
    // The stored score is always the default weights' one, whatever score.toml says: a run
    // with other weights computes its scores when it reads them.
    options.columns = [weights = filter::defaultScoreWeights()](std::string_view domain) {
        return nameColumnsOf(domain, weights);
    };
    options.featuresVersion = filter::kFeaturesVersion;
    return options;
}

HarvestHistory::HarvestHistory(std::string path, UtcClock nowUtc)
    : path_(std::move(path)), nowUtc_(nowUtc ? std::move(nowUtc) : UtcClock(systemUtc)) {
    if (!path_.empty()) {
        recorder_ = std::make_unique<history::Recorder>(recorderOptionsFor(path_));
    }
}

void HarvestHistory::runStarted(int pageLimit) {
    if (!recorder_) {
        return;
    }
    if (open_) {
        // A new press while a run is open (a batch restarted): the old run ends here.
        runEnded(0, 0);
    }
    run_ = recorder_->beginRun(pageLimit, nowUtc_());
    open_ = true;
    entries_ = 0;
}

void HarvestHistory::pageAppended(std::vector<std::string> domains) {
    if (!recorder_ || !open_ || domains.empty()) {
        return;
    }
    entries_ += static_cast<int>(domains.size());
    // An entry that is no domain stays in the list but never enters the history.
    std::erase_if(domains, [](const std::string& d) { return !base::isDomainName(d); });
    if (domains.empty()) {
        return;
    }
    recorder_->recordPage(*run_, std::move(domains), nowUtc_());
}

void HarvestHistory::runEnded(int pagesRequested, int pagesFailed) {
    lastRunPages_ = PageCounts{pagesRequested, pagesFailed};
    if (!recorder_ || !open_) {
        return;
    }
    history::RunStats stats;
    stats.endedUtc = nowUtc_();
    stats.pagesRequested = pagesRequested;
    stats.pagesFailed = pagesFailed;
    stats.entries = entries_;
    recorder_->endRun(*run_, stats);
    open_ = false;
    completionPending_ = true;
    if (!deferCompletion_) {
        completeRun();
    }
}

void HarvestHistory::completeRun() {
    if (!recorder_ || !completionPending_) {
        return;
    }
    recorder_->completeRun(*run_, nowUtc_());
    completionPending_ = false;
}

bool HarvestHistory::unavailable() const {
    return !recorder_ || recorder_->unavailable();
}

std::string HarvestHistory::unavailableReason() const {
    if (!recorder_) {
        return "历史记录已关闭";
    }
    return recorder_->unavailableReason();
}

std::optional<std::int64_t> HarvestHistory::currentRunId() const {
    if (!recorder_ || !run_) {
        return std::nullopt;
    }
    return recorder_->runId(*run_);
}

void HarvestHistory::flush() {
    if (recorder_) {
        recorder_->flush();
    }
}

}  // namespace jilan::program
