#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jilan::config {

// The demo sites listen here unless told otherwise.
inline constexpr int kDefaultSimPort = 18080;

// The four base URLs the program talks to.
struct Urls {
    std::string market;  // scheme and host, no trailing slash
    std::string icp;     // ends in "/"; the domain is appended directly
    std::string forum;
    std::string home;
    friend bool operator==(const Urls&, const Urls&) = default;
};

Urls defaultUrls();

// nullopt when url is an absolute http or https URL with a host and no
// whitespace or control characters; else a message saying what is wrong.
std::optional<std::string> checkBaseUrl(std::string_view url);

struct UrlsResult {
    Urls urls;
    std::vector<std::string> errors;  // one line per refused value
    bool ok() const { return errors.empty(); }
};

using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The URLs the settings file gives (sites_file.h), each already checked; unset when the file
// leaves it out.
struct FileUrls {
    std::optional<std::string> market = std::nullopt;
    std::optional<std::string> icp = std::nullopt;
    std::optional<std::string> forum = std::nullopt;
    std::optional<std::string> home = std::nullopt;
};

// Defaults, overridden by the settings file's URLs, overridden by JILAN_MARKET_URL,
// JILAN_ICP_URL, JILAN_FORUM_URL, JILAN_HOME_URL, overridden in turn by the options
// market-url, icp-url, forum-url, home-url (option names without dashes as keys).
UrlsResult resolveUrls(const std::map<std::string, std::string>& options, const EnvLookup& env,
                       const FileUrls& file = {});

// The real environment.
std::optional<std::string> processEnv(const std::string& name);

}  // namespace jilan::config
