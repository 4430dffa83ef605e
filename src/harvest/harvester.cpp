#include "harvester.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "app/failure_text.h"
#include "listing_parser.h"
#include "net/market_requests.h"

namespace jilan::harvest {

namespace {

using Clock = std::chrono::steady_clock;
using app::Slot;

constexpr const char* kBatchRunning = "正在批量采集 ..";
constexpr const char* kBatchStopped = "已停止批量采集操作 ..";
constexpr const char* kSingleStarted = "开始采集 ..";
constexpr const char* kSingleDone = "采集完毕 ..";
constexpr const char* kSingleFailed = "采集失败 ..";
constexpr const char* kBatchDone = "批量采集完毕 ..";
constexpr int kLastPage = std::numeric_limits<std::int16_t>::max();
constexpr std::size_t kFailuresListed = 20;

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Worth another try: the transfer failed, or the server said it is busy or broken.
bool retriable(const net::FetchResult& r) {
    if (r.failed()) {
        return r.error != net::FetchError::Cancelled && r.error != net::FetchError::InvalidUrl;
    }
    return r.status == 429 || r.status >= 500;
}

bool pageFailed(const net::FetchResult& r) {
    return r.failed() || r.httpError();
}

std::string failureReason(const net::FetchResult& r) {
    const net::FailureKind kind = r.failed() ? r.cause.kind : net::FailureKind::HttpStatus;
    return app::failureText(net::causeCode(kind), r.status, r.cause.curlMessage);
}

}  // namespace

std::optional<double> parsePageLimit(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    double value = 0;
    std::size_t digits = 0;
    while (i < n && isDigit(text[i])) {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < n && isDigit(text[i])) {
            value += (text[i] - '0') * scale;
            scale /= 10;
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    while (i < n && isSpace(text[i])) {
        ++i;
    }
    if (i != n || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

// A running batch: the pages requested and not yet handed to the row parser,
// kept in page order so that a page that arrives early waits for the ones before it.
struct Harvester::Batch {
    struct Page {
        int number = 0;
        int attempts = 0;
        std::optional<net::TransferPool::Id> transfer;
        Clock::time_point retryAt{};
        std::optional<net::FetchResult> result;
    };

    std::deque<Page> pages;
    int nextPage = 1;
    int inFlightCap = 1;
    bool stopping = false;
    std::vector<int> failed;

    std::size_t inFlight() const {
        return static_cast<std::size_t>(std::count_if(
            pages.begin(), pages.end(), [](const Page& p) { return p.transfer.has_value(); }));
    }
};

Harvester::Harvester(app::Form1& form, net::PageFetcher& fetcher, std::string marketBase,
                     HarvestOptions options)
    : form_(form), fetcher_(fetcher), marketBase_(std::move(marketBase)), options_(options) {
    options_.parallel = std::clamp(options_.parallel, 1, 8);
    options_.retries = std::max(options_.retries, 0);
}

Harvester::~Harvester() {
    if (batch_) {
        for (auto& page : batch_->pages) {
            if (page.transfer) {
                fetcher_.pool().cancel(*page.transfer);
            }
        }
    }
}

std::size_t Harvester::inFlight() const {
    return batch_ ? batch_->inFlight() : 0;
}

void Harvester::Command1_Click() {
    const double limit = parsePageLimit(form_.Text1.text()).value_or(1.0);
    if (limit <= 1) {
        singlePage();
        return;
    }
    form_.ys = 0;
    if (form_.Command1.caption() == app::kStartCaption) {
        startBatch();
    } else if (form_.Command1.caption() == app::kStopCaption) {
        stopBatch();
    }
}

void Harvester::singlePage() {
    form_.Command1.setEnabled(false);
    form_.setStatus(kSingleStarted);
    form_.sj[Slot::PageText].clear();

    const net::FetchResult page =
        fetcher_.GetBody(net::listingUrl(marketBase_, form_.Text1.text()), "gbk");
    if (form_.ended()) {
        return;
    }
    if (pageFailed(page)) {
        form_.Command1.setEnabled(true);
        form_.setStatus(std::string(kSingleFailed) + " " + failureReason(page));
        return;
    }
    form_.sj[Slot::PageText] = page.text;
    if (form_.sj[Slot::PageText].empty()) {
        form_.Command1.setEnabled(true);
        return;
    }
    cutListing();
    if (form_.sj[Slot::ListingText].empty()) {
        form_.Command1.setEnabled(true);
        return;
    }
    appendRows();
    form_.Command1.setEnabled(true);
    form_.setStatus(kSingleDone);
}

void Harvester::startBatch() {
    if (batch_) {
        // A stopped batch may still be waiting for its last pages: they belong to
        // the list that is about to be emptied.
        for (auto& page : batch_->pages) {
            if (page.transfer) {
                fetcher_.pool().cancel(*page.transfer);
            }
        }
    }
    ++generation_;
    batch_ = std::make_unique<Batch>();
    batch_->inFlightCap = options_.parallel;

    form_.Command1.setCaption(app::kStopCaption);
    form_.List1.clear();
    form_.Timer1.setEnabled(true);
    form_.setStatus(kBatchRunning);
}

void Harvester::stopBatch() {
    form_.Command1.setCaption(app::kStartCaption);
    form_.Timer1.setEnabled(false);
    form_.setStatus(kBatchStopped);
    if (!batch_) {
        return;
    }
    // No new page is requested; the pages already on the wire are still appended,
    // in order. A page waiting for a retry will not get one.
    batch_->stopping = true;
    const std::uint64_t generation = generation_;
    for (;;) {
        collectAnswers();
        deliverInOrder();
        if (form_.ended() || generation != generation_ || !batch_) {
            return;
        }
        if (batch_->pages.empty()) {
            break;
        }
        fetcher_.pool().poll(fetcher_.pool().limits().pollIntervalMs);
        if (!fetcher_.pumpEvents()) {
            return;
        }
        if (generation != generation_ || !batch_) {
            return;
        }
    }
    if (!batch_->failed.empty()) {
        form_.setStatus(std::string(kBatchStopped) + failureSummary());
    }
    batch_.reset();
}

void Harvester::finishBatch() {
    form_.Timer1.setEnabled(false);
    form_.Command1.setCaption(app::kStartCaption);
    form_.setStatus(std::string(kBatchDone) + failureSummary());
    batch_.reset();
}

void Harvester::Timer1_Timer() {
    if (!batch_ || batch_->stopping) {
        // Nothing to drive: a timer without a batch behind it ends here.
        form_.Timer1.setEnabled(false);
        form_.Command1.setCaption(app::kStartCaption);
        return;
    }
    // A tick never waits: it drives the transfers, hands over what has arrived
    // in page order, and puts new requests on the wire.
    fetcher_.pool().poll(0);
    collectAnswers();
    deliverInOrder();
    if (form_.ended() || !batch_) {
        return;
    }
    const double limit = parsePageLimit(form_.Text1.text()).value_or(1.0);
    startRequests(limit);
    const bool moreToRequest =
        batch_->nextPage <= kLastPage && static_cast<double>(batch_->nextPage - 1) < limit;
    if (batch_->pages.empty() && !moreToRequest) {
        finishBatch();
    }
}

void Harvester::startRequests(double limit) {
    Batch& batch = *batch_;
    const auto now = Clock::now();
    std::size_t inFlight = batch.inFlight();
    const auto cap = static_cast<std::size_t>(batch.inFlightCap);
    for (auto& page : batch.pages) {
        if (inFlight >= cap) {
            return;
        }
        if (!page.transfer && !page.result && page.retryAt <= now) {
            page.transfer =
                fetcher_.pool().start({net::listingUrl(marketBase_, std::to_string(page.number)),
                                       true, net::Decoding::Declared});
            ++page.attempts;
            ++inFlight;
        }
    }
    while (inFlight < cap && batch.nextPage <= kLastPage &&
           static_cast<double>(batch.nextPage - 1) < limit) {
        Batch::Page page;
        page.number = batch.nextPage++;
        page.attempts = 1;
        page.transfer =
            fetcher_.pool().start({net::listingUrl(marketBase_, std::to_string(page.number)), true,
                                   net::Decoding::Declared});
        batch.pages.push_back(std::move(page));
        ++inFlight;
        form_.ys = static_cast<std::int16_t>(batch.pages.back().number);
        form_.setStatus("正在采集第" + std::to_string(form_.ys) + "页..");
    }
}

void Harvester::collectAnswers() {
    if (!batch_) {
        return;
    }
    Batch& batch = *batch_;
    for (auto& page : batch.pages) {
        if (!page.transfer) {
            continue;
        }
        std::optional<net::FetchResult> result = fetcher_.pool().take(*page.transfer);
        if (!result) {
            continue;
        }
        page.transfer.reset();
        if (result->status == 429 || result->status == 503) {
            // The server asks for less: one request at a time from here on.
            batch.inFlightCap = 1;
        }
        if (retriable(*result) && !batch.stopping && page.attempts <= options_.retries) {
            page.retryAt =
                Clock::now() + std::chrono::milliseconds(options_.retryPauseMs) * page.attempts;
            continue;
        }
        page.result = std::move(result);
    }
    if (batch.stopping) {
        // Pages that were waiting for a retry get none after a stop: they failed.
        for (auto& page : batch.pages) {
            if (!page.transfer && !page.result) {
                page.result = net::FetchResult::failure(net::FetchError::Cancelled,
                                                        net::FailureKind::Cancelled);
            }
        }
    }
}

void Harvester::deliverInOrder() {
    while (batch_ && !batch_->pages.empty() && batch_->pages.front().result) {
        Batch::Page page = std::move(batch_->pages.front());
        batch_->pages.pop_front();
        if (pageFailed(*page.result)) {
            batch_->failed.push_back(page.number);
            continue;
        }
        jl(*page.result);
    }
}

void Harvester::jl(const net::FetchResult& page) {
    form_.sj[Slot::PageText] = page.text;
    if (form_.sj[Slot::PageText].find(kBooking) == std::string::npos) {
        // No listing on this page: it yields no rows.
        return;
    }
    cutListing();
    jx();
}

void Harvester::jx() {
    appendRows();
    form_.sj.clear();
}

void Harvester::cutListing() {
    form_.sj[Slot::AfterBooking] = std::string(textAfterBooking(form_.sj[Slot::PageText]));
    form_.sj[Slot::ListingText] = std::string(listingText(form_.sj[Slot::AfterBooking]));
}

void Harvester::appendRows() {
    // Each row moves the selection one entry down: after a batch emptied the
    // list it follows the newest entry; otherwise it walks on from where it was.
    forEachRowDomain(form_.sj[Slot::ListingText], [this](std::string_view domain) {
        form_.sj[Slot::RowDomain] = std::string(domain);
        form_.List1.addItem(form_.sj[Slot::RowDomain]);
        form_.List1.setListIndex(form_.List1.listIndex() + 1);
    });
}

std::string Harvester::failureSummary() const {
    if (!batch_ || batch_->failed.empty()) {
        return {};
    }
    auto failed = batch_->failed;
    std::sort(failed.begin(), failed.end());
    std::string text(" ");
    text += std::to_string(failed.size());
    text += "页失败: ";
    for (std::size_t i = 0; i < failed.size() && i < kFailuresListed; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(failed[i]);
    }
    if (failed.size() > kFailuresListed) {
        text += " 等";
    }
    return text;
}

void Harvester::HScroll1_Change() {
    form_.Text1.setText(std::to_string(form_.HScroll1.value()));
}

void Harvester::Text1_Change() {
    if (!parsePageLimit(form_.Text1.text())) {
        form_.Text1.setText("1");
    }
}

}  // namespace jilan::harvest
