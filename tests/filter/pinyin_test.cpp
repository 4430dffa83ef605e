#include "filter/pinyin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace jilan::filter {
namespace {

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> out;
    for (std::string_view s : splitPinyin(text)) {
        out.emplace_back(s);
    }
    return out;
}

struct SplitCase {
    const char* rule;
    std::string letters;
    std::vector<std::string> expected;
};

class PinyinSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PinyinSplitTest, GivesTheFewestSyllablesLongestFirst) {
    EXPECT_EQ(split(GetParam().letters), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PinyinSplitTest,
    ::testing::Values(
        SplitCase{"one_syllable_word", "wang", {"wang"}},
        SplitCase{"xian_is_one_syllable_not_xi_an", "xian", {"xian"}},
        SplitCase{"hao_is_one_syllable", "hao", {"hao"}},
        SplitCase{"two_syllables", "lanshan", {"lan", "shan"}},
        SplitCase{"zh_initial_and_ong_final", "zhongguo", {"zhong", "guo"}},
        SplitCase{"repeated_syllable", "yuanyuan", {"yuan", "yuan"}},
        SplitCase{"three_syllables", "beijingren", {"bei", "jing", "ren"}},
        SplitCase{"six_letter_syllables", "shuangchuang", {"shuang", "chuang"}},
        SplitCase{"consonants_only_have_no_split", "bjdx", {}},
        SplitCase{"u_umlaut_written_v", "lvse", {"lv", "se"}},
        SplitCase{"nve_is_a_syllable", "nve", {"nve"}},
        SplitCase{"tie_goes_to_the_longer_first_syllable", "fangan", {"fang", "an"}},
        SplitCase{"tie_break_again_chang_an_not_chan_gan", "changan", {"chang", "an"}},
        SplitCase{"longest_first_only_when_the_rest_still_splits", "xiangu", {"xian", "gu"}},
        SplitCase{"fewest_count_before_tie_break", "xianan", {"xian", "an"}},
        SplitCase{"vowel_only_syllables", "aaaa", {"a", "a", "a", "a"}},
        SplitCase{"zero_initial_er", "erer", {"er", "er"}},
        SplitCase{"interjection_ng_left_out", "ng", {}},
        SplitCase{"interjection_hm_left_out", "hm", {}},
        SplitCase{"interjection_hng_left_out", "hng", {}}, SplitCase{"lone_m_left_out", "m", {}},
        SplitCase{"a_trailing_consonant_spoils_the_split", "wangx", {}},
        SplitCase{"v_alone_is_no_syllable", "v", {}}, SplitCase{"empty_text_has_no_split", "", {}},
        SplitCase{"upper_case_is_not_accepted", "Wang", {}},
        SplitCase{"digits_are_not_accepted", "wang8", {}},
        SplitCase{"longer_than_a_label_still_splits", std::string(70, 'a'),
                  std::vector<std::string>(70, "a")}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(PinyinTable, EverySyllableSplitsToItselfAlone) {
    for (std::string_view s : pinyinSyllables()) {
        EXPECT_EQ(split(s), std::vector<std::string>{std::string(s)}) << s;
        EXPECT_TRUE(isPinyinSyllable(s)) << s;
    }
}

TEST(PinyinTable, LeavesOutInterjectionsAndKeepsTheVSpellings) {
    struct Row {
        const char* text;
        bool inTable;
    };
    const Row rows[] = {{"m", false},   {"n", false}, {"ng", false},  {"hm", false},
                        {"hng", false}, {"lv", true}, {"nv", true},   {"lve", true},
                        {"nve", true},  {"lu", true}, {"lue", false}, {"zhuang", true}};
    for (const Row& r : rows) {
        EXPECT_EQ(isPinyinSyllable(r.text), r.inTable) << r.text;
    }
}

}  // namespace
}  // namespace jilan::filter
