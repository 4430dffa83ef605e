// The simulator's page content: what the harvester and the query cut out of each page.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli.h"
#include "sim_content.h"
#include "sim_test_support.h"
#include "text_codec.h"

namespace jilan::sim {
namespace {

using test::between;
using test::countOf;
using test::cutPriceCells;
using test::extractRowDomains;

TEST(DomainFor, DistinctOverEveryPageAndRow) {
    // Sort string hashes; equal domains have equal hashes, so only hash ties need a string check.
    constexpr int kPages = 32767;
    std::vector<std::pair<std::size_t, int>> hashes;
    hashes.reserve(std::size_t{kPages} * kMaxRowsPerPage);
    for (int page = 1; page <= kPages; ++page) {
        for (int row = 1; row <= kMaxRowsPerPage; ++row) {
            hashes.emplace_back(std::hash<std::string>{}(domainFor(page, row)),
                                (page - 1) * kMaxRowsPerPage + row - 1);
        }
    }
    std::sort(hashes.begin(), hashes.end());
    auto domainAt = [](int index) {
        return domainFor(index / kMaxRowsPerPage + 1, index % kMaxRowsPerPage + 1);
    };
    for (std::size_t i = 1; i < hashes.size(); ++i) {
        if (hashes[i].first == hashes[i - 1].first) {
            EXPECT_NE(domainAt(hashes[i].second), domainAt(hashes[i - 1].second))
                << "indexes " << hashes[i - 1].second << " and " << hashes[i].second;
        }
    }
}

TEST(DomainFor, LowerCaseAsciiWithAFewNonComSuffixesOnEveryPage) {
    const std::regex shape("[a-z]+[0-9]+\\.(com|cn|net|com\\.cn)");
    for (int page = 1; page <= 100; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        int nonCom = 0;
        for (int row = 1; row <= kMaxRowsPerPage; ++row) {
            const std::string d = domainFor(page, row);
            EXPECT_TRUE(std::regex_match(d, shape)) << d;
            nonCom += d.ends_with(".com") ? 0 : 1;
        }
        EXPECT_GE(nonCom, 1);
        EXPECT_LE(nonCom, 25);
    }
}

struct ListingCase {
    const char* name;
    int page;
    int pages;
    int rows;
    bool hostile;
    std::size_t expectedRows;
};

void PrintTo(const ListingCase& c, std::ostream* os) {
    *os << c.name;
}

class ListingStructure : public ::testing::TestWithParam<ListingCase> {};

TEST_P(ListingStructure, MarkersInOrderAndRowsAsDocumented) {
    const ListingCase& c = GetParam();
    Options o;
    o.pages = c.pages;
    o.rowsPerPage = c.rows;
    o.hostileRows = c.hostile;
    const std::string page = listingPage(o, c.page);

    EXPECT_EQ(countOf(page, "booking"), 2u);
    const std::size_t firstBooking = page.find("booking");
    const std::size_t secondBooking = page.find("booking", firstBooking + 1);
    const std::size_t header = page.find("<tr>\r\n    <th>");
    const std::size_t pagination = page.find(kPaginationMarker);
    ASSERT_NE(header, std::string::npos);
    ASSERT_NE(pagination, std::string::npos);
    EXPECT_LT(firstBooking, header);
    EXPECT_LT(pagination, secondBooking);
    EXPECT_EQ(countOf(page, kPaginationMarker), 1u);

    const std::vector<std::string> rows = extractRowDomains(page);
    EXPECT_EQ(rows.size(), c.expectedRows);
    EXPECT_EQ(rows, rowDomains(o, c.page));
    if (!rows.empty()) {
        const std::size_t firstRow = page.find(kRowMarker);
        const std::size_t lastRow = page.rfind(kRowMarker);
        EXPECT_LT(header, firstRow);
        EXPECT_LT(lastRow, pagination);
    }
    if (!c.hostile) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i], domainFor(c.page, static_cast<int>(i) + 1));
        }
    }

    const auto gbk = utf8ToGbk(page);
    ASSERT_TRUE(gbk.has_value()) << "page text has a character without a GBK form";
    EXPECT_EQ(countOf(*gbk, "booking"), 2u);
    if (c.expectedRows == 50) {
        EXPECT_GE(gbk->size(), 50u * 1024);
        EXPECT_LE(gbk->size(), 75u * 1024);
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ListingStructure,
                         ::testing::Values(ListingCase{"first", 1, 100, 50, false, 50},
                                           ListingCase{"middle", 57, 100, 50, false, 50},
                                           ListingCase{"last", 100, 100, 50, false, 50},
                                           ListingCase{"pastLast", 101, 100, 50, false, 0},
                                           ListingCase{"notCanonical", 0, 100, 50, false, 0},
                                           ListingCase{"fewRows", 3, 5, 7, false, 7},
                                           ListingCase{"hostile", 4, 100, 50, true, 50},
                                           ListingCase{"hostilePastLast", 9, 8, 50, true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileRows, RowsTwoPlusThreeKCarryTheHostileTexts) {
    Options o;
    o.hostileRows = true;
    const std::vector<std::string> hostile = hostileDomains();
    const std::vector<std::string> rows = extractRowDomains(listingPage(o, 6));
    ASSERT_EQ(rows.size(), 50u);
    std::size_t next = 0;
    for (int row = 1; row <= 50; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        if ((row - 2) % 3 == 0 && row >= 2 && next < hostile.size()) {
            EXPECT_EQ(rows[row - 1], hostile[next++]);
        } else {
            EXPECT_EQ(rows[row - 1], domainFor(6, row));
        }
    }
    EXPECT_EQ(next, hostile.size());
}

TEST(HostileRows, CoverTheDangerousShapes) {
    const std::vector<std::string> hostile = hostileDomains();
    const std::array<std::string_view, 11> needles = {
        "\r\n", " ", "&calc", ";rm -rf", "|", "%0d%0a", "'", "<", "../", "$(", "`"};
    for (std::string_view needle : needles) {
        EXPECT_TRUE(std::any_of(hostile.begin(), hostile.end(),
                                [&](const std::string& h) { return h.find(needle) != h.npos; }))
            << "no hostile text contains " << needle;
    }
    EXPECT_EQ(std::count(hostile.begin(), hostile.end(), "a"), 1) << "a\"b.com cut at the quote";
    EXPECT_EQ(std::count(hostile.begin(), hostile.end(), ""), 1);
    EXPECT_TRUE(std::any_of(hostile.begin(), hostile.end(),
                            [](const std::string& h) { return h.starts_with("-"); }));
    EXPECT_TRUE(std::any_of(hostile.begin(), hostile.end(),
                            [](const std::string& h) { return h.size() > 255; }));
}

TEST(CanonicalPage, OnlyPlainPositiveDecimals) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"1", 1},          {"42", 42},
        {"100", 100},      {"1.0", 0},
        {"-3", 0},         {"abc", 0},
        {"01", 0},         {"0", 0},
        {"", 0},           {"+1", 0},
        {"1e2", 0},        {" 1", 0},
        {"2x", 0},         {"123456789", 123456789},
        {"1234567890", 0},
    };
    for (const auto& [raw, expected] : cases) {
        EXPECT_EQ(canonicalPage(raw), expected) << "p=" << raw;
    }
}

class DetailVariants : public ::testing::TestWithParam<DetailVariant> {};

TEST_P(DetailVariants, MarkersCarryTheDocumentedValues) {
    const DetailVariant variant = GetParam();
    const std::string domain = sampleDomain(variant);
    ASSERT_EQ(detailVariant(domain), variant);
    const DetailInfo info = detailInfo(domain);
    const std::string page = detailPage(domain);

    EXPECT_EQ(between(page, "<p><label>删除类型：</label>", "</p>"), info.deleteType);
    EXPECT_EQ(between(page, "<p><label>删除时间：</label>", "</p>"), "2026-12-07 09:00:00");
    EXPECT_EQ(between(page, "<p><label>预订截止时间：</label>", "</p>"), info.bookingDeadline);
    EXPECT_EQ(countOf(page, "<pre>"), 1u);
    const auto whois = between(page, "<pre>", "</pre>");
    ASSERT_TRUE(whois.has_value());
    EXPECT_EQ(*whois, info.whois);
    EXPECT_TRUE(whois->starts_with("Domain Name: ")) << *whois;
    EXPECT_GE(countOf(*whois, "\r\n"), 5u);

    const std::vector<std::string> cells = cutPriceCells(page);
    EXPECT_EQ(cells, info.priceCells);
    EXPECT_LE(countOf(page, "<th>保证金</th>"), 1u);
    EXPECT_EQ(countOf(page, kBookingOverText), variant == DetailVariant::BookingOver ? 1u : 0u);

    switch (variant) {
        case DetailVariant::Normal:
        case DetailVariant::BookingOver:
            EXPECT_EQ(cells.size(), 4u);
            break;
        case DetailVariant::PartialPrice:
            EXPECT_EQ(cells.size(), 2u);
            break;
        case DetailVariant::InlineTags:
            EXPECT_EQ(cells.size(), 4u);
            EXPECT_TRUE(info.deleteType.starts_with("<b>")) << info.deleteType;
            EXPECT_NE(cells[2].find('<'), std::string::npos) << cells[2];
            break;
        case DetailVariant::SpaceBeforeTd:
            ASSERT_EQ(cells.size(), 4u);
            for (const auto& cell : cells) {
                EXPECT_TRUE(cell.ends_with(" ")) << cell;
            }
            break;
        case DetailVariant::NoPriceTable:
            EXPECT_TRUE(cells.empty());
            EXPECT_EQ(page.find("<div class=\"price\">"), std::string::npos);
            break;
    }
    if (variant != DetailVariant::InlineTags) {
        EXPECT_TRUE(info.deleteType == "过期删除" || info.deleteType == "赎回期删除")
            << info.deleteType;
    }

    const auto gbk = utf8ToGbk(page);
    ASSERT_TRUE(gbk.has_value());
    EXPECT_GE(gbk->size(), 14u * 1024);
    EXPECT_LE(gbk->size(), 28u * 1024);
}

INSTANTIATE_TEST_SUITE_P(All, DetailVariants,
                         ::testing::Values(DetailVariant::Normal, DetailVariant::BookingOver,
                                           DetailVariant::PartialPrice, DetailVariant::InlineTags,
                                           DetailVariant::SpaceBeforeTd,
                                           DetailVariant::NoPriceTable),
                         [](const auto& info) {
                             std::string name(variantName(info.param));
                             std::erase(name, '-');
                             return name;
                         });

TEST(DetailPage, EscapesAnArbitraryDomainWithoutBreakingMarkers) {
    const std::string domain = "</pre><th>保证金</th>\"x.com";
    const std::string page = detailPage(domain);
    EXPECT_EQ(countOf(page, "<pre>"), 1u);
    EXPECT_EQ(countOf(page, "</pre>"), 1u);
    EXPECT_LE(countOf(page, "<th>保证金</th>"), 1u);
    EXPECT_EQ(cutPriceCells(page), detailInfo(domain).priceCells);
}

TEST(Icp, FiledPagesCarryTheNumberAndUnfiledPagesSayNotFiled) {
    const std::regex number("(京|沪|粤|浙|苏|川|鲁|闽|湘|鄂)ICP备[0-9]{8}号-[1-3]");
    int filed = 0;
    for (int row = 1; row <= 50; ++row) {
        for (int page = 1; page <= 4; ++page) {
            const std::string domain = domainFor(page, row);
            SCOPED_TRACE(domain);
            const std::string html = icpPage(domain);
            if (isFiled(domain)) {
                ++filed;
                EXPECT_TRUE(std::regex_match(filingNumber(domain), number)) << filingNumber(domain);
                EXPECT_EQ(between(html, kIcpNumberLabel, "</td></tr>"), filingNumber(domain));
                EXPECT_EQ(countOf(html, kNotFiledText), 0u);
            } else {
                EXPECT_EQ(filingNumber(domain), "");
                EXPECT_EQ(countOf(html, kIcpNumberLabel), 0u);
                EXPECT_GE(countOf(html, kNotFiledText), 1u);
            }
            EXPECT_TRUE(utf8ToGbk(html).has_value());
        }
    }
    EXPECT_GT(filed, 60);
    EXPECT_LT(filed, 180);
}

TEST(Icp, DomainCaseDoesNotChangeTheAnswer) {
    for (int row = 1; row <= 20; ++row) {
        const std::string domain = domainFor(2, row);
        std::string upper = domain;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        EXPECT_EQ(isFiled(upper), isFiled(domain));
        EXPECT_EQ(filingNumber(upper), filingNumber(domain));
        EXPECT_EQ(detailVariant(upper), detailVariant(domain));
    }
}

TEST(FaultNames, RoundTripAndAliases) {
    std::set<std::string_view> names;
    for (Fault f : allFaults()) {
        EXPECT_EQ(parseFault(faultName(f)), f) << faultName(f);
        names.insert(faultName(f));
    }
    EXPECT_EQ(names.size(), allFaults().size());
    EXPECT_EQ(parseFault("404"), Fault::Status404);
    EXPECT_EQ(parseFault("STATUS-503"), Fault::Status503);
    EXPECT_EQ(parseFault("Gzip-Bomb"), Fault::GzipBomb);
    for (std::string_view bad : {"", "bogus", "status-418", "418", "status", "gzip bomb"}) {
        EXPECT_EQ(parseFault(bad), std::nullopt) << bad;
    }
}

struct CliCase {
    std::vector<std::string_view> args;
    bool ok;
    std::function<void(const Options&)> check;
};

TEST(CommandLine, HelpNamesEveryFaultMode) {
    const std::string usage = usageText();
    for (Fault f : allFaults()) {
        EXPECT_NE(usage.find(std::string(faultName(f))), std::string::npos) << faultName(f);
    }
}

TEST(CommandLine, ParsesOptionsAndRejectsBadValues) {
    const std::vector<CliCase> cases = {
        {{}, true, [](const Options& o) { EXPECT_EQ(o.port, 0); }},
        {{"--port", "8080", "--bind", "0.0.0.0"},
         true,
         [](const Options& o) {
             EXPECT_EQ(o.port, 8080);
             EXPECT_EQ(o.bindAddress, "0.0.0.0");
         }},
        {{"--port=9090", "--pages=7", "--rows", "10"},
         true,
         [](const Options& o) {
             EXPECT_EQ(o.port, 9090);
             EXPECT_EQ(o.pages, 7);
             EXPECT_EQ(o.rowsPerPage, 10);
         }},
        {{"--latency-ms", "20", "--jitter-ms", "5", "--seed", "99", "--utf8", "--log",
          "--hostile-rows", "--fail-first", "2"},
         true,
         [](const Options& o) {
             EXPECT_EQ(o.latencyMs, 20);
             EXPECT_EQ(o.jitterMs, 5);
             EXPECT_EQ(o.seed, 99u);
             EXPECT_TRUE(o.utf8);
             EXPECT_TRUE(o.logRequests);
             EXPECT_TRUE(o.hostileRows);
             EXPECT_EQ(o.failFirstN, 2);
         }},
        {{"--fault", "gzip-bomb", "--detail-fault", "404", "--icp-fault", "trickle", "--page-fault",
          "3=status-503", "--page-fault", "9=empty", "--page-latency", "2=300"},
         true,
         [](const Options& o) {
             EXPECT_EQ(o.allFault, Fault::GzipBomb);
             EXPECT_EQ(o.detailFault, Fault::Status404);
             EXPECT_EQ(o.icpFault, Fault::Trickle);
             EXPECT_EQ(o.pageFaults,
                       (std::map<int, Fault>{{3, Fault::Status503}, {9, Fault::Empty}}));
             EXPECT_EQ(o.pageLatencyMs, (std::map<int, int>{{2, 300}}));
         }},
        {{"--day", "2", "--throttle-every", "5", "--retry-after=7", "--request-log", "/tmp/r.log",
          "--icp-fault", "icp-404-filed", "--detail-fault", "no-markers", "--fault",
          "throttle-429-no-retry-after"},
         true,
         [](const Options& o) {
             EXPECT_EQ(o.day, 2);
             EXPECT_EQ(o.throttleEvery, 5);
             EXPECT_EQ(o.retryAfterSeconds, 7);
             EXPECT_EQ(o.requestLogPath, "/tmp/r.log");
             EXPECT_EQ(o.icpFault, Fault::IcpFiled404);
             EXPECT_EQ(o.detailFault, Fault::NoMarkers);
             EXPECT_EQ(o.allFault, Fault::Throttle429NoRetry);
         }},
        {{"--retry-after-date"}, true, [](const Options& o) { EXPECT_TRUE(o.retryAfterAsDate); }},
        {{"--retry-after-date=1"}, false, nullptr},
        {{"--day", "0"}, false, nullptr},
        {{"--day", "3651"}, false, nullptr},
        {{"--retry-after", "-1"}, false, nullptr},
        {{"--request-log"}, false, nullptr},
        {{"--port"}, false, nullptr},
        {{"--port", "65536"}, false, nullptr},
        {{"--port", "-1"}, false, nullptr},
        {{"--port", "80x"}, false, nullptr},
        {{"--bind", "localhost"}, false, nullptr},
        {{"--rows", "51"}, false, nullptr},
        {{"--fault", "melt"}, false, nullptr},
        {{"--page-fault", "3"}, false, nullptr},
        {{"--page-fault", "0=empty"}, false, nullptr},
        {{"--page-fault", "x=empty"}, false, nullptr},
        {{"--utf8=yes"}, false, nullptr},
        {{"--verbose"}, false, nullptr},
        {{"stray"}, false, nullptr},
    };
    for (const CliCase& c : cases) {
        std::string joined;
        for (auto a : c.args) {
            joined += std::string(a) + " ";
        }
        SCOPED_TRACE(joined);
        const CommandLine cl = parseCommandLine(c.args);
        EXPECT_EQ(cl.error.empty(), c.ok) << cl.error;
        if (c.ok && c.check) {
            c.check(cl.options);
        }
    }
}

}  // namespace
}  // namespace jilan::sim
