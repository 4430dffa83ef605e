#include "failure_text.h"

#include <array>
#include <system_error>

namespace jilan::app {

namespace {

struct CauseText {
    std::string_view code;
    std::string_view text;
};

// Several causes share one text for now; each has its own row so that a cause can get
// its own words here without touching the network code.
constexpr std::array<CauseText, 11> kCauseTexts{{
    {.code = "refused", .text = "连接失败"},
    {.code = "connect-timeout", .text = "请求超时"},
    {.code = "response-timeout", .text = "请求超时"},
    {.code = "host-not-resolved", .text = "连接失败"},
    {.code = "connection-cut", .text = "连接失败"},
    {.code = "too-large", .text = "页面过大"},
    {.code = "too-many-redirects", .text = "重定向无效"},
    {.code = "redirect-refused", .text = "重定向无效"},
    {.code = "unsupported-address", .text = "地址无效"},
    {.code = "cancelled", .text = "已取消"},
    {.code = "unknown", .text = "连接失败"},
}};

}  // namespace

std::string failureText(std::string_view code, long httpStatus, std::string_view detail) {
    (void)detail;
    if (code == "http-status") {
        return "HTTP " + std::to_string(httpStatus);
    }
    for (const CauseText& row : kCauseTexts) {
        if (row.code == code) {
            return std::string(row.text);
        }
    }
    return "连接失败";
}

std::string fileFailureText(int errnum, std::string_view detail) {
    if (errnum <= 0) {
        return std::string(detail);
    }
    return std::generic_category().message(errnum);
}

}  // namespace jilan::app
