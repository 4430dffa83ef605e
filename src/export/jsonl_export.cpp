#include "export/jsonl_export.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace jilan::exporting {

namespace {

// "2026-12-07T09:30:00" of a date key.
std::string isoDateTime(const DateKey& k) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", k[0], k[1], k[2], k[3], k[4],
                  k[5]);
    return text;
}

// "+08:00" of a UTC offset in seconds.
std::string isoOffset(long seconds) {
    const char sign = seconds < 0 ? '-' : '+';
    const long minutes = (seconds < 0 ? -seconds : seconds) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", sign, minutes / 60, minutes % 60);
    return text;
}

// This computer's offset at a local wall-clock time (the one its history and queries use).
std::optional<long> localOffsetAt(const DateKey& k) {
    std::tm tm{};
    tm.tm_year = k[0] - 1900;
    tm.tm_mon = k[1] - 1;
    tm.tm_mday = k[2];
    tm.tm_hour = k[3];
    tm.tm_min = k[4];
    tm.tm_sec = k[5];
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    std::tm local{};
    if (t == static_cast<std::time_t>(-1) || localtime_r(&t, &local) == nullptr) {
        return std::nullopt;
    }
    return local.tm_gmtoff;
}

// "12.50元" -> 12.5: a whole cell in yuan, nothing before the number or after 元.
std::optional<double> yuan(const std::string& cell) {
    constexpr std::string_view kYuan = "元";
    if (!cell.ends_with(kYuan) || cell.empty() || cell[0] < '0' || cell[0] > '9') {
        return std::nullopt;
    }
    const std::string number = cell.substr(0, cell.size() - kYuan.size());
    if (number.find_first_not_of("0123456789.,") != std::string::npos) {
        return std::nullopt;
    }
    return leadingNumber(number);
}

// Whole numbers as integers: "length": 5 and "deposit": 50, not 5.0 and 50.0.
nlohmann::json number(double n) {
    const auto whole = static_cast<long long>(n);
    return static_cast<double>(whole) == n ? nlohmann::json(whole) : nlohmann::json(n);
}

nlohmann::json valueOf(const std::string& cell, JsonValue kind) {
    if (cell.empty()) {
        return nullptr;
    }
    switch (kind) {
        case JsonValue::Number:
            if (const std::optional<double> n = leadingNumber(cell)) {
                return number(*n);
            }
            break;
        case JsonValue::Yuan:
            if (const std::optional<double> n = yuan(cell)) {
                return number(*n);
            }
            break;
        case JsonValue::SiteTime:
            // The sites give Beijing time, whatever this computer's zone.
            if (const std::optional<DateKey> k = dateKey(cell)) {
                return isoDateTime(*k) + "+08:00";
            }
            break;
        case JsonValue::LocalTime:
            if (const std::optional<DateKey> k = dateKey(cell)) {
                if (const std::optional<long> offset = localOffsetAt(*k)) {
                    return isoDateTime(*k) + isoOffset(*offset);
                }
            }
            break;
        case JsonValue::Text:
            break;
    }
    return cell;
}

}  // namespace

std::string jsonLine(const DomainRow& row) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const Column c : kExportColumns) {
        const JsonField& field = specOf(c).json;
        object[std::string(field.key)] = valueOf(row[c], field.value);
    }
    // Invalid UTF-8 from a page becomes U+FFFD rather than an exception.
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace jilan::exporting
