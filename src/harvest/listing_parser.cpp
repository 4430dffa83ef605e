#include "listing_parser.h"

namespace jilan::harvest {

std::string_view textAfterBooking(std::string_view page) {
    return net::pieceBehind(page, kBooking).value_or(std::string_view{});
}

std::string_view listingText(std::string_view afterBooking) {
    const std::size_t marker = net::findText(afterBooking, kPaginationMarker);
    if (marker == std::string_view::npos) {
        return {};
    }
    return afterBooking.substr(0, marker + 1);
}

}  // namespace jilan::harvest
