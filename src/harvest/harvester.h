#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "net/page_fetcher.h"

namespace jilan::harvest {

struct HarvestOptions {
    // Listing requests a batch keeps in flight at once (1..8).
    int parallel = 4;
    // A failed listing fetch is tried again this many times before it counts as failed.
    int retries = 2;
    // Pause before the first retry; each further retry waits one step longer.
    int retryPauseMs = 300;
};

// The page limit as Text1 holds it: optional spaces, an optional sign, digits
// with an optional decimal fraction, optional spaces. nullopt for anything else.
std::optional<double> parsePageLimit(std::string_view text);

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
    struct Batch;

    void singlePage();
    void startBatch();
    void stopBatch();
    void finishBatch();
    void startRequests(double limit);
    void collectAnswers();
    void deliverInOrder();
    // Slot 0 -> slots 1 and 2: the text after "booking", then the listing text.
    void cutListing();
    void appendRows();
    std::string failureSummary() const;

    app::Form1& form_;
    net::PageFetcher& fetcher_;
    std::string marketBase_;
    HarvestOptions options_;
    std::unique_ptr<Batch> batch_;
    std::uint64_t generation_ = 0;
};

}  // namespace jilan::harvest
