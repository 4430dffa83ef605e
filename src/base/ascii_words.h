#pragma once

// ASCII runs eight bytes at a time: most of a page is ASCII markup, and the UTF-8 check and
// the GB18030 decoder both skip or copy it by the word.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace jilan::base {

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

inline std::uint64_t load64(const unsigned char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Number of leading ASCII bytes in a word loaded from memory whose high-bit mask is nonzero.
inline std::size_t asciiPrefix(std::uint64_t highBits) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(highBits)) / 8;
    } else {
        return static_cast<std::size_t>(std::countl_zero(highBits)) / 8;
    }
}

// The first byte at or after `p` that is not ASCII, or `end`.
inline const unsigned char* skipAscii(const unsigned char* p, const unsigned char* end) noexcept {
    while (end - p >= 8) {
        const std::uint64_t high = load64(p) & kHighBits;
        if (high != 0) {
            return p + asciiPrefix(high);
        }
        p += 8;
    }
    while (p < end && *p < 0x80) {
        ++p;
    }
    return p;
}

}  // namespace jilan::base
