#include "program/history_filter.h"

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
    const filter::Filter::Bounds bounds = filter.bounds();
    history::SearchHints hints;
    hints.minLength = bounds.minLength;
    hints.maxLength = bounds.maxLength;
    if (bounds.kinds != filter::Filter::Bounds{}.kinds) {
        for (const filter::NameClass k : kClasses) {
            if (bounds.allows(k)) {
                hints.kinds.emplace_back(filter::classText(k));
            }
        }
    }
    hints.tlds = filter.suffixes();
    return hints;
}

history::StatsRequest statsRequestFor(const filter::Filter& filter, std::int64_t firstDay,
                                      std::int64_t lastDay) {
    history::StatsRequest request;
    request.firstDay = firstDay;
    request.lastDay = lastDay;
    if (filter.matchesEverything()) {
        return request;
    }
    request.hints = searchHintsFor(filter);
    if (filter.bounds().empty()) {
        // No name can pass: a length range nothing has skips every row inside SQLite.
        request.hints.minLength = 1;
        request.hints.maxLength = 0;
        return request;
    }
    if (filter.boundsExact()) {
        // Classes, lengths and suffixes alone: the stored columns answer it.
        return request;
    }
    request.keep = [filter](const history::NameRow& row) {
        return filter.matches(storedFeatures(row), true);
    };
    return request;
}

}  // namespace jilan::program
