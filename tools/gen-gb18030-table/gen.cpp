// Build-time generator for the GB18030 decoding tables used by src/net/text_decoding.cpp.
//
// glibc's iconv is the reference mapping: every two-byte sequence and every four-byte sequence
// in the BMP area is decoded once through iconv, and the results are written out as constant
// arrays. The decoder then never calls iconv on its hot path, yet agrees with it exactly.
//
// Output (one file, included by text_decoding.cpp):
//   kGbTwoByte[126 * 190]   code point per lead 0x81..0xFE x trail 0x40..0x7E,0x80..0xFE;
//                           0 = unmapped, 0xD800 + k = astral code point kGbTwoByteAstral[k]
//   kGbTwoByteAstral[]      the few two-byte codes glibc maps outside the BMP
//   kGbFourByteRanges[]     sorted (first linear index, first code point) runs covering linear
//                           indices 0..39419; code point kGbUnmapped marks an unmapped run
//
// Usage: gen-gb18030-table <output file>

#include <gnu/libc-version.h>
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kLeadCount = 126;                 // 0x81..0xFE
constexpr int kTrailCount = 190;                // 0x40..0x7E, 0x80..0xFE
constexpr std::uint32_t kBmpLinearEnd = 39420;  // four-byte linear indices 0..39419 cover the BMP
constexpr std::uint32_t kUnmapped = 0xFFFFFFFF;
constexpr std::uint16_t kAstralBase = 0xD800;  // surrogate values never appear as real mappings

class Converter {
public:
    Converter() : cd_(iconv_open("UTF-32LE", "GB18030")) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The code point of a complete sequence, or nullopt when iconv rejects it or does not
    // consume all of it as exactly one character.
    std::optional<std::uint32_t> decode(const unsigned char* bytes, std::size_t size) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char in[4];
        std::memcpy(in, bytes, size);
        char* inPtr = in;
        std::size_t inLeft = size;
        unsigned char out[16];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(out[0]) | static_cast<std::uint32_t>(out[1]) << 8 |
               static_cast<std::uint32_t>(out[2]) << 16 | static_cast<std::uint32_t>(out[3]) << 24;
    }

private:
    iconv_t cd_;
};

int trailByte(int column) {
    return column < 0x3F ? 0x40 + column : 0x41 + column;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    Converter conv;
    if (!conv.ok()) {
        std::fprintf(stderr, "gen-gb18030-table: iconv has no GB18030 converter\n");
        return 1;
    }

    std::vector<std::uint16_t> twoByte;
    std::vector<std::uint32_t> astral;
    twoByte.reserve(kLeadCount * kTrailCount);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        for (int column = 0; column < kTrailCount; ++column) {
            const unsigned char seq[2] = {static_cast<unsigned char>(0x81 + lead),
                                          static_cast<unsigned char>(trailByte(column))};
            const auto cp = conv.decode(seq, 2);
            if (!cp || *cp == 0 || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) {
                twoByte.push_back(0);
            } else if (*cp > 0xFFFF) {
                if (astral.size() >= 0x800) {
                    std::fprintf(stderr, "gen-gb18030-table: too many astral two-byte codes\n");
                    return 1;
                }
                twoByte.push_back(static_cast<std::uint16_t>(kAstralBase + astral.size()));
                astral.push_back(*cp);
            } else {
                twoByte.push_back(static_cast<std::uint16_t>(*cp));
            }
        }
    }

    // Runs of consecutive linear indices whose code points also increase by one.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    std::uint32_t expectedNext = kUnmapped - 1;  // matches nothing at the start
    bool inUnmappedRun = false;
    for (std::uint32_t linear = 0; linear < kBmpLinearEnd; ++linear) {
        std::uint32_t v = linear;
        const unsigned char b4 = static_cast<unsigned char>(0x30 + v % 10);
        v /= 10;
        const unsigned char b3 = static_cast<unsigned char>(0x81 + v % 126);
        v /= 126;
        const unsigned char b2 = static_cast<unsigned char>(0x30 + v % 10);
        v /= 10;
        const unsigned char b1 = static_cast<unsigned char>(0x81 + v);
        const unsigned char seq[4] = {b1, b2, b3, b4};
        const auto cp = conv.decode(seq, 4);
        if (!cp || *cp > 0xFFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) {
            if (!inUnmappedRun) {
                ranges.emplace_back(linear, kUnmapped);
                inUnmappedRun = true;
            }
            expectedNext = kUnmapped - 1;
            continue;
        }
        if (inUnmappedRun || *cp != expectedNext) {
            ranges.emplace_back(linear, *cp);
        }
        inUnmappedRun = false;
        expectedNext = *cp + 1;
    }
    ranges.emplace_back(kBmpLinearEnd, kUnmapped);  // sentinel: everything above is not BMP

    std::ofstream out(argv[1], std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "gen-gb18030-table: cannot write %s\n", argv[1]);
        return 1;
    }
    out << "// Generated by gen-gb18030-table from glibc " << gnu_get_libc_version()
        << " iconv \"GB18030\". Do not edit.\n\n";
    char buf[32];
    out << "constexpr std::uint16_t kGbTwoByte[" << twoByte.size() << "] = {";
    for (std::size_t i = 0; i < twoByte.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s0x%04X,", i % 12 == 0 ? "\n    " : " ", twoByte[i]);
        out << buf;
    }
    out << "\n};\n\n";
    out << "constexpr std::uint32_t kGbTwoByteAstral[" << (astral.empty() ? 1 : astral.size())
        << "] = {";
    for (const auto cp : astral) {
        std::snprintf(buf, sizeof buf, "0x%05X, ", cp);
        out << buf;
    }
    if (astral.empty()) {
        out << "0";
    }
    out << "};\n\n";
    out << "constexpr GbFourByteRange kGbFourByteRanges[" << ranges.size() << "] = {";
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        out << (i % 6 == 0 ? "\n    " : " ") << '{' << ranges[i].first << ", ";
        if (ranges[i].second == kUnmapped) {
            out << "kGbUnmapped},";
        } else {
            std::snprintf(buf, sizeof buf, "0x%04X},", ranges[i].second);
            out << buf;
        }
    }
    out << "\n};\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "gen-gb18030-table: write to %s failed\n", argv[1]);
        return 1;
    }
    return 0;
}
