#pragma once

// The kinds of notification channel and each platform's limits, in one table: the message
// splitter, the pacing of sends and the test stand-in all read it, so a limit changes in one
// place. Header-only and without project includes, so the stand-in can share it.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace jilan::push {

enum class ChannelType {
    WeCom,
    DingTalk,
    Feishu,
    ServerChan,
    PushPlus,
    Telegram,
    Email,
    Webhook,
    Desktop
};

struct PlatformLimits {
    ChannelType type;
    std::string_view name;   // as written in notify.toml
    std::string_view label;  // shown to the user
    std::size_t textBytes;   // a message's text in UTF-8 bytes; 0: no limit
    std::size_t textChars;   // a message's text in code points; 0: no limit
    std::size_t bodyBytes;   // the whole request body; 0: no limit
    int perWindow;           // at most this many messages ...
    int windowSeconds;       // ... in this many seconds (0: no window)
    int minGapMs;            // between two messages to one channel
    bool oneMessage;         // small daily quota: one message per digest, cut to fit
    long rateLimitCode;      // the platform's "too fast" answer code (0: HTTP 429 only)
    long signatureCode;      // "signature does not match" (0: none)
    long sizeCode;           // "message too long" (0: none)
};

// WeCom blocks a robot for 10 minutes beyond 20 messages a minute, DingTalk likewise; Feishu
// takes 5 a second; Telegram 1 a second to a chat and 20 a minute to a group.
inline constexpr std::array<PlatformLimits, 9> kPlatforms = {{
    {ChannelType::WeCom, "wecom", "企业微信", 4096, 0, 0, 20, 60, 0, false, 45009, 0, 40058},
    {ChannelType::DingTalk, "dingtalk", "钉钉", 20000, 0, 0, 20, 60, 0, false, 130101, 310000,
     460101},
    {ChannelType::Feishu, "feishu", "飞书", 18000, 0, 20480, 5, 1, 0, false, 11232, 19021, 9499},
    {ChannelType::ServerChan, "serverchan", "Server酱", 30000, 0, 0, 0, 0, 0, true, 0, 0, 0},
    {ChannelType::PushPlus, "pushplus", "PushPlus", 20000, 0, 0, 0, 0, 0, true, 0, 0, 0},
    {ChannelType::Telegram, "telegram", "Telegram", 0, 4096, 0, 20, 60, 1000, false, 0, 0, 0},
    {ChannelType::Email, "email", "电子邮件", 0, 0, 0, 0, 0, 0, true, 0, 0, 0},
    {ChannelType::Webhook, "webhook", "Webhook", 0, 0, 0, 0, 0, 0, true, 0, 0, 0},
    {ChannelType::Desktop, "desktop", "桌面通知", 1000, 0, 0, 0, 0, 0, true, 0, 0, 0},
}};

constexpr const PlatformLimits& limitsOf(ChannelType type) {
    return kPlatforms[static_cast<std::size_t>(type)];
}

constexpr std::optional<ChannelType> channelTypeNamed(std::string_view name) {
    for (const PlatformLimits& p : kPlatforms) {
        if (p.name == name) {
            return p.type;
        }
    }
    return std::nullopt;
}

static_assert(
    [] {
        for (std::size_t i = 0; i < kPlatforms.size(); ++i) {
            if (static_cast<std::size_t>(kPlatforms[i].type) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kPlatforms is indexed by ChannelType");

}  // namespace jilan::push
