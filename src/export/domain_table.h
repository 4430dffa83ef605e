#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace jilan::exporting {

// The columns of every table export, in file order.
enum class Column : std::size_t {
    Domain,
    Length,
    Suffix,
    Kind,
    Structure,
    Pinyin,
    FirstSeen,
    LastSeen,
    Runs,
    DeletionType,
    DeletionTime,
    BookingDeadline,
    Filed,
    FilingNumber,
    BookingPlatform,
    BookingPrice,
    PriceInYuan,
    Deposit,
    QueriedAt,
    QueryResult,
};
inline constexpr std::size_t kColumnCount = 20;

inline constexpr std::array<std::string_view, kColumnCount> kHeader = {
    "域名",     "长度",     "后缀",       "类别",     "结构",     "拼音",     "首次发现",
    "最近发现", "次数",     "删除类型",   "删除时间", "预定截止", "是否备案", "备案号",
    "预定平台", "预定价格", "折合人民币", "保证金",   "查询时间", "查询结果",
};

// One domain as every table format writes it: each column already as text.
struct DomainRow {
    std::array<std::string, kColumnCount> cells{};
    // Why the name failed or was not queried; empty when it succeeded or was never asked.
    // Rows with a reason are listed again on the workbook's "失败" sheet.
    std::string failure{};

    std::string& operator[](Column c) { return cells[static_cast<std::size_t>(c)]; }
    const std::string& operator[](Column c) const { return cells[static_cast<std::size_t>(c)]; }
    const std::string& domain() const { return (*this)[Column::Domain]; }
};

enum class Format { Txt, Csv, Xlsx };

// The format a run writes: the one named ("txt", "csv", "xlsx", any case) or else the one
// the file name's extension suggests (.csv, .xlsx; everything else text). Empty when the
// name given is none of the three.
std::optional<Format> formatFor(std::string_view path, std::optional<std::string_view> named);

// Columns a text takes in a spreadsheet: East Asian wide and full-width characters count
// two, every other character one. Invalid UTF-8 bytes count one each.
std::size_t displayWidth(std::string_view utf8);

// The text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD: a
// workbook's XML with such a byte is refused whole by spreadsheet programs.
std::string validUtf8(std::string_view text);

}  // namespace jilan::exporting
