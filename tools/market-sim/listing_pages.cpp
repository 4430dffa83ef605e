// The marketplace listing: GET /search?p=N, its rows, hostile rows and pagination.
#include "sim_content.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "day_listing.h"
#include "page_parts.h"

namespace jilan::sim {

using namespace parts;

namespace {

constexpr std::array<std::string_view, 16> kWords = {
    "qiyun",   "lanshan", "yunxiu", "beichen",  "qingcheng", "haoyu",   "jinghua", "xinghe",
    "mingyue", "tianyi",  "huaxia", "longteng", "fengyun",   "chunlei", "zhiyuan", "boya",
};

std::string hostileServedText(std::size_t index);

constexpr std::size_t kHostileCount = 15;

int clampedRows(const Options& options) {
    return std::clamp(options.rowsPerPage, 0, kMaxRowsPerPage);
}

bool pageHasRows(const Options& options, int page) {
    return page >= 1 && page <= options.pages;
}

// The row's name before hostile rows replace it: the default listing or the day's list.
std::string plainRowDomain(const DayListing* listing, int page, int row) {
    return listing != nullptr ? listing->nameAt(page, row) : domainFor(page, row);
}

// Text served in the href of a row (for hostile rows this may run past the extracted part).
std::string servedRowDomain(const Options& options, const DayListing* listing, int page, int row) {
    if (options.hostileRows && row >= 2 && (row - 2) % 3 == 0) {
        auto k = static_cast<std::size_t>((row - 2) / 3);
        if (k < kHostileCount) {
            return hostileServedText(k);
        }
    }
    return plainRowDomain(listing, page, row);
}

std::string hostileServedText(std::size_t index) {
    switch (index) {
        case 0:
            return "evil\r\nX-Injected: 1.com";
        case 1:
            return "has space.com";
        case 2:
            return "a&calc.com";
        case 3:
            return "x;rm -rf ~.com";
        case 4:
            return "pipe|cat.com";
        case 5:
            return "enc%0d%0a.com";
        case 6:
            return "-leading.com";
        case 7:
            return "it's.com";
        case 8:
            return "lt<script>.com";
        case 9:
            return "a\"b.com";
        case 10:
            return "\"empty.com";
        case 11:
            return "$(reboot).com";
        case 12:
            return "`id`.com";
        case 13:
            return "../../etc/passwd";
        default:
            return std::string(300, 'x') + ".com";
    }
}

std::string extractedText(std::string_view served) {
    return std::string(served.substr(0, served.find('"')));
}

std::string rowHtml(const Options& options, const DayListing* listing, int page, int row) {
    const std::string domain = servedRowDomain(options, listing, page, row);
    const std::string plain = plainRowDomain(listing, page, row);
    const std::uint64_t h = hashOf("row", plain);
    static constexpr std::array<int, 8> kPrices = {38, 68, 88, 128, 168, 198, 368, 888};
    const std::size_t dot = domain.find('.');
    const std::string label = domain.substr(0, dot);
    const std::string suffix = dot == std::string::npos ? "" : domain.substr(dot);

    std::string s;
    s += kRowMarker;
    s += domain + "\" target=\"_blank\">" + domain + "</a></td>\r\n";
    if (listing != nullptr) {
        // The day listing shows the deletion time its detail page gives, to the minute.
        s += "    <td>" + dayDomainFacts(listing->day(), plain).deleteTime.substr(0, 16) +
             "</td>\r\n";
    } else {
        s += "    <td>2026-12-07 " + twoDigits(8 + h % 12) + ":" + twoDigits((h >> 8) % 60) +
             "</td>\r\n";
    }
    s += "    <td>" + std::to_string(kPrices[(h >> 16) % kPrices.size()]) + "元</td>\r\n";
    s += "    <td>" + std::to_string(label.size()) + "</td>\r\n";
    s += "    <td>" + suffix + "</td>\r\n";
    s += "    <td><a href=\"/backorder/" + domain + "#order\" class=\"btn\">预订</a></td>\r\n";
    s += "</tr>\r\n";
    return s;
}

std::string pagination(const Options& options, int page) {
    std::string s(kPaginationMarker);
    s += "\r\n";
    const int last = std::max(options.pages, 1);
    auto link = [](int p, std::string_view text) {
        return "<a href=\"/search?p=" + std::to_string(p) + "\">" + std::string(text) + "</a>\r\n";
    };
    s += link(1, "首页");
    if (page > 1) {
        s += link(page - 1, "上一页");
    }
    const int current = std::clamp(page, 1, last);
    for (int p = std::max(1, current - 4); p <= std::min(last, current + 4); ++p) {
        if (p == page) {
            s += "<span class=\"current\">" + std::to_string(p) + "</span>\r\n";
        } else {
            s += link(p, std::to_string(p));
        }
    }
    if (page >= 1 && page < last) {
        s += link(page + 1, "下一页");
    }
    s += link(last, "尾页");
    s += "<span class=\"total\">共 " + std::to_string(last) + " 页</span>\r\n</div>\r\n";
    return s;
}

}  // namespace

// ---- Listing --------------------------------------------------------------------------------

std::string domainFor(int page, int row) {
    const auto index = static_cast<std::uint64_t>(
        (static_cast<std::int64_t>(page) - 1) * kMaxRowsPerPage + (row - 1));
    // index * 7919 + 4821 mod 10^7 is a bijection on [0, 10^7), and the word carries no digits,
    // so distinct indexes give distinct labels.
    const std::uint64_t number = (index * 7919 + 4821) % 10000000;
    const std::uint64_t h = hashOf("domain", index);
    std::string out(kWords[h % kWords.size()]);
    out += std::to_string(number);
    switch ((h >> 8) % 20) {
        case 0:
            out += ".cn";
            break;
        case 1:
            out += ".net";
            break;
        case 2:
            out += ".com.cn";
            break;
        default:
            out += ".com";
    }
    return out;
}

std::vector<std::string> hostileDomains() {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < kHostileCount; ++k) {
        out.push_back(extractedText(hostileServedText(k)));
    }
    return out;
}

std::vector<std::string> rowDomains(const Options& options, int page) {
    if (options.day > 0) {
        const DayListing listing(options.day, dayListingSize(options));
        return rowDomains(options, page, &listing);
    }
    return rowDomains(options, page, nullptr);
}

std::vector<std::string> rowDomains(const Options& options, int page, const DayListing* listing) {
    std::vector<std::string> out;
    if (!pageHasRows(options, page)) {
        return out;
    }
    for (int row = 1; row <= clampedRows(options); ++row) {
        out.push_back(extractedText(servedRowDomain(options, listing, page, row)));
    }
    return out;
}

int canonicalPage(std::string_view raw) {
    if (raw.empty() || raw.size() > 9 || raw.front() == '0') {
        return 0;
    }
    int value = 0;
    for (char c : raw) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string listingPage(const Options& options, int page) {
    if (options.day > 0) {
        const DayListing listing(options.day, dayListingSize(options));
        return listingPage(options, page, &listing);
    }
    return listingPage(options, page, nullptr);
}

std::string listingPage(const Options& options, int page, const DayListing* listing) {
    std::string title = "删除域名列表";
    if (page >= 1) {
        title += " 第" + std::to_string(page) + "页";
    }
    title += " - ";
    title += kSiteName;

    std::string s = pageHead(title, options.utf8);
    s += stylePadding("list", 21000);
    s += scriptPadding("list", 9000);
    s += "</head>\r\n<body>\r\n";
    s += "<div class=\"top\"><span class=\"logo\">";
    s += kSiteName;
    s += "</span><span class=\"login\"><a href=\"/vendor/home\">登录</a> | "
         "<a href=\"/vendor/home\">注册</a></span></div>\r\n";
    s += navBar();
    s += "<p class=\"notice\">公告：今日删除域名已更新，请在截止时间前完成预订。</p>\r\n";
    s += "<form action=\"/search\" method=\"get\"><select name=\"suffix\">"
         "<option value=\"\">全部后缀</option><option>.com</option><option>.cn</option>"
         "<option>.net</option><option>.com.cn</option></select> "
         "<input type=\"text\" name=\"kw\" value=\"\" /> <input type=\"submit\" value=\"搜索\" />"
         "</form>\r\n";
    s += "<table class=\"booking\" width=\"100%\" border=\"0\" cellspacing=\"0\" "
         "cellpadding=\"0\">\r\n";
    s += "<tr>\r\n    <th>域名</th>\r\n    <th>删除时间</th>\r\n    <th>价格</th>\r\n"
         "    <th>长度</th>\r\n    <th>后缀</th>\r\n    <th>操作</th>\r\n</tr>\r\n";
    if (pageHasRows(options, page)) {
        for (int row = 1; row <= clampedRows(options); ++row) {
            s += rowHtml(options, listing, page, row);
        }
    }
    s += "</table>\r\n";
    s += pagination(options, page);
    s += "<div class=\"footer\"><a href=\"/help/booking\">预订说明</a> | "
         "<a href=\"/vendor/forum\">站长论坛</a> | <a href=\"/vendor/home\">联系我们</a></div>\r\n";
    s += footerPadding(21000);
    s += "</body>\r\n</html>\r\n";
    return s;
}

}  // namespace jilan::sim
