#include "sim_content.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace jilan::sim {

namespace {

constexpr std::string_view kSiteName = "云岫域名市场";

// FNV-1a over salt and text with a final avalanche, so that each property of a domain (variant,
// filing, prices...) is decided by an independent-looking hash.
std::uint64_t hashOf(std::string_view salt, std::string_view text) {
    std::uint64_t h = 14695981039346656037ULL;
    auto mix = [&h](unsigned char c) {
        h ^= c;
        h *= 1099511628211ULL;
    };
    for (char c : salt) {
        mix(static_cast<unsigned char>(c));
    }
    mix(':');
    for (char c : text) {
        mix(static_cast<unsigned char>(c));
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

// Integer keys (row indexes, padding line numbers) skip the text round trip: splitmix64 of the
// value mixed with the salt's hash.
std::uint64_t hashOf(std::string_view salt, std::uint64_t value) {
    std::uint64_t z = value + hashOf(salt, std::string_view{}) + 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Domains are case-insensitive; every domain-keyed decision hashes the ASCII lower-case form.
std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string twoDigits(std::uint64_t v) {
    v %= 100;
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string hexColor(std::uint64_t h) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string out = "#";
    for (int i = 0; i < 6; ++i) {
        out += kHex[(h >> (i * 4)) & 0xF];
    }
    return out;
}

std::string charsetName(bool utf8) {
    return utf8 ? "utf-8" : "gbk";
}

std::string pageHead(std::string_view title, bool utf8) {
    std::string s;
    s += "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n";
    s += "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n";
    s += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charsetName(utf8) +
         "\" />\r\n";
    s += "<title>";
    s += title;
    s += "</title>\r\n";
    s += "<meta name=\"keywords\" content=\"删除域名,过期域名,域名预订,域名抢注\" />\r\n";
    return s;
}

// Inline style sheet of about `bytes` bytes, as the real site ships one per page.
std::string stylePadding(std::string_view prefix, std::size_t bytes) {
    std::string s = "<style type=\"text/css\">\r\n";
    s += "body { margin: 0; padding: 0; font: 12px/1.6 \"宋体\", Arial, sans-serif; }\r\n";
    for (std::uint64_t i = 0; s.size() < bytes; ++i) {
        std::uint64_t h = hashOf(prefix, i);
        s += ".";
        s += prefix;
        s += "-" + std::to_string(i) + " td.c" + std::to_string(i % 9) +
             " { padding: " + std::to_string(2 + h % 5) + "px " + std::to_string(4 + (h >> 8) % 7) +
             "px; color: " + hexColor(h >> 16) + "; border-bottom: 1px dotted " +
             hexColor(h >> 24) + "; }\r\n";
    }
    s += "</style>\r\n";
    return s;
}

// Inline script of about `bytes` bytes: advertising slots and a visit counter.
std::string scriptPadding(std::string_view prefix, std::size_t bytes) {
    std::string s = "<script type=\"text/javascript\">\r\n";
    s += "var adSlots = [];\r\n";
    for (std::uint64_t i = 0; s.size() + 200 < bytes; ++i) {
        std::uint64_t h = hashOf(prefix, i + 7);
        s += "adSlots.push({ id: \"slot-" + std::to_string(i) +
             "\", w: " + std::to_string(120 + h % 600) +
             ", h: " + std::to_string(60 + (h >> 10) % 90) + ", src: \"/static/ad/" +
             std::to_string(h % 100000) + ".gif\", alt: \"广告位" + std::to_string(i + 1) +
             "\" });\r\n";
    }
    s += "function showSlot(i) { var e = document.getElementById(adSlots[i].id); "
         "if (e) { e.style.display = \"block\"; } }\r\n";
    s += "</script>\r\n";
    return s;
}

std::string navBar() {
    return "<div class=\"nav\"><a href=\"/\">首页</a> | <a href=\"/search?p=1\">删除域名</a> | "
           "<a href=\"/icp/\">备案查询</a> | <a href=\"/vendor/forum\">站长论坛</a> | "
           "<a href=\"/vendor/home\">会员中心</a></div>\r\n";
}

// Footer text of about `bytes` bytes (UTF-8 count), ordinary help and friendly links.
std::string footerPadding(std::size_t bytes) {
    static constexpr std::array<std::string_view, 8> kSentences = {
        "本站所列删除域名信息来自公开数据，仅供参考，请以注册局最终删除结果为准。",
        "预订成功后将从账户中冻结相应保证金，预订失败的保证金将在删除后原路退回。",
        "同一域名有多个用户预订时进入竞价环节，出价最高者获得该域名。",
        "请在预订截止时间之前完成预订，截止后提交的预订请求将不被受理。",
        "删除时间为预计时间，实际删除时间可能提前或推迟，请随时关注本站公告。",
        "会员可在会员中心查看预订记录、保证金明细和竞价结果。",
        "如对域名归属有疑问，请联系客服，工作时间为每日九点至二十一点。",
        "本站不对因网络延迟或系统维护造成的预订失败承担责任。",
    };
    std::string s = "<div class=\"help\">\r\n";
    for (std::size_t i = 0; s.size() < bytes; ++i) {
        s += "<p>" + std::to_string(i + 1) + ". ";
        s += kSentences[i % kSentences.size()];
        s += "</p>\r\n";
    }
    s += "</div>\r\n<div class=\"links\">友情链接：<a href=\"/vendor/forum\">站长论坛</a> "
         "<a href=\"/vendor/home\">会员中心</a> <a href=\"/icp/\">备案查询</a></div>\r\n";
    s += "<div class=\"copy\">版权所有 2009-2026 ";
    s += kSiteName;
    s += " 保留所有权利</div>\r\n";
    return s;
}

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

// Text served in the href of a row (for hostile rows this may run past the extracted part).
std::string servedRowDomain(const Options& options, int page, int row) {
    if (options.hostileRows && row >= 2 && (row - 2) % 3 == 0) {
        auto k = static_cast<std::size_t>((row - 2) / 3);
        if (k < kHostileCount) {
            return hostileServedText(k);
        }
    }
    return domainFor(page, row);
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

std::string rowHtml(const Options& options, int page, int row) {
    const std::string domain = servedRowDomain(options, page, row);
    const std::uint64_t h = hashOf("row", domainFor(page, row));
    static constexpr std::array<int, 8> kPrices = {38, 68, 88, 128, 168, 198, 368, 888};
    const std::size_t dot = domain.find('.');
    const std::string label = domain.substr(0, dot);
    const std::string suffix = dot == std::string::npos ? "" : domain.substr(dot);

    std::string s;
    s += kRowMarker;
    s += domain + "\" target=\"_blank\">" + domain + "</a></td>\r\n";
    s += "    <td>2026-12-07 " + twoDigits(8 + h % 12) + ":" + twoDigits((h >> 8) % 60) +
         "</td>\r\n";
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
    std::vector<std::string> out;
    if (!pageHasRows(options, page)) {
        return out;
    }
    for (int row = 1; row <= clampedRows(options); ++row) {
        out.push_back(extractedText(servedRowDomain(options, page, row)));
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
            s += rowHtml(options, page, row);
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
    const std::string shown = htmlEscape(domain);
    std::string s = pageHead(shown + " 域名详情 - " + std::string(kSiteName), utf8);
    s += stylePadding("detail", 8500);
    s += scriptPadding("detail", 4000);
    s += "</head>\r\n<body>\r\n";
    s += navBar();
    s += "<div class=\"detail\">\r\n<h1>" + shown + "</h1>\r\n";
    if (info.variant == DetailVariant::BookingOver) {
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

// ---- ICP ------------------------------------------------------------------------------------

bool isFiled(std::string_view domain) {
    return hashOf("icp", lowerAscii(domain)) % 5 < 3;
}

std::string filingNumber(std::string_view domain) {
    if (!isFiled(domain)) {
        return {};
    }
    static constexpr std::array<std::string_view, 10> kProvinces = {"京", "沪", "粤", "浙", "苏",
                                                                    "川", "鲁", "闽", "湘", "鄂"};
    const std::uint64_t h = hashOf("icp-number", lowerAscii(domain));
    std::string out(kProvinces[h % kProvinces.size()]);
    out += "ICP备" + std::to_string(10000000 + (h >> 8) % 90000000) + "号-" +
           std::to_string(1 + (h >> 40) % 3);
    return out;
}

std::string icpPage(std::string_view domain, bool utf8) {
    const std::string shown = htmlEscape(domain);
    const std::uint64_t h = hashOf("icp-owner", lowerAscii(domain));
    std::string s = pageHead("ICP备案查询 - " + shown, utf8);
    s += stylePadding("icp", 3000);
    s += "</head>\r\n<body>\r\n";
    s += "<div class=\"nav\"><a href=\"/icp/\">备案查询</a> | <a href=\"/\">首页</a></div>\r\n";
    s += "<form action=\"/icp/\" method=\"get\"><input type=\"text\" name=\"domain\" value=\"" +
         shown + "\" /> <input type=\"submit\" value=\"查询\" /></form>\r\n";
    s += "<div class=\"result\">\r\n";
    if (isFiled(domain)) {
        static constexpr std::array<std::string_view, 4> kOwners = {
            "北京青岚网络科技有限公司", "上海远山信息技术有限公司", "广州北辰数据服务有限公司",
            "个人"};
        const std::string_view owner = kOwners[h % kOwners.size()];
        s += "<table class=\"icp\" cellspacing=\"0\">\r\n";
        s += "<tr><td>主办单位名称</td><td>";
        s += owner;
        s += "</td></tr>\r\n<tr><td>主办单位性质</td><td>";
        s += owner == "个人" ? "个人" : "企业";
        s += "</td></tr>\r\n";
        s += kIcpNumberLabel;
        s += filingNumber(domain) + "</td></tr>\r\n";
        s += "<tr><td>网站名称</td><td>" + shown + " 官方网站</td></tr>\r\n";
        s += "<tr><td>网站首页网址</td><td>www." + shown + "</td></tr>\r\n";
        s += "<tr><td>审核时间</td><td>20" + twoDigits(15 + (h >> 8) % 10) + "-" +
             twoDigits(1 + (h >> 16) % 12) + "-" + twoDigits(1 + (h >> 24) % 28) +
             "</td></tr>\r\n</table>\r\n";
    } else {
        s += "<p class=\"empty\">没有查询到 " + shown + " 的备案信息，该域名";
        s += kNotFiledText;
        s += "或备案已被注销。</p>\r\n";
    }
    s += "</div>\r\n<div class=\"footer\">备案信息仅供参考，以管理部门公布的结果为准。</div>\r\n";
    s += "</body>\r\n</html>\r\n";
    return s;
}

// ---- Small pages ----------------------------------------------------------------------------

std::string indexPage(bool utf8) {
    std::string s = pageHead(std::string(kSiteName), utf8);
    s += "</head>\r\n<body>\r\n<h1>";
    s += kSiteName;
    s += "（模拟）</h1>\r\n<ul>\r\n";
    s += "<li><a href=\"/search?p=1\">/search?p=N</a> 删除域名列表</li>\r\n";
    s += "<li><a href=\"/backorder/qiyun4821.com\">/backorder/DOMAIN</a> 域名详情</li>\r\n";
    s += "<li><a href=\"/icp/qiyun4821.com\">/icp/DOMAIN</a> 备案查询</li>\r\n";
    s += "<li><a href=\"/vendor/forum\">/vendor/forum</a> 站长论坛</li>\r\n";
    s += "<li><a href=\"/vendor/home\">/vendor/home</a> 会员中心</li>\r\n";
    s += "</ul>\r\n</body>\r\n</html>\r\n";
    return s;
}

std::string vendorPage(std::string_view which, bool utf8) {
    const bool forum = which == "forum";
    std::string s = pageHead(forum ? "站长论坛" : "会员中心", utf8);
    s += "</head>\r\n<body>\r\n";
    s += navBar();
    if (forum) {
        s += "<h1>站长论坛</h1>\r\n<ul><li>新手入门：如何预订删除域名</li>"
             "<li>经验分享：短域名的价值判断</li><li>公告：系统维护通知</li></ul>\r\n";
    } else {
        s += "<h1>会员中心</h1>\r\n<p>请先登录后查看预订记录和保证金明细。</p>\r\n";
    }
    s += "</body>\r\n</html>\r\n";
    return s;
}

std::string helpPage(bool utf8) {
    std::string s = pageHead("预订说明 - " + std::string(kSiteName), utf8);
    s += "</head>\r\n<body>\r\n";
    s += navBar();
    s += "<h1>预订说明</h1>\r\n";
    s += footerPadding(1500);
    s += "</body>\r\n</html>\r\n";
    return s;
}

std::string errorPage(int status) {
    std::string_view title = "Error";
    std::string_view text = "请求出错";
    switch (status) {
        case 400:
            title = "Bad Request";
            text = "请求格式错误";
            break;
        case 404:
            title = "Not Found";
            text = "页面不存在";
            break;
        case 405:
            title = "Method Not Allowed";
            text = "不支持的请求方法";
            break;
        case 429:
            title = "Too Many Requests";
            text = "请求过于频繁，请稍后再试";
            break;
        case 500:
            title = "Internal Server Error";
            text = "服务器内部错误";
            break;
        case 503:
            title = "Service Unavailable";
            text = "服务暂时不可用";
            break;
        default:
            break;
    }
    return "<html><body><h1>" + std::to_string(status) + " " + std::string(title) + "</h1>" +
           std::string(text) + "</body></html>";
}

}  // namespace jilan::sim
