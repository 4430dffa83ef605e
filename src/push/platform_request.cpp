#include "push/platform_request.h"

#include <nlohmann/json.hpp>

#include "push/signing.h"

namespace jilan::push {
namespace {

using nlohmann::json;

constexpr const char* kJson = "application/json; charset=utf-8";

std::string withQuery(const std::string& url, const std::string& query) {
    return url + (url.find('?') == std::string::npos ? "?" : "&") + query;
}

std::string formField(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + urlEncode(value);
}

json namesJson(std::span<const DigestEntry> entries) {
    json names = json::array();
    for (const DigestEntry& e : entries) {
        json row = {{"name", e.domain}, {"class", e.kind}, {"length", e.length}};
        if (e.score >= 0) {
            row["score"] = e.score;
        }
        if (!e.detail.empty()) {
            row["detail"] = e.detail;
        }
        names.push_back(std::move(row));
    }
    return names;
}

std::string dumped(const json& body) {
    // Invalid UTF-8 in a name becomes U+FFFD rather than an exception.
    return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

PostRequest buildRequest(const Channel& channel, const Message& message, const Payload& payload,
                         std::int64_t nowMs) {
    PostRequest request{channel.url, kJson, {}};
    switch (channel.type) {
        case ChannelType::WeCom:
            request.body =
                dumped({{"msgtype", "markdown"}, {"markdown", {{"content", message.text}}}});
            break;
        case ChannelType::DingTalk:
            if (!channel.secret.empty()) {
                request.url = withQuery(
                    channel.url, "timestamp=" + std::to_string(nowMs) +
                                     "&sign=" + urlEncode(dingTalkSign(nowMs, channel.secret)));
            }
            request.body =
                dumped({{"msgtype", "markdown"},
                        {"markdown", {{"title", message.title}, {"text", message.text}}}});
            break;
        case ChannelType::Feishu: {
            json body = {{"msg_type", "text"}, {"content", {{"text", message.text}}}};
            if (!channel.secret.empty()) {
                const std::int64_t seconds = nowMs / 1000;
                body["timestamp"] = std::to_string(seconds);
                body["sign"] = feishuSign(seconds, channel.secret);
            }
            request.body = dumped(body);
            break;
        }
        case ChannelType::Telegram:
            request.body = dumped({{"chat_id", channel.chatId},
                                   {"text", message.text},
                                   {"disable_web_page_preview", true}});
            break;
        case ChannelType::ServerChan:
            request.contentType = "application/x-www-form-urlencoded";
            request.body =
                formField("title", message.title) + "&" + formField("desp", message.text);
            break;
        case ChannelType::PushPlus:
            request.body = dumped({{"token", channel.token},
                                   {"title", message.title},
                                   {"content", message.text},
                                   {"template", "txt"}});
            break;
        case ChannelType::Webhook:
            request.body = dumped({{"digest", payload.digestName},
                                   {"run", payload.run},
                                   {"title", message.title},
                                   {"part", message.number},
                                   {"parts", message.count},
                                   {"text", message.text},
                                   {"names", namesJson(payload.entries)}});
            break;
        case ChannelType::Email:
        case ChannelType::Desktop:
            break;  // not HTTP
    }
    return request;
}

Answer judgeAnswer(ChannelType type, const HttpAnswer& answer) {
    if (answer.tooLarge) {
        return {Verdict::Refused, "平台的回答过大，已放弃", 0};
    }
    if (answer.status == 0) {
        return {Verdict::Transient, answer.failure.empty() ? "无法连接" : answer.failure, 0};
    }
    if (answer.status >= 300 && answer.status < 400) {
        return {Verdict::Refused,
                "平台转向了其他地址（HTTP 状态 " + std::to_string(answer.status) + "，未跟随）", 0};
    }
    const json body = json::parse(answer.body, nullptr, false);
    const std::string platform = std::string(limitsOf(type).label);
    if (answer.status == 429) {
        int after = 0;
        if (body.is_object() && body.contains("parameters") &&
            body["parameters"].value("retry_after", 0) > 0) {
            after = body["parameters"].value("retry_after", 0);
        }
        return {Verdict::RateLimited, "发送过快", after};
    }
    if (answer.status >= 500) {
        return {Verdict::Transient, "HTTP 状态 " + std::to_string(answer.status), 0};
    }
    if (type == ChannelType::Webhook && answer.status >= 200 && answer.status < 300) {
        return {Verdict::Delivered, "成功", 0};
    }
    if (body.is_discarded() || !body.is_object()) {
        return {Verdict::Refused,
                "HTTP 状态 " + std::to_string(answer.status) + "，回答不是 JSON（可能是错误页面）",
                0};
    }
    if (type == ChannelType::Telegram) {
        if (body.value("ok", false)) {
            return {Verdict::Delivered, "成功", 0};
        }
        const std::string description = body.value("description", std::string());
        if (description.find("too long") != std::string::npos) {
            return {Verdict::Refused, "消息过长", 0};
        }
        return {Verdict::Refused, platform + "回答：" + description, 0};
    }
    // WeCom and DingTalk answer errcode, Feishu code (StatusCode in old versions), Server酱 code
    // 0, PushPlus code 200.
    const char* field =
        (type == ChannelType::WeCom || type == ChannelType::DingTalk) ? "errcode" : "code";
    long code = -1;
    if (body.contains(field) && body[field].is_number_integer()) {
        code = body[field].get<long>();
    } else if (body.contains("StatusCode") && body["StatusCode"].is_number_integer()) {
        code = body["StatusCode"].get<long>();
    }
    const long ok = type == ChannelType::PushPlus ? 200 : 0;
    const PlatformLimits& limits = limitsOf(type);
    if (answer.status >= 200 && answer.status < 300 && code == ok) {
        return {Verdict::Delivered, "成功", 0};
    }
    if (limits.rateLimitCode != 0 && code == limits.rateLimitCode) {
        return {Verdict::RateLimited, "发送过快", 0};
    }
    if (limits.signatureCode != 0 && code == limits.signatureCode) {
        return {Verdict::Refused, "签名不匹配", 0};
    }
    if (limits.sizeCode != 0 && code == limits.sizeCode) {
        return {Verdict::Refused, "消息过长", 0};
    }
    std::string text = platform + "回答 " + std::to_string(code);
    for (const char* message : {"errmsg", "msg"}) {
        if (body.contains(message) && body[message].is_string()) {
            text += "：" + body[message].get<std::string>();
            break;
        }
    }
    if (answer.status < 200 || answer.status >= 300) {
        text = "HTTP 状态 " + std::to_string(answer.status) + "，" + text;
    }
    return {Verdict::Refused, text, 0};
}

}  // namespace jilan::push
