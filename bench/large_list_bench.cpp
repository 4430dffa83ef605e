// A 100 000-entry list: the listing texts of 2 000 pages appended through the harvester's row
// loop (jx, one page at a time, as a batch does), then the list exported with the atomic writer.
// Reports the time of each phase and how much the resident set grew for the list.
//
// Each iteration starts from an empty window. The first one shows the true growth of a fresh
// heap; later ones reuse memory the allocator kept, so the growth reported is the largest seen.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/form1.h"
#include "app/work_array.h"
#include "harvest/harvester.h"
#include "harvest/listing_parser.h"
#include "listactions/list_actions.h"
#include "market_sim.h"
#include "net/page_fetcher.h"
#include "net/transfer_pool.h"

namespace {

using Clock = std::chrono::steady_clock;
using jilan::app::Slot;

constexpr int kPages = 2000;
constexpr std::size_t kEntries = 100'000;

// Listing texts (the cut's result, as slot 2 holds it) of pages 1..2000, all with 50 rows.
const std::vector<std::string>& listingTexts() {
    static const std::vector<std::string> texts = [] {
        jilan::sim::Options options;
        options.pages = kPages;
        std::vector<std::string> made;
        made.reserve(kPages);
        for (int page = 1; page <= kPages; ++page) {
            const std::string text = jilan::sim::listingPage(options, page);
            made.emplace_back(jilan::harvest::listingText(jilan::harvest::textAfterBooking(text)));
        }
        return made;
    }();
    return texts;
}

// One value of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when it cannot be read.
long statusKiB(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':') {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

// Lets VmHWM start again from the current resident set.
void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A private folder for the exported file, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                              "/jilan-large-list-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

class NoEvents : public jilan::net::EventPump {
public:
    bool pumpOnce() override { return true; }
};

// The benches never stop a batch: nothing is left to collect on a ticker.
class NoTicker : public jilan::app::Ticker {
public:
    void startTicker(std::function<void()>, int) override {}
    void stopTicker() override {}
};

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BM_LargeListAppendAndExport(benchmark::State& state) {
    const std::vector<std::string>& texts = listingTexts();
    TempFolder folder;
    if (!folder.ok()) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const std::string output = folder.file("list.txt");
    double appendMs = 0;
    double exportMs = 0;
    double growthMiB = 0;
    double peakGrowthMiB = 0;
    std::uintmax_t fileBytes = 0;

    for (auto _ : state) {
        jilan::app::Form1 form;
        jilan::net::TransferPool pool;
        NoEvents pump;
        jilan::net::PageFetcher fetcher(pool, pump);
        NoTicker ticker;
        jilan::harvest::Harvester harvester(form, fetcher, ticker, "http://127.0.0.1:9");

        resetPeakResident();
        const long before = statusKiB("VmRSS");
        const auto start = Clock::now();
        for (const std::string& text : texts) {
            form.sj[Slot::ListingText] = text;
            harvester.jx();
        }
        const double appended = millisecondsSince(start);
        const auto exportStart = Clock::now();
        const jilan::listactions::WriteOutcome written =
            jilan::listactions::writeList(output, form.List1.items());
        const double exported = millisecondsSince(exportStart);
        state.SetIterationTime((appended + exported) / 1000.0);
        const long after = statusKiB("VmRSS");
        const long peak = statusKiB("VmHWM");

        if (!written.ok) {
            state.SkipWithError(("export failed: " + written.error).c_str());
            return;
        }
        if (form.List1.listCount() != kEntries) {
            state.SkipWithError("the list does not hold 100 000 entries");
            return;
        }
        appendMs += appended;
        exportMs += exported;
        growthMiB = std::max(growthMiB, static_cast<double>(after - before) / 1024.0);
        peakGrowthMiB = std::max(peakGrowthMiB, static_cast<double>(peak - before) / 1024.0);
        std::error_code ignored;
        fileBytes = std::filesystem::file_size(output, ignored);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["append_ms"] = appendMs / n;
    state.counters["export_ms"] = exportMs / n;
    state.counters["rss_growth_MiB"] = growthMiB;
    state.counters["peak_growth_MiB"] = peakGrowthMiB;
    state.counters["file_bytes"] = static_cast<double>(fileBytes);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kEntries));
}

BENCHMARK(BM_LargeListAppendAndExport)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
