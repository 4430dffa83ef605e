#include "filter/score.h"

#include <gtest/gtest.h>

#include <string>

#include "filter/pinyin.h"
#include "filter/pinyin_words.h"

namespace jilan::filter {
namespace {

Score scoreOf(const std::string& domain) {
    return scoreName(computeFeatures(domain), defaultScoreWeights());
}

// Two names any investor orders the same way, differing in one respect.
struct RankPair {
    const char* rule;
    std::string better;
    std::string worse;
};

class ScoreRankTest : public ::testing::TestWithParam<RankPair> {};

TEST_P(ScoreRankTest, BetterNameScoresHigher) {
    const RankPair& c = GetParam();
    const Score better = scoreOf(c.better);
    const Score worse = scoreOf(c.worse);
    ASSERT_TRUE(better.scored()) << better.breakdown;
    ASSERT_TRUE(worse.scored()) << worse.breakdown;
    EXPECT_GT(better.value, worse.value) << c.better << ": " << better.breakdown << "\n"
                                         << c.worse << ": " << worse.breakdown;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ScoreRankTest,
    ::testing::Values(
        // shorter beats longer within one class
        RankPair{"two_digits_over_three", "88.com", "888.com"},
        RankPair{"three_digits_over_four", "888.com", "8888.com"},
        RankPair{"four_digits_over_five", "8888.com", "88888.com"},
        RankPair{"three_letters_over_four", "qwe.com", "qwer.com"},
        RankPair{"three_initials_over_four", "bjd.com", "bjdx.com"},
        RankPair{"short_single_syllable_over_long", "hao.com", "wang.com"},
        RankPair{"shorter_mixed", "a8.com", "a8b.com"},
        RankPair{"two_chinese_characters_over_four", "中国.cn", "中国人民.cn"},
        // suffix tiers
        RankPair{"com_over_cn", "168.com", "168.cn"}, RankPair{"cn_over_net", "168.cn", "168.net"},
        RankPair{"com_over_net_for_letters", "xian.com", "xian.net"},
        RankPair{"net_over_org", "168.net", "168.org"},
        RankPair{"com_cn_over_org", "168.com.cn", "168.org"},
        RankPair{"cn_over_com_cn", "168.cn", "168.com.cn"},
        RankPair{"net_over_net_cn", "168.net", "168.net.cn"},
        RankPair{"org_over_org_cn", "168.org", "168.org.cn"},
        RankPair{"com_over_com_cn", "bjdx.com", "bjdx.com.cn"},
        RankPair{"legacy_suffix_over_new_generic", "168.org", "168.top"},
        RankPair{"unlisted_suffix_over_new_generic", "168.io", "168.xyz"},
        // patterns
        RankPair{"aabb_over_random", "6688.com", "3719.com"},
        RankPair{"abab_over_random", "1212.com", "1327.com"},
        RankPair{"abba_over_random", "1221.com", "1327.com"},
        RankPair{"aaab_over_random", "6662.com", "6152.com"},
        RankPair{"leopard_over_aabb", "8888.com", "6688.com"},
        RankPair{"ascending_run_over_random", "5678.com", "5728.com"},
        RankPair{"descending_run_over_random", "9876.com", "9786.com"},
        RankPair{"letter_run_over_random", "abcd.com", "abdc.com"},
        RankPair{"repeat_over_random", "123123.com", "123213.com"},
        // digits
        RankPair{"no_four_beats_four_same_pattern", "6688.com", "6644.com"},
        RankPair{"no_four_beats_four_random", "3719.com", "3714.com"},
        RankPair{"no_zero_beats_zero", "3719.com", "3710.com"},
        RankPair{"lucky_digit_adds", "3789.com", "3712.com"},
        RankPair{"four_costs_in_mixed_names", "a8b.com", "a4b.com"},
        // pinyin
        RankPair{"two_syllable_word_over_no_pinyin", "zhongguo.com", "zhgqwxyz.com"},
        RankPair{"meaningless_split_over_no_pinyin", "lanshan.com", "qaxwerz.com"},
        RankPair{"common_word_over_meaningless_split", "beijing.com", "lanshan.com"},
        RankPair{"two_words_over_meaningless_split", "beijingyouxi.com", "lanshanmaoxi.com"},
        RankPair{"city_over_other_single_syllable", "xian.com", "xiao.com"},
        RankPair{"initials_over_random_letters", "bjdx.com", "bjax.com"},
        // hyphen and mix
        RankPair{"no_hyphen_over_hyphen", "xian.com", "xi-an.com"},
        RankPair{"digits_without_hyphen", "6688.com", "66-88.com"},
        RankPair{"mix_costs_less_than_hyphen", "ab12.com", "ab-12.com"},
        RankPair{"one_hyphen_over_two", "ab-12.com", "a-b-12.com"},
        RankPair{"digits_over_same_shape_mixed", "6688.com", "66a8.com"}),
    [](const ::testing::TestParamInfo<RankPair>& info) { return std::string(info.param.rule); });

// Input that is no domain: a score or a reason, never a crash; the value stays in 0..100.
struct BadInput {
    const char* rule;
    std::string domain;
    bool scored;
};

class ScoreBadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(ScoreBadInputTest, ScoresOrSaysWhyNot) {
    const BadInput& c = GetParam();
    const NameFeatures f = computeFeatures(c.domain);
    const Score s = scoreName(f, defaultScoreWeights());
    EXPECT_EQ(s.scored(), c.scored) << s.breakdown;
    EXPECT_EQ(scoreValue(f, defaultScoreWeights()), s.value);
    if (c.scored) {
        EXPECT_LE(s.value, 100);
        EXPECT_TRUE(s.breakdown.ends_with("= " + std::to_string(s.value))) << s.breakdown;
    } else {
        EXPECT_TRUE(s.breakdown.starts_with("无法评分：")) << s.breakdown;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ScoreBadInputTest,
    ::testing::Values(BadInput{"empty_line", "", false}, BadInput{"no_suffix", "abc", false},
                      BadInput{"only_a_suffix", ".com", false},
                      BadInput{"name_of_253_characters", std::string(249, 'a') + ".com", false},
                      BadInput{"upper_case_is_lowered", "ABC.COM", true},
                      BadInput{"full_width_letters", "ａｂｃ.com", false},
                      BadInput{"full_width_suffix", "abc.ｃｏｍ", false},
                      BadInput{"punycode", "xn--fiqs8s.com", false},
                      BadInput{"underscore", "a_b.com", false}, BadInput{"space", "a b.com", false},
                      BadInput{"leading_hyphen", "-ab.com", false},
                      BadInput{"empty_suffix_label", "ab..com", false},
                      BadInput{"chinese_name", "中国.cn", true},
                      BadInput{"longest_label", std::string(63, '9') + ".com", true},
                      BadInput{"many_hyphens", "a-b-c-d-e-f-g-h-i-j.com", true}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return std::string(info.param.rule); });

TEST(ScoreTest, UpperCaseScoresAsLowerCase) {
    EXPECT_EQ(scoreOf("BeiJing.COM").value, scoreOf("beijing.com").value);
}

TEST(ScoreTest, EveryCommonWordIsPinyin) {
    for (const std::string_view word : pinyinWords()) {
        EXPECT_FALSE(splitPinyin(word).empty()) << word;
        EXPECT_TRUE(isPinyinWord(word)) << word;
    }
}

TEST(ScoreTest, WeightsChangeTheValue) {
    ScoreWeights w = defaultScoreWeights();
    const NameFeatures f = computeFeatures("3377.com");
    const int before = scoreValue(f, w);
    w.aabb += 5;
    EXPECT_EQ(scoreValue(f, w), before + 5);
    w.suffixes.front().multiplier = 0.5;
    EXPECT_EQ(scoreValue(f, w), (before + 5) / 2);
}

}  // namespace
}  // namespace jilan::filter
