#include "push/signing.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>

namespace jilan::push {

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::string hmacSha256(std::string_view key, std::string_view message) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest.data(),
         &length);
    return std::string(reinterpret_cast<const char*>(digest.data()), length);
}

std::string urlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string dingTalkSign(std::int64_t timestampMs, std::string_view secret) {
    const std::string message = std::to_string(timestampMs) + "\n" + std::string(secret);
    return base64(hmacSha256(secret, message));
}

std::string feishuSign(std::int64_t timestampSeconds, std::string_view secret) {
    const std::string key = std::to_string(timestampSeconds) + "\n" + std::string(secret);
    return base64(hmacSha256(key, ""));
}

}  // namespace jilan::push
