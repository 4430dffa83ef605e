#include "base/utf8.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "iconv_reference.h"

namespace jilan::base {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

using testing::hex;
using testing::IconvReference;

struct DecodeCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(Utf8DecodeTest, MaximalSubpartsBecomeOneReplacementEach) {
    const DecodeCase cases[] = {
        {"ascii", "<td>x</td>", "<td>x</td>"},
        {"two three four bytes", "é中😀", "é中😀"},
        {"edges of the code space", "\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
         "\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
        {"stray continuation",
         "a\x80"
         "b",
         "a" + kFffd + "b"},
        {"overlong two-byte", "\xC0\xAF", kFffd + kFffd},
        {"overlong three-byte", "\xE0\x80\xAF", kFffd + kFffd + kFffd},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", kFffd + kFffd + kFffd + kFffd},
        {"surrogate", "\xED\xA0\x80", kFffd + kFffd + kFffd},
        {"last before surrogates", "\xED\x9F\xBF", "\xED\x9F\xBF"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"F5 lead", "\xF5\x80", kFffd + kFffd},
        {"truncated three-byte at end", "x\xE4\xB8", "x" + kFffd},
        {"truncated four-byte then ascii", "\xF0\x9F\x98<", kFffd + "<"},
        {"truncated then valid", "\xE4\xB8\xE4\xB8\xAD", kFffd + "中"},
        {"two truncated", "\xE4\xB8\xE4\xB8", kFffd + kFffd},
        {"gbk bytes", "\xD6\xD0\xCE\xC4", kFffd + kFffd + kFffd + kFffd},
        {"FE FF", "\xFE\xFF", kFffd + kFffd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(decodeUtf8Lossy(c.input)), hex(c.expected));
        EXPECT_EQ(isValidUtf8(c.input), c.input == c.expected);
    }
}

TEST(Utf8DecodeTest, ValidityAgreesWithIconvOnRandomBuffers) {
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    std::mt19937 rng(99);
    // Bytes drawn mostly from the interesting boundaries so that valid buffers are common.
    const unsigned char pool[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                  0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                  0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFE, 0xFF};
    std::uniform_int_distribution<std::size_t> pickByte(0, sizeof pool - 1);
    std::uniform_int_distribution<int> len(0, 24);
    int valid = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string input;
        const int n = len(rng);
        for (int i = 0; i < n; ++i) {
            input += static_cast<char>(pool[pickByte(rng)]);
        }
        const bool expected = ref.validUtf8(input);
        valid += expected ? 1 : 0;
        ASSERT_EQ(isValidUtf8(input), expected) << "input " << hex(input);
        const std::string lossy = decodeUtf8Lossy(input);
        ASSERT_TRUE(ref.validUtf8(lossy)) << "input " << hex(input);
        if (expected) {
            ASSERT_EQ(lossy, input);
        }
    }
    EXPECT_GT(valid, 100);  // the pool must actually produce valid buffers too
}

// The encoder and the strict step agree at every boundary of the sequence lengths, and
// glibc reads the bytes as the same character.
TEST(Utf8EncodeTest, EveryLengthBoundaryRoundTrips) {
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    const struct {
        char32_t codePoint;
        std::size_t length;
    } cases[] = {{0x00, 1},    {0x7F, 1},    {0x80, 2},    {0x7FF, 2},  {0x800, 3},
                 {0xD7FF, 3},  {0xE000, 3},  {0xFFFD, 3},  {0xFFFF, 3}, {0x10000, 4},
                 {0x1F600, 4}, {0x20087, 4}, {0x10FFFF, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.codePoint));
        std::string bytes = "<";
        appendUtf8(bytes, c.codePoint);
        ASSERT_EQ(bytes.size(), 1 + c.length);
        EXPECT_TRUE(ref.validUtf8(bytes)) << hex(bytes);
        const Utf8Step step = utf8Step(bytes, 1);
        EXPECT_TRUE(step.valid);
        EXPECT_EQ(step.length, c.length);
        EXPECT_EQ(step.codePoint, c.codePoint);
    }
}

}  // namespace
}  // namespace jilan::base
