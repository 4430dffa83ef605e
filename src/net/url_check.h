#pragma once

#include <string_view>

namespace jilan::net {

// The one place that decides whether a URL built from page text may leave the program.

// May go on the wire: http or https, and no whitespace or control byte that could end a
// request line or start a header.
bool sendableUrl(std::string_view url);

// May be handed to the desktop's browser: sendable, with a host right after the scheme.
bool openableUrl(std::string_view url);

}  // namespace jilan::net
