// The small pages around the marketplace: index, vendor forum and home, help, error bodies.
#include "sim_content.h"

#include <string>

#include "page_parts.h"

namespace jilan::sim {

using namespace parts;

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

std::string noMarkersPage(bool utf8) {
    std::string s = pageHead("系统维护 - " + std::string(kSiteName), utf8);
    s += stylePadding("maint", 2000);
    s += "</head>\r\n<body>\r\n";
    s += navBar();
    s += "<h1>系统维护中</h1>\r\n<p>本站正在进行例行维护，部分数据暂时无法显示，请稍后再试。</"
         "p>\r\n";
    s += "<p>维护期间已提交的预订不受影响。</p>\r\n</body>\r\n</html>\r\n";
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
