// The day listing (--day N): realistic names, day-to-day turnover, and detail and ICP pages whose
// markers carry exactly the values dayDomainFacts() promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "day_listing.h"
#include "sim_content.h"
#include "sim_test_support.h"

namespace jilan::sim {
namespace {

using test::between;
using test::countOf;
using test::cutPriceCells;
using test::extractRowDomains;

std::set<std::string> asSet(const std::vector<std::string>& names) {
    return {names.begin(), names.end()};
}

std::string labelOf(const std::string& domain) {
    return domain.substr(0, domain.find('.'));
}

// What a reader makes of a served value: tags removed, the entities decoded, trimmed.
std::string readerValue(std::string_view raw) {
    std::string out;
    bool inTag = false;
    for (char c : raw) {
        if (c == '<') {
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            out += c;
        }
    }
    for (std::size_t at = out.find("&amp;"); at != std::string::npos; at = out.find("&amp;", at)) {
        out.replace(at, 5, "&");
        ++at;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

TEST(DayListing, SameDaySameListAndNamesAreUnique) {
    for (int day : {1, 2, 9}) {
        SCOPED_TRACE(day);
        const DayListing a(day, 1500);
        const DayListing b(day, 1500);
        EXPECT_EQ(a.names(), b.names());
        EXPECT_EQ(a.names().size(), 1500u);
        EXPECT_EQ(asSet(a.names()).size(), a.names().size());
    }
}

struct OverlapCase {
    const char* rule;
    int first;
    int second;
    double minShared;
    double maxShared;
};

TEST(DayListing, ConsecutiveDaysShareMostNamesAndDistantDaysFew) {
    const std::vector<OverlapCase> cases = {
        {"day 1 to 2 keeps about four in five", 1, 2, 0.74, 0.86},
        {"day 2 to 3 keeps about four in five", 2, 3, 0.74, 0.86},
        {"day 9 to 10 keeps about four in five", 9, 10, 0.74, 0.86},
        {"a week apart most names changed", 1, 8, 0.05, 0.35},
    };
    for (const OverlapCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const auto a = asSet(DayListing(c.first, 2000).names());
        const auto b = asSet(DayListing(c.second, 2000).names());
        std::size_t shared = 0;
        for (const auto& name : b) {
            shared += a.count(name);
        }
        const double fraction = static_cast<double>(shared) / static_cast<double>(b.size());
        EXPECT_GE(fraction, c.minShared);
        EXPECT_LE(fraction, c.maxShared);
    }
}

TEST(DayListing, NewNamesAreSpreadOverEveryPage) {
    const DayListing yesterday(3, 1000);
    const DayListing today(4, 1000);
    const auto seen = asSet(yesterday.names());
    for (int page = 1; page <= 20; ++page) {
        int fresh = 0;
        for (int row = 1; row <= kMaxRowsPerPage; ++row) {
            fresh += seen.count(today.nameAt(page, row)) == 0 ? 1 : 0;
        }
        EXPECT_GT(fresh, 0) << "page " << page;
        EXPECT_LT(fresh, 30) << "page " << page;
    }
}

struct KindCase {
    NameKind kind;
    const char* rule;
    bool (*labelOk)(const std::string&);
};

bool allDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
bool allLetters(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

TEST(DayListing, FreshNamesCoverEveryKindInItsShape) {
    const std::vector<KindCase> cases = {
        {NameKind::Digits, "short digit names",
         [](const std::string& l) { return allDigits(l) && l.size() >= 2 && l.size() <= 5; }},
        {NameKind::NumberPattern, "AABB-style numbers have two distinct digits",
         [](const std::string& l) {
             return allDigits(l) && asSet({std::string(1, l[0]), std::string(1, l[1]),
                                           std::string(1, l[2]), std::string(1, l.back())})
                                            .size() == 2;
         }},
        {NameKind::Letters, "short letter names",
         [](const std::string& l) { return allLetters(l) && l.size() <= 4; }},
        {NameKind::PinyinWord, "pinyin words are letters", allLetters},
        {NameKind::PinyinPair, "pinyin pairs are letters", allLetters},
        {NameKind::PinyinTriple, "pinyin triples are letters", allLetters},
        {NameKind::Initials, "consonant initials",
         [](const std::string& l) {
             return l.size() >= 2 &&
                    l.find_first_not_of("bcdfghjklmnpqrstwxyz") == std::string::npos;
         }},
        {NameKind::Mixed, "mixed names hold a letter and a digit",
         [](const std::string& l) {
             return l.find_first_of("0123456789") != std::string::npos &&
                    l.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos;
         }},
        {NameKind::Hyphenated, "hyphen inside, never at an end",
         [](const std::string& l) {
             return l.find('-') != std::string::npos && l.front() != '-' && l.back() != '-';
         }},
        {NameKind::Idn, "IDN labels are punycode",
         [](const std::string& l) { return l.starts_with("xn--"); }},
        {NameKind::PinyinAndNumber, "pinyin then two digits",
         [](const std::string& l) { return allDigits(l.substr(l.size() - 2)); }},
    };
    std::map<NameKind, int> seen;
    std::set<std::string> suffixes;
    for (std::uint64_t i = 0; i < 3000; ++i) {
        NameKind kind{};
        const std::string name = freshDayName(1, i, &kind);
        ++seen[kind];
        suffixes.insert(name.substr(name.find('.')));
        const std::string label = labelOf(name);
        EXPECT_LE(label.size(), 63u);
        for (const KindCase& c : cases) {
            if (c.kind == kind) {
                EXPECT_TRUE(c.labelOk(label)) << c.rule << ": " << name;
            }
        }
    }
    for (const KindCase& c : cases) {
        EXPECT_GE(seen[c.kind], 15) << c.rule;
    }
    EXPECT_EQ(suffixes.count(".com.cn"), 1u);
    EXPECT_EQ(suffixes.count(".cn"), 1u);
    EXPECT_GE(suffixes.size(), 6u);
}

TEST(DayListing, PinyinPairsIncludeDoubledWords) {
    int doubled = 0;
    for (std::uint64_t i = 0; i < 4000; ++i) {
        NameKind kind{};
        const std::string label = labelOf(freshDayName(2, i, &kind));
        if (kind == NameKind::PinyinPair && label.size() % 2 == 0 &&
            label.substr(0, label.size() / 2) == label.substr(label.size() / 2)) {
            ++doubled;
        }
    }
    EXPECT_GT(doubled, 0);
}

struct PunycodeCase {
    std::u32string_view label;
    std::string_view expected;
};

TEST(Punycode, KnownEncodings) {
    const std::vector<PunycodeCase> cases = {
        {U"中国", "xn--fiqs8s"},        {U"网络", "xn--io0a7i"}, {U"商城", "xn--czru2d"},
        {U"在线", "xn--3ds443g"},       {U"游戏", "xn--unup4y"}, {U"bücher", "xn--bcher-kva"},
        {U"münchen", "xn--mnchen-3ya"},
    };
    for (const PunycodeCase& c : cases) {
        EXPECT_EQ(punycodeLabel(c.label), c.expected);
    }
}

TEST(DayDate, CountsCalendarDaysFromTheSeventhOfDecember) {
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "2026-12-07"},  {25, "2026-12-31"},  {26, "2027-01-01"}, {84, "2027-02-28"},
        {85, "2027-03-01"}, {450, "2028-02-29"}, {451, "2028-03-01"}};
    for (const auto& [day, date] : cases) {
        EXPECT_EQ(dayDate(day), date) << day;
    }
}

TEST(DayListingPages, RowsArePagedAsTheDefaultListing) {
    Options o;
    o.day = 2;
    o.pages = 4;
    const DayListing listing(2, dayListingSize(o));
    for (int page : {1, 2, 4, 5}) {
        SCOPED_TRACE(page);
        const std::string text = listingPage(o, page);
        const std::vector<std::string> rows = rowDomains(o, page);
        EXPECT_EQ(extractRowDomains(text), rows);
        EXPECT_EQ(rows.size(), page <= 4 ? 50u : 0u);
        EXPECT_EQ(countOf(text, "booking"), 2u);
        EXPECT_EQ(countOf(text, kPaginationMarker), 1u);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i], listing.nameAt(page, static_cast<int>(i) + 1));
        }
    }
    Options plain;
    plain.pages = 4;
    EXPECT_NE(rowDomains(o, 1), rowDomains(plain, 1)) << "--day must replace the default names";
}

TEST(DayFacts, PagesCarryTheFactsBetweenTheirMarkers) {
    const int day = 2;
    const DayListing listing(day, 400);
    int bookingOver = 0, inlineTags = 0, filed = 0, noPrice = 0, entity = 0, nextDay = 0;
    std::set<std::string> currencies;
    for (const std::string& name : listing.names()) {
        SCOPED_TRACE(name);
        const DayDomainFacts f = dayDomainFacts(day, name);
        EXPECT_EQ(dayDomainFacts(day, name).deleteTime, f.deleteTime) << "deterministic";
        const std::string page = dayDetailPage(day, name);
        EXPECT_EQ(between(page, "<p><label>删除类型：</label>", "</p>"), f.served.deleteType);
        EXPECT_EQ(between(page, "<p><label>删除时间：</label>", "</p>"), f.served.deleteTime);
        EXPECT_EQ(between(page, "<p><label>预订截止时间：</label>", "</p>"),
                  f.served.bookingDeadline);
        EXPECT_EQ(readerValue(f.served.deleteType), f.deleteType);
        EXPECT_EQ(readerValue(f.served.bookingDeadline), f.bookingDeadline);
        EXPECT_EQ(page.find(kBookingOverText) != std::string::npos, f.bookingOver);
        const std::vector<std::string> cells = cutPriceCells(page);
        EXPECT_EQ(cells, f.served.priceCells);
        ASSERT_EQ(cells.size(), f.priceCells.size());
        for (std::size_t i = 0; i < cells.size(); ++i) {
            EXPECT_EQ(readerValue(cells[i]), f.priceCells[i]);
        }
        const std::string date = f.deleteTime.substr(0, 10);
        EXPECT_TRUE(date == dayDate(day) || date == dayDate(day + 1)) << f.deleteTime;
        EXPECT_LT(f.bookingDeadline, f.deleteTime);

        const std::string icp = dayIcpPage(day, name);
        EXPECT_EQ(between(icp, kIcpNumberLabel, "</td>").value_or(""), f.filingNumber);
        EXPECT_EQ(icp.find(kNotFiledText) != std::string::npos, !f.filed);
        EXPECT_EQ(f.filingNumber.empty(), !f.filed);

        bookingOver += f.bookingOver;
        inlineTags += f.inlineTags;
        filed += f.filed;
        noPrice += f.priceCells.empty();
        entity += !cells.empty() && cells[0].find("&amp;") != std::string::npos;
        nextDay += date == dayDate(day + 1);
        if (!f.priceCells.empty()) {
            currencies.insert(f.currency);
        }
    }
    const int total = static_cast<int>(listing.names().size());
    EXPECT_GT(bookingOver, total / 20);
    EXPECT_GT(inlineTags, total / 10);
    EXPECT_GT(filed, total / 10);
    EXPECT_LT(filed, total / 2);
    EXPECT_GT(noPrice, 0);
    EXPECT_GT(entity, 0);
    EXPECT_GT(nextDay, total / 4);
    EXPECT_LT(nextDay, total * 3 / 4);
    EXPECT_GE(currencies.size(), 5u);
}

TEST(DayFacts, FilingDoesNotChangeFromDayToDay) {
    const DayListing listing(1, 300);
    for (const std::string& name : listing.names()) {
        EXPECT_EQ(dayDomainFacts(1, name).filingNumber, dayDomainFacts(2, name).filingNumber);
    }
}

}  // namespace
}  // namespace jilan::sim
