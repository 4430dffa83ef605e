#include "domain_name.h"

#include <cstddef>

#include "utf8.h"

namespace jilan::base {

namespace {

constexpr std::size_t kMaxLabel = 63;
constexpr std::size_t kMaxName = 253;

// Non-ASCII characters that are spaces, punctuation, controls or replacement marks rather
// than letters of a name.
bool nonLetter(char32_t cp) {
    struct Range {
        char32_t from, to;
    };
    static constexpr Range kRanges[] = {
        {0x80, 0xBF},      // C1 controls, no-break space, Latin-1 punctuation
        {0xD7, 0xD7},      // multiplication sign
        {0xF7, 0xF7},      // division sign
        {0x2000, 0x206F},  // general punctuation and spaces
        {0x3000, 0x303F},  // CJK symbols and punctuation (full-width space, 。)
        {0xFE30, 0xFE4F},  // CJK compatibility forms
        {0xFEFF, 0xFEFF},  // a byte-order mark inside the text
        {0xFF00, 0xFF0F},  // full-width punctuation
        {0xFF1A, 0xFF20}, {0xFF3B, 0xFF40},
        {0xFF5B, 0xFF65}, {0xFFF0, 0xFFFF},  // specials, U+FFFD included
    };
    for (const Range& r : kRanges) {
        if (cp >= r.from && cp <= r.to) {
            return true;
        }
    }
    return false;
}

bool isAsciiAlnum(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::optional<std::string> domainProblem(std::string_view name) {
    std::size_t chars = 0;
    std::size_t labels = 1;
    std::size_t labelChars = 0;
    char32_t previous = '.';
    bool emptyLabel = false;
    bool longLabel = false;
    bool hyphenEdge = false;
    for (std::size_t at = 0; at < name.size();) {
        const base::Utf8Step step = base::utf8Step(name, at);
        const char32_t cp = step.valid ? step.codePoint : char32_t{0xFFFD};
        at += step.length;
        ++chars;
        if (cp == '.') {
            emptyLabel = emptyLabel || labelChars == 0;
            hyphenEdge = hyphenEdge || previous == '-';
            ++labels;
            labelChars = 0;
        } else if (cp == '-' || isAsciiAlnum(cp) || (cp >= 0x80 && !nonLetter(cp))) {
            hyphenEdge = hyphenEdge || (cp == '-' && previous == '.');
            longLabel = longLabel || ++labelChars > kMaxLabel;
        } else {
            return std::string("含有域名中不能出现的字符");
        }
        previous = cp;
    }
    emptyLabel = emptyLabel || labelChars == 0;
    hyphenEdge = hyphenEdge || previous == '-';
    if (chars > kMaxName) {
        return std::string("超过 253 个字符");
    }
    if (labels < 2) {
        return std::string("不是域名（至少需要两段，如 abc.com）");
    }
    if (emptyLabel) {
        return std::string("某一段是空的（多余的“.”）");
    }
    if (longLabel) {
        return std::string("某一段超过 63 个字符");
    }
    if (hyphenEdge) {
        return std::string("某一段以“-”开头或结尾");
    }
    return std::nullopt;
}

}  // namespace jilan::base
