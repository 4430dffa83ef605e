#include "base/beijing_time.h"

#include <array>
#include <cstdio>

namespace jilan::base {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (the era-based civil calendar algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

bool leap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysIn(std::int64_t y, unsigned m) {
    constexpr std::array<unsigned, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : kDays[m - 1];
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
    if (at != text.size() || month < 1 || month > 12 || day < 1 || day > daysIn(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
           kBeijingOffsetSeconds;
}

std::string formatBeijingTime(std::int64_t utcSeconds) {
    const std::int64_t local = utcSeconds + kBeijingOffsetSeconds;
    std::int64_t days = local / 86400;
    std::int64_t rest = local % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const Civil c = civilFromDays(days);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld",
                  static_cast<long long>(c.year), c.month, c.day,
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
