#pragma once

#include <pthread.h>

#include <thread>

#include "cli_run.h"

namespace jilan::cli {

// While it lives, SIGINT and SIGTERM no longer end the process: a thread of its own waits for
// them and asks `interruption` to stop, so a window-less run can write what it has done. The
// same thread counts SIGWINCH in interruption.resizes, so no handler runs inside a signal: the
// run's own thread sees the count move and redraws.
// Construct it before any other thread starts (threads inherit the blocked signals); the
// previous signal mask comes back when it is destroyed.
class InterruptWatch {
public:
    explicit InterruptWatch(Interruption& interruption);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    Interruption& interruption_;
    sigset_t watched_{};
    sigset_t previous_{};
    std::atomic<bool> closing_{false};
    std::thread thread_;
};

}  // namespace jilan::cli
