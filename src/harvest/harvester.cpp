#include "harvester.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <utility>

#include "app/failure_text.h"
#include "listing_parser.h"
#include "net/market_requests.h"

namespace jilan::harvest {

namespace {

using app::Slot;

constexpr const char* kBatchRunning = "正在批量采集 ..";
constexpr const char* kBatchStopped = "已停止批量采集操作 ..";
constexpr const char* kSingleStarted = "开始采集 ..";
constexpr const char* kSingleDone = "采集完毕 ..";
constexpr const char* kSingleFailed = "采集失败 ..";
constexpr const char* kBatchDone = "批量采集完毕 ..";

// A stopped batch collects its last pages at this pace.
constexpr int kDrainIntervalMs = 20;

std::string failureReason(const net::FetchResult& r) {
    const net::FailureKind kind = r.failed() ? r.cause.kind : net::FailureKind::HttpStatus;
    return app::failureText(net::causeCode(kind), r.status, r.cause.curlMessage);
}

std::vector<PageFailure> failuresOf(const ListingBatch& batch) {
    std::vector<PageFailure> out;
    for (const FailedPage& page : batch.failures()) {
        out.push_back(
            {.page = page.number,
             .reason = app::failureText(net::causeCode(page.kind), page.status, page.detail)});
    }
    return out;
}

}  // namespace

// The batch's requests on the window's transfer pool.
class Harvester::PoolTransport : public ListingTransport {
public:
    PoolTransport(net::TransferPool& pool, const std::string& marketBase)
        : pool_(pool), marketBase_(marketBase) {}
    Id start(int page) override {
        return pool_.start({.url = net::listingUrl(marketBase_, std::to_string(page)),
                            .ifModifiedSinceZero = true,
                            .decoding = net::Decoding::Declared});
    }
    std::optional<net::FetchResult> take(Id id) override { return pool_.take(id); }
    void cancel(Id id) override { pool_.cancel(id); }

private:
    net::TransferPool& pool_;
    const std::string& marketBase_;
};

Harvester::Harvester(app::Form1& form, net::PageFetcher& fetcher, app::Ticker& ticker,
                     std::string marketBase, HarvestOptions options)
    : form_(form),
      fetcher_(fetcher),
      marketBase_(std::move(marketBase)),
      options_(options),
      transport_(std::make_unique<PoolTransport>(fetcher.pool(), marketBase_)),
      ticker_(ticker) {
    options_.parallel = std::clamp(options_.parallel, kMinParallel, kMaxParallel);
    options_.retries = std::max(options_.retries, 0);
}

// The batch goes first: it gives up its requests through the transport.
Harvester::~Harvester() {
    if (draining_) {
        ticker_.stopTicker();
    }
    batch_.reset();
}

std::size_t Harvester::inFlight() const {
    return batch_ ? batch_->inFlight() : 0;
}

void Harvester::Command1_Click() {
    const double limit = parsePageLimit(form_.Text1.text()).value_or(1.0);
    if (limit <= 1) {
        if (observer_.runStarted) {
            observer_.runStarted(1);
        }
        singleFailed_ = false;
        outcome_ = HarvestOutcome{.pagesRequested = 1};
        singlePage();
        finalStatusSerial_ = form_.statusSerial();
        if (!form_.ended() && observer_.runEnded) {
            observer_.runEnded(1, singleFailed_ ? 1 : 0);
        }
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
        fetcher_.GetBody(marketBase_ + "/search?p=" + pageBoxQuery(form_.Text1.text()), "gbk");
    if (form_.ended()) {
        return;
    }
    if (!answersListing(page)) {
        singleFailed_ = true;
        outcome_.failures.push_back({.page = 1, .reason = failureReason(page)});
        form_.Command1.setEnabled(true);
        form_.setStatus(std::string(kSingleFailed) + " " + failureReason(page));
        return;
    }
    if (unparsedPage_ && page.good() && listingUnreadable(page.text)) {
        unparsedPage_(1, page);
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
    // A stopped batch may still be waiting for its last pages: they belong to the list
    // that is about to be emptied, so its requests are given up with it.
    if (batch_) {
        ticker_.stopTicker();
        draining_ = false;
        endRun();
    }
    batch_ = std::make_unique<ListingBatch>(
        *transport_, BatchSettings{.parallel = options_.parallel,
                                   .retries = options_.retries,
                                   .retryPause = std::chrono::milliseconds(options_.retryPauseMs),
                                   .endAfterEmptyPages = options_.stopAtListingEnd ? 3 : 0,
                                   .endAtDeclaredLastPage = options_.stopAtListingEnd,
                                   .endAtUnreadablePage = options_.stopAtListingEnd,
                                   .giveUpAfterUnreachable = options_.stopAtListingEnd ? 3 : 0});

    form_.Command1.setCaption(app::kStopCaption);
    form_.List1.clear();
    form_.Timer1.setEnabled(true);
    form_.setStatus(kBatchRunning);
    pagesRequested_ = 0;
    pagesDelivered_ = 0;
    outcome_ = {};
    if (observer_.runStarted) {
        const double limit = parsePageLimit(form_.Text1.text()).value_or(1.0);
        observer_.runStarted(limit >= kLastPage ? kLastPage : static_cast<int>(std::ceil(limit)));
    }
}

void Harvester::stopBatch() {
    form_.Command1.setCaption(app::kStartCaption);
    form_.Timer1.setEnabled(false);
    if (!batch_ || draining_) {
        form_.setStatus(kBatchStopped);
        return;
    }
    // No new page is requested and no retry; what has arrived is appended now, a page
    // waiting for a retry has failed, and the pages on the wire are collected on the ticker.
    batch_->stop();
    pollBatch(0);
    if (form_.ended() || !batch_) {
        return;
    }
    form_.setStatus(std::string(kBatchStopped) + batch_->failureSummary());
    stopSerial_ = form_.statusSerial();
    finalStatusSerial_ = stopSerial_;
    if (batch_->drained()) {
        endRun();
        return;
    }
    draining_ = true;
    ticker_.startTicker([this] { drainTick(); }, kDrainIntervalMs);
}

void Harvester::drainTick() {
    if (!draining_ || !batch_ || form_.ended()) {
        return;
    }
    fetcher_.pool().poll(0);
    pollBatch(0);
    if (form_.ended() || !batch_) {
        return;
    }
    if (batch_->drained()) {
        endDrain();
    }
}

void Harvester::endDrain() {
    ticker_.stopTicker();
    draining_ = false;
    // Only the stop's own text is brought up to date: a status another command wrote since
    // stays as it is.
    if (form_.statusSerial() == stopSerial_) {
        form_.setStatus(std::string(kBatchStopped) + batch_->failureSummary());
        finalStatusSerial_ = form_.statusSerial();
    } else {
        finalStatusSerial_ = 0;
    }
    endRun();
}

void Harvester::finishBatch() {
    form_.Timer1.setEnabled(false);
    form_.Command1.setCaption(app::kStartCaption);
    form_.setStatus(std::string(kBatchDone) + batch_->failureSummary());
    finalStatusSerial_ = form_.statusSerial();
    endRun();
}

void Harvester::endRun() {
    // Pages asked for past the listing's end were neither fetched nor failed.
    pagesRequested_ -= batch_->pagesPastEnd();
    outcome_ = HarvestOutcome{.pagesRequested = pagesRequested_,
                              .failures = failuresOf(*batch_),
                              .listingEnd = batch_->listingEnd(),
                              .siteUnreachable = batch_->gaveUpUnreachable()};
    batch_.reset();
    if (observer_.runEnded) {
        observer_.runEnded(pagesRequested_, pagesRequested_ - pagesDelivered_);
    }
}

std::size_t Harvester::pagesFailed() const {
    return batch_ ? batch_->failures().size() : outcome_.failures.size();
}

void Harvester::Timer1_Timer() {
    if (!batch_ || batch_->stopping()) {
        // Nothing to drive: a timer without a batch behind it ends here.
        form_.Timer1.setEnabled(false);
        form_.Command1.setCaption(app::kStartCaption);
        return;
    }
    // A tick never waits: it drives the transfers, hands over what has arrived
    // in page order, and puts new requests on the wire.
    fetcher_.pool().poll(0);
    const double limit = parsePageLimit(form_.Text1.text()).value_or(1.0);
    pollBatch(limit);
    if (form_.ended() || !batch_) {
        return;
    }
    if (batch_->finished(limit)) {
        finishBatch();
    }
}

void Harvester::pollBatch(double limit) {
    batch_->poll(
        ListingBatch::Clock::now(), limit,
        [this](int number, const net::FetchResult& page) {
            ++pagesDelivered_;
            jl(page);
            if (unparsedPage_ && page.good() && listingUnreadable(page.text)) {
                unparsedPage_(number, page);
            }
        },
        [this](int page) {
            ++pagesRequested_;
            form_.ys = static_cast<std::int16_t>(page);
            form_.setStatus("正在采集第" + std::to_string(form_.ys) + "页..");
        });
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
    std::vector<std::string> page;
    forEachRowDomain(form_.sj[Slot::ListingText], [this, &page](std::string_view domain) {
        form_.sj[Slot::RowDomain] = std::string(domain);
        form_.List1.addItem(form_.sj[Slot::RowDomain]);
        form_.List1.setListIndex(form_.List1.listIndex() + 1);
        if (observer_.pageAppended) {
            page.emplace_back(domain);
        }
    });
    if (observer_.pageAppended && !page.empty()) {
        observer_.pageAppended(page);
    }
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
