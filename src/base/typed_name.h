#pragma once

// A name as a person types it, made comparable with the names the site lists: Chinese input
// methods give full-width letters and digits (ＡＢＣ８８) and the ideographic full stop (。) for
// the dot. The history keys names by their ASCII form, so these are folded before the check.

#include <string>
#include <string_view>

namespace jilan::base {

// Full-width ASCII forms (U+FF01..U+FF5E) to ASCII, 。 and ｡ to ".", the ideographic space to a
// space, then surrounding spaces removed. Everything else (Chinese names) is kept as typed.
std::string foldTypedName(std::string_view typed);

}  // namespace jilan::base
