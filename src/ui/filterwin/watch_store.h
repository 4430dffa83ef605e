#pragma once

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "history/watchlist.h"

namespace jilan::ui::filterwin {

// The window's way to the watchlist of the history store: every read and write runs on a
// thread of its own (a store locked by a harvest waits there, never in the window), in the
// order asked, and its answer comes back on the window's thread. Nothing asked is dropped:
// the end of the window waits for the writes still queued.
class WatchStore : public QObject {
    Q_OBJECT
public:
    // Empty or the Chinese reason the store refused.
    using Done = std::function<void(const std::string& problem)>;
    using Listed = std::function<void(std::optional<std::vector<history::WatchedName>>,
                                      const std::string& problem)>;

    explicit WatchStore(std::string storePath, QObject* parent = nullptr);
    ~WatchStore() override;
    WatchStore(const WatchStore&) = delete;
    WatchStore& operator=(const WatchStore&) = delete;

    // Every watched name with its stored details; read only, and empty while no store exists.
    void list(Listed done);
    // Adds the names (kept with their notes when already watched), or forgets them.
    void setWatched(std::vector<std::string> domains, bool watched, std::int64_t now, Done done);
    // The note as stored: callers pass it through cleanNote first.
    void setNote(std::string domain, std::string note, Done done);
    // Returns once every job asked so far has run (their answers still arrive later).
    void finish();

private:
    // Runs on the store's thread; what it returns runs on the window's thread.
    using Job = std::function<std::function<void()>(history::Watchlist&)>;
    void enqueue(Job job, std::function<void(const std::string&)> unavailable, bool writes);
    void run(const std::stop_token& stop);

    std::string path_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable_any idle_;
    struct Queued {
        Job job;
        std::function<void(const std::string&)> unavailable;
        bool writes = true;
    };
    std::deque<Queued> jobs_;
    bool busy_ = false;
    std::jthread thread_;
};

}  // namespace jilan::ui::filterwin
