// The listing cut and the row loop on arbitrary page text: the text search they use, the cut
// between the two "booking"s, the cut before the pagination block, and the one-pass row loop.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "harvest/listing_parser.h"
#include "net/text_search.h"

namespace harvest = jilan::harvest;
using jilan::fuzz::check;
using jilan::fuzz::within;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page = jilan::fuzz::asText(data, size);

    // The search the cuts use must agree with string_view::find, for the markers and for a
    // needle and start taken from the input itself (its last bytes, from a position its first
    // byte picks).
    for (const std::string_view marker :
         {harvest::kBooking, harvest::kPaginationMarker, harvest::kRowMarker}) {
        check(jilan::net::findText(page, marker) == page.find(marker), "findText finds a marker");
    }
    if (size >= 2) {
        const std::size_t needleSize = std::min<std::size_t>(data[0] % 9, size);
        const std::string_view needle = page.substr(size - needleSize);
        const std::size_t from = data[1] % (size + 2);
        check(jilan::net::findText(page, needle, from) == page.find(needle, from),
              "findText agrees with string_view::find");
    }

    const std::string_view afterBooking = harvest::textAfterBooking(page);
    check(within(afterBooking, page), "the booking cut lies inside the page");
    check(afterBooking.find(harvest::kBooking) == std::string_view::npos,
          "the booking cut holds no further \"booking\"");
    if (page.find(harvest::kBooking) == std::string_view::npos) {
        check(afterBooking.empty(), "no \"booking\", no cut");
    }

    const std::string_view listing = harvest::listingText(afterBooking);
    check(within(listing, afterBooking), "the listing cut lies inside the booking cut");
    check(listing.empty() || listing.data() == afterBooking.data(),
          "the listing cut starts where the booking cut starts");
    check(listing.empty() || listing.back() == '<', "the listing cut ends at the marker's '<'");

    std::size_t seen = 0;
    const char* lastEnd = listing.data();
    const std::size_t rows = harvest::forEachRowDomain(listing, [&](std::string_view domain) {
        ++seen;
        check(within(domain, listing), "a row's domain lies inside the listing cut");
        check(domain.find('"') == std::string_view::npos, "a row's domain holds no quote");
        check(domain.empty() || domain.data() >= lastEnd, "rows come in text order");
        if (!domain.empty()) {
            lastEnd = domain.data() + domain.size();
        }
    });
    check(rows == seen, "the row count is the number of rows handed over");
    check(rows <= harvest::kRowsPerPage, "at most one page of rows");
    if (listing.find(harvest::kRowMarker) == std::string_view::npos) {
        check(rows == 0, "no row marker, no rows");
    }
    return 0;
}
