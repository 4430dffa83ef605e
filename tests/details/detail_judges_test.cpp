#include "details/detail_judges.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "day_listing.h"
#include "rule_name.h"
#include "sim_content.h"

namespace {

using jilan::details::fieldOf;
using jilan::details::judgeDetailPage;
using jilan::details::judgeIcpPage;
namespace details = jilan::details;
namespace sim = jilan::sim;

// Every name of two days' listings: each value the judge takes from the served page equals
// the value the simulator says a reader should see (tags stripped, entities decoded).
TEST(DetailJudges, DayPagesGiveTheSimulatorsValues) {
    int bookingOver = 0;
    int filed = 0;
    int tagged = 0;
    for (const int day : {1, 2}) {
        const sim::DayListing listing(day, 200);
        for (const std::string& name : listing.names()) {
            SCOPED_TRACE(name);
            const sim::DayDomainFacts facts = sim::dayDomainFacts(day, name);
            const auto detail = judgeDetailPage(sim::dayDetailPage(day, name, true));
            ASSERT_TRUE(detail.conclusive);
            EXPECT_EQ(fieldOf(detail, details::kColDeletionType), facts.deleteType);
            EXPECT_EQ(fieldOf(detail, details::kColDeletionTime), facts.deleteTime);
            EXPECT_EQ(fieldOf(detail, details::kColBookingDeadline), facts.bookingDeadline);
            std::vector<std::string> prices(4);
            if (facts.bookingOver) {
                prices[0] = std::string(details::kBookingOverValue);
                ++bookingOver;
            } else if (!facts.priceCells.empty()) {
                prices = facts.priceCells;
            }
            EXPECT_EQ(fieldOf(detail, details::kColPlatform), prices[0]);
            EXPECT_EQ(fieldOf(detail, details::kColPrice), prices[1]);
            EXPECT_EQ(fieldOf(detail, details::kColPriceInYuan), prices[2]);
            EXPECT_EQ(fieldOf(detail, details::kColDeposit), prices[3]);
            tagged += facts.inlineTags ? 1 : 0;

            const auto icp = judgeIcpPage(sim::dayIcpPage(day, name, true));
            ASSERT_TRUE(icp.conclusive);
            EXPECT_EQ(fieldOf(icp, details::kColFiled),
                      facts.filed ? details::kFiledValue : details::kNotFiledValue);
            EXPECT_EQ(fieldOf(icp, details::kColFilingNumber), facts.filingNumber);
            filed += facts.filed ? 1 : 0;
        }
    }
    // The pages must have covered each kind of answer.
    EXPECT_GT(bookingOver, 0);
    EXPECT_GT(filed, 0);
    EXPECT_GT(tagged, 0);
}

struct PageCase {
    const char* rule;
    bool detailPage;  // else an ICP page
    std::string page;
    bool conclusive;
    std::string firstColumn;  // the first field's column, when conclusive
    std::string firstValue;
};

std::vector<PageCase> pageCases() {
    const std::string only = "<p><label>删除时间：</label>2026-12-07 09:00:00</p>";
    return {
        {"detail page without markers is not recognised", true, sim::noMarkersPage(true), false, "",
         ""},
        {"empty detail page is not recognised", true, "", false, "", ""},
        {"whois alone is no answer", true, "<pre>Domain Name: a.com</pre>", false, "", ""},
        {"one field is an answer", true, only, true, "删除时间", "2026-12-07 09:00:00"},
        {"booking-over sentence alone is an answer", true,
         "<p>" + std::string(sim::kBookingOverText) + "</p>", true, "预定平台", "预定时间已过"},
        {"icp page without markers is not recognised", false, sim::noMarkersPage(true), false, "",
         ""},
        {"icp page saying not filed", false, "<div>该域名未备案</div>", true, "是否备案", "未备案"},
        {"not filed wins over a number, as in the window", false,
         "未备案" + std::string(sim::kIcpNumberLabel) + "京ICP备1号</td>", true, "是否备案",
         "未备案"},
        {"filing number with tags and entities", false,
         std::string(sim::kIcpNumberLabel) + "<b>京ICP备12&amp;34号</b></td></tr>", true,
         "是否备案", "已备案"},
        {"empty filing number is not recognised", false,
         std::string(sim::kIcpNumberLabel) + "</td></tr>", false, "", ""},
    };
}

class PageJudgeTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageJudgeTest, Judged) {
    const PageCase& c = GetParam();
    const auto part = c.detailPage ? judgeDetailPage(c.page) : judgeIcpPage(c.page);
    EXPECT_EQ(part.conclusive, c.conclusive);
    if (!c.conclusive) {
        EXPECT_EQ(part.failure, "页面无法识别");
        EXPECT_EQ(part.fields.size(), 0U);
        return;
    }
    ASSERT_FALSE(part.fields.empty());
    EXPECT_EQ(part.fields[0].column, c.firstColumn);
    EXPECT_EQ(part.fields[0].value, c.firstValue);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageJudgeTest, ::testing::ValuesIn(pageCases()),
                         [](const auto& info) {
                             return jilan::testing::ruleName(info.param.rule);
                         });

TEST(DetailJudges, FilingNumberIsDecoded) {
    const auto icp = judgeIcpPage(std::string(sim::kIcpNumberLabel) +
                                  "<b class=\"n\">京ICP备12&amp;34号</b></td></tr>");
    EXPECT_EQ(fieldOf(icp, details::kColFilingNumber), "京ICP备12&34号");
}

}  // namespace
