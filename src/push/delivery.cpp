#include "push/delivery.h"

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace jilan::push {
namespace {

constexpr int kTries = 3;
constexpr std::int64_t kFirstPauseMs = 2000;

// The pace of one channel: at most perWindow messages in windowSeconds, minGapMs apart.
class Pacer {
public:
    Pacer(const PlatformLimits& limits, const Timing& timing) : limits_(limits), timing_(timing) {}

    void waitTurn() {
        const std::int64_t window = std::int64_t{limits_.windowSeconds} * 1000;
        for (;;) {
            const std::int64_t now = timing_.nowMs();
            while (!sent_.empty() && now - sent_.front() >= window) {
                sent_.pop_front();
            }
            std::int64_t until = now;
            if (limits_.perWindow > 0 && static_cast<int>(sent_.size()) >= limits_.perWindow) {
                until = sent_.front() + window;
            }
            if (!sent_.empty() && limits_.minGapMs > 0) {
                until = std::max(until, sent_.back() + limits_.minGapMs);
            }
            if (until <= now) {
                return;
            }
            timing_.sleepMs(until - now);
        }
    }
    void sent() {
        if (limits_.perWindow > 0 || limits_.minGapMs > 0) {
            sent_.push_back(timing_.nowMs());
        }
    }
    std::int64_t windowMs() const {
        return limits_.windowSeconds > 0 ? std::int64_t{limits_.windowSeconds} * 1000 : 60000;
    }

private:
    const PlatformLimits& limits_;
    const Timing& timing_;
    std::deque<std::int64_t> sent_;
};

// The log is shared by the channels' threads.
class SharedLog {
public:
    explicit SharedLog(DeliveryLog* log) : log_(log) {}
    bool delivered(const DigestJob& job, int number) {
        std::lock_guard lock(mutex_);
        return log_ != nullptr && log_->delivered(job.digest, job.channel->name, number);
    }
    void record(const DigestJob& job, int number, bool ok, const std::string& text) {
        std::lock_guard lock(mutex_);
        if (log_ != nullptr) {
            log_->record(job.digest, job.channel->name, number, ok, text);
        }
    }

private:
    DeliveryLog* log_;
    std::mutex mutex_;
};

// One message with its retries; the answer that ended it.
Answer sendWithRetries(const DigestJob& job, const Message& message, const SendOne& send,
                       const Timing& timing, Pacer& pacer) {
    int rateTries = 0;
    int transientTries = 0;
    for (;;) {
        pacer.waitTurn();
        Answer answer = send(*job.channel, message, job.payload, timing.nowMs());
        pacer.sent();
        if (answer.verdict == Verdict::RateLimited && rateTries < kTries) {
            ++rateTries;
            const std::int64_t wait = answer.retryAfterSeconds > 0
                                          ? std::int64_t{answer.retryAfterSeconds} * 1000
                                          : pacer.windowMs();
            timing.sleepMs(wait);
            continue;
        }
        if (answer.verdict == Verdict::Transient && transientTries < kTries) {
            timing.sleepMs(kFirstPauseMs << transientTries);
            ++transientTries;
            continue;
        }
        return answer;
    }
}

void runChannel(const std::vector<const DigestJob*>& jobs, std::vector<ChannelOutcome*>& outcomes,
                const SendOne& send, const Timing& timing, SharedLog& log) {
    Pacer pacer(limitsOf(jobs.front()->channel->type), timing);
    bool unreachable = false;
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        const DigestJob& job = *jobs[j];
        ChannelOutcome& outcome = *outcomes[j];
        for (const Message& message : job.messages) {
            if (log.delivered(job, message.number)) {
                ++outcome.earlier;
                continue;
            }
            if (unreachable) {
                outcome.ok = false;
                log.record(job, message.number, false, outcome.text);
                continue;
            }
            const Answer answer = sendWithRetries(job, message, send, timing, pacer);
            const bool ok =
                answer.verdict == Verdict::Delivered || answer.verdict == Verdict::Skipped;
            log.record(job, message.number, ok, answer.text);
            if (ok) {
                outcome.sent += answer.verdict == Verdict::Delivered ? 1 : 0;
                if (outcome.ok) {
                    outcome.text = answer.text;
                }
                continue;
            }
            if (outcome.ok) {
                outcome.text = answer.text;
            }
            outcome.ok = false;
            // A channel that cannot be reached after its retries is not tried for the rest.
            unreachable =
                answer.verdict == Verdict::Transient || answer.verdict == Verdict::RateLimited;
        }
        if (outcome.ok && outcome.text.empty()) {
            outcome.text = "成功";
        }
    }
}

}  // namespace

Timing realTiming() {
    return {[] {
                return std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                    .count();
            },
            [](std::int64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }};
}

std::vector<ChannelOutcome> deliver(const std::vector<DigestJob>& jobs, const SendOne& send,
                                    const Timing& timing, DeliveryLog* log) {
    std::vector<ChannelOutcome> outcomes(jobs.size());
    std::map<std::string, std::pair<std::vector<const DigestJob*>, std::vector<ChannelOutcome*>>>
        byChannel;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        outcomes[i].digest = jobs[i].digest;
        outcomes[i].channel = jobs[i].channel->name;
        outcomes[i].total = static_cast<int>(jobs[i].messages.size());
        auto& [channelJobs, channelOutcomes] = byChannel[jobs[i].channel->name];
        channelJobs.push_back(&jobs[i]);
        channelOutcomes.push_back(&outcomes[i]);
    }
    SharedLog shared(log);
    {
        std::vector<std::jthread> threads;
        for (auto& [name, work] : byChannel) {
            threads.emplace_back([&work, &send, &timing, &shared] {
                runChannel(work.first, work.second, send, timing, shared);
            });
        }
    }
    return outcomes;
}

}  // namespace jilan::push
