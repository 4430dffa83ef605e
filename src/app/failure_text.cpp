#include "failure_text.h"

#include <array>
#include <cerrno>
#include <system_error>

namespace jilan::app {

namespace {

struct CauseText {
    std::string_view code;
    std::string_view text;
};

// Every cause has its own row, so that its words can change here without touching the
// network code.
constexpr std::array<CauseText, 10> kCauseTexts{{
    {.code = "refused", .text = "无法连接服务器"},
    {.code = "connect-timeout", .text = "连接超时"},
    {.code = "response-timeout", .text = "响应超时"},
    {.code = "host-not-resolved", .text = "无法解析主机名"},
    {.code = "connection-cut", .text = "连接中断"},
    {.code = "too-large", .text = "页面过大"},
    {.code = "too-many-redirects", .text = "重定向过多"},
    {.code = "redirect-refused", .text = "重定向到不支持的地址"},
    {.code = "unsupported-address", .text = "不支持的地址"},
    {.code = "cancelled", .text = "已取消"},
}};

struct ErrnoText {
    int errnum;
    std::string_view text;
};

constexpr std::array<ErrnoText, 11> kErrnoTexts{{
    {.errnum = EACCES, .text = "权限不足"},
    {.errnum = EPERM, .text = "权限不足"},
    {.errnum = EROFS, .text = "只读文件系统"},
    {.errnum = ENOSPC, .text = "磁盘空间不足"},
    {.errnum = EDQUOT, .text = "磁盘空间不足"},
    {.errnum = EFBIG, .text = "文件过大"},
    {.errnum = ENOENT, .text = "文件夹不存在"},
    {.errnum = ENOTDIR, .text = "文件夹不存在"},  // a part of the path is a file
    {.errnum = EISDIR, .text = "是文件夹"},
    {.errnum = ENXIO, .text = "没有读取方"},
    {.errnum = EPIPE, .text = "读取方已关闭"},
}};

std::string unknown(std::string_view detail) {
    if (detail.empty()) {
        return "未知错误";
    }
    return "未知错误（" + std::string(detail) + "）";
}

}  // namespace

std::string failureText(std::string_view code, long httpStatus, std::string_view detail) {
    if (code == "http-status") {
        return "服务器返回 " + std::to_string(httpStatus);
    }
    for (const CauseText& row : kCauseTexts) {
        if (row.code == code) {
            return std::string(row.text);
        }
    }
    return unknown(detail.empty() ? code : detail);
}

std::string fileFailureText(int errnum, std::string_view detail, bool notRegularFile) {
    if (notRegularFile) {
        return "不是普通文件";
    }
    if (errnum <= 0) {
        return unknown(detail);
    }
    for (const ErrnoText& row : kErrnoTexts) {
        if (row.errnum == errnum) {
            return std::string(row.text);
        }
    }
    return unknown(std::generic_category().message(errnum));
}

}  // namespace jilan::app
