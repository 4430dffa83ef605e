#pragma once

#include <string_view>

#include "app/form1.h"
#include "net/fetch_result.h"

namespace jilan::query {

// Captions of the filing label, by the command that runs the query.
inline constexpr std::string_view kFiledPrefixMenu = "是否备案：已备案 ";
inline constexpr std::string_view kFiledPrefixList = "是否备案：";

// Judges a fetched lookup page into slots 28, 29, 31 and Label12. A lookup
// that failed or answered an error status shows "是否备案：查询失败".
// Returns false in that case.
bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix);

}  // namespace jilan::query
