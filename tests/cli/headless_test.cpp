#include "cli/headless.h"
#include "cli/window_less_runs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "market_sim.h"

namespace jilan::cli {
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

    // The window-less harvest without history or filter: the list as the window holds it.
    int harvest(const std::string& pages, const fs::path& output, std::ostream& err) {
        Settings settings;
        settings.urls = options.urls;
        settings.limits = options.limits;
        settings.harvest = options.harvest;
        settings.output = output.string();
        return runHarvestCommand(pages, settings, interruption, err);
    }

    sim::MarketSim sim;
    fs::path dir;
    Settings options;
    Interruption interruption;
};

TEST_F(HeadlessHarvestTest, BatchWritesPagesOneToNInOrderAndPrintsNoLinePerPage) {
    std::ostringstream err;
    const fs::path out = dir / "list.txt";
    EXPECT_EQ(harvest("3", out, err), 0);
    EXPECT_EQ(read(out), expectedFile(1, 3));
    const std::string log = err.str();
    EXPECT_NE(log.find("正在批量采集 ..\n"), std::string::npos);
    // Not on a terminal: no line per page and no carriage return.
    EXPECT_EQ(log.find("正在采集第"), std::string::npos) << log;
    EXPECT_EQ(log.find('\r'), std::string::npos) << log;
    EXPECT_NE(log.find("批量采集完毕 ..\n"), std::string::npos);
}

TEST_F(HeadlessHarvestTest, LimitOneIsTheSinglePageAsTyped) {
    std::ostringstream err;
    const fs::path out = dir / "one.txt";
    EXPECT_EQ(harvest("1", out, err), 0);
    EXPECT_EQ(read(out), expectedFile(1, 1));
    EXPECT_NE(err.str().find("采集完毕 .."), std::string::npos);
}

TEST_F(HeadlessHarvestTest, FailedPagesAreNamedAndTheRestWritten) {
    sim.modifyOptions([](sim::Options& o) { o.pageFaults = {{2, sim::Fault::Status500}}; });
    std::ostringstream err;
    const fs::path out = dir / "partial.txt";
    EXPECT_EQ(harvest("3", out, err), 3);
    EXPECT_EQ(read(out), expectedFile(1, 1) + expectedFile(3, 3));
    EXPECT_NE(err.str().find("批量采集完毕 .. 1页失败: 2"), std::string::npos);
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
}  // namespace jilan::cli
