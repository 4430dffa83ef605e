#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace jilan::harvest {

// The page limit as Text1 holds it: optional spaces, an optional sign, digits
// with an optional decimal fraction, optional spaces. nullopt for anything else.
std::optional<double> parsePageLimit(std::string_view text);

// The page box's text as the single-page request sends it: as typed, except that spaces
// and tabs are percent-encoded ("+1" stays "+1", " 1" becomes "%201").
std::string pageBoxQuery(std::string_view text);

}  // namespace jilan::harvest
