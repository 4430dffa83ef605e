#include "net/url_check.h"

#include <gtest/gtest.h>

#include <string>

#include "net/fetch_result.h"

namespace jilan::net {
namespace {

struct UrlCase {
    const char* rule;
    std::string url;
    bool sendable;
    bool openable;
};

TEST(UrlCheck, OnlyHttpWithoutControlBytesLeavesTheProgram) {
    const UrlCase cases[] = {
        {"plain http", "http://m.example/backorder/a.com", true, true},
        {"plain https", "https://m.example/", true, true},
        {"line break could start a header", "http://m.example/a\r\nX: 1", false, false},
        {"space could end the request line", "http://m.example/a b", false, false},
        {"tab", "http://m.example/a\tb", false, false},
        {"delete byte", std::string("http://m.example/a\x7f"), false, false},
        {"file scheme", "file:///etc/passwd", false, false},
        {"ftp scheme", "ftp://m.example/x", false, false},
        {"scheme in capitals is not ours", "HTTP://m.example/", false, false},
        {"empty", "", false, false},
        {"no host for a browser", "http:///path", true, false},
        {"nothing after the scheme", "https://", true, false},
        {"query straight after the scheme", "http://?q=1", true, false},
        {"non-ASCII path bytes are sent as they are", "http://m.example/\xe5\x9f\x9f", true, true},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(sendableUrl(c.url), c.sendable);
        EXPECT_EQ(openableUrl(c.url), c.openable);
    }
}

TEST(FailureCause, EveryKindHasItsOwnStableCode) {
    struct CodeCase {
        FailureKind kind;
        const char* code;
    };
    const CodeCase cases[] = {
        {FailureKind::Refused, "refused"},
        {FailureKind::ConnectTimeout, "connect-timeout"},
        {FailureKind::ResponseTimeout, "response-timeout"},
        {FailureKind::HostNotResolved, "host-not-resolved"},
        {FailureKind::ConnectionCut, "connection-cut"},
        {FailureKind::TooLarge, "too-large"},
        {FailureKind::TooManyRedirects, "too-many-redirects"},
        {FailureKind::RedirectRefused, "redirect-refused"},
        {FailureKind::UnsupportedAddress, "unsupported-address"},
        {FailureKind::HttpStatus, "http-status"},
        {FailureKind::Cancelled, "cancelled"},
        {FailureKind::Unknown, "unknown"},
        {FailureKind::None, ""},
    };
    for (const CodeCase& c : cases) {
        EXPECT_EQ(causeCode(c.kind), c.code);
    }
}

}  // namespace
}  // namespace jilan::net
