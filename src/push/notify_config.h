#pragma once

// notify.toml: the channels messages go to and the digests sent after a run. README (推送)
// shows a whole file.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "push/channel_types.h"

namespace jilan::push {

struct Channel {
    std::string name;  // unique; digests refer to channels by it
    ChannelType type = ChannelType::Desktop;
    std::string url;                   // as given: the program adds only what the protocol adds
    std::string secret;                // DingTalk/Feishu 加签 secret; empty: unsigned
    std::string token;                 // PushPlus
    std::string chatId;                // Telegram
    std::string user, password, from;  // e-mail
    std::vector<std::string> to;       // e-mail
    std::string caFile;                // e-mail: the CA bundle a company's own mail server needs
    std::string proxy;                 // e.g. socks5h://127.0.0.1:1080
};

struct Digest {
    std::string name;
    std::string filter;  // the filter language, as --filter
    std::vector<std::string> channels;
    bool onlyNew = true;
    bool sendWhenEmpty = true;
    int maxNames = 30;  // 0: every name
};

// [remind]: when the watchlist's reminders go out (--remind).
struct RemindSettings {
    std::int64_t beforeDeadlineSeconds = 2 * 3600;  // before_deadline = "2h"; 0: no such reminder
    bool atDeletion = true;                         // at_deletion
};

struct NotifyConfig {
    std::vector<Channel> channels;
    std::vector<Digest> digests;
    RemindSettings remind;

    const Channel* channel(std::string_view name) const;
};

// Checks a digest's filter; returns the reason it does not parse.
using FilterCheck = std::function<std::optional<std::string>(const std::string&)>;

// The file's channels and digests, or a Chinese message naming the file, the line and the key:
// 通知配置有误：notify.toml 第7行 channel.type：未知的类型 "wechat"
std::variant<NotifyConfig, std::string> parseNotifyConfig(std::string_view text,
                                                          const std::string& fileName,
                                                          const FilterCheck& checkFilter);

// $XDG_CONFIG_HOME/jilan-harvester/notify.toml, else ~/.config/jilan-harvester/notify.toml.
std::string defaultNotifyConfigPath(
    const std::function<std::optional<std::string>(const char*)>& env);

// The file on disk, refused before it is parsed further when it holds any channel with a secret
// (anything but desktop) and is not the user's own with mode & 077 = 0, as ssh refuses a loose key.
std::variant<NotifyConfig, std::string> readNotifyConfig(const std::string& path,
                                                         const FilterCheck& checkFilter);

}  // namespace jilan::push
