#include "harvest/listing_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "harvest/harvester.h"

namespace jilan::harvest {
namespace {

std::string row(const std::string& domain, const std::string& lineEnd = "\r\n",
                const std::string& indent = "    ") {
    return "<tr>" + lineEnd + indent + "<td><a href=\"/backorder/" + domain +
           "\" target=\"_blank\">" + domain + "</a></td>" + lineEnd + "</tr>" + lineEnd;
}

std::string rows(int count, const std::string& prefix = "d") {
    std::string out;
    for (int i = 1; i <= count; ++i) {
        out += row(prefix + std::to_string(i) + ".com");
    }
    return out;
}

std::vector<std::string> names(int count, const std::string& prefix = "d") {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) {
        out.push_back(prefix + std::to_string(i) + ".com");
    }
    return out;
}

std::string page(const std::string& body) {
    return "<html><table class=\"booking\">\r\n" + body +
           "</table><div class=\"pagination\"><a href=\"/search?p=2\">2</a></div>"
           "<a href=\"/help/booking\">help</a></html>";
}

std::vector<std::string> harvest(const std::string& text) {
    std::vector<std::string> out;
    forEachRowDomain(listingText(textAfterBooking(text)),
                     [&](std::string_view d) { out.emplace_back(d); });
    return out;
}

struct ParseCase {
    const char* rule;
    std::string page;
    std::vector<std::string> expected;
};

class ListingPageTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ListingPageTest, YieldsExactlyTheRowsTheMarkersAllow) {
    EXPECT_EQ(harvest(GetParam().page), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListingPageTest,
    ::testing::Values(
        ParseCase{"three_rows_give_three_entries", page(rows(3)), names(3)},
        ParseCase{"only_the_first_fifty_rows_count", page(rows(57)), names(50)},
        ParseCase{"exactly_fifty_rows", page(rows(50)), names(50)},
        ParseCase{
            "bare_line_feed_rows_are_not_rows", page(row("a.com", "\n") + row("b.com", "\n")), {}},
        ParseCase{"other_indentation_is_not_a_row",
                  page(row("a.com", "\r\n", "   ") + row("b.com", "\r\n", "\t") +
                       row("c.com", "\r\n", "     ")),
                  {}},
        ParseCase{"rows_behind_a_second_booking_are_never_harvested",
                  "<x class=booking>" + rows(2) + "<div class=\"pagination\"></div> booking " +
                      rows(3, "late"),
                  names(2)},
        ParseCase{
            "third_booking_ends_the_listing_early",
            "booking" + rows(1) + "booking" + rows(2, "x") + "<div class=\"pagination\">booking",
            {}},
        ParseCase{"no_pagination_block_no_rows", "booking" + rows(5) + "booking", {}},
        ParseCase{"booking_in_other_case_does_not_count",
                  "<table class=\"Booking\">" + rows(2) + "<div class=\"pagination\"></div>BOOKING",
                  {}},
        ParseCase{"pagination_marker_in_other_case_does_not_count",
                  "booking" + rows(2) + "<DIV class=\"pagination\"></div>booking",
                  {}},
        ParseCase{"single_booking_reads_to_the_end",
                  "booking" + rows(2) + "<div class=\"pagination\">", names(2)},
        ParseCase{"no_booking_at_all", rows(3) + "<div class=\"pagination\">", {}},
        ParseCase{"entry_is_the_text_up_to_the_first_quote",
                  page("<tr>\r\n    <td><a href=\"/backorder/abc.com\" title=\"x\">abc</a>"),
                  {"abc.com"}},
        ParseCase{"row_without_a_quote_gives_an_empty_entry",
                  "booking<tr>\r\n    <td><a href=\"/backorder/abc.com <div class=\"pagination\">"
                  "booking",
                  {""}},
        ParseCase{
            "entry_keeps_spaces_and_is_not_decoded", page(row(" %41b c.com ")), {" %41b c.com "}},
        ParseCase{"empty_page", "", {}}));

TEST(ListingRowTest, RowWhosePieceHasNoQuoteAppendsAnEmptyEntry) {
    const std::string listing =
        std::string(kRowMarker) + "abc.com</td>" + std::string(kRowMarker) + "def.com\" x";
    std::vector<std::string> out;
    forEachRowDomain(listing, [&](std::string_view d) { out.emplace_back(d); });
    EXPECT_EQ(out, (std::vector<std::string>{"", "def.com"}));
}

TEST(ListingCutTest, ListingTextEndsWithTheMarkersFirstCharacter) {
    const std::string afterBooking = "\">rows here<div class=\"pagination\">1 2 3";
    EXPECT_EQ(listingText(afterBooking), "\">rows here<");
    EXPECT_EQ(textAfterBooking("a booking b booking c"), " b ");
    EXPECT_EQ(textAfterBooking("a booking b"), " b");
}

TEST(PageLimitTest, AcceptsSignedDecimalNumbersWithSpacesAround) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1", 1},     {"37", 37}, {" 2 ", 2},  {"-3", -3},   {"+4", 4}, {"2.5", 2.5},
        {"0", 0},     {"1.", 1},  {".5", 0.5}, {"007", 7},   {"", {}},  {" ", {}},
        {"abc", {}},  {"1a", {}}, {"1 2", {}}, {"--1", {}},  {".", {}}, {"1e3", {}},
        {"0x10", {}}, {"１", {}}, {"-", {}},   {"1..2", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parsePageLimit(c.text), c.value);
    }
}

}  // namespace
}  // namespace jilan::harvest
