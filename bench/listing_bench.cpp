// Listing cut + row loop on a realistic 50-row page, against the literal procedure that splits
// the whole listing text again for every row. Bytes processed are the page's UTF-8 bytes, so the
// two figures compare directly; the ratio is printed after both have run.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/form1.h"
#include "harvest/harvester.h"
#include "harvest/listing_parser.h"
#include "market_sim.h"
#include "net/page_fetcher.h"
#include "net/transfer_pool.h"

namespace {

namespace harvest = jilan::harvest;

// The page a harvest sees after decoding: page 1 of the simulated marketplace, 50 rows.
const std::string& listingPage() {
    static const std::string page = jilan::sim::listingPage(jilan::sim::Options{}, 1);
    return page;
}

std::vector<std::string> parseOnePass(std::string_view page) {
    std::vector<std::string> rows;
    rows.reserve(harvest::kRowsPerPage);
    const std::string_view listing = harvest::listingText(harvest::textAfterBooking(page));
    harvest::forEachRowDomain(listing,
                              [&rows](std::string_view domain) { rows.emplace_back(domain); });
    return rows;
}

// Every piece of `text` between occurrences of `separator`, each in a string of its own.
std::vector<std::string> splitAll(const std::string& text, std::string_view separator) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        if (at == std::string::npos) {
            pieces.emplace_back(text, from);
            return pieces;
        }
        pieces.emplace_back(text, from, at - from);
        from = at + separator.size();
    }
}

// The procedure as first written: the cut by splitting the page at "booking" and the listing at
// the pagination block, then for row i = 1..50 a fresh split of the whole listing text at every
// row marker, piece i, cut at the first double quote.
std::vector<std::string> parseLiterally(const std::string& page) {
    std::vector<std::string> rows;
    const std::vector<std::string> byBooking = splitAll(page, harvest::kBooking);
    if (byBooking.size() < 2) {
        return rows;
    }
    const std::vector<std::string> byPagination =
        splitAll(byBooking[1], harvest::kPaginationMarker);
    if (byPagination.size() < 2) {
        return rows;
    }
    const std::string listing = byPagination[0] + "<";
    for (std::size_t i = 1; i <= harvest::kRowsPerPage; ++i) {
        const std::vector<std::string> pieces = splitAll(listing, harvest::kRowMarker);
        if (i >= pieces.size()) {
            break;
        }
        const std::string& piece = pieces[i];
        const std::size_t quote = piece.find('"');
        rows.push_back(quote == std::string::npos ? std::string() : piece.substr(0, quote));
    }
    return rows;
}

void setPageCounters(benchmark::State& state, const std::string& page) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(page.size()));
    state.counters["page_bytes"] = static_cast<double>(page.size());
}

// Both versions must agree with what the simulator says the rows are, or the figures mean nothing.
bool rowsAsExpected(benchmark::State& state, const std::vector<std::string>& rows) {
    if (rows != jilan::sim::rowDomains(jilan::sim::Options{}, 1)) {
        state.SkipWithError("the rows found differ from the simulator's rows");
        return false;
    }
    return true;
}

void BM_ListingOnePass(benchmark::State& state) {
    const std::string& page = listingPage();
    if (!rowsAsExpected(state, parseOnePass(page))) {
        return;
    }
    for (auto _ : state) {
        std::vector<std::string> rows = parseOnePass(page);
        benchmark::DoNotOptimize(rows.data());
        benchmark::ClobberMemory();
    }
    setPageCounters(state, page);
}

void BM_ListingLiteralResplit(benchmark::State& state) {
    const std::string& page = listingPage();
    if (!rowsAsExpected(state, parseLiterally(page))) {
        return;
    }
    for (auto _ : state) {
        std::vector<std::string> rows = parseLiterally(page);
        benchmark::DoNotOptimize(rows.data());
        benchmark::ClobberMemory();
    }
    setPageCounters(state, page);
}

// A window-less pump: nothing waits in this benchmark.
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

// The harvester's own batch step on a fetched page: the page copied into the work array, the
// cut, the row loop appending to the list, the work array cleared.
void BM_ListingHarvesterStep(benchmark::State& state) {
    jilan::app::Form1 form;
    jilan::net::TransferPool pool;
    NoEvents pump;
    jilan::net::PageFetcher fetcher(pool, pump);
    NoTicker ticker;
    harvest::Harvester harvester(form, fetcher, ticker, "http://127.0.0.1:9");
    jilan::net::FetchResult fetched;
    fetched.text = listingPage();
    fetched.status = 200;

    harvester.jl(fetched);
    if (!rowsAsExpected(state, form.List1.items())) {
        return;
    }
    for (auto _ : state) {
        form.List1.clear();
        harvester.jl(fetched);
        benchmark::ClobberMemory();
    }
    setPageCounters(state, fetched.text);
}

BENCHMARK(BM_ListingOnePass);
BENCHMARK(BM_ListingLiteralResplit);
BENCHMARK(BM_ListingHarvesterStep);

// Shows the runs as usual and keeps each one's CPU time per iteration for the ratio: the median
// when repetitions are asked for, else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: this reporter is passed in, so --benchmark_color has no say.
    RatioReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                median_[name] = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Iteration) {
                single_[name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double cpuTime(const std::string& name) const {
        if (const auto it = median_.find(name); it != median_.end()) {
            return it->second;
        }
        const auto it = single_.find(name);
        return it == single_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> median_;
    std::map<std::string, double> single_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double onePass = reporter.cpuTime("BM_ListingOnePass");
    const double literal = reporter.cpuTime("BM_ListingLiteralResplit");
    if (onePass > 0 && literal > 0) {
        std::printf("one-pass row loop is %.1fx faster than the literal re-split\n",
                    literal / onePass);
    }
    return 0;
}
