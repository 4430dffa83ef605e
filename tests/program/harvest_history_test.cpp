// The window's harvests in the history: one run per press of "开始采集", each page queued as it
// is appended, the run's figures when it ends, and the note on the status line when the store
// cannot be used.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/headless.h"
#include "history/reader.h"
#include "market_sim.h"
#include "temp_dir.h"

namespace jilan::program {
namespace {

class HarvestHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start()) << sim.lastError();
        options.urls =
            config::Urls{sim.baseUrl(), sim.icpBaseUrl(), sim.baseUrl() + "/vendor/forum",
                         sim.baseUrl() + "/vendor/home"};
        options.limits.totalTimeoutMs = 3'000;
        options.harvest.retryPauseMs = 10;
        options.harvest.retries = 0;
    }

    // Presses "开始采集" with `pages` in the box and drives the timer until the harvest ends.
    static void press(cli::HeadlessProgram& program, const std::string& pages) {
        program.form.Text1.setText(pages);
        program.form.Command1.click();
        while (program.form.Timer1.enabled()) {
            program.pool.poll(program.form.Timer1.interval());
            program.form.Timer1.tick();
        }
    }

    testing::TempDir dir{"jilan-harvest-history"};
    sim::MarketSim sim;
    cli::Settings options;
    std::ostringstream err;
};

TEST_F(HarvestHistoryTest, EachPressIsOneRunWithItsPagesAndFigures) {
    struct Case {
        const char* rule;
        std::string pages;
        std::map<int, sim::Fault> faults;
        int pageLimit, requested, failed, entries;
    };
    const Case cases[] = {
        {"a single page", "1", {}, 1, 1, 0, 50},
        {"a failed single page", "1", {{1, sim::Fault::Status500}}, 1, 1, 1, 0},
        {"a batch of three", "3", {}, 3, 3, 0, 150},
        {"a batch with a failed page", "3", {{2, sim::Fault::Status500}}, 3, 3, 1, 100},
        {"a fractional limit asks for the next whole page", "2.5", {}, 3, 3, 0, 150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        sim.modifyOptions([&](sim::Options& o) { o.pageFaults = c.faults; });
        options.historyPath = dir.file("h" + std::to_string(&c - cases) + ".sqlite3");
        std::optional<std::int64_t> runId;
        {
            cli::HeadlessProgram program(options, err);
            press(program, c.pages);
            program.application.history().flush();
            runId = program.application.currentRunId();
            EXPECT_EQ(program.application.historyPath(), options.historyPath);
            EXPECT_EQ(program.form.status().find("历史记录不可用"), std::string::npos);
        }
        ASSERT_TRUE(runId.has_value());
        history::Reader reader = history::Reader::open(options.historyPath);
        ASSERT_TRUE(reader.ok()) << reader.unavailableReason();
        const std::optional<history::RunRow> run = reader.run(*runId);
        ASSERT_TRUE(run.has_value());
        EXPECT_TRUE(run->ended.has_value());
        EXPECT_EQ(run->pageLimit, c.pageLimit);
        EXPECT_EQ(run->pagesRequested, c.requested);
        EXPECT_EQ(run->pagesFailed, c.failed);
        EXPECT_EQ(run->entries, c.entries);
        std::size_t fresh = 0;
        reader.newInRun(*runId, [&](const history::NameRow&) {
            ++fresh;
            return true;
        });
        EXPECT_EQ(fresh, static_cast<std::size_t>(c.entries));
    }
}

TEST_F(HarvestHistoryTest, SecondPressSeesOnlyTheNamesItHasNotSeenBefore) {
    options.historyPath = dir.file("two.sqlite3");
    cli::HeadlessProgram program(options, err);
    press(program, "2");
    program.application.history().flush();
    const auto first = program.application.currentRunId();
    press(program, "3");
    program.application.history().flush();
    const auto second = program.application.currentRunId();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    history::Reader reader = history::Reader::open(options.historyPath);
    std::vector<std::string> fresh;
    reader.newInRun(*second, [&](const history::NameRow& row) {
        fresh.push_back(row.domain);
        return true;
    });
    // First seen in one second: the store orders them by name.
    std::vector<std::string> page3 = sim::rowDomains(sim.options(), 3);
    std::sort(page3.begin(), page3.end());
    EXPECT_EQ(fresh, page3);
    const auto again = reader.lookup(sim::rowDomains(sim.options(), 1).front());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->runsSeen, 2);
}

TEST_F(HarvestHistoryTest, UnusableStoreAddsTheNoteAndTheHarvestStillRuns) {
    struct Case {
        const char* rule;
        std::string pages;
        const char* finalStatus;
    };
    const Case cases[] = {
        {"single page", "1", "采集完毕 ..（历史记录不可用）"},
        {"batch", "2", "批量采集完毕 ..（历史记录不可用）"},
    };
    std::filesystem::create_directory(dir.path() / "folder.sqlite3");
    options.historyPath = dir.file("folder.sqlite3");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        cli::HeadlessProgram program(options, err);
        program.application.history().flush();
        press(program, c.pages);
        EXPECT_EQ(program.form.status(), c.finalStatus);
        EXPECT_EQ(program.form.List1.listCount(), 50u * std::stoul(c.pages));
        EXPECT_FALSE(program.application.currentRunId().has_value());
    }
}

TEST_F(HarvestHistoryTest, EntriesThatAreNoDomainStayInTheListButAreNeverRecorded) {
    // The hostile listing's 15 odd rows are no domains (a line break, spaces, quotes, "/", an
    // empty name, 300 letters); the other 35 are plain names.
    sim::Options hostile = sim.options();
    hostile.hostileRows = true;
    sim::MarketSim oddSite(hostile);
    ASSERT_TRUE(oddSite.start()) << oddSite.lastError();
    options.urls.market = oddSite.baseUrl();
    options.historyPath = dir.file("odd.sqlite3");
    cli::HeadlessProgram program(options, err);
    press(program, "1");
    program.application.history().flush();
    const std::vector<std::string> items = program.form.List1.items();
    ASSERT_EQ(items.size(), 50u);
    const auto run = program.application.currentRunId();
    ASSERT_TRUE(run.has_value());
    history::Reader reader = history::Reader::open(options.historyPath);
    std::vector<std::string> recorded;
    reader.newInRun(*run, [&](const history::NameRow& row) {
        recorded.push_back(row.domain);
        return true;
    });
    const std::vector<std::string> odd = sim::hostileDomains();
    std::vector<std::string> plain;
    std::copy_if(items.begin(), items.end(), std::back_inserter(plain), [&](const std::string& d) {
        return std::find(odd.begin(), odd.end(), d) == odd.end();
    });
    ASSERT_EQ(plain.size(), 35u);
    std::sort(plain.begin(), plain.end());
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(recorded, plain);
}

TEST_F(HarvestHistoryTest, WithoutAPathNothingIsRecordedAndNothingIsNoted) {
    cli::HeadlessProgram program(options, err);
    press(program, "1");
    EXPECT_EQ(program.form.status(), "采集完毕 ..");
    EXPECT_FALSE(program.application.history().enabled());
    EXPECT_FALSE(program.application.currentRunId().has_value());
}

}  // namespace
}  // namespace jilan::program
