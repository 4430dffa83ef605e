#include "text_decoding.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "base/ascii_case.h"
#include "base/ascii_words.h"
#include "base/utf8.h"
#include "iconv_handle.h"

namespace jilan::net {
namespace {

// ---- generated GB18030 tables -----------------------------------------------------------

struct GbFourByteRange {
    std::uint32_t linear;     // first four-byte linear index of the run
    std::uint32_t codePoint;  // its code point; the run continues with consecutive ones
};
constexpr std::uint32_t kGbUnmapped = 0xFFFFFFFF;

// Defines kGbTwoByte, kGbTwoByteAstral and kGbFourByteRanges (see tools/gen-gb18030-table).
#include "gb18030_tables.inc"

constexpr std::size_t kGbTrailCount = 190;
constexpr std::uint16_t kGbAstralBase = 0xD800;
constexpr std::uint32_t kGbBmpLinearEnd = 39420;
constexpr std::uint32_t kGbAstralLinearBegin = 189000;  // 90 30 81 30 = U+10000
constexpr std::uint32_t kGbAstralLinearEnd = kGbAstralLinearBegin + 0x100000;
static_assert(std::size(kGbTwoByte) == 126 * kGbTrailCount);
static_assert(std::size(kGbFourByteRanges) >= 2 && kGbFourByteRanges[0].linear == 0 &&
              std::end(kGbFourByteRanges)[-1].linear == kGbBmpLinearEnd);

// Column of a two-byte trail byte (0x40..0x7E, 0x80..0xFE) in kGbTwoByte, or 0xFF.
constexpr std::array<std::uint8_t, 256> kGbTrailColumn = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        const int column = b >= 0x40 && b <= 0x7E   ? b - 0x40
                           : b >= 0x80 && b <= 0xFE ? b - 0x41
                                                    : 0xFF;
        t[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(column);
    }
    return t;
}();

// ---- shared helpers -----------------------------------------------------------------------

using base::asciiPrefix;
using base::kHighBits;
using base::kUtf8Replacement;
using base::load64;
using base::putUtf8;
using base::utf8Step;

inline char* putReplacement(char* out) noexcept {
    out[0] = '\xEF';
    out[1] = '\xBF';
    out[2] = '\xBD';
    return out + 3;
}

// Code point of a four-byte linear index, or kGbUnmapped.
std::uint32_t gbFourByteCodePoint(std::uint32_t linear) noexcept {
    if (linear < kGbBmpLinearEnd) {
        const auto* run = std::upper_bound(
            std::begin(kGbFourByteRanges), std::end(kGbFourByteRanges), linear,
            [](std::uint32_t value, const GbFourByteRange& r) { return value < r.linear; });
        --run;  // the first run starts at 0, so there is always one at or before `linear`
        return run->codePoint == kGbUnmapped ? kGbUnmapped
                                             : run->codePoint + (linear - run->linear);
    }
    if (linear >= kGbAstralLinearBegin && linear < kGbAstralLinearEnd) {
        return 0x10000 + (linear - kGbAstralLinearBegin);
    }
    return kGbUnmapped;
}

const unsigned char* bytesOf(std::string_view s) noexcept {
    return reinterpret_cast<const unsigned char*>(s.data());
}

bool isHttpSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimSpace(std::string_view s) noexcept {
    while (!s.empty() && isHttpSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isHttpSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool isGbkLabel(std::string_view label) noexcept {
    constexpr std::array<std::string_view, 15> kLabels = {
        "gbk",         "gb2312",     "gb18030",   "x-gbk",    "cp936",
        "windows-936", "ms936",      "chinese",   "csgb2312", "csiso58gb231280",
        "gb_2312",     "gb_2312-80", "iso-ir-58", "euc-cn",   "x-euc-cn"};
    return std::find(kLabels.begin(), kLabels.end(), label) != kLabels.end();
}

bool isUtf8Label(std::string_view label) noexcept {
    constexpr std::array<std::string_view, 6> kLabels = {
        "utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "x-unicode20utf8"};
    return std::find(kLabels.begin(), kLabels.end(), label) != kLabels.end();
}

// Charset names come from the network; only plain names reach iconv_open (no '/' suffixes
// such as "//TRANSLIT", no paths, nothing long).
bool isPlainCharsetName(std::string_view name) noexcept {
    if (name.empty() || name.size() > 40) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.' || c == ':' || c == '+';
    });
}

// How much of rejected UTF-8 input encodeGb18030 replaces with one '?': a whole well-formed
// character that has no GB18030 code, or one maximal invalid subpart.
std::size_t rejectedUtf8Length(std::string_view rest) {
    return utf8Step(bytesOf(rest), bytesOf(rest) + rest.size()).length;
}

}  // namespace

// ---- GB18030 ------------------------------------------------------------------------------

std::string decodeGb18030(std::string_view bytes) {
    // Every step writes at most three output bytes per input byte consumed (an invalid byte
    // becomes three bytes of U+FFFD, two-byte codes at most four, four-byte codes at most
    // four). The input is processed in chunks; before each chunk the buffer gets room for
    // three times the chunk plus slack for a sequence that runs past the chunk end and for
    // the eight-byte ASCII copy.
    constexpr std::size_t kChunk = 256;
    constexpr std::size_t kSlack = 32;

    const unsigned char* in = bytesOf(bytes);
    const unsigned char* const end = in + bytes.size();
    std::string out;
    // Enough for typical GBK text (1.5x for pure Chinese) without ever growing.
    out.resize(bytes.size() + bytes.size() / 2 + 3 * kChunk + kSlack);
    char* o = out.data();

    while (in < end) {
        const std::size_t chunk = std::min<std::size_t>(static_cast<std::size_t>(end - in), kChunk);
        const std::size_t need = 3 * chunk + kSlack;
        if (static_cast<std::size_t>(out.data() + out.size() - o) < need) {
            const std::size_t used = static_cast<std::size_t>(o - out.data());
            out.resize(std::max(out.size() * 2, used + need));
            o = out.data() + used;
        }
        const unsigned char* const chunkEnd = in + chunk;

        while (in < chunkEnd) {
            const unsigned lead = *in;
            if (lead < 0x80) {
                // ASCII run: copy eight bytes at a time, keep the ASCII prefix of the word.
                while (end - in >= 8) {
                    const std::uint64_t word = load64(in);
                    std::memcpy(o, &word, 8);
                    const std::uint64_t high = word & kHighBits;
                    if (high != 0) {
                        const std::size_t n = asciiPrefix(high);
                        in += n;
                        o += n;
                        break;
                    }
                    in += 8;
                    o += 8;
                    if (in >= chunkEnd) {
                        break;
                    }
                }
                while (in < chunkEnd && *in < 0x80) {
                    *o++ = static_cast<char>(*in++);
                }
                continue;
            }
            if (lead == 0x80 || lead == 0xFF || end - in < 2) {
                o = putReplacement(o);
                ++in;
                continue;
            }
            const unsigned second = in[1];
            const unsigned column = kGbTrailColumn[second];
            if (column != 0xFF) {
                const std::uint16_t v = kGbTwoByte[(lead - 0x81) * kGbTrailCount + column];
                if (v == 0) {
                    // Unmapped pair: an ASCII trail is examined again, any other is consumed.
                    o = putReplacement(o);
                    in += second < 0x80 ? 1 : 2;
                } else if (v >= kGbAstralBase && v < 0xE000) {
                    o = putUtf8(o, kGbTwoByteAstral[v - kGbAstralBase]);
                    in += 2;
                } else {
                    o = putUtf8(o, v);
                    in += 2;
                }
                continue;
            }
            const bool fourByte = second >= 0x30 && second <= 0x39 && end - in >= 4 &&
                                  in[2] >= 0x81 && in[2] <= 0xFE && in[3] >= 0x30 && in[3] <= 0x39;
            if (!fourByte) {
                o = putReplacement(o);
                ++in;
                continue;
            }
            const std::uint32_t linear =
                (((lead - 0x81) * 10 + (second - 0x30)) * 126 + (in[2] - 0x81)) * 10 +
                (in[3] - 0x30);
            const std::uint32_t cp = gbFourByteCodePoint(linear);
            o = cp == kGbUnmapped ? putReplacement(o) : putUtf8(o, cp);
            in += 4;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

// ---- charset handling ---------------------------------------------------------------------

std::optional<std::string> charsetFromContentType(std::string_view contentType) {
    // Parameters follow the media type: ";" name "=" (token | quoted-string). Spaces around
    // names and values are tolerated; a ',' ends the first media type of a merged header.
    std::size_t pos = contentType.find_first_of(";,");
    while (pos != std::string_view::npos && contentType[pos] == ';') {
        const std::size_t nameBegin = pos + 1;
        const std::size_t nameEnd = contentType.find_first_of("=;,", nameBegin);
        if (nameEnd == std::string_view::npos || contentType[nameEnd] != '=') {
            pos = nameEnd;  // parameter without a value
            continue;
        }
        const std::string_view name = trimSpace(contentType.substr(nameBegin, nameEnd - nameBegin));
        std::size_t valueBegin = nameEnd + 1;
        while (valueBegin < contentType.size() && isHttpSpace(contentType[valueBegin])) {
            ++valueBegin;
        }
        std::string value;
        if (valueBegin < contentType.size() && contentType[valueBegin] == '"') {
            std::size_t i = valueBegin + 1;
            for (; i < contentType.size() && contentType[i] != '"'; ++i) {
                if (contentType[i] == '\\' && i + 1 < contentType.size()) {
                    ++i;
                }
                value += contentType[i];
            }
            pos = i < contentType.size() ? contentType.find_first_of(";,", i + 1)
                                         : std::string_view::npos;
        } else {
            pos = contentType.find_first_of(";,", valueBegin);
            value = std::string(contentType.substr(valueBegin, pos == std::string_view::npos
                                                                   ? std::string_view::npos
                                                                   : pos - valueBegin));
        }
        if (name.size() == 7 && base::lowerAscii(name) == "charset") {
            std::string charset = base::lowerAscii(trimSpace(value));
            if (!charset.empty()) {
                return charset;
            }
        }
    }
    return std::nullopt;
}

std::string decodeWithCharset(std::string_view bytes, std::optional<std::string_view> charset) {
    if (!charset) {
        return decodeUndeclared(bytes);
    }
    const std::string label = base::lowerAscii(trimSpace(*charset));
    if (isGbkLabel(label)) {
        return decodeGb18030(bytes);
    }
    if (isUtf8Label(label)) {
        return base::decodeUtf8Lossy(bytes);
    }
    if (!isPlainCharsetName(label)) {
        return decodeUndeclared(bytes);
    }
    auto converter = IconvHandle::open("UTF-8", label.c_str());
    if (!converter) {
        return decodeUndeclared(bytes);
    }
    // glibc writes code points above U+10FFFF as five- and six-byte forms (from UCS-4, or from
    // UTF-8 under an alias such as "iso-ir-193"): what leaves here must still be valid UTF-8.
    std::string text = converter->convertLossy(bytes, kUtf8Replacement);
    return base::isValidUtf8(text) ? text : base::decodeUtf8Lossy(text);
}

std::string decodeUndeclared(std::string_view bytes) {
    return base::isValidUtf8(bytes) ? std::string(bytes) : decodeGb18030(bytes);
}

std::string encodeGb18030(std::string_view utf8) {
    auto converter = IconvHandle::open("GB18030", "UTF-8");
    if (converter) {
        return converter->convertLossy(utf8, "?", rejectedUtf8Length);
    }
    // No GB18030 converter on this system: keep ASCII, mark everything else as unmappable.
    std::string out;
    const unsigned char* p = bytesOf(utf8);
    const unsigned char* const end = p + utf8.size();
    while (p < end) {
        out += *p < 0x80 ? static_cast<char>(*p) : '?';
        p += utf8Step(p, end).length;
    }
    return out;
}

}  // namespace jilan::net
