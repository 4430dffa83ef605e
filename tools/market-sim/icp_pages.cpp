// The ICP lookup site: GET /icp/DOMAIN.
#include "sim_content.h"

#include <array>
#include <cstdint>
#include <string>

#include "page_parts.h"

namespace jilan::sim {

using namespace parts;

// ---- ICP ------------------------------------------------------------------------------------

bool isFiled(std::string_view domain) {
    return hashOf("icp", lowerAscii(domain)) % 5 < 3;
}

std::string filingNumber(std::string_view domain) {
    return isFiled(domain) ? assignedFilingNumber(domain) : std::string();
}

std::string assignedFilingNumber(std::string_view domain) {
    static constexpr std::array<std::string_view, 10> kProvinces = {"京", "沪", "粤", "浙", "苏",
                                                                    "川", "鲁", "闽", "湘", "鄂"};
    const std::uint64_t h = hashOf("icp-number", lowerAscii(domain));
    std::string out(kProvinces[h % kProvinces.size()]);
    out += "ICP备" + std::to_string(10000000 + (h >> 8) % 90000000) + "号-" +
           std::to_string(1 + (h >> 40) % 3);
    return out;
}

std::string icpPage(std::string_view domain, bool utf8) {
    return icpPageWith(domain, filingNumber(domain), utf8);
}

std::string icpPageWith(std::string_view domain, std::string_view number, bool utf8) {
    const std::string shown = htmlEscape(domain);
    const std::uint64_t h = hashOf("icp-owner", lowerAscii(domain));
    std::string s = pageHead("ICP备案查询 - " + shown, utf8);
    s += stylePadding("icp", 3000);
    s += "</head>\r\n<body>\r\n";
    s += "<div class=\"nav\"><a href=\"/icp/\">备案查询</a> | <a href=\"/\">首页</a></div>\r\n";
    s += "<form action=\"/icp/\" method=\"get\"><input type=\"text\" name=\"domain\" value=\"" +
         shown + "\" /> <input type=\"submit\" value=\"查询\" /></form>\r\n";
    s += "<div class=\"result\">\r\n";
    if (!number.empty()) {
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
        s += std::string(number) + "</td></tr>\r\n";
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

}  // namespace jilan::sim
