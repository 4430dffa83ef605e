#pragma once

// The marketplace's times: Beijing time, a fixed UTC+08:00 (China keeps no daylight saving), so
// they are read and written without any time-zone database, whatever the machine's zone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jilan::base {

inline constexpr std::int64_t kBeijingOffsetSeconds = 8 * 3600;

// UTC seconds of a site time "YYYY-MM-DD HH:MM[:SS]" (also with "/" in the date or "T" before
// the time, and surrounding spaces); nullopt for anything else or an impossible date.
std::optional<std::int64_t> parseBeijingTime(std::string_view text);

// "YYYY-MM-DD HH:MM" in Beijing time.
std::string formatBeijingTime(std::int64_t utcSeconds);

// A span as people say it, rounded down to minutes: "1 小时 58 分", "2 天 3 小时", "12 分";
// under a minute "不到 1 分".
std::string spanText(std::int64_t seconds);

}  // namespace jilan::base
