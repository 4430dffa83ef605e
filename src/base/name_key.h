#pragma once

#include <string>
#include <string_view>

namespace jilan::base {

// The key of a name wherever names are matched or stored: the domain with its ASCII letters
// lower-cased. Domains are case-insensitive, so "ABC.com" and "abc.com" are one name;
// non-ASCII text is kept as listed.
std::string nameKey(std::string_view domain);

}  // namespace jilan::base
