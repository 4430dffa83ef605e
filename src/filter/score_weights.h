#pragma once

// The weights of the score (评分): points by class and length, pattern and digit bonuses,
// costs, and the suffix multipliers. The defaults are compiled in; score.toml may override any
// of them (score_config.h). docs/score.md explains each.

#include <string>
#include <string_view>
#include <vector>

namespace jilan::filter {

// Points of a class by the name's length: byLength[0] for one character, byLength[1] for two,
// and so on; each character past the list costs `beyond` more points than the last entry.
struct LengthPoints {
    std::vector<int> byLength;
    int at(int length, int beyond) const noexcept;
};

struct SuffixWeight {
    std::string suffix;  // "com", "com.cn"
    double multiplier = 1.0;
};

struct ScoreWeights {
    // Base points, by class and length.
    LengthPoints digits;      // 纯数字
    LengthPoints letters;     // 纯字母 that is no pinyin and not all consonants
    LengthPoints initials;    // 声母: at least two letters, none of a e i o u v
    LengthPoints pinyin1;     // 单拼
    LengthPoints pinyin2;     // 双拼
    LengthPoints pinyin3;     // 三拼
    LengthPoints pinyinMore;  // four syllables or more
    LengthPoints mixed;       // 杂米
    LengthPoints chinese;     // 中文, by characters
    int beyond = 3;

    // Patterns: only the best one that holds counts.
    int leopard = 25;  // 豹子: every character the same, at least two (88, 888, aaaa)
    int run = 12;      // 顺子: at least three ascending or descending (1234, 4321, abcd)
    int aabb = 10;     // AABB
    int abab = 8;      // ABAB
    int aaab = 8;      // AAAB or ABBB
    int abba = 6;      // ABBA
    int repeat = 8;    // a part written twice or more, at least six characters (ABCABC)

    // Digits of a 纯数字 name.
    int noZeroNoFour = 5;  // 无0无4
    int four = -8;         // 含4 (once, however many)
    int lucky = 1;         // each 6, 8 or 9
    int luckyMost = 4;     // at most this many points from 6, 8 and 9

    // Pinyin words (pinyin_words.h).
    int word = 15;      // the name is one common word (beijing, zhongguo)
    int twoWords = 10;  // the name is two common words (beijingfangchan)

    // Costs.
    int hyphen = -15;  // each hyphen
    int mix = -5;      // letters and digits mixed (less than a hyphen)

    // Multipliers of the suffix; a suffix not listed takes `otherSuffix`.
    std::vector<SuffixWeight> suffixes;
    double otherSuffix = 0.4;

    double suffixMultiplier(std::string_view suffix) const noexcept;
};

// The compiled-in defaults.
ScoreWeights defaultScoreWeights();

}  // namespace jilan::filter
