#pragma once

// Sends digests to their channels: each channel on its own thread (one channel failing or
// waiting never holds back another), paced by its platform's window, a rate-limit answer waited
// out and tried again up to 3 times, a network failure or 5xx tried again with growing pauses,
// a signature or size refusal not tried again. What was delivered is asked of and told to a
// delivery log, so a second pass sends only what is missing.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "push/digest_layout.h"
#include "push/notify_config.h"
#include "push/platform_request.h"

namespace jilan::push {

// The clock and the pause, passed in so that tests control time.
struct Timing {
    std::function<std::int64_t()> nowMs;
    std::function<void(std::int64_t)> sleepMs;
};
Timing realTiming();

// Sends one message over one channel (the protocol, the transport and the answer's reading).
using SendOne =
    std::function<Answer(const Channel&, const Message&, const Payload&, std::int64_t nowMs)>;

// Exactly once: asked before each message, told after each outcome. Called from one thread at
// a time.
class DeliveryLog {
public:
    virtual ~DeliveryLog() = default;
    virtual bool delivered(const std::string& digest, const std::string& channel, int number) = 0;
    virtual void record(const std::string& digest, const std::string& channel, int number, bool ok,
                        const std::string& text) = 0;
};

struct DigestJob {
    std::string digest;
    const Channel* channel = nullptr;
    std::vector<Message> messages;
    Payload payload;
};

struct ChannelOutcome {
    std::string digest;
    std::string channel;
    int total = 0;
    int sent = 0;      // delivered now
    int earlier = 0;   // delivered by an earlier pass
    bool ok = true;    // every message delivered (now, earlier, or skipped)
    std::string text;  // 成功, or the first failure's reason
};

// Jobs of one channel go out in order on that channel's thread; outcomes in the jobs' order.
std::vector<ChannelOutcome> deliver(const std::vector<DigestJob>& jobs, const SendOne& send,
                                    const Timing& timing, DeliveryLog* log);

}  // namespace jilan::push
