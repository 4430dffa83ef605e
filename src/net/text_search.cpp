#include "text_search.h"

#include <string.h>

namespace jilan::net {

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

std::optional<std::string_view> pieceBehind(std::string_view text, std::string_view marker) {
    if (marker.empty()) {
        return std::nullopt;
    }
    const std::size_t first = findText(text, marker);
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t from = first + marker.size();
    const std::size_t second = findText(text, marker, from);
    return second == std::string_view::npos ? text.substr(from) : text.substr(from, second - from);
}

}  // namespace jilan::net
