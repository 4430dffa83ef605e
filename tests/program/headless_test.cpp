#include "program/headless.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "market_sim.h"

namespace jilan::program {
namespace {

namespace fs = std::filesystem;

class HeadlessHarvestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start()) << sim.lastError();
        dir = fs::temp_directory_path() /
              ("jilan-headless-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        options.urls =
            config::Urls{sim.baseUrl(), sim.icpBaseUrl(), sim.baseUrl() + "/vendor/forum",
                         sim.baseUrl() + "/vendor/home"};
        options.limits.totalTimeoutMs = 3'000;
        options.harvest.retryPauseMs = 10;
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string expectedFile(int first, int last) const {
        std::string out;
        for (int p = first; p <= last; ++p) {
            for (const auto& d : sim::rowDomains(sim.options(), p)) {
                out += d + "\r\n";
            }
        }
        return out;
    }

    sim::MarketSim sim;
    fs::path dir;
    HeadlessOptions options;
};

TEST_F(HeadlessHarvestTest, BatchWritesPagesOneToNInOrderAndPrintsEveryStatus) {
    std::ostringstream err;
    const fs::path out = dir / "list.txt";
    EXPECT_EQ(runHeadlessHarvest("3", out.string(), options, err), 0);
    EXPECT_EQ(read(out), expectedFile(1, 3));
    const std::string log = err.str();
    EXPECT_NE(log.find("正在批量采集 ..\n"), std::string::npos);
    EXPECT_NE(log.find("正在采集第3页..\n"), std::string::npos);
    EXPECT_NE(log.find("批量采集完毕 ..\n"), std::string::npos);
}

TEST_F(HeadlessHarvestTest, LimitOneIsTheSinglePageAsTyped) {
    std::ostringstream err;
    const fs::path out = dir / "one.txt";
    EXPECT_EQ(runHeadlessHarvest("1", out.string(), options, err), 0);
    EXPECT_EQ(read(out), expectedFile(1, 1));
    EXPECT_NE(err.str().find("采集完毕 .."), std::string::npos);
}

TEST_F(HeadlessHarvestTest, FailedPagesAreNamedAndTheRunStillSucceeds) {
    sim.modifyOptions([](sim::Options& o) { o.pageFaults = {{2, sim::Fault::Status500}}; });
    std::ostringstream err;
    const fs::path out = dir / "partial.txt";
    EXPECT_EQ(runHeadlessHarvest("3", out.string(), options, err), 0);
    EXPECT_EQ(read(out), expectedFile(1, 1) + expectedFile(3, 3));
    EXPECT_NE(err.str().find("批量采集完毕 .. 1页失败: 2"), std::string::npos);
}

TEST_F(HeadlessHarvestTest, BadOptionsAndUnwritableFilesFailClearly) {
    struct Case {
        const char* rule;
        std::string pages;
        fs::path output;
        int code;
    };
    {
        std::ofstream blocker(dir / "file");
        blocker << "x";
    }
    const Case cases[] = {
        {"page is not a number", "many", dir / "a.txt", 2},
        {"folder missing", "1", dir / "missing" / "a.txt", 1},
        {"parent is a file", "1", dir / "file" / "a.txt", 1},
        {"output is a folder", "1", dir, 1},
        {"no output", "1", "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        std::ostringstream err;
        EXPECT_EQ(runHeadlessHarvest(c.pages, c.output.string(), options, err), c.code);
        EXPECT_NE(err.str().find("jilan-harvester:"), std::string::npos);
    }
    EXPECT_TRUE(sim.requests().empty());
}

TEST_F(HeadlessHarvestTest, QueryPrintsTheDetailAreaLineByLine) {
    std::ostringstream out, err;
    EXPECT_EQ(runHeadlessQuery("qiyun1.com", options, out, err), 0);
    std::istringstream lines(out.str());
    std::string first;
    std::getline(lines, first);
    EXPECT_EQ(first.rfind("删除类型：", 0), 0u);
    int count = 1;
    for (std::string line; std::getline(lines, line);) {
        ++count;
    }
    EXPECT_GE(count, 9);
    EXPECT_NE(err.str().find("查询完毕 .."), std::string::npos);
}

}  // namespace
}  // namespace jilan::program
