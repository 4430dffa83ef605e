#include "listing_parser.h"

#include <string.h>

namespace jilan::harvest {

std::size_t findText(std::string_view text, std::string_view what, std::size_t from) {
    if (from > text.size() || text.size() - from < what.size() || what.empty()) {
        return what.empty() && from <= text.size() ? from : std::string_view::npos;
    }
    const void* hit = ::memmem(text.data() + from, text.size() - from, what.data(), what.size());
    if (hit == nullptr) {
        return std::string_view::npos;
    }
    return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

std::string_view textAfterBooking(std::string_view page) {
    const std::size_t first = findText(page, kBooking);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t begin = first + kBooking.size();
    const std::size_t second = findText(page, kBooking, begin);
    return page.substr(begin, second == std::string_view::npos ? page.npos : second - begin);
}

std::string_view listingText(std::string_view afterBooking) {
    const std::size_t marker = findText(afterBooking, kPaginationMarker);
    if (marker == std::string_view::npos) {
        return {};
    }
    return afterBooking.substr(0, marker + 1);
}

}  // namespace jilan::harvest
