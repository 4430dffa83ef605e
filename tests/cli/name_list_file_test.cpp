#include "cli/name_list_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "net/text_decoding.h"
#include "rule_name.h"
#include "temp_dir.h"

namespace {

using jilan::cli::NameList;
using jilan::cli::parseNameList;

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char hi = static_cast<char>(unit >> 8);
        const char lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

struct ListCase {
    const char* rule;
    std::string bytes;
    std::vector<std::string> names;
    std::vector<std::size_t> skippedLines;
};

std::vector<ListCase> listCases() {
    return {
        {"plain utf-8 with lf", "abc.com\nxyz.cn\n", {"abc.com", "xyz.cn"}, {}},
        {"utf-8 bom is not part of the first name",
         "\xEF\xBB\xBF"
         "abc.com\r\n",
         {"abc.com"},
         {}},
        {"cr lf line ends", "abc.com\r\nxyz.cn\r\n", {"abc.com", "xyz.cn"}, {}},
        {"no line end after the last name", "abc.com\nxyz.cn", {"abc.com", "xyz.cn"}, {}},
        {"utf-16 le with its mark",
         utf16(u"abc.com\r\n中国.cn\r\n", false),
         {"abc.com", "中国.cn"},
         {}},
        {"utf-16 be with its mark", utf16(u"abc.com\n中国.cn\n", true), {"abc.com", "中国.cn"}, {}},
        {"gb18030 without a mark",
         jilan::net::encodeGb18030("兰山.com\r\nabc.com\r\n"),
         {"兰山.com", "abc.com"},
         {}},
        {"blank and space-only lines ignored", "\n  \n\t\nabc.com\n\r\n", {"abc.com"}, {}},
        {"surrounding spaces and full-width spaces trimmed",
         "  abc.com \t\n\u3000xyz.cn\u3000\n",
         {"abc.com", "xyz.cn"},
         {}},
        {"duplicates kept once in first order",
         "b.com\na.com\nB.COM\nb.com\n",
         {"b.com", "a.com"},
         {}},
        {"inner space refused", "ab c.com\nok.com\n", {"ok.com"}, {1}},
        {"control character refused",
         "ab\x01"
         "c.com\nok.com\n",
         {"ok.com"},
         {1}},
        {"lone cr inside a line refused", "abc\r.com\n", {}, {1}},
        {"path climbing refused", "../etc/passwd\n..\nok.com\n", {"ok.com"}, {1, 2}},
        {"double dot refused", "abc..com\n", {}, {1}},
        {"url refused", "http://abc.com/\nhttps://x.cn\n", {}, {1, 2}},
        {"percent and backslash refused", "a%2e.com\na\\b.com\n", {}, {1, 2}},
        {"single label refused", "localhost\n", {}, {1}},
        {"leading dot refused", ".abc.com\n", {}, {1}},
        {"trailing dot refused", "abc.com.\n", {}, {1}},
        {"hyphen at a label edge refused", "-abc.com\nabc-.com\nab-c.com\n", {"ab-c.com"}, {1, 2}},
        {"64-character label refused",
         std::string(64, 'a') + ".com\n" + std::string(63, 'a') + ".com\n",
         {std::string(63, 'a') + ".com"},
         {1}},
        {"300-character line refused",
         std::string(60, 'a') + "." + std::string(60, 'b') + "." + std::string(60, 'c') + "." +
             std::string(60, 'd') + "." + std::string(56, 'e') + ".com\n",
         {},
         {1}},
        {"full-width punctuation refused", "abc。com\nabc，d.com\n", {}, {1, 2}},
        {"line numbers count blank lines", "\n\nbad\n\nok.com\nalso bad\n", {"ok.com"}, {3, 6}},
        {"hyphenated and idn names kept",
         "lan-shan.com\nxn--fiqs8s.cn\n北京.中国\n",
         {"lan-shan.com", "xn--fiqs8s.cn", "北京.中国"},
         {}},
    };
}

class NameListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(NameListTest, NamesAndSkippedLines) {
    const ListCase& c = GetParam();
    const NameList list = parseNameList(c.bytes);
    EXPECT_EQ(list.names, c.names);
    std::vector<std::size_t> lines;
    for (const auto& skipped : list.skipped) {
        lines.push_back(skipped.line);
        EXPECT_NE(skipped.message.find("第" + std::to_string(skipped.line) + "行"),
                  std::string::npos)
            << skipped.message;
    }
    EXPECT_EQ(lines, c.skippedLines);
    EXPECT_EQ(list.error, "");
}

INSTANTIATE_TEST_SUITE_P(ListFile, NameListTest, ::testing::ValuesIn(listCases()),
                         [](const auto& info) {
                             return jilan::testing::ruleName(info.param.rule);
                         });

TEST(NameListFile, ReadsTheFileAndReportsAMissingOne) {
    const jilan::testing::TempDir dir;
    dir.write("list.txt",
              "\xEF\xBB\xBF"
              "abc.com\r\nbad name\r\n");
    const NameList list = jilan::cli::readNameListFile(dir.file("list.txt"));
    EXPECT_EQ(list.names, std::vector<std::string>{"abc.com"});
    ASSERT_EQ(list.skipped.size(), 1U);
    EXPECT_EQ(list.skipped[0].line, 2U);

    const NameList missing = jilan::cli::readNameListFile(dir.file("none.txt"));
    EXPECT_NE(missing.error, "");
    EXPECT_EQ(missing.names.size(), 0U);
}

}  // namespace
