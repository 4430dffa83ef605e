#pragma once

#include <string>
#include <string_view>

#include "app/form1.h"
#include "net/fetch_result.h"

namespace jilan::query {

// Captions of the filing label, by the command that runs the query.
inline constexpr std::string_view kFiledPrefixMenu = "是否备案：已备案 ";
inline constexpr std::string_view kFiledPrefixList = "是否备案：";

// What a lookup page says about the filing, in the order the rules are tried.
enum class FilingState {
    NotFiled,      // "未备案" anywhere on the page (it wins over a number)
    Filed,         // the filing-number row holds a number
    LookupFailed,  // neither, and the fetch failed or answered an error status
    NothingFound,  // neither, on a good page: the window shows "未备案"
};

struct FilingValues {
    FilingState state = FilingState::NothingFound;
    // The page text the window keeps (empty when the fetch failed).
    std::string page;
    // Behind the filing-number marker, up to its next occurrence or the page's end.
    std::string piece;
    // The piece up to its "</td>", tags and all; empty when either marker is missing.
    std::string raw;
    // The window's reading of raw: every "<" taken out, ordinary spaces trimmed.
    std::string number;
};

// Reads a fetched lookup page. Piece, raw and number are only cut when the page does not
// say "未备案".
FilingValues readFiling(const net::FetchResult& page);

// The filing label's text for read values, with `filedPrefix` before a number.
std::string filingCaption(const FilingValues& values, std::string_view filedPrefix);

// Writes read values into slots 28, 29, 31 and Label12; false for a failed lookup.
bool showFiling(app::Form1& form, const FilingValues& values, std::string_view filedPrefix);

// Judges a fetched lookup page into slots 28, 29, 31 and Label12, in this order:
// "未备案" anywhere -> "是否备案：未备案"; the filing-number row with a number -> filed,
// with `filedPrefix`; otherwise a failed fetch or an error status -> "是否备案：查询失败"
// (returns false); otherwise "是否备案：未备案". An error answer is read as page text.
// readFiling, then showFiling.
bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix);

}  // namespace jilan::query
