#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "history/stats.h"

namespace jilan::ui::filterwin {

// Computes the counts of the 统计 tab on a thread of its own, with its own read-only
// connection, so the window never waits for a million rows. A newer request stops the one
// running; a stopped one delivers nothing.
class StatsWorker {
public:
    // Called on the worker's thread with the counts (or their error) of a request that was not
    // overtaken.
    using Done = std::function<void(history::NameStats stats)>;

    explicit StatsWorker(std::string storePath) : path_(std::move(storePath)) {}
    ~StatsWorker() = default;  // the thread is stopped and joined
    StatsWorker(const StatsWorker&) = delete;
    StatsWorker& operator=(const StatsWorker&) = delete;

    void compute(history::StatsRequest request, Done done);

private:
    std::string path_;
    std::jthread thread_;
};

}  // namespace jilan::ui::filterwin
