#pragma once

#include <string_view>

namespace jilan::base {

// ASCII digits only: a full-width digit or a byte of a multi-byte character is never one.
constexpr bool isAsciiDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Without the spaces and tabs around it: how header values and typed cells are read.
constexpr std::string_view trimBlanks(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace jilan::base
