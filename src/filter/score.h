#pragma once

// The score (评分) of a domain name: 0 to 100 from the name and its suffix alone, with a line
// that says how it came about, e.g.
//   四位纯数字 60 + AABB 10 + 无0无4 5 + 吉利数字 2 = 77 × com 1.0 = 77
// Points by class and length, plus patterns, digits and pinyin words, less the costs of
// hyphens and mixing, then times the suffix's multiplier. docs/score.md has the rules.

#include <string>

#include "filter/name_features.h"
#include "filter/score_weights.h"

namespace jilan::filter {

struct Score {
    int value = -1;         // 0..100; -1 when the name cannot be scored
    std::string breakdown;  // how the value came about, or "无法评分：" and the reason
    bool scored() const noexcept { return value >= 0; }
};

// The score with its breakdown.
Score scoreName(const NameFeatures& f, const ScoreWeights& weights);

// The value alone, -1 when the name cannot be scored: allocates nothing (the filter's path).
int scoreValue(const NameFeatures& f, const ScoreWeights& weights) noexcept;

}  // namespace jilan::filter
