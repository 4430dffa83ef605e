#include <gtest/gtest.h>

#include <string>

#include "query/table_value.h"

namespace {

struct ValueCase {
    const char* rule;
    std::string raw;
    std::string expected;
};

const ValueCase kCases[] = {
    {"cell cut before the end of its block", "80 元</tr></table><", "80 元"},
    {"tags that lost their opening bracket", "b>06:00/b>", "06:00"},
    {"whole tags", "<b>06:00</b>", "06:00"},
    {"tag with attributes", "价格<span class=\"cur\">12</span>元", "价格12元"},
    {"piece ending inside a tag", "100</t", "100"},
    {"lone less-than before a space is text", "a < b", "a < b"},
    {"arrow without a tag name is text", "=> x", "=> x"},
    {"digits before a bracketless tag stay", "06:00b>", "06:00"},
    {"named entities", "A&amp;B &quot;x&quot; &lt;y&gt;", "A&B \"x\" <y>"},
    {"decoded brackets are not tags", "1 &gt; 0 &lt;b&gt;", "1 > 0 <b>"},
    {"entities decoded once", "&amp;lt;", "&lt;"},
    {"numeric references", "&#20803;&#x5143;", "元元"},
    {"unknown entity stays", "AT&T &copy;", "AT&T &copy;"},
    {"no-break space collapses", "1&nbsp;&nbsp;000", "1 000"},
    {"ascii white space collapses and trims", "  a \t\r\n b  ", "a b"},
    {"full-width spaces collapse", "\u3000标准价\u3000\u3000100\u3000", "标准价 100"},
    {"space left by a removed tag", "易名 <br/> $12", "易名 $12"},
    {"nothing but tags", "<td></td>", ""},
    {"empty piece", "", ""},
};

TEST(TableValue, RawPiecesBecomeCellText) {
    for (const ValueCase& c : kCases) {
        EXPECT_EQ(jilan::query::tableValue(c.raw), c.expected) << c.rule;
    }
}

}  // namespace
