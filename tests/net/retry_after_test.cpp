#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "net/retry_after.h"

namespace {

using namespace std::chrono;
using jilan::net::parseHttpDate;
using jilan::net::retryAfterWait;

// Monday, 7 December 2026, 12:00:00 GMT.
const system_clock::time_point kNow = sys_days{2026y / December / 7} + 12h;

struct WaitCase {
    const char* rule;
    std::optional<std::string> header;
    milliseconds expected;
};

const WaitCase kWaits[] = {
    {"absent header waits a minute", std::nullopt, 60s},
    {"delta seconds", "120", 120s},
    {"delta seconds with spaces", " 5 ", 5s},
    {"zero asks for no wait", "0", 0s},
    {"longer than ten minutes is cut", "601", 600s},
    {"huge number does not overflow", "99999999999999999999999", 600s},
    {"negative is unreadable", "-5", 60s},
    {"fraction is unreadable", "1.5", 60s},
    {"empty is unreadable", "", 60s},
    {"words are unreadable", "soon", 60s},
    {"imf fixdate", "Mon, 07 Dec 2026 12:00:30 GMT", 30s},
    {"rfc 850 date", "Monday, 07-Dec-26 12:01:30 GMT", 90s},
    {"asctime date", "Mon Dec  7 12:00:45 2026", 45s},
    {"date in the past asks for no wait", "Sun, 06 Dec 2026 12:00:00 GMT", 0s},
    {"date far ahead is cut", "Tue, 08 Dec 2026 12:00:00 GMT", 600s},
    {"impossible day is unreadable", "Mon, 31 Feb 2026 12:00:00 GMT", 60s},
    {"zone other than GMT is unreadable", "Mon, 07 Dec 2026 12:00:30 CET", 60s},
};

TEST(RetryAfter, WaitFollowsTheHeader) {
    for (const WaitCase& c : kWaits) {
        const std::optional<std::string_view> header =
            c.header ? std::optional<std::string_view>(*c.header) : std::nullopt;
        EXPECT_EQ(retryAfterWait(header, kNow), c.expected) << c.rule;
    }
}

struct DateCase {
    const char* rule;
    std::string text;
    system_clock::time_point expected;
};

TEST(RetryAfter, TwoDigitYearsPickTheNearerCentury) {
    const DateCase cases[] = {
        {"year 94 is the last century", "Sunday, 06-Nov-94 08:49:37 GMT",
         sys_days{1994y / November / 6} + 8h + 49min + 37s},
        {"year 70 is this century (under 50 years ahead)", "Thursday, 06-Nov-70 08:49:37 GMT",
         sys_days{2070y / November / 6} + 8h + 49min + 37s},
        {"three forms of one moment agree", "Sun Nov  6 08:49:37 1994",
         sys_days{1994y / November / 6} + 8h + 49min + 37s},
    };
    for (const DateCase& c : cases) {
        const auto parsed = parseHttpDate(c.text, kNow);
        ASSERT_TRUE(parsed.has_value()) << c.rule;
        EXPECT_EQ(*parsed, c.expected) << c.rule;
    }
}

}  // namespace
