#include <gtest/gtest.h>

#include <string>

#include "query/marker_cut.h"

namespace {

struct CutCase {
    const char* name;
    std::string source;
    std::string start;
    std::string end;
    std::string value;
    std::string piece;
};

const CutCase kCases[] = {
    {"plain value", "<p><label>删除类型：</label>过期删除</p>\r\n", "删除类型：</label>", "</p>",
     "过期删除", "过期删除</p>\r\n"},
    {"start missing", "<p><label>删除时间：</label>x</p>", "删除类型：</label>", "</p>", "", ""},
    {"empty source", "", "<pre>", "</pre>", "", ""},
    {"end missing", "<pre>whois text without an end", "<pre>", "</pre>", "",
     "whois text without an end"},
    {"end only before the start", "</p>S:value", "S:", "</p>", "", "value"},
    {"start twice, end inside the first piece", "S:one</p>S:two</p>", "S:", "</p>", "one",
     "one</p>"},
    {"start twice, end only behind the second", "S:one S:two</p>", "S:", "</p>", "", "one "},
    {"start three times, piece is the first gap", "S:aS:bS:c</p>", "S:", "</p>", "", "a"},
    {"empty value", "S:</p>", "S:", "</p>", "", "</p>"},
    {"inline tag loses its opening brackets", "S:<b>赎回期删除</b></p>", "S:", "</p>",
     "b>赎回期删除/b>", "<b>赎回期删除</b></p>"},
    {"every < inside the value goes", "S:a<b<<c</p>", "S:", "</p>", "abc", "a<b<<c</p>"},
    {"spaces trimmed on both sides", "S:   x y   </p>", "S:", "</p>", "x y", "   x y   </p>"},
    {"only spaces", "S:    </p>", "S:", "</p>", "", "    </p>"},
    {"trailing line break kept", "S:x\r\n</p>", "S:", "</p>", "x\r\n", "x\r\n</p>"},
    {"line break behind spaces kept with them", "S:x  \n</p>", "S:", "</p>", "x  \n", "x  \n</p>"},
    {"leading tab kept", "S:\t x </p>", "S:", "</p>", "\t x", "\t x </p>"},
    {"full-width space kept", "S:\u3000x\u3000</p>", "S:", "</p>", "\u3000x\u3000",
     "\u3000x\u3000</p>"},
    {"ordinary spaces outside the full-width ones trimmed", "S: \u3000x\u3000 </p>", "S:", "</p>",
     "\u3000x\u3000", " \u3000x\u3000 </p>"},
    {"space removed before a vanished <", "S:<i> x</p>", "S:", "</p>", "i> x", "<i> x</p>"},
    {"marker case counts", "<PRE>x</PRE>", "<pre>", "</pre>", "", ""},
    {"end marker case counts", "<pre>x</PRE>", "<pre>", "</pre>", "", "x</PRE>"},
    {"half-width colon does not match", "删除类型:</label>x</p>", "删除类型：</label>", "</p>", "",
     ""},
    {"filing number between cells", "网站备案/许可证号</td><td> 京ICP备1号 </td></tr>",
     "网站备案/许可证号</td><td>", "</td>", "京ICP备1号", " 京ICP备1号 </td></tr>"},
};

TEST(MarkerCut, CutsValueAndPieceByTheMarkers) {
    for (const CutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string piece;
        const std::string value = jilan::query::markerCut(c.source, c.start, c.end, &piece);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(piece, c.piece);
        // Without a piece slot the value is the same.
        EXPECT_EQ(jilan::query::markerCut(c.source, c.start, c.end), c.value);
    }
}

TEST(MarkerCut, MissingStartLeavesThePieceSlotAlone) {
    std::string piece = "untouched";
    EXPECT_EQ(jilan::query::markerCut("no markers here", "S:", "</p>", &piece), "");
    EXPECT_EQ(piece, "untouched");
}

}  // namespace
