#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace jilan::net {

// First occurrence of `what` in `text` at or after `from`. glibc's memmem skips through the
// text far faster than string_view::find, which stops at every "<" of an HTML page. An empty
// `what` is found at `from`.
std::size_t findText(std::string_view text, std::string_view what, std::size_t from = 0);

// The cut between two markers of a page: the text between the first and the second
// occurrence of `marker`, or from the first to the end when it occurs once. Nothing when
// `marker` is empty or does not occur.
std::optional<std::string_view> pieceBehind(std::string_view text, std::string_view marker);

}  // namespace jilan::net
