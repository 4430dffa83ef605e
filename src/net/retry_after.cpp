#include "retry_after.h"

#include <array>
#include <cstddef>
#include <string>

#include "base/ascii_text.h"

namespace jilan::net {

namespace {

using std::chrono::system_clock;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kShortDays = {"Mon", "Tue", "Wed", "Thu",
                                                        "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDays = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

// A left-to-right reader of the fixed date layouts.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool literal(std::string_view what) {
        if (text_.substr(at_, what.size()) != what) {
            return false;
        }
        at_ += what.size();
        return true;
    }
    // Exactly `width` digits.
    bool number(std::size_t width, int& value) {
        if (at_ + width > text_.size()) {
            return false;
        }
        int v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const char c = text_[at_ + i];
            if (!base::isAsciiDigit(c)) {
                return false;
            }
            v = v * 10 + (c - '0');
        }
        value = v;
        at_ += width;
        return true;
    }
    template <std::size_t N>
    bool oneOf(const std::array<std::string_view, N>& names, int* index = nullptr) {
        for (std::size_t i = 0; i < N; ++i) {
            if (literal(names[i])) {
                if (index != nullptr) {
                    *index = static_cast<int>(i);
                }
                return true;
            }
        }
        return false;
    }
    bool time(int& h, int& m, int& s) {
        return number(2, h) && literal(":") && number(2, m) && literal(":") && number(2, s);
    }
    bool atEnd() const { return at_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

struct Parts {
    int year = 0;
    int month = 0;  // 0-based
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Sun, 06 Nov 1994 08:49:37 GMT
bool imfFixdate(std::string_view text, Parts& p) {
    Reader r(text);
    return r.oneOf(kShortDays) && r.literal(", ") && r.number(2, p.day) && r.literal(" ") &&
           r.oneOf(kMonths, &p.month) && r.literal(" ") && r.number(4, p.year) && r.literal(" ") &&
           r.time(p.hour, p.minute, p.second) && r.literal(" GMT") && r.atEnd();
}

// Sunday, 06-Nov-94 08:49:37 GMT (two-digit year)
bool rfc850(std::string_view text, Parts& p) {
    Reader r(text);
    return r.oneOf(kLongDays) && r.literal(", ") && r.number(2, p.day) && r.literal("-") &&
           r.oneOf(kMonths, &p.month) && r.literal("-") && r.number(2, p.year) && r.literal(" ") &&
           r.time(p.hour, p.minute, p.second) && r.literal(" GMT") && r.atEnd();
}

// Sun Nov  6 08:49:37 1994 (the day padded with a space)
bool asctime(std::string_view text, Parts& p) {
    Reader r(text);
    if (!(r.oneOf(kShortDays) && r.literal(" ") && r.oneOf(kMonths, &p.month) && r.literal(" "))) {
        return false;
    }
    if (!(r.literal(" ") ? r.number(1, p.day) : r.number(2, p.day))) {
        return false;
    }
    return r.literal(" ") && r.time(p.hour, p.minute, p.second) && r.literal(" ") &&
           r.number(4, p.year) && r.atEnd();
}

std::optional<system_clock::time_point> toTimePoint(const Parts& p) {
    using namespace std::chrono;
    const year_month_day date{year{p.year}, month{static_cast<unsigned>(p.month + 1)},
                              day{static_cast<unsigned>(p.day)}};
    // 60 seconds: a leap second is written as :60.
    if (!date.ok() || p.hour > 23 || p.minute > 59 || p.second > 60) {
        return std::nullopt;
    }
    return sys_days{date} + hours{p.hour} + minutes{p.minute} + seconds{p.second};
}

int yearOf(system_clock::time_point t) {
    using namespace std::chrono;
    return static_cast<int>(year_month_day{floor<days>(t)}.year());
}

}  // namespace

std::optional<system_clock::time_point> parseHttpDate(std::string_view text,
                                                      system_clock::time_point now) {
    text = base::trimBlanks(text);
    Parts p;
    if (imfFixdate(text, p) || asctime(text, p)) {
        return toTimePoint(p);
    }
    if (!rfc850(text, p)) {
        return std::nullopt;
    }
    // A two-digit year more than 50 years ahead means the century before.
    const int nowYear = yearOf(now);
    int year = nowYear / 100 * 100 + p.year;
    if (year > nowYear + 50) {
        year -= 100;
    } else if (year <= nowYear - 50) {
        year += 100;
    }
    p.year = year;
    return toTimePoint(p);
}

std::chrono::milliseconds retryAfterWait(std::optional<std::string_view> value,
                                         system_clock::time_point now) {
    using std::chrono::milliseconds;
    constexpr milliseconds longest = kRetryAfterLongest;
    if (!value) {
        return kRetryAfterAbsent;
    }
    const std::string_view text = base::trimBlanks(*value);
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
        // Read no further than the limit: a long run of digits must not overflow.
        long long seconds = 0;
        for (const char c : text) {
            seconds = seconds * 10 + (c - '0');
            if (seconds >= kRetryAfterLongest.count()) {
                return longest;
            }
        }
        return std::chrono::seconds{seconds};
    }
    const auto date = parseHttpDate(text, now);
    if (!date) {
        return kRetryAfterAbsent;
    }
    if (*date <= now) {
        return milliseconds{0};
    }
    const auto wait = std::chrono::ceil<milliseconds>(*date - now);
    return wait > longest ? longest : wait;
}

}  // namespace jilan::net
