// The marketplace detail page: GET /backorder/DOMAIN.
#include "sim_content.h"

#include <array>
#include <cstdint>
#include <string>

#include "page_parts.h"

namespace jilan::sim {

using namespace parts;

// ---- Detail ---------------------------------------------------------------------------------

std::string_view variantName(DetailVariant variant) {
    switch (variant) {
        case DetailVariant::Normal:
            return "normal";
        case DetailVariant::BookingOver:
            return "booking-over";
        case DetailVariant::PartialPrice:
            return "partial-price";
        case DetailVariant::InlineTags:
            return "inline-tags";
        case DetailVariant::SpaceBeforeTd:
            return "space-before-td";
        case DetailVariant::NoPriceTable:
            return "no-price-table";
    }
    return "normal";
}

DetailVariant detailVariant(std::string_view domain) {
    switch (hashOf("variant", lowerAscii(domain)) % 12) {
        case 7:
            return DetailVariant::BookingOver;
        case 8:
            return DetailVariant::PartialPrice;
        case 9:
            return DetailVariant::InlineTags;
        case 10:
            return DetailVariant::SpaceBeforeTd;
        case 11:
            return DetailVariant::NoPriceTable;
        default:
            return DetailVariant::Normal;
    }
}

std::string sampleDomain(DetailVariant variant) {
    for (int page = 1;; ++page) {
        for (int row = 1; row <= kMaxRowsPerPage; ++row) {
            std::string domain = domainFor(page, row);
            if (detailVariant(domain) == variant) {
                return domain;
            }
        }
    }
}

DetailInfo detailInfo(std::string_view domain) {
    const std::string key = lowerAscii(domain);
    const std::uint64_t h = hashOf("detail", key);
    DetailInfo info;
    info.variant = detailVariant(key);

    info.deleteType = (h & 1) ? "赎回期删除" : "过期删除";
    info.deleteTime = "2026-12-07 09:00:00";
    info.bookingDeadline =
        "2026-12-06 " + twoDigits(18 + (h >> 1) % 6) + ":" + twoDigits(((h >> 4) % 6) * 10) + ":00";

    const bool cn = key.ends_with(".cn");
    const std::uint64_t year = 2008 + (h >> 8) % 15;
    const std::string created = std::to_string(year) + "-" + twoDigits(1 + (h >> 12) % 12) + "-" +
                                twoDigits(1 + (h >> 16) % 28);
    const std::string clock = twoDigits((h >> 20) % 24) + ":" + twoDigits((h >> 24) % 60) + ":" +
                              twoDigits((h >> 28) % 60);
    const std::string expires = "2025" + created.substr(4);
    static constexpr std::array<std::string_view, 4> kRegistrars = {
        "Lanshan Network Technology Co., Ltd.", "Beichen Data Services Inc.",
        "Yuanshan Internet Co., Ltd.", "Qingcheng Registrar Ltd."};
    const std::string_view registrar = kRegistrars[(h >> 32) % kRegistrars.size()];
    const std::string shown = htmlEscape(upperAscii(domain));
    std::string w;
    if (cn) {
        w += "Domain Name: " + shown + "\r\n";
        w += "ROID: " + created.substr(0, 4) + created.substr(5, 2) + created.substr(8, 2) + "s" +
             std::to_string(10000 + (h >> 36) % 90000) + "s" +
             std::to_string(10000000 + (h >> 20) % 90000000) + "-cn\r\n";
        w += "Domain Status: pendingDelete\r\n";
        w += "Registrant: 北京某某科技有限公司\r\n";
        w += "Sponsoring Registrar: ";
        w += registrar;
        w += "\r\nName Server: NS1.YUNXIUDNS.CN\r\nName Server: NS2.YUNXIUDNS.CN\r\n";
        w += "Registration Time: " + created + " " + clock + "\r\n";
        w += "Expiration Time: " + expires + " " + clock + "\r\n";
        w += "DNSSEC: unsigned";
    } else {
        w += "Domain Name: " + shown + "\r\n";
        w += "Registry Domain ID: " + std::to_string(1000000000 + (h >> 20) % 900000000) +
             "_DOMAIN_COM-VRSN\r\n";
        w += "Registrar: ";
        w += registrar;
        w += "\r\nCreation Date: " + created + "T" + clock + "Z\r\n";
        w += "Registry Expiry Date: " + expires + "T" + clock + "Z\r\n";
        w += "Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n";
        w += "Name Server: NS1.YUNXIUDNS.CN\r\nName Server: NS2.YUNXIUDNS.CN\r\n";
        w += "DNSSEC: unsigned";
    }
    info.whois = w;

    static constexpr std::array<std::string_view, 4> kPlatforms = {"青岚预订", "远山平台",
                                                                   "北辰拍卖", "云岫直营"};
    const std::uint64_t usd = 5 + (h >> 40) % 60;
    const std::uint64_t cny100 = usd * 720;  // in fen, at 7.20
    const std::string cny = std::to_string(cny100 / 100) + "." + twoDigits(cny100 % 100) + "元";
    static constexpr std::array<std::string_view, 3> kDeposits = {"0元", "50元", "100元"};
    std::vector<std::string> cells = {
        std::string(kPlatforms[(h >> 48) % kPlatforms.size()]),
        std::to_string(usd) + ".00 美元",
        cny,
        std::string(kDeposits[(h >> 52) % kDeposits.size()]),
    };
    switch (info.variant) {
        case DetailVariant::PartialPrice:
            cells.resize(2);
            break;
        case DetailVariant::InlineTags:
            info.deleteType = "<b>" + info.deleteType + "</b>";
            info.bookingDeadline = "<span class=\"red\">" + info.bookingDeadline + "</span>";
            cells[2] = "<font color=\"red\">" + cells[2] + "</font>";
            break;
        case DetailVariant::SpaceBeforeTd:
            for (auto& c : cells) {
                c += " ";
            }
            break;
        case DetailVariant::NoPriceTable:
            cells.clear();
            break;
        default:
            break;
    }
    info.priceCells = std::move(cells);
    return info;
}

std::string detailPage(std::string_view domain, bool utf8) {
    const DetailInfo info = detailInfo(domain);
    return detailPageWith(domain, info, info.variant == DetailVariant::BookingOver, utf8);
}

std::string detailPageWith(std::string_view domain, const DetailInfo& info, bool bookingOver,
                           bool utf8) {
    const std::string shown = htmlEscape(domain);
    std::string s = pageHead(shown + " 域名详情 - " + std::string(kSiteName), utf8);
    s += stylePadding("detail", 8500);
    s += scriptPadding("detail", 4000);
    s += "</head>\r\n<body>\r\n";
    s += navBar();
    s += "<div class=\"detail\">\r\n<h1>" + shown + "</h1>\r\n";
    if (bookingOver) {
        s += "<p class=\"alert\">";
        s += kBookingOverText;
        s += "，以下价格仅供参考。</p>\r\n";
    }
    s += "<p><label>域名：</label>" + shown + "</p>\r\n";
    s += "<p><label>删除类型：</label>" + info.deleteType + "</p>\r\n";
    s += "<p><label>删除时间：</label>" + info.deleteTime + "</p>\r\n";
    s += "<p><label>预订截止时间：</label>" + info.bookingDeadline + "</p>\r\n";
    s += "<h2>Whois 信息</h2>\r\n<pre>" + info.whois + "</pre>\r\n";
    if (info.priceCells.empty()) {
        s += "<p class=\"noprice\">暂无预订价格信息。</p>\r\n";
    } else {
        s += "<div class=\"price\"><table>\r\n<tr><th>预定平台</th><th>预定价格</th>"
             "<th>折合人民币</th><th>保证金</th></tr>\r\n<tr>";
        for (const auto& cell : info.priceCells) {
            s += "<td>" + cell + "</td>";
        }
        s += "</tr>\r\n</table></div>\r\n";
    }
    s += "</div>\r\n";
    s += "<div class=\"footer\"><a href=\"/help/booking\">预订说明</a> | "
         "<a href=\"/search?p=1\">返回列表</a></div>\r\n";
    s += footerPadding(7500);
    s += "</body>\r\n</html>\r\n";
    return s;
}

}  // namespace jilan::sim
