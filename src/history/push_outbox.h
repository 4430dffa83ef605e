#pragma once

// The push outbox: per run, digest, channel and message number, whether the message was
// delivered. A message is recorded right after the platform's answer, so a crash between the
// two repeats that one message at most.

#include <cstdint>
#include <optional>
#include <string>

#include "history/store.h"

namespace jilan::history {

class PushOutbox {
public:
    // Opens (and migrates) the store for writing; check ok() before use.
    explicit PushOutbox(const std::string& path);

    bool ok() const { return store_.ok(); }
    const std::string& unavailableReason() const { return store_.unavailableReason; }

    bool delivered(std::int64_t run, const std::string& digest, const std::string& channel,
                   int number);
    // A later outcome replaces an earlier one; false when it could not be written.
    bool record(std::int64_t run, const std::string& digest, const std::string& channel, int number,
                bool delivered, const std::string& outcome, std::int64_t at);
    // Forgets a run's deliveries, so that they are sent again (--notify-resend).
    bool forget(std::int64_t run);

    // The newest run whose harvest ended, completed or not: a run whose digests were cut short
    // (a crash while sending) has not completed, and it is the one whose messages are missing.
    std::optional<std::int64_t> newestCompletedRun();

private:
    OpenedStore store_;
};

}  // namespace jilan::history
