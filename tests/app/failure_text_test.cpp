#include "app/failure_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace jilan::app {
namespace {

struct TextCase {
    const char* rule;
    const char* code;
    long status;
    const char* detail;
    std::string expected;
};

TEST(FailureText, EachNetworkCauseHasItsOwnChineseWords) {
    const TextCase cases[] = {
        {"refused connection", "refused", 0, "curl says", "无法连接服务器"},
        {"name not resolved", "host-not-resolved", 0, "curl says", "无法解析主机名"},
        {"connection cut", "connection-cut", 0, "curl says", "连接中断"},
        {"no connection in time", "connect-timeout", 0, "curl says", "连接超时"},
        {"connected, then no answer in time", "response-timeout", 0, "curl says", "响应超时"},
        {"body over the cap", "too-large", 0, "curl says", "页面过大"},
        {"redirect loop", "too-many-redirects", 0, "curl says", "重定向过多"},
        {"redirect to a file", "redirect-refused", 0, "curl says", "重定向到不支持的地址"},
        {"address refused before sending", "unsupported-address", 0, "curl says", "不支持的地址"},
        {"wait abandoned", "cancelled", 0, "curl says", "已取消"},
        {"error status names its number", "http-status", 503, "curl says", "服务器返回 503"},
        {"not found names its number", "http-status", 404, "", "服务器返回 404"},
        {"unknown cause carries the technical detail", "unknown", 0, "Weird SSL thing",
         "未知错误（Weird SSL thing）"},
        {"code from a newer network layer without detail names the code", "something-new", 0, "",
         "未知错误（something-new）"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(failureText(c.code, c.status, c.detail), c.expected);
    }
}

TEST(FileFailureText, EachErrnoOfTheTableHasChineseWordsAndTheRestAreUnknown) {
    struct FileCase {
        const char* rule;
        int errnum;
        std::string detail;
        bool notRegular;
        std::string expected;
    };
    const FileCase cases[] = {
        {"no permission", EACCES, "", false, "权限不足"},
        {"operation not permitted", EPERM, "", false, "权限不足"},
        {"read-only file system", EROFS, "", false, "只读文件系统"},
        {"disk full", ENOSPC, "ignored", false, "磁盘空间不足"},
        {"file size limit", EFBIG, "", false, "文件过大"},
        {"missing folder", ENOENT, "", false, "文件夹不存在"},
        {"target is a folder", EISDIR, "", false, "是文件夹"},
        {"pipe without a reader", ENXIO, "", false, "没有读取方"},
        {"reader went away", EPIPE, "", false, "读取方已关闭"},
        {"socket or other kind", 0, "target is not a file", true, "不是普通文件"},
        {"errno outside the table keeps the system's words", EBADF, "", false,
         "未知错误（Bad file descriptor）"},
        {"no errno carries the detail", 0, "short read", false, "未知错误（short read）"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(fileFailureText(c.errnum, c.detail, c.notRegular), c.expected);
    }
}

}  // namespace
}  // namespace jilan::app
