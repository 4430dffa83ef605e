#pragma once

// The one place where fetched bytes become text. Everything downstream works on UTF-8
// std::string, and every function here returns valid UTF-8 whatever the input was (except
// encodeGb18030, which goes the other way).

#include <optional>
#include <string>
#include <string_view>

namespace jilan::net {

// Decodes GB18030 (a superset of GBK and GB2312) to UTF-8. The mapping is glibc iconv's
// "GB18030", taken from generated tables, so iconv is not called here.
//
// Invalid input becomes U+FFFD and decoding resumes at the next byte that can start a
// character:
//  - a byte that cannot start a character (0x80, 0xFF) is replaced alone;
//  - a lead byte (0x81..0xFE) whose next byte does not continue a sequence, or that ends the
//    input, is replaced alone and the next byte is examined afresh, so ASCII after a broken
//    lead (for example the "<td>" of a marker) is never swallowed;
//  - lead + digit + byte that is not 0x81..0xFE + ..., or a four-byte sequence cut off by the
//    end, also replaces the lead alone and resumes at the digit;
//  - a complete, well-formed four-byte sequence that maps to nothing (for example 85 30 81 30,
//    or beyond U+10FFFF) is one U+FFFD for all four bytes.
std::string decodeGb18030(std::string_view bytes);

// The charset parameter of a Content-Type value, lower-cased and unquoted:
// "text/html; charset=GBK" -> "gbk". nullopt when there is none or it is empty.
std::optional<std::string> charsetFromContentType(std::string_view contentType);

// Decodes a response body according to its declared charset (any case):
//  - gbk, gb2312, gb18030, x-gbk, cp936, windows-936 and the other GBK labels -> decodeGb18030
//  - utf-8, utf8 -> base::decodeUtf8Lossy
//  - any other charset iconv knows (iso-8859-1, big5, windows-1252, ...) -> iconv, with U+FFFD
//    for each rejected byte
//  - no charset, or one iconv does not know -> decodeUndeclared
std::string decodeWithCharset(std::string_view bytes, std::optional<std::string_view> charset);

// UTF-8 when the bytes are valid UTF-8 (which includes plain ASCII), otherwise GB18030.
std::string decodeUndeclared(std::string_view bytes);

// UTF-8 -> GB18030 bytes through iconv, for writers and test tools. Invalid UTF-8 and code
// points glibc cannot encode become '?', one per rejected sequence.
std::string encodeGb18030(std::string_view utf8);

}  // namespace jilan::net
