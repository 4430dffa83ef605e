#include "filter/score_config.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "filter/score.h"
#include "temp_dir.h"

namespace jilan::filter {
namespace {

struct BadConfig {
    const char* rule;
    std::string text;
    std::string message;  // the whole message
};

class ScoreConfigErrorTest : public ::testing::TestWithParam<BadConfig> {};

TEST_P(ScoreConfigErrorTest, NamesFileLineAndKey) {
    const BadConfig& c = GetParam();
    const auto read = parseScoreConfig(c.text, "score.toml");
    ASSERT_TRUE(std::holds_alternative<std::string>(read));
    EXPECT_EQ(std::get<std::string>(read), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ScoreConfigErrorTest,
    ::testing::Values(
        BadConfig{"text_for_points", "[pattern]\naabb = \"x\"\n",
                  "评分配置有误：score.toml 第2行 pattern.aabb：需要 -100 到 100 之间的整数"},
        BadConfig{"points_out_of_range", "\n[cost]\nmix = -500\n",
                  "评分配置有误：score.toml 第3行 cost.mix：需要 -100 到 100 之间的整数"},
        BadConfig{"unknown_key", "[pattern]\naabb = 3\nabcd = 4\n",
                  "评分配置有误：score.toml 第3行 pattern.abcd：未知的键"},
        BadConfig{"unknown_section", "[patterns]\naabb = 3\n",
                  "评分配置有误：score.toml 第1行 patterns："
                  "未知的节（可用 base、pattern、digits、pinyin、cost、suffix）"},
        BadConfig{"multiplier_too_big", "[suffix]\ncom = 1.0\n\"com.cn\" = 5\n",
                  "评分配置有误：score.toml 第3行 suffix.com.cn：需要 0 到 2 之间的数"},
        BadConfig{"lengths_not_an_array", "[base]\ndigits = 5\n",
                  "评分配置有误：score.toml 第2行 base.digits："
                  "需要 1 到 63 个整数的数组（一位、两位……的分数）"},
        BadConfig{"negative_length_points", "[base]\ndigits = [90,\n -1]\n",
                  "评分配置有误：score.toml 第3行 base.digits：数组中需要 0 到 100 之间的整数"},
        BadConfig{"section_as_value", "cost = 3\n",
                  "评分配置有误：score.toml 第1行 cost：需要一节 [cost]"}),
    [](const ::testing::TestParamInfo<BadConfig>& info) { return std::string(info.param.rule); });

TEST(ScoreConfigTest, SyntaxErrorNamesFileAndLine) {
    const auto read = parseScoreConfig("[pattern]\naabb = = 3\n", "my.toml");
    ASSERT_TRUE(std::holds_alternative<std::string>(read));
    EXPECT_TRUE(
        std::get<std::string>(read).starts_with("评分配置有误：my.toml 第2行：TOML 格式错误"))
        << std::get<std::string>(read);
}

TEST(ScoreConfigTest, GivenValuesOverrideTheRestKeepDefaults) {
    const auto read = parseScoreConfig(
        "[pattern]\naabb = 20\n[suffix]\nnet = 0.9\nvip = 1\n[base]\ndigits = [99, 98, 97, 50]\n",
        "score.toml");
    ASSERT_TRUE(std::holds_alternative<ScoreWeights>(read)) << std::get<std::string>(read);
    const ScoreWeights& w = std::get<ScoreWeights>(read);
    const ScoreWeights d = defaultScoreWeights();
    EXPECT_EQ(w.aabb, 20);
    EXPECT_EQ(w.abab, d.abab);
    EXPECT_EQ(w.suffixMultiplier("net"), 0.9);
    EXPECT_EQ(w.suffixMultiplier("vip"), 1.0);
    EXPECT_EQ(w.suffixMultiplier("com"), 1.0);
    // 3377: four digits 50 + AABB 20 + no 0 or 4 5 = 75, times net 0.9 = 67.5.
    EXPECT_EQ(scoreValue(computeFeatures("3377.net"), w), 68);
}

TEST(ScoreConfigTest, FileThatCannotBeReadIsAnError) {
    const jilan::testing::TempDir dir;
    const auto missing = readScoreConfig((dir.path() / "none.toml").string());
    ASSERT_TRUE(std::holds_alternative<std::string>(missing));
    EXPECT_TRUE(std::get<std::string>(missing).starts_with("无法读取评分配置 "));
    const auto folder = readScoreConfig(dir.path().string());
    ASSERT_TRUE(std::holds_alternative<std::string>(folder));
}

TEST(ScoreConfigTest, DefaultPathFollowsXdgThenHome) {
    const auto env = [](std::optional<std::string> xdg, std::optional<std::string> home) {
        return [=](const char* name) { return std::string(name) == "HOME" ? home : xdg; };
    };
    EXPECT_EQ(defaultScoreConfigPath(env("/x", "/h")), "/x/jilan-harvester/score.toml");
    EXPECT_EQ(defaultScoreConfigPath(env("rel", "/h")), "/h/.config/jilan-harvester/score.toml");
    EXPECT_EQ(defaultScoreConfigPath(env(std::nullopt, std::nullopt)), "");
}

}  // namespace
}  // namespace jilan::filter
