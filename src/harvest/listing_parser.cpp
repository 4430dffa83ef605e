#include "listing_parser.h"

namespace jilan::harvest {

std::string_view textAfterBooking(std::string_view page) {
    const std::size_t first = page.find(kBooking);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t begin = first + kBooking.size();
    const std::size_t second = page.find(kBooking, begin);
    return page.substr(begin, second == std::string_view::npos ? page.npos : second - begin);
}

std::string_view listingText(std::string_view afterBooking) {
    const std::size_t marker = afterBooking.find(kPaginationMarker);
    if (marker == std::string_view::npos) {
        return {};
    }
    return afterBooking.substr(0, marker + 1);
}

}  // namespace jilan::harvest
