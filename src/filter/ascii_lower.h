#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jilan::filter {

// ASCII letters only; a byte of a multi-byte character is never touched. (net, config and
// history keep copies of their own: those folders may not include one another.)
constexpr char asciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Into `out`, reusing its storage: the name features are read for every row of a search.
inline void assignLower(std::string& out, std::string_view text) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[i] = asciiLower(text[i]);
    }
}

inline std::string lowerAscii(std::string_view text) {
    std::string out;
    assignLower(out, text);
    return out;
}

}  // namespace jilan::filter
