#include "program/history_filter.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace jilan::program {

namespace {

constexpr filter::NameClass kClasses[] = {filter::NameClass::Chinese, filter::NameClass::Hyphen,
                                          filter::NameClass::Digits,  filter::NameClass::Letters,
                                          filter::NameClass::Mixed,   filter::NameClass::Other};

std::optional<filter::NameClass> classNamed(std::string_view text) {
    for (const filter::NameClass k : kClasses) {
        if (filter::classText(k) == text) {
            return k;
        }
    }
    return std::nullopt;
}

}  // namespace

filter::NameFeatures storedFeatures(const history::NameRow& row) {
    const history::NameColumns& c = row.columns;
    const std::optional<filter::NameClass> kind = classNamed(c.kind);
    if (c.featuresVersion != filter::kFeaturesVersion || !kind) {
        return filter::computeFeatures(row.domain);
    }
    filter::NameFeatures f;
    f.name = c.name;
    f.tld = c.tld;
    f.length = c.length;
    f.kind = *kind;
    f.structure = c.structure;
    f.pinyin = c.pinyin;
    f.syllables = c.syllables;
    return f;
}

history::SearchHints searchHintsFor(const filter::Filter& filter) {
    return statsRequestFor({filter}, 0, 0).hints;
}

history::StatsRequest statsRequestFor(const std::vector<filter::Filter>& filters,
                                      std::int64_t firstDay, std::int64_t lastDay) {
    history::StatsRequest request;
    request.firstDay = firstDay;
    request.lastDay = lastDay;
    // What every filter implies at once: the length ranges and classes intersected, and the
    // suffixes of those that name some intersected too.
    filter::Filter::Bounds bounds;
    std::optional<std::vector<std::string>> suffixes;
    bool exact = true;
    for (const filter::Filter& f : filters) {
        const filter::Filter::Bounds b = f.bounds();
        bounds.minLength = std::max(bounds.minLength, b.minLength);
        bounds.maxLength = std::min(bounds.maxLength, b.maxLength);
        bounds.kinds &= b.kinds;
        exact = exact && f.boundsExact();
        std::vector<std::string> named = f.suffixes();
        if (named.empty()) {
            continue;
        }
        if (suffixes) {
            std::erase_if(*suffixes, [&named](const std::string& s) {
                return std::find(named.begin(), named.end(), s) == named.end();
            });
        } else {
            suffixes = std::move(named);
        }
    }
    if (bounds.empty() || (suffixes && suffixes->empty())) {
        // No name can pass: a length range nothing has skips every row inside SQLite.
        request.hints.minLength = 1;
        request.hints.maxLength = 0;
        return request;
    }
    request.hints.minLength = bounds.minLength;
    request.hints.maxLength = bounds.maxLength;
    if (bounds.kinds != filter::Filter::Bounds{}.kinds) {
        for (const filter::NameClass k : kClasses) {
            if (bounds.allows(k)) {
                request.hints.kinds.emplace_back(filter::classText(k));
            }
        }
    }
    request.hints.tlds = suffixes.value_or(std::vector<std::string>{});
    if (exact) {
        // Classes, lengths and suffixes alone: the stored columns answer them.
        return request;
    }
    request.keepReadsAllColumns = std::any_of(
        filters.begin(), filters.end(), [](const filter::Filter& f) { return f.usesScore(); });
    request.keep = [filters](const history::NameRow& row) {
        const filter::NameFeatures features = storedFeatures(row);
        return std::all_of(filters.begin(), filters.end(), [&features](const filter::Filter& f) {
            return f.matches(features, true);
        });
    };
    return request;
}

}  // namespace jilan::program
