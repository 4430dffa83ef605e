#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "net/text_search.h"

namespace jilan::harvest {

inline constexpr std::string_view kBooking = "booking";
inline constexpr std::string_view kPaginationMarker = "<div class=\"pagination\">";
// A row is only a row with CR LF and exactly four spaces before the cell: a
// bare-LF row or another indentation is not found.
inline constexpr std::string_view kRowMarker = "<tr>\r\n    <td><a href=\"/backorder/";
inline constexpr std::size_t kRowsPerPage = 50;

// The text between the first and the second "booking" (to the end when there is
// only one); empty when "booking" does not occur.
std::string_view textAfterBooking(std::string_view page);

// The start of `afterBooking` up to and including the "<" of the pagination
// marker; empty when the marker does not occur.
std::string_view listingText(std::string_view afterBooking);

// The page count a listing page declares in its pagination block ("共 N 页"), or nullopt when
// the page has no pagination block or the block names no count. Only the command line's
// harvest reads it, to stop at the listing's end; the window asks for the pages it is told.
std::optional<int> declaredPageCount(std::string_view page);

// Whether an answered listing page is one the parser no longer fits: "booking" or the
// pagination marker is missing, or the listing holds cells of which no row parses. A page with
// both markers and no cell between them is an honest empty page, not an unreadable one.
bool listingUnreadable(std::string_view page);

// Calls sink(domain) for each of the first 50 rows of the listing text, in
// order, in one pass over the text. A row's domain is its text up to the first
// double quote (up to the next row or the end when there is none).
template <typename Sink>
std::size_t forEachRowDomain(std::string_view listing, Sink&& sink) {
    std::size_t rows = 0;
    std::size_t at = net::findText(listing, kRowMarker);
    while (at != std::string_view::npos && rows < kRowsPerPage) {
        const std::size_t begin = at + kRowMarker.size();
        const std::size_t next = net::findText(listing, kRowMarker, begin);
        const std::string_view piece =
            listing.substr(begin, next == std::string_view::npos ? listing.npos : next - begin);
        const std::size_t quote = piece.find('"');
        sink(quote == std::string_view::npos ? std::string_view{} : piece.substr(0, quote));
        ++rows;
        at = next;
    }
    return rows;
}

}  // namespace jilan::harvest
