#pragma once

#include <optional>
#include <string_view>

namespace jilan::harvest {

// The page limit as Text1 holds it: optional spaces, an optional sign, digits
// with an optional decimal fraction, optional spaces. nullopt for anything else.
std::optional<double> parsePageLimit(std::string_view text);

}  // namespace jilan::harvest
