#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jilan::base {

// ASCII letters only: header names, charset labels, URL schemes, file extensions and domain
// names fold this way, and a byte of a multi-byte character is never touched.
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

}  // namespace jilan::base
