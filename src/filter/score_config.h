#pragma once

// The score's weights from a TOML file (score.toml): any weight of score_weights.h may be
// given, the rest keep their defaults. docs/score.md shows the file.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "filter/score_weights.h"

namespace jilan::filter {

using ConfigEnvLookup = std::function<std::optional<std::string>(const char*)>;

// $XDG_CONFIG_HOME/jilan-harvester/score.toml, else ~/.config/jilan-harvester/score.toml; empty
// when neither variable gives an absolute folder.
std::string defaultScoreConfigPath(const ConfigEnvLookup& env);

// The defaults with the file's values applied, or a Chinese message naming the file, the line
// and the key: 评分配置有误：score.toml 第3行 pattern.aabb：需要整数
std::variant<ScoreWeights, std::string> parseScoreConfig(std::string_view text,
                                                         const std::string& fileName);

// The same for a file on disk; a file that cannot be read is an error too.
std::variant<ScoreWeights, std::string> readScoreConfig(const std::string& path);

}  // namespace jilan::filter
