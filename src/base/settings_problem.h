#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jilan::base {

// How a fault in one of the user's settings files reads, whichever file it is:
// "通知配置有误：notify.toml 第7行 channel.type：未知的类型 "wechat"". `title` names the file's
// purpose (通知配置, 评分配置, 配置文件); an empty key leaves the key out.
inline std::string settingsProblem(std::string_view title, std::string_view fileName,
                                   std::size_t line, std::string_view key,
                                   std::string_view reason) {
    std::string message =
        std::string(title) + "有误：" + std::string(fileName) + " 第" + std::to_string(line) + "行";
    if (!key.empty()) {
        message += " " + std::string(key);
    }
    return message + "：" + std::string(reason);
}

// A file that is not TOML at all, with the reader's own description of where it went wrong.
inline std::string settingsSyntaxProblem(std::string_view title, std::string_view fileName,
                                         std::size_t line, std::string_view description) {
    return settingsProblem(title, fileName, line, {},
                           "TOML 格式错误（" + std::string(description) + "）");
}

// The first problem a reader of a settings file meets: the user mends one thing at a time,
// and a second message caused by the first would only mislead.
class FirstSettingsProblem {
public:
    FirstSettingsProblem(std::string title, std::string fileName)
        : title_(std::move(title)), fileName_(std::move(fileName)) {}

    void add(std::size_t line, std::string_view key, std::string_view reason) {
        if (message_.empty()) {
            message_ = settingsProblem(title_, fileName_, line, key, reason);
        }
    }
    // At a place the TOML reader gives (anything with begin.line), so that this header
    // needs no TOML of its own.
    template <class Region>
    void add(const Region& where, std::string_view key, std::string_view reason) {
        add(static_cast<std::size_t>(where.begin.line), key, reason);
    }
    bool any() const { return !message_.empty(); }
    const std::string& message() const { return message_; }

private:
    std::string title_;
    std::string fileName_;
    std::string message_;
};

}  // namespace jilan::base
