#include "stats_worker.h"

#include <utility>

namespace jilan::ui::filterwin {

void StatsWorker::compute(history::StatsRequest request, Done done) {
    // Assigning stops the running thread and joins it: it looks at its token every few
    // thousand rows, so the wait is short.
    thread_ = std::jthread([path = path_, request = std::move(request),
                            done = std::move(done)](const std::stop_token& stop) mutable {
        request.stop = [stop] { return stop.stop_requested(); };
        history::NameStats stats = history::StatsReader::open(path).compute(request);
        if (!stop.stop_requested()) {
            done(std::move(stats));
        }
    });
}

}  // namespace jilan::ui::filterwin
