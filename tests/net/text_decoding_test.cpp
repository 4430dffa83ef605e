#include "net/text_decoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "base/utf8.h"
#include "iconv_reference.h"

namespace jilan::net {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

using testing::hex;
using testing::IconvReference;

// The four-byte GB18030 form of a linear index (0 = 81 30 81 30).
void appendFourByte(std::string& out, std::size_t linear) {
    const char b4 = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    const char b3 = static_cast<char>(0x81 + linear % 126);
    linear /= 126;
    out += static_cast<char>(0x81 + linear / 10);
    out += static_cast<char>(0x30 + linear % 10);
    out += b3;
    out += b4;
}

std::string fourByte(std::size_t linear) {
    std::string s;
    appendFourByte(s, linear);
    return s;
}

constexpr std::size_t kFourByteBmpEnd = 39420;                 // 84 31 A5 30
constexpr std::size_t kFourByteAstralBegin = 189000;           // 90 30 81 30 = U+10000
constexpr std::size_t kFourByteAstralEnd = 189000 + 0x100000;  // E3 32 9A 36
constexpr std::size_t kFourByteAll = 126 * 10 * 126 * 10;      // FE 39 FE 39 is the last

// After a batch mismatch: the first sequence that also differs when decoded on its own.
template <typename SequenceAt>
void reportFirstMismatch(IconvReference& ref, std::size_t count, SequenceAt sequenceAt) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::string seq = sequenceAt(i);
        ASSERT_EQ(hex(decodeGb18030(seq)), hex(ref.gb18030(seq).value_or(kFffd)))
            << "first mismatch at " << hex(seq);
    }
    FAIL() << "each sequence matches alone, their concatenation does not";
}

// Decodes the concatenation of `count` sequences at once (which also checks that each complete
// sequence is consumed whole) and compares with iconv sequence by sequence; a sequence iconv
// rejects must come out as one U+FFFD.
template <typename SequenceAt>
void expectSequencesMatchIconv(std::size_t count, SequenceAt sequenceAt) {
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    std::string input;
    std::string expected;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string seq = sequenceAt(i);
        input += seq;
        expected += ref.gb18030(seq).value_or(kFffd);
    }
    if (decodeGb18030(input) != expected) {
        reportFirstMismatch(ref, count, sequenceAt);
    }
}

TEST(Gb18030TableTest, EveryTwoByteSequenceMatchesIconv) {
    // Lead 0x81..0xFE x trail 0x40..0x7E, 0x80..0xFE.
    expectSequencesMatchIconv(126 * 190, [](std::size_t i) {
        const std::size_t column = i % 190;
        return std::string{static_cast<char>(0x81 + i / 190),
                           static_cast<char>(column < 0x3F ? 0x40 + column : 0x41 + column)};
    });
}

TEST(Gb18030TableTest, EveryBmpFourByteSequenceMatchesIconv) {
    expectSequencesMatchIconv(kFourByteBmpEnd, [](std::size_t i) { return fourByte(i); });
}

TEST(Gb18030TableTest, EverySupplementaryFourByteSequenceMatchesIconv) {
    // glibc accepts the whole range, so one iconv call over all of it is the reference.
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    std::string input;
    input.reserve(4 * (kFourByteAstralEnd - kFourByteAstralBegin));
    for (std::size_t linear = kFourByteAstralBegin; linear < kFourByteAstralEnd; ++linear) {
        appendFourByte(input, linear);
    }
    const auto expected = ref.gb18030(input);
    ASSERT_TRUE(expected.has_value());
    ASSERT_EQ(expected->size(), input.size());  // one four-byte UTF-8 character each
    if (decodeGb18030(input) != *expected) {
        reportFirstMismatch(ref, kFourByteAstralEnd - kFourByteAstralBegin,
                            [](std::size_t i) { return fourByte(kFourByteAstralBegin + i); });
    }
}

TEST(Gb18030TableTest, UnassignedFourByteSequencesAreOneReplacementEach) {
    // Well-formed four-byte sequences between the BMP and U+10000 and beyond U+10FFFF.
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    const std::pair<std::size_t, std::size_t> ranges[] = {{kFourByteBmpEnd, kFourByteAstralBegin},
                                                          {kFourByteAstralEnd, kFourByteAll}};
    for (const auto& [first, last] : ranges) {
        SCOPED_TRACE(hex(fourByte(first)));
        std::string input;
        std::string expected;
        for (std::size_t linear = first; linear < last; ++linear) {
            appendFourByte(input, linear);
            expected += kFffd;
            // glibc agrees they are invalid (sampled; iconv calls dominate the run time).
            if (linear % 97 == 0 || linear == first || linear + 1 == last) {
                ASSERT_EQ(ref.gb18030(fourByte(linear)), std::nullopt) << hex(fourByte(linear));
            }
        }
        EXPECT_EQ(decodeGb18030(input), expected);
    }
}

struct DecodeCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(Gb18030DecodeTest, ValidAndInvalidSequences) {
    const DecodeCase cases[] = {
        {"empty", "", ""},
        {"ascii", "<td>a.com</td>", "<td>a.com</td>"},
        {"gbk chinese", "\xD6\xD0\xCE\xC4", "中文"},
        {"gb2312 in markup", "<b>\xD3\xF2\xC3\xFB</b>", "<b>域名</b>"},
        {"euro two-byte", "\xA2\xE3", "€"},
        {"two-byte with trail 0x80", "\x81\x80", "亐"},
        {"two-byte mapped outside the BMP", "\xFE\x51", "\xF0\xA0\x82\x87"},  // U+20087
        {"first four-byte code", "\x81\x30\x81\x30", "\xC2\x80"},
        {"last BMP four-byte code", "\x84\x31\xA4\x39", "\xEF\xBF\xBF"},
        {"first supplementary", "\x90\x30\x81\x30", "\xF0\x90\x80\x80"},
        {"emoji", "\x94\x39\xFC\x36", "😀"},
        {"last supplementary", "\xE3\x32\x9A\x35", "\xF4\x8F\xBF\xBF"},
        {"0x80 alone",
         "a\x80"
         "b",
         "a" + kFffd + "b"},
        {"0xFF alone", "\xFF<td>", kFffd + "<td>"},
        {"lone lead at end", "abc\xB0", "abc" + kFffd},
        {"lead then ascii marker", "\xB0<td>", kFffd + "<td>"},
        {"lead then DEL", "\xB0\x7F", kFffd + "\x7F"},
        {"lead then 0xFF", "\xB0\xFF", kFffd + kFffd},
        {"lead then space", "\xD6 \xD6\xD0\xCE\xC4", kFffd + " 中文"},
        {"lead digit at end", "\x81\x30", kFffd + "0"},
        {"lead digit lead at end", "\x81\x30\x81", kFffd + "0" + kFffd},
        {"truncated four-byte then ascii", "\x81\x30\x81<p>", kFffd + "0" + kFffd + "<p>"},
        {"lead digit then two-byte", "\x81\x35\xB0\xA1", kFffd + "5啊"},
        {"lead digit then ascii", "\x81\x39x", kFffd + "9x"},
        {"four-byte hole rejected by glibc", "\x84\x31\x82\x36", kFffd},
        {"four-byte after BMP end", "\x84\x31\xA5\x30", kFffd},
        {"four-byte lead 0x85",
         "\x85\x30\x81\x30"
         "a",
         kFffd + "a"},
        {"four-byte beyond U+10FFFF", "\xE3\x32\x9A\x36", kFffd},
        {"highest four-byte form", "\xFE\x39\xFE\x39", kFffd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(decodeGb18030(c.input)), hex(c.expected));
    }
}

TEST(Gb18030DecodeTest, RandomValidStreamsMatchIconv) {
    // Mixed ASCII runs, two-byte and four-byte codes of every length: exercises the eight-byte
    // ASCII path, chunk boundaries and buffer growth against glibc on whole buffers.
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        std::string input;
        const int pieces = pick(0, 400);
        for (int i = 0; i < pieces; ++i) {
            switch (pick(0, 3)) {
                case 0:
                    input.append(static_cast<std::size_t>(pick(1, 40)),
                                 static_cast<char>(pick(0, 0x7F)));
                    break;
                case 1: {
                    int trail = pick(0x40, 0xFE);
                    trail = trail == 0x7F ? 0x80 : trail;
                    input += {static_cast<char>(pick(0x81, 0xFE)), static_cast<char>(trail)};
                    break;
                }
                case 2:
                    input += fourByte(static_cast<std::size_t>(pick(0, 39419)));
                    break;
                default:
                    input += fourByte(static_cast<std::size_t>(pick(189000, 1237575)));
            }
        }
        const auto expected = ref.gb18030(input);
        if (!expected) {
            continue;  // drew one of the few four-byte codes glibc rejects
        }
        ASSERT_EQ(decodeGb18030(input), *expected) << "input " << hex(input);
    }
}

TEST(Gb18030DecodeTest, PageRoundTripsThroughEncoder) {
    std::string page =
        "<html><head><meta charset=\"gbk\"><title>域名列表 — 第1页</title></head><body>\n"
        "<table class=\"list\"><tr><th>域名</th><th>注册商</th><th>到期时间</th></tr>\n";
    for (int i = 0; i < 200; ++i) {
        page += "<tr><td>jilan" + std::to_string(i) +
                ".com</td><td>某某科技有限公司（北京）</td><td>2024年6月" +
                std::to_string(i % 28 + 1) + "日</td><td>€ ¥ · 《》 「」 ㈠ 䶮 𠂇 😀</td></tr>\n";
    }
    page += "</table><p>共 200 条记录。</p></body></html>\n";

    const std::string encoded = encodeGb18030(page);
    ASSERT_NE(encoded, page);
    EXPECT_FALSE(base::isValidUtf8(encoded));
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    EXPECT_EQ(ref.gb18030(encoded), page);  // the encoder itself is right
    EXPECT_EQ(decodeGb18030(encoded), page);
    EXPECT_EQ(decodeUndeclared(encoded), page);
}

TEST(Gb18030DecodeTest, AsciiMarkersSurviveRandomGarbage) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0x80, 0xFF);
    std::uniform_int_distribution<int> len(0, 12);
    for (int round = 0; round < 500; ++round) {
        std::string input;
        for (int i = 0; i < 20; ++i) {
            const int n = len(rng);
            for (int j = 0; j < n; ++j) {
                input += static_cast<char>(byte(rng));
            }
            input += "<td>";
        }
        const std::string out = decodeGb18030(input);
        std::size_t markers = 0;
        for (std::size_t p = out.find("<td>"); p != std::string::npos;
             p = out.find("<td>", p + 1)) {
            ++markers;
        }
        ASSERT_EQ(markers, 20u) << "input " << hex(input);
    }
}

struct ContentTypeCase {
    const char* header;
    std::optional<std::string> expected;
};

TEST(CharsetFromContentTypeTest, ParsesCharsetParameter) {
    const ContentTypeCase cases[] = {
        {"text/html; charset=GBK", "gbk"},
        {"text/html;charset=utf-8", "utf-8"},
        {"text/html; charset=\"GB2312\"", "gb2312"},
        {"text/html; Charset = gb18030 ", "gb18030"},
        {"text/html; boundary=x; CHARSET=Big5; q=1", "big5"},
        {"text/html; name=\"a;charset=latin1\"; charset=utf-8", "utf-8"},
        {"text/html; charset=\"we\\\"ird\"", "we\"ird"},
        {"text/html; xcharset=gbk", std::nullopt},
        {"text/html; charset=", std::nullopt},
        {"text/html; charset=\"\"", std::nullopt},
        {"text/html; charset=; charset=gbk", "gbk"},
        {"text/html; charset=gbk, text/plain; charset=utf-8", "gbk"},
        {"text/html", std::nullopt},
        {"text/html; charset", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(charsetFromContentType(c.header), c.expected);
    }
}

struct CharsetCase {
    const char* name;
    std::string bytes;
    std::optional<std::string_view> charset;
    std::string expected;
};

TEST(DecodeWithCharsetTest, RoutesByDeclaredCharset) {
    const std::string gbk = "<td>\xD6\xD0\xCE\xC4</td>";
    const std::string utf8 = "<td>中文</td>";
    const CharsetCase cases[] = {
        {"gbk", gbk, "gbk", utf8},
        {"GB2312 upper case", gbk, "GB2312", utf8},
        {"gb18030", gbk, "gb18030", utf8},
        {"x-gbk", gbk, "x-gbk", utf8},
        {"cp936", gbk, "CP936", utf8},
        {"windows-936", gbk, "windows-936", utf8},
        {"gbk with spaces", gbk, " GBK ", utf8},
        {"gbk label, broken byte", "\xD6<td>", "gbk", kFffd + "<td>"},
        {"utf-8", utf8, "UTF-8", utf8},
        {"utf8", utf8, "utf8", utf8},
        {"utf-8 declared, gbk bytes: no guessing", gbk, "utf-8",
         "<td>" + kFffd + kFffd + kFffd + kFffd + "</td>"},
        {"none, utf-8 bytes", utf8, std::nullopt, utf8},
        {"none, gbk bytes", gbk, std::nullopt, utf8},
        {"empty charset", gbk, "", utf8},
        {"unknown charset", gbk, "x-no-such-charset", utf8},
        {"name with a suffix is not passed to iconv", gbk, "utf-8//translit", utf8},
        {"iso-8859-1", "caf\xE9", "ISO-8859-1", "café"},
        {"windows-1252", "\x80 \x93x\x94", "windows-1252", "€ “x”"},
        {"big5", "\xA4\xA4\xA4\xE5", "big5", "中文"},
        {"big5 invalid byte", "\xFF<td>\xA4\xA4", "big5", kFffd + "<td>中"},
        {"big5 truncated at end", "<td>\xA4", "big5", "<td>" + kFffd},
        // glibc passes five- and six-byte forms through; they must not leave the decoder.
        {"utf-8 alias through iconv, five-byte form",
         "a\xF9\xAB\xAB\xAB\xAB"
         "b",
         "iso-ir-193", "a" + kFffd + kFffd + kFffd + kFffd + kFffd + "b"},
        {"utf-8+ through iconv, five-byte form", "\xF9\xAB\xAB\xAB\xAB", "utf-8+",
         kFffd + kFffd + kFffd + kFffd + kFffd},
        {"ucs-4 above U+10FFFF", std::string("\x7F\xFF\xFF\xFF\x00\x00\x00\x41", 8), "ucs-4",
         kFffd + kFffd + kFffd + kFffd + kFffd + kFffd + "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(decodeWithCharset(c.bytes, c.charset)), hex(c.expected));
    }
}

TEST(DecodeUndeclaredTest, PrefersUtf8ThenGb18030) {
    const DecodeCase cases[] = {
        {"ascii", "<td>a</td>", "<td>a</td>"},
        {"utf-8 chinese stays", "域名：中文", "域名：中文"},
        {"gbk decodes", "\xD3\xF2\xC3\xFB", "域名"},
        {"utf-8 with a bad byte is gbk", "中\xFF", "涓" + kFffd + kFffd},  // E4B8, AD FF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(decodeUndeclared(c.input)), hex(c.expected));
    }
}

TEST(EncodeGb18030Test, EncodesAndMarksUnmappable) {
    const DecodeCase cases[] = {
        {"ascii", "<td>", "<td>"},
        {"chinese", "中文", "\xD6\xD0\xCE\xC4"},
        {"euro", "a€", "a\xA2\xE3"},
        {"emoji", "😀", "\x94\x39\xFC\x36"},
        {"invalid byte",
         "a\xFF"
         "b",
         "a?b"},
        {"truncated sequence at end", "a\xE4\xB8", "a?"},
        {"code point glibc cannot encode",
         "\xEE\x9E\x8D"
         "x",
         "?x"},  // U+E78D
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(encodeGb18030(c.input)), hex(c.expected));
    }
}

TEST(DecodeRobustnessTest, RandomBytesAlwaysGiveValidUtf8) {
    IconvReference ref;
    ASSERT_TRUE(ref.ok());
    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> len(0, 300);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<int> highByte(0x80, 0xFF);
    const std::optional<std::string_view> charsets[] = {
        std::nullopt, "gbk", "utf-8", "big5", "shift_jis", "utf-16le", "iso-2022-jp", "euc-kr"};
    for (int round = 0; round < 2000; ++round) {
        std::string input;
        const int n = len(rng);
        const bool mostlyHigh = round % 2 == 0;
        for (int i = 0; i < n; ++i) {
            input += static_cast<char>(mostlyHigh ? highByte(rng) : anyByte(rng));
        }
        const auto& charset = charsets[static_cast<std::size_t>(round) % std::size(charsets)];
        ASSERT_TRUE(ref.validUtf8(decodeGb18030(input))) << hex(input);
        ASSERT_TRUE(ref.validUtf8(decodeWithCharset(input, charset)))
            << charset.value_or("none") << ": " << hex(input);
    }
}

}  // namespace
}  // namespace jilan::net
