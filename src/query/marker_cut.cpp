#include "marker_cut.h"

#include <cstddef>
#include <optional>
#include <utility>

#include "base/utf8.h"
#include "net/text_search.h"

namespace jilan::query {

void removeAll(std::string& text, std::string_view what) {
    if (what.empty()) {
        return;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t hit = text.find(what, at);
        if (hit == std::string::npos) {
            out.append(text, at, std::string::npos);
            break;
        }
        out.append(text, at, hit - at);
        at = hit + what.size();
    }
    text = std::move(out);
}

std::string trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string markerCut(std::string_view source, std::string_view start, std::string_view end,
                      std::string* piece) {
    const std::optional<std::string_view> behind = net::pieceBehind(source, start);
    if (!behind) {
        return {};
    }
    const std::string_view found = *behind;
    if (piece != nullptr) {
        *piece = std::string(found);
    }
    if (end.empty()) {
        return {};
    }
    const std::size_t at = found.find(end);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string kept(found.substr(0, at));
    kept += end.substr(0, base::firstCharLength(end));
    removeAll(kept, "<");
    return trimSpaces(kept);
}

}  // namespace jilan::query
