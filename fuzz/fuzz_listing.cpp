// The listing cut and the row loop on arbitrary page text: the cut between the two "booking"s,
// the cut before the pagination block, and the one-pass row loop.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "harvest/listing_parser.h"

namespace harvest = jilan::harvest;
using jilan::fuzz::check;
using jilan::fuzz::within;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page = jilan::fuzz::asText(data, size);

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
