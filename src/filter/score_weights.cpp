#include "filter/score_weights.h"

#include <algorithm>

namespace jilan::filter {

int LengthPoints::at(int length, int beyond) const noexcept {
    if (byLength.empty() || length < 1) {
        return 0;
    }
    const int listed = static_cast<int>(byLength.size());
    if (length <= listed) {
        return byLength[static_cast<std::size_t>(length - 1)];
    }
    return std::max(0, byLength.back() - (length - listed) * beyond);
}

double ScoreWeights::suffixMultiplier(std::string_view suffix) const noexcept {
    for (const SuffixWeight& s : suffixes) {
        if (s.suffix == suffix) {
            return s.multiplier;
        }
    }
    return otherSuffix;
}

// How Chinese investors price names, roughly: shorter is worth more within a class; digits and
// real pinyin above random letters; 声母 above random letters of their length; com first, then
// cn, then net and com.cn; a second-level suffix below its first-level one; the new generic
// suffixes last.
ScoreWeights defaultScoreWeights() {
    ScoreWeights w;
    w.digits.byLength = {95, 90, 80, 60, 42, 28, 18, 12};
    w.letters.byLength = {95, 88, 68, 38, 18, 10, 7, 5};
    w.initials.byLength = {95, 88, 72, 45, 22, 12, 8, 5};
    w.pinyin1.byLength = {95, 88, 75, 65, 58, 52};
    w.pinyin2.byLength = {95, 88, 75, 58, 50, 45, 40, 35, 30, 26, 22, 20};
    w.pinyin3.byLength = {95, 88, 75, 58, 50, 30, 28, 25, 22, 20, 18, 16, 14, 12, 10};
    w.pinyinMore.byLength = {95, 88, 75, 58, 50, 30, 20, 15, 12, 10};
    w.mixed.byLength = {95, 80, 50, 25, 12, 8, 5};
    w.chinese.byLength = {70, 60, 45, 35, 25, 18};
    w.suffixes = {
        {"com", 1.0},    {"cn", 0.8},      {"net", 0.7},     {"com.cn", 0.7}, {"org", 0.55},
        {"net.cn", 0.5}, {"org.cn", 0.45}, {"cc", 0.5},      {"中国", 0.5},   {"top", 0.3},
        {"xyz", 0.3},    {"vip", 0.3},     {"club", 0.3},    {"shop", 0.3},   {"site", 0.3},
        {"online", 0.3}, {"wang", 0.3},    {"ltd", 0.3},     {"ink", 0.3},    {"fun", 0.3},
        {"icu", 0.3},    {"store", 0.3},   {"tech", 0.3},    {"work", 0.3},   {"link", 0.3},
        {"cloud", 0.3},  {"live", 0.3},    {"website", 0.3}, {"space", 0.3},  {"beer", 0.3},
    };
    return w;
}

}  // namespace jilan::filter
