#include "domain_table.h"

#include <cstdint>

#include "net/ascii_case.h"
#include "query/detail_batch.h"

namespace jilan::exporting {

namespace {

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

// The length of the well-formed UTF-8 sequence at `i` (overlong forms, surrogates and
// values past U+10FFFF are not), 0 when there is none; `cp` gets its value.
std::size_t nextCodePoint(std::string_view text, std::size_t i, std::uint32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(k) & 0x3F);
    }
    return length;
}

}  // namespace

DomainRow rowOf(const NameRecord& record) {
    DomainRow row;
    for (const ColumnSpec& spec : kColumns) {
        row[spec.id] = spec.text(record);
    }
    if (record.details != nullptr && record.details->result != query::kQuerySucceeded) {
        row.failure = record.details->result;
    }
    return row;
}

std::string domainOf(const filter::NameFeatures& features, const history::NameRow* seen,
                     const NameDetails* details) {
    if (details != nullptr && !details->domain.empty()) {
        return details->domain;
    }
    if (seen != nullptr && !seen->domain.empty()) {
        return seen->domain;
    }
    return features.tld.empty() ? features.name : features.name + "." + features.tld;
}

DomainRow makeDomainRow(const filter::NameFeatures& features, const history::NameRow* seen,
                        const NameDetails* details) {
    const std::string domain = domainOf(features, seen, details);
    return rowOf(NameRecord{
        .domain = domain, .features = features, .seen = sightingsOf(seen), .details = details});
}

std::optional<Format> formatFor(std::string_view path, std::optional<std::string_view> named) {
    if (named) {
        const std::string name = net::lowerAscii(*named);
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
    const std::string file = net::lowerAscii(path);
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
        std::uint32_t cp = 0;
        const std::size_t length = nextCodePoint(utf8, i, cp);
        width += length > 0 && isWide(cp) ? 2 : 1;
        i += length > 0 ? length : 1;
    }
    return width;
}

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = nextCodePoint(text, i, cp);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace jilan::exporting
