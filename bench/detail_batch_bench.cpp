// Batch details: what a name costs beyond the network and the pause, with the history store
// at the size of a long-used installation (1 000 000 names in each cache table).
// Target: <= 1 ms per name (both pages judged, the cache looked up, both parts written).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "history/store.h"
#include "market_sim.h"
#include "details/detail_judges.h"
#include "details/history_detail_cache.h"
#include "query/detail_batch.h"

namespace {

namespace details = jilan::details;
namespace query = jilan::query;

constexpr int kStoredNames = 1'000'000;
std::string g_path;

std::string storedName(int i) {
    return "n" + std::to_string(i) + ".com";
}

// Fills both cache tables in one transaction; the adapter's own writes would take minutes.
bool fillStore(const std::string& path) {
    auto opened = jilan::history::openStore(path, jilan::history::OpenMode::ReadWrite);
    if (!opened.ok()) {
        return false;
    }
    sqlite3* db = opened.db.get();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* detail = nullptr;
    sqlite3_stmt* icp = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO detail_cache(key, fetched, booking_over, deletion_type, "
                       "deletion_time, booking_deadline, platform, price, price_cny, deposit) "
                       "VALUES(?1, 1796000000, 0, '过期删除', '2026-12-07 09:00:00', "
                       "'2026-12-07 07:50:00', '青岚预订', '12.00 美元', '86.40元', '50元')",
                       -1, &detail, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO icp_cache(key, fetched, state, filing_number) "
                       "VALUES(?1, 1796000000, '未备案', '')",
                       -1, &icp, nullptr);
    for (int i = 0; i < kStoredNames; ++i) {
        const std::string key = storedName(i);
        for (sqlite3_stmt* s : {detail, icp}) {
            sqlite3_bind_text(s, 1, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
    }
    sqlite3_finalize(detail);
    sqlite3_finalize(icp);
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Answers at once with the simulator's pages: the network and the pause cost nothing here.
class InstantTransport final : public query::BatchTransport {
public:
    InstantTransport(std::string detailPage, std::string icpPage)
        : detailPage_(std::move(detailPage)), icpPage_(std::move(icpPage)) {}
    Id start(const std::string&, query::Site site) override {
        done_.push_back(Answer{.id = ++next_,
                               .status = 200,
                               .text = site == query::Site::Market ? detailPage_ : icpPage_,
                               .failed = false,
                               .failure = {},
                               .retryAfter = std::nullopt});
        return next_;
    }
    std::vector<Answer> takeFinished() override { return std::exchange(done_, {}); }
    void cancel(Id) override {}

private:
    std::string detailPage_, icpPage_;
    std::vector<Answer> done_;
    Id next_ = 0;
};

// One batch of new names through the runner, the judges and the cache on the big store.
void BM_BatchPerName(benchmark::State& state) {
    details::HistoryDetailCache cache(g_path);
    if (!cache.ok()) {
        state.SkipWithError("store unavailable");
        return;
    }
    const std::string sample = "lanshan.com";
    InstantTransport transport(jilan::sim::detailPage(sample, true),
                               jilan::sim::icpPage(sample, true));
    const query::DetailBatchHooks hooks{
        .detailUrl = [](std::string_view n) { return std::string(n); },
        .icpUrl = [](std::string_view n) { return std::string(n); },
        .judgeDetail = details::judgeDetailPage,
        .judgeIcp = details::judgeIcpPage,
        .wallClock = [] { return std::chrono::system_clock::now(); },
    };
    const query::DetailBatchOptions options{.pause = std::chrono::milliseconds(0)};
    const std::size_t perBatch = static_cast<std::size_t>(state.range(0));
    std::uint64_t batchNo = 0;
    for (auto _ : state) {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < perBatch; ++i) {
            names.push_back("b" + std::to_string(batchNo) + "x" + std::to_string(i) + ".com");
        }
        ++batchNo;
        query::DetailBatch batch(std::move(names), transport, cache, hooks, options);
        auto now = query::DetailBatch::Clock::now();
        batch.start(now);
        while (!batch.finished()) {
            batch.poll(now);
        }
        benchmark::DoNotOptimize(batch.takeFinishedNames());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(perBatch));
    state.counters["ms_per_name"] = benchmark::Counter(
        static_cast<double>(state.iterations() * perBatch),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_BatchPerName)->Arg(50)->Unit(benchmark::kMillisecond);

// A cached name: the look-up alone, on the big store.
void BM_CachedLookup(benchmark::State& state) {
    details::HistoryDetailCache cache(g_path);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cache.lookup(storedName(i)));
        i = (i + 7919) % kStoredNames;
    }
}
BENCHMARK(BM_CachedLookup)->Unit(benchmark::kMicrosecond);

// The two judges alone, on the simulator's pages.
void BM_JudgePages(benchmark::State& state) {
    const std::string detail = jilan::sim::detailPage("lanshan.com", true);
    const std::string icp = jilan::sim::icpPage("lanshan.com", true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(details::judgeDetailPage(detail));
        benchmark::DoNotOptimize(details::judgeIcpPage(icp));
    }
}
BENCHMARK(BM_JudgePages)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::string folder = (std::filesystem::temp_directory_path() / "jilan-detail-bench-XXXXXX");
    if (::mkdtemp(folder.data()) == nullptr) {
        return 1;
    }
    g_path = folder + "/history.sqlite3";
    if (!fillStore(g_path)) {
        std::filesystem::remove_all(folder);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
