#include "query_commands.h"

#include <string>
#include <utility>

#include "net/market_requests.h"

namespace jilan::query {

namespace {

using app::Slot;

constexpr std::string_view kNothingSelected = "请先进行获取 ..";
constexpr std::string_view kQueryRunning = "正在进行查询 ..";
constexpr std::string_view kQueryDone = "查询完毕 ..";
constexpr std::string_view kDetailFailed = "详情页获取失败";
constexpr std::string_view kLookupFailed = "备案查询失败";

}  // namespace

QueryCommands::QueryCommands(app::Form1& form, net::PageFetcher& fetcher, app::Platform& platform,
                             config::Urls urls)
    : form_(form), fetcher_(fetcher), platform_(platform), urls_(std::move(urls)) {}

void QueryCommands::csh() {
    form_.sj.clear();
}

void QueryCommands::cx_Click() {
    runQuery(Command::Menu);
}

void QueryCommands::List1_DblClick() {
    runQuery(Command::DoubleClick);
}

void QueryCommands::runQuery(Command command) {
    // The lookup wait runs window events; a query started from there would mix its results
    // with this one's, so it waits for this one to end. Only the last one asked for runs:
    // the detail area ends on the entry the user asked for last.
    if (busy_) {
        pending_ = command;
        return;
    }
    std::optional<Command> next = command;
    while (next && !form_.ended()) {
        pending_.reset();
        queryOnce(*next);
        next = pending_;
    }
    pending_.reset();
}

void QueryCommands::queryOnce(Command command) {
    if (form_.List1.text().empty()) {
        form_.setStatus(std::string(kNothingSelected));
        return;
    }
    struct BusyGuard {
        bool& flag;
        explicit BusyGuard(bool& f) : flag(f) { flag = true; }
        ~BusyGuard() { flag = false; }
        BusyGuard(const BusyGuard&) = delete;
        BusyGuard& operator=(const BusyGuard&) = delete;
    } guard(busy_);

    form_.setStatus(std::string(kQueryRunning));
    csh();

    const std::string detailUrl = net::detailUrl(urls_.market, form_.List1.text());
    net::FetchResult detail;
    {
        // The window shows "正在进行查询 .." and the busy cursor while the fetch blocks it.
        struct Blocking {
            app::Platform& platform;
            explicit Blocking(app::Platform& p) : platform(p) { platform.blockingStarted(); }
            ~Blocking() { platform.blockingEnded(); }
            Blocking(const Blocking&) = delete;
            Blocking& operator=(const Blocking&) = delete;
        } blocking(platform_);
        detail =
            command == Command::Menu ? fetcher_.OpenURL(detailUrl) : fetcher_.HtmlStr(detailUrl);
    }
    if (form_.ended()) {
        return;
    }
    const bool detailOk = detail.good();
    form_.sj[Slot::DetailPage] = detail.failed() ? std::string() : detail.text;
    if (command == Command::Menu || !form_.sj[Slot::DetailPage].empty()) {
        parseDetail(form_);
    }

    const std::string icpUrl = net::icpUrl(urls_.icp, form_.List1.text());
    const net::FetchResult lookup = fetcher_.GetBody(icpUrl, "gbk");
    if (form_.ended()) {
        return;
    }
    const bool lookupOk =
        applyFiling(form_, lookup, command == Command::Menu ? kFiledPrefixMenu : kFiledPrefixList);

    lastFailed_ = !detailOk || !lookupOk;
    std::string status(kQueryDone);
    if (!detailOk || !lookupOk) {
        status += ' ';
        if (!detailOk) {
            status += kDetailFailed;
        }
        if (!detailOk && !lookupOk) {
            status += "，";
        }
        if (!lookupOk) {
            status += kLookupFailed;
        }
    }
    form_.setStatus(std::move(status));
}

}  // namespace jilan::query
