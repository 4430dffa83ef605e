// Detail page parse (every marker cut and the price table, writing the labels) and the ICP
// filing-number cut, on the simulator's pages of a filed domain with a full price table. Bytes
// processed are the UTF-8 bytes of the pages parsed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/form1.h"
#include "app/work_array.h"
#include "market_sim.h"
#include "query/query_commands.h"

namespace {

using jilan::app::Slot;

constexpr std::string_view kFilingStart = "网站备案/许可证号</td><td>";
constexpr std::string_view kFilingEnd = "</td>";

// A domain whose detail page has the four price cells and whose lookup page carries a number.
std::string filedNormalDomain() {
    for (int row = 1; row <= jilan::sim::kMaxRowsPerPage; ++row) {
        std::string domain = jilan::sim::domainFor(1, row);
        if (jilan::sim::isFiled(domain) &&
            jilan::sim::detailVariant(domain) == jilan::sim::DetailVariant::Normal) {
            return domain;
        }
    }
    return jilan::sim::sampleDomain(jilan::sim::DetailVariant::Normal);
}

struct Pages {
    std::string domain;
    std::string detail;
    std::string icp;
};

const Pages& pages() {
    static const Pages p = [] {
        Pages made;
        made.domain = filedNormalDomain();
        made.detail = jilan::sim::detailPage(made.domain);
        made.icp = jilan::sim::icpPage(made.domain);
        return made;
    }();
    return p;
}

// The parse must find what the simulator put on the pages, or the figures mean nothing.
bool parsedAsExpected(benchmark::State& state, const jilan::app::Form1& form, bool detail,
                      bool icp) {
    const jilan::sim::DetailInfo info = jilan::sim::detailInfo(pages().domain);
    if (detail && (form.sj[Slot::DeleteTime] != info.deleteTime || info.priceCells.size() != 4 ||
                   form.sj[Slot::Cell1] != info.priceCells[0] ||
                   form.sj[Slot::Cell3] != info.priceCells[2])) {
        state.SkipWithError("the detail parse did not find the simulator's values");
        return false;
    }
    if (icp && (form.sj[Slot::FilingNumber].empty() ||
                form.sj[Slot::FilingNumber] != jilan::sim::filingNumber(pages().domain))) {
        state.SkipWithError("the ICP cut did not find the simulator's filing number");
        return false;
    }
    return true;
}

void cutFiling(jilan::app::Form1& form) {
    form.sj[Slot::FilingNumber] = jilan::query::markerCut(form.sj[Slot::IcpPage], kFilingStart,
                                                          kFilingEnd, &form.sj[Slot::FilingPiece]);
}

void run(benchmark::State& state, bool detail, bool icp) {
    jilan::app::Form1 form;
    form.sj[Slot::DetailPage] = pages().detail;
    form.sj[Slot::IcpPage] = pages().icp;
    const auto once = [&] {
        if (detail) {
            jilan::query::parseDetail(form);
        }
        if (icp) {
            cutFiling(form);
        }
    };
    once();
    if (!parsedAsExpected(state, form, detail, icp)) {
        return;
    }
    for (auto _ : state) {
        once();
        benchmark::ClobberMemory();
    }
    const std::size_t bytes = (detail ? pages().detail.size() : 0) + (icp ? pages().icp.size() : 0);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes));
    state.counters["page_bytes"] = static_cast<double>(bytes);
}

void BM_DetailParseAndIcpCut(benchmark::State& state) {
    run(state, true, true);
}
void BM_DetailParse(benchmark::State& state) {
    run(state, true, false);
}
void BM_IcpCut(benchmark::State& state) {
    run(state, false, true);
}

BENCHMARK(BM_DetailParseAndIcpCut);
BENCHMARK(BM_DetailParse);
BENCHMARK(BM_IcpCut);

}  // namespace
