#include "page_limit.h"

#include <cmath>
#include <cstddef>

#include "base/ascii_text.h"

namespace jilan::harvest {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<double> parsePageLimit(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    double value = 0;
    std::size_t digits = 0;
    while (i < n && base::isAsciiDigit(text[i])) {
        value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < n && base::isAsciiDigit(text[i])) {
            value += (text[i] - '0') * scale;
            scale /= 10;
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    while (i < n && isSpace(text[i])) {
        ++i;
    }
    if (i != n || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string pageBoxQuery(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == ' ') {
            out += "%20";
        } else if (c == '\t') {
            out += "%09";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace jilan::harvest
