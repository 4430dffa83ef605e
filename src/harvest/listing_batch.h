#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "net/fetch_result.h"

namespace jilan::harvest {

// Listing requests a batch may keep in flight at once: the --parallel option accepts this
// range and the scheduler clamps to it.
inline constexpr int kMinParallel = 1;
inline constexpr int kMaxParallel = 8;
// The page counter is a 16-bit integer: a batch never asks for a page past this one.
inline constexpr int kLastPage = std::numeric_limits<std::int16_t>::max();
// The failure summary names this many pages, then " 等".
inline constexpr std::size_t kFailuresListed = 20;

// Whether a fetched listing page counts as answered: an arrived answer with a good status,
// or with an error status whose text still holds the listing (the cut finds it with at
// least one row). A failed transfer never does.
bool answersListing(const net::FetchResult& page);

// What the batch needs from the network: start the request of one listing page, take
// its answer once it has arrived, give it up.
class ListingTransport {
public:
    using Id = std::uint64_t;
    virtual ~ListingTransport() = default;
    virtual Id start(int page) = 0;
    // The finished answer of `id`, handed over once; nullopt while it is still running.
    virtual std::optional<net::FetchResult> take(Id id) = 0;
    virtual void cancel(Id id) = 0;
};

struct BatchSettings {
    int parallel = 4;  // clamped to kMinParallel..kMaxParallel
    int retries = 2;   // further tries of a page whose fetch failed or was refused as busy
    std::chrono::milliseconds retryPause{300};  // before try n+1 the batch waits n pauses
    // The end of the listing, for the command line (the window asks for every page it is
    // told): after a page that declares itself the last, or after this many answered pages in
    // a row without a row. 0: never.
    int endAfterEmptyPages = 0;
    bool endAtDeclaredLastPage = false;
    // The listing also ends at a page the parser no longer fits (see listingUnreadable): the
    // pages after it would not read either.
    bool endAtUnreadablePage = false;
    // Before any page has answered, this many pages in a row given up because the site could
    // not be reached (refused, no connection, name not resolved) end the batch: a dead server
    // or network fails a 1 000-page run in seconds instead of after every page's retries and
    // time-outs. 0: never (the window asks for every page it is told).
    int giveUpAfterUnreachable = 0;
    // Wall-clock time, for a Retry-After given as a date; empty: the system clock.
    std::function<std::chrono::system_clock::time_point()> wallClock{};
};

// A page the batch gave up on: why, as the network layer tells it (an answer whose status
// failed it has kind HttpStatus).
struct FailedPage {
    int number = 0;
    net::FailureKind kind = net::FailureKind::None;
    long status = 0;
    std::string detail{};  // the transfer library's own words, for an unknown cause
};

// The scheduler of a multi-page harvest: a queue of pages in page order, at most
// `inFlightCap` of them on the wire, retries with growing pauses, a drop to one request
// at a time when the server answers 429 or 503, and pages handed over strictly in page
// order. It never waits: whoever drives it calls poll(now) from the loop it has, with a
// monotonic clock's time.
class ListingBatch {
public:
    using Clock = std::chrono::steady_clock;
    // Receives each page, in page order, with its answer; failed pages (see answersListing)
    // are not handed over.
    using Deliver = std::function<void(int page, const net::FetchResult& answer)>;
    // Told each time a new page is requested for the first time.
    using Requested = std::function<void(int page)>;

    ListingBatch(ListingTransport& transport, BatchSettings settings);
    ~ListingBatch();  // gives up every request still on the wire
    ListingBatch(const ListingBatch&) = delete;
    ListingBatch& operator=(const ListingBatch&) = delete;

    // One step: takes the answers that have arrived, hands over what is ready in order,
    // then (unless stopped) requests pages up to the cap while pages up to `limit` remain.
    void poll(Clock::time_point now, double limit, const Deliver& deliver,
              const Requested& requested = {});
    // Marks the batch: no new page and no retry is requested from here on; the pages on
    // the wire are still handed over by later polls, the ones waiting for a retry fail.
    void stop() { stopping_ = true; }

    bool stopping() const { return stopping_; }
    // Nothing on the wire, nothing waiting for a retry, nothing waiting for its turn.
    bool drained() const { return pages_.empty(); }
    // Drained, and no page left to request below `limit` and the last page.
    bool finished(double limit) const;
    std::size_t inFlight() const;
    int inFlightCap() const { return inFlightCap_; }
    // " N页失败: 1, 2, ... 等" (sorted, at most kFailuresListed named); empty when none failed.
    std::string failureSummary() const;
    // The failed pages, in the order they were given up.
    const std::vector<FailedPage>& failures() const { return failed_; }
    // The page the listing ended on (see BatchSettings), once a page has shown it.
    std::optional<int> listingEnd() const { return listingEnd_; }
    // Pages requested past the listing's end and given up when it showed: they count
    // neither as fetched nor as failed.
    int pagesPastEnd() const { return pagesPastEnd_; }
    // The batch ended because the site could not be reached (see giveUpAfterUnreachable).
    bool gaveUpUnreachable() const { return gaveUp_; }

private:
    struct Page {
        int number = 0;
        int attempts = 0;
        std::optional<ListingTransport::Id> transfer;
        Clock::time_point retryAt{};
        std::optional<net::FetchResult> result;
    };

    bool morePagesBelow(double limit) const;
    void collectAnswers(Clock::time_point now);
    void deliverInOrder(const Deliver& deliver);
    // Whether the answered page `number` ends the listing.
    bool endsListing(int number, const net::FetchResult& answer);
    // Gives up every page after the listing's end.
    void dropPagesPastEnd();
    void startRequests(Clock::time_point now, double limit, const Requested& requested);

    ListingTransport& transport_;
    BatchSettings settings_;
    std::deque<Page> pages_;  // requested and not yet handed over, in page order
    int nextPage_ = 1;
    // Starts at `parallel`; a 429 or 503 answer lowers it to 1 for the rest of the batch.
    int inFlightCap_ = 1;
    bool stopping_ = false;
    std::vector<FailedPage> failed_;
    int emptyInRow_ = 0;
    std::optional<int> listingEnd_;
    // The first page that arrived declaring itself the last.
    std::optional<int> declaredLast_;
    int pagesPastEnd_ = 0;
    bool reached_ = false;  // some answer came from the site, or failed other than unreached
    int unreachableInRow_ = 0;
    bool gaveUp_ = false;
};

}  // namespace jilan::harvest
