#include "history_loader.h"

#include <filesystem>
#include <system_error>

#include "cli/cli_run.h"
#include "history/reader.h"

namespace jilan::ui::filterwin {

namespace {

constexpr std::size_t kChunkRows = 4000;
constexpr std::size_t kChunkDetails = 500;

bool storeExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

}  // namespace

HistoryLoader::HistoryLoader(std::string storePath, CachedLookup cached, Callbacks callbacks,
                             QObject* parent)
    : QObject(parent),
      path_(std::move(storePath)),
      cached_(std::move(cached)),
      callbacks_(std::move(callbacks)) {
    thread_ = std::jthread([this](const std::stop_token& stop) { run(stop); });
}

HistoryLoader::~HistoryLoader() {
    cancel();
    thread_.request_stop();
    wake_.notify_all();
    thread_ = {};  // joins: a walk checks for a newer request at every row
}

template <typename F>
void HistoryLoader::post(std::uint64_t generation, F f) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, f = std::move(f)]() mutable {
            if (current(generation)) {
                f();
            }
        },
        Qt::QueuedConnection);
}

void HistoryLoader::loadRange(HistoryRange range) {
    const std::lock_guard lock(mutex_);
    const std::uint64_t generation = ++generation_;
    jobs_.clear();
    jobs_.emplace_back(generation, LoadJob{range});
    wake_.notify_all();
}

void HistoryLoader::lookUpDetails(std::vector<std::string> domains, bool withSightings) {
    if (domains.empty()) {
        return;
    }
    const std::lock_guard lock(mutex_);
    jobs_.emplace_back(generation_.load(), LookUpJob{std::move(domains), withSightings});
    wake_.notify_all();
}

void HistoryLoader::findNewInRun(std::int64_t runId) {
    const std::lock_guard lock(mutex_);
    jobs_.emplace_back(generation_.load(), NewInRunJob{runId});
    wake_.notify_all();
}

void HistoryLoader::cancel() {
    const std::lock_guard lock(mutex_);
    ++generation_;
    jobs_.clear();
}

void HistoryLoader::run(const std::stop_token& stop) {
    while (true) {
        std::pair<std::uint64_t, Job> next;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return !jobs_.empty(); })) {
                return;
            }
            next = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (!current(next.first)) {
            continue;
        }
        if (const auto* load = std::get_if<LoadJob>(&next.second)) {
            this->load(*load, next.first);
        } else if (const auto* names = std::get_if<LookUpJob>(&next.second)) {
            if (names->withSightings) {
                lookUpSightings(names->domains, next.first);
            }
            lookUp(names->domains, next.first);
        } else {
            newInRun(std::get<NewInRunJob>(next.second).runId, next.first);
        }
    }
}

void HistoryLoader::load(const LoadJob& job, std::uint64_t generation) {
    if (!storeExists(path_)) {
        post(generation, [this] { callbacks_.done("历史记录不可用：尚无记录"); });
        return;
    }
    history::Reader reader = history::Reader::open(path_);
    if (!reader.ok()) {
        post(generation, [this, reason = reader.unavailableReason()] {
            callbacks_.done("历史记录不可用：" + reason);
        });
        return;
    }
    std::vector<TableRow> chunk;
    std::vector<std::string> names;
    const auto send = [&] {
        if (!chunk.empty()) {
            post(generation,
                 [this, rows = std::move(chunk)]() mutable { callbacks_.rows(std::move(rows)); });
            chunk = {};
        }
    };
    const history::WalkResult walked =
        reader.search(job.range.sinceUtc, job.range.untilUtc, [&](const history::NameRow& seen) {
            if (!current(generation)) {
                return false;
            }
            TableRow row;
            row.domain = seen.domain;
            // The features stored beside the name, unless other rules stored them.
            row.features = cli::featuresOf(seen);
            row.firstSeen = seen.firstSeen;
            row.lastSeen = seen.lastSeen;
            row.runsSeen = seen.runsSeen;
            // 新 in the history: first seen within the range.
            row.isNew = seen.firstSeen >= job.range.sinceUtc && seen.firstSeen < job.range.untilUtc;
            names.push_back(seen.domain);
            chunk.push_back(std::move(row));
            if (chunk.size() >= kChunkRows) {
                send();
            }
            return true;
        });
    send();
    post(generation, [this, error = walked.error] { callbacks_.done(error); });
    if (walked.ok()) {
        lookUp(names, generation);
    }
}

void HistoryLoader::newInRun(std::int64_t runId, std::uint64_t generation) {
    if (!storeExists(path_) || !callbacks_.newNames) {
        return;
    }
    history::Reader reader = history::Reader::open(path_);
    if (!reader.ok()) {
        return;
    }
    std::vector<std::string> keys;
    const history::WalkResult walked = reader.newInRun(runId, [&](const history::NameRow& row) {
        keys.push_back(row.key);
        return current(generation);
    });
    if (!walked.ok()) {
        return;
    }
    // A run's new names only grow: after the first answer, only what was added since.
    const bool replace = runId != sentRun_ || generation != sentGeneration_;
    if (replace) {
        sentRun_ = runId;
        sentGeneration_ = generation;
        sentKeys_.clear();
    }
    std::vector<std::string> added;
    for (std::string& key : keys) {
        if (sentKeys_.insert(key).second) {
            added.push_back(std::move(key));
        }
    }
    if (replace || !added.empty()) {
        post(generation, [this, k = std::move(added), replace]() mutable {
            callbacks_.newNames(std::move(k), replace);
        });
    }
}

void HistoryLoader::lookUp(const std::vector<std::string>& domains, std::uint64_t generation) {
    if (!cached_) {
        return;
    }
    std::vector<std::pair<std::string, DetailCells>> found;
    for (const std::string& domain : domains) {
        if (!current(generation)) {
            return;
        }
        if (std::optional<DetailCells> cells = cached_(domain)) {
            found.emplace_back(domain, std::move(*cells));
        }
        if (found.size() >= kChunkDetails) {
            post(generation,
                 [this, f = std::move(found)]() mutable { callbacks_.details(std::move(f)); });
            found = {};
        }
    }
    if (!found.empty()) {
        post(generation,
             [this, f = std::move(found)]() mutable { callbacks_.details(std::move(f)); });
    }
}

void HistoryLoader::lookUpSightings(const std::vector<std::string>& domains,
                                    std::uint64_t generation) {
    if (!callbacks_.sightings || !storeExists(path_)) {
        return;
    }
    history::Reader reader = history::Reader::open(path_);
    if (!reader.ok()) {
        return;  // the details' look-up and the history source say why
    }
    std::vector<std::pair<std::string, exporting::Sightings>> found;
    const auto send = [&] {
        if (!found.empty()) {
            post(generation,
                 [this, f = std::move(found)]() mutable { callbacks_.sightings(std::move(f)); });
            found = {};
        }
    };
    for (const std::string& domain : domains) {
        if (!current(generation)) {
            return;
        }
        const std::optional<history::NameRow> seen = reader.lookup(domain);
        if (const std::optional<exporting::Sightings> at =
                exporting::sightingsOf(seen ? &*seen : nullptr)) {
            found.emplace_back(domain, *at);
        }
        if (found.size() >= kChunkDetails) {
            send();
        }
    }
    send();
}

}  // namespace jilan::ui::filterwin
