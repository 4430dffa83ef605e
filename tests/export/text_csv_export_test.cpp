// What a spreadsheet or an editor makes of our text exports: formula-looking cells stay text,
// separators inside cells do not split them, and no entry can break a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "export/csv_export.h"
#include "export/domain_table.h"
#include "export/text_export.h"
#include "temp_dir.h"

namespace jilan::exporting {
namespace {

using jilan::testing::TempDir;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CsvField, QuotesAndFormulaPrefixes) {
    struct Case {
        const char* rule;
        std::string cell;
        std::string field;
    } cases[] = {
        {"plain text unchanged", "abc.com", "abc.com"},
        {"empty cell stays empty", "", ""},
        {"Chinese unchanged", "已备案", "已备案"},
        {"leading space kept, not quoted", " a", " a"},
        {"comma quotes the cell", "1,200 元", "\"1,200 元\""},
        {"quote doubled inside quotes", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"LF quotes the cell", "a\nb", "\"a\nb\""},
        {"CR in the middle quotes the cell", "a\rb", "\"a\rb\""},
        {"= is a formula: prefixed", "=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+ prefixed", "+1", "'+1"},
        {"- prefixed", "-5", "'-5"},
        {"@ prefixed", "@SUM(A1)", "'@SUM(A1)"},
        {"leading tab prefixed", "\tx", "'\tx"},
        {"leading CR prefixed and quoted", "\rx", "\"'\rx\""},
        {"formula characters later in the cell are harmless", "a-b=c", "a-b=c"},
        {"apostrophe first is left alone", "'quoted", "'quoted"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(csvField(c.cell), c.field) << c.rule;
    }
}

TEST(CsvWriter, BomHeaderAndCrLfRows) {
    const TempDir dir;
    const std::string path = dir.file("out.csv");
    DomainRow first;
    first[Column::Domain] = "abc.com";
    first[Column::Length] = "3";
    first[Column::Pinyin] = "lan shan";
    first[Column::BookingPrice] = "1,200";
    first[Column::QueryResult] = "=1+1";
    DomainRow second;
    second[Column::Domain] = "霁岚.cn";

    CsvWriter writer;
    ASSERT_EQ(writer.open(path), std::nullopt);
    ASSERT_EQ(writer.add(first), std::nullopt);
    ASSERT_EQ(writer.add(second), std::nullopt);
    ASSERT_EQ(writer.commit(), std::nullopt);

    const std::string expected =
        "\xEF\xBB\xBF"
        "域名,长度,后缀,类别,结构,拼音,首次发现,最近发现,次数,删除类型,删除时间,预定截止,"
        "是否备案,备案号,预定平台,预定价格,折合人民币,保证金,查询时间,查询结果,评分,评分说明\r\n"
        "abc.com,3,,,,lan shan,,,,,,,,,,\"1,200\",,,,'=1+1,,\r\n"
        "霁岚.cn,,,,,,,,,,,,,,,,,,,,,\r\n";
    EXPECT_EQ(readFile(path), expected);
}

TEST(CsvWriter, UnwritableTargetIsReportedAtOpen) {
    const TempDir dir;
    CsvWriter writer;
    const io::WriteStatus failed = writer.open(dir.file("missing/out.csv"));
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->errnum, ENOENT);
}

TEST(TxtLine, EveryEntryStaysOneLine) {
    struct Case {
        const char* rule;
        std::string entry;
        std::string line;
    } cases[] = {
        {"plain entry", "abc.com", "abc.com\r\n"},
        {"UTF-8 kept", "霁岚.cn", "霁岚.cn\r\n"},
        {"LF becomes a space", "a\nb.com", "a b.com\r\n"},
        {"CR LF becomes two spaces", "a\r\nb.com", "a  b.com\r\n"},
        {"tab and other C0 controls", std::string("a\tb\x01\x1f", 5) + std::string(1, '\0'),
         "a b   \r\n"},
        {"DEL", "a\x7f", "a \r\n"},
        {"C1 next line (U+0085)", "a\xC2\x85z", "a z\r\n"},
        {"line and paragraph separators", "a\xE2\x80\xA8z\xE2\x80\xA9", "a z \r\n"},
        {"no-break space is not a control", "a\xC2\xA0z", "a\xC2\xA0z\r\n"},
        {"em dash shares the separators' lead bytes", "a\xE2\x80\x94z", "a\xE2\x80\x94z\r\n"},
        {"empty entry is an empty line", "", "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(txtLine(c.entry), c.line) << c.rule;
    }
}

TEST(TxtList, FileLineCountEqualsTheListCount) {
    const TempDir dir;
    const std::string path = dir.file("list.txt");
    const std::vector<std::string> entries = {"a.com", "b\r\nc.com", "d\n\n.cn", "e\r.net"};
    ASSERT_EQ(writeTxtList(path, entries), std::nullopt);
    const std::string content = readFile(path);
    EXPECT_EQ(content, "a.com\r\nb  c.com\r\nd  .cn\r\ne .net\r\n");
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'),
              static_cast<std::ptrdiff_t>(entries.size()));
}

TEST(FormatFor, NamedFormatWinsThenTheExtension) {
    struct Case {
        const char* rule;
        std::string path;
        std::optional<std::string_view> named;
        std::optional<Format> format;
    } cases[] = {
        {".csv", "a/b.csv", std::nullopt, Format::Csv},
        {".xlsx", "today.xlsx", std::nullopt, Format::Xlsx},
        {"extension in any case", "TODAY.XLSX", std::nullopt, Format::Xlsx},
        {"anything else is text", "out.txt", std::nullopt, Format::Txt},
        {"no extension is text", "out", std::nullopt, Format::Txt},
        {"standard output is text", "-", std::nullopt, Format::Txt},
        {"csv in a folder name only", "x.csv/out", std::nullopt, Format::Txt},
        {"named csv over .xlsx", "out.xlsx", "csv", Format::Csv},
        {"named xlsx in capitals", "out.txt", "XLSX", Format::Xlsx},
        {"named txt", "out.csv", "txt", Format::Txt},
        {"unknown name refused", "out.csv", "xls", std::nullopt},
        {"empty name refused", "out.csv", "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatFor(c.path, c.named), c.format) << c.rule;
    }
}

TEST(DisplayWidth, WideCharactersCountTwo) {
    struct Case {
        const char* rule;
        std::string text;
        std::size_t width;
    } cases[] = {
        {"ASCII", "abc.com", 7},
        {"empty", "", 0},
        {"CJK ideographs", "霁岚", 4},
        {"mixed", "霁岚.cn", 7},
        {"full-width letters", "ＡＢ", 4},
        {"ideographic space", "\xE3\x80\x80", 2},
        {"Hangul syllable", "한", 2},
        {"Latin with accent is narrow", "é", 1},
        {"CJK extension B", "\xF0\xA0\x80\x80", 2},
        {"header text 折合人民币", "折合人民币", 10},
        {"invalid bytes count one each", "\xE9\x9C", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(displayWidth(c.text), c.width) << c.rule;
    }
}

TEST(ValidUtf8, OnlyIllFormedBytesAreReplaced) {
    const std::string bad = "\xEF\xBF\xBD";
    struct Case {
        const char* rule;
        std::string text;
        std::string valid;
    } cases[] = {
        {"well-formed text unchanged", "霁岚 abc \xF0\xA0\x80\x80", "霁岚 abc \xF0\xA0\x80\x80"},
        {"stray byte",
         "e\xFF"
         "f",
         "e" + bad + "f"},
        {"truncated sequence at the end", "a\xE9\x9C", "a" + bad + bad},
        {"overlong slash", "\xC0\xAF", bad + bad},
        {"overlong three-byte form", "\xE0\x80\xAF", bad + bad + bad},
        {"surrogate half", "\xED\xA0\x80", bad + bad + bad},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", bad + bad + bad + bad},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(validUtf8(c.text), c.valid) << c.rule;
    }
}

}  // namespace
}  // namespace jilan::exporting
