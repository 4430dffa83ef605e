#include "filter/name_features.h"

#include <gtest/gtest.h>

#include <string>

namespace jilan::filter {
namespace {

struct FeatureCase {
    const char* rule;
    std::string domain;
    std::string name;
    std::string tld;
    int length;
    NameClass kind;
    std::string structure;
    std::string pinyin;
    int syllables;
};

class NameFeaturesTest : public ::testing::TestWithParam<FeatureCase> {};

TEST_P(NameFeaturesTest, ComputesEveryFeature) {
    const FeatureCase& c = GetParam();
    const NameFeatures f = computeFeatures(c.domain);
    EXPECT_EQ(f.name, c.name);
    EXPECT_EQ(f.tld, c.tld);
    EXPECT_EQ(f.length, c.length);
    EXPECT_EQ(classText(f.kind), classText(c.kind));
    EXPECT_EQ(f.structure, c.structure);
    EXPECT_EQ(f.pinyin, c.pinyin);
    EXPECT_EQ(f.syllables, c.syllables);
}

using K = NameClass;
INSTANTIATE_TEST_SUITE_P(
    Domains, NameFeaturesTest,
    ::testing::Values(
        FeatureCase{"tld_is_everything_after_the_first_dot", "abc.com.cn", "abc", "com.cn", 3,
                    K::Letters, "LLL", "", 0},
        FeatureCase{"letters_and_digits_are_mixed", "a8b.com", "a8b", "com", 3, K::Mixed, "LNL", "",
                    0},
        FeatureCase{"all_digits", "6688.com", "6688", "com", 4, K::Digits, "NNNN", "", 0},
        FeatureCase{"upper_case_is_lowered_and_hyphen_wins_over_mixed", "ABC-1.NET", "abc-1", "net",
                    5, K::Hyphen, "LLL-N", "", 0},
        FeatureCase{"xn_name_is_chinese_counted_as_listed", "xn--fiqs8s.com", "xn--fiqs8s", "com",
                    10, K::Chinese, "LL--LLLLNL", "", 0},
        FeatureCase{"upper_case_xn_is_chinese_too", "XN--FIQS8S.cn", "xn--fiqs8s", "cn", 10,
                    K::Chinese, "LL--LLLLNL", "", 0},
        FeatureCase{"non_ascii_counts_code_points_and_has_no_structure", "中国.cn", "中国", "cn", 2,
                    K::Chinese, "", "", 0},
        FeatureCase{"chinese_wins_over_hyphen", "中-国.cn", "中-国", "cn", 3, K::Chinese, "", "",
                    0},
        FeatureCase{"pinyin_for_letter_names", "LanShan.com", "lanshan", "com", 7, K::Letters,
                    "LLLLLLL", "lan shan", 2},
        FeatureCase{"three_syllable_name", "beijingren.cn", "beijingren", "cn", 10, K::Letters,
                    "LLLLLLLLLL", "bei jing ren", 3},
        FeatureCase{"consonant_initials_have_no_pinyin", "bjdx.com", "bjdx", "com", 4, K::Letters,
                    "LLLL", "", 0},
        FeatureCase{"no_pinyin_for_mixed_names", "wang8.com", "wang8", "com", 5, K::Mixed, "LLLLN",
                    "", 0},
        FeatureCase{"no_dot_means_no_tld", "Wang", "wang", "", 4, K::Letters, "LLLL", "wang", 1},
        FeatureCase{"empty_name_is_other", ".com", "", "com", 0, K::Other, "", "", 0},
        FeatureCase{"underscore_is_other_and_kept_in_the_structure", "a_1.com", "a_1", "com", 3,
                    K::Other, "L_N", "", 0}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(ClassText, NamesEveryClassInChinese) {
    const std::pair<NameClass, std::string_view> rows[] = {
        {K::Chinese, "中文"},   {K::Hyphen, "含横杠"}, {K::Digits, "纯数字"},
        {K::Letters, "纯字母"}, {K::Mixed, "杂米"},    {K::Other, "其他"}};
    for (const auto& [kind, text] : rows) {
        EXPECT_EQ(classText(kind), text);
    }
}

}  // namespace
}  // namespace jilan::filter
