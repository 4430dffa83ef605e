#include "export/domain_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/name_features.h"
#include "rule_name.h"

namespace {

namespace exporting = jilan::exporting;
using exporting::Column;

exporting::NameDetails detailsWith(std::string filed, std::string number, std::string result) {
    exporting::NameDetails d;
    d.domain = "LanShan.com";
    d.deletionType = "过期删除";
    d.bookingPlatform = "青岚预订";
    d.filed = std::move(filed);
    d.filingNumber = std::move(number);
    d.queriedAt = "2026-12-07 10:00:00";
    d.result = std::move(result);
    return d;
}

struct RowCase {
    const char* rule;
    bool withSeen;
    bool withDetails;
    exporting::NameDetails details;
    std::string domain, filed, number, runs, failure;
};

std::vector<RowCase> rowCases() {
    return {
        {"features alone name the domain from name and suffix",
         false,
         false,
         {},
         "lanshan.com",
         "",
         "",
         "",
         ""},
        {"a sighting gives the domain as listed and its count",
         true,
         false,
         {},
         "Lanshan.COM",
         "",
         "",
         "3",
         ""},
        {"the queried domain wins", true, true, detailsWith("已备案", "京ICP备1号", "成功"),
         "LanShan.com", "已备案", "京ICP备1号", "3", ""},
        {"no number unless filed", false, true, detailsWith("未备案", "京ICP备1号", "成功"),
         "LanShan.com", "未备案", "", "", ""},
        {"a failed name carries its reason for the failure sheet", false, true,
         detailsWith("查询失败", "", "备案查询失败：服务器返回 500"), "LanShan.com", "查询失败", "",
         "", "备案查询失败：服务器返回 500"},
    };
}

class DomainRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(DomainRowTest, Columns) {
    const RowCase& c = GetParam();
    const auto features = jilan::filter::computeFeatures("LanShan.com");
    jilan::history::NameRow seen;
    seen.domain = "Lanshan.COM";
    seen.runsSeen = 3;
    seen.firstSeen = 1'796'000'000;
    seen.lastSeen = 1'796'086'400;
    const auto row = exporting::makeDomainRow(features, c.withSeen ? &seen : nullptr,
                                              c.withDetails ? &c.details : nullptr,
                                              jilan::filter::defaultScoreWeights());
    EXPECT_EQ(row[Column::Domain], c.domain);
    EXPECT_EQ(row[Column::Length], "7");
    EXPECT_EQ(row[Column::Suffix], "com");
    EXPECT_EQ(row[Column::Kind], "纯字母");
    EXPECT_EQ(row[Column::Pinyin], "lan shan");
    EXPECT_EQ(row[Column::Runs], c.runs);
    EXPECT_EQ(row[Column::FirstSeen], c.withSeen ? exporting::localTimeText(seen.firstSeen) : "");
    EXPECT_EQ(row[Column::Filed], c.filed);
    EXPECT_EQ(row[Column::FilingNumber], c.number);
    EXPECT_EQ(row[Column::BookingPlatform], c.withDetails ? "青岚预订" : "");
    EXPECT_EQ(row[Column::QueryResult], c.withDetails ? c.details.result : "");
    EXPECT_EQ(row.failure, c.failure);
}

INSTANTIATE_TEST_SUITE_P(DomainRows, DomainRowTest, ::testing::ValuesIn(rowCases()),
                         [](const auto& info) {
                             return jilan::testing::ruleName(info.param.rule);
                         });

TEST(DomainRows, LocalTimeHasTheTableShape) {
    const std::string text = exporting::localTimeText(1'796'000'000);
    ASSERT_EQ(text.size(), 19U);
    for (const std::size_t at : {4U, 7U}) {
        EXPECT_EQ(text[at], '-') << text;
    }
    EXPECT_EQ(text[10], ' ') << text;
    EXPECT_EQ(exporting::localTimeText(0), "");
}

}  // namespace
