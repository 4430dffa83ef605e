#pragma once

// UTF-8, the text of every folder: strict decoding and validation, the encoder, and the
// lenient character splitting of text that is already known to be UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jilan::base {

inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";  // U+FFFD

// ---- strict ----------------------------------------------------------------------------------

// One step of strict decoding at `p` (before `end`): the length of the well-formed sequence
// there and its code point, or the length of its maximal invalid subpart (at least 1).
// Overlong forms, surrogates and values above U+10FFFF are not well-formed.
struct Utf8Step {
    std::size_t length;
    bool valid;
    char32_t codePoint;  // 0 when not valid
};

inline Utf8Step utf8Step(const unsigned char* p, const unsigned char* end) noexcept {
    const unsigned lead = p[0];
    if (lead < 0x80) {
        return {1, true, lead};
    }
    std::size_t trailing;
    char32_t cp;
    unsigned lo = 0x80;
    unsigned hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        cp = lead & 0x0F;
        lo = lead == 0xE0 ? 0xA0 : 0x80;  // overlong
        hi = lead == 0xED ? 0x9F : 0xBF;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        cp = lead & 0x07;
        lo = lead == 0xF0 ? 0x90 : 0x80;  // overlong
        hi = lead == 0xF4 ? 0x8F : 0xBF;  // above U+10FFFF
    } else {
        return {1, false, 0};  // continuation byte, C0/C1 or F5..FF
    }
    for (std::size_t i = 1; i <= trailing; ++i) {
        if (p + i == end || p[i] < lo || p[i] > hi) {
            return {i, false, 0};
        }
        cp = (cp << 6) | (p[i] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    return {trailing + 1, true, cp};
}

// The step at byte `at` of `text` (at < text.size()).
inline Utf8Step utf8Step(std::string_view text, std::size_t at) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    return utf8Step(bytes + at, bytes + text.size());
}

// Strict check: no overlongs, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view bytes) noexcept;

// Valid UTF-8 passes through unchanged; each maximal invalid subpart (overlongs, surrogates,
// code points above U+10FFFF, stray continuation bytes, truncated sequences) becomes one U+FFFD.
std::string decodeUtf8Lossy(std::string_view bytes);

// ---- encoding --------------------------------------------------------------------------------

// Writes the UTF-8 bytes of one code point (a scalar value up to U+10FFFF) at `out`, which
// has room for four; returns the end of what was written.
inline char* putUtf8(char* out, char32_t codePoint) noexcept {
    const auto cp = static_cast<std::uint32_t>(codePoint);
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return out + 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return out + 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return out + 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return out + 4;
}

void appendUtf8(std::string& out, char32_t codePoint);

// ---- lenient splitting -----------------------------------------------------------------------

// A byte that continues a multi-byte sequence (10xxxxxx).
constexpr bool isUtf8Continuation(char c) noexcept {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The end of the character starting at `at` (at < text.size()): that byte and the
// continuation bytes after it.
inline std::size_t utf8CharEnd(std::string_view text, std::size_t at) noexcept {
    std::size_t end = at + 1;
    while (end < text.size() && isUtf8Continuation(text[end])) {
        ++end;
    }
    return end;
}

// The length the first byte of `text` announces (4 from F0, 3 from E0, 2 from C0, else 1),
// no more than the text holds.
inline std::size_t firstCharLength(std::string_view text) noexcept {
    if (text.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return n <= text.size() ? n : text.size();
}

// Number of code points: the bytes that do not continue a sequence.
inline int codePointCount(std::string_view text) noexcept {
    int count = 0;
    for (char c : text) {
        if (!isUtf8Continuation(c)) {
            ++count;
        }
    }
    return count;
}

}  // namespace jilan::base
