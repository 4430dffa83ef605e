#pragma once

// What each platform's protocol puts on the wire for one message, and how its answer reads:
// delivered, too fast, worth another try, or refused (with the platform's reason in Chinese).

#include <cstdint>
#include <span>
#include <string>

#include "push/digest_layout.h"
#include "push/notify_config.h"

namespace jilan::push {

struct PostRequest {
    std::string url;
    std::string contentType;
    std::string body;
};

// What the webhook's JSON body carries besides the text.
struct Payload {
    std::string digestName;
    std::string run;  // the run's date and time, 2026-12-08 07:30
    std::span<const DigestEntry> entries;
};

// `nowMs` signs DingTalk's and Feishu's requests.
PostRequest buildRequest(const Channel& channel, const Message& message, const Payload& payload,
                         std::int64_t nowMs);

struct HttpAnswer {
    long status = 0;  // 0: no answer
    std::string body;
    std::string failure;    // why there was no answer, in Chinese
    bool tooLarge = false;  // the answer passed the size cap and was dropped
};

enum class Verdict { Delivered, Skipped, RateLimited, Transient, Refused };

struct Answer {
    Verdict verdict = Verdict::Refused;
    std::string text;  // 成功, 签名不匹配, 发送过快, 消息过长, HTTP 状态 503, ...
    int retryAfterSeconds = 0;
};

Answer judgeAnswer(ChannelType type, const HttpAnswer& answer);

}  // namespace jilan::push
