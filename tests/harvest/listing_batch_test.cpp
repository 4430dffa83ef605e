#include "harvest/listing_batch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace jilan::harvest {
namespace {

using std::chrono::milliseconds;
using Time = ListingBatch::Clock::time_point;

// A network that answers only when the test says so.
class FakeTransport : public ListingTransport {
public:
    Id start(int page) override {
        const Id id = nextId_++;
        pageOf_[id] = page;
        running_.insert(id);
        started.push_back(page);
        return id;
    }
    std::optional<net::FetchResult> take(Id id) override {
        auto it = answers_.find(id);
        if (it == answers_.end()) {
            return std::nullopt;
        }
        net::FetchResult r = std::move(it->second);
        answers_.erase(it);
        return r;
    }
    void cancel(Id id) override {
        running_.erase(id);
        answers_.erase(id);
        cancelled.push_back(pageOf_[id]);
    }

    // Answers the running request of `page` (the newest one when there were several).
    void answer(int page, net::FetchResult result) {
        for (auto it = running_.rbegin(); it != running_.rend(); ++it) {
            if (pageOf_[*it] == page) {
                answers_[*it] = std::move(result);
                running_.erase(std::next(it).base());
                return;
            }
        }
        ADD_FAILURE() << "page " << page << " is not on the wire";
    }
    std::vector<int> runningPages() const {
        std::vector<int> pages;
        for (Id id : running_) {
            pages.push_back(pageOf_.at(id));
        }
        return pages;
    }

    std::vector<int> started;
    std::vector<int> cancelled;

private:
    Id nextId_ = 1;
    std::map<Id, int> pageOf_;
    std::set<Id> running_;
    std::map<Id, net::FetchResult> answers_;
};

net::FetchResult page(const std::string& text) {
    return net::FetchResult::answer(text, 200);
}
net::FetchResult status(long code) {
    return net::FetchResult::answer("busy", code);
}
net::FetchResult cut() {
    return net::FetchResult::failure(net::FetchError::Transport, net::FailureKind::ConnectionCut);
}

struct Rig {
    explicit Rig(BatchSettings settings) : batch(transport, settings) {}

    void poll(double limit) {
        batch.poll(now, limit, [this](int number, const net::FetchResult& r) {
            delivered.push_back(number);
            texts.push_back(r.text);
        });
    }

    FakeTransport transport;
    ListingBatch batch;
    Time now{milliseconds(1'000'000)};
    std::vector<int> delivered;
    std::vector<std::string> texts;
};

// Whether an answer is a page of the listing, by its status and its text.
TEST(AnswersListing, AnErrorStatusCountsWhenItsTextHoldsARow) {
    const std::string row = "<tr>\r\n    <td><a href=\"/backorder/a.com\">a.com</a></td>";
    const std::string listing =
        "<table class=\"booking\">" + row + "<div class=\"pagination\"></div>";
    const std::string noRows = "<table class=\"booking\"><div class=\"pagination\"></div>";
    struct Case {
        const char* rule;
        net::FetchResult answer;
        bool answers;
    };
    const Case cases[] = {
        {"good status, listing", net::FetchResult::answer(listing, 200), true},
        {"good status, any text", net::FetchResult::answer("<html></html>", 200), true},
        {"404 with the listing", net::FetchResult::answer(listing, 404), true},
        {"500 with the listing", net::FetchResult::answer(listing, 500), true},
        {"404 error page", net::FetchResult::answer("<h1>Not Found</h1>", 404), false},
        {"404 with the cut but no row", net::FetchResult::answer(noRows, 404), false},
        {"404 with a row but no pagination marker",
         net::FetchResult::answer("<table class=\"booking\">" + row, 404), false},
        {"failed transfer",
         net::FetchResult::failure(net::FetchError::Transport, net::FailureKind::ConnectionCut),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(answersListing(c.answer), c.answers);
    }
}

TEST(ListingBatch, FailureSummaryNamesTwentyPagesThenCutsOff) {
    struct Case {
        const char* rule;
        int failing;
        std::string summary;
    };
    const Case cases[] = {
        {"no failure, no summary", 0, ""},
        {"a few pages, all named", 3, " 3页失败: 1, 2, 3"},
        {"twenty pages, all named", 20,
         " 20页失败: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20"},
        {"twenty-one pages, twenty named and 等", 21,
         " 21页失败: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 等"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Rig rig({.parallel = 8, .retries = 0, .retryPause = milliseconds(300)});
        const double limit = 25;
        for (int guard = 0; guard < 100 && !rig.batch.finished(limit); ++guard) {
            rig.poll(limit);
            for (int p : rig.transport.runningPages()) {
                rig.transport.answer(p, p <= c.failing ? status(500) : page("ok"));
            }
        }
        ASSERT_TRUE(rig.batch.finished(limit));
        EXPECT_EQ(rig.batch.failureSummary(), c.summary);
        EXPECT_EQ(rig.delivered.size(), static_cast<std::size_t>(25 - c.failing));
    }
}

TEST(ListingBatch, NeverAsksPastTheLastPage) {
    struct Case {
        const char* rule;
        double limit;
        int lastRequested;
    };
    const Case cases[] = {
        {"a limit above the counter stops at 32767", 40'000, 32'767},
        {"a fractional limit asks for the page it begins", 3.5, 4},
        {"a limit of exactly 2 asks for two pages", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Rig rig({.parallel = 8, .retries = 0, .retryPause = milliseconds(0)});
        for (int guard = 0; guard < 10'000 && !rig.batch.finished(c.limit); ++guard) {
            rig.poll(c.limit);
            for (int p : rig.transport.runningPages()) {
                rig.transport.answer(p, page("ok"));
            }
        }
        ASSERT_TRUE(rig.batch.finished(c.limit));
        ASSERT_FALSE(rig.transport.started.empty());
        EXPECT_EQ(rig.transport.started.back(), c.lastRequested);
        EXPECT_EQ(rig.delivered.back(), c.lastRequested);
        EXPECT_EQ(rig.delivered.size(), static_cast<std::size_t>(c.lastRequested));
    }
}

TEST(ListingBatch, PagesAreHandedOverInPageOrder) {
    struct Step {
        int answered;
        std::vector<int> deliveredSoFar;
    };
    const Step steps[] = {
        {3, {}},
        {1, {1}},
        {4, {1}},
        {2, {1, 2, 3, 4}},
    };
    Rig rig({.parallel = 4, .retries = 0, .retryPause = milliseconds(0)});
    rig.poll(4);
    ASSERT_EQ(rig.transport.started, (std::vector<int>{1, 2, 3, 4}));
    for (const Step& s : steps) {
        SCOPED_TRACE("page " + std::to_string(s.answered) + " arrives");
        rig.transport.answer(s.answered, page("p" + std::to_string(s.answered)));
        rig.poll(4);
        EXPECT_EQ(rig.delivered, s.deliveredSoFar);
    }
    EXPECT_EQ(rig.texts, (std::vector<std::string>{"p1", "p2", "p3", "p4"}));
    EXPECT_TRUE(rig.batch.finished(4));
}

TEST(ListingBatch, RetryWaitsOnePauseMoreEachTimeThenGivesUp) {
    struct Attempt {
        const char* rule;
        milliseconds pause;  // the wait before this failure's retry; 0 = no retry
    };
    const Attempt attempts[] = {
        {"first failure waits one pause", milliseconds(300)},
        {"second failure waits two pauses", milliseconds(600)},
        {"third failure is final", milliseconds(0)},
    };
    Rig rig({.parallel = 1, .retries = 2, .retryPause = milliseconds(300)});
    rig.poll(1);
    ASSERT_EQ(rig.transport.started, std::vector<int>{1});
    std::size_t requests = 1;
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.rule);
        rig.transport.answer(1, cut());
        rig.poll(1);
        if (a.pause == milliseconds(0)) {
            EXPECT_EQ(rig.transport.started.size(), requests);
            break;
        }
        rig.now += a.pause - milliseconds(1);
        rig.poll(1);
        EXPECT_EQ(rig.transport.started.size(), requests) << "retried before its pause";
        rig.now += milliseconds(1);
        rig.poll(1);
        EXPECT_EQ(rig.transport.started.size(), ++requests) << "not retried after its pause";
    }
    EXPECT_TRUE(rig.batch.finished(1));
    EXPECT_EQ(rig.batch.failureSummary(), " 1页失败: 1");
    EXPECT_TRUE(rig.delivered.empty());
}

TEST(ListingBatch, BusyAnswerDropsTheBatchToOneRequest) {
    struct Case {
        const char* rule;
        long status;
        int capAfter;
    };
    const Case cases[] = {
        {"429 asks for less", 429, 1},
        {"503 asks for less", 503, 1},
        {"500 is a fault, not a throttle", 500, 4},
        {"404 is a page that failed", 404, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Rig rig({.parallel = 4, .retries = 1, .retryPause = milliseconds(0)});
        rig.poll(10);
        ASSERT_EQ(rig.batch.inFlight(), 4u);
        rig.transport.answer(2, status(c.status));
        rig.poll(10);
        EXPECT_EQ(rig.batch.inFlightCap(), c.capAfter);
        // Answer everything in turn: the batch never has more than the cap on the wire.
        std::size_t most = 0;
        for (int guard = 0; guard < 100 && !rig.batch.finished(10); ++guard) {
            for (int p : rig.transport.runningPages()) {
                rig.transport.answer(p, page("ok"));
            }
            rig.poll(10);
            most = std::max(most, rig.batch.inFlight());
        }
        EXPECT_LE(most, static_cast<std::size_t>(c.capAfter));
        EXPECT_TRUE(rig.batch.finished(10));
    }
}

// A 429 or 503 with Retry-After is asked again no earlier than the server said (seconds or a
// date, at most ten minutes); without the header the usual pauses stand.
TEST(ListingBatch, BusyAnswerWaitsAsItsRetryAfterSays) {
    const std::chrono::system_clock::time_point wallNow{std::chrono::seconds(1'796'000'000)};
    struct Case {
        const char* rule;
        long status;
        std::string retryAfter;
        milliseconds wait;
    };
    const Case cases[] = {
        {"429 with seconds", 429, "5", milliseconds(5'000)},
        {"503 with an HTTP date", 503, "Mon, 30 Nov 2026 00:53:27 GMT", milliseconds(7'000)},
        {"a longer wait is capped at ten minutes", 429, "86400", milliseconds(600'000)},
        {"no header keeps the short pause", 429, "", milliseconds(300)},
        {"a shorter wait never undercuts the pause", 503, "0", milliseconds(300)},
        {"500 ignores the header", 500, "5", milliseconds(300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Rig rig(
            {.parallel = 1, .retries = 2, .retryPause = milliseconds(300), .wallClock = [wallNow] {
                 return wallNow;
             }});
        rig.poll(1);
        net::FetchResult busy = status(c.status);
        busy.retryAfter = c.retryAfter;
        rig.transport.answer(1, busy);
        rig.poll(1);
        rig.now += c.wait - milliseconds(1);
        rig.poll(1);
        EXPECT_EQ(rig.transport.started.size(), 1u) << "asked again too early";
        rig.now += milliseconds(1);
        rig.poll(1);
        EXPECT_EQ(rig.transport.started.size(), 2u) << "not asked again once the wait was over";
    }
}

// The command line's harvest stops at the listing's end: a page that declares itself the
// last, or three answered pages in a row without rows (a failed page breaks the run).
TEST(ListingBatch, EndOfListingStopsTheBatchWhenAsked) {
    const std::string row = "<tr>\r\n    <td><a href=\"/backorder/a.com\">a.com</a></td>";
    const auto listing = [&row](bool rows, const std::string& pagination) {
        return "booking" + std::string(rows ? row : "") + "<div class=\"pagination\">" +
               pagination + "</div>";
    };
    struct Case {
        const char* rule;
        bool endAtListingEnd;
        std::map<int, net::FetchResult> answers;  // pages not named: rows, no declared count
        std::optional<int> end;
        int lastDelivered;
    };
    const auto full = net::FetchResult::answer(listing(true, ""), 200);
    const auto empty = net::FetchResult::answer(listing(false, ""), 200);
    const Case cases[] = {
        {"page 4 of 4 declares the end",
         true,
         {{4, net::FetchResult::answer(listing(true, "<span>共 4 页</span>"), 200)}},
         4,
         4},
        {"a count above the page is no end",
         true,
         {{4, net::FetchResult::answer(listing(true, "共 9 页"), 200)}},
         std::nullopt,
         30},
        {"three empty pages in a row end it", true, {{5, empty}, {6, empty}, {7, empty}}, 7, 7},
        {"two empty pages do not", true, {{5, empty}, {6, empty}, {7, full}}, std::nullopt, 30},
        {"a failed page breaks the run of empty pages",
         true,
         {{5, empty}, {6, status(404)}, {7, empty}, {8, empty}, {9, empty}},
         9,
         9},
        {"the window asks for every page",
         false,
         {{2, net::FetchResult::answer(listing(true, "共 2 页"), 200)},
          {5, empty},
          {6, empty},
          {7, empty}},
         std::nullopt,
         30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Rig rig({.parallel = 4,
                 .retries = 0,
                 .retryPause = milliseconds(0),
                 .endAfterEmptyPages = c.endAtListingEnd ? 3 : 0,
                 .endAtDeclaredLastPage = c.endAtListingEnd});
        const double limit = 30;
        for (int guard = 0; guard < 200 && !rig.batch.finished(limit); ++guard) {
            rig.poll(limit);
            for (int p : rig.transport.runningPages()) {
                const auto it = c.answers.find(p);
                rig.transport.answer(p, it != c.answers.end() ? it->second : full);
            }
        }
        ASSERT_TRUE(rig.batch.finished(limit));
        EXPECT_EQ(rig.batch.listingEnd(), c.end);
        ASSERT_FALSE(rig.delivered.empty());
        EXPECT_EQ(rig.delivered.back(), c.lastDelivered);
        // The pages asked for past the end were given up, not counted as failed.
        const int asked = static_cast<int>(rig.transport.started.size());
        EXPECT_EQ(asked - rig.batch.pagesPastEnd(),
                  static_cast<int>(rig.delivered.size() + rig.batch.failures().size()));
        EXPECT_LE(rig.batch.pagesPastEnd(), 4) << "asked no further than the in-flight cap";
    }
}

TEST(ListingBatch, StoppedBatchDrainsWhatIsOnTheWireAndRetriesNothing) {
    Rig rig({.parallel = 3, .retries = 2, .retryPause = milliseconds(300)});
    rig.poll(10);
    rig.transport.answer(1, cut());  // waits for a retry
    rig.poll(10);
    rig.batch.stop();
    rig.transport.answer(3, page("p3"));
    rig.poll(10);
    EXPECT_TRUE(rig.delivered.empty()) << "page 2 is still on the wire";
    EXPECT_FALSE(rig.batch.drained());
    rig.transport.answer(2, page("p2"));
    rig.transport.answer(4, page("p4"));
    rig.now += milliseconds(10'000);
    rig.poll(10);
    EXPECT_EQ(rig.delivered, (std::vector<int>{2, 3, 4}));
    EXPECT_TRUE(rig.batch.drained());
    EXPECT_EQ(rig.transport.started, (std::vector<int>{1, 2, 3, 4})) << "no retry, no new page";
    EXPECT_EQ(rig.batch.failureSummary(), " 1页失败: 1");
}

TEST(ListingBatch, BatchRestartedWhileTheStoppedOneDrainsStartsOver) {
    FakeTransport transport;
    std::vector<int> first;
    std::vector<int> second;
    const Time now{milliseconds(5'000)};
    auto old = std::make_unique<ListingBatch>(
        transport, BatchSettings{.parallel = 2, .retries = 0, .retryPause = milliseconds(0)});
    old->poll(now, 5, [&](int p, const net::FetchResult&) { first.push_back(p); });
    old->stop();
    transport.answer(2, page("old 2"));
    old->poll(now, 5, [&](int p, const net::FetchResult&) { first.push_back(p); });
    ASSERT_FALSE(old->drained());

    // A new start replaces the draining batch: its requests are given up with it.
    old.reset();
    EXPECT_EQ(transport.cancelled, (std::vector<int>{1}));
    ListingBatch fresh(transport,
                       BatchSettings{.parallel = 2, .retries = 0, .retryPause = milliseconds(0)});
    fresh.poll(now, 2, [&](int p, const net::FetchResult&) { second.push_back(p); });
    EXPECT_EQ(transport.started, (std::vector<int>{1, 2, 1, 2}));
    transport.answer(1, page("new 1"));
    transport.answer(2, page("new 2"));
    fresh.poll(now, 2, [&](int p, const net::FetchResult&) { second.push_back(p); });
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second, (std::vector<int>{1, 2}));
    EXPECT_TRUE(fresh.finished(2));
}

}  // namespace
}  // namespace jilan::harvest
