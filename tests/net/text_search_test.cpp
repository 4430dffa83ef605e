#include "net/text_search.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace {

using jilan::net::findText;
using jilan::net::pieceBehind;

constexpr std::size_t npos = std::string_view::npos;

struct FindCase {
    const char* rule;
    std::string_view text;
    std::string_view what;
    std::size_t from;
    std::size_t found;
};

const FindCase kFindCases[] = {
    {"first occurrence", "a<td>b<td>", "<td>", 0, 1},
    {"search starts at from", "a<td>b<td>", "<td>", 2, 6},
    {"occurrence right at from", "a<td>b<td>", "<td>", 6, 6},
    {"not found", "a<td>b", "<th>", 0, npos},
    {"text shorter than what", "<t", "<td>", 0, npos},
    {"from beyond the end", "abc", "a", 4, npos},
    {"empty what is found at from", "abc", "", 2, 2},
    {"empty what at the very end", "abc", "", 3, 3},
    {"empty what beyond the end", "abc", "", 4, npos},
    {"bytes of a multi-byte character are matched as bytes", "删除类型：x", "：", 0, 12},
};

TEST(TextSearch, FindTextFindsTheFirstOccurrenceFromAnOffset) {
    for (const FindCase& c : kFindCases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(findText(c.text, c.what, c.from), c.found);
    }
}

struct PieceCase {
    const char* rule;
    std::string_view text;
    std::string_view marker;
    std::optional<std::string_view> piece;
};

const PieceCase kPieceCases[] = {
    {"between the first and the second marker", "a booking b booking c", "booking", " b "},
    {"to the end when the marker occurs once", "a booking b", "booking", " b"},
    {"a third marker does not matter", "xSaSbSc", "S", "a"},
    {"markers side by side give an empty piece", "xSSy", "S", ""},
    {"marker at the very end gives an empty piece", "xyS", "S", ""},
    {"absent marker gives nothing", "a b c", "booking", std::nullopt},
    {"empty marker gives nothing", "a b c", "", std::nullopt},
    {"letter case counts", "<PRE>x</PRE>", "<pre>", std::nullopt},
};

TEST(TextSearch, PieceBehindCutsBetweenTwoMarkers) {
    for (const PieceCase& c : kPieceCases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(pieceBehind(c.text, c.marker), c.piece);
    }
}

}  // namespace
