#pragma once

#include <string>
#include <string_view>

namespace jilan::query {

// The value a table cell shows for a piece cut from a page: tags removed
// (also a tag that the cut left without its "<" or its ">"), the entities
// &amp; &lt; &gt; &quot; &nbsp; and numeric references decoded, every run of
// white space (tabs, line breaks, the no-break and the full-width space)
// turned into one space, and the ends trimmed.
//   "80 元</tr></table><" -> "80 元"      "b>06:00/b>" -> "06:00"
std::string tableValue(std::string_view rawPiece);

}  // namespace jilan::query
