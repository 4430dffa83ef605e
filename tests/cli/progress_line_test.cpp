#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>

#include "export/domain_table.h"

namespace jilan::cli {
namespace {

using Clock = ProgressLine::Clock;
using std::chrono::milliseconds;

std::size_t count(const std::string& text, std::string_view part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(ProgressLineTest, TerminalRedrawsInPlaceTenTimesASecondAtMostAndClears) {
    std::ostringstream err;
    const Clock::time_point t0{};
    {
        ProgressLine line(err, true, "采集", "页", [] { return std::optional<int>(60); });
        line.start(1000, t0);
        // 1000 updates over two seconds: about 20 redraws, never more than one per 100 ms.
        for (int i = 1; i <= 1000; ++i) {
            line.update({.done = static_cast<std::size_t>(i), .total = 1000, .found = 50u * i},
                        t0 + milliseconds(2 * i));
        }
        line.note("批量采集完毕 ..");
        line.finish();
        err << "已写入";
    }
    const std::string text = err.str();
    EXPECT_LE(count(text, "\r采集 "), 22u);
    EXPECT_GE(count(text, "\r采集 "), 19u);
    EXPECT_EQ(count(text, "\n"), 1u) << "only the note takes a line of its own";
    // The last thing before the summary is the line cleared.
    EXPECT_NE(text.find("\r\x1b[K已写入"), std::string::npos);
    EXPECT_NE(text.find("\r\x1b[K批量采集完毕 ..\n"), std::string::npos);
}

// The width is read once and again only on a resize, which redraws at once at the new width.
TEST(ProgressLineTest, AResizeRedrawsAtOnceAtTheNewWidth) {
    std::ostringstream err;
    int columns = 100;
    int widthReads = 0;
    std::atomic<unsigned> resizes{0};
    ProgressLine line(err, true, "采集", "页", [&] {
        ++widthReads;
        return std::optional<int>(columns);
    });
    line.followResizes(resizes);
    const Clock::time_point t0{};
    line.start(1000, t0);
    const ProgressCounts counts{.done = 412, .total = 1000, .found = 20600, .failed = 2};
    const auto lastDrawn = [&] {
        const std::string text = err.str();
        const std::size_t from = text.rfind('\r') + 1;
        return text.substr(from, text.find("\x1b[K", from) - from);
    };
    line.update(counts, t0);
    line.update(counts, t0 + milliseconds(150));
    EXPECT_EQ(widthReads, 1);
    columns = 40;
    line.update(counts, t0 + milliseconds(300));
    EXPECT_GT(exporting::displayWidth(lastDrawn()), 45u) << "no resize came: the old width holds";
    const std::size_t redraws = count(err.str(), "\r采集 ");
    ++resizes;
    line.update(counts, t0 + milliseconds(310));  // within the tenth of a second
    EXPECT_EQ(count(err.str(), "\r采集 "), redraws + 1);
    EXPECT_LE(exporting::displayWidth(lastDrawn()), 39u) << lastDrawn();
    EXPECT_EQ(widthReads, 2);
}

TEST(ProgressLineTest, BarFitsTheTerminalCountingChineseAsTwoColumns) {
    const ProgressCounts counts{.done = 412, .total = 1000, .found = 20600, .failed = 2};
    for (const int columns : {100, 60, 40, 20}) {
        SCOPED_TRACE(columns);
        const std::string text =
            ProgressLine::barText("采集", "页", counts, std::chrono::seconds(27), columns);
        EXPECT_LE(exporting::displayWidth(text), static_cast<std::size_t>(columns));
        EXPECT_EQ(text.rfind("采集 412/1000 页", 0), 0u) << text;
        if (columns >= 60) {
            EXPECT_NE(text.find("20 600 个域名 · 失败 2 · 约 39 秒"), std::string::npos) << text;
            EXPECT_NE(text.find("▕"), std::string::npos) << text;
        }
    }
}

// A list read: a pipe's lines without a total or a bar, a file's bytes of its size.
TEST(ProgressLineTest, AListReadCountsLinesOfAPipeAndBytesOfAFile) {
    const struct {
        ProgressCounts counts;
        const char* unit;
        const char* head;
        const char* tail;  // "": no bar
    } cases[] = {
        {{.done = 412000}, "行", "读取 412 000/… 行", ""},
        {{.done = 48u << 20, .total = 120u << 20, .lines = 412000, .inBytes = true},
         "MiB",
         "读取 48.0/120.0 MiB ▕",
         "▏ 412 000 行 · 约 15 秒"},
    };
    for (const auto& c : cases) {
        const std::string text =
            ProgressLine::barText("读取", c.unit, c.counts, std::chrono::seconds(10), 80);
        EXPECT_EQ(text.rfind(c.head, 0), 0u) << text;
        EXPECT_EQ(text.find("▕") != std::string::npos, *c.tail != '\0') << text;
        EXPECT_NE(text.find(c.tail), std::string::npos) << text;
    }
}

TEST(ProgressLineTest, OffTheTerminalAStartLineAndTenthsOnlyForLongRuns) {
    const struct Case {
        const char* rule;
        std::chrono::seconds runLength;
        std::size_t progressLines;
    } cases[] = {
        {"a short run: start and nothing more", std::chrono::seconds(30), 0},
        {"a long run: a line per tenth once past the minute", std::chrono::seconds(600), 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        std::ostringstream err;
        ProgressLine line(err, false, "查询", "个域名");
        const Clock::time_point t0{};
        line.start(100, t0);
        for (std::size_t i = 1; i <= 100; ++i) {
            line.update({.done = i, .total = 100, .failed = 0}, t0 + c.runLength * i / 100);
        }
        line.finish();
        const std::string text = err.str();
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_EQ(text.rfind("查询开始：共 100 个域名\n", 0), 0u) << text;
        EXPECT_EQ(count(text, "\n"), 1 + c.progressLines) << text;
    }
}

}  // namespace
}  // namespace jilan::cli
