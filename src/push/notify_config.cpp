#include "push/notify_config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <toml++/toml.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/settings_problem.h"

namespace jilan::push {
namespace {

using Problems = base::FirstSettingsProblem;

std::string typeList() {
    std::string list;
    for (const PlatformLimits& p : kPlatforms) {
        list += (list.empty() ? "" : "、") + std::string(p.name);
    }
    return list;
}

bool readText(const toml::table& table, std::string_view key, const std::string& where,
              std::string& out, bool required, Problems& problems) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        if (required) {
            problems.add(table.source(), where + "." + std::string(key), "缺少此项");
        }
        return false;
    }
    const auto value = node->value<std::string>();
    if (!node->is_string() || !value || value->empty()) {
        problems.add(node->source(), where + "." + std::string(key), "需要非空的文字");
        return false;
    }
    out = *value;
    return true;
}

bool readBool(const toml::table& table, std::string_view key, const std::string& where, bool& out,
              Problems& problems) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return false;
    }
    if (!node->is_boolean()) {
        problems.add(node->source(), where + "." + std::string(key), "需要 true 或 false");
        return false;
    }
    out = *node->value<bool>();
    return true;
}

void readTextList(const toml::table& table, std::string_view key, const std::string& where,
                  std::vector<std::string>& out, Problems& problems) {
    const toml::node* node = table.get(key);
    const std::string name = where + "." + std::string(key);
    if (node == nullptr) {
        problems.add(table.source(), name, "缺少此项");
        return;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr || array->empty()) {
        problems.add(node->source(), name, "需要非空的文字数组");
        return;
    }
    for (const toml::node& item : *array) {
        const auto value = item.value<std::string>();
        if (!item.is_string() || !value || value->empty()) {
            problems.add(item.source(), name, "数组中需要非空的文字");
            return;
        }
        out.push_back(*value);
    }
}

// The keys a channel of each type may have besides name and type.
std::vector<std::string_view> keysOf(ChannelType type) {
    switch (type) {
        case ChannelType::DingTalk:
        case ChannelType::Feishu:
            return {"url", "secret", "proxy"};
        case ChannelType::PushPlus:
            return {"url", "token", "proxy"};
        case ChannelType::Telegram:
            return {"url", "chat_id", "proxy"};
        case ChannelType::Email:
            return {"url", "user", "password", "from", "to", "ca_file", "proxy"};
        case ChannelType::Desktop:
            return {};
        default:
            return {"url", "proxy"};
    }
}

void readChannel(const toml::table& table, NotifyConfig& config, Problems& problems) {
    Channel c;
    const std::string where = "channel";
    readText(table, "name", where, c.name, true, problems);
    std::string type;
    if (!readText(table, "type", where, type, true, problems)) {
        return;
    }
    const auto kind = channelTypeNamed(type);
    if (!kind) {
        problems.add(table.get("type")->source(), "channel.type",
                     "未知的类型 \"" + type + "\"（可用 " + typeList() + "）");
        return;
    }
    c.type = *kind;
    const auto allowed = keysOf(c.type);
    for (const auto& [key, node] : table) {
        const bool known = key.str() == "name" || key.str() == "type" ||
                           std::find(allowed.begin(), allowed.end(), key.str()) != allowed.end();
        if (!known) {
            problems.add(key.source(), "channel." + std::string(key.str()),
                         "未知的键（" + type + " 类型的通道不用此项）");
        }
    }
    const std::string at = "channel[" + c.name + "]";
    if (c.type != ChannelType::Desktop && readText(table, "url", at, c.url, true, problems)) {
        const bool mail = c.type == ChannelType::Email;
        const bool fits = mail ? (c.url.starts_with("smtps://") || c.url.starts_with("smtp://"))
                               : (c.url.starts_with("https://") || c.url.starts_with("http://"));
        if (!fits) {
            problems.add(table.get("url")->source(), at + ".url",
                         mail ? "需要 smtps:// 或 smtp:// 开头的地址"
                              : "需要 https:// 或 http:// 开头的地址");
        }
    }
    readText(table, "secret", at, c.secret, false, problems);
    readText(table, "proxy", at, c.proxy, false, problems);
    readText(table, "token", at, c.token, c.type == ChannelType::PushPlus, problems);
    if (c.type == ChannelType::Telegram) {
        const toml::node* chat = table.get("chat_id");
        if (chat != nullptr && chat->is_integer()) {
            c.chatId = std::to_string(*chat->value<std::int64_t>());
        } else {
            readText(table, "chat_id", at, c.chatId, true, problems);
        }
    }
    if (c.type == ChannelType::Email) {
        readText(table, "user", at, c.user, true, problems);
        readText(table, "password", at, c.password, true, problems);
        readText(table, "from", at, c.from, true, problems);
        readTextList(table, "to", at, c.to, problems);
        readText(table, "ca_file", at, c.caFile, false, problems);
    }
    if (config.channel(c.name) != nullptr) {
        problems.add(table.get("name")->source(), "channel.name", "通道名 \"" + c.name + "\" 重复");
    } else if (c.name.starts_with('#')) {
        // The program records its own deliveries (the window's reminder notifications) in the
        // outbox under names beginning with #; a channel so named would be taken as served.
        problems.add(table.get("name")->source(), "channel.name",
                     "通道名不能以 # 开头（程序自用）");
    }
    config.channels.push_back(std::move(c));
}

void readDigest(const toml::table& table, NotifyConfig& config, const FilterCheck& checkFilter,
                Problems& problems) {
    Digest d;
    static constexpr std::array<std::string_view, 6> kKeys = {
        "name", "filter", "channels", "only_new", "send_when_empty", "max_names"};
    for (const auto& [key, node] : table) {
        if (std::find(kKeys.begin(), kKeys.end(), key.str()) == kKeys.end()) {
            problems.add(key.source(), "digest." + std::string(key.str()), "未知的键");
        }
    }
    readText(table, "name", "digest", d.name, true, problems);
    const std::string at = "digest[" + d.name + "]";
    // An empty filter lists every name.
    const toml::node* filterNode = table.get("filter");
    if (filterNode == nullptr) {
        problems.add(table.source(), at + ".filter", "缺少此项");
    } else if (!filterNode->is_string()) {
        problems.add(filterNode->source(), at + ".filter", "需要文字（筛选条件）");
    } else {
        d.filter = *filterNode->value<std::string>();
        if (auto reason = checkFilter ? checkFilter(d.filter) : std::nullopt) {
            problems.add(filterNode->source(), at + ".filter", *reason);
        }
    }
    readTextList(table, "channels", at, d.channels, problems);
    for (const std::string& name : d.channels) {
        if (config.channel(name) == nullptr) {
            problems.add(table.get("channels")->source(), at + ".channels",
                         "没有名为 \"" + name + "\" 的通道");
        }
    }
    readBool(table, "only_new", at, d.onlyNew, problems);
    readBool(table, "send_when_empty", at, d.sendWhenEmpty, problems);
    if (const toml::node* max = table.get("max_names")) {
        const auto value = max->value<std::int64_t>();
        if (!max->is_integer() || !value || *value < 0 || *value > 100000) {
            problems.add(max->source(), at + ".max_names", "需要 0 到 100000 之间的整数");
        } else {
            d.maxNames = static_cast<int>(*value);
        }
    }
    for (const Digest& other : config.digests) {
        if (other.name == d.name) {
            problems.add(table.get("name")->source(), "digest.name",
                         "推送名 \"" + d.name + "\" 重复");
        }
    }
    config.digests.push_back(std::move(d));
}

// A lead time such as "2h", "90m", "1h30m" or "0": numbers each followed by d, h, m or s.
std::optional<std::int64_t> spanSeconds(std::string_view text) {
    if (text == "0") {
        return 0;
    }
    std::int64_t total = 0;
    std::int64_t number = -1;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            number = (number < 0 ? 0 : number) * 10 + (c - '0');
            if (number > 10'000'000) {
                return std::nullopt;
            }
            continue;
        }
        const std::string_view units = "dhms";
        const auto unit = units.find(c);
        if (number < 0 || unit == std::string_view::npos) {
            return std::nullopt;
        }
        constexpr std::int64_t kScale[] = {86400, 3600, 60, 1};
        total += number * kScale[unit];
        number = -1;
    }
    return number < 0 && !text.empty() ? std::optional<std::int64_t>(total) : std::nullopt;
}

// [remind]: before_deadline (a lead time up to 7 days) and at_deletion.
void readRemind(const toml::node& node, NotifyConfig& config, Problems& problems) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        problems.add(node.source(), "remind", "需要 [remind] 节");
        return;
    }
    for (const auto& [key, value] : *table) {
        if (key.str() != "before_deadline" && key.str() != "at_deletion") {
            problems.add(key.source(), "remind." + std::string(key.str()),
                         "未知的键（可用 before_deadline、at_deletion）");
            return;
        }
    }
    if (const toml::node* lead = table->get("before_deadline")) {
        const auto text = lead->value<std::string>();
        const auto seconds = text ? spanSeconds(*text) : std::nullopt;
        if (!lead->is_string() || !seconds || *seconds > 7 * 86400) {
            problems.add(lead->source(), "remind.before_deadline",
                         "需要提前量，如 \"2h\"、\"90m\"、\"1h30m\"（最多 7 天；\"0\" 为不提醒）");
            return;
        }
        config.remind.beforeDeadlineSeconds = *seconds;
    }
    readBool(*table, "at_deletion", "remind", config.remind.atDeletion, problems);
}

// Each [[section]] in turn, stopping at the first problem.
template <typename Read>
void readSections(const toml::table& root, std::string_view key, Problems& problems, Read read) {
    const toml::node* node = root.get(key);
    if (node == nullptr) {
        return;
    }
    const toml::array* array = node->as_array();
    if (array == nullptr) {
        problems.add(node->source(), key, "需要 [[" + std::string(key) + "]] 节");
        return;
    }
    for (const toml::node& item : *array) {
        const toml::table* table = item.as_table();
        if (table == nullptr) {
            problems.add(item.source(), key, "需要 [[" + std::string(key) + "]] 节");
            return;
        }
        read(*table);
        if (problems.any()) {
            return;
        }
    }
}

}  // namespace

const Channel* NotifyConfig::channel(std::string_view name) const {
    for (const Channel& c : channels) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

std::variant<NotifyConfig, std::string> parseNotifyConfig(std::string_view text,
                                                          const std::string& fileName,
                                                          const FilterCheck& checkFilter) {
    toml::table root;
    try {
        root = toml::parse(text, fileName);
    } catch (const toml::parse_error& error) {
        return base::settingsSyntaxProblem("通知配置", fileName, error.source().begin.line,
                                           error.description());
    }
    Problems problems("通知配置", fileName);
    for (const auto& [key, node] : root) {
        if (key.str() != "channel" && key.str() != "digest" && key.str() != "remind") {
            problems.add(key.source(), key.str(),
                         "未知的节（可用 [[channel]]、[[digest]]、[remind]）");
            return problems.message();
        }
    }
    NotifyConfig config;
    readSections(root, "channel", problems,
                 [&](const toml::table& t) { readChannel(t, config, problems); });
    readSections(root, "digest", problems,
                 [&](const toml::table& t) { readDigest(t, config, checkFilter, problems); });
    if (const toml::node* remind = root.get("remind"); remind != nullptr && !problems.any()) {
        readRemind(*remind, config, problems);
    }
    if (problems.any()) {
        return problems.message();
    }
    return config;
}

std::string defaultNotifyConfigPath(
    const std::function<std::optional<std::string>(const char*)>& env) {
    std::filesystem::path base;
    if (auto xdg = env("XDG_CONFIG_HOME"); xdg && !xdg->empty() && xdg->front() == '/') {
        base = *xdg;
    } else if (auto home = env("HOME"); home && !home->empty() && home->front() == '/') {
        base = std::filesystem::path(*home) / ".config";
    } else {
        return {};
    }
    return (base / "jilan-harvester" / "notify.toml").string();
}

std::variant<NotifyConfig, std::string> readNotifyConfig(const std::string& path,
                                                         const FilterCheck& checkFilter) {
    std::ifstream in(path, std::ios::binary);
    struct stat st {};
    if (!in || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return "无法读取通知配置 " + path + "：文件不存在或无权读取";
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return "无法读取通知配置 " + path + "：读取失败";
    }
    auto parsed = parseNotifyConfig(text.str(), path, checkFilter);
    // The mode is judged on a parsed file only to know whether it holds secrets; nothing is
    // sent before this answer.
    if (const auto* config = std::get_if<NotifyConfig>(&parsed)) {
        const bool secrets =
            std::any_of(config->channels.begin(), config->channels.end(),
                        [](const Channel& c) { return c.type != ChannelType::Desktop; });
        if (secrets && st.st_uid != ::getuid()) {
            return "通知配置文件不属于当前用户，请检查 " + path;
        }
        if (secrets && (st.st_mode & 077) != 0) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
            return std::string("通知配置文件权限过宽（") + mode + "），请执行 chmod 600 " + path;
        }
    }
    return parsed;
}

}  // namespace jilan::push
