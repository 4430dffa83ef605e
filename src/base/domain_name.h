#pragma once

// Whether a text can be a domain name at all: the check every name from outside passes before
// it is queried, recorded or read from a list.

#include <optional>
#include <string>
#include <string_view>

namespace jilan::base {

// What a table says of a name that is no domain: such a name is never queried or recorded.
inline constexpr std::string_view kNotADomain = "无效域名";

// Why `name` cannot be a domain (Chinese), or nullopt when it can: at least two labels, no
// label empty, longer than 63 characters or starting or ending with "-", at most 253
// characters, and only letters, digits, "-" and non-ASCII letters (so no "/ : % \", spaces,
// controls, punctuation, invalid UTF-8 or "..").
std::optional<std::string> domainProblem(std::string_view name);

inline bool isDomainName(std::string_view name) {
    return !domainProblem(name).has_value();
}

}  // namespace jilan::base
