#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "history/store.h"

namespace jilan::history {

struct RecorderOptions {
    std::string path;
    StoreOptions store;
    // Computes the feature columns of a newly inserted name; when empty they stay blank.
    ColumnsFn columns;
    // The version of the rules behind `columns`; rows of another version are recomputed.
    int featuresVersion = 0;
    // How much nicer than its creator the writer thread runs (0..19; 0 leaves it as it is).
    // Recording is background work: on a busy machine the window's thread goes first.
    int writerNiceness = 10;
    // Called on the writer thread after each page's transaction committed (tests use it to
    // know what a kill may no longer lose).
    std::function<void(std::size_t pagesCommitted)> onPageCommitted;
};

// The caller's name for a run, given out at once; the store's id follows when the writer has
// inserted the run row (runId).
using RunTicket = std::uint64_t;

struct RunStats {
    std::int64_t endedUtc = 0;
    int pagesRequested = 0;
    int pagesFailed = 0;
    int entries = 0;
};

// Records harvested pages on its own thread with its own connection. Every public call only
// enqueues or reads a flag: the caller never waits for the disk. A store that cannot be
// opened or a write that fails turns the recorder unavailable (with a Chinese reason); the
// calls after that are accepted and dropped.
class Recorder {
public:
    explicit Recorder(RecorderOptions options);
    ~Recorder();  // drains the queue and joins the writer
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    RunTicket beginRun(int pageLimit, std::int64_t startedUtc);
    // One transaction per page: a kill loses at most the page being written.
    void recordPage(RunTicket run, std::vector<std::string> domains, std::int64_t seenUtc);
    // Stores the run's figures and checkpoints the WAL. The run's names stay new (for this run
    // and any later one) until it completes.
    void endRun(RunTicket run, const RunStats& stats);
    // The run has done everything it was for: its outputs are written (and, for a run that
    // sends digests, every digest delivered or recorded as failed). From now on the names it
    // saw are no longer new to any run started later. A run that never completes (killed,
    // interrupted, its file not written) leaves them new. Only this recorder can complete its
    // runs: it keeps the names each open run saw until then. Call it after endRun, once.
    void completeRun(RunTicket run, std::int64_t completedUtc);

    // Waits until everything queued so far is written (or dropped). Not for the window thread.
    void flush();
    // Drains, checkpoints and joins; afterwards every call is dropped.
    void close();

    // The run's id in the store once its row is written; nullopt before that or when the
    // store is unavailable. "New in run R" is asked of a Reader with this id.
    std::optional<std::int64_t> runId(RunTicket run) const;
    bool unavailable() const;
    std::string unavailableReason() const;  // empty while available
    std::size_t pagesCommitted() const;

private:
    struct BeginJob {
        RunTicket ticket;
        int pageLimit;
        std::int64_t startedUtc;
    };
    struct PageJob {
        RunTicket ticket;
        std::vector<std::string> domains;
        std::int64_t seenUtc;
    };
    struct EndJob {
        RunTicket ticket;
        RunStats stats;
    };
    struct CompleteJob {
        RunTicket ticket;
        std::int64_t completedUtc;
    };
    using Job = std::variant<BeginJob, PageJob, EndJob, CompleteJob>;

    class Writer;

    void enqueue(Job job);
    void run();
    void fail(std::string reason);

    RecorderOptions options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<Job> queue_;
    bool stopping_ = false;
    bool busy_ = true;  // the writer is opening the store or holds a job from the queue
    RunTicket nextTicket_ = 1;
    std::map<RunTicket, std::int64_t> runIds_;
    std::string reason_;
    std::size_t pagesCommitted_ = 0;
    std::thread thread_;
};

}  // namespace jilan::history
