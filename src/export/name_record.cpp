#include "export/name_record.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "base/ascii_text.h"

namespace jilan::exporting {

namespace {}  // namespace

std::string localTimeText(std::int64_t utcSeconds) {
    if (utcSeconds == 0) {
        return {};
    }
    const auto t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string localTimeText(std::chrono::system_clock::time_point at) {
    return localTimeText(
        std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count());
}

std::optional<DateKey> dateKey(std::string_view text) {
    DateKey key{};
    std::size_t groups = 0;
    std::size_t i = 0;
    while (i < text.size() && groups < key.size()) {
        if (!base::isAsciiDigit(text[i])) {
            ++i;
            continue;
        }
        std::int32_t value = 0;
        const auto [end, error] =
            std::from_chars(text.data() + i, text.data() + text.size(), value);
        if (error != std::errc{}) {
            return std::nullopt;
        }
        key[groups++] = value;
        i = static_cast<std::size_t>(end - text.data());
        while (i < text.size() && base::isAsciiDigit(text[i])) {
            ++i;  // an overlong group: its leading digits stand for it
        }
    }
    // A date needs at least year, month and day.
    if (groups < 3) {
        return std::nullopt;
    }
    return key;
}

std::optional<double> leadingNumber(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && !base::isAsciiDigit(text[start])) {
        ++start;
    }
    if (start == text.size()) {
        return std::nullopt;
    }
    std::string digits;
    bool point = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (base::isAsciiDigit(c)) {
            digits.push_back(c);
        } else if (c == ',' && i + 1 < text.size() && base::isAsciiDigit(text[i + 1])) {
            continue;  // thousands separator
        } else if (c == '.' && !point && i + 1 < text.size() && base::isAsciiDigit(text[i + 1])) {
            point = true;
            digits.push_back(c);
        } else {
            break;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{}) {
        return std::nullopt;
    }
    return value;
}

DetailSortKeys sortKeysOf(const NameDetails& details) {
    return DetailSortKeys{
        .deletion = dateKey(details.deletionTime),
        .deadline = dateKey(details.bookingDeadline),
        .price =
            leadingNumber(details.priceInYuan.empty() ? details.bookingPrice : details.priceInYuan),
    };
}

std::optional<Sightings> sightingsOf(const history::NameRow* seen) {
    if (seen == nullptr) {
        return std::nullopt;
    }
    return Sightings{
        .firstSeen = seen->firstSeen, .lastSeen = seen->lastSeen, .runs = seen->runsSeen};
}

}  // namespace jilan::exporting
