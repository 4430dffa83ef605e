#include "base/beijing_time.h"

#include <chrono>
#include <cstdio>

namespace jilan::base {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date, and back; nullopt for a date that
// does not exist (a 30 February).
std::optional<std::int64_t> daysFromCivil(unsigned y, unsigned m, unsigned d) {
    const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(y)},
                                           std::chrono::month{m}, std::chrono::day{d}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days{date}.time_since_epoch().count();
}

std::chrono::year_month_day civilFromDays(std::int64_t days) {
    return std::chrono::year_month_day{
        std::chrono::sys_days{std::chrono::days{static_cast<std::chrono::days::rep>(days)}}};
}

// Reads exactly `width` digits at `at`.
bool digits(std::string_view text, std::size_t& at, std::size_t width, unsigned& out) {
    if (at + width > text.size()) {
        return false;
    }
    out = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + static_cast<unsigned>(c - '0');
    }
    at += width;
    return true;
}

bool expect(std::string_view text, std::size_t& at, std::string_view choices) {
    if (at >= text.size() || choices.find(text[at]) == std::string_view::npos) {
        return false;
    }
    ++at;
    return true;
}

}  // namespace

std::optional<std::int64_t> parseBeijingTime(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    std::size_t at = 0;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(text, at, 4, year) || !expect(text, at, "-/") || !digits(text, at, 2, month) ||
        !expect(text, at, "-/") || !digits(text, at, 2, day) || !expect(text, at, " T") ||
        !digits(text, at, 2, hour) || !expect(text, at, ":") || !digits(text, at, 2, minute)) {
        return std::nullopt;
    }
    if (at < text.size() && (!expect(text, at, ":") || !digits(text, at, 2, second))) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> days = daysFromCivil(year, month, day);
    if (at != text.size() || !days || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return *days * 86400 + hour * 3600 + minute * 60 + second - kBeijingOffsetSeconds;
}

std::string formatBeijingTime(std::int64_t utcSeconds) {
    const std::int64_t local = utcSeconds + kBeijingOffsetSeconds;
    std::int64_t days = local / 86400;
    std::int64_t rest = local % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::chrono::year_month_day c = civilFromDays(days);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld", static_cast<int>(c.year()),
                  static_cast<unsigned>(c.month()), static_cast<unsigned>(c.day()),
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60));
    return text;
}

std::string spanText(std::int64_t seconds) {
    const std::int64_t minutes = seconds / 60;
    if (minutes <= 0) {
        return "不到 1 分";
    }
    const std::int64_t days = minutes / 1440;
    const std::int64_t hours = minutes / 60 % 24;
    const std::int64_t rest = minutes % 60;
    std::string text;
    const auto part = [&text](std::int64_t n, const char* unit) {
        text += (text.empty() ? "" : " ") + std::to_string(n) + " " + unit;
    };
    if (days > 0) {
        part(days, "天");
        if (hours > 0) {
            part(hours, "小时");
        }
        return text;
    }
    if (hours > 0) {
        part(hours, "小时");
    }
    if (rest > 0 || hours == 0) {
        part(rest, "分");
    }
    return text;
}

}  // namespace jilan::base
