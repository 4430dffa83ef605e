#pragma once

// What a number, money or time cell's text stands for, for a workbook that stores it as a
// number a spreadsheet can sort and sum. Only a text that is wholly one reads as one: "1280",
// "1,280 元", "2026-12-07 09:00:00"; anything else ("押金 50 元", "约 3 天") stays text.

#include <optional>
#include <string_view>

namespace jilan::exporting {

// A decimal number, thousands separators allowed: "12", "-3.5", "1,280.50".
std::optional<double> plainNumber(std::string_view text);

enum class Currency { Yuan, Dollar };
struct Money {
    double amount = 0;
    Currency currency = Currency::Yuan;
};
// A number with at most one currency mark before or after it: "¥1,280", "1280 元", "$12",
// "12 USD", "1280" (a bare number counts as yuan, the market's currency).
std::optional<Money> moneyOf(std::string_view text);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" ('/' also between the date's
// parts), a real calendar date from 1900 on.
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    enum class Precision { Day, Minute, Second } precision = Precision::Second;
};
std::optional<DateTime> dateTimeOf(std::string_view text);

}  // namespace jilan::exporting
