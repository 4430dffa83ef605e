#include "listing_parser.h"

#include <limits>

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

bool listingUnreadable(std::string_view page) {
    const std::string_view listing = listingText(textAfterBooking(page));
    if (listing.empty()) {
        return true;
    }
    if (forEachRowDomain(listing, [](std::string_view) {}) > 0) {
        return false;
    }
    return net::findText(listing, "<td") != std::string_view::npos;
}

std::optional<int> declaredPageCount(std::string_view page) {
    constexpr std::string_view kTotal = "共";
    constexpr std::string_view kPages = "页";
    const std::size_t marker = net::findText(page, kPaginationMarker);
    if (marker == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view block = page.substr(marker);
    block = block.substr(0, net::findText(block, "</div>"));
    for (std::size_t at = net::findText(block, kTotal); at != std::string_view::npos;
         at = net::findText(block, kTotal, at + kTotal.size())) {
        std::size_t i = at + kTotal.size();
        while (i < block.size() && block[i] == ' ') {
            ++i;
        }
        long long count = 0;
        const std::size_t digits = i;
        while (i < block.size() && block[i] >= '0' && block[i] <= '9' &&
               count <= std::numeric_limits<int>::max()) {
            count = count * 10 + (block[i] - '0');
            ++i;
        }
        while (i < block.size() && block[i] == ' ') {
            ++i;
        }
        if (i > digits && count <= std::numeric_limits<int>::max() &&
            block.substr(i, kPages.size()) == kPages) {
            return static_cast<int>(count);
        }
    }
    return std::nullopt;
}

}  // namespace jilan::harvest
