#include "filter/score_config.h"

#include <toml++/toml.h>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/settings_problem.h"

namespace jilan::filter {
namespace {

constexpr int kMaxPoints = 100;
constexpr double kMaxMultiplier = 2.0;
constexpr std::size_t kMaxLengths = 63;

using Problems = base::FirstSettingsProblem;

std::string joined(std::string_view section, std::string_view key) {
    return std::string(section) + "." + std::string(key);
}

void readPoints(const toml::node& node, const std::string& key, int& out, Problems& problems) {
    const auto value = node.value<std::int64_t>();
    if (!node.is_integer() || !value || *value < -kMaxPoints || *value > kMaxPoints) {
        problems.add(node.source(), key, "需要 -100 到 100 之间的整数");
        return;
    }
    out = static_cast<int>(*value);
}

void readLengths(const toml::node& node, const std::string& key, LengthPoints& out,
                 Problems& problems) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty() || array->size() > kMaxLengths) {
        problems.add(node.source(), key, "需要 1 到 63 个整数的数组（一位、两位……的分数）");
        return;
    }
    std::vector<int> points;
    for (const toml::node& item : *array) {
        const auto value = item.value<std::int64_t>();
        if (!item.is_integer() || !value || *value < 0 || *value > kMaxPoints) {
            problems.add(item.source(), key, "数组中需要 0 到 100 之间的整数");
            return;
        }
        points.push_back(static_cast<int>(*value));
    }
    out.byLength = std::move(points);
}

void readMultiplier(const toml::node& node, const std::string& key, double& out,
                    Problems& problems) {
    const auto value = node.value<double>();
    if (!(node.is_floating_point() || node.is_integer()) || !value || *value < 0 ||
        *value > kMaxMultiplier) {
        problems.add(node.source(), key, "需要 0 到 2 之间的数");
        return;
    }
    out = *value;
}

template <typename Field>
struct Entry {
    std::string_view key;
    Field field;
};

void readSection(std::string_view section, const toml::table& table, ScoreWeights& w,
                 Problems& problems) {
    const std::array<Entry<LengthPoints ScoreWeights::*>, 9> lengths = {{
        {"digits", &ScoreWeights::digits},
        {"letters", &ScoreWeights::letters},
        {"initials", &ScoreWeights::initials},
        {"pinyin1", &ScoreWeights::pinyin1},
        {"pinyin2", &ScoreWeights::pinyin2},
        {"pinyin3", &ScoreWeights::pinyin3},
        {"pinyin_more", &ScoreWeights::pinyinMore},
        {"mixed", &ScoreWeights::mixed},
        {"chinese", &ScoreWeights::chinese},
    }};
    struct Points {
        std::string_view section;
        std::string_view key;
        int ScoreWeights::*field;
    };
    static constexpr std::array<Points, 17> kPoints = {{
        {"base", "beyond", &ScoreWeights::beyond},
        {"pattern", "leopard", &ScoreWeights::leopard},
        {"pattern", "run", &ScoreWeights::run},
        {"pattern", "aabb", &ScoreWeights::aabb},
        {"pattern", "abab", &ScoreWeights::abab},
        {"pattern", "aaab", &ScoreWeights::aaab},
        {"pattern", "abba", &ScoreWeights::abba},
        {"pattern", "repeat", &ScoreWeights::repeat},
        {"digits", "no_zero_no_four", &ScoreWeights::noZeroNoFour},
        {"digits", "four", &ScoreWeights::four},
        {"digits", "lucky", &ScoreWeights::lucky},
        {"digits", "lucky_most", &ScoreWeights::luckyMost},
        {"pinyin", "word", &ScoreWeights::word},
        {"pinyin", "two_words", &ScoreWeights::twoWords},
        {"cost", "hyphen", &ScoreWeights::hyphen},
        {"cost", "mix", &ScoreWeights::mix},
        {"", "", nullptr},
    }};
    for (const auto& [key, node] : table) {
        const std::string name = joined(section, key.str());
        if (section == "suffix") {
            if (key.str() == "other") {
                readMultiplier(node, name, w.otherSuffix, problems);
                continue;
            }
            double multiplier = 1.0;
            readMultiplier(node, name, multiplier, problems);
            const std::string_view suffix = key.str();  // a lambda may not name a binding (clang)
            auto it = std::find_if(w.suffixes.begin(), w.suffixes.end(),
                                   [suffix](const SuffixWeight& s) { return s.suffix == suffix; });
            if (it == w.suffixes.end()) {
                w.suffixes.push_back({std::string(key.str()), multiplier});
            } else {
                it->multiplier = multiplier;
            }
            continue;
        }
        bool known = false;
        if (section == "base") {
            for (const auto& entry : lengths) {
                if (entry.key == key.str()) {
                    readLengths(node, name, w.*entry.field, problems);
                    known = true;
                }
            }
        }
        for (const Points& p : kPoints) {
            if (p.field != nullptr && p.section == section && p.key == key.str()) {
                readPoints(node, name, w.*p.field, problems);
                known = true;
            }
        }
        if (!known) {
            problems.add(key.source(), name, "未知的键");
        }
    }
}

}  // namespace

std::string defaultScoreConfigPath(const ConfigEnvLookup& env) {
    std::filesystem::path base;
    if (auto xdg = env("XDG_CONFIG_HOME"); xdg && !xdg->empty() && xdg->front() == '/') {
        base = *xdg;  // the XDG rules ignore a relative value
    } else if (auto home = env("HOME"); home && !home->empty() && home->front() == '/') {
        base = std::filesystem::path(*home) / ".config";
    } else {
        return {};
    }
    return (base / "jilan-harvester" / "score.toml").string();
}

std::variant<ScoreWeights, std::string> parseScoreConfig(std::string_view text,
                                                         const std::string& fileName) {
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& error) {
        return base::settingsSyntaxProblem("评分配置", fileName, error.source().begin.line,
                                           error.description());
    }
    ScoreWeights weights = defaultScoreWeights();
    Problems problems("评分配置", fileName);
    static constexpr std::array<std::string_view, 6> kSections = {"base",   "pattern", "digits",
                                                                  "pinyin", "cost",    "suffix"};
    for (const auto& [key, node] : root) {
        const bool known =
            std::find(kSections.begin(), kSections.end(), key.str()) != kSections.end();
        if (!known) {
            problems.add(key.source(), key.str(),
                         "未知的节（可用 base、pattern、digits、pinyin、cost、suffix）");
        } else if (const toml::table* section = node.as_table()) {
            readSection(key.str(), *section, weights, problems);
        } else {
            problems.add(node.source(), key.str(), "需要一节 [" + std::string(key.str()) + "]");
        }
        if (problems.any()) {
            return problems.message();
        }
    }
    return weights;
}

std::variant<ScoreWeights, std::string> readScoreConfig(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "无法读取评分配置 " + path + "：这是一个文件夹";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "无法读取评分配置 " + path + "：文件不存在或无权读取";
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return "无法读取评分配置 " + path + "：读取失败";
    }
    return parseScoreConfig(text.str(), path);
}

}  // namespace jilan::filter
