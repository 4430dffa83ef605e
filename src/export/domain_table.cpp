#include "domain_table.h"

#include <cstdint>

#include "base/ascii_case.h"
#include "base/utf8.h"
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

}  // namespace

DomainRow rowOf(const NameRecord& record) {
    DomainRow row;
    for (const ColumnSpec& entry : kColumns) {
        row[entry.id] = entry.text(record);
    }
    // A name the stop kept from being asked did not fail: it stays off the "失败" sheet.
    if (record.details != nullptr && record.details->result != query::kQuerySucceeded &&
        record.details->result != query::kNotAskedInterrupted) {
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
                        const NameDetails* details, const filter::ScoreWeights& weights) {
    const std::string domain = domainOf(features, seen, details);
    const filter::Score score = filter::scoreName(features, weights);
    return rowOf(NameRecord{.domain = domain,
                            .features = features,
                            .seen = sightingsOf(seen),
                            .details = details,
                            .score = &score});
}

std::optional<Format> formatFor(std::string_view path, std::optional<std::string_view> named) {
    if (named) {
        const std::string name = base::lowerAscii(*named);
        if (name == "txt") {
            return Format::Txt;
        }
        if (name == "csv") {
            return Format::Csv;
        }
        if (name == "xlsx") {
            return Format::Xlsx;
        }
        if (name == "jsonl") {
            return Format::Jsonl;
        }
        return std::nullopt;
    }
    const std::string file = base::lowerAscii(path);
    if (endsWith(file, ".csv")) {
        return Format::Csv;
    }
    if (endsWith(file, ".xlsx")) {
        return Format::Xlsx;
    }
    if (endsWith(file, ".jsonl")) {
        return Format::Jsonl;
    }
    return Format::Txt;
}

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const base::Utf8Step step = base::utf8Step(utf8, i);
        width += step.valid && isWide(step.codePoint) ? 2 : 1;
        i += step.valid ? step.length : 1;
    }
    return width;
}

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const base::Utf8Step step = base::utf8Step(text, i);
        if (!step.valid) {
            out += base::kUtf8Replacement;
            ++i;
        } else {
            out.append(text.substr(i, step.length));
            i += step.length;
        }
    }
    return out;
}

}  // namespace jilan::exporting
