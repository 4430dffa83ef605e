#include "interrupt_watch.h"

#include <csignal>

namespace jilan::cli {

InterruptWatch::InterruptWatch(Interruption& interruption) : interruption_(interruption) {
    sigemptyset(&watched_);
    sigaddset(&watched_, SIGINT);
    sigaddset(&watched_, SIGTERM);
    sigaddset(&watched_, SIGWINCH);
    pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
    thread_ = std::thread([this] {
        for (;;) {
            int signalNumber = 0;
            if (sigwait(&watched_, &signalNumber) != 0) {
                continue;
            }
            if (closing_) {
                return;
            }
            if (signalNumber == SIGWINCH) {
                interruption_.resizes.fetch_add(1);
                continue;
            }
            // A second signal changes nothing: the run is already stopping.
            if (!interruption_.requested) {
                interruption_.request(signalNumber);
            }
        }
    });
}

InterruptWatch::~InterruptWatch() {
    closing_ = true;
    // Wakes the waiting thread with a signal meant for it alone.
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace jilan::cli
