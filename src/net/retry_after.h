#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace jilan::net {

// How long to wait when a site answered 429 or 503.
inline constexpr std::chrono::seconds kRetryAfterAbsent{60};
inline constexpr std::chrono::seconds kRetryAfterLongest{600};

// The wait a Retry-After value asks for: delta seconds, or an HTTP date
// (IMF-fixdate, or the obsolete RFC 850 and asctime forms, all in GMT) counted
// from `now`. A missing or unreadable value waits kRetryAfterAbsent; the wait
// is kept within [0, kRetryAfterLongest], so a date in the past asks for none.
std::chrono::milliseconds retryAfterWait(std::optional<std::string_view> value,
                                         std::chrono::system_clock::time_point now);

// The moment an HTTP date names; nullopt when `text` is not one of the three forms.
std::optional<std::chrono::system_clock::time_point> parseHttpDate(
    std::string_view text, std::chrono::system_clock::time_point now);

}  // namespace jilan::net
