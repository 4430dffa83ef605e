#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "filter/name_features.h"
#include "filter/score.h"
#include "history/reader.h"

namespace jilan::exporting {

// The table's words for a filing and for a booking that has ended.
inline constexpr std::string_view kFiledValue = "已备案";
inline constexpr std::string_view kNotFiledValue = "未备案";
inline constexpr std::string_view kFilingFailedValue = "查询失败";
// A page that says booking has ended: 预定平台 carries these words and the price columns stay
// empty, as the window shows them in place of the prices.
inline constexpr std::string_view kBookingOverValue = "预定时间已过";

// What a query learned about one name, each value as its table cell shows it.
struct NameDetails {
    std::string domain, deletionType, deletionTime, bookingDeadline;
    std::string filed;         // 已备案 / 未备案 / 查询失败
    std::string filingNumber;  // only when filed
    std::string bookingPlatform, bookingPrice, priceInYuan, deposit;
    std::string queriedAt;  // local YYYY-MM-DD HH:MM:SS of the newest part; empty if none
    std::string result;     // 成功, or the Chinese reason
};

// Local time "YYYY-MM-DD HH:MM:SS" of a UTC second count; empty for 0.
std::string localTimeText(std::int64_t utcSeconds);
std::string localTimeText(std::chrono::system_clock::time_point at);

// A date and time as its numbers in order (year, month, day, hour, minute, second), so that
// "2026-12-07 09:00" sorts before "2026-12-10 06:00" whatever the separators are.
using DateKey = std::array<std::int32_t, 6>;
std::optional<DateKey> dateKey(std::string_view text);
// The first number in a text ("1,280.50 元" -> 1280.5); nullopt when there is none.
std::optional<double> leadingNumber(std::string_view text);

// The sort keys of the detail columns, parsed once when the details arrive: parsed at each
// comparison instead, they would dominate the sort of a large table.
struct DetailSortKeys {
    std::optional<DateKey> deletion, deadline;
    std::optional<double> price;  // 折合人民币, else 预定价格
};
DetailSortKeys sortKeysOf(const NameDetails& details);

// When the history saw a name.
struct Sightings {
    std::int64_t firstSeen = 0, lastSeen = 0;  // UTC seconds
    int runs = 0;
};
std::optional<Sightings> sightingsOf(const history::NameRow* seen);

// One name as the columns read it; it refers to what its view holds and owns nothing.
struct NameRecord {
    std::string_view domain{};
    const filter::NameFeatures& features;
    std::optional<Sightings> seen = std::nullopt;
    const NameDetails* details = nullptr;
    // The details' sort keys when the view keeps them; parsed when asked otherwise.
    const DetailSortKeys* detailKeys = nullptr;
    // 新 (first seen by the run that harvested the list): known to the 域名筛选 window only.
    std::optional<bool> isNew = std::nullopt;
    // 评分 and 评分说明 under the view's weights; both empty without one.
    const filter::Score* score = nullptr;
    // On the watchlist: known to the 域名筛选 window only.
    std::optional<bool> watched = std::nullopt;
};

}  // namespace jilan::exporting
