#include "base/ascii_case.h"

#include <gtest/gtest.h>

#include <string_view>

namespace jilan::base {
namespace {

struct LowerCase {
    const char* rule;
    std::string_view text;
    std::string_view lowered;
};

const LowerCase kLowerCases[] = {
    {"capitals become small letters", "Content-TYPE", "content-type"},
    {"the letters next to A and Z stay", "@[`{", "@[`{"},
    {"digits and signs stay", "GB18030-2005", "gb18030-2005"},
    {"bytes of non-ASCII letters stay", "\xC3\x89T\xC3\xA9", "\xC3\x89t\xC3\xA9"},
    {"Chinese text stays", "域名ABC", "域名abc"},
    {"empty stays empty", "", ""},
};

TEST(AsciiCase, LowersAsciiLettersOnly) {
    for (const LowerCase& c : kLowerCases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(lowerAscii(c.text), c.lowered);
    }
}

}  // namespace
}  // namespace jilan::base
