#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filter/score_weights.h"
#include "history/recorder.h"
#include "history/store.h"

namespace jilan::program {

// The feature columns the history stores beside a newly seen name (filter::computeFeatures),
// with its score under `weights`.
history::NameColumns nameColumnsOf(std::string_view domain, const filter::ScoreWeights& weights);

// The options every recorder of this program is opened with: the feature columns above, at
// the features version of the filter rules.
history::RecorderOptions recorderOptionsFor(const std::string& path);

// Takes a harvest into the history: one run per press of "开始采集" (or per window-less
// harvest), each appended page queued to a recorder that writes on its own thread, so the
// caller never waits for the disk. Without a path nothing is recorded.
class HarvestHistory {
public:
    using UtcClock = std::function<std::int64_t()>;

    // `path` empty: history off. `nowUtc` gives the UTC seconds stamped on runs and pages.
    explicit HarvestHistory(std::string path, UtcClock nowUtc = {});
    HarvestHistory(const HarvestHistory&) = delete;
    HarvestHistory& operator=(const HarvestHistory&) = delete;

    // The pages of the run ended last, counted whether or not the history is on.
    struct PageCounts {
        int requested = 0;
        int failed = 0;
        int fetched() const { return requested - failed; }
    };

    void runStarted(int pageLimit);
    void pageAppended(std::vector<std::string> domains);
    // Ends the run begun last; nothing when none is open. The run completes here (its names
    // become old for later runs: a window harvest is done when its last page is recorded)
    // unless completion was deferred.
    void runEnded(int pagesRequested, int pagesFailed);
    // The runs ended from now on wait for completeRun(): a window-less harvest completes only
    // once its output is written.
    void deferCompletion() { deferCompletion_ = true; }
    // Completes the run ended last (see history::Recorder::completeRun): call it when every
    // output of the run is written and every message of it delivered or recorded as failed.
    // A run never completed leaves its names new for the next run.
    void completeRun();
    const PageCounts& lastRunPages() const { return lastRunPages_; }

    bool enabled() const { return recorder_ != nullptr; }
    const std::string& path() const { return path_; }
    // The store cannot be written (or history is off and someone asks): the reason, in Chinese.
    bool unavailable() const;
    std::string unavailableReason() const;
    // The store's id of the run begun last, once the writer has inserted its row.
    std::optional<std::int64_t> currentRunId() const;
    bool runOpen() const { return open_; }

    // Waits until every queued page is written. Not for the window's thread.
    void flush();

private:
    std::string path_;
    UtcClock nowUtc_;
    std::unique_ptr<history::Recorder> recorder_;
    std::optional<history::RunTicket> run_;
    bool open_ = false;
    bool deferCompletion_ = false;
    bool completionPending_ = false;
    int entries_ = 0;
    PageCounts lastRunPages_;
};

}  // namespace jilan::program
