#pragma once

// The settings file of the program, config.toml in its configuration folder: where the four
// sites are. Its [sites] table gives market, icp, forum and home; what it leaves out keeps the
// built-in address. Options and environment variables still win over it (resolveUrls).

#include <string>
#include <string_view>
#include <variant>

#include "config/urls.h"

namespace jilan::config {

// $XDG_CONFIG_HOME/jilan-harvester/config.toml, else ~/.config/jilan-harvester/config.toml;
// empty when neither variable gives an absolute folder.
std::string defaultSitesFilePath(const EnvLookup& env);

// The file's URLs, each checked like the options' values, or a Chinese message naming the file,
// the line and the key: 配置文件有误：config.toml 第2行 sites.market：……
std::variant<FileUrls, std::string> parseSitesFile(std::string_view text,
                                                   const std::string& fileName);

// The same for `path`: a missing file gives no URLs; a file that cannot be read is an error.
std::variant<FileUrls, std::string> readSitesFile(const std::string& path);

}  // namespace jilan::config
