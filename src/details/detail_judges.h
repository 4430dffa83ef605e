#pragma once

#include <string_view>

#include "query/detail_batch.h"

namespace jilan::details {

// Column names of the judged parts, as the table header spells them.
inline constexpr std::string_view kColDeletionType = "删除类型";
inline constexpr std::string_view kColDeletionTime = "删除时间";
inline constexpr std::string_view kColBookingDeadline = "预定截止";
inline constexpr std::string_view kColPlatform = "预定平台";
inline constexpr std::string_view kColPrice = "预定价格";
inline constexpr std::string_view kColPriceInYuan = "折合人民币";
inline constexpr std::string_view kColDeposit = "保证金";
inline constexpr std::string_view kColFiled = "是否备案";
inline constexpr std::string_view kColFilingNumber = "备案号";

// The table's words for a page that says booking has ended; the window shows the same words
// in place of the prices, so 预定平台 carries them and the price columns stay empty.
inline constexpr std::string_view kBookingOverValue = "预定时间已过";
inline constexpr std::string_view kFiledValue = "已备案";
inline constexpr std::string_view kNotFiledValue = "未备案";
inline constexpr std::string_view kFilingFailedValue = "查询失败";

// A fetched detail page as table values: the window's detail parser cuts the pieces and each
// becomes a cell by tableValue. Conclusive with at least one value (whois aside) or the
// booking-over sentence; otherwise "页面无法识别".
query::PartValue judgeDetailPage(std::string_view page);

// A fetched ICP page: conclusive when it says 未备案 (as the window reads it, before any
// number) or holds a filing number; otherwise "页面无法识别".
query::PartValue judgeIcpPage(std::string_view page);

// The value of `column` in a part; empty when the part has none.
std::string_view fieldOf(const query::PartValue& part, std::string_view column);

}  // namespace jilan::details
