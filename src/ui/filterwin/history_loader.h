#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "table_row.h"

namespace jilan::ui::filterwin {

// The names whose last sighting lies in [sinceUtc, untilUtc).
struct HistoryRange {
    std::int64_t sinceUtc = 0;
    std::int64_t untilUtc = 0;
};

// Reads the history store and its detail cache on a thread of its own, with its own read-only
// connections, and hands the rows back in chunks on the window's thread. A newer request
// makes every older one stop and its results vanish unseen.
class HistoryLoader : public QObject {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(std::vector<TableRow>)> rows;
        // The walk ended: empty, or the Chinese reason it could not be read.
        std::function<void(std::string)> done;
        std::function<void(std::vector<std::pair<std::string, DetailCells>>)> details;
        // The keys of the names first recorded by a run: all of them (replace), or those
        // found since the last call for the same run.
        std::function<void(std::vector<std::string>, bool replace)> newNames;
        // When the history saw listed names (首次发现 and the rest on 当前列表).
        std::function<void(std::vector<std::pair<std::string, exporting::Sightings>>)> sightings;
    };

    // What the detail cache holds for a name; called on the loader's thread.
    using CachedLookup = std::function<std::optional<DetailCells>(const std::string& domain)>;

    HistoryLoader(std::string storePath, CachedLookup cached, Callbacks callbacks,
                  QObject* parent = nullptr);
    ~HistoryLoader() override;
    HistoryLoader(const HistoryLoader&) = delete;
    HistoryLoader& operator=(const HistoryLoader&) = delete;

    // Drops what is queued or running, then walks the range; details follow the names.
    void loadRange(HistoryRange range);
    // Looks these names up in the detail cache (after whatever is queued), and `withSightings`
    // in the history's names too.
    void lookUpDetails(std::vector<std::string> domains, bool withSightings = false);
    // Finds the names first recorded by the run (after whatever is queued).
    void findNewInRun(std::int64_t runId);
    // Drops what is queued or running.
    void cancel();
    const std::string& storePath() const { return path_; }

private:
    struct LoadJob {
        HistoryRange range;
    };
    struct LookUpJob {
        std::vector<std::string> domains;
        bool withSightings = false;
    };
    struct NewInRunJob {
        std::int64_t runId = 0;
    };
    using Job = std::variant<LoadJob, LookUpJob, NewInRunJob>;

    void run(const std::stop_token& stop);
    void load(const LoadJob& job, std::uint64_t generation);
    void lookUp(const std::vector<std::string>& domains, std::uint64_t generation);
    void lookUpSightings(const std::vector<std::string>& domains, std::uint64_t generation);
    void newInRun(std::int64_t runId, std::uint64_t generation);
    bool current(std::uint64_t generation) const { return generation == generation_.load(); }
    // Runs `f` on the window's thread unless a newer request came meanwhile.
    template <typename F>
    void post(std::uint64_t generation, F f);

    std::string path_;
    CachedLookup cached_;
    Callbacks callbacks_;
    std::atomic<std::uint64_t> generation_{0};
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::pair<std::uint64_t, Job>> jobs_;
    // On the loader's thread: the new names already handed over for this run and request.
    std::int64_t sentRun_ = -1;
    std::uint64_t sentGeneration_ = 0;
    std::unordered_set<std::string> sentKeys_;
    std::jthread thread_;
};

}  // namespace jilan::ui::filterwin
