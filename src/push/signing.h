#pragma once

// The signatures of the robots that sign their requests (加签), with OpenSSL's HMAC-SHA256.

#include <cstdint>
#include <string>
#include <string_view>

namespace jilan::push {

std::string base64(std::string_view bytes);
std::string hmacSha256(std::string_view key, std::string_view message);
// Percent-encodes everything but RFC 3986's unreserved characters.
std::string urlEncode(std::string_view text);

// DingTalk: Base64 of HMAC-SHA256(key = secret, message = timestamp + "\n" + secret), with the
// timestamp in milliseconds; the caller URL-encodes it into the query.
std::string dingTalkSign(std::int64_t timestampMs, std::string_view secret);

// Feishu: Base64 of HMAC-SHA256(key = timestamp + "\n" + secret, empty message), with the
// timestamp in seconds.
std::string feishuSign(std::int64_t timestampSeconds, std::string_view secret);

}  // namespace jilan::push
