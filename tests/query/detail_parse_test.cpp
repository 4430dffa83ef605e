#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "net/fetch_result.h"
#include "query/query_commands.h"

namespace {

using jilan::app::Form1;
using jilan::app::Slot;

std::string fields(const std::string& type, const std::string& time, const std::string& deadline,
                   const std::string& whois) {
    return "<div class=\"detail\">\r\n<p><label>删除类型：</label>" + type +
           "</p>\r\n<p><label>删除时间：</label>" + time +
           "</p>\r\n<p><label>预订截止时间：</label>" + deadline + "</p>\r\n<pre>" + whois +
           "</pre>\r\n";
}

const std::string kHeader =
    "<div class=\"price\"><table>\r\n<tr><th>预定平台</th><th>预定价格</th><th>折合人民币</th>"
    "<th>保证金</th></tr>\r\n";
const std::string kWhois = "Domain Name: qiyun4821.com\r\nRegistrar: Demo\r\n";
const std::string kFields =
    fields("过期删除", "2026-12-07 09:00:00", "2026-12-06 18:30:00", kWhois);

struct ParseCase {
    const char* name;
    std::string page;
    std::string label1, label2, label13, text2;
    std::string label8, label9, label10, label11;
    // Slots beyond the value slots that the case pins down.
    std::vector<std::pair<Slot, std::string>> slots;
};

std::vector<ParseCase> cases() {
    const std::string normalRow = "<tr><td>易名</td><td>$12</td><td>78</td><td>100</td></tr>\r\n";
    return {
        {"normal page",
         kFields + kHeader + normalRow + "</table></div>\r\n<div class=\"footer\"></div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "易名",
         "$12",
         "78",
         // The last cell runs to the "<" that ends the block.
         "100</tr>\r\n</table><",
         {{Slot::DeleteTypePiece,
           "过期删除</p>\r\n<p><label>删除时间：</label>2026-12-07 "
           "09:00:00</p>\r\n<p><label>预订截止时间：</label>2026-12-06 "
           "18:30:00</p>\r\n<pre>" +
               kWhois + "</pre>\r\n" + kHeader + normalRow +
               "</table></div>\r\n<div class=\"footer\"></div>"},
          {Slot::PriceBlock, "</tr>\r\n" + normalRow + "</table><"},
          {Slot::Cell2Raw, "$12</td>"},
          {Slot::Cell3Raw, "78</td>"},
          {Slot::Cell4Raw, "100</td></tr>\r\n</table><"}}},
        {"booking over beats a full price table",
         kFields + "<p class=\"over\">该域名的预订时间已过</p>\r\n" + kHeader + normalRow +
             "</table></div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "预定时间已过",
         "预定时间已过",
         "预定时间已过",
         "预定时间已过",
         {{Slot::PricePiece, ""}, {Slot::PriceBlock, ""}, {Slot::Cell2Raw, ""}}},
        {"booking-over text with 定 for 订 is not the notice",
         kFields + "该域名的预定时间已过" + kHeader + "<td>a</td><td>b</td><td>c</td><td>d</div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "a",
         "b",
         "c",
         "d<",
         {}},
        {"two cells only",
         kFields + kHeader + "<tr><td>易名</td><td>$12</td></tr></table></div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "易名",
         "$12</tr></table><",
         "",
         "",
         {{Slot::Cell3Raw, ""}, {Slot::Cell4Raw, ""}}},
        {"no cell at all",
         kFields + kHeader + "<tr><th>空</th></tr></table></div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "",
         "",
         "",
         "",
         {{Slot::PriceBlock, "</tr>\r\n<tr><th>空</th></tr></table><"}}},
        {"block ends right behind the fourth cell",
         kFields + kHeader + "<td>A</td><td>B</td><td>C</td><td>D</td></div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "A",
         "B",
         "C",
         "D<",
         {{Slot::Cell4Raw, "D</td><"}}},
        {"space before </td>: kept in cell 1, trimmed in cells 2 to 4",
         kFields + kHeader + "<td>A </td><td>B </td><td>C </td><td>D </td><td>E</div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "A ",
         "B",
         "C",
         "D",
         {{Slot::Cell2Raw, "B </td>"}, {Slot::Cell4Raw, "D </td>"}}},
        {"spaces around cell 1 trimmed before </td> goes",
         kFields + kHeader + "<td>  A</td>  <td>  B  </td><td>C</td><td> D</td> </div>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "A",
         "B",
         "C",
         "D <",
         {{Slot::Cell1, "A"}}},
        {"inline tags keep their names",
         fields("<b>赎回期删除</b>", "2026-12-07 09:00:00", "<span>2026-12-06 10:00:00</span>",
                "x") +
             kHeader + "<td>易名</td><td>$3</td><td><em>20</em></td><td>50</td></div>",
         "删除类型：b>赎回期删除/b>",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：span>2026-12-06 10:00:00/span>",
         "x",
         "易名",
         "$3",
         "<em>20</em>",
         "50<",
         {}},
        {"markers with other letter case do not match",
         "<p><label>删除类型：</LABEL>x</p><PRE>w</PRE><TH>保证金</TH><td>a</td></div>",
         "删除类型：",
         "删除时间：",
         "预定截止：",
         "",
         "",
         "",
         "",
         "",
         {}},
        {"full-width and half-width do not mix",
         "<p><label>删除类型:</label>x</p><p><label>预定截止时间：</label>y</p>"
         "<th>保证金</th >\r\n<td>a</td></div>",
         "删除类型：",
         "删除时间：",
         "预定截止：",
         "",
         "",
         "",
         "",
         "",
         {}},
        {"price header without a closing div",
         kFields + kHeader + "<td>A</td><td>B</td><td>C</td><td>D</td></table>",
         "删除类型：过期删除",
         "删除时间：2026-12-07 09:00:00",
         "预定截止：2026-12-06 18:30:00",
         kWhois,
         "",
         "",
         "",
         "",
         {{Slot::PricePiece, "</tr>\r\n<td>A</td><td>B</td><td>C</td><td>D</td></table>"},
          {Slot::PriceBlock, ""}}},
        {"end marker missing behind the labels",
         "<p><label>删除类型：</label>x<p><label>删除时间：</label>y",
         "删除类型：",
         "删除时间：",
         "预定截止：",
         "",
         "",
         "",
         "",
         "",
         {{Slot::DeleteTypePiece, "x<p><label>删除时间：</label>y"}, {Slot::DeleteTimePiece, "y"}}},
        {"empty page", "", "删除类型：", "删除时间：", "预定截止：", "", "", "", "", "", {}},
    };
}

TEST(DetailParse, FillsEveryLabelAndSlot) {
    for (const ParseCase& c : cases()) {
        SCOPED_TRACE(c.name);
        Form1 form;
        form.sj[Slot::DetailPage] = c.page;
        jilan::query::parseDetail(form);

        EXPECT_EQ(form.Label1.caption(), c.label1);
        EXPECT_EQ(form.Label2.caption(), c.label2);
        EXPECT_EQ(form.Label13.caption(), c.label13);
        EXPECT_EQ(form.Text2.text(), c.text2);
        EXPECT_EQ(form.Label8.caption(), c.label8);
        EXPECT_EQ(form.Label9.caption(), c.label9);
        EXPECT_EQ(form.Label10.caption(), c.label10);
        EXPECT_EQ(form.Label11.caption(), c.label11);

        // The value slots hold what the labels show, without their prefixes.
        const bool over = c.label8 == "预定时间已过";
        EXPECT_EQ(form.sj[Slot::DeleteType], c.label1.substr(std::string("删除类型：").size()));
        EXPECT_EQ(form.sj[Slot::DeleteTime], c.label2.substr(std::string("删除时间：").size()));
        EXPECT_EQ(form.sj[Slot::Deadline], c.label13.substr(std::string("预定截止：").size()));
        EXPECT_EQ(form.sj[Slot::Whois], c.text2);
        EXPECT_EQ(form.sj[Slot::Cell1], over ? "" : c.label8);
        EXPECT_EQ(form.sj[Slot::Cell2], over ? "" : c.label9);
        EXPECT_EQ(form.sj[Slot::Cell3], over ? "" : c.label10);
        EXPECT_EQ(form.sj[Slot::Cell4], over ? "" : c.label11);
        for (const auto& [slot, value] : c.slots) {
            SCOPED_TRACE(static_cast<int>(slot));
            EXPECT_EQ(form.sj[slot], value);
        }
        EXPECT_EQ(form.sj[Slot::DetailPage], c.page);

        // The parse writes no slot outside its own.
        const std::set<std::size_t> own{4,  5,  6,  7,  8,  10, 11, 13, 14,
                                        16, 17, 18, 19, 21, 22, 24, 25, 27};
        for (std::size_t i = 0; i < jilan::app::WorkArray::kSize; ++i) {
            if (own.count(i) == 0) {
                EXPECT_EQ(form.sj.at(i), "") << "slot " << i;
            }
        }
        EXPECT_EQ(form.status(), jilan::app::kWelcomeStatus);
    }
}

// ---- Filing lookup judgement ---------------------------------------------------------------

using jilan::net::FetchError;
using jilan::net::FetchResult;

FetchResult page200(std::string text) {
    return FetchResult::answer(std::move(text), 200);
}

struct FilingCase {
    const char* name;
    FetchResult page;
    std::string menuCaption;  // with the menu command's prefix
    std::string listCaption;  // with the double-click's prefix
    std::string number;       // slot 31
    bool judged;              // the lookup answered
};

std::vector<FilingCase> filingCases() {
    const std::string row = "<tr><td>网站备案/许可证号</td><td>京ICP备12345678号-1</td></tr>";
    return {
        {"filed", page200("<table class=\"icp\">" + row + "</table>"),
         "是否备案：已备案 京ICP备12345678号-1", "是否备案：京ICP备12345678号-1",
         "京ICP备12345678号-1", true},
        {"未备案 anywhere wins over a number",
         page200("<div class=\"tip\">提示：未备案的网站不得开通</div>" + row), "是否备案：未备案",
         "是否备案：未备案", "", true},
        {"line break between </td> and <td>",
         page200("<tr><td>网站备案/许可证号</td>\r\n<td>京ICP备1号</td></tr>"), "是否备案：未备案",
         "是否备案：未备案", "", true},
        {"spaces between </td> and <td>",
         page200("<tr><td>网站备案/许可证号</td> <td>京ICP备1号</td></tr>"), "是否备案：未备案",
         "是否备案：未备案", "", true},
        {"spaces and < inside the number",
         page200("<td>网站备案/许可证号</td><td>  京ICP备<12号-3  </td>"),
         "是否备案：已备案 京ICP备12号-3", "是否备案：京ICP备12号-3", "京ICP备12号-3", true},
        {"marker without a closing cell", page200("<td>网站备案/许可证号</td><td>京ICP备1号"),
         "是否备案：未备案", "是否备案：未备案", "", true},
        {"empty number cell", page200("<td>网站备案/许可证号</td><td>   </td>"), "是否备案：未备案",
         "是否备案：未备案", "", true},
        {"marker in other letter case", page200("<TD>网站备案/许可证号</TD><TD>京ICP备1号</td>"),
         "是否备案：未备案", "是否备案：未备案", "", true},
        {"empty page", page200(""), "是否备案：未备案", "是否备案：未备案", "", true},
        {"failed transfer",
         FetchResult::failure(FetchError::Transport, jilan::net::FailureKind::ConnectionCut),
         "是否备案：查询失败", "是否备案：查询失败", "", false},
        {"time-out",
         FetchResult::failure(FetchError::Timeout, jilan::net::FailureKind::ResponseTimeout),
         "是否备案：查询失败", "是否备案：查询失败", "", false},
        // An error answer is page text: it answers when it says what was asked.
        {"500 with a number in its body is filed", FetchResult::answer(row, 500),
         "是否备案：已备案 京ICP备12345678号-1", "是否备案：京ICP备12345678号-1",
         "京ICP备12345678号-1", true},
        {"404 saying 未备案 is not filed", FetchResult::answer("该域名未备案", 404),
         "是否备案：未备案", "是否备案：未备案", "", true},
        {"404 saying nothing is a failed lookup", FetchResult::answer("<h1>Not Found</h1>", 404),
         "是否备案：查询失败", "是否备案：查询失败", "", false},
        {"503 with an empty number cell is a failed lookup",
         FetchResult::answer("<td>网站备案/许可证号</td><td>   </td>", 503), "是否备案：查询失败",
         "是否备案：查询失败", "", false},
    };
}

TEST(FilingLookup, JudgesThePageWithEachPrefix) {
    for (const FilingCase& c : filingCases()) {
        SCOPED_TRACE(c.name);
        for (const bool menu : {true, false}) {
            SCOPED_TRACE(menu ? "menu" : "double-click");
            Form1 form;
            const bool judged = jilan::query::applyFiling(
                form, c.page,
                menu ? jilan::query::kFiledPrefixMenu : jilan::query::kFiledPrefixList);
            EXPECT_EQ(judged, c.judged);
            EXPECT_EQ(form.Label12.caption(), menu ? c.menuCaption : c.listCaption);
            EXPECT_EQ(form.sj[Slot::FilingNumber], c.number);
            EXPECT_EQ(form.sj[Slot::IcpPage], c.page.failed() ? "" : c.page.text);
        }
    }
}

TEST(FilingLookup, KeepsThePieceBehindTheMarker) {
    Form1 form;
    jilan::query::applyFiling(
        form, page200("<td>网站备案/许可证号</td><td>沪ICP备7号</td></tr>\r\n</table>"),
        jilan::query::kFiledPrefixList);
    EXPECT_EQ(form.sj[Slot::FilingPiece], "沪ICP备7号</td></tr>\r\n</table>");
    EXPECT_EQ(form.sj[Slot::FilingNumber], "沪ICP备7号");
}

}  // namespace
