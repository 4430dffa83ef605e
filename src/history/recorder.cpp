#include "history/recorder.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/name_key.h"
#include "history/damage.h"

namespace jilan::history {

namespace {

// A name seen before gets its sighting here: one look-up in the key index and one row rewritten
// (with its last-seen index entry), and no feature columns computed or bound. ?2 is 1 for a
// run's first sighting of the name and 0 for any later one (the writer keeps the keys each open
// run has counted: with two programs recording at once their runs interleave, so the row alone
// cannot tell). last_run and last_seen never move back.
constexpr const char* kSighting = R"sql(
UPDATE names SET
  runs_seen = runs_seen + ?2,
  last_run = max(last_run, ?3),
  last_seen = max(last_seen, ?4)
WHERE key = ?1
)sql";
// A name that changed nothing above is new to the store. The page's transaction holds the
// write lock, so no other program can insert it in between. No completed run has seen it yet.
constexpr const char* kInsert = R"sql(
INSERT INTO names(key, domain, first_run, last_run, first_seen, last_seen, runs_seen, name, tld,
                  length, kind, structure, pinyin, syllables, features_version, score,
                  first_completed_run)
VALUES(?1, ?2, ?3, ?3, ?4, ?4, 1, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, NULL)
)sql";
// A completed run makes the names it saw old: those no completed run had seen get its id.
// Done by key for each name the writer counted in the run, once, at completion. A statement
// over the table (first_completed_run IS NULL AND last_run = R) would be one call, but it
// would miss the names a later run that overlapped this one saw after it (their last_run is
// that run's), and a per-run sighting table would add a write per name to every page.
constexpr const char* kComplete = R"sql(
UPDATE names SET first_completed_run = ?2 WHERE key = ?1 AND first_completed_run IS NULL
)sql";

// The texts are bound without a copy: `c` outlives the step that reads them.
void bindColumns(Statement& s, int first, const NameColumns& c) {
    s.bindStatic(first, c.name);
    s.bindStatic(first + 1, c.tld);
    s.bind(first + 2, c.length);
    s.bindStatic(first + 3, c.kind);
    s.bindStatic(first + 4, c.structure);
    s.bindStatic(first + 5, c.pinyin);
    s.bind(first + 6, c.syllables);
    s.bind(first + 7, c.featuresVersion);
    s.bind(first + 8, c.score);
}

// Lowers the calling thread's priority (on Linux a thread is scheduled on its own, so this
// touches no other thread of the process). Best effort: a refusal leaves it as it is.
void lowerThisThreadPriority(int niceness) {
    if (niceness <= 0) {
        return;
    }
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);
    if (current == -1 && errno != 0) {
        return;
    }
    setpriority(PRIO_PROCESS, self, std::min(current + niceness, 19));
}

// Room made in a run's set of counted keys: a listing page holds up to 50 names, and runs
// longer than this grow the set as they go.
constexpr int kRowsPerPage = 50;
constexpr int kReservedPages = 2000;

}  // namespace

// The writer thread's connection and statements. Each call returns an empty string or the
// reason the store became unusable.
class Recorder::Writer {
public:
    explicit Writer(const RecorderOptions& options) : options_(options) {}

    std::string open() {
        OpenedStore store = openStore(options_.path, OpenMode::ReadWrite, options_.store);
        if (!store.ok()) {
            return store.unavailableReason;
        }
        db_ = std::move(store.db);
        // A run's pages touch random leaves of a large table, seldom the same one twice: the
        // page cache holds the inner pages of the four trees and the recent leaves, and clean
        // pages come from the memory map below without a copy. A larger cache gains no hits,
        // only a heap that grows (and faults in) a page at a time in a fresh process: 32 MiB
        // cost a cold run a third more kernel time than these 8 MiB. Fewer automatic
        // checkpoints (each one syncs) keep a page's commit short; the run's end checkpoints.
        execute(db_.get(), "PRAGMA cache_size=-8192");
        execute(db_.get(), "PRAGMA wal_autocheckpoint=10000");
        // Pages read through a memory map cost no system call and no copy; only the pages a
        // run touches become resident.
        execute(db_.get(), "PRAGMA mmap_size=1073741824");
        sighting_ = Statement(db_.get(), kSighting);
        insert_ = Statement(db_.get(), kInsert);
        insertRun_ = Statement(db_.get(), "INSERT INTO runs(started, page_limit) VALUES(?1, ?2)");
        endRun_ = Statement(db_.get(),
                            "UPDATE runs SET ended = ?2, pages_requested = ?3, pages_failed = ?4, "
                            "entries = ?5 WHERE id = ?1");
        complete_ = Statement(db_.get(), kComplete);
        completeRun_ = Statement(db_.get(), "UPDATE runs SET completed = ?2 WHERE id = ?1");
        for (const Statement* s :
             {&sighting_, &insert_, &insertRun_, &endRun_, &complete_, &completeRun_}) {
            if (s->prepareResult() != SQLITE_OK) {
                return failureReason(options_.path, s->prepareResult());
            }
        }
        return recomputeFeatures();
    }

    std::string beginRun(int pageLimit, std::int64_t startedUtc, std::int64_t& id) {
        if (int code = beginImmediate(db_.get()); code != SQLITE_OK) {
            return failureReason(options_.path, code);
        }
        insertRun_.bind(1, startedUtc);
        insertRun_.bind(2, pageLimit);
        const int code = insertRun_.step();
        insertRun_.reset();
        if (code != SQLITE_DONE) {
            return rollback(code);
        }
        id = sqlite3_last_insert_rowid(db_.get());
        // The keys the run counts, room made once: a set grown by rehashing as a long run goes
        // on costs the writer more than its look-ups.
        countedInRun_[id].reserve(
            static_cast<std::size_t>(std::clamp(pageLimit, 1, kReservedPages)) * kRowsPerPage);
        return commit();
    }

    std::string page(std::int64_t runId, const std::vector<std::string>& domains,
                     std::int64_t seenUtc) {
        if (int code = beginImmediate(db_.get()); code != SQLITE_OK) {
            return failureReason(options_.path, code);
        }
        auto& counted = countedInRun_[runId];
        // The keys this page added to the run's set (its nodes never move), to take back if
        // the page's transaction fails.
        std::vector<const std::string*> added;
        int code = SQLITE_DONE;
        for (const std::string& domain : domains) {
            const auto [counting, first] = counted.insert(base::nameKey(domain));
            const std::string& key = *counting;
            if (first) {
                added.push_back(&key);
            }
            code = sighting(key, first, runId, seenUtc);
            if (code == SQLITE_DONE && sqlite3_changes(db_.get()) == 0) {
                code = insert(key, domain, runId, seenUtc);
            }
            if (code != SQLITE_DONE) {
                break;
            }
        }
        if (code != SQLITE_DONE) {
            for (const std::string* k : added) {
                counted.erase(counted.find(*k));
            }
            return rollback(code);
        }
        return commit();
    }

    std::string endRun(std::int64_t runId, const RunStats& stats) {
        if (int code = beginImmediate(db_.get()); code != SQLITE_OK) {
            return failureReason(options_.path, code);
        }
        endRun_.bind(1, runId);
        endRun_.bind(2, stats.endedUtc);
        endRun_.bind(3, stats.pagesRequested);
        endRun_.bind(4, stats.pagesFailed);
        endRun_.bind(5, stats.entries);
        const int code = endRun_.step();
        endRun_.reset();
        if (code != SQLITE_DONE) {
            return rollback(code);
        }
        std::string reason = commit();
        checkpoint();
        return reason;
    }

    // Only a run this writer recorded can complete: its counted keys are the names it saw.
    std::string completeRun(std::int64_t runId, std::int64_t completedUtc) {
        const auto counted = countedInRun_.find(runId);
        if (counted == countedInRun_.end()) {
            return {};
        }
        if (int code = beginImmediate(db_.get()); code != SQLITE_OK) {
            return failureReason(options_.path, code);
        }
        int code = SQLITE_DONE;
        for (const std::string& key : counted->second) {
            complete_.bindStatic(1, key);
            complete_.bind(2, runId);
            code = complete_.step();
            complete_.rewind();
            if (code != SQLITE_DONE) {
                return rollback(code);
            }
        }
        completeRun_.bind(1, runId);
        completeRun_.bind(2, completedUtc);
        code = completeRun_.step();
        completeRun_.reset();
        if (code != SQLITE_DONE) {
            return rollback(code);
        }
        std::string reason = commit();
        if (reason.empty()) {
            countedInRun_.erase(counted);
        }
        return reason;
    }

    // A passive checkpoint never waits for readers; what it cannot copy now the next one does.
    void checkpoint() {
        if (db_) {
            sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                      nullptr);
        }
    }

private:
    int sighting(std::string_view key, bool firstInRun, std::int64_t runId, std::int64_t seenUtc) {
        sighting_.bindStatic(1, key);
        sighting_.bind(2, firstInRun ? 1 : 0);
        sighting_.bind(3, runId);
        sighting_.bind(4, seenUtc);
        const int code = sighting_.step();
        sighting_.rewind();
        return code;
    }

    // The feature columns are computed only here, once per name the store did not hold.
    int insert(std::string_view key, std::string_view domain, std::int64_t runId,
               std::int64_t seenUtc) {
        NameColumns columns;
        if (options_.columns) {
            columns = options_.columns(domain);
        }
        insert_.bindStatic(1, key);
        insert_.bindStatic(2, domain);
        insert_.bind(3, runId);
        insert_.bind(4, seenUtc);
        bindColumns(insert_, 5, columns);
        const int code = insert_.step();
        insert_.rewind();
        return code;
    }

    std::string commit() {
        const int code = execute(db_.get(), "COMMIT");
        if (code != SQLITE_OK) {
            return rollback(code);
        }
        return {};
    }
    std::string rollback(int code) {
        execute(db_.get(), "ROLLBACK");
        return failureReason(options_.path, code);
    }

    // Rows whose features came from other rules get them again, a batch per transaction,
    // walking the key index so each batch starts where the last one stopped.
    std::string recomputeFeatures() {
        if (!options_.columns) {
            return {};
        }
        int code = SQLITE_OK;
        Statement stored(db_.get(), "SELECT value FROM settings WHERE name = 'features_version'");
        if (stored.prepareResult() != SQLITE_OK) {
            return failureReason(options_.path, stored.prepareResult());
        }
        if ((code = stored.step()) == SQLITE_ROW && stored.integer(0) == options_.featuresVersion) {
            return {};
        }
        if (code != SQLITE_ROW && code != SQLITE_DONE) {
            return failureReason(options_.path, code);
        }
        stored.reset();
        constexpr int kBatch = 5000;
        Statement select(db_.get(),
                         "SELECT key, domain FROM names WHERE key > ?1 AND features_version <> ?2 "
                         "ORDER BY key LIMIT ?3");
        Statement update(
            db_.get(),
            "UPDATE names SET name = ?2, tld = ?3, length = ?4, kind = ?5, "
            "structure = ?6, pinyin = ?7, syllables = ?8, features_version = ?9, score = ?10 "
            "WHERE key = ?1");
        if (select.prepareResult() != SQLITE_OK || update.prepareResult() != SQLITE_OK) {
            return failureReason(options_.path, select.prepareResult() != SQLITE_OK
                                                    ? select.prepareResult()
                                                    : update.prepareResult());
        }
        std::string after;
        for (;;) {
            std::vector<std::pair<std::string, std::string>> batch;
            select.bind(1, after);
            select.bind(2, options_.featuresVersion);
            select.bind(3, kBatch);
            while ((code = select.step()) == SQLITE_ROW) {
                batch.emplace_back(std::string(select.text(0)), std::string(select.text(1)));
            }
            select.reset();
            if (code != SQLITE_DONE) {
                return failureReason(options_.path, code);
            }
            if (batch.empty()) {
                return setFeaturesVersion();
            }
            if (code = beginImmediate(db_.get()); code != SQLITE_OK) {
                return failureReason(options_.path, code);
            }
            for (const auto& [key, domain] : batch) {
                NameColumns columns = options_.columns(domain);
                columns.featuresVersion = options_.featuresVersion;
                update.bind(1, key);
                bindColumns(update, 2, columns);
                code = update.step();
                update.reset();
                if (code != SQLITE_DONE) {
                    return rollback(code);
                }
            }
            if (std::string reason = commit(); !reason.empty()) {
                return reason;
            }
            after = batch.back().first;
        }
    }

    std::string setFeaturesVersion() {
        Statement set(
            db_.get(),
            "INSERT OR REPLACE INTO settings(name, value) VALUES('features_version', ?1)");
        set.bind(1, options_.featuresVersion);
        if (int code = beginImmediate(db_.get()); code != SQLITE_OK) {
            return failureReason(options_.path, code);
        }
        if (int code = set.step(); code != SQLITE_DONE) {
            return rollback(code);
        }
        return commit();
    }

    const RecorderOptions& options_;
    Connection db_;
    Statement sighting_, insert_, insertRun_, endRun_, complete_, completeRun_;
    std::unordered_map<std::int64_t, std::unordered_set<std::string>> countedInRun_;
};

Recorder::Recorder(RecorderOptions options) : options_(std::move(options)) {
    thread_ = std::thread([this] { run(); });
}

Recorder::~Recorder() {
    close();
}

RunTicket Recorder::beginRun(int pageLimit, std::int64_t startedUtc) {
    RunTicket ticket = 0;
    {
        std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
    }
    enqueue(BeginJob{ticket, pageLimit, startedUtc});
    return ticket;
}

void Recorder::recordPage(RunTicket run, std::vector<std::string> domains, std::int64_t seenUtc) {
    enqueue(PageJob{run, std::move(domains), seenUtc});
}

void Recorder::endRun(RunTicket run, const RunStats& stats) {
    enqueue(EndJob{run, stats});
}

void Recorder::completeRun(RunTicket run, std::int64_t completedUtc) {
    enqueue(CompleteJob{run, completedUtc});
}

void Recorder::enqueue(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void Recorder::flush() {
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void Recorder::close() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::optional<std::int64_t> Recorder::runId(RunTicket run) const {
    std::lock_guard lock(mutex_);
    auto it = runIds_.find(run);
    if (it == runIds_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool Recorder::unavailable() const {
    std::lock_guard lock(mutex_);
    return !reason_.empty();
}

std::string Recorder::unavailableReason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

std::size_t Recorder::pagesCommitted() const {
    std::lock_guard lock(mutex_);
    return pagesCommitted_;
}

void Recorder::fail(std::string reason) {
    std::lock_guard lock(mutex_);
    if (reason_.empty()) {
        reason_ = std::move(reason);
    }
}

void Recorder::run() {
    lowerThisThreadPriority(options_.writerNiceness);
    Writer writer(options_);
    bool usable = true;
    if (std::string reason = writer.open(); !reason.empty()) {
        fail(std::move(reason));
        usable = false;
    }
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            if (queue_.empty()) {
                drained_.notify_all();
            }
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                break;  // stopping and drained
            }
            job = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        if (!usable) {
            continue;
        }
        // Another connection of this program (a reader, the detail cache) may have found the
        // store damaged since: no more writes into it.
        if (isMarkedDamaged(options_.path)) {
            fail(std::string(kDamagedReason));
            usable = false;
            continue;
        }
        std::string reason;
        if (auto* begin = std::get_if<BeginJob>(&job)) {
            std::int64_t id = 0;
            reason = writer.beginRun(begin->pageLimit, begin->startedUtc, id);
            if (reason.empty()) {
                std::lock_guard lock(mutex_);
                runIds_[begin->ticket] = id;
            }
        } else if (auto* page = std::get_if<PageJob>(&job)) {
            if (auto id = runId(page->ticket)) {
                reason = writer.page(*id, page->domains, page->seenUtc);
                if (reason.empty()) {
                    std::size_t committed = 0;
                    {
                        std::lock_guard lock(mutex_);
                        committed = ++pagesCommitted_;
                    }
                    if (options_.onPageCommitted) {
                        options_.onPageCommitted(committed);
                    }
                }
            }
        } else if (auto* end = std::get_if<EndJob>(&job)) {
            if (auto id = runId(end->ticket)) {
                reason = writer.endRun(*id, end->stats);
            }
        } else if (auto* complete = std::get_if<CompleteJob>(&job)) {
            if (auto id = runId(complete->ticket)) {
                reason = writer.completeRun(*id, complete->completedUtc);
            }
        }
        if (!reason.empty()) {
            fail(std::move(reason));
            usable = false;
        }
    }
    writer.checkpoint();
    std::lock_guard lock(mutex_);
    busy_ = false;
    drained_.notify_all();
}

}  // namespace jilan::history
