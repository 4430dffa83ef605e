#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "export/domain_table.h"
#include "io/durable_writer.h"
#include "table_row.h"

namespace jilan::ui::filterwin {

// At most this many booking pages open at once; more than kAskBeforeBooking asks first.
inline constexpr std::size_t kMostBookingPages = 50;
inline constexpr std::size_t kAskBeforeBooking = 10;

inline constexpr const char* kExportDialogTitle = "导出筛选结果";
inline constexpr const char* kExportFilter =
    "文本文件 (*.txt)|*.txt|CSV 表格 (*.csv)|*.csv|Excel 工作簿 (*.xlsx)|*.xlsx";

// The rows an action works on, as view positions: the selection when it holds two or more
// rows, else every shown row; in view order either way.
std::vector<int> exportTargets(std::vector<int> selectedViewRows, int shownRows);

// The row as every table export writes it (the twenty columns), with its 评分说明 under
// `weights`: the table keeps only the value.
exporting::DomainRow exportRow(const TableRow& row, const filter::ScoreWeights& weights);

// The file an export writes and in which format.
struct ExportTarget {
    std::string path;
    exporting::Format format = exporting::Format::Txt;
};
// From the save dialog's answer: a typed .txt, .csv or .xlsx (any case) decides the format;
// otherwise the chosen filter of kExportFilter does, and a name typed without any extension
// gets that filter's.
ExportTarget exportTarget(const std::string& typedPath, std::size_t chosenFilter);

// Writes the rows in the target's format.
io::WriteStatus exportRows(const ExportTarget& target, const std::vector<const TableRow*>& rows,
                           const filter::ScoreWeights& weights);

// "已导出 N 个域名到 path"
std::string exportedText(std::size_t count, const std::string& path);
// "域名保存失败: path: reason", as the list export says it.
std::string exportFailedText(const std::string& path, const io::WriteFailure& failure);

// The names one per line, for the clipboard.
std::string copyText(const std::vector<std::string>& domains);

// The booking page of each name that may be opened, at most kMostBookingPages.
std::vector<std::string> bookingUrls(const std::string& marketBase,
                                     const std::vector<std::string>& domains);
// The question asked before opening more than kAskBeforeBooking pages.
std::string bookingQuestion(std::size_t count);

}  // namespace jilan::ui::filterwin
