#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/platform.h"
#include "listing_batch.h"
#include "net/page_fetcher.h"
#include "page_limit.h"

namespace jilan::harvest {

struct HarvestOptions {
    // Listing requests a batch keeps in flight at once (kMinParallel..kMaxParallel).
    int parallel = 4;
    // A failed listing fetch is tried again this many times before it counts as failed.
    int retries = 2;
    // Pause before the first retry; each further retry waits one step longer.
    int retryPauseMs = 300;
    // The command line's harvest stops asking once the listing has ended (see BatchSettings);
    // the window asks for every page its page box says.
    bool stopAtListingEnd = false;
};

// A listing page that failed in a harvest, with the Chinese reason the status line gives.
struct PageFailure {
    int page = 0;
    std::string reason;
};

// What the last harvest run came to, for the command line's summary and exit status.
struct HarvestOutcome {
    int pagesRequested = 0;  // pages past the listing's end not counted
    std::vector<PageFailure> failures{};
    std::optional<int> listingEnd{};  // the page the listing ended on, when it showed its end
    bool siteUnreachable = false;     // the batch gave up: the site could not be reached
    int pagesFetched() const { return pagesRequested - static_cast<int>(failures.size()); }
};

// Told about each harvest run so that it can be remembered. A run is one press of "开始采集":
// a single page, or a batch from its start to its end or stop. Each is called after the
// status line has its text for that moment.
struct HarvestObserver {
    std::function<void(int pageLimit)> runStarted;
    // The entries one listing page appended, in list order.
    std::function<void(const std::vector<std::string>& domains)> pageAppended;
    std::function<void(int pagesRequested, int pagesFailed)> runEnded;
};

// Start/stop, the batch timer, and the page-count box with its scroll bar.
//
// A stop returns at once: the pages already on the wire are collected afterwards on the
// platform's ticker and appended in page order. When the last one is in, the status line
// gets the batch's final summary, unless something else has written the status since the
// stop (Form1's status serial tells).
class Harvester {
public:
    Harvester(app::Form1& form, net::PageFetcher& fetcher, app::Ticker& ticker,
              std::string marketBase, HarvestOptions options = {});
    ~Harvester();
    Harvester(const Harvester&) = delete;
    Harvester& operator=(const Harvester&) = delete;

    void Command1_Click();
    void Timer1_Timer();
    void HScroll1_Change();
    void Text1_Change();

    // Hands one fetched listing page to the cut and the row parser (the batch step).
    void jl(const net::FetchResult& page);
    // Appends the rows of the listing text in slot 2, then clears the work array.
    void jx();

    // Listing requests of the running batch that are on the wire now.
    std::size_t inFlight() const;
    // A stopped batch is still collecting the pages it had on the wire.
    bool draining() const { return draining_; }
    // The status serial of the harvest's own final text (done, failed or stopped), or 0 when
    // a stopped batch left the status to a command run during its drain: a note about the
    // harvest belongs after the status only while the form's serial still equals this.
    std::uint64_t finalStatusSerial() const { return finalStatusSerial_; }

    void setObserver(HarvestObserver observer) { observer_ = std::move(observer); }

    // The run begun last, as far as it has come.
    const HarvestOutcome& lastOutcome() const { return outcome_; }
    // Listing pages failed so far in the running harvest (after their retries), else in the
    // last one: what a progress display counts while the run goes on.
    std::size_t pagesFailed() const;
    // Told about each listing page, single or in a batch, that answered in a form the parser no
    // longer fits (see listingUnreadable): when no page of a run parsed, the site's layout may
    // have changed. The command line's batch ends its listing at such a page.
    using UnparsedPageSink = std::function<void(int page, const net::FetchResult& answer)>;
    void setUnparsedPageSink(UnparsedPageSink sink) { unparsedPage_ = std::move(sink); }

private:
    class PoolTransport;

    void singlePage();
    void startBatch();
    void stopBatch();
    void finishBatch();
    // One tick of the drain after a stop.
    void drainTick();
    // Ends the drain: ticker stopped, final summary where the stop text still stands.
    void endDrain();
    // The batch is over (finished, drained or given up): told to the observer, then dropped.
    void endRun();
    // One step of the batch: hand over what has arrived, request what the cap allows.
    void pollBatch(double limit);
    // Slot 0 -> slots 1 and 2: the text after "booking", then the listing text.
    void cutListing();
    void appendRows();

    app::Form1& form_;
    net::PageFetcher& fetcher_;
    std::string marketBase_;
    HarvestOptions options_;
    std::unique_ptr<PoolTransport> transport_;
    std::unique_ptr<ListingBatch> batch_;
    app::Ticker& ticker_;
    bool draining_ = false;
    // The status serial right after the stop wrote its text.
    std::uint64_t stopSerial_ = 0;
    std::uint64_t finalStatusSerial_ = 0;
    HarvestObserver observer_;
    UnparsedPageSink unparsedPage_;
    // The running batch's pages requested and handed over; the rest failed.
    int pagesRequested_ = 0;
    int pagesDelivered_ = 0;
    bool singleFailed_ = false;
    HarvestOutcome outcome_;
};

}  // namespace jilan::harvest
