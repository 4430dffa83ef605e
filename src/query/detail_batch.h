#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jilan::query {

// A site is a configured base-URL role. Each is paced on its own, even when
// both roles point at one host.
enum class Site : std::uint8_t { Market, Icp };
inline constexpr std::size_t kSiteCount = 2;

// The two parts asked for a name: the detail page on the marketplace and the
// filing lookup on the ICP site.
enum class Part : std::uint8_t { Detail, Icp };

inline constexpr std::string_view kNotAskedRateLimited = "未查询（站点限流）";
inline constexpr std::string_view kNotAskedInterrupted = "未查询（已中断）";
// A name beyond the run's --max-names: kept in the output, never asked.
inline constexpr std::string_view kNotAskedOverCap = "未查询（超过上限）";
inline constexpr std::string_view kPageNotRecognised = "页面无法识别";
inline constexpr std::string_view kQuerySucceeded = "成功";
inline constexpr std::string_view kDetailFailedPrefix = "详情查询失败：";
inline constexpr std::string_view kIcpFailedPrefix = "备案查询失败：";

// One table column's value, e.g. {"删除时间", "2026-12-07 09:00:00"}.
struct FieldValue {
    std::string column;
    std::string value;

    friend bool operator==(const FieldValue&, const FieldValue&) = default;
};

// A judged part. Only a conclusive part is a result worth keeping; any other
// carries the Chinese reason it failed.
struct PartValue {
    bool conclusive = false;
    std::vector<FieldValue> fields;
    std::string failure;

    friend bool operator==(const PartValue&, const PartValue&) = default;
};

// Turns a fetched 200 page into a part; a page with none of the markers is
// not conclusive, with kPageNotRecognised as its reason.
using PageJudge = std::function<PartValue(std::string_view pageText)>;
// The address of a part for a name.
using PartUrl = std::function<std::string(std::string_view name)>;

// The transfers the runner asks for. It never waits on one: it starts them
// and collects what has finished when it is polled.
class BatchTransport {
public:
    using Id = std::uint64_t;

    struct Answer {
        Id id = 0;
        long status = 0;
        std::string text;
        // No usable answer (refused, timed out, cut); `failure` says why, in Chinese.
        bool failed = false;
        std::string failure;
        // The Retry-After header, when the answer had one.
        std::optional<std::string> retryAfter;
    };

    virtual ~BatchTransport() = default;
    // The detail page is fetched as the window's double-click fetches it and
    // the ICP page as its lookup does; `site` tells which.
    virtual Id start(const std::string& url, Site site) = 0;
    virtual std::vector<Answer> takeFinished() = 0;
    virtual void cancel(Id id) = 0;
};

// Parts kept from earlier runs, with the wall-clock time they were fetched.
class DetailCache {
public:
    struct Stored {
        PartValue value;
        std::chrono::system_clock::time_point fetchedAt;
    };
    struct Entry {
        std::optional<Stored> detail;
        std::optional<Stored> icp;
    };

    virtual ~DetailCache() = default;
    virtual Entry lookup(std::string_view name) = 0;
    // Only conclusive parts are offered.
    virtual void store(std::string_view name, Part part, const Stored& stored) = 0;
};

struct DetailBatchOptions {
    // Between the end of one answer from a site and the next request to it.
    std::chrono::milliseconds pause{1000};
    // A cached part younger than this is used; zero always fetches.
    std::chrono::hours maxAge{12};
    // Refusals (429, 503) in a row after which a site is asked nothing more.
    int refusalsToGiveUp = 3;
};

// What the runner does not know itself; every hook must be set.
struct DetailBatchHooks {
    PartUrl detailUrl;
    PartUrl icpUrl;
    PageJudge judgeDetail;
    PageJudge judgeIcp;
    // Wall-clock time: for the age of cached parts and Retry-After dates.
    std::function<std::chrono::system_clock::time_point()> wallClock;
};

// Where a part of a finished name came from.
enum class PartSource : std::uint8_t { Cache, Fetched, Failed, NotAsked };

struct PartOutcome {
    PartSource source = PartSource::NotAsked;
    PartValue value;
};

struct NameResult {
    std::string name;
    PartOutcome detail;
    PartOutcome icp;
    // 查询结果: kQuerySucceeded, or the reasons of the parts that failed.
    std::string outcome;
};

struct DetailBatchProgress {
    std::size_t done = 0;
    std::size_t total = 0;
    std::size_t fromCache = 0;  // both parts from the cache
    std::size_t fetched = 0;    // at least one part fetched, both conclusive
    std::size_t failed = 0;     // finished without both parts, not interrupted
    // Finished as kNotAskedInterrupted: a part was never asked because the batch stopped.
    std::size_t interrupted = 0;
    std::chrono::milliseconds timeLeft{0};
};

// Queries the detail page and the ICP filing of many names, politely: one
// request in flight per site, a pause after every answer, Retry-After obeyed,
// a site given up after repeated refusals, cached parts reused. It never
// waits: whoever drives it calls poll() with the monotonic time.
class DetailBatch {
public:
    using Clock = std::chrono::steady_clock;

    DetailBatch(std::vector<std::string> names, BatchTransport& transport, DetailCache& cache,
                DetailBatchHooks hooks, DetailBatchOptions options = {});
    DetailBatch(const DetailBatch&) = delete;
    DetailBatch& operator=(const DetailBatch&) = delete;
    ~DetailBatch();

    // Takes what the cache holds and sends the first requests.
    void start(Clock::time_point now);
    // Collects finished answers and sends what is due.
    void poll(Clock::time_point now);
    // Cancels the requests on the wire; every name not done is finished as
    // kNotAskedInterrupted at once.
    void cancel();

    bool finished() const { return started_ && finishedCount_ == names_.size(); }
    // A site refused too often and names were left unasked.
    bool stoppedBySite() const { return stoppedBySite_; }
    // When the next request is due, for a driver that wants to sleep until
    // then; nullopt when only answers are awaited or nothing is left.
    std::optional<Clock::time_point> nextDue() const;

    DetailBatchProgress progress(Clock::time_point now) const;
    // Indices of names finished since the last call, in the order they finished.
    std::vector<std::size_t> takeFinishedNames();
    const NameResult& result(std::size_t index) const { return results_[index]; }
    std::size_t size() const { return names_.size(); }

private:
    struct SiteState {
        std::vector<std::size_t> queue;    // names still to ask, front first
        std::size_t next = 0;              // position in queue
        std::optional<std::size_t> retry;  // a refused name, asked again first
        std::optional<BatchTransport::Id> inFlight;
        std::size_t inFlightName = 0;
        Clock::time_point sentAt{};
        Clock::time_point dueAt{};
        int refusalsInRow = 0;
        bool givenUp = false;
        // For the time-left estimate.
        Clock::duration answerTimeSum{};
        std::size_t answers = 0;
    };

    static Site siteOf(Part part) { return part == Part::Detail ? Site::Market : Site::Icp; }
    static Part partOf(Site site) { return site == Site::Market ? Part::Detail : Part::Icp; }
    PartOutcome& outcome(std::size_t name, Part part);
    bool settled(std::size_t name, Part part) const;
    void takeFromCache();
    void onAnswer(Site site, BatchTransport::Answer answer, Clock::time_point now);
    void giveUp(Site site);
    void sendDue(Clock::time_point now);
    void settle(std::size_t name, Part part, PartOutcome value);
    std::size_t remaining(const SiteState& state) const;

    std::vector<std::string> names_;
    BatchTransport& transport_;
    DetailCache& cache_;
    DetailBatchHooks hooks_;
    DetailBatchOptions options_;

    std::vector<NameResult> results_;
    std::vector<std::uint8_t> settledParts_;  // per name: bit 0 detail, bit 1 ICP
    std::array<SiteState, kSiteCount> sites_{};
    std::vector<std::size_t> newlyFinished_;
    std::size_t finishedCount_ = 0;
    std::size_t fromCacheCount_ = 0;
    std::size_t fetchedCount_ = 0;
    std::size_t interruptedCount_ = 0;
    bool started_ = false;
    bool cancelled_ = false;
    bool stoppedBySite_ = false;
};

// 查询结果 of a name from its two parts.
std::string outcomeText(const PartOutcome& detail, const PartOutcome& icp);

}  // namespace jilan::query
