#include "detail_service.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <utility>

#include "batch_summary.h"
#include "detail_judges.h"
#include "detail_transport.h"
#include "history_detail_cache.h"
#include "net/market_requests.h"
#include "query/detail_batch.h"

namespace jilan::details {

namespace {

using Steady = std::chrono::steady_clock;
using SysClock = std::chrono::system_clock;

// The longest a driver sleeps before it looks at its stop flag again.
constexpr int kLongestWaitMs = 20;

query::DetailBatchHooks hooksFor(const config::Urls& urls) {
    return query::DetailBatchHooks{
        .detailUrl =
            [market = urls.market](std::string_view name) { return net::detailUrl(market, name); },
        .icpUrl = [icp = urls.icp](std::string_view name) { return net::icpUrl(icp, name); },
        .judgeDetail = judgeDetailPage,
        .judgeIcp = judgeIcpPage,
        .wallClock = [] { return SysClock::now(); },
    };
}

query::DetailBatchOptions optionsFor(const DetailSettings& settings) {
    return query::DetailBatchOptions{
        .pause = std::chrono::milliseconds(std::max(0, settings.pauseMs)),
        .maxAge = std::chrono::hours(std::max(0, settings.maxAgeHours)),
    };
}

// One batch with its transport and cache, driven by whoever owns it.
class DetailRun {
public:
    DetailRun(std::vector<std::string> names, const DetailSettings& settings)
        : transport_(settings.limits),
          cache_(settings.historyPath),
          batch_(std::move(names), transport_, cache_, hooksFor(settings.urls),
                 optionsFor(settings)) {}

    void start() { batch_.start(Steady::now()); }

    // Waits for answers or the next due request, at most kLongestWaitMs, then moves on.
    void step() {
        int waitMs = kLongestWaitMs;
        if (const std::optional<Steady::time_point> due = batch_.nextDue()) {
            const auto untilDue =
                std::chrono::ceil<std::chrono::milliseconds>(*due - Steady::now()).count();
            waitMs = static_cast<int>(std::clamp<long long>(untilDue, 0, kLongestWaitMs));
        }
        transport_.poll(waitMs);
        batch_.poll(Steady::now());
    }

    void cancel() { batch_.cancel(); }
    bool finished() const { return batch_.finished(); }
    bool stoppedBySite() const { return batch_.stoppedBySite(); }
    std::string historyProblem() const {
        if (!cache_.lastWriteError().empty()) {
            return cache_.lastWriteError();
        }
        return cache_.unavailableReason();
    }

    DetailProgress progress() const {
        const query::DetailBatchProgress p = batch_.progress(Steady::now());
        DetailProgress out{.done = p.done - p.interrupted,
                           .total = p.total,
                           .fromCache = p.fromCache,
                           .fetched = p.fetched,
                           .failed = p.failed,
                           .notAsked = p.interrupted,
                           .left = std::nullopt};
        if (p.done < p.total) {
            out.left = std::chrono::ceil<std::chrono::seconds>(p.timeLeft);
        }
        return out;
    }

    // The names finished since the last call, each with its index.
    std::vector<std::pair<std::size_t, NameDetails>> takeFinished() {
        std::vector<std::pair<std::size_t, NameDetails>> out;
        for (const std::size_t index : batch_.takeFinishedNames()) {
            const query::NameResult& result = batch_.result(index);
            out.emplace_back(index, detailsOf(result, queriedAt(result)));
        }
        return out;
    }

private:
    std::string queriedAt(const query::NameResult& result) const {
        if (result.detail.source == query::PartSource::Fetched ||
            result.icp.source == query::PartSource::Fetched) {
            if (const auto at = cache_.fetchedAt(result.name)) {
                return localTimeText(*at);
            }
            return localTimeText(SysClock::now());
        }
        if (result.detail.source == query::PartSource::Cache ||
            result.icp.source == query::PartSource::Cache) {
            if (const auto at = cache_.fetchedAt(result.name)) {
                return localTimeText(*at);
            }
        }
        return {};
    }

    PoolTransport transport_;
    HistoryDetailCache cache_;
    query::DetailBatch batch_;
};

void printProgress(std::ostream& err, const DetailProgress& p) {
    err << "详情查询：已完成 " << p.done << "/" << p.total << "（缓存 " << p.fromCache
        << "，新查询 " << p.fetched << "，失败 " << p.failed << "）";
    if (p.left) {
        err << "，预计剩余 " << p.left->count() << " 秒";
    }
    err << '\n';
}

}  // namespace

DetailWorker::DetailWorker(DetailSettings settings) : settings_(std::move(settings)) {}

DetailWorker::~DetailWorker() {
    stopRequested_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool DetailWorker::start(std::vector<std::string> names) {
    if (running_.exchange(true)) {
        return false;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    stopRequested_ = false;
    {
        const std::lock_guard lock(mutex_);
        progress_ = DetailProgress{};
        progress_.total = names.size();
        stoppedBySite_ = false;
        historyProblem_.clear();
    }
    thread_ = std::thread([this, names = std::move(names)]() mutable { run(std::move(names)); });
    return true;
}

void DetailWorker::run(std::vector<std::string> names) {
    DetailRun batch(std::move(names), settings_);
    batch.start();
    const auto publish = [&] {
        auto finished = batch.takeFinished();
        const std::lock_guard lock(mutex_);
        for (auto& [index, details] : finished) {
            results_.push_back(std::move(details));
        }
        progress_ = batch.progress();
        stoppedBySite_ = batch.stoppedBySite();
        historyProblem_ = batch.historyProblem();
    };
    publish();
    while (!batch.finished()) {
        if (stopRequested_) {
            batch.cancel();
            break;
        }
        batch.step();
        publish();
    }
    publish();
    running_ = false;
}

void DetailWorker::stop() {
    stopRequested_ = true;
}

bool DetailWorker::running() const {
    return running_;
}

DetailProgress DetailWorker::progress() const {
    const std::lock_guard lock(mutex_);
    return progress_;
}

std::vector<NameDetails> DetailWorker::takeResults() {
    const std::lock_guard lock(mutex_);
    return std::exchange(results_, {});
}

bool DetailWorker::stoppedBySite() const {
    const std::lock_guard lock(mutex_);
    return stoppedBySite_;
}

std::string DetailWorker::historyProblem() const {
    const std::lock_guard lock(mutex_);
    return historyProblem_;
}

std::optional<NameDetails> DetailWorker::cached(const std::string& domain) const {
    if (settings_.historyPath.empty()) {
        return std::nullopt;
    }
    // A look-up never creates the store: without a file there is nothing cached.
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(settings_.historyPath, ignored)) {
        return std::nullopt;
    }
    const std::lock_guard lock(readerMutex_);
    if (!reader_ || !reader_->ok()) {
        reader_.emplace(history::DetailCache::open(settings_.historyPath));
    }
    const std::optional<history::DetailPart> detail = reader_->detail(domain);
    const std::optional<history::IcpPart> icp = reader_->icp(domain);
    if (!detail && !icp) {
        return std::nullopt;
    }
    query::NameResult result{.name = domain, .detail = {}, .icp = {}, .outcome = {}};
    std::int64_t newest = 0;
    if (detail) {
        result.detail = {.source = query::PartSource::Cache, .value = valueOf(*detail)};
        newest = detail->fetchedUtc;
    }
    if (icp) {
        result.icp = {.source = query::PartSource::Cache, .value = valueOf(*icp)};
        newest = std::max(newest, icp->fetchedUtc);
    }
    result.outcome = query::outcomeText(result.detail, result.icp);
    return detailsOf(result, localTimeText(newest));
}

DetailRunOutcome runDetails(const std::vector<std::string>& names, const DetailSettings& settings,
                            const std::atomic<bool>& interrupted, std::ostream& err,
                            const DetailProgressSink& onProgress) {
    DetailRunOutcome outcome;
    outcome.details.resize(names.size());
    DetailRun batch(names, settings);
    if (const std::string problem = batch.historyProblem(); !problem.empty()) {
        // The store's reasons already begin with "历史记录不可用：".
        err << problem << "，本次查询结果不会缓存\n";
    }
    batch.start();
    const auto collect = [&] {
        for (auto& [index, details] : batch.takeFinished()) {
            outcome.details[index] = std::move(details);
        }
    };
    std::size_t shownDone = 0;
    auto shownAt = Steady::now();
    while (!batch.finished()) {
        if (interrupted) {
            batch.cancel();
            outcome.interrupted = true;
            break;
        }
        batch.step();
        collect();
        // A line per second at most, so a long batch does not flood the terminal.
        const DetailProgress p = batch.progress();
        if (onProgress) {
            onProgress(p);
        } else if (p.done != shownDone && Steady::now() - shownAt >= std::chrono::seconds(1)) {
            printProgress(err, p);
            shownDone = p.done;
            shownAt = Steady::now();
        }
    }
    collect();
    if (const DetailProgress p = batch.progress(); p.notAsked > 0) {
        err << stoppedSummary(p) << '\n';
    } else {
        printProgress(err, p);
    }
    outcome.stoppedBySite = batch.stoppedBySite();
    outcome.historyProblem = batch.historyProblem();
    if (outcome.stoppedBySite) {
        err << "站点多次拒绝请求（限流），其余名称未查询\n";
    }
    // Names the stop kept from being asked did not fail.
    outcome.allFailed =
        !outcome.interrupted && !outcome.details.empty() &&
        std::none_of(outcome.details.begin(), outcome.details.end(),
                     [](const NameDetails& d) { return d.result == query::kQuerySucceeded; });
    return outcome;
}

}  // namespace jilan::details
