#pragma once

// The name filter language of the command line and the "域名筛选" window, e.g.
//   len<=5 tld=com,cn !has=4 纯数字
// Terms are separated by spaces (the full-width space too) and must all hold; a leading ! or
// ！ negates a term; commas (also ，) inside a value mean "any of". docs/filter-language.md
// lists every term.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "filter/name_features.h"
#include "filter/score_weights.h"

namespace jilan::filter {

struct FilterError {
    int term = 0;         // 1-based position of the faulty term
    std::string text;     // the term as written
    std::string message;  // 筛选条件有误：第2项 "lenx<=5"：未知条件 lenx
    std::string reason;   // the last part of the message alone: 未知条件 lenx
};

// A compiled expression. Cheap to copy (the compiled terms are shared and never change);
// matching allocates nothing. A default-constructed filter matches every name.
// The words a term can start with, for completion on the command line: the standalone words
// (new, 纯数字, 双拼...) and each key with its operator (len=, tld=, score>=...).
std::vector<std::string> filterWords();

class Filter {
public:
    Filter() = default;

    // Score terms (score>=70) use the default weights, or `weights`.
    static std::variant<Filter, FilterError> compile(std::string_view expression);
    static std::variant<Filter, FilterError> compile(std::string_view expression,
                                                     const ScoreWeights& weights);

    // `isNew`: the name is new in the current run (or, searching the history, first seen
    // within the range); only the `new` term looks at it. `watched`: the name is on the
    // watchlist, which only the 域名筛选 window knows; only the `关注` (`watched`) term looks
    // at it.
    bool matches(const NameFeatures& f, bool isNew, bool watched = false) const noexcept;

    // The expression contains the `new` term.
    bool usesNew() const noexcept { return usesNew_; }
    // The expression contains the `关注` (`watched`) term.
    bool usesWatched() const noexcept { return usesWatched_; }
    // The expression contains a score term, the one term that reads the structure and the
    // pinyin; every other term reads only the name, suffix, length, class and syllables.
    bool usesScore() const noexcept { return usesScore_; }

    // No terms at all: every name passes.
    bool matchesEverything() const noexcept { return compiled_ == nullptr; }

    // Conditions every name the filter keeps meets, for narrowing a search before the names
    // are read (a history query on its length and class columns). Wider than the filter:
    // the kept names still have to pass matches().
    struct Bounds {
        int minLength = 0;
        int maxLength = std::numeric_limits<int>::max();
        std::uint8_t kinds = 0x3F;  // bit (1 << NameClass) set for each class a kept name can have

        bool allows(NameClass k) const noexcept {
            return ((kinds >> static_cast<int>(k)) & 1U) != 0;
        }
        // No name can pass.
        bool empty() const noexcept { return minLength > maxLength || kinds == 0; }
    };
    Bounds bounds() const noexcept;
    // The filter keeps exactly the names within bounds() whose suffix is one of suffixes()
    // (any, when empty): its terms are classes, unbroken length ranges and at most one suffix
    // list, none of those negated but the classes. Such a filter can be applied by a query on
    // the stored columns alone.
    bool boundsExact() const noexcept;
    // The suffixes of the filter's last tld= term that is not negated (without a leading dot):
    // every kept name has one of them. Empty without such a term.
    std::vector<std::string> suffixes() const;

private:
    struct Compiled;
    std::shared_ptr<const Compiled> compiled_;
    bool usesNew_ = false;
    bool usesWatched_ = false;
    bool usesScore_ = false;
};

}  // namespace jilan::filter
