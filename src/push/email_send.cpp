#include "push/email_send.h"

#include <ctime>

#include "net/curl_handles.h"
#include "push/signing.h"

namespace jilan::push {
namespace {

struct Source {
    const std::string* text;
    std::size_t at = 0;
};

std::size_t feed(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* source = static_cast<Source*>(user);
    const std::size_t room = size * count;
    const std::size_t left = source->text->size() - source->at;
    const std::size_t n = left < room ? left : room;
    source->text->copy(buffer, n, source->at);
    source->at += n;
    return n;
}

// Base64 in lines of 76 characters, as MIME wants.
std::string wrapped(const std::string& encoded) {
    std::string out;
    for (std::size_t i = 0; i < encoded.size(); i += 76) {
        out += encoded.substr(i, 76) + "\r\n";
    }
    return out;
}

}  // namespace

std::string composeMail(const Channel& channel, const Message& message, std::int64_t nowMs) {
    const std::time_t seconds = static_cast<std::time_t>(nowMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char date[64];
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", &utc);
    std::string to;
    for (const std::string& address : channel.to) {
        to += (to.empty() ? "" : ", ") + address;
    }
    return "Date: " + std::string(date) + "\r\nFrom: " + channel.from + "\r\nTo: " + to +
           "\r\nSubject: =?UTF-8?B?" + base64(message.title) +
           "?=\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           wrapped(base64(message.text));
}

Answer sendMail(const Channel& channel, const Message& message, std::int64_t nowMs,
                const HttpOptions& options) {
    net::CurlEasy easy(curl_easy_init());
    net::CurlSlist recipients;
    if (!easy) {
        return {Verdict::Refused, "无法建立请求", 0};
    }
    for (const std::string& address : channel.to) {
        const std::string bracketed = "<" + address + ">";
        if (!net::appendHeader(recipients, bracketed.c_str())) {
            return {Verdict::Refused, "无法建立请求", 0};
        }
    }
    const std::string mail = composeMail(channel, message, nowMs);
    const std::string from = "<" + channel.from + ">";
    Source source{&mail};
    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, channel.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    if (channel.url.starts_with("smtp://")) {
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    }
    curl_easy_setopt(h, CURLOPT_USERNAME, channel.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, channel.password.c_str());
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_READFUNCTION, feed);
    curl_easy_setopt(h, CURLOPT_READDATA, &source);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    if (!channel.proxy.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXY, channel.proxy.c_str());
    }
    // The server's certificate is always verified: against the system's CAs, or the one given.
    if (!channel.caFile.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, channel.caFile.c_str());
    }
    const CURLcode code = curl_easy_perform(h);
    switch (code) {
        case CURLE_OK:
            return {Verdict::Delivered, "成功", 0};
        case CURLE_LOGIN_DENIED:
            return {Verdict::Refused, "邮件服务器拒绝登录（用户名或密码不对）", 0};
        case CURLE_USE_SSL_FAILED:
            return {Verdict::Refused, "邮件服务器不支持 STARTTLS，未以明文发送", 0};
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return {Verdict::Refused,
                    "邮件服务器的证书无法验证（公司自建的邮件服务器请用 ca_file 指定其根证书）", 0};
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_OPERATION_TIMEDOUT:
            return {Verdict::Transient, "无法连接邮件服务器", 0};
        default: {
            long status = 0;
            curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
            return {Verdict::Refused,
                    "邮件发送失败（" + std::string(curl_easy_strerror(code)) +
                        (status != 0 ? "，服务器回答 " + std::to_string(status) : "") + "）",
                    0};
        }
    }
}

}  // namespace jilan::push
