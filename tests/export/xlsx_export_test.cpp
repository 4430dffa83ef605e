// Workbooks read back the way any other program reads them: unzipped, their XML parsed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "export/xlsx_export.h"
#include "temp_dir.h"
#include "zip_member.h"

namespace jilan::exporting {
namespace {

namespace fs = std::filesystem;
using jilan::testing::ForkedChild;
using jilan::testing::TempDir;
using jilan::testing::unescapeXml;
using jilan::testing::unzipMember;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Cell {
    std::string type;  // "s" (shared string), "inlineStr", "" (number) ...
    std::string text;
    bool styled = false;
};

// Every cell of a worksheet by its reference ("A1"), with shared strings resolved.
std::map<std::string, Cell> cellsOf(const std::string& sheetXml, const std::string& sharedXml) {
    std::vector<std::string> shared;
    const std::regex si("<si>(?:<t[^>]*>([^<]*)</t>|<t[^>]*/>)</si>");
    for (std::sregex_iterator it(sharedXml.begin(), sharedXml.end(), si), end; it != end; ++it) {
        shared.push_back(unescapeXml((*it)[1]));
    }
    std::map<std::string, Cell> cells;
    const std::regex c("<c r=\"([A-Z]+[0-9]+)\"([^>]*)>(.*?)</c>");
    const std::regex value("<v>([^<]*)</v>");
    const std::regex inlineText("<is><t[^>]*>([^<]*)</t></is>");
    for (std::sregex_iterator it(sheetXml.begin(), sheetXml.end(), c), end; it != end; ++it) {
        Cell cell;
        const std::string attributes = (*it)[2];
        std::smatch m;
        if (std::regex_search(attributes, m, std::regex("t=\"([a-zA-Z]+)\""))) {
            cell.type = m[1];
        }
        cell.styled = std::regex_search(attributes, std::regex("s=\"[1-9]"));
        const std::string body = (*it)[3];
        if (cell.type == "s" && std::regex_search(body, m, value)) {
            const std::size_t index = std::stoul(m[1]);
            cell.text = index < shared.size() ? shared[index] : "<bad index>";
        } else if (cell.type == "inlineStr" && std::regex_search(body, m, inlineText)) {
            cell.text = unescapeXml(m[1]);
        } else if (std::regex_search(body, m, value)) {
            cell.text = m[1];
        }
        cells[(*it)[1]] = cell;
    }
    return cells;
}

// The width libxlsxwriter stored for the 1-based column, in characters.
double columnWidth(const std::string& sheetXml, int column) {
    const std::regex col("<col min=\"" + std::to_string(column) + "\" max=\"" +
                         std::to_string(column) + "\" width=\"([0-9.]+)\"");
    std::smatch m;
    return std::regex_search(sheetXml, m, col) ? std::stod(m[1]) : 0.0;
}

std::string columnLetter(std::size_t column) {
    return std::string(1, static_cast<char>('A' + column));
}

DomainRow makeRow(const std::string& domain, const std::string& result,
                  const std::string& failure) {
    DomainRow row;
    row[Column::Domain] = domain;
    row[Column::Length] = std::to_string(domain.find('.'));
    row[Column::Filed] = failure.empty() ? "未备案" : "查询失败";
    row[Column::Runs] = "2";
    row[Column::DeletionTime] = "2026-12-07 09:00:00";
    row[Column::BookingPrice] = "80 元";
    row[Column::Deposit] = "押金 50 元";
    row[Column::QueryResult] = result;
    row[Column::Score] = "75";
    row.failure = failure;
    return row;
}

struct Book {
    std::string sheet1, sheet2, shared, workbook, styles;
};

Book readBook(const std::string& path) {
    return Book{unzipMember(path, "xl/worksheets/sheet1.xml"),
                unzipMember(path, "xl/worksheets/sheet2.xml"),
                unzipMember(path, "xl/sharedStrings.xml"), unzipMember(path, "xl/workbook.xml"),
                unzipMember(path, "xl/styles.xml")};
}

class XlsxModes : public ::testing::TestWithParam<bool> {};

TEST_P(XlsxModes, HeaderCellsAndFailureSheetReadBack) {
    const TempDir dir;
    const std::string path = dir.file("today.xlsx");
    const std::vector<DomainRow> rows = {
        makeRow("abc.com", "成功", ""),
        makeRow("霁岚中文长名字.cn", "备案查询失败：服务器返回 500",
                "备案查询失败：服务器返回 500"),
        makeRow("=cmd.net", "成功", ""),
        makeRow("x&y<z>.cn", "未查询（站点限流）", "未查询（站点限流）"),
    };
    XlsxWriter writer(XlsxOptions{.constantMemory = GetParam(), .workFolder = dir.path()});
    ASSERT_EQ(writer.open(path), std::nullopt);
    for (const DomainRow& row : rows) {
        ASSERT_EQ(writer.add(row), std::nullopt);
    }
    ASSERT_EQ(writer.commit(), std::nullopt);

    const Book book = readBook(path);
    ASSERT_FALSE(book.sheet1.empty());
    EXPECT_NE(book.workbook.find("<sheet name=\"域名\" sheetId=\"1\""), std::string::npos);
    EXPECT_NE(book.workbook.find("<sheet name=\"失败\" sheetId=\"2\""), std::string::npos);

    const std::map<std::string, Cell> cells = cellsOf(book.sheet1, book.shared);
    for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
        const std::string ref = columnLetter(c) + "1";
        ASSERT_EQ(cells.count(ref), 1u) << ref;
        EXPECT_EQ(cells.at(ref).text, captionOf(kExportColumns[c])) << ref;
        EXPECT_TRUE(cells.at(ref).styled) << "header cell " << ref << " carries the bold format";
    }
    EXPECT_NE(book.styles.find("<b/>"), std::string::npos);
    // Counts, amounts and times are number cells a spreadsheet sums and sorts, amounts and
    // times with their format (the time as days since 1899-12-30); every other cell, the
    // formula-looking "=cmd.net" and the amount inside words "押金 50 元" too, is a string.
    struct NumberCell {
        Column column;
        double value;
        bool formatted;
    };
    const std::vector<NumberCell> numbers = {
        {Column::Runs, 2, false},
        {Column::DeletionTime, 46363.375, true},
        {Column::BookingPrice, 80, true},
        {Column::Score, 75, false},
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
            const std::string ref = columnLetter(c) + std::to_string(r + 2);
            const std::string& text = rows[r][kExportColumns[c]];
            if (text.empty()) {
                EXPECT_EQ(cells.count(ref), 0u) << ref << " stays blank";
                continue;
            }
            ASSERT_EQ(cells.count(ref), 1u) << ref;
            const Cell& cell = cells.at(ref);
            const auto number =
                std::find_if(numbers.begin(), numbers.end(),
                             [&](const NumberCell& n) { return n.column == kExportColumns[c]; });
            if (kExportColumns[c] == Column::Length) {
                EXPECT_EQ(cell.type, "") << ref;
                EXPECT_EQ(cell.text, text) << ref;
            } else if (number != numbers.end()) {
                EXPECT_EQ(cell.type, "") << ref;
                EXPECT_DOUBLE_EQ(std::stod(cell.text), number->value) << ref;
                EXPECT_EQ(cell.styled, number->formatted) << ref;
            } else {
                EXPECT_EQ(cell.text, text) << ref;
                EXPECT_EQ(cell.type, GetParam() ? "inlineStr" : "s") << ref;
            }
        }
    }
    EXPECT_NE(book.styles.find("formatCode=\"yyyy-mm-dd hh:mm:ss\""), std::string::npos);
    EXPECT_NE(book.styles.find("formatCode=\"¥#,##0.00\""), std::string::npos);
    EXPECT_NE(book.sheet1.find("state=\"frozen\""), std::string::npos);
    EXPECT_NE(book.sheet1.find("ySplit=\"1\""), std::string::npos);
    EXPECT_NE(book.sheet1.find("<autoFilter ref=\"A1:V5\"/>"), std::string::npos);

    const std::map<std::string, Cell> failed = cellsOf(book.sheet2, book.shared);
    const std::map<std::string, std::string> expectedFailed = {
        {"A1", "域名"},
        {"B1", "原因"},
        {"A2", "霁岚中文长名字.cn"},
        {"B2", "备案查询失败：服务器返回 500"},
        {"A3", "x&y<z>.cn"},
        {"B3", "未查询（站点限流）"},
    };
    std::map<std::string, std::string> got;
    for (const auto& [ref, cell] : failed) {
        got[ref] = cell.text;
    }
    EXPECT_EQ(got, expectedFailed);
    EXPECT_NE(book.sheet2.find("<autoFilter ref=\"A1:B3\"/>"), std::string::npos);
}

TEST_P(XlsxModes, WideCharactersWidenTheirColumn) {
    // Column A holds ten ideographs (23 columns wide), column T twenty ASCII letters (20):
    // counted by characters instead, A would be the narrower.
    const TempDir dir;
    const std::string path = dir.file("w.xlsx");
    XlsxWriter writer(XlsxOptions{.constantMemory = GetParam(), .workFolder = dir.path()});
    ASSERT_EQ(writer.open(path), std::nullopt);
    ASSERT_EQ(writer.add(makeRow("中中中中中中中中中中.cn", std::string(20, 'a'), "")),
              std::nullopt);
    ASSERT_EQ(writer.commit(), std::nullopt);
    const std::string sheet = unzipMember(path, "xl/worksheets/sheet1.xml");
    const double a = columnWidth(sheet, 1);
    const double t = columnWidth(sheet, 20);
    EXPECT_GT(a, t);
    EXPECT_GE(t, 20.0);
    EXPECT_GE(columnWidth(sheet, 17), 10.0) << "the header 折合人民币 is ten columns wide";
}

INSTANTIATE_TEST_SUITE_P(Memory, XlsxModes, ::testing::Values(false, true), [](const auto& info) {
    return std::string(info.param ? "ConstantMemory" : "InMemory");
});

TEST(Xlsx, NoFailureSheetWhenNothingFailed) {
    const TempDir dir;
    const std::string path = dir.file("ok.xlsx");
    XlsxWriter writer(XlsxOptions{.constantMemory = false, .workFolder = dir.path()});
    ASSERT_EQ(writer.open(path), std::nullopt);
    ASSERT_EQ(writer.add(makeRow("abc.com", "成功", "")), std::nullopt);
    ASSERT_EQ(writer.commit(), std::nullopt);
    const Book book = readBook(path);
    EXPECT_NE(book.workbook.find("name=\"域名\""), std::string::npos);
    EXPECT_EQ(book.workbook.find("name=\"失败\""), std::string::npos);
    EXPECT_TRUE(book.sheet2.empty());
    // The work folder is gone with the writer.
    EXPECT_EQ(dir.names(), std::set<std::string>{"ok.xlsx"});
}

// Every way the commit can fail comes back as a value, and the old file stays as it was.
TEST(Xlsx, CommitFailuresAreReportedAndKeepTheOldFile) {
    enum class Fault { WorkFolderGone, SmallFileLimit, ReaderGone };
    struct Case {
        const char* rule;
        Fault fault;
        bool toStandardOutput;
        int errnum;
        const char* detailStart;
    } cases[] = {
        {"the library cannot create its file: workbook_close", Fault::WorkFolderGone, false, ENOENT,
         "workbook_close: "},
        {"the library runs out of room: workbook_close", Fault::SmallFileLimit, false, EFBIG,
         "workbook_close: "},
        {"the target's reader is gone: the durable writer", Fault::ReaderGone, true, EPIPE,
         "write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const TempDir dir;
        const std::string path = c.toStandardOutput ? "-" : dir.file("book.xlsx");
        if (!c.toStandardOutput) {
            std::ofstream(path, std::ios::binary) << "old workbook";
        }
        ForkedChild child([&](int report) {
            ::signal(SIGXFSZ, SIG_IGN);
            ::signal(SIGPIPE, SIG_IGN);
            int output[2];
            if (c.fault == Fault::ReaderGone &&
                (::pipe(output) != 0 || ::dup2(output[1], STDOUT_FILENO) < 0 ||
                 ::close(output[0]) != 0)) {
                return 4;
            }
            XlsxWriter writer(XlsxOptions{.constantMemory = false, .workFolder = dir.path()});
            if (writer.open(path)) {
                return 2;
            }
            for (int i = 0; i < 200; ++i) {
                if (writer.add(makeRow("n" + std::to_string(i) + ".com", "成功", ""))) {
                    return 3;
                }
            }
            if (c.fault == Fault::WorkFolderGone) {
                bool removed = false;
                for (const auto& entry : fs::directory_iterator(dir.path())) {
                    if (entry.is_directory()) {
                        removed = fs::remove_all(entry.path()) > 0;
                    }
                }
                if (!removed) {
                    // The book is an anonymous file here: there is no folder to lose.
                    (void)::write(report, "no folder", 9);
                    return 0;
                }
            }
            if (c.fault == Fault::SmallFileLimit) {
                const rlimit limit{1024, 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            const io::WriteStatus result = writer.commit();
            const std::string line =
                result ? std::to_string(result->errnum) + "|" + result->detail + "|" + result->path
                       : "ok";
            (void)::write(report, line.data(), line.size());
            return 0;
        });
        ASSERT_TRUE(child.started());
        const std::string line = child.readReport();
        const int status = child.wait().value_or(-1);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        if (line == "no folder") {
            continue;
        }
        const std::string expectedStart = std::to_string(c.errnum) + "|" + c.detailStart;
        EXPECT_EQ(line.rfind(expectedStart, 0), 0u) << line;
        EXPECT_EQ(line.substr(line.rfind('|') + 1), path);
        if (!c.toStandardOutput) {
            EXPECT_EQ(readFile(path), "old workbook");
        }
        EXPECT_EQ(dir.names(),
                  c.toStandardOutput ? std::set<std::string>{} : std::set<std::string>{"book.xlsx"})
            << "no work folder or temporary file left behind";
    }
}

TEST(Xlsx, UnwritableTargetIsReportedAtOpen) {
    const TempDir dir;
    XlsxWriter writer(XlsxOptions{.constantMemory = false, .workFolder = dir.path()});
    const io::WriteStatus failed = writer.open(dir.file("missing/book.xlsx"));
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->errnum, ENOENT);
    EXPECT_EQ(writer.commit(), failed) << "a failed writer keeps answering its failure";
}

}  // namespace
}  // namespace jilan::exporting
