// The history store at the size of a long-used installation: 1 000 000 names, filled once and
// copied afresh for every measured run, so each run writes into the same store.
//
// - BM_RecorderAgainstFloor: 100 pages of 50 names (25 seen before anywhere in the store, 25
//   new) through the Recorder, against a minimal loop that runs the recorder's statements with
//   its pragmas on the calling thread, no queue: what the recorder adds to what SQLite itself
//   costs. Target: ratio of the CPU times <= 1.25.
// - BM_RealisticDay: a day's 5 000 names (80 % seen within the last five days, 20 % new) as 100
//   pages of 50 through the Recorder, and the floor beside it: CPU ms.
// - The searches over every name (the history part of a filtered --search-history).
// - The counts of the 统计 tab and --stats over every name and over the last 90 days: grouped
//   in SQLite (no filter), and a scan with a test of each name (a filter). Target: <= 500 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/name_key.h"
#include "history/backup.h"
#include "history/integrity.h"
#include "history/reader.h"
#include "history/recorder.h"
#include "history/stats.h"

namespace {

using namespace jilan::history;
namespace fs = std::filesystem;

constexpr int kStoredNames = 1'000'000;
// The store holds 200 days of 5 000 names each, five pages of 1 000 a day, one run a day.
constexpr int kDays = 200;
constexpr int kNamesPerDay = kStoredNames / kDays;
constexpr std::int64_t kFirstDayUtc = 1'700'000'000;
constexpr std::int64_t kDaySeconds = 86'400;

std::string g_template;  // the filled store; never written after the fill
std::string g_workDir;   // the copies live here

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
    // A spread of scores for the counts by score band; one name in ten cannot be scored.
    unsigned spread = 0;
    for (char ch : c.name) {
        spread = spread * 31 + static_cast<unsigned char>(ch);
    }
    c.score = spread % 10 == 0 ? -1 : static_cast<int>(spread % 101);
    c.featuresVersion = 1;
    return c;
}

RecorderOptions options(const std::string& path) {
    RecorderOptions o;
    o.path = path;
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

// Names 0 .. 999 999 in order of their days; name i is seen on day i / 5 000.
void fillStore(const std::string& path) {
    Recorder recorder(options(path));
    for (int day = 0; day < kDays; ++day) {
        const std::int64_t dayUtc = kFirstDayUtc + day * kDaySeconds;
        const RunTicket t = recorder.beginRun(5, dayUtc);
        for (int page = 0; page < 5; ++page) {
            std::vector<std::string> names;
            for (int j = 0; j < 1000; ++j) {
                names.push_back(nameFor(static_cast<std::uint64_t>(day) * kNamesPerDay +
                                        static_cast<std::uint64_t>(page) * 1000 + j));
            }
            recorder.recordPage(t, std::move(names), dayUtc + page * 60);
        }
        recorder.endRun(t, RunStats{dayUtc + 600, 5, 0, kNamesPerDay});
        recorder.completeRun(t, dayUtc + 660);
    }
    recorder.close();
}

// A fresh copy of the filled store; the previous copy's WAL and shared memory go with it.
std::string freshCopy(const char* name) {
    const std::string path = g_workDir + "/" + name;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        fs::remove(path + suffix);
    }
    fs::copy_file(g_template, path);
    return path;
}

// CPU seconds of every thread of the process (the recorder's writer included): a figure that
// the load of other programs on the machine does not inflate the way it inflates wall time.
double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Cost {
    double cpuMs = 0;
    double wallMs = 0;
    std::string error;
};

using Pages = std::vector<std::vector<std::string>>;

// 100 pages of 50: 25 names seen before, spread over the whole store, and 25 new ones.
Pages halfSeenPages() {
    Pages pages(100);
    for (int p = 0; p < 100; ++p) {
        for (int j = 0; j < 25; ++j) {
            pages[p].push_back(nameFor(static_cast<std::uint64_t>(p) * 9973 + j * 37));
            pages[p].push_back(nameFor(kStoredNames + static_cast<std::uint64_t>(p) * 25 + j));
        }
    }
    return pages;
}

// A day of 5 000 names as 100 pages of 50: 4 000 seen within the last five days of the store
// (its newest 25 000 names, each picked once), 1 000 new, one new among every five.
Pages realisticDayPages() {
    constexpr std::uint64_t kRecent = 5 * kNamesPerDay;
    Pages pages(100);
    std::uint64_t seen = 0, fresh = 0;
    for (int p = 0; p < 100; ++p) {
        for (int j = 0; j < 50; ++j) {
            if (j % 5 == 4) {
                pages[p].push_back(nameFor(kStoredNames + fresh++));
            } else {
                // 7919 is prime to 25 000: 4 000 distinct names of the last five days.
                pages[p].push_back(nameFor(kStoredNames - kRecent + (seen++ * 7919) % kRecent));
            }
        }
    }
    return pages;
}

// The recorder, as a window-less harvest opens it: a fresh recorder, the run begun, then the
// pages queued one by one and waited for. Only the pages are measured.
Cost recordWithRecorder(const std::string& path, Pages pages, std::int64_t nowUtc) {
    Cost cost;
    Recorder recorder(options(path));
    const RunTicket t = recorder.beginRun(static_cast<int>(pages.size()), nowUtc);
    recorder.flush();
    const double cpu = processCpuSeconds(), wall = wallSeconds();
    for (auto& page : pages) {
        recorder.recordPage(t, std::move(page), nowUtc);
    }
    recorder.flush();
    cost.cpuMs = (processCpuSeconds() - cpu) * 1000.0;
    cost.wallMs = (wallSeconds() - wall) * 1000.0;
    recorder.endRun(t, RunStats{nowUtc + 60, static_cast<int>(pages.size()), 0, 5000});
    recorder.close();
    if (recorder.unavailable()) {
        cost.error = recorder.unavailableReason();
    }
    return cost;
}

// The floor: the recorder's two statements (the sighting UPDATE by key and, when it changed
// nothing, the INSERT with the feature columns) with the recorder's pragmas, one transaction per
// page, on this thread. Every name of a page occurs once in its run, so each sighting is the
// run's first. Keep the SQL and pragmas in step with src/history/recorder.cpp.
Cost recordWithFloor(const std::string& path, const Pages& pages, std::int64_t nowUtc) {
    Cost cost;
    OpenedStore store = openStore(path, OpenMode::ReadWrite);  // WAL, synchronous=NORMAL
    if (!store.ok()) {
        cost.error = store.unavailableReason;
        return cost;
    }
    sqlite3* db = store.db.get();
    execute(db, "PRAGMA cache_size=-8192");
    execute(db, "PRAGMA wal_autocheckpoint=10000");
    execute(db, "PRAGMA mmap_size=1073741824");
    Statement sighting(db,
                       "UPDATE names SET runs_seen = runs_seen + ?2, last_run = max(last_run, ?3), "
                       "last_seen = max(last_seen, ?4) WHERE key = ?1");
    Statement insert(db,
                     "INSERT INTO names(key, domain, first_run, last_run, first_seen, last_seen, "
                     "runs_seen, name, tld, length, kind, structure, pinyin, syllables, "
                     "features_version, first_completed_run) "
                     "VALUES(?1, ?2, ?3, ?3, ?4, ?4, 1, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, NULL)");
    Statement run(db, "INSERT INTO runs(started, page_limit) VALUES(?1, ?2)");
    run.bind(1, nowUtc);
    run.bind(2, static_cast<int>(pages.size()));
    int code = run.step();
    if (code != SQLITE_DONE) {
        cost.error = reasonFor(code);
        return cost;
    }
    const std::int64_t runId = sqlite3_last_insert_rowid(db);

    const double cpu = processCpuSeconds(), wall = wallSeconds();
    for (const auto& page : pages) {
        if (code = execute(db, "BEGIN IMMEDIATE"); code != SQLITE_OK) {
            break;
        }
        for (const std::string& domain : page) {
            const std::string key = jilan::base::nameKey(domain);
            sighting.bindStatic(1, key);
            sighting.bind(2, 1);
            sighting.bind(3, runId);
            sighting.bind(4, nowUtc);
            code = sighting.step();
            sighting.rewind();
            if (code == SQLITE_DONE && sqlite3_changes(db) == 0) {
                const NameColumns c = columnsOf(domain);
                insert.bindStatic(1, key);
                insert.bindStatic(2, domain);
                insert.bind(3, runId);
                insert.bind(4, nowUtc);
                insert.bindStatic(5, c.name);
                insert.bindStatic(6, c.tld);
                insert.bind(7, c.length);
                insert.bindStatic(8, c.kind);
                insert.bindStatic(9, c.structure);
                insert.bindStatic(10, c.pinyin);
                insert.bind(11, c.syllables);
                insert.bind(12, c.featuresVersion);
                code = insert.step();
                insert.rewind();
            }
            if (code != SQLITE_DONE) {
                break;
            }
        }
        if (code != SQLITE_DONE || (code = execute(db, "COMMIT")) != SQLITE_OK) {
            break;
        }
    }
    cost.cpuMs = (processCpuSeconds() - cpu) * 1000.0;
    cost.wallMs = (wallSeconds() - wall) * 1000.0;
    if (code != SQLITE_OK && code != SQLITE_DONE) {
        cost.error = reasonFor(code);
    }
    return cost;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Each iteration: the recorder and the floor, each on a fresh copy of the store, the order
// alternating so neither always finds the other's file pages in the kernel's cache. Medians.
void recorderAgainstFloor(benchmark::State& state, const Pages& workload, std::int64_t nowUtc) {
    std::vector<double> recorderCpu, floorCpu, recorderWall, floorWall;
    for (auto _ : state) {
        const bool recorderFirst = recorderCpu.size() % 2 == 0;
        Cost recorder, floor;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == recorderFirst) {
                recorder = recordWithRecorder(freshCopy("recorder.sqlite3"), workload, nowUtc);
            } else {
                floor = recordWithFloor(freshCopy("floor.sqlite3"), workload, nowUtc);
            }
        }
        if (!recorder.error.empty() || !floor.error.empty()) {
            state.SkipWithError((recorder.error + floor.error).c_str());
            return;
        }
        recorderCpu.push_back(recorder.cpuMs);
        floorCpu.push_back(floor.cpuMs);
        recorderWall.push_back(recorder.wallMs);
        floorWall.push_back(floor.wallMs);
        state.SetIterationTime((recorder.wallMs + floor.wallMs) / 1000.0);
    }
    const double r = median(recorderCpu), f = median(floorCpu);
    state.counters["recorder_cpu_ms"] = r;
    state.counters["floor_cpu_ms"] = f;
    state.counters["ratio"] = f > 0 ? r / f : 0;
    state.counters["recorder_wall_ms"] = median(recorderWall);
    state.counters["floor_wall_ms"] = median(floorWall);
    state.counters["ratio_min"] = 0;
    state.counters["ratio_max"] = 0;
    if (!recorderCpu.empty()) {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < recorderCpu.size(); ++i) {
            ratios.push_back(recorderCpu[i] / floorCpu[i]);
        }
        state.counters["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
        state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    }
}

void BM_RecorderAgainstFloor(benchmark::State& state) {
    recorderAgainstFloor(state, halfSeenPages(), kFirstDayUtc + kDays * kDaySeconds);
}
BENCHMARK(BM_RecorderAgainstFloor)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);

void BM_RealisticDay(benchmark::State& state) {
    recorderAgainstFloor(state, realisticDayPages(), kFirstDayUtc + kDays * kDaySeconds);
}
BENCHMARK(BM_RealisticDay)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

// peak_rss_MB is the process's peak: run the searches alone (--benchmark_filter=Search) for the
// search's own, since the recording benchmarks before them map and touch the store's pages.
void BM_SearchEveryName(benchmark::State& state) {
    std::size_t kept = 0, rows = 0;
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        Reader reader = Reader::open(g_template);
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
        Reader reader = Reader::open(g_template);
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

// The counts over `days` days ending with the store's last, the filter's test of each name
// given or not; wall time per computation (the window waits for it on a worker thread).
// `allColumns`: the test reads every column, as a filter with a score term does; otherwise
// only those a filter without one reads.
void statsOver(benchmark::State& state, int days, bool scan, bool allColumns = false) {
    const std::int64_t lastDay = beijingDay(kFirstDayUtc + (kDays - 1) * kDaySeconds + 600);
    StatsRequest request{lastDay - days + 1, lastDay, {}, {}, {}, allColumns};
    if (scan) {
        // What 'len<=5 纯数字' keeps, without hints: every row of the range is read.
        request.keep = [](const NameRow& row) {
            return row.columns.length <= 5 && row.columns.kind == "纯数字";
        };
    }
    std::int64_t total = 0;
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        StatsReader reader = StatsReader::open(g_template);
        const NameStats stats = reader.compute(request);
        if (!stats.ok()) {
            state.SkipWithError(stats.error.c_str());
            return;
        }
        total = stats.total;
    }
    state.counters["cpu_ms"] =
        (processCpuSeconds() - cpuBefore) * 1000.0 / static_cast<double>(state.iterations());
    state.counters["names_counted"] = static_cast<double>(total);
}
void BM_StatsGroupedEveryName(benchmark::State& state) {
    statsOver(state, kDays, false);
}
void BM_StatsGrouped90Days(benchmark::State& state) {
    statsOver(state, 90, false);
}
void BM_StatsScanEveryName(benchmark::State& state) {
    statsOver(state, kDays, true);
}
void BM_StatsScan90Days(benchmark::State& state) {
    statsOver(state, 90, true);
}
void BM_StatsScanEveryNameAllColumns(benchmark::State& state) {
    statsOver(state, kDays, true, true);
}
// The 统计 tab's worst: its longest range with a score term in the filter.
void BM_StatsScan90DaysAllColumns(benchmark::State& state) {
    statsOver(state, 90, true, true);
}
BENCHMARK(BM_StatsGroupedEveryName)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StatsGrouped90Days)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StatsScanEveryName)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StatsScan90Days)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StatsScanEveryNameAllColumns)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StatsScan90DaysAllColumns)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the daily run adds once a week (the quick check of every page) and once a day (the
// online backup, itself quick-checked, and its rotation), on a copy of the 1 000 000-name
// store; wall time, as the timer's user waits it.
void BM_WeeklyQuickCheck(benchmark::State& state) {
    const std::string path = freshCopy("check.sqlite3");
    for (auto _ : state) {
        const CheckOutcome outcome = checkStore(path, CheckDepth::Quick);
        if (!outcome.passed) {
            state.SkipWithError("the store failed its check");
        }
    }
    state.counters["store_MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
}
BENCHMARK(BM_WeeklyQuickCheck)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DailyBackup(benchmark::State& state) {
    const std::string path = freshCopy("backup.sqlite3");
    std::int64_t day = kFirstDayUtc + kDays * kDaySeconds;
    for (auto _ : state) {
        day += kDaySeconds;
        const BackupOutcome outcome = backupIfDue(path, day);
        if (!outcome.made) {
            state.SkipWithError(outcome.error.c_str());
        }
    }
}
BENCHMARK(BM_DailyBackup)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// HISTORY_BENCH_STORE=FILE: the filled store, kept between runs (filling takes about a minute)
// and used as it is when it exists; the measured runs write only into copies of it beside it.
// Without it a store is filled in a temporary folder and removed at the end.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string dir = (fs::temp_directory_path() / "history-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        return 1;
    }
    g_workDir = dir;
    if (const char* kept = std::getenv("HISTORY_BENCH_STORE"); kept != nullptr && *kept != 0) {
        g_template = kept;
    } else {
        g_template = dir + "/template.sqlite3";
    }
    if (!fs::exists(g_template)) {
        // Filled under another name: an interrupted fill leaves no half store to be reused.
        const std::string filling = g_template + ".filling";
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(filling + suffix);
        }
        fillStore(filling);
        fs::rename(filling, g_template);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(dir);
    return 0;
}
