#include "harvest/harvester.h"
#include "harvest/listing_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "harvest_rig.h"
#include "temp_dir.h"

namespace jilan::testing {
namespace {

using ::testing::ElementsAre;

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(SinglePageTest, LimitOneAppendsPageOneToWhatIsThere) {
    HarvestRig rig;
    rig.form.List1.addItem("kept.com");
    rig.form.Command1.click();  // the box starts with "1"

    EXPECT_THAT(rig.requestedTargets(), ElementsAre("/search?p=1"));
    const auto requests = rig.sim.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].hasIfModifiedSince);
    EXPECT_EQ(requests[0].ifModifiedSince, "0");
    EXPECT_EQ(requests[0].method, "GET");

    std::vector<std::string> expected{"kept.com"};
    for (auto& d : rig.expectedPages(1, 1)) {
        expected.push_back(d);
    }
    EXPECT_EQ(rig.form.List1.items(), expected);
    // Nothing was selected: the selection walks from the first entry.
    EXPECT_EQ(rig.form.List1.listIndex(), 49);
    EXPECT_EQ(rig.form.status(), "采集完毕 ..");
    EXPECT_TRUE(contains(rig.statuses, "开始采集 .."));
    EXPECT_TRUE(rig.form.Command1.enabled());
    EXPECT_EQ(rig.form.Command1.caption(), "开始采集");
    // The single page keeps its texts in the work array.
    EXPECT_FALSE(rig.form.sj[app::Slot::ListingText].empty());
}

TEST(SinglePageTest, PageNumberIsTheTextAsTyped) {
    struct Case {
        const char* typed;
        const char* target;
    };
    for (const Case c :
         {Case{"0", "/search?p=0"}, Case{"-2", "/search?p=-2"}, Case{"1.0", "/search?p=1.0"},
          Case{"+1", "/search?p=+1"}, Case{"+0.5", "/search?p=+0.5"}, Case{" 1", "/search?p=%201"},
          Case{"\t1 ", "/search?p=%091%20"}}) {
        SCOPED_TRACE(c.typed);
        HarvestRig rig;
        rig.press(c.typed);
        EXPECT_THAT(rig.requestedTargets(), ElementsAre(c.target));
        EXPECT_TRUE(rig.form.Command1.enabled());
        EXPECT_FALSE(rig.form.Timer1.enabled());
    }
}

TEST(SinglePageTest, UnreachableMarketplaceIsReportedAndNothingAppended) {
    HarvestRig rig;
    const std::string base = rig.sim.baseUrl();
    rig.sim.stop();
    rig.form.Command1.click();
    EXPECT_TRUE(rig.form.Command1.enabled());
    EXPECT_EQ(rig.form.List1.listCount(), 0u);
    EXPECT_EQ(rig.form.status(), "采集失败 .. 无法连接服务器");
}

// An error answer is page text: one that holds the listing is a good page, one that does
// not is a failure named by its status.
TEST(SinglePageTest, ErrorAnswersAreJudgedByTheirText) {
    struct Case {
        const char* rule;
        sim::Fault fault;
        bool rows;
        std::string status;
    };
    const Case cases[] = {
        {"404 carrying the listing is a good page", sim::Fault::Page404, true, "采集完毕 .."},
        {"500 carrying the listing is a good page", sim::Fault::Page500, true, "采集完毕 .."},
        {"404 error page is a failure", sim::Fault::Status404, false, "采集失败 .. 服务器返回 404"},
        {"500 error page is a failure", sim::Fault::Status500, false, "采集失败 .. 服务器返回 500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim::Options o;
        o.allFault = c.fault;
        HarvestRig rig(o);
        rig.form.Command1.click();
        EXPECT_EQ(rig.form.List1.items(),
                  c.rows ? rig.expectedPages(1, 1) : std::vector<std::string>{});
        EXPECT_EQ(rig.form.status(), c.status);
        EXPECT_TRUE(rig.form.Command1.enabled());
        // A single page is not retried.
        EXPECT_EQ(rig.sim.requests().size(), 1u);
    }
}

TEST(BatchTest, ErrorAnswersHoldingTheListingAreGoodPagesAfterTheirRetries) {
    sim::Options o;
    o.pageFaults = {{2, sim::Fault::Page404},
                    {3, sim::Fault::Page500},
                    {4, sim::Fault::Status404},
                    {5, sim::Fault::Status500}};
    HarvestRig rig(o, harvest::HarvestOptions{2, 2, 10});
    rig.press("6");
    rig.runBatch();
    std::vector<std::string> expected = rig.expectedPages(1, 3);
    for (auto& d : rig.expectedPages(6, 6)) {
        expected.push_back(d);
    }
    EXPECT_EQ(rig.form.List1.items(), expected);
    EXPECT_EQ(rig.form.status(), "批量采集完毕 .. 2页失败: 4, 5");
    const auto targets = rig.requestedTargets();
    // 5xx answers are retried whatever they carry; 404 answers are final at once.
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=2"), 1);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=3"), 3);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=4"), 1);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=5"), 3);
}

TEST(SinglePageTest, PageWithoutListingEndsQuietlyWithTheButtonBack) {
    sim::Options o;
    o.allFault = sim::Fault::Empty;
    HarvestRig rig(o);
    rig.form.Command1.click();
    EXPECT_EQ(rig.form.List1.listCount(), 0u);
    EXPECT_EQ(rig.form.status(), "开始采集 ..");
    EXPECT_TRUE(rig.form.Command1.enabled());
}

TEST(SinglePageTest, ButtonIsDisabledExactlyWhileThePageLoads) {
    sim::Options o;
    o.latencyMs = 50;
    HarvestRig rig(o);
    std::vector<bool> enabledDuringWait;
    rig.platform.onProcessEvents = [&] {
        enabledDuringWait.push_back(rig.form.Command1.enabled());
    };
    rig.form.Command1.click();
    ASSERT_FALSE(enabledDuringWait.empty());
    EXPECT_TRUE(
        std::none_of(enabledDuringWait.begin(), enabledDuringWait.end(), [](bool b) { return b; }));
    EXPECT_TRUE(rig.form.Command1.enabled());
}

TEST(BatchTest, LimitTwoRequestsPagesOneAndTwoInOrder) {
    HarvestRig rig;
    rig.form.List1.addItem("old.com");
    rig.press("2");
    EXPECT_EQ(rig.form.Command1.caption(), "停止采集");
    EXPECT_TRUE(rig.form.Timer1.enabled());
    EXPECT_EQ(rig.form.List1.listCount(), 0u);
    EXPECT_EQ(rig.form.status(), "正在批量采集 ..");
    rig.runBatch();

    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 2));
    auto targets = rig.requestedTargets();
    std::sort(targets.begin(), targets.end());
    EXPECT_THAT(targets, ElementsAre("/search?p=1", "/search?p=2"));
    EXPECT_TRUE(contains(rig.statuses, "正在采集第1页.."));
    EXPECT_TRUE(contains(rig.statuses, "正在采集第2页.."));
    EXPECT_FALSE(contains(rig.statuses, "正在采集第0页.."));
    EXPECT_FALSE(contains(rig.statuses, "正在采集第3页.."));
    EXPECT_EQ(rig.form.status(), "批量采集完毕 ..");
    EXPECT_EQ(rig.form.Command1.caption(), "开始采集");
    EXPECT_EQ(rig.form.ys, 2);
    EXPECT_TRUE(rig.form.sj.allEmpty());
    // After a batch emptied the list the selection follows the newest entry.
    EXPECT_EQ(rig.form.List1.listIndex(), 99);
}

TEST(BatchTest, FractionalLimitRoundsUp) {
    HarvestRig rig;
    rig.press("2.5");
    rig.runBatch();
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 3));
    EXPECT_EQ(rig.sim.requests().size(), 3u);
}

TEST(BatchTest, PagesPastTheLastAddNothingAndAreNoFailure) {
    sim::Options o;
    o.pages = 2;
    HarvestRig rig(o);
    rig.press("4");
    rig.runBatch();
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 2));
    EXPECT_EQ(rig.form.status(), "批量采集完毕 ..");
}

TEST(BatchTest, OutOfOrderArrivalsAreAppendedInPageOrder) {
    sim::Options o;
    // Early pages answer last.
    o.pageLatencyMs = {{1, 250}, {2, 150}, {3, 60}, {4, 0}, {5, 120}, {6, 0}};
    o.jitterMs = 20;
    HarvestRig rig(o, harvest::HarvestOptions{4, 2, 50});
    rig.press("6");
    rig.runBatch();
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 6));
    EXPECT_GT(rig.sim.maxConcurrent(), 1);
    EXPECT_LE(rig.sim.maxConcurrent(), 4);
}

TEST(BatchTest, ParallelOneNeverHasTwoRequestsInFlight) {
    sim::Options o;
    o.latencyMs = 5;
    o.jitterMs = 10;
    HarvestRig rig(o, harvest::HarvestOptions{1, 2, 50});
    rig.press("5");
    rig.runBatch();
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 5));
    EXPECT_EQ(rig.sim.maxConcurrent(), 1);
    EXPECT_THAT(rig.requestedTargets(), ElementsAre("/search?p=1", "/search?p=2", "/search?p=3",
                                                    "/search?p=4", "/search?p=5"));
}

TEST(BatchTest, TransientFailuresAreRetriedAndNothingIsLost) {
    struct Case {
        sim::Fault fault;
    };
    for (const sim::Fault fault : {sim::Fault::Status500, sim::Fault::Status429,
                                   sim::Fault::DropBeforeBody, sim::Fault::Status503}) {
        SCOPED_TRACE(std::string(sim::faultName(fault)));
        sim::Options o;
        o.pageFaults = {{3, fault}};
        o.failFirstN = 2;  // fails twice, answers on the last try
        HarvestRig rig(o, harvest::HarvestOptions{4, 2, 20});
        rig.press("4");
        rig.runBatch();
        EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 4));
        EXPECT_EQ(rig.form.status(), "批量采集完毕 ..");
        const auto targets = rig.requestedTargets();
        EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=3"), 3);
    }
}

TEST(BatchTest, PagesThatKeepFailingAreNamedAtTheEnd) {
    sim::Options o;
    o.pageFaults = {{2, sim::Fault::Status500}, {4, sim::Fault::Status404}};
    HarvestRig rig(o, harvest::HarvestOptions{2, 2, 10});
    rig.press("5");
    rig.runBatch();
    std::vector<std::string> expected = rig.expectedPages(1, 1);
    for (auto& d : rig.expectedPages(3, 3))
        expected.push_back(d);
    for (auto& d : rig.expectedPages(5, 5))
        expected.push_back(d);
    EXPECT_EQ(rig.form.List1.items(), expected);
    EXPECT_EQ(rig.form.status(), "批量采集完毕 .. 2页失败: 2, 4");
    const auto targets = rig.requestedTargets();
    // 5xx is retried twice, a 404 is final at once.
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=2"), 3);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=4"), 1);
}

TEST(BatchTest, BusyServerDropsTheBatchToOneRequestInFlight) {
    sim::Options o;
    o.pageFaults = {{1, sim::Fault::Status503}};
    o.failFirstN = 1;
    o.latencyMs = 20;
    HarvestRig rig(o, harvest::HarvestOptions{4, 2, 10});
    rig.press("8");
    // Let the first answers in, then watch the in-flight count.
    std::size_t most = 0;
    bool sawRetry = false;
    while (rig.form.Timer1.enabled()) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
        const auto targets = rig.requestedTargets();
        if (std::count(targets.begin(), targets.end(), "/search?p=1") >= 2) {
            sawRetry = true;
        }
        if (sawRetry) {
            most = std::max(most, rig.application->harvester().inFlight());
        }
    }
    EXPECT_TRUE(sawRetry);
    EXPECT_LE(most, 1u);
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 8));
}

TEST(BatchTest, StopReturnsAtOnceAndTheTickerAppendsThePagesInFlight) {
    sim::Options o;
    o.latencyMs = 40;
    HarvestRig rig(o, harvest::HarvestOptions{2, 2, 10});
    rig.press("50");
    // Run until two pages are in.
    while (rig.form.List1.listCount() < 100) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
    }
    const int pumpsBefore = rig.platform.pumps;
    rig.form.Command1.click();  // stop, the limit is still above 1
    // The click itself waited for nothing.
    EXPECT_EQ(rig.platform.pumps, pumpsBefore);
    EXPECT_EQ(rig.form.Command1.caption(), "开始采集");
    EXPECT_FALSE(rig.form.Timer1.enabled());
    EXPECT_EQ(rig.form.status(), "已停止批量采集操作 ..");
    EXPECT_EQ(rig.form.ys, 0);
    EXPECT_TRUE(rig.application->harvester().draining());
    EXPECT_EQ(rig.platform.tickerStarts, 1);

    rig.drain();
    EXPECT_FALSE(rig.application->harvester().draining());
    EXPECT_EQ(rig.form.status(), "已停止批量采集操作 ..");
    const std::size_t requested = rig.sim.requests().size();
    const std::size_t pages = rig.form.List1.listCount() / 50;
    EXPECT_EQ(rig.form.List1.listCount() % 50, 0u);
    EXPECT_EQ(pages, requested);  // everything that was on the wire got appended
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, static_cast<int>(pages)));
    // Nothing more is requested after the stop.
    for (int i = 0; i < 50; ++i) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
    }
    EXPECT_EQ(rig.sim.requests().size(), requested);
}

// A stop with a slow page and a failing page on the wire: the click shows the stop text at
// once; the final summary replaces it only if no other command wrote the status meanwhile.
TEST(BatchTest, StopSequenceKeepsTheStatusOfACommandRunInBetween) {
    struct Case {
        const char* rule;
        bool copyInBetween;
        std::string finalStatus;
    };
    const Case cases[] = {
        {"nothing else wrote the status: the final summary appears", false,
         "已停止批量采集操作 .. 1页失败: 3"},
        {"a copy in between keeps its own status", true, "域名已复制 .."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim::Options o;
        o.pageLatencyMs = {{2, 300}, {3, 150}};
        o.pageFaults = {{3, sim::Fault::Status404}};
        HarvestRig rig(o, harvest::HarvestOptions{3, 2, 10});
        rig.press("3");
        // Page 1 is in; pages 2 (slow) and 3 (failing) are on the wire.
        while (rig.form.List1.listCount() < 50) {
            rig.pool.poll(1);
            rig.form.Timer1.tick();
        }
        ASSERT_EQ(rig.application->harvester().inFlight(), 2u);
        rig.form.Command1.click();
        EXPECT_EQ(rig.form.status(), "已停止批量采集操作 ..");
        if (c.copyInBetween) {
            rig.form.List1.setListIndex(0);
            rig.form.fz.Click.raise();
        }
        rig.drain();
        EXPECT_EQ(rig.form.status(), c.finalStatus);
        std::vector<std::string> expected = rig.expectedPages(1, 2);
        EXPECT_EQ(rig.form.List1.items(), expected);
        EXPECT_EQ(rig.platform.tickerStops, 1);
    }
}

// With the history unusable, the note follows the stopped batch's final summary, and never a
// status that another command wrote while the batch drained.
TEST(BatchTest, HistoryNoteFollowsOnlyTheHarvestsOwnFinalText) {
    struct Case {
        const char* rule;
        bool copyInBetween;
        std::string finalStatus;
    };
    const Case cases[] = {
        {"the summary gets the note", false, "已停止批量采集操作 .. 1页失败: 3（历史记录不可用）"},
        {"a copy in between keeps its status unchanged", true, "域名已复制 .."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        testing::TempDir dir;
        std::filesystem::create_directory(dir.path() / "folder.sqlite3");
        sim::Options o;
        o.pageLatencyMs = {{2, 300}, {3, 150}};
        o.pageFaults = {{3, sim::Fault::Status404}};
        HarvestRig rig(o, harvest::HarvestOptions{3, 2, 10}, shortLimits(),
                       dir.file("folder.sqlite3"));
        rig.application->history().flush();
        rig.press("3");
        while (rig.form.List1.listCount() < 50) {
            rig.pool.poll(1);
            rig.form.Timer1.tick();
        }
        rig.form.Command1.click();
        if (c.copyInBetween) {
            rig.form.List1.setListIndex(0);
            rig.form.fz.Click.raise();
        }
        rig.drain();
        EXPECT_EQ(rig.form.status(), c.finalStatus);
    }
}

TEST(BatchTest, StopCountsPagesWaitingForARetryAsFailedAtOnce) {
    sim::Options o;
    o.pageFaults = {{2, sim::Fault::Status500}};
    HarvestRig rig(o, harvest::HarvestOptions{1, 5, 60'000});
    rig.press("5");
    // Page 2 failed once and waits a minute for its retry; the pages after it are in.
    const auto requestedOnce = [&rig](const std::string& target) {
        const auto targets = rig.requestedTargets();
        return std::count(targets.begin(), targets.end(), target) >= 1;
    };
    while (!requestedOnce("/search?p=5") || rig.application->harvester().inFlight() > 0) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
    }
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 1));
    rig.form.Command1.click();
    EXPECT_EQ(rig.form.status(), "已停止批量采集操作 .. 1页失败: 2");
    // Nothing was left on the wire: no drain.
    EXPECT_FALSE(rig.application->harvester().draining());
    std::vector<std::string> expected = rig.expectedPages(1, 1);
    for (auto& d : rig.expectedPages(3, 5)) {
        expected.push_back(d);
    }
    EXPECT_EQ(rig.form.List1.items(), expected);
}

TEST(BatchTest, ANewBatchCancelsTheDrainingOne) {
    sim::Options o;
    o.pageLatencyMs = {{2, 400}};
    HarvestRig rig(o, harvest::HarvestOptions{2, 2, 10});
    rig.press("2");
    while (rig.form.List1.listCount() < 50) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
    }
    rig.form.Command1.click();  // stop with page 2 on the wire
    ASSERT_TRUE(rig.application->harvester().draining());
    rig.press("1");  // a single page: the drain goes on
    EXPECT_TRUE(rig.application->harvester().draining());
    rig.press("3");  // a new batch: the draining one is given up
    EXPECT_FALSE(rig.application->harvester().draining());
    EXPECT_FALSE(rig.platform.ticker);
    EXPECT_EQ(rig.form.status(), "正在批量采集 ..");
    rig.runBatch();
    EXPECT_EQ(rig.form.List1.items(), rig.expectedPages(1, 3));
    EXPECT_EQ(rig.form.status(), "批量采集完毕 ..");
}

TEST(BatchTest, SinglePageDuringABatchLeavesTheBatchRunning) {
    sim::Options o;
    o.latencyMs = 20;
    HarvestRig rig(o, harvest::HarvestOptions{1, 2, 10});
    rig.press("3");
    rig.pool.poll(1);
    rig.form.Timer1.tick();
    std::vector<std::string> captionsDuringWait;
    rig.platform.onProcessEvents = [&] {
        captionsDuringWait.push_back(rig.form.Command1.caption());
        rig.form.Timer1.tick();
    };
    rig.press("1");  // a single page while the batch goes on
    ASSERT_FALSE(captionsDuringWait.empty());
    EXPECT_EQ(captionsDuringWait.front(), "停止采集");
    EXPECT_TRUE(rig.form.Command1.enabled());
    EXPECT_TRUE(contains(rig.statuses, "采集完毕 .."));
    // The limit is now 1: the batch ends once the counter is past it.
    rig.runBatch();
    EXPECT_EQ(rig.form.Command1.caption(), "开始采集");
    const auto targets = rig.requestedTargets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/search?p=1"), 2);
    EXPECT_EQ(rig.form.List1.listCount() % 50, 0u);
    EXPECT_GE(rig.form.List1.listCount(), 100u);
}

TEST(BatchTest, LoweringTheLimitEndsTheBatchAtTheNextTick) {
    sim::Options o;
    o.latencyMs = 10;
    HarvestRig rig(o, harvest::HarvestOptions{1, 2, 10});
    rig.press("100");
    while (rig.form.List1.listCount() < 100) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
    }
    rig.form.Text1.setText("2");
    rig.runBatch();
    EXPECT_EQ(rig.form.status(), "批量采集完毕 ..");
    EXPECT_LE(rig.sim.requests().size(), 3u);
}

TEST(PageBoxTest, InvalidTextBecomesOneAndTheScrollBarWritesItsValue) {
    HarvestRig rig;
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (const Case c : {Case{"", "1"}, Case{"abc", "1"}, Case{"12", "12"}, Case{"-4", "-4"},
                         Case{"2.5", "2.5"}, Case{"1e2", "1"}, Case{" 3 ", " 3 "}}) {
        SCOPED_TRACE(c.typed);
        rig.form.Text1.setText("7");
        rig.form.Text1.setText(c.typed);
        EXPECT_EQ(rig.form.Text1.text(), c.shown);
    }
    rig.form.HScroll1.setValue(37);
    EXPECT_EQ(rig.form.Text1.text(), "37");
    rig.form.Text1.setText("5");
    EXPECT_EQ(rig.form.HScroll1.value(), 37);  // the box does not move the bar
    rig.form.HScroll1.setValue(0);
    EXPECT_EQ(rig.form.Text1.text(), "0");
}

TEST(RowParserTest, SamePageTwiceAppendsItTwiceAndWorkArrayIsCleared) {
    HarvestRig rig;
    rig.form.Command1.click();
    rig.form.Command1.click();
    const auto page1 = rig.expectedPages(1, 1);
    ASSERT_EQ(rig.form.List1.listCount(), 100u);
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(rig.form.List1.list(i), page1[i]);
        EXPECT_EQ(rig.form.List1.list(i + 50), page1[i]);
    }
    // jx clears every slot, the query's included.
    rig.form.sj.at(4) = "query page";
    rig.form.sj.at(31) = "number";
    rig.form.sj[app::Slot::ListingText] = std::string(harvest::kRowMarker) + "z.cn\"";
    rig.application->harvester().jx();
    EXPECT_TRUE(rig.form.sj.allEmpty());
    EXPECT_EQ(rig.form.List1.list(100), "z.cn");
}

}  // namespace
}  // namespace jilan::testing
