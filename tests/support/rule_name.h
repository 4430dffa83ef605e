#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace jilan::testing {

// A table row's rule as a test name: every character other than a letter or digit becomes "_".
inline std::string ruleName(std::string_view rule) {
    std::string name(rule);
    for (char& ch : name) {
        ch = std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    }
    return name;
}

}  // namespace jilan::testing
