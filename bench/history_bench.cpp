// The history store at the size of a long-used installation: 1 000 000 names.
// Targets: 100 page transactions of 50 upserts in <= 50 ms in total; the search over every name
// (the history part of a filtered --search-history) well inside 500 ms and 200 MB resident.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "history/reader.h"
#include "history/recorder.h"

namespace {

using namespace jilan::history;

constexpr int kStoredNames = 1'000'000;
std::string g_path;

// Plausible feature columns, cheap enough not to dominate what is measured.
NameColumns columnsOf(std::string_view domain) {
    NameColumns c;
    const auto dot = domain.find('.');
    c.name = std::string(domain.substr(0, dot));
    c.tld = std::string(domain.substr(dot + 1));
    c.length = static_cast<int>(c.name.size());
    bool digits = true, letters = true;
    for (char ch : c.name) {
        const bool d = ch >= '0' && ch <= '9';
        digits = digits && d;
        letters = letters && !d;
        c.structure.push_back(d ? 'N' : 'L');
    }
    c.kind = digits ? "纯数字" : letters ? "纯字母" : "杂米";
    c.featuresVersion = 1;
    return c;
}

RecorderOptions options() {
    RecorderOptions o;
    o.path = g_path;
    o.columns = columnsOf;
    o.featuresVersion = 1;
    return o;
}

// A name of 3 to 8 characters, digits and letters spread as on a drop list.
std::string nameFor(std::uint64_t i) {
    static const char kTlds[][7] = {"com", "cn", "net", "com.cn", "top"};
    std::uint64_t x = i * 0x9E3779B97F4A7C15ull;
    const int length = 3 + static_cast<int>(x % 6);
    std::string name;
    const bool digitsOnly = (x >> 8) % 4 == 0;
    for (int k = 0; k < length; ++k) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        const unsigned r = static_cast<unsigned>(x >> 33);
        name.push_back(digitsOnly || r % 3 == 0 ? static_cast<char>('0' + r % 10)
                                                : static_cast<char>('a' + r % 26));
    }
    return name + std::to_string(i) + "." + kTlds[i % 5];
}

void fillStore() {
    Recorder recorder(options());
    const RunTicket t = recorder.beginRun(1000, 1'700'000'000);
    for (int page = 0; page < kStoredNames / 1000; ++page) {
        std::vector<std::string> names;
        for (int j = 0; j < 1000; ++j) {
            names.push_back(nameFor(static_cast<std::uint64_t>(page) * 1000 + j));
        }
        recorder.recordPage(t, std::move(names), 1'700'000'000 + page);
    }
    recorder.endRun(t, RunStats{1'700'001'000, 1000, 0, kStoredNames});
    recorder.close();
}

// CPU seconds of every thread of the process (the writer's included): a figure that the load
// of other programs on the machine does not inflate the way it inflates wall time.
double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
// The kernel's share of the above (system calls, page faults): what SQLite's file access costs.
double processSystemSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_stime);
}

void BM_Record100PagesOf50(benchmark::State& state) {
    double cpu = 0, system = 0;
    std::uint64_t fresh = kStoredNames;
    std::int64_t now = 1'800'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        Recorder recorder(options());
        const RunTicket t = recorder.beginRun(100, now);
        recorder.flush();
        // Half the names were seen before (an update), half are new (an insert).
        std::vector<std::vector<std::string>> pages(100);
        for (int p = 0; p < 100; ++p) {
            for (int j = 0; j < 25; ++j) {
                pages[p].push_back(nameFor(static_cast<std::uint64_t>(p) * 9973 + j * 37));
                pages[p].push_back(nameFor(fresh++));
            }
        }
        state.ResumeTiming();
        const double cpuBefore = processCpuSeconds();
        const double systemBefore = processSystemSeconds();
        for (auto& page : pages) {
            recorder.recordPage(t, std::move(page), now);
        }
        recorder.flush();
        cpu += processCpuSeconds() - cpuBefore;
        system += processSystemSeconds() - systemBefore;
        state.PauseTiming();
        recorder.endRun(t, RunStats{now + 60, 100, 0, 5000});
        recorder.close();
        if (recorder.unavailable()) {
            state.SkipWithError(recorder.unavailableReason().c_str());
        }
        now += 100;
        state.ResumeTiming();
    }
    state.counters["cpu_ms_per_100_pages"] = cpu * 1000.0 / static_cast<double>(state.iterations());
    state.counters["sys_ms_per_100_pages"] =
        system * 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Record100PagesOf50)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same with one recorder for every run, as in a window that stays open across harvests:
// its page cache is warm after the first run.
void BM_Record100PagesOf50Warm(benchmark::State& state) {
    std::uint64_t fresh = 2 * kStoredNames;
    std::int64_t now = 1'900'000'000;
    double cpu = 0, system = 0;
    Recorder recorder(options());
    for (auto _ : state) {
        state.PauseTiming();
        const RunTicket t = recorder.beginRun(100, now);
        recorder.flush();
        std::vector<std::vector<std::string>> pages(100);
        for (int p = 0; p < 100; ++p) {
            for (int j = 0; j < 25; ++j) {
                pages[p].push_back(nameFor(static_cast<std::uint64_t>(p) * 7919 + j * 41));
                pages[p].push_back(nameFor(fresh++));
            }
        }
        state.ResumeTiming();
        const double cpuBefore = processCpuSeconds();
        const double systemBefore = processSystemSeconds();
        for (auto& page : pages) {
            recorder.recordPage(t, std::move(page), now);
        }
        recorder.flush();
        cpu += processCpuSeconds() - cpuBefore;
        system += processSystemSeconds() - systemBefore;
        state.PauseTiming();
        recorder.endRun(t, RunStats{now + 60, 100, 0, 5000});
        recorder.flush();
        now += 100;
        state.ResumeTiming();
    }
    if (recorder.unavailable()) {
        state.SkipWithError(recorder.unavailableReason().c_str());
    }
    state.counters["cpu_ms_per_100_pages"] = cpu * 1000.0 / static_cast<double>(state.iterations());
    state.counters["sys_ms_per_100_pages"] =
        system * 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Record100PagesOf50Warm)->Unit(benchmark::kMillisecond)->Iterations(5);

// peak_rss_MB is the process's peak: run the searches alone (--benchmark_filter=Search) for the
// search's own, since the recording benchmarks before them map and touch the store's pages.
void BM_SearchEveryName(benchmark::State& state) {
    std::size_t kept = 0, rows = 0;
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        Reader reader = Reader::open(g_path);
        kept = 0;
        const WalkResult r = reader.search(INT64_MIN, INT64_MAX, [&](const NameRow& row) {
            kept += row.columns.length <= 5 && row.columns.kind == "纯数字";
            return true;
        });
        rows = r.rows;
        if (!r.ok()) {
            state.SkipWithError(r.error.c_str());
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["cpu_ms_per_search"] =
        (processCpuSeconds() - cpuBefore) * 1000.0 / static_cast<double>(state.iterations());
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["kept"] = static_cast<double>(kept);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_SearchEveryName)->Unit(benchmark::kMillisecond)->Iterations(3);

// 'len<=5 纯数字' with the hints such a filter gives: the rows it cannot keep are skipped in
// SQLite before their text columns are read.
void BM_SearchLen5Digits(benchmark::State& state) {
    std::size_t kept = 0;
    SearchHints hints;
    hints.maxLength = 5;
    hints.kinds = {"纯数字"};
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        Reader reader = Reader::open(g_path);
        kept = 0;
        const WalkResult r = reader.search(
            INT64_MIN, INT64_MAX,
            [&](const NameRow& row) {
                kept += row.columns.length <= 5 && row.columns.kind == "纯数字";
                return true;
            },
            hints);
        if (!r.ok()) {
            state.SkipWithError(r.error.c_str());
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["cpu_ms_per_search"] =
        (processCpuSeconds() - cpuBefore) * 1000.0 / static_cast<double>(state.iterations());
    state.counters["kept"] = static_cast<double>(kept);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_SearchLen5Digits)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // HISTORY_BENCH_STORE=FILE keeps the filled store between runs (filling takes minutes).
    if (const char* kept = std::getenv("HISTORY_BENCH_STORE"); kept != nullptr && *kept != 0) {
        g_path = kept;
        if (!std::filesystem::exists(g_path)) {
            fillStore();
        }
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    std::string dir = (std::filesystem::temp_directory_path() / "history-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        return 1;
    }
    g_path = dir + "/history.sqlite3";
    fillStore();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
