#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config/urls.h"
#include "domain_rows.h"
#include "history/detail_cache.h"
#include "net/fetch_result.h"

namespace jilan::details {

struct DetailSettings {
    config::Urls urls;
    int pauseMs = 1000;
    int maxAgeHours = 12;     // 0: always fetch
    std::string historyPath;  // empty: no cache
    net::HttpLimits limits{};
};

struct DetailProgress {
    // done: names answered (from the cache, fetched or failed); notAsked: names a stop kept
    // from being asked, neither done nor failed.
    std::size_t done = 0, total = 0, fromCache = 0, fetched = 0, failed = 0, notAsked = 0;
    std::optional<std::chrono::seconds> left;  // while names remain
};

// Runs one batch at a time on its own thread with its own transfer pool; the window polls
// progress() and takeResults() from its timer and never waits.
class DetailWorker {
public:
    explicit DetailWorker(DetailSettings settings);
    ~DetailWorker();  // cancels the batch and joins its thread
    DetailWorker(const DetailWorker&) = delete;
    DetailWorker& operator=(const DetailWorker&) = delete;

    // False while a batch runs.
    bool start(std::vector<std::string> names);
    // Asks the batch to stop and returns at once; the names not done finish as
    // "未查询（已中断）" and come out of takeResults().
    void stop();
    bool running() const;
    DetailProgress progress() const;
    // The names finished since the last call, in the order they finished.
    std::vector<NameDetails> takeResults();
    // What the history store holds for `domain` (any age), without asking the network;
    // nullopt when it holds nothing or there is no store.
    std::optional<NameDetails> cached(const std::string& domain) const;
    // The last batch stopped asking a site that kept refusing.
    bool stoppedBySite() const;
    // Why the history store could not cache the last batch (Chinese); empty when it could.
    std::string historyProblem() const;

private:
    void run(std::vector<std::string> names);

    const DetailSettings settings_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    mutable std::mutex mutex_;  // guards the fields below
    DetailProgress progress_;
    std::vector<NameDetails> results_;
    bool stoppedBySite_ = false;
    std::string historyProblem_;
    mutable std::mutex readerMutex_;
    mutable std::optional<history::DetailCache> reader_;
    std::thread thread_;
};

struct DetailRunOutcome {
    std::vector<NameDetails> details;  // in the order of the names
    bool stoppedBySite = false;
    bool allFailed = false;  // at least one name and none succeeded
    bool interrupted = false;
    std::string historyProblem;  // the store could not cache (Chinese); empty when it could
};

// Told the progress after each step of a command-line batch.
using DetailProgressSink = std::function<void(const DetailProgress&)>;

// Runs the batch on the calling thread for the command line, checking `interrupted` between
// short waits so a signal cancels the request on the wire. The progress goes to `onProgress`
// when one is given, else as a line a second to `err`; the summary line goes to `err`.
DetailRunOutcome runDetails(const std::vector<std::string>& names, const DetailSettings& settings,
                            const std::atomic<bool>& interrupted, std::ostream& err,
                            const DetailProgressSink& onProgress = {});

}  // namespace jilan::details
