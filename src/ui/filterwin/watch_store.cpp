#include "watch_store.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace jilan::ui::filterwin {

WatchStore::WatchStore(std::string storePath, QObject* parent)
    : QObject(parent), path_(std::move(storePath)) {
    thread_ = std::jthread([this](const std::stop_token& stop) { run(stop); });
}

WatchStore::~WatchStore() {
    // Writes still queued are the user's stars and notes: they run before the thread ends.
    finish();
    thread_.request_stop();
    wake_.notify_all();
    thread_ = {};
}

void WatchStore::enqueue(Job job, std::function<void(const std::string&)> unavailable,
                         bool writes) {
    const std::lock_guard lock(mutex_);
    jobs_.push_back({std::move(job), std::move(unavailable), writes});
    wake_.notify_all();
}

void WatchStore::finish() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void WatchStore::run(const std::stop_token& stop) {
    while (true) {
        Queued queued;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [this] { return !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            queued = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
        }
        std::function<void()> answer;
        std::error_code error;
        const bool exists = !path_.empty() && std::filesystem::exists(path_, error);
        if (!queued.writes && !exists) {
            // Nothing watched yet: a read never creates the store.
            answer = [f = std::move(queued.unavailable)] { f(std::string()); };
        } else if (path_.empty()) {
            answer = [f = std::move(queued.unavailable)] {
                f("未设置历史记录文件，无法使用关注列表");
            };
        } else {
            // Opened for each job: a store restored or replaced meanwhile is the one written.
            history::Watchlist store = history::Watchlist::open(
                path_, queued.writes ? history::OpenMode::ReadWrite : history::OpenMode::ReadOnly);
            if (!store.ok()) {
                answer = [f = std::move(queued.unavailable), reason = store.unavailableReason()] {
                    f(reason);
                };
            } else {
                answer = queued.job(store);
            }
        }
        // Dropped unseen when the window has gone meanwhile (the write itself is done).
        QMetaObject::invokeMethod(this, std::move(answer), Qt::QueuedConnection);
        {
            const std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

void WatchStore::list(Listed done) {
    auto failed = [done](const std::string& problem) {
        if (problem.empty()) {
            done(std::vector<history::WatchedName>{}, problem);
        } else {
            done(std::nullopt, problem);
        }
    };
    enqueue(
        [done](history::Watchlist& store) -> std::function<void()> {
            std::optional<std::vector<history::WatchedName>> names = store.list();
            if (!names) {
                return [done] { done(std::nullopt, "关注列表读取失败"); };
            }
            return [done, names = std::move(*names)]() mutable {
                done(std::move(names), std::string());
            };
        },
        std::move(failed), false);
}

void WatchStore::setWatched(std::vector<std::string> domains, bool watched, std::int64_t now,
                            Done done) {
    enqueue(
        [done, domains = std::move(domains), watched,
         now](history::Watchlist& store) -> std::function<void()> {
            std::string problem;
            if (watched) {
                problem = store.add(domains, std::nullopt, now);
            } else {
                int removed = 0;
                problem = store.remove(domains, removed);
            }
            return [done, problem] { done(problem); };
        },
        done, true);
}

void WatchStore::setNote(std::string domain, std::string note, Done done) {
    enqueue(
        [done, domain = std::move(domain),
         note = std::move(note)](history::Watchlist& store) -> std::function<void()> {
            const std::string problem = store.setNote(domain, note);
            return [done, problem] { done(problem); };
        },
        done, true);
}

}  // namespace jilan::ui::filterwin
