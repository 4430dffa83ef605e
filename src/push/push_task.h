#pragma once

// One channel's messages sent on a thread of its own, for a caller that must not wait (the
// window): deliver() paces and retries as for a run, the caller polls the progress and takes the
// outcome once it has ended. Cancelling wakes any pause and sends no further message; a request
// already under way finishes first (its own time-out bounds that).

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "push/delivery.h"

namespace jilan::push {

class PushTask {
public:
    struct Progress {
        int delivered = 0;
        int total = 0;
    };

    // `timing` with no sleepMs pauses on the real clock (and a cancel cuts the pause short).
    PushTask(Channel channel, std::string digestName, std::string when,
             std::vector<DigestEntry> entries, std::vector<Message> messages, SendOne send,
             Timing timing);
    ~PushTask();  // cancels and waits
    PushTask(const PushTask&) = delete;
    PushTask& operator=(const PushTask&) = delete;

    bool running() const { return running_.load(); }
    Progress progress() const;
    // The channel's outcome; meaningful once running() is false.
    ChannelOutcome outcome() const;
    void cancel();

private:
    void run();
    void pause(std::int64_t ms);

    Channel channel_;
    std::vector<DigestEntry> entries_;
    DigestJob job_;
    SendOne send_;
    Timing timing_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool cancelled_ = false;
    std::atomic<int> delivered_{0};
    std::atomic<bool> running_{true};
    ChannelOutcome outcome_;
    // Last: started once everything above is ready, joined before any of it goes.
    std::jthread thread_;
};

}  // namespace jilan::push
