// Site times are Beijing time whatever the machine's zone; the reminders' arithmetic rests on them.
#include "base/beijing_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace jilan::base {
namespace {

// 2026-12-07 16:00:00 UTC is 2026-12-08 00:00 in Beijing.
constexpr std::int64_t kMidnightDec8 = 1796659200;

TEST(BeijingTime, SiteTimesReadAsUtcPlusEight) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> utc;
    };
    for (const Case& c : {
             Case{"2026-12-08 00:00", kMidnightDec8},
             Case{"2026-12-08 03:00:00", kMidnightDec8 + 3 * 3600},
             Case{" 2026/12/08T03:00:59 ", kMidnightDec8 + 3 * 3600 + 59},
             Case{"2024-02-29 08:00", 1709164800},  // leap day, 00:00 UTC
             Case{"1970-01-01 08:00", 0},
             Case{"2025-02-29 08:00", std::nullopt},  // no leap day that year
             Case{"2026-13-01 00:00", std::nullopt},
             Case{"2026-12-08 24:00", std::nullopt},
             Case{"2026-12-08", std::nullopt},
             Case{"2026-12-08 03:00:5", std::nullopt},
             Case{"2026-12-8 03:00", std::nullopt},
             Case{"已结束", std::nullopt},
         }) {
        EXPECT_EQ(parseBeijingTime(c.text), c.utc) << c.text;
    }
}

TEST(BeijingTime, FormattingGivesBackTheSiteTimeAcrossYearsAndDays) {
    for (const char* text : {"2026-12-08 03:00", "2026-12-31 23:59", "2027-01-01 00:00",
                             "2024-02-29 07:59", "1969-12-31 23:00"}) {
        const auto utc = parseBeijingTime(text);
        ASSERT_TRUE(utc.has_value()) << text;
        EXPECT_EQ(formatBeijingTime(*utc), text);
    }
}

TEST(BeijingTime, SpansAreSaidInDaysHoursAndMinutes) {
    struct Case {
        std::int64_t seconds;
        const char* text;
    };
    for (const Case& c :
         {Case{7080, "1 小时 58 分"}, Case{7200, "2 小时"}, Case{7260, "2 小时 1 分"},
          Case{59, "不到 1 分"}, Case{-30, "不到 1 分"}, Case{720, "12 分"},
          Case{2 * 86400 + 3 * 3600 + 120, "2 天 3 小时"}, Case{86400, "1 天"}}) {
        EXPECT_EQ(spanText(c.seconds), c.text) << c.seconds;
    }
}

}  // namespace
}  // namespace jilan::base
