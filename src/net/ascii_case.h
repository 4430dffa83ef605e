#pragma once

#include <string>
#include <string_view>

namespace jilan::net {

// ASCII letters only: header names, charset labels and URL schemes are ASCII, and a byte of a
// multi-byte character is never touched.
constexpr char asciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = asciiLower(c);
    }
    return out;
}

}  // namespace jilan::net
