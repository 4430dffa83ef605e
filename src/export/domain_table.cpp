#include "domain_table.h"

#include <cstdint>

namespace jilan::exporting {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool isWide(std::uint32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
           (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
           (cp >= 0x20000 && cp <= 0x3FFFD);
}

}  // namespace

std::optional<Format> formatFor(std::string_view path, std::optional<std::string_view> named) {
    if (named) {
        const std::string name = lower(*named);
        if (name == "txt") {
            return Format::Txt;
        }
        if (name == "csv") {
            return Format::Csv;
        }
        if (name == "xlsx") {
            return Format::Xlsx;
        }
        return std::nullopt;
    }
    const std::string file = lower(path);
    if (endsWith(file, ".csv")) {
        return Format::Csv;
    }
    if (endsWith(file, ".xlsx")) {
        return Format::Xlsx;
    }
    return Format::Txt;
}

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        std::uint32_t cp = lead;
        if (lead >= 0xF0 && lead < 0xF8) {
            length = 4;
            cp = lead & 0x07;
        } else if (lead >= 0xE0) {
            length = lead < 0xF0 ? 3 : 1;
            cp = lead & 0x0F;
        } else if (lead >= 0xC2) {
            length = 2;
            cp = lead & 0x1F;
        }
        bool valid = length > 1 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            length = 1;
            cp = lead;
        }
        width += isWide(cp) ? 2 : 1;
        i += length;
    }
    return width;
}

}  // namespace jilan::exporting
