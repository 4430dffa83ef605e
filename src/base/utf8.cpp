#include "base/utf8.h"

#include "base/ascii_words.h"

namespace jilan::base {

namespace {

const unsigned char* bytesOf(std::string_view s) noexcept {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Position of the first byte that is not part of well-formed UTF-8.
const unsigned char* firstInvalidUtf8(const unsigned char* p, const unsigned char* end) noexcept {
    for (;;) {
        p = skipAscii(p, end);
        if (p == end) {
            return end;
        }
        const Utf8Step step = utf8Step(p, end);
        if (!step.valid) {
            return p;
        }
        p += step.length;
    }
}

}  // namespace

bool isValidUtf8(std::string_view bytes) noexcept {
    const unsigned char* const end = bytesOf(bytes) + bytes.size();
    return firstInvalidUtf8(bytesOf(bytes), end) == end;
}

std::string decodeUtf8Lossy(std::string_view bytes) {
    const unsigned char* const begin = bytesOf(bytes);
    const unsigned char* const end = begin + bytes.size();
    const unsigned char* p = firstInvalidUtf8(begin, end);
    if (p == end) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2 + kUtf8Replacement.size());
    const unsigned char* runStart = begin;
    while (p != end) {
        out.append(reinterpret_cast<const char*>(runStart), static_cast<std::size_t>(p - runStart));
        out.append(kUtf8Replacement);
        p += utf8Step(p, end).length;
        runStart = p;
        p = firstInvalidUtf8(p, end);
    }
    out.append(reinterpret_cast<const char*>(runStart), static_cast<std::size_t>(end - runStart));
    return out;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    char bytes[4];
    out.append(bytes, static_cast<std::size_t>(putUtf8(bytes, codePoint) - bytes));
}

}  // namespace jilan::base
