#include "page_parts.h"

#include <array>

namespace jilan::sim::parts {

namespace {

std::string charsetName(bool utf8) {
    return utf8 ? "utf-8" : "gbk";
}

}  // namespace

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

std::uint64_t hashOf(std::string_view salt, std::uint64_t value) {
    std::uint64_t z = value + hashOf(salt, std::string_view{}) + 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

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

}  // namespace jilan::sim::parts
