// Deterministic page content of the simulated marketplace and ICP lookup site.
//
// Every function here is a pure function of its arguments (a small hash of the domain or the
// (page, row) pair decides the variants), so tests can compute exactly what the server sends.
// All text is UTF-8; the server converts it to GBK unless Options::utf8 is set. Lines end in
// CR LF throughout, as on the real site.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim_options.h"

namespace jilan::sim {

class DayListing;

// ---- Listing: GET /search?p=N -----------------------------------------------------------
//
// Only a canonical page number (decimal digits, no sign, no leading zero, "1".."pages") carries
// rows; anything else ("1.0", "-3", "abc", "01", p missing) still gets a 200 page with the same
// structure and zero rows. Page structure, in order:
//   head (style, script), nav bar, notice, filter form             -- no "booking" anywhere
//   <table class="booking" ...>                                     -- first "booking"
//   <tr>\r\n    <th>域名</th>...</tr>                                 -- header row, not a row
//   rows, each starting with kRowMarker, then DOMAIN" target="_blank">DOMAIN</a></td>\r\n
//        <td>2026-12-07 HH:MM</td>, price, length, suffix and an order link cell, </tr>\r\n
//   </table>\r\n<div class="pagination">...</div>
//   <div class="footer"><a href="/help/booking">                   -- second "booking"
//   footer text, closing tags.
// The word "booking" occurs exactly twice; a GBK-encoded page with 50 rows is about 60 KB.
inline constexpr std::string_view kRowMarker = "<tr>\r\n    <td><a href=\"/backorder/";
// The row start of the changed-layout fault: the same rows as a redesigned site would mark them.
inline constexpr std::string_view kChangedRowMarker =
    "<tr class=\"row\">\n  <td class=\"name\"><a href=\"/backorder/";
inline constexpr std::string_view kPaginationMarker = "<div class=\"pagination\">";
inline constexpr int kMaxRowsPerPage = 50;

// Domain of a normal row: ASCII lower case, pinyin word + number + suffix, e.g. "qiyun4821.com".
// Distinct for every (page, row) with page 1..32767, row 1..50. About 15 % of the rows use .cn,
// .net or .com.cn instead of .com.
std::string domainFor(int page, int row);

// The texts a client extracts from the rows of `page` (from kRowMarker up to the next double
// quote), in row order. Empty for pages without rows. Honours rowsPerPage and hostileRows.
std::vector<std::string> rowDomains(const Options& options, int page);

// Listing page text. Uses options.pages, rowsPerPage, hostileRows and utf8 (meta charset), and
// with options.day > 0 the names of that day (see DayListing; rows then show the deletion time
// of dayDomainFacts to the minute).
std::string listingPage(const Options& options, int page);
// The same with the day's list already built (nullptr: the default listing, options.day ignored).
std::string listingPage(const Options& options, int page, const DayListing* listing);
std::vector<std::string> rowDomains(const Options& options, int page, const DayListing* listing);

// Canonical page number of a raw "p" query value, or 0 when it is not canonical.
int canonicalPage(std::string_view raw);

// Hostile rows: with Options::hostileRows, row 2 + 3k of every page (k = 0..count-1) carries
// hostileDomains()[k] instead of domainFor(). The texts are what a client extracts: the served
// href holds more after a double quote in one case (`a"b.com` is extracted as "a"), and one entry
// is empty (`"empty.com`). They contain CR LF, spaces, shell metacharacters, "%0d%0a", a leading
// '-', a single quote, '<', "../" and a 300-character label.
std::vector<std::string> hostileDomains();

// ---- Detail: GET /backorder/DOMAIN --------------------------------------------------------
//
// Markers (the value sits between the label and "</p>"):
//   <p><label>删除类型：</label>VALUE</p>
//   <p><label>删除时间：</label>VALUE</p>
//   <p><label>预订截止时间：</label>VALUE</p>
//   <pre>WHOIS</pre>                                (lines separated by CR LF)
//   <div class="price"><table>\r\n<tr><th>预定平台</th><th>预定价格</th><th>折合人民币</th>
//   <th>保证金</th></tr>\r\n<tr><td>C1</td><td>C2</td><td>C3</td><td>C4</td></tr>\r\n</table></div>
// (the price header is one line on the wire). The first "</div>" after "<th>保证金</th>" is the
// one closing the price block; "<pre>" and "<th>保证金</th>" occur only once per page.
enum class DetailVariant {
    Normal,         // four price cells
    BookingOver,    // contains kBookingOverText, and still a full price table
    PartialPrice,   // only the first two price cells
    InlineTags,     // delete type "<b>...</b>", deadline and third price cell wrapped in tags
    SpaceBeforeTd,  // every price cell value followed by a space before </td>
    NoPriceTable,   // no <div class="price"> at all
};
inline constexpr std::string_view kBookingOverText = "该域名的预订时间已过";
std::string_view variantName(DetailVariant variant);
DetailVariant detailVariant(std::string_view domain);
// First domainFor(page, row), searching page by page from page 1, that gets `variant`.
std::string sampleDomain(DetailVariant variant);

// Exact marker values of a detail page: the raw text between the markers, tags included.
struct DetailInfo {
    DetailVariant variant = DetailVariant::Normal;
    std::string deleteType;               // 过期删除 or 赎回期删除 (in <b> for InlineTags)
    std::string deleteTime;               // always "2026-12-07 09:00:00"
    std::string bookingDeadline;          // "2026-12-06 HH:MM:00"
    std::string whois;                    // CR LF separated, first line "Domain Name: DOMAIN"
    std::vector<std::string> priceCells;  // text between <td> and </td>; empty for NoPriceTable
};
DetailInfo detailInfo(std::string_view domain);

// Text of a detail page; answers any domain (it is HTML-escaped where it is shown).
std::string detailPage(std::string_view domain, bool utf8 = false);
// The same page around given marker values; `bookingOver` adds the kBookingOverText alert.
std::string detailPageWith(std::string_view domain, const DetailInfo& info, bool bookingOver,
                           bool utf8 = false);

// ---- ICP lookup: GET /icp/DOMAIN ---------------------------------------------------------
//
// Filed: a table row "<tr><td>网站备案/许可证号</td><td>NUMBER</td></tr>", and "未备案" occurs
// nowhere on the page. Not filed: the page contains "未备案". About 60 % of domains are filed.
inline constexpr std::string_view kIcpNumberLabel = "<tr><td>网站备案/许可证号</td><td>";
inline constexpr std::string_view kNotFiledText = "未备案";
bool isFiled(std::string_view domain);
// e.g. "京ICP备12345678号-1"; empty when the domain is not filed.
std::string filingNumber(std::string_view domain);
// The number the domain would carry if filed, whether or not it is (used by IcpFiled404).
std::string assignedFilingNumber(std::string_view domain);
std::string icpPage(std::string_view domain, bool utf8 = false);
// The ICP page answering "filed with `number`", or "not filed" when `number` is empty.
std::string icpPageWith(std::string_view domain, std::string_view number, bool utf8 = false);

// ---- Small pages ---------------------------------------------------------------------------
std::string indexPage(bool utf8 = false);                           // GET /
std::string vendorPage(std::string_view which, bool utf8 = false);  // "forum" or "home"
std::string helpPage(bool utf8 = false);                            // GET /help/booking
// A 200 page of the site (a maintenance notice) holding none of the markers above: no row
// marker, no "booking", no detail label, <pre> or price block, no ICP label and no "未备案".
std::string noMarkersPage(bool utf8 = false);
// Error body for a status, e.g. "<html><body><h1>404 Not Found</h1>页面不存在</body></html>".
std::string errorPage(int status);

}  // namespace jilan::sim
