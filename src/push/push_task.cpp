#include "push/push_task.h"

#include <chrono>
#include <utility>

namespace jilan::push {

namespace {
constexpr std::int64_t kLeapMs = 24 * 3600 * 1000;
}  // namespace

PushTask::PushTask(Channel channel, std::string digestName, std::string when,
                   std::vector<DigestEntry> entries, std::vector<Message> messages, SendOne send,
                   Timing timing)
    : channel_(std::move(channel)),
      entries_(std::move(entries)),
      send_(std::move(send)),
      timing_(std::move(timing)) {
    job_.digest = digestName;
    job_.channel = &channel_;
    job_.messages = std::move(messages);
    job_.payload = {std::move(digestName), std::move(when), entries_};
    // Once cancelled the clock leaps a day ahead, so that a pacing window still to wait out
    // ends at once instead of being waited for in a loop of cut-short pauses.
    timing_.nowMs = [this, now = timing_.nowMs ? timing_.nowMs : realTiming().nowMs] {
        std::lock_guard lock(mutex_);
        return now() + (cancelled_ ? kLeapMs : 0);
    };
    if (!timing_.sleepMs) {
        timing_.sleepMs = [this](std::int64_t ms) { pause(ms); };
    }
    thread_ = std::jthread([this] { run(); });
}

PushTask::~PushTask() {
    cancel();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PushTask::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_all();
}

void PushTask::pause(std::int64_t ms) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return cancelled_; });
}

PushTask::Progress PushTask::progress() const {
    return {delivered_.load(), static_cast<int>(job_.messages.size())};
}

ChannelOutcome PushTask::outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

void PushTask::run() {
    const SendOne guarded = [this](const Channel& channel, const Message& message,
                                   const Payload& payload, std::int64_t nowMs) -> Answer {
        {
            std::lock_guard lock(mutex_);
            if (cancelled_) {
                return {Verdict::Refused, "已取消", 0};
            }
        }
        Answer answer = send_(channel, message, payload, nowMs);
        if (answer.verdict == Verdict::Delivered || answer.verdict == Verdict::Skipped) {
            ++delivered_;
        }
        return answer;
    };
    std::vector<ChannelOutcome> outcomes = deliver({job_}, guarded, timing_, nullptr);
    {
        std::lock_guard lock(mutex_);
        outcome_ = std::move(outcomes.front());
    }
    running_.store(false);
}

}  // namespace jilan::push
