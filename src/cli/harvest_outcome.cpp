#include "harvest_outcome.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include "cli_run.h"

namespace jilan::cli {

std::string failureCauses(const harvest::HarvestOutcome& outcome) {
    struct Cause {
        std::string_view reason;
        int pages = 0;
    };
    std::vector<Cause> causes;
    for (const harvest::PageFailure& failure : outcome.failures) {
        auto it = std::find_if(causes.begin(), causes.end(),
                               [&failure](const Cause& c) { return c.reason == failure.reason; });
        if (it == causes.end()) {
            causes.push_back({failure.reason, 1});
        } else {
            ++it->pages;
        }
    }
    std::stable_sort(causes.begin(), causes.end(),
                     [](const Cause& a, const Cause& b) { return a.pages > b.pages; });
    std::string text;
    for (const Cause& c : causes) {
        text +=
            (text.empty() ? "" : "；") + std::to_string(c.pages) + " 页：" + std::string(c.reason);
    }
    return text;
}

int reportHarvest(const harvest::HarvestOutcome& outcome, std::ostream& err) {
    err << "共获取 " << outcome.pagesFetched() << " 页";
    if (outcome.listingEnd) {
        err << "（列表到第 " << *outcome.listingEnd << " 页结束）";
    }
    err << '\n';
    if (outcome.failures.empty()) {
        return exitStatus(ExitCode::Ran);
    }
    const bool all = outcome.pagesFetched() <= 0;
    err << (all ? "采集失败：全部 " : "部分页采集失败：") << outcome.failures.size() << " 页失败（"
        << failureCauses(outcome) << "）\n";
    if (outcome.siteUnreachable) {
        err << "交易平台无法连接，其余页未再请求\n";
    }
    return exitStatus(all ? ExitCode::HarvestFailed : ExitCode::SiteRefused);
}

}  // namespace jilan::cli
