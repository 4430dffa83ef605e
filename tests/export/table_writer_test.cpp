#include "export/table_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "temp_dir.h"

namespace jilan::exporting {
namespace {

using jilan::testing::TempDir;

// Each format starts its file in its own way; a writer of the wrong kind shows at once.
TEST(OpenTable, EachFormatGetsItsOwnWriter) {
    struct Case {
        const char* rule;
        Format format;
        std::string start;
    } cases[] = {
        {"text: the domain as a line", Format::Txt, "abc.com\r\n"},
        {"CSV: byte-order mark and header", Format::Csv, "\xEF\xBB\xBF域名,长度,"},
        {"workbook: a zip archive", Format::Xlsx, "PK\x03\x04"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const TempDir dir;
        const std::string path = dir.file("out");
        OpenedTable table = openTable(c.format, path, XlsxOptions{.workFolder = dir.path()});
        ASSERT_EQ(table.failure, std::nullopt);
        ASSERT_NE(table.writer, nullptr);
        DomainRow row;
        row[Column::Domain] = "abc.com";
        ASSERT_EQ(table.writer->add(row), std::nullopt);
        ASSERT_EQ(table.writer->commit(), std::nullopt);
        std::ifstream in(path, std::ios::binary);
        const std::string content(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(content.substr(0, c.start.size()), c.start);
    }
}

TEST(OpenTable, AnUnwritableTargetGivesNoWriter) {
    for (const Format format : {Format::Txt, Format::Csv, Format::Xlsx}) {
        const TempDir dir;
        const OpenedTable table = openTable(format, dir.file("missing/out"));
        EXPECT_EQ(table.writer, nullptr);
        ASSERT_TRUE(table.failure.has_value());
        EXPECT_EQ(table.failure->errnum, ENOENT);
    }
}

}  // namespace
}  // namespace jilan::exporting
