#include "base/typed_name.h"

#include "base/utf8.h"

namespace jilan::base {

std::string foldTypedName(std::string_view typed) {
    std::string out;
    out.reserve(typed.size());
    for (std::size_t at = 0; at < typed.size();) {
        const Utf8Step step = utf8Step(typed, at);
        const char32_t cp = step.codePoint;
        if (step.valid && cp >= 0xFF01 && cp <= 0xFF5E) {
            out.push_back(static_cast<char>(cp - 0xFEE0));
        } else if (step.valid && (cp == 0x3002 || cp == 0xFF61)) {
            out.push_back('.');
        } else if (step.valid && cp == 0x3000) {
            out.push_back(' ');
        } else {
            out.append(typed.substr(at, step.length));
        }
        at += step.length;
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

}  // namespace jilan::base
