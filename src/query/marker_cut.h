#pragma once

#include <string>
#include <string_view>

namespace jilan::query {

// The marker cut: the piece behind the first `start` (up to a second `start`
// or the end) goes to *piece; the value is that piece up to and including the
// first character of `end`, without any "<", trimmed of spaces only.
std::string markerCut(std::string_view source, std::string_view start, std::string_view end,
                      std::string* piece = nullptr);

// Every occurrence of `what` taken out of `text`.
void removeAll(std::string& text, std::string_view what);

// Leading and trailing ordinary spaces only: tabs, line breaks and the
// full-width space stay.
std::string trimSpaces(std::string_view text);

inline bool contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

// A caption: its fixed prefix and the value found.
inline std::string joined(std::string_view prefix, std::string_view value) {
    std::string s(prefix);
    s += value;
    return s;
}

}  // namespace jilan::query
