// Detail and ICP answers for the names of the day listing (--day N).
#include <array>
#include <chrono>
#include <cstdint>

#include "day_listing.h"
#include "page_parts.h"

namespace jilan::sim {

using namespace parts;

namespace {

// The date `days` after 1970-01-01 (proleptic Gregorian calendar), as YYYY-MM-DD.
std::string civilDate(std::int64_t days) {
    const std::chrono::year_month_day date{
        std::chrono::sys_days{std::chrono::days{static_cast<std::chrono::days::rep>(days)}}};
    return std::to_string(static_cast<int>(date.year())) + "-" +
           twoDigits(static_cast<unsigned>(date.month())) + "-" +
           twoDigits(static_cast<unsigned>(date.day()));
}

const std::int64_t kDayOne =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 7}.time_since_epoch().count();

// "YYYY-MM-DD HH:MM:SS" of a count of seconds since the start of day 1.
std::string dateTime(std::int64_t seconds) {
    const std::int64_t days = seconds / 86400;
    const std::int64_t rest = seconds % 86400;
    return civilDate(kDayOne + days) + " " + twoDigits(static_cast<std::uint64_t>(rest / 3600)) +
           ":" + twoDigits(static_cast<std::uint64_t>(rest / 60 % 60)) + ":" +
           twoDigits(static_cast<std::uint64_t>(rest % 60));
}

struct Currency {
    std::string_view name;
    std::uint64_t fenPerUnit;  // value of one unit in fen (1/100 yuan)
    std::uint64_t low;         // price range in whole units
    std::uint64_t high;
};
constexpr std::array<Currency, 6> kCurrencies = {{
    {"元", 100, 20, 3000},
    {"美元", 720, 5, 400},
    {"欧元", 780, 5, 300},
    {"英镑", 910, 5, 250},
    {"日元", 5, 800, 60000},
    {"港币", 92, 30, 3000},
}};

// Platforms as served; one carries an entity the reader decodes.
constexpr std::array<std::string_view, 5> kPlatformsServed = {"青岚预订", "远山平台", "北辰拍卖",
                                                              "云岫直营", "云岫&amp;北辰联营"};
constexpr std::array<std::string_view, 5> kPlatformsClean = {"青岚预订", "远山平台", "北辰拍卖",
                                                             "云岫直营", "云岫&北辰联营"};
constexpr std::array<std::string_view, 4> kDeposits = {"0元", "50元", "100元", "200元"};

}  // namespace

std::string dayDate(int day) {
    return civilDate(kDayOne + day - 1);
}

DayDomainFacts dayDomainFacts(int day, std::string_view domain) {
    const std::string key = lowerAscii(domain);
    const std::uint64_t h = hashOf("day-detail-" + std::to_string(day), key);
    const std::uint64_t name = hashOf("day-name", key);  // properties that do not change by day
    DayDomainFacts f;

    f.deleteType = (h & 1) ? "赎回期删除" : "过期删除";
    // Deletions spread over the day's date and the next one.
    const std::int64_t deleteAt = static_cast<std::int64_t>(day - 1 + ((h >> 1) & 1)) * 86400 +
                                  static_cast<std::int64_t>((h >> 2) % 86400);
    f.deleteTime = dateTime(deleteAt);
    const std::int64_t lead = 2 * 3600 + static_cast<std::int64_t>((h >> 20) % 73) * 600;
    f.bookingDeadline = dateTime((deleteAt - lead) / 600 * 600);
    f.bookingOver = (h >> 30) % 100 < 15;
    f.inlineTags = (h >> 37) % 4 == 0;
    const bool priceTable = (h >> 40) % 100 >= 6;

    const Currency& c = kCurrencies[(h >> 44) % kCurrencies.size()];
    const std::uint64_t units = c.low + (h >> 48) % (c.high - c.low + 1);
    const std::uint64_t fen = units * c.fenPerUnit;
    f.currency = std::string(c.name);
    const std::size_t platform = (h >> 56) % kPlatformsServed.size();
    const std::string_view deposit = kDeposits[(h >> 60) % kDeposits.size()];
    const std::string price = std::to_string(units) + ".00 " + f.currency;
    const std::string cny = std::to_string(fen / 100) + "." + twoDigits(fen % 100) + "元";
    if (priceTable) {
        f.priceCells = {std::string(kPlatformsClean[platform]), price, cny, std::string(deposit)};
    }

    f.filed = name % 10 < 3;
    f.filingNumber = f.filed ? assignedFilingNumber(key) : std::string();

    DetailInfo& s = f.served;
    s.variant = f.bookingOver  ? DetailVariant::BookingOver
                : f.inlineTags ? DetailVariant::InlineTags
                : priceTable   ? DetailVariant::Normal
                               : DetailVariant::NoPriceTable;
    s.deleteType = f.inlineTags ? "<b>" + f.deleteType + "</b>" : f.deleteType;
    s.deleteTime = f.deleteTime;
    s.bookingDeadline =
        f.inlineTags ? "<span class=\"red\">" + f.bookingDeadline + "</span>" : f.bookingDeadline;
    s.whois = detailInfo(key).whois;
    if (priceTable) {
        s.priceCells = {std::string(kPlatformsServed[platform]), price, cny, std::string(deposit)};
        if (f.inlineTags) {
            s.priceCells[1] = "<b>" + s.priceCells[1] + "</b>";
            s.priceCells[3] = "<font color=\"red\">" + s.priceCells[3] + "</font>";
        }
    }
    return f;
}

std::string dayDetailPage(int day, std::string_view domain, bool utf8) {
    const DayDomainFacts f = dayDomainFacts(day, domain);
    return detailPageWith(domain, f.served, f.bookingOver, utf8);
}

std::string dayIcpPage(int day, std::string_view domain, bool utf8) {
    return icpPageWith(domain, dayDomainFacts(day, domain).filingNumber, utf8);
}

}  // namespace jilan::sim
