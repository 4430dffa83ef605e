#pragma once

#include <string_view>

#include "export/columns.h"
#include "query/detail_batch.h"

namespace jilan::details {

// Column names of the judged parts: the table's captions.
inline constexpr std::string_view kColDeletionType =
    exporting::captionOf(exporting::Column::DeletionType);
inline constexpr std::string_view kColDeletionTime =
    exporting::captionOf(exporting::Column::DeletionTime);
inline constexpr std::string_view kColBookingDeadline =
    exporting::captionOf(exporting::Column::BookingDeadline);
inline constexpr std::string_view kColPlatform =
    exporting::captionOf(exporting::Column::BookingPlatform);
inline constexpr std::string_view kColPrice = exporting::captionOf(exporting::Column::BookingPrice);
inline constexpr std::string_view kColPriceInYuan =
    exporting::captionOf(exporting::Column::PriceInYuan);
inline constexpr std::string_view kColDeposit = exporting::captionOf(exporting::Column::Deposit);
inline constexpr std::string_view kColFiled = exporting::captionOf(exporting::Column::Filed);
inline constexpr std::string_view kColFilingNumber =
    exporting::captionOf(exporting::Column::FilingNumber);

// The table's words (booking over, filed or not, filing query failed).
using exporting::kBookingOverValue;
using exporting::kFiledValue;
using exporting::kFilingFailedValue;
using exporting::kNotFiledValue;

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
