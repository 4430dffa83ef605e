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
    std::string expected;
};

TEST(FailureText, EachCauseGetsTheStatusLineWordsOfToday) {
    const TextCase cases[] = {
        {"refused connection", "refused", 0, "连接失败"},
        {"name not resolved", "host-not-resolved", 0, "连接失败"},
        {"connection cut", "connection-cut", 0, "连接失败"},
        {"no connection in time", "connect-timeout", 0, "请求超时"},
        {"no answer in time", "response-timeout", 0, "请求超时"},
        {"body over the cap", "too-large", 0, "页面过大"},
        {"redirect loop", "too-many-redirects", 0, "重定向无效"},
        {"redirect to a file", "redirect-refused", 0, "重定向无效"},
        {"address refused before sending", "unsupported-address", 0, "地址无效"},
        {"wait abandoned", "cancelled", 0, "已取消"},
        {"error status names its number", "http-status", 503, "HTTP 503"},
        {"unknown cause", "unknown", 0, "连接失败"},
        {"code from a newer network layer", "something-new", 0, "连接失败"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(failureText(c.code, c.status, "curl says something"), c.expected);
    }
}

TEST(FileFailureText, ErrnoGivesTheSystemMessageAndNoErrnoTheDetail) {
    struct FileCase {
        const char* rule;
        int errnum;
        std::string detail;
        std::string expected;
    };
    const FileCase cases[] = {
        {"missing folder", ENOENT, "", "No such file or directory"},
        {"no permission", EACCES, "", "Permission denied"},
        {"disk full", ENOSPC, "ignored", "No space left on device"},
        {"not a regular file has no errno", 0, "not a regular file", "not a regular file"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(fileFailureText(c.errnum, c.detail), c.expected);
    }
}

}  // namespace
}  // namespace jilan::app
