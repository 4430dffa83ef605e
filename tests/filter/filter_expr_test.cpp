#include "filter/filter_expr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <variant>
#include <vector>

namespace jilan::filter {
namespace {

struct MatchCase {
    const char* rule;
    std::string expression;
    std::string domain;
    bool isNew;
    bool expected;
};

class FilterMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(FilterMatchTest, DecidesAsTheTermsSay) {
    const MatchCase& c = GetParam();
    const auto compiled = Filter::compile(c.expression);
    ASSERT_TRUE(std::holds_alternative<Filter>(compiled))
        << std::get<FilterError>(compiled).message;
    EXPECT_EQ(std::get<Filter>(compiled).matches(computeFeatures(c.domain), c.isNew), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Terms, FilterMatchTest,
    ::testing::Values(
        // len
        MatchCase{"len_equal_holds", "len=5", "abcde.com", false, true},
        MatchCase{"len_equal_fails", "len=5", "abcd.com", false, false},
        MatchCase{"len_range_low_end", "len=3..5", "abc.com", false, true},
        MatchCase{"len_range_high_end", "len=3..5", "abcde.com", false, true},
        MatchCase{"len_range_outside", "len=3..5", "abcdef.com", false, false},
        MatchCase{"len_list_any_of", "len=2,4", "abcd.com", false, true},
        MatchCase{"len_at_most_holds_at_bound", "len<=5", "abcde.com", false, true},
        MatchCase{"len_at_most_fails_above", "len<=5", "abcdef.com", false, false},
        MatchCase{"len_at_least", "len>=3", "abc.com", false, true},
        MatchCase{"len_below_excludes_bound", "len<5", "abcde.com", false, false},
        MatchCase{"len_below", "len<5", "abcd.com", false, true},
        MatchCase{"len_above_excludes_bound", "len>3", "abc.com", false, false},
        MatchCase{"len_above", "len>3", "abcd.com", false, true},
        MatchCase{"len_below_zero_matches_nothing", "len<0", ".com", false, false},
        MatchCase{"len_counts_code_points", "len=2", "中国.cn", false, true},
        MatchCase{"len_beyond_sixty_three", "len>=100", std::string(120, 'x') + ".com", false,
                  true},
        MatchCase{"len_range_beyond_sixty_three", "len=64..200", std::string(100, 'x') + ".com",
                  false, true},
        // tld
        MatchCase{"tld_any_of", "tld=com,cn,com.cn", "abc.cn", false, true},
        MatchCase{"tld_two_labels", "tld=com.cn", "abc.com.cn", false, true},
        MatchCase{"tld_cn_is_not_com_cn", "tld=cn", "abc.com.cn", false, false},
        MatchCase{"tld_is_case_blind", "tld=COM", "abc.Com", false, true},
        MatchCase{"tld_leading_dot_allowed", "tld=.net", "abc.net", false, true},
        // kind
        MatchCase{"kind_digits", "kind=digits", "6688.com", false, true},
        MatchCase{"kind_letters_not_digits", "kind=letters", "6688.com", false, false},
        MatchCase{"kind_mixed", "kind=mixed", "a8.com", false, true},
        MatchCase{"kind_hyphen", "kind=hyphen", "a-8.com", false, true},
        MatchCase{"kind_idn", "kind=idn", "xn--fiqs8s.com", false, true},
        MatchCase{"kind_other", "kind=other", "a_b.com", false, true},
        MatchCase{"kind_any_of", "kind=digits,letters", "abc.com", false, true},
        MatchCase{"kind_chinese_names", "kind=杂米，纯数字", "a8.com", false, true},
        MatchCase{"kind_upper_case_word", "kind=DIGITS", "88.com", false, true},
        // pattern
        MatchCase{"pattern_digits_and_letters", "pattern=NNLL", "88ab.com", false, true},
        MatchCase{"pattern_needs_same_length", "pattern=NNLL", "88abc.com", false, false},
        MatchCase{"pattern_class_mismatch", "pattern=NNLL", "8a8b.com", false, false},
        MatchCase{"pattern_aabb", "pattern=AABB", "6688.com", false, true},
        MatchCase{"pattern_aabb_needs_different_pairs", "pattern=AABB", "6666.com", false, false},
        MatchCase{"pattern_abab", "pattern=ABAB", "1212.com", false, true},
        MatchCase{"pattern_abab_refuses_aabb", "pattern=ABAB", "1122.com", false, false},
        MatchCase{"pattern_variables_take_letters_too", "pattern=ABBA", "abba.com", false, true},
        MatchCase{"pattern_consonant_vowel", "pattern=CVCV", "baba.com", false, true},
        MatchCase{"pattern_v_is_no_vowel", "pattern=CV", "lv.com", false, false},
        MatchCase{"pattern_v_is_no_consonant", "pattern=CC", "lv.com", false, false},
        MatchCase{"pattern_y_and_w_are_consonants", "pattern=CC", "yw.com", false, true},
        MatchCase{"pattern_question_mark_any", "pattern=?8?", "a8-.com", false, true},
        MatchCase{"pattern_literal_digit", "pattern=A8A8", "6868.com", false, true},
        MatchCase{"pattern_literal_letter", "pattern=NNabc", "12abc.com", false, true},
        MatchCase{"pattern_literal_letter_mismatch", "pattern=NNabc", "12abd.com", false, false},
        MatchCase{"pattern_literal_hyphen", "pattern=LL-NN", "ab-12.com", false, true},
        MatchCase{"pattern_any_of", "pattern=AAAA,ABAB", "1212.com", false, true},
        MatchCase{"pattern_chinese_character_is_one_position", "pattern=?国", "中国.cn", false,
                  true},
        MatchCase{"pattern_variable_binds_a_chinese_character", "pattern=AA", "国国.cn", false,
                  true},
        MatchCase{"pattern_variable_letters_need_not_be_in_order", "pattern=BAAB", "6886.com",
                  false, true},
        MatchCase{"pattern_third_variable_differs_from_both", "pattern=ABC", "121.com", false,
                  false},
        MatchCase{"pattern_different_chinese_characters", "pattern=AB", "中国.cn", false, true},
        MatchCase{"pattern_different_letters_refuse_equal_chinese", "pattern=AB", "国国.cn", false,
                  false},
        MatchCase{"pattern_class_refuses_chinese", "pattern=L国", "中国.cn", false, false},
        // pinyin
        MatchCase{"pinyin_count", "pinyin=2", "lanshan.com", false, true},
        MatchCase{"pinyin_any_of", "pinyin=1,3", "lanshan.com", false, false},
        MatchCase{"pinyin_none_is_not_one", "pinyin=1", "bjdx.com", false, false},
        // has, starts, ends
        MatchCase{"has_any_of", "has=88,168", "a168.com", false, true},
        MatchCase{"has_looks_at_the_name_only", "has=com", "abc.com", false, false},
        MatchCase{"starts_any_of", "starts=a,b", "bcd.com", false, true},
        MatchCase{"starts_fails", "starts=a,b", "cd.com", false, false},
        MatchCase{"ends_with", "ends=8", "168.com", false, true},
        MatchCase{"ends_fails", "ends=8", "186.com", false, false},
        MatchCase{"has_is_case_blind", "has=AB", "xaby.com", false, true},
        // score (888.com scores in the nineties, 6688.com in the seventies, qaxwerz.com under 10)
        MatchCase{"score_at_least_holds", "score>=70", "888.com", false, true},
        MatchCase{"score_at_least_fails", "score>=70", "qaxwerz.com", false, false},
        MatchCase{"score_chinese_key", "评分>=70", "888.com", false, true},
        MatchCase{"score_range_holds", "score=60..80", "6688.com", false, true},
        MatchCase{"score_range_fails_above", "score=60..80", "888.com", false, false},
        MatchCase{"score_below", "score<10", "qaxwerz.com", false, true},
        MatchCase{"unscorable_name_has_no_score", "score>=0", "a_b.com", false, false},
        MatchCase{"unscorable_name_passes_negation", "!score>=0", "a_b.com", false, true},
        // new
        MatchCase{"new_holds_for_new_names", "new", "abc.com", true, true},
        MatchCase{"new_fails_for_old_names", "new", "abc.com", false, false},
        MatchCase{"not_new", "!new", "abc.com", false, true},
        // words
        MatchCase{"word_digits", "纯数字", "6688.com", false, true},
        MatchCase{"word_letters", "纯字母", "6688.com", false, false},
        MatchCase{"word_mixed", "杂米", "a1.com", false, true},
        MatchCase{"word_hyphen", "含横杠", "a-b.com", false, true},
        MatchCase{"word_chinese", "中文", "中国.cn", false, true},
        MatchCase{"word_one_syllable", "单拼", "wang.com", false, true},
        MatchCase{"word_two_syllables", "双拼", "lanshan.com", false, true},
        MatchCase{"word_three_syllables", "三拼", "beijingren.com", false, true},
        MatchCase{"word_three_syllables_fails", "三拼", "lanshan.com", false, false},
        MatchCase{"initials_all_consonants", "声母", "bjdx.com", false, true},
        MatchCase{"initials_need_two_letters", "声母", "b.com", false, false},
        MatchCase{"initials_refuse_vowels", "声母", "bjax.com", false, false},
        MatchCase{"initials_refuse_v", "声母", "bvd.com", false, false},
        MatchCase{"initials_refuse_digits", "声母", "bj8.com", false, false},
        // negation and combination
        MatchCase{"bang_negates", "!has=4", "1234.com", false, false},
        MatchCase{"full_width_bang_negates", "！has=4", "1235.com", false, true},
        MatchCase{"negated_word", "!纯数字", "abc.com", false, true},
        MatchCase{"all_terms_must_hold", "len<=5 tld=com,cn !has=4 纯数字", "6688.cn", false, true},
        MatchCase{"one_failing_term_fails_all", "len<=5 tld=com,cn !has=4 纯数字", "6648.cn", false,
                  false},
        MatchCase{"full_width_space_separates", "len=4　纯数字", "6688.com", false, true},
        MatchCase{"full_width_space_separates_fail", "len=4　纯数字", "abcd.com", false, false},
        MatchCase{"extra_blanks_are_ignored", "  len=4\t\t纯数字  ", "6688.com", false, true},
        MatchCase{"full_width_comma_separates_values", "tld=cn，net", "a.net", false, true},
        // Full-width ASCII typed with a Chinese input method reads as half-width.
        MatchCase{"full_width_operators_and_digits", "ｌｅｎ＜＝５ ｔｌｄ＝ｃｏｍ", "abcde.com",
                  false, true},
        MatchCase{"full_width_compare_fails_as_half_width", "len＞５", "abcde.com", false, false},
        MatchCase{"full_width_bang_before_full_width_key", "！ｔｌｄ＝ＣＮ", "a.cn", false, false},
        MatchCase{"full_width_range_dots", "len＝３．．５", "abcd.com", false, true},
        MatchCase{"keys_are_case_blind", "LEN=3", "abc.com", false, true},
        MatchCase{"empty_expression_matches_all", "", "abc.com", false, true},
        MatchCase{"blank_expression_matches_all", " 　 ", "abc.com", false, true}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(FilterScoreTest, ScoreTermsUseTheGivenWeights) {
    ScoreWeights weights = defaultScoreWeights();
    weights.aabb += 20;
    const NameFeatures aabb = computeFeatures("6688.com");
    const auto standard = Filter::compile("score>=85");
    const auto heavier = Filter::compile("score>=85", weights);
    ASSERT_TRUE(std::holds_alternative<Filter>(standard));
    ASSERT_TRUE(std::holds_alternative<Filter>(heavier));
    EXPECT_FALSE(std::get<Filter>(standard).matches(aabb, false));
    EXPECT_TRUE(std::get<Filter>(heavier).matches(aabb, false));
}

struct ErrorCase {
    const char* rule;
    std::string expression;
    int term;
    std::string text;
    std::string message;
};

class FilterErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FilterErrorTest, NamesTheTermAndTheReason) {
    const ErrorCase& c = GetParam();
    const auto compiled = Filter::compile(c.expression);
    ASSERT_TRUE(std::holds_alternative<FilterError>(compiled));
    const FilterError& e = std::get<FilterError>(compiled);
    EXPECT_EQ(e.term, c.term);
    EXPECT_EQ(e.text, c.text);
    EXPECT_EQ(e.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, FilterErrorTest,
    ::testing::Values(
        ErrorCase{"unknown_key", "纯数字 lenx<=5", 2, "lenx<=5",
                  "筛选条件有误：第2项 \"lenx<=5\"：未知条件 lenx"},
        ErrorCase{"unknown_word", "len=3 abc", 2, "abc", "筛选条件有误：第2项 \"abc\"：未知条件"},
        ErrorCase{"english_class_name_is_not_a_word", "digits", 1, "digits",
                  "筛选条件有误：第1项 \"digits\"：未知条件"},
        ErrorCase{"missing_key", "=5", 1, "=5", "筛选条件有误：第1项 \"=5\"：未知条件"},
        ErrorCase{"missing_value", "len=", 1, "len=", "筛选条件有误：第1项 \"len=\"：缺少值"},
        ErrorCase{"empty_list_item", "tld=com,", 1, "tld=com,",
                  "筛选条件有误：第1项 \"tld=com,\"：缺少值"},
        ErrorCase{"bare_dot_tld", "tld=.", 1, "tld=.", "筛选条件有误：第1项 \"tld=.\"：缺少值"},
        ErrorCase{"bad_number", "len=5a", 1, "len=5a", "筛选条件有误：第1项 \"len=5a\"：数字有误"},
        ErrorCase{"bad_compared_number", "len<=x", 1, "len<=x",
                  "筛选条件有误：第1项 \"len<=x\"：数字有误"},
        ErrorCase{"compare_takes_one_number", "len<3,4", 1, "len<3,4",
                  "筛选条件有误：第1项 \"len<3,4\"：数字有误"},
        ErrorCase{"number_too_long", "len=99999", 1, "len=99999",
                  "筛选条件有误：第1项 \"len=99999\"：数字有误"},
        ErrorCase{"negative_number", "len=-1", 1, "len=-1",
                  "筛选条件有误：第1项 \"len=-1\"：数字有误"},
        ErrorCase{"range_reversed", "len=5..3", 1, "len=5..3",
                  "筛选条件有误：第1项 \"len=5..3\"：范围有误"},
        ErrorCase{"range_open_end", "len=3..", 1, "len=3..",
                  "筛选条件有误：第1项 \"len=3..\"：范围有误"},
        ErrorCase{"range_three_dots", "len=3...5", 1, "len=3...5",
                  "筛选条件有误：第1项 \"len=3...5\"：范围有误"},
        ErrorCase{"unknown_kind", "kind=digit", 1, "kind=digit",
                  "筛选条件有误：第1项 \"kind=digit\"：未知类别"},
        ErrorCase{"bad_score", "score>=high", 1, "score>=high",
                  "筛选条件有误：第1项 \"score>=high\"：数字有误"},
        ErrorCase{"compare_on_text_key", "tld<com", 1, "tld<com",
                  "筛选条件有误：第1项 \"tld<com\"：tld 只能用 ="},
        ErrorCase{"compare_on_pinyin", "pinyin>=2", 1, "pinyin>=2",
                  "筛选条件有误：第1项 \"pinyin>=2\"：pinyin 只能用 ="},
        ErrorCase{"word_with_value", "new=1", 1, "new=1",
                  "筛选条件有误：第1项 \"new=1\"：new 不带值"},
        ErrorCase{"lone_bang", "len=3 !", 2, "!", "筛选条件有误：第2项 \"!\"：缺少条件"},
        ErrorCase{"lone_full_width_bang", "！", 1, "！", "筛选条件有误：第1项 \"！\"：缺少条件"},
        ErrorCase{"full_width_term_shown_as_typed", "ｌｅｎ＝ｘ", 1, "ｌｅｎ＝ｘ",
                  "筛选条件有误：第1项 \"ｌｅｎ＝ｘ\"：数字有误"},
        // Full-width quotes hold a blank as half-width ones do; the right term is quoted.
        ErrorCase{"full_width_quotes_keep_terms", "has＝＂8 8＂ x", 2, "x",
                  "筛选条件有误：第2项 \"x\"：未知条件"},
        ErrorCase{"double_bang", "!!new", 1, "!!new", "筛选条件有误：第1项 \"!!new\"：未知条件"},
        ErrorCase{"position_counts_terms_not_blanks", "　len=3   tld=com　has=", 3,
                  "has=", "筛选条件有误：第3项 \"has=\"：缺少值"},
        ErrorCase{"first_fault_is_reported", "x y", 1, "x", "筛选条件有误：第1项 \"x\"：未知条件"},
        // Quotes keep blanks inside a term; one left open is a fault, not a letter.
        ErrorCase{"unclosed_quote", "has=\"8 8\" tld=\"com", 2, "tld=\"com",
                  "筛选条件有误：第2项 \"tld=\"com\"：引号不成对"},
        // A NUL byte is a byte like any other, never taken for a closing quote and dropped.
        ErrorCase{"nul_byte_kept", std::string("len\0=3", 6), 1, std::string("len\0=3", 6),
                  "筛选条件有误：第1项 \"" + std::string("len\0=3", 6) + "\"：未知条件 " +
                      std::string("len\0", 4)},
        ErrorCase{"invalid_utf8",
                  "len=3 has=\xFF"
                  "8",
                  2,
                  "has=\xFF"
                  "8",
                  "筛选条件有误：第2项 \"has=\uFFFD8\"：含有无效的 UTF-8 字节"},
        // A long term is shown once, cut to 80 characters.
        ErrorCase{"long_term_cut", std::string(200, 'x'), 1, std::string(200, 'x'),
                  "筛选条件有误：第1项 \"" + std::string(80, 'x') + "…\"：未知条件"},
        // An item is named when it is one of several, cut too.
        ErrorCase{"long_item_cut", "len=3," + std::string(100, 'x'), 1,
                  "len=3," + std::string(100, 'x'),
                  "筛选条件有误：第1项 \"len=3," + std::string(74, 'x') + "…\"：数字有误 " +
                      std::string(80, 'x') + "…"}),
    [](const auto& info) { return std::string(info.param.rule); });

TEST(FilterValue, DefaultMatchesEverythingAndCopiesShareTheTerms) {
    const Filter all;
    EXPECT_TRUE(all.matchesEverything());
    EXPECT_TRUE(all.matches(computeFeatures("x-_y.中国"), false));

    Filter digits = std::get<Filter>(Filter::compile("纯数字"));
    const Filter copy = digits;
    digits = all;
    EXPECT_TRUE(copy.matches(computeFeatures("88.com"), false));
    EXPECT_FALSE(copy.matches(computeFeatures("ab.com"), false));
}

TEST(FilterValue, ReportsWhetherTheNewTermIsUsed) {
    const std::pair<const char*, bool> rows[] = {
        {"len=3", false}, {"new", true}, {"!new", true}, {"len=3 NEW", true}, {"", false}};
    for (const auto& [expression, uses] : rows) {
        EXPECT_EQ(std::get<Filter>(Filter::compile(expression)).usesNew(), uses) << expression;
    }
}

}  // namespace
}  // namespace jilan::filter

namespace jilan::filter {
namespace {

struct BoundsCase {
    const char* rule;
    std::string expression;
    int minLength;
    int maxLength;
    std::string classes;  // the classes a kept name can have, in NameClass order
    bool empty;
};

class FilterBoundsTest : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(FilterBoundsTest, NarrowsOnlyWhatEveryKeptNameMeets) {
    const BoundsCase& c = GetParam();
    const Filter::Bounds b = std::get<Filter>(Filter::compile(c.expression)).bounds();
    std::string classes;
    for (NameClass k : {NameClass::Chinese, NameClass::Hyphen, NameClass::Digits,
                        NameClass::Letters, NameClass::Mixed, NameClass::Other}) {
        if (b.allows(k)) {
            classes += std::string(classes.empty() ? "" : " ") + std::string(classText(k));
        }
    }
    EXPECT_EQ(b.minLength, c.minLength);
    EXPECT_EQ(b.maxLength, c.maxLength);
    EXPECT_EQ(classes, c.classes);
    EXPECT_EQ(b.empty(), c.empty);
}

constexpr int kAny = std::numeric_limits<int>::max();
const std::string kAll = "中文 含横杠 纯数字 纯字母 杂米 其他";

INSTANTIATE_TEST_SUITE_P(
    Expressions, FilterBoundsTest,
    ::testing::Values(
        BoundsCase{"no_terms_no_bounds", "", 0, kAny, kAll, false},
        BoundsCase{"length_and_class", "len<=5 纯数字", 0, 5, "纯数字", false},
        BoundsCase{"length_terms_intersect", "len=3..5 len>=4", 4, 5, kAll, false},
        BoundsCase{"negated_length_says_nothing", "!len=3", 0, kAny, kAll, false},
        BoundsCase{"pattern_lengths", "pattern=AABB,ABCDE", 4, 5, kAll, false},
        BoundsCase{"negated_class_is_removed", "!纯数字", 0, kAny, "中文 含横杠 纯字母 杂米 其他",
                   false},
        BoundsCase{"class_terms_intersect", "kind=digits,letters !纯字母", 0, kAny, "纯数字",
                   false},
        BoundsCase{"syllables_mean_letters", "双拼", 0, kAny, "纯字母", false},
        BoundsCase{"pinyin_zero_allows_any_class", "pinyin=0,1", 0, kAny, kAll, false},
        BoundsCase{"initials_mean_letters", "声母", 0, kAny, "纯字母", false},
        BoundsCase{"negated_initials_say_nothing", "!声母", 0, kAny, kAll, false},
        BoundsCase{"impossible_length", "len<0", kAny, std::numeric_limits<int>::min(), kAll, true},
        BoundsCase{"impossible_class", "纯数字 纯字母", 0, kAny, "", true}),
    [](const auto& info) { return std::string(info.param.rule); });

struct ExactCase {
    const char* expression;
    bool exact;
};

// A filter that calls its bounds exact keeps a name exactly when the name lies within them
// and has one of its suffixes: a query on the stored columns alone then counts what the
// filter would keep.
TEST(FilterBoundsExact, ExactBoundsKeepWhatTheFilterKeeps) {
    const std::vector<std::string> names = {
        "8.com",    "88.cn",      "1234.com", "12345.net",   "abc.com",     "abcd.cn",
        "a1b2.com", "a-b.com.cn", "中文.com", "xn--abc.top", "abcdefg.com", "888888.com.cn"};
    for (const ExactCase c :
         {ExactCase{"", true}, ExactCase{"纯数字", true}, ExactCase{"len=4 纯数字 tld=com", true},
          ExactCase{"len=3..5 !纯字母 tld=.cn,com.cn", true}, ExactCase{"len>=4", true},
          ExactCase{"len=3,5", false}, ExactCase{"!len=4", false}, ExactCase{"!tld=com", false},
          ExactCase{"tld=com tld=cn", false}, ExactCase{"双拼", false},
          ExactCase{"new 纯数字", false}}) {
        SCOPED_TRACE(c.expression);
        const Filter filter = std::get<Filter>(Filter::compile(c.expression));
        EXPECT_EQ(filter.boundsExact(), c.exact);
        if (!filter.boundsExact()) {
            continue;
        }
        const Filter::Bounds b = filter.bounds();
        const std::vector<std::string> suffixes = filter.suffixes();
        for (const std::string& name : names) {
            const NameFeatures f = computeFeatures(name);
            const bool inside =
                f.length >= b.minLength && f.length <= b.maxLength && b.allows(f.kind) &&
                (suffixes.empty() ||
                 std::find(suffixes.begin(), suffixes.end(), f.tld) != suffixes.end());
            EXPECT_EQ(inside, filter.matches(f, false)) << name;
        }
    }
}

}  // namespace
}  // namespace jilan::filter
