#include "detail_batch.h"

#include <algorithm>
#include <utility>

#include "base/domain_name.h"
#include "net/retry_after.h"

namespace jilan::query {

namespace {

constexpr long kTooManyRequests = 429;
constexpr long kUnavailable = 503;

std::uint8_t bitOf(Part part) {
    return part == Part::Detail ? 1 : 2;
}

bool conclusive(const PartOutcome& part) {
    return (part.source == PartSource::Cache || part.source == PartSource::Fetched) &&
           part.value.conclusive;
}

PartOutcome notAsked(std::string_view why) {
    PartOutcome out{.source = PartSource::NotAsked, .value = {}};
    out.value.failure = std::string(why);
    return out;
}

PartOutcome failedPart(std::string why) {
    PartOutcome out{.source = PartSource::Failed, .value = {}};
    out.value.failure = std::move(why);
    return out;
}

// The reason of an answer that brought no page to judge.
std::string answerFailure(const BatchTransport::Answer& answer) {
    if (!answer.failure.empty()) {
        return answer.failure;
    }
    if (answer.status > 0) {
        return "服务器返回 " + std::to_string(answer.status);
    }
    return "请求失败";
}

}  // namespace

std::string outcomeText(const PartOutcome& detail, const PartOutcome& icp) {
    std::vector<std::string> reasons;
    const auto add = [&reasons](const PartOutcome& part, std::string_view prefix) {
        if (conclusive(part)) {
            return;
        }
        // A part never asked says so on its own: the same words for both parts.
        std::string reason = part.source == PartSource::NotAsked
                                 ? part.value.failure
                                 : std::string(prefix) + part.value.failure;
        if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) {
            reasons.push_back(std::move(reason));
        }
    };
    add(detail, kDetailFailedPrefix);
    add(icp, kIcpFailedPrefix);
    if (reasons.empty()) {
        return std::string(kQuerySucceeded);
    }
    std::string text = reasons.front();
    for (std::size_t i = 1; i < reasons.size(); ++i) {
        text += "；";
        text += reasons[i];
    }
    return text;
}

DetailBatch::DetailBatch(std::vector<std::string> names, BatchTransport& transport,
                         DetailCache& cache, DetailBatchHooks hooks, DetailBatchOptions options)
    : names_(std::move(names)),
      transport_(transport),
      cache_(cache),
      hooks_(std::move(hooks)),
      options_(options),
      settledParts_(names_.size(), 0) {
    results_.reserve(names_.size());
    for (const std::string& name : names_) {
        results_.push_back(NameResult{.name = name, .detail = {}, .icp = {}, .outcome = {}});
    }
}

DetailBatch::~DetailBatch() {
    // Nothing of this batch stays on the wire once it is gone.
    for (SiteState& site : sites_) {
        if (site.inFlight) {
            transport_.cancel(*site.inFlight);
        }
    }
}

PartOutcome& DetailBatch::outcome(std::size_t name, Part part) {
    return part == Part::Detail ? results_[name].detail : results_[name].icp;
}

bool DetailBatch::settled(std::size_t name, Part part) const {
    return (settledParts_[name] & bitOf(part)) != 0;
}

void DetailBatch::start(Clock::time_point now) {
    if (started_) {
        return;
    }
    started_ = true;
    takeFromCache();
    for (SiteState& site : sites_) {
        site.dueAt = now;
    }
    sendDue(now);
}

void DetailBatch::takeFromCache() {
    const auto wallNow = hooks_.wallClock();
    const auto fresh = [&](const std::optional<DetailCache::Stored>& stored) {
        if (!stored || !stored->value.conclusive || options_.maxAge.count() <= 0) {
            return false;
        }
        // A part stamped in the future (the clock was set back) is not trusted.
        const auto age = wallNow - stored->fetchedAt;
        return age >= std::chrono::system_clock::duration::zero() && age < options_.maxAge;
    };
    for (std::size_t i = 0; i < names_.size(); ++i) {
        // A name that is no domain would build a request for another page (an empty name
        // asks for "/icp/"): it is never asked.
        if (!base::isDomainName(names_[i])) {
            settle(i, Part::Detail, notAsked(base::kNotADomain));
            settle(i, Part::Icp, notAsked(base::kNotADomain));
            continue;
        }
        DetailCache::Entry entry = cache_.lookup(names_[i]);
        for (const Part part : {Part::Detail, Part::Icp}) {
            std::optional<DetailCache::Stored>& stored =
                part == Part::Detail ? entry.detail : entry.icp;
            if (fresh(stored)) {
                settle(i, part,
                       PartOutcome{.source = PartSource::Cache, .value = std::move(stored->value)});
            } else {
                sites_[static_cast<std::size_t>(siteOf(part))].queue.push_back(i);
            }
        }
    }
}

void DetailBatch::poll(Clock::time_point now) {
    if (!started_ || cancelled_) {
        return;
    }
    for (BatchTransport::Answer& answer : transport_.takeFinished()) {
        for (std::size_t s = 0; s < kSiteCount; ++s) {
            if (sites_[s].inFlight == answer.id) {
                onAnswer(static_cast<Site>(s), std::move(answer), now);
                break;
            }
        }
    }
    sendDue(now);
}

void DetailBatch::onAnswer(Site siteId, BatchTransport::Answer answer, Clock::time_point now) {
    SiteState& site = sites_[static_cast<std::size_t>(siteId)];
    const std::size_t name = site.inFlightName;
    const Part part = partOf(siteId);
    site.inFlight.reset();
    site.answerTimeSum += now - site.sentAt;
    ++site.answers;
    // The answer has ended by now at the latest, so pausing from here keeps the gap.
    site.dueAt = now + options_.pause;

    if (!answer.failed && (answer.status == kTooManyRequests || answer.status == kUnavailable)) {
        ++site.refusalsInRow;
        if (site.refusalsInRow >= options_.refusalsToGiveUp) {
            settle(name, part, notAsked(kNotAskedRateLimited));
            giveUp(siteId);
            return;
        }
        const std::optional<std::string_view> header =
            answer.retryAfter ? std::optional<std::string_view>(*answer.retryAfter) : std::nullopt;
        const auto wait = net::retryAfterWait(header, hooks_.wallClock());
        site.dueAt = now + std::max<Clock::duration>(wait, options_.pause);
        site.retry = name;
        return;
    }
    site.refusalsInRow = 0;

    if (answer.failed || answer.status < 200 || answer.status >= 300) {
        settle(name, part, failedPart(answerFailure(answer)));
        return;
    }
    const PageJudge& judge = part == Part::Detail ? hooks_.judgeDetail : hooks_.judgeIcp;
    PartValue value = judge(answer.text);
    if (!value.conclusive) {
        if (value.failure.empty()) {
            value.failure = std::string(kPageNotRecognised);
        }
        settle(name, part, PartOutcome{.source = PartSource::Failed, .value = std::move(value)});
        return;
    }
    cache_.store(names_[name], part,
                 DetailCache::Stored{.value = value, .fetchedAt = hooks_.wallClock()});
    settle(name, part, PartOutcome{.source = PartSource::Fetched, .value = std::move(value)});
}

void DetailBatch::giveUp(Site siteId) {
    SiteState& site = sites_[static_cast<std::size_t>(siteId)];
    const Part part = partOf(siteId);
    site.givenUp = true;
    stoppedBySite_ = true;
    if (site.retry) {
        settle(*site.retry, part, notAsked(kNotAskedRateLimited));
        site.retry.reset();
    }
    for (; site.next < site.queue.size(); ++site.next) {
        if (!settled(site.queue[site.next], part)) {
            settle(site.queue[site.next], part, notAsked(kNotAskedRateLimited));
        }
    }
}

void DetailBatch::sendDue(Clock::time_point now) {
    for (std::size_t s = 0; s < kSiteCount; ++s) {
        SiteState& site = sites_[s];
        if (site.givenUp || site.inFlight || now < site.dueAt) {
            continue;
        }
        std::size_t name = 0;
        if (site.retry) {
            name = *site.retry;
            site.retry.reset();
        } else if (site.next < site.queue.size()) {
            name = site.queue[site.next++];
        } else {
            continue;
        }
        const Site siteId = static_cast<Site>(s);
        const std::string url =
            siteId == Site::Market ? hooks_.detailUrl(names_[name]) : hooks_.icpUrl(names_[name]);
        site.inFlight = transport_.start(url, siteId);
        site.inFlightName = name;
        site.sentAt = now;
    }
}

void DetailBatch::settle(std::size_t name, Part part, PartOutcome value) {
    if (settled(name, part)) {
        return;
    }
    outcome(name, part) = std::move(value);
    settledParts_[name] |= bitOf(part);
    if (!settled(name, Part::Detail) || !settled(name, Part::Icp)) {
        return;
    }
    NameResult& result = results_[name];
    result.outcome = outcomeText(result.detail, result.icp);
    ++finishedCount_;
    if (conclusive(result.detail) && conclusive(result.icp)) {
        const bool bothCached =
            result.detail.source == PartSource::Cache && result.icp.source == PartSource::Cache;
        ++(bothCached ? fromCacheCount_ : fetchedCount_);
    } else if (result.outcome == kNotAskedInterrupted) {
        // Nothing failed: only the stop kept a part from being asked.
        ++interruptedCount_;
    }
    newlyFinished_.push_back(name);
}

void DetailBatch::cancel() {
    if (cancelled_) {
        return;
    }
    cancelled_ = true;
    started_ = true;
    for (SiteState& site : sites_) {
        if (site.inFlight) {
            transport_.cancel(*site.inFlight);
            site.inFlight.reset();
        }
        site.retry.reset();
        site.next = site.queue.size();
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        for (const Part part : {Part::Detail, Part::Icp}) {
            if (!settled(i, part)) {
                settle(i, part, notAsked(kNotAskedInterrupted));
            }
        }
    }
}

std::size_t DetailBatch::remaining(const SiteState& site) const {
    if (site.givenUp) {
        return 0;
    }
    return site.queue.size() - site.next + (site.retry ? 1 : 0) + (site.inFlight ? 1 : 0);
}

std::optional<DetailBatch::Clock::time_point> DetailBatch::nextDue() const {
    std::optional<Clock::time_point> due;
    if (cancelled_) {
        return due;
    }
    for (const SiteState& site : sites_) {
        if (site.inFlight || remaining(site) == 0) {
            continue;
        }
        if (!due || site.dueAt < *due) {
            due = site.dueAt;
        }
    }
    return due;
}

DetailBatchProgress DetailBatch::progress(Clock::time_point now) const {
    DetailBatchProgress p;
    p.total = names_.size();
    p.done = finishedCount_;
    p.fromCache = fromCacheCount_;
    p.fetched = fetchedCount_;
    p.interrupted = interruptedCount_;
    p.failed = finishedCount_ - fromCacheCount_ - fetchedCount_ - interruptedCount_;

    // The sites work side by side: the slower one decides.
    Clock::duration longest{};
    for (const SiteState& site : sites_) {
        const std::size_t left = remaining(site);
        if (left == 0 || cancelled_) {
            continue;
        }
        const Clock::duration answerTime =
            site.answers == 0 ? Clock::duration{}
                              : site.answerTimeSum / static_cast<long>(site.answers);
        Clock::duration t{};
        std::size_t toSend = left;
        if (site.inFlight) {
            const auto spent = now - site.sentAt;
            t += spent < answerTime ? answerTime - spent : Clock::duration{};
            --toSend;
            t += (answerTime + options_.pause) * static_cast<long>(toSend);
        } else {
            t += site.dueAt > now ? site.dueAt - now : Clock::duration{};
            t += answerTime * static_cast<long>(toSend) +
                 options_.pause * static_cast<long>(toSend - 1);
        }
        longest = std::max(longest, t);
    }
    p.timeLeft = std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    return p;
}

std::vector<std::size_t> DetailBatch::takeFinishedNames() {
    std::vector<std::size_t> out;
    out.swap(newlyFinished_);
    return out;
}

}  // namespace jilan::query
