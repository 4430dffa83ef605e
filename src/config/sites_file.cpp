#include "config/sites_file.h"

#include <toml++/toml.h>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/settings_problem.h"

namespace jilan::config {
namespace {

std::string problem(const std::string& fileName, const toml::source_region& where,
                    std::string_view key, std::string_view reason) {
    return base::settingsProblem("配置文件", fileName, where.begin.line, key, reason);
}

}  // namespace

std::string defaultSitesFilePath(const EnvLookup& env) {
    std::filesystem::path base;
    if (auto xdg = env ? env("XDG_CONFIG_HOME") : std::nullopt;
        xdg && !xdg->empty() && xdg->front() == '/') {
        base = *xdg;  // the XDG rules ignore a relative value
    } else if (auto home = env ? env("HOME") : std::nullopt;
               home && !home->empty() && home->front() == '/') {
        base = std::filesystem::path(*home) / ".config";
    } else {
        return {};
    }
    return (base / "jilan-harvester" / "config.toml").string();
}

std::variant<FileUrls, std::string> parseSitesFile(std::string_view text,
                                                   const std::string& fileName) {
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& error) {
        return base::settingsSyntaxProblem("配置文件", fileName, error.source().begin.line,
                                           error.description());
    }
    struct Key {
        std::string_view name;
        std::optional<std::string> FileUrls::*field;
    };
    static constexpr std::array<Key, 4> kKeys = {{{"market", &FileUrls::market},
                                                  {"icp", &FileUrls::icp},
                                                  {"forum", &FileUrls::forum},
                                                  {"home", &FileUrls::home}}};
    FileUrls urls;
    for (const auto& [key, node] : root) {
        if (key.str() != "sites") {
            return problem(fileName, key.source(), key.str(), "未知的节（可用 sites）");
        }
        const toml::table* sites = node.as_table();
        if (sites == nullptr) {
            return problem(fileName, node.source(), "sites", "需要一节 [sites]");
        }
        for (const auto& [name, value] : *sites) {
            // A copy: a lambda may not capture a structured binding before C++20's clang 16.
            const std::string_view keyName = name.str();
            const std::string shown = "sites." + std::string(keyName);
            const auto known = std::find_if(kKeys.begin(), kKeys.end(),
                                            [keyName](const Key& k) { return k.name == keyName; });
            if (known == kKeys.end()) {
                return problem(fileName, name.source(), shown,
                               "未知的键（可用 market、icp、forum、home）");
            }
            const std::optional<std::string> url = value.value<std::string>();
            if (!value.is_string() || !url) {
                return problem(fileName, value.source(), shown, "需要带引号的网址");
            }
            if (std::optional<std::string> wrong = checkBaseUrl(*url)) {
                return problem(fileName, value.source(), shown, *wrong);
            }
            urls.*known->field = *url;
        }
    }
    return urls;
}

std::variant<FileUrls, std::string> readSitesFile(const std::string& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) {
        return FileUrls{};
    }
    if (std::filesystem::is_directory(path, error)) {
        return "无法读取配置文件 " + path + "：这是一个文件夹";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "无法读取配置文件 " + path + "：无权读取";
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return "无法读取配置文件 " + path + "：读取失败";
    }
    return parseSitesFile(text.str(), path);
}

}  // namespace jilan::config
