// The realistic listing of `--day N`: names such as a domain investor sees on a daily
// deleted-domain list, and the detail and ICP answers for them.
//
// Day 1 is a fresh list. Day N keeps each name of day N-1 with a chance of 4 in 5 (decided by a
// hash of day and name) and fills the rest with fresh names that were not on day N-1, so
// consecutive days share about 80 % of their names. Each day's list is then ordered by a hash of
// (day, name), so new names are spread over every page. Everything is a pure function of the day
// and the list length (pages x 50): the same day always gives the same list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim_content.h"

namespace jilan::sim {

inline constexpr int kMaxDay = 3650;

// Kinds of fresh names (for tests: the mix must be realistic).
enum class NameKind {
    Digits,           // 2..5 digits: 517, 0898
    NumberPattern,    // AABB ABAB ABBA AAAB AAB ABA: 6688, 1212
    Letters,          // 2..4 letters: qwt
    PinyinWord,       // one syllable: wang, xian
    PinyinPair,       // two syllables: lanshan, zhongguo, yuanyuan
    PinyinTriple,     // three syllables: beijingren
    Initials,         // 2..4 consonant letters: bjdx
    Mixed,            // letters and digits: a8b, 58tc
    Hyphenated,       // lan-shan, wang-88
    Idn,              // xn-- label of a Chinese word
    PinyinAndNumber,  // tianyi88
};

// The fresh name number `index` of `day` (may repeat an earlier one; DayListing skips repeats).
std::string freshDayName(int day, std::uint64_t index, NameKind* kind = nullptr);

class DayListing {
public:
    // The names of `day` (1..kMaxDay) for a listing of `total` rows.
    DayListing(int day, int total);
    int day() const { return day_; }
    const std::vector<std::string>& names() const { return names_; }
    // Name at (page, row), 1-based, rows 1..kMaxRowsPerPage; empty outside the list.
    std::string nameAt(int page, int row) const;

private:
    int day_;
    std::vector<std::string> names_;
};

// Total rows of the day listing for these options (pages x kMaxRowsPerPage).
int dayListingSize(const Options& options);

// "2026-12-07" for day 1, one calendar day later for each later day.
std::string dayDate(int day);

// RFC 3492 punycode of a label's code points, with the "xn--" prefix ("中国" -> "xn--fiqs8s").
std::string punycodeLabel(std::u32string_view label);

// What the detail and ICP pages of `domain` say on `day` (any domain is answered).
struct DayDomainFacts {
    // Values as a reader sees them: tags stripped, entities decoded, spaces collapsed, trimmed.
    std::string deleteType;       // 过期删除 or 赎回期删除
    std::string deleteTime;       // "YYYY-MM-DD HH:MM:SS" on dayDate(day) or the next date
    std::string bookingDeadline;  // "YYYY-MM-DD HH:MM:SS", 2..14 hours before deleteTime
    bool bookingOver = false;     // the page carries kBookingOverText
    bool inlineTags = false;      // some served values are wrapped in <b>, <span>, <font>
    // 预定平台, 预定价格, 折合人民币, 保证金; empty when the page has no price table.
    std::vector<std::string> priceCells;
    std::string currency;  // of 预定价格: 元 美元 欧元 英镑 日元 港币
    bool filed = false;
    std::string filingNumber;  // empty when not filed
    // The raw marker values exactly as served (tags and entities included); whois included.
    DetailInfo served;
};
DayDomainFacts dayDomainFacts(int day, std::string_view domain);

std::string dayDetailPage(int day, std::string_view domain, bool utf8 = false);
std::string dayIcpPage(int day, std::string_view domain, bool utf8 = false);

}  // namespace jilan::sim
