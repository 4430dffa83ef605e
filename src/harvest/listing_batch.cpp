#include "listing_batch.h"

#include <algorithm>
#include <utility>

#include "listing_parser.h"
#include "net/retry_after.h"

namespace jilan::harvest {

namespace {

// Worth another try: the transfer failed, or the server said it is busy or broken.
bool retriable(const net::FetchResult& r) {
    if (r.failed()) {
        return r.error != net::FetchError::Cancelled && r.error != net::FetchError::InvalidUrl;
    }
    return r.status == 429 || r.status >= 500;
}

bool busy(const net::FetchResult& r) {
    return !r.failed() && (r.status == 429 || r.status == 503);
}

FailedPage failedPage(int number, const net::FetchResult& r) {
    return FailedPage{.number = number,
                      .kind = r.failed() ? r.cause.kind : net::FailureKind::HttpStatus,
                      .status = r.status,
                      .detail = r.cause.curlMessage};
}

bool unreachable(net::FailureKind kind) {
    return kind == net::FailureKind::Refused || kind == net::FailureKind::ConnectTimeout ||
           kind == net::FailureKind::HostNotResolved;
}

}  // namespace

bool answersListing(const net::FetchResult& page) {
    if (page.failed()) {
        return false;
    }
    if (page.good()) {
        return true;
    }
    bool anyRow = false;
    forEachRowDomain(listingText(textAfterBooking(page.text)),
                     [&anyRow](std::string_view) { anyRow = true; });
    return anyRow;
}

ListingBatch::ListingBatch(ListingTransport& transport, BatchSettings settings)
    : transport_(transport), settings_(settings) {
    settings_.parallel = std::clamp(settings_.parallel, kMinParallel, kMaxParallel);
    settings_.retries = std::max(settings_.retries, 0);
    inFlightCap_ = settings_.parallel;
}

ListingBatch::~ListingBatch() {
    for (const Page& page : pages_) {
        if (page.transfer) {
            transport_.cancel(*page.transfer);
        }
    }
}

std::size_t ListingBatch::inFlight() const {
    return static_cast<std::size_t>(std::count_if(
        pages_.begin(), pages_.end(), [](const Page& p) { return p.transfer.has_value(); }));
}

bool ListingBatch::morePagesBelow(double limit) const {
    return !listingEnd_ && !gaveUp_ && (!declaredLast_ || nextPage_ <= *declaredLast_) &&
           nextPage_ <= kLastPage && static_cast<double>(nextPage_ - 1) < limit;
}

bool ListingBatch::finished(double limit) const {
    return drained() && (stopping_ || !morePagesBelow(limit));
}

void ListingBatch::poll(Clock::time_point now, double limit, const Deliver& deliver,
                        const Requested& requested) {
    collectAnswers(now);
    deliverInOrder(deliver);
    if (!stopping_) {
        startRequests(now, limit, requested);
    }
}

void ListingBatch::collectAnswers(Clock::time_point now) {
    for (Page& page : pages_) {
        if (!page.transfer) {
            continue;
        }
        std::optional<net::FetchResult> result = transport_.take(*page.transfer);
        if (!result) {
            continue;
        }
        page.transfer.reset();
        reached_ = reached_ || !result->failed() || !unreachable(result->cause.kind);
        if (busy(*result)) {
            // The server asks for less: one request at a time from here on.
            inFlightCap_ = 1;
        }
        if (retriable(*result) && !stopping_ && page.attempts <= settings_.retries) {
            std::chrono::milliseconds wait = settings_.retryPause * page.attempts;
            if (busy(*result) && !result->retryAfter.empty()) {
                // The server said when to come back; never earlier than the usual pause.
                const auto wall =
                    settings_.wallClock ? settings_.wallClock() : std::chrono::system_clock::now();
                wait = std::max(wait, net::retryAfterWait(result->retryAfter, wall));
            }
            page.retryAt = now + wait;
            continue;
        }
        if (settings_.endAtDeclaredLastPage && answersListing(*result)) {
            // Known as soon as it arrives: the pages after it need not wait for the earlier
            // ones to be handed over before they are given up.
            const std::optional<int> count = declaredPageCount(result->text);
            if (count && page.number >= *count) {
                declaredLast_ = std::min(declaredLast_.value_or(page.number), page.number);
            }
        }
        page.result = std::move(result);
    }
    if (declaredLast_) {
        while (!pages_.empty() && pages_.back().number > *declaredLast_) {
            if (pages_.back().transfer) {
                transport_.cancel(*pages_.back().transfer);
            }
            pages_.pop_back();
            ++pagesPastEnd_;
        }
    }
    if (stopping_) {
        // Pages that were waiting for a retry get none after a stop: they failed.
        for (Page& page : pages_) {
            if (!page.transfer && !page.result) {
                page.result = net::FetchResult::failure(net::FetchError::Cancelled,
                                                        net::FailureKind::Cancelled);
            }
        }
    }
}

void ListingBatch::deliverInOrder(const Deliver& deliver) {
    while (!pages_.empty() && pages_.front().result) {
        const Page page = std::move(pages_.front());
        pages_.pop_front();
        if (!answersListing(*page.result)) {
            failed_.push_back(failedPage(page.number, *page.result));
            // A failed page might have held rows: it never counts towards the end.
            emptyInRow_ = 0;
            unreachableInRow_ = unreachable(failed_.back().kind) ? unreachableInRow_ + 1 : 0;
            gaveUp_ = gaveUp_ || (!reached_ && settings_.giveUpAfterUnreachable > 0 &&
                                  unreachableInRow_ >= settings_.giveUpAfterUnreachable);
            continue;
        }
        const bool last = endsListing(page.number, *page.result);
        deliver(page.number, *page.result);
        if (last) {
            listingEnd_ = page.number;
            dropPagesPastEnd();
            return;
        }
    }
}

bool ListingBatch::endsListing(int number, const net::FetchResult& answer) {
    if (declaredLast_ && number >= *declaredLast_) {
        return true;
    }
    if (settings_.endAtUnreadablePage && listingUnreadable(answer.text)) {
        return true;
    }
    if (settings_.endAfterEmptyPages <= 0) {
        return false;
    }
    bool anyRow = false;
    forEachRowDomain(listingText(textAfterBooking(answer.text)),
                     [&anyRow](std::string_view) { anyRow = true; });
    emptyInRow_ = anyRow ? 0 : emptyInRow_ + 1;
    return emptyInRow_ >= settings_.endAfterEmptyPages;
}

void ListingBatch::dropPagesPastEnd() {
    for (const Page& page : pages_) {
        if (page.transfer) {
            transport_.cancel(*page.transfer);
        }
        ++pagesPastEnd_;
    }
    pages_.clear();
}

void ListingBatch::startRequests(Clock::time_point now, double limit, const Requested& requested) {
    std::size_t inFlight = this->inFlight();
    const auto cap = static_cast<std::size_t>(inFlightCap_);
    // Retries first: they hold back the pages after them.
    for (Page& page : pages_) {
        if (inFlight >= cap) {
            return;
        }
        if (!page.transfer && !page.result && page.retryAt <= now) {
            page.transfer = transport_.start(page.number);
            ++page.attempts;
            ++inFlight;
        }
    }
    if (!reached_ && settings_.giveUpAfterUnreachable > 0) {
        // Until the site has been reached once, a page waiting for its retry keeps its place:
        // a site that cannot be reached is not sent every page of the run meanwhile.
        inFlight += static_cast<std::size_t>(std::count_if(
            pages_.begin(), pages_.end(), [](const Page& p) { return !p.transfer && !p.result; }));
    }
    while (inFlight < cap && morePagesBelow(limit)) {
        Page page;
        page.number = nextPage_++;
        page.attempts = 1;
        page.transfer = transport_.start(page.number);
        pages_.push_back(std::move(page));
        ++inFlight;
        if (requested) {
            requested(pages_.back().number);
        }
    }
}

std::string ListingBatch::failureSummary() const {
    if (failed_.empty()) {
        return {};
    }
    std::vector<int> failed;
    failed.reserve(failed_.size());
    for (const FailedPage& page : failed_) {
        failed.push_back(page.number);
    }
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

}  // namespace jilan::harvest
