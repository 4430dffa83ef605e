#include "table_value.h"

#include <cstddef>
#include <cstdint>

#include "base/ascii_text.h"
#include "base/utf8.h"

namespace jilan::query {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A "<" opens a tag only when a name, "/", "!" or "?" follows; "a < b" is text.
bool opensTag(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size()) {
        return true;  // a "<" at the very end is where a cut went through a tag
    }
    const char next = text[at + 1];
    return isAsciiLetter(next) || next == '/' || next == '!' || next == '?';
}

// Where the tag that ends with the ">" at the end of `text` began, when the
// cut (or the window's removal of every "<") took its "<": a tag name
// (a letter, then letters and digits), a "/" before it for a closing tag,
// a "/" or spaces after it for an empty one ("b>", "/b>", "br />"). Returns
// text.size() when no tag name stands there, so a plain ">" stays text.
// Nothing before `floor` (where the last whole tag was) can belong to it.
std::size_t orphanTagStart(std::string_view text, std::size_t floor) {
    std::size_t end = text.size();
    while (end > floor && isAsciiSpace(text[end - 1])) {
        --end;
    }
    if (end > floor && text[end - 1] == '/') {
        --end;
    }
    std::size_t start = end;
    while (start > floor &&
           (isAsciiLetter(text[start - 1]) || base::isAsciiDigit(text[start - 1]))) {
        --start;
    }
    // Digits in front of the name are text: "06:00b>" keeps its "00".
    while (start < end && !isAsciiLetter(text[start])) {
        ++start;
    }
    if (start == end) {
        return text.size();
    }
    if (start > floor && text[start - 1] == '/') {
        --start;
    }
    return start;
}

// Tags out: whole tags, a tag cut at its start ("<" to the end) and tags
// that lost their "<".
std::string stripTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t floor = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '<' && opensTag(text, at)) {
            const std::size_t close = text.find('>', at + 1);
            if (close == std::string_view::npos) {
                break;  // the piece ends inside a tag
            }
            at = close + 1;
            floor = out.size();
            continue;
        }
        if (c == '>') {
            const std::size_t start = orphanTagStart(out, floor);
            if (start != out.size()) {
                out.resize(start);
                floor = out.size();
                ++at;
                continue;
            }
        }
        out += c;
        ++at;
    }
    return out;
}

// "&#38;" / "&#x26;" (without "&#" and ";"); false when it is not a usable character.
bool numericReference(std::string_view digits, std::uint32_t& cp) {
    bool hex = false;
    if (!digits.empty() && (digits.front() == 'x' || digits.front() == 'X')) {
        hex = true;
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        std::uint32_t d = 0;
        if (base::isAsciiDigit(c)) {
            d = static_cast<std::uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            d = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            d = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value * (hex ? 16 : 10) + d;
    }
    // No NUL, no surrogate halves, nothing past Unicode.
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    cp = value;
    return true;
}

// One pass, so "&amp;lt;" stays "&lt;".
std::string decodeEntities(std::string_view text) {
    struct Named {
        std::string_view name;
        std::string_view value;
    };
    static constexpr Named kNamed[] = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"nbsp", "\xC2\xA0"},
    };
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] != '&') {
            out += text[at++];
            continue;
        }
        const std::size_t semi = text.find(';', at + 1);
        bool decoded = false;
        if (semi != std::string_view::npos && semi - at <= 10) {
            const std::string_view body = text.substr(at + 1, semi - at - 1);
            std::uint32_t cp = 0;
            if (!body.empty() && body.front() == '#' && numericReference(body.substr(1), cp)) {
                base::appendUtf8(out, cp);
                decoded = true;
            }
            for (const Named& n : kNamed) {
                if (!decoded && body == n.name) {
                    out += n.value;
                    decoded = true;
                }
            }
        }
        if (decoded) {
            at = semi + 1;
        } else {
            out += text[at++];
        }
    }
    return out;
}

// Bytes of the white-space character at `at`, 0 when there is none.
std::size_t spaceLength(std::string_view text, std::size_t at) {
    if (isAsciiSpace(text[at])) {
        return 1;
    }
    if (text.substr(at, 2) == "\xC2\xA0") {
        return 2;  // no-break space
    }
    if (text.substr(at, 3) == "\xE3\x80\x80") {
        return 3;  // full-width space
    }
    return 0;
}

std::string collapseSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t n = spaceLength(text, at);
        if (n > 0) {
            pendingSpace = !out.empty();
            at += n;
            continue;
        }
        if (pendingSpace) {
            out += ' ';
            pendingSpace = false;
        }
        out += text[at++];
    }
    return out;
}

}  // namespace

std::string tableValue(std::string_view rawPiece) {
    return collapseSpaces(decodeEntities(stripTags(rawPiece)));
}

}  // namespace jilan::query
