#include "push/http_post.h"

#include "net/curl_handles.h"

namespace jilan::push {
namespace {

struct Sink {
    std::string* body;
    std::size_t cap;
    bool overflow = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->cap) {
        sink->overflow = true;
        return 0;  // ends the transfer
    }
    sink->body->append(data, bytes);
    return bytes;
}

std::string failureText(CURLcode code, long timeoutMs) {
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            return "平台在 " + std::to_string(timeoutMs / 1000) + " 秒内没有回答";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "无法解析主机名";
        case CURLE_COULDNT_RESOLVE_PROXY:
            return "无法解析代理的主机名";
        case CURLE_COULDNT_CONNECT:
            return "无法连接";
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
            return "TLS 连接失败";
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "不支持的地址协议";
        default:
            return std::string("网络错误（") + curl_easy_strerror(code) + "）";
    }
}

}  // namespace

HttpAnswer postOnce(const PostRequest& request, const std::string& proxy,
                    const HttpOptions& options) {
    HttpAnswer answer;
    net::CurlEasy easy(curl_easy_init());
    net::CurlSlist headers;
    const std::string type = "Content-Type: " + request.contentType;
    if (!easy || !net::appendHeader(headers, type.c_str())) {
        answer.failure = "无法建立请求";
        return answer;
    }
    Sink sink{&answer.body, options.maxAnswerBytes};
    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    if (!proxy.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
    }
    const CURLcode code = curl_easy_perform(h);
    if (sink.overflow) {
        answer.tooLarge = true;
        return answer;
    }
    if (code != CURLE_OK) {
        answer.failure = failureText(code, options.timeoutMs);
        return answer;
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &answer.status);
    return answer;
}

}  // namespace jilan::push
