#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "net/fetch_result.h"
#include "query/detail_parser.h"
#include "query/icp_judgement.h"

namespace {

using jilan::net::FetchError;
using jilan::net::FetchResult;
using jilan::query::FilingState;

// ---- Detail page: raw pieces between the markers next to the window's readings ----------

struct FieldCase {
    const char* rule;
    std::string page;
    // Deletion type and deadline: raw piece, window value, caption.
    std::string typeRaw, typeValue, typeCaption;
    std::string deadlineRaw, deadlineCaption;
    std::string whoisRaw, whoisCaption;
};

std::vector<FieldCase> fieldCases() {
    return {
        {"inline tags stay whole in the raw piece, lose their < in the caption",
         "<p><label>删除类型：</label><b class=\"k\">赎回期删除</b></p>"
         "<p><label>预订截止时间：</label> <span>06:00</span> </p><pre>W</pre>",
         "<b class=\"k\">赎回期删除</b>", "b class=\"k\">赎回期删除/b>",
         "删除类型：b class=\"k\">赎回期删除/b>", " <span>06:00</span> ",
         "预定截止：span>06:00/span>", "W", "W"},
        {"the raw piece keeps the spaces the caption trims",
         "<p><label>删除类型：</label>  过期删除  </p>", "  过期删除  ", "过期删除",
         "删除类型：过期删除", "", "预定截止：", "", ""},
        {"a missing end marker leaves raw and value empty",
         "<p><label>删除类型：</label>过期删除<p><pre>W", "", "", "删除类型：", "", "预定截止：",
         "", ""},
        {"the whois box shows the value alone, line breaks kept", "<pre>\r\nA: 1\r\n</pre>", "", "",
         "删除类型：", "", "预定截止：", "\r\nA: 1\r\n", "\r\nA: 1\r\n"},
    };
}

TEST(DetailValues, FieldsCarryRawPieceAndCaption) {
    for (const FieldCase& c : fieldCases()) {
        SCOPED_TRACE(c.rule);
        const auto values = jilan::query::readDetail(c.page);
        EXPECT_EQ(values.deletionType.raw, c.typeRaw);
        EXPECT_EQ(values.deletionType.value, c.typeValue);
        EXPECT_EQ(values.deletionType.caption, c.typeCaption);
        EXPECT_EQ(values.deadline.raw, c.deadlineRaw);
        EXPECT_EQ(values.deadline.caption, c.deadlineCaption);
        EXPECT_EQ(values.whois.raw, c.whoisRaw);
        EXPECT_EQ(values.whois.caption, c.whoisCaption);
        EXPECT_EQ(values.deletionTime.caption, "删除时间：");
    }
}

const std::string kPriceHeader = "<table><tr><th>预定平台</th><th>保证金</th></tr>\r\n";

struct PriceCase {
    const char* rule;
    std::string page;
    bool bookingOver;
    std::array<std::string, 4> raw;
    std::array<std::string, 4> captions;
};

std::vector<PriceCase> priceCases() {
    return {
        {"each raw cell runs to the next <td>, the last to the block's <",
         kPriceHeader + "<tr><td>易名</td><td>$12</td><td>78</td><td>100</td></tr></table></div>",
         false,
         {"易名</td>", "$12</td>", "78</td>", "100</td></tr></table><"},
         {"易名", "$12", "78", "100</tr></table><"}},
        {"cells the row lacks stay empty",
         kPriceHeader + "<td> A </td><td>B</td></div>",
         false,
         {" A </td>", "B</td><", "", ""},
         {"A ", "B<", "", ""}},
        {"a fifth cell is not read",
         kPriceHeader + "<td>1<td>2<td>3<td>4<td>5</div>",
         false,
         {"1", "2", "3", "4"},
         {"1", "2", "3", "4"}},
        {"booking over: no cell is read, every price label says so",
         "该域名的预订时间已过" + kPriceHeader + "<td>A</td><td>B</td><td>C</td><td>D</td></div>",
         true,
         {"", "", "", ""},
         {"预定时间已过", "预定时间已过", "预定时间已过", "预定时间已过"}},
        {"no closing div: no block, no cells",
         kPriceHeader + "<td>A</td><td>B</td><td>C</td><td>D</td></table>",
         false,
         {"", "", "", ""},
         {"", "", "", ""}},
    };
}

TEST(DetailValues, PriceCellsCarryRawPieceAndCaption) {
    for (const PriceCase& c : priceCases()) {
        SCOPED_TRACE(c.rule);
        const auto values = jilan::query::readDetail(c.page);
        EXPECT_EQ(values.bookingOver, c.bookingOver);
        for (std::size_t n = 0; n < 4; ++n) {
            SCOPED_TRACE(n + 1);
            EXPECT_EQ(values.cells[n].raw, c.raw[n]);
            EXPECT_EQ(values.priceCaptions[n], c.captions[n]);
        }
    }
}

// ---- Filing lookup: state and number ------------------------------------------------------

struct FilingCase {
    const char* rule;
    FetchResult page;
    FilingState state;
    std::string raw;
    std::string number;
};

std::vector<FilingCase> filingCases() {
    const std::string row = "<tr><td>网站备案/许可证号</td><td>京ICP备1号-1</td></tr>";
    return {
        {"a number in the row is filed", FetchResult::answer(row, 200), FilingState::Filed,
         "京ICP备1号-1", "京ICP备1号-1"},
        {"the raw number keeps its tags and spaces",
         FetchResult::answer("网站备案/许可证号</td><td> <b>沪ICP备2号</b> </td>", 200),
         FilingState::Filed, " <b>沪ICP备2号</b> ", "b>沪ICP备2号/b>"},
        {"未备案 anywhere is not filed and nothing is cut",
         FetchResult::answer("未备案" + row, 200), FilingState::NotFiled, "", ""},
        {"a good page without either says nothing found", FetchResult::answer("<html>", 200),
         FilingState::NothingFound, "", ""},
        {"an empty number cell on a good page says nothing found",
         FetchResult::answer("网站备案/许可证号</td><td>  </td>", 200), FilingState::NothingFound,
         "  ", ""},
        {"an error answer with a number is filed", FetchResult::answer(row, 500),
         FilingState::Filed, "京ICP备1号-1", "京ICP备1号-1"},
        {"an error answer saying nothing is a failed lookup",
         FetchResult::answer("<h1>Not Found</h1>", 404), FilingState::LookupFailed, "", ""},
        {"a failed transfer is a failed lookup",
         FetchResult::failure(FetchError::Transport, jilan::net::FailureKind::ConnectionCut),
         FilingState::LookupFailed, "", ""},
    };
}

TEST(FilingValues, StateRawAndNumber) {
    for (const FilingCase& c : filingCases()) {
        SCOPED_TRACE(c.rule);
        const auto values = jilan::query::readFiling(c.page);
        EXPECT_EQ(values.state, c.state);
        EXPECT_EQ(values.raw, c.raw);
        EXPECT_EQ(values.number, c.number);
        EXPECT_EQ(values.page, c.page.failed() ? "" : c.page.text);
    }
}

}  // namespace
