#pragma once

#include <string_view>

#include "app/form1.h"
#include "net/fetch_result.h"

namespace jilan::query {

// Captions of the filing label, by the command that runs the query.
inline constexpr std::string_view kFiledPrefixMenu = "是否备案：已备案 ";
inline constexpr std::string_view kFiledPrefixList = "是否备案：";

// Judges a fetched lookup page into slots 28, 29, 31 and Label12, in this order:
// "未备案" anywhere -> "是否备案：未备案"; the filing-number row with a number -> filed,
// with `filedPrefix`; otherwise a failed fetch or an error status -> "是否备案：查询失败"
// (returns false); otherwise "是否备案：未备案". An error answer is read as page text.
bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix);

}  // namespace jilan::query
