#include "urls.h"

#include <cstdlib>

#include "base/ascii_case.h"

namespace jilan::config {

namespace {

void stripTrailingSlashes(std::string& url) {
    // Keep "http://x" intact; only slashes after the host go.
    while (url.size() > 1 && url.back() == '/' && url.find("://") + 3 < url.size() - 1) {
        url.pop_back();
    }
}

// The refused value as it can be shown safely: control bytes as \xNN.
std::string shown(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

}  // namespace

Urls defaultUrls() {
    const std::string base = "http://127.0.0.1:" + std::to_string(kDefaultSimPort);
    return Urls{base, base + "/icp/", base + "/vendor/forum", base + "/vendor/home"};
}

std::optional<std::string> checkBaseUrl(std::string_view url) {
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7F) {
            return "网址中不能有空格或控制字符：" + shown(url);
        }
    }
    const std::string lower = base::lowerAscii(url);
    std::size_t hostStart = 0;
    if (lower.rfind("http://", 0) == 0) {
        hostStart = 7;
    } else if (lower.rfind("https://", 0) == 0) {
        hostStart = 8;
    } else {
        return "网址必须以 http:// 或 https:// 开头：" + shown(url);
    }
    const std::size_t hostEnd = url.find_first_of("/?#", hostStart);
    const std::string_view host =
        url.substr(hostStart, hostEnd == std::string_view::npos ? url.npos : hostEnd - hostStart);
    if (host.empty() || host.front() == ':' || host.find('@') != std::string_view::npos) {
        return "网址中没有可用的主机名：" + shown(url);
    }
    return std::nullopt;
}

UrlsResult resolveUrls(const std::map<std::string, std::string>& options, const EnvLookup& env,
                       const FileUrls& file) {
    UrlsResult result{defaultUrls(), {}};
    struct Entry {
        const char* option;
        const char* variable;
        std::string Urls::*field;
        std::optional<std::string> FileUrls::*fromFile;
    };
    const Entry entries[] = {
        {"market-url", "JILAN_MARKET_URL", &Urls::market, &FileUrls::market},
        {"icp-url", "JILAN_ICP_URL", &Urls::icp, &FileUrls::icp},
        {"forum-url", "JILAN_FORUM_URL", &Urls::forum, &FileUrls::forum},
        {"home-url", "JILAN_HOME_URL", &Urls::home, &FileUrls::home},
    };
    for (const Entry& e : entries) {
        std::optional<std::string> value;
        std::string source;
        if (auto it = options.find(e.option); it != options.end()) {
            value = it->second;
            source = std::string("--") + e.option;
        } else if (env) {
            if (auto v = env(e.variable); v && !v->empty()) {
                value = *v;
                source = std::string("环境变量 ") + e.variable;
            }
        }
        if (!value && file.*e.fromFile) {
            value = file.*e.fromFile;
            source = "config.toml";
        }
        if (!value) {
            continue;
        }
        if (auto error = checkBaseUrl(*value)) {
            result.errors.push_back(source + "：" + *error);
            continue;
        }
        std::string url = *value;
        if (e.field == &Urls::market) {
            // The paths are appended with their own leading slash.
            stripTrailingSlashes(url);
        } else if (e.field == &Urls::icp && url.back() != '/') {
            // The lookup site's base ends in "/" and the domain follows directly.
            url.push_back('/');
        }
        result.urls.*e.field = url;
    }
    return result;
}

std::optional<std::string> processEnv(const std::string& name) {
    if (const char* v = std::getenv(name.c_str())) {
        return std::string(v);
    }
    return std::nullopt;
}

}  // namespace jilan::config
