#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/form1.h"
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
};

// Start/stop, the batch timer, and the page-count box with its scroll bar.
class Harvester {
public:
    Harvester(app::Form1& form, net::PageFetcher& fetcher, std::string marketBase,
              HarvestOptions options = {});
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

private:
    class PoolTransport;

    void singlePage();
    void startBatch();
    void stopBatch();
    void finishBatch();
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
    // Counts the batches started. A stop waits for its last pages while window events
    // run, and one of them may start a new batch: the waiting stop sees the number change
    // and leaves the new batch alone.
    std::uint64_t generation_ = 0;
};

}  // namespace jilan::harvest
