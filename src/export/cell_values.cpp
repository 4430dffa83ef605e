#include "export/cell_values.h"

#include <array>
#include <charconv>
#include <string>

#include "base/ascii_text.h"

namespace jilan::exporting {

namespace {

// Exactly `width` digits.
std::optional<int> digits(std::string_view text, std::size_t width) {
    if (text.size() != width) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (!base::isAsciiDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int year, int month) {
    constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

struct CurrencyMark {
    std::string_view text;
    Currency currency;
};
constexpr std::array<CurrencyMark, 4> kLeadingMarks = {{
    {"\xC2\xA5", Currency::Yuan},      // ¥
    {"\xEF\xBF\xA5", Currency::Yuan},  // ￥ (full width)
    {"$", Currency::Dollar},
    {"US$", Currency::Dollar},
}};
constexpr std::array<CurrencyMark, 7> kTrailingMarks = {{
    {"元", Currency::Yuan},
    {"人民币", Currency::Yuan},
    {"RMB", Currency::Yuan},
    {"CNY", Currency::Yuan},
    {"美元", Currency::Dollar},
    {"USD", Currency::Dollar},
    {"\xC2\xA5", Currency::Yuan},
}};

}  // namespace

std::optional<double> plainNumber(std::string_view text) {
    text = base::trimBlanks(text);
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        // A thousands separator stands between digits only.
        if (c == ',') {
            if (i == 0 || !base::isAsciiDigit(text[i - 1]) || i + 1 >= text.size() ||
                !base::isAsciiDigit(text[i + 1])) {
                return std::nullopt;
            }
            continue;
        }
        if (!base::isAsciiDigit(c) && c != '.' && !(c == '-' && i == 0)) {
            return std::nullopt;
        }
        plain.push_back(c);
    }
    if (plain.empty() || plain == "-" || plain.back() == '.' || plain.front() == '.') {
        return std::nullopt;
    }
    double value = 0;
    const char* end = plain.data() + plain.size();
    const auto [stop, error] = std::from_chars(plain.data(), end, value);
    if (error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<Money> moneyOf(std::string_view text) {
    text = base::trimBlanks(text);
    Money money;
    bool marked = false;
    for (const CurrencyMark& mark : kLeadingMarks) {
        if (text.starts_with(mark.text)) {
            text.remove_prefix(mark.text.size());
            money.currency = mark.currency;
            marked = true;
            break;
        }
    }
    if (!marked) {  // no mark in front: one may follow
        for (const CurrencyMark& mark : kTrailingMarks) {
            if (text.ends_with(mark.text)) {
                text.remove_suffix(mark.text.size());
                money.currency = mark.currency;
                break;
            }
        }
    }
    const std::optional<double> amount = plainNumber(text);
    if (!amount || *amount < 0) {
        return std::nullopt;
    }
    money.amount = *amount;
    return money;
}

std::optional<DateTime> dateTimeOf(std::string_view text) {
    text = base::trimBlanks(text);
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) {
        return std::nullopt;
    }
    const char dateSeparator = text[4];
    if ((dateSeparator != '-' && dateSeparator != '/') || text[7] != dateSeparator) {
        return std::nullopt;
    }
    const auto year = digits(text.substr(0, 4), 4);
    const auto month = digits(text.substr(5, 2), 2);
    const auto day = digits(text.substr(8, 2), 2);
    if (!year || !month || !day || *year < 1900 || *month < 1 || *month > 12 || *day < 1 ||
        *day > daysIn(*year, *month)) {
        return std::nullopt;
    }
    DateTime at{.year = *year, .month = *month, .day = *day};
    if (text.size() == 10) {
        at.precision = DateTime::Precision::Day;
        return at;
    }
    const auto hour = digits(text.substr(11, 2), 2);
    const auto minute = digits(text.substr(14, 2), 2);
    if (text[10] != ' ' || text[13] != ':' || !hour || !minute || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    at.hour = *hour;
    at.minute = *minute;
    if (text.size() == 16) {
        at.precision = DateTime::Precision::Minute;
        return at;
    }
    const auto second = digits(text.substr(17, 2), 2);
    if (text[16] != ':' || !second || *second > 59) {
        return std::nullopt;
    }
    at.second = *second;
    return at;
}

}  // namespace jilan::exporting
