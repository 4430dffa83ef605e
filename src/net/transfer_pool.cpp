#include "transfer_pool.h"

#include <array>
#include <utility>

#include "text_decoding.h"
#include "url_check.h"

namespace jilan::net {

// One GET on one easy handle: its options, its body buffer and the way its
// outcome becomes a FetchResult.
class Transfer {
public:
    Transfer(const Request& request, const HttpLimits& limits)
        : easy_(curl_easy_init()), decoding_(request.decoding), cap_(limits.maxBodyBytes) {
        errorBuffer_[0] = '\0';
        if (!easy_) {
            return;
        }
        CURL* h = easy_.get();
        curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, limits.maxRedirects);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        // Each request stands alone: no connection or cookie carries over.
        curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
        // Accept compressed answers; the cap below counts the inflated bytes.
        curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::onData);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer_.data());
        curl_easy_setopt(h, CURLOPT_USERAGENT,
                         "Mozilla/5.0 (compatible; jilan-harvester/" JILAN_VERSION ")");
        if (request.ifModifiedSinceZero) {
            appendHeader(headers_, "If-Modified-Since: 0");
            curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers_.get());
        }
    }

    CURL* handle() const { return easy_.get(); }

    FetchResult finish(CURLcode code) {
        FetchResult result;
        if (easy_) {
            curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &result.status);
        }
        if (code != CURLE_OK) {
            result.error = classify(code);
            result.cause = {.kind = causeOf(code),
                            .curlCode = static_cast<int>(code),
                            .curlMessage = errorBuffer_[0] != '\0'
                                               ? std::string(errorBuffer_.data())
                                               : curl_easy_strerror(code)};
            body_.clear();
            return result;
        }
        result.retryAfter = headerValue("Retry-After");
        std::optional<std::string> charset;
        if (decoding_ == Decoding::Declared) {
            char* contentType = nullptr;
            curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_TYPE, &contentType);
            if (contentType != nullptr) {
                charset = charsetFromContentType(contentType);
            }
            result.text = decodeWithCharset(body_, charset);
        } else {
            result.text = decodeGb18030(body_);
        }
        body_.clear();
        body_.shrink_to_fit();
        return result;
    }

    static FetchResult refused() {
        return FetchResult::failure(FetchError::InvalidUrl, FailureKind::UnsupportedAddress);
    }

    static FetchResult notStarted() {
        return FetchResult::failure(FetchError::Transport, FailureKind::Unknown);
    }

private:
    static std::size_t onData(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<Transfer*>(user);
        const std::size_t n = size * count;
        if (self->body_.size() + n > self->cap_) {
            self->overCap_ = true;
            return 0;  // aborts the transfer with a write error
        }
        self->body_.append(data, n);
        return n;
    }

    FetchError classify(CURLcode code) const {
        if (overCap_) {
            return FetchError::TooLarge;
        }
        switch (code) {
            case CURLE_OPERATION_TIMEDOUT:
                return FetchError::Timeout;
            case CURLE_TOO_MANY_REDIRECTS:
            case CURLE_UNSUPPORTED_PROTOCOL:
                return FetchError::BadRedirect;
            case CURLE_URL_MALFORMAT:
                return FetchError::InvalidUrl;
            default:
                return FetchError::Transport;
        }
    }

    // The precise cause; a time-out before any connection is told apart from one after it.
    FailureKind causeOf(CURLcode code) const {
        if (overCap_) {
            return FailureKind::TooLarge;
        }
        switch (code) {
            case CURLE_COULDNT_CONNECT:
                return FailureKind::Refused;
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
                return FailureKind::HostNotResolved;
            case CURLE_OPERATION_TIMEDOUT: {
                curl_off_t connectedAfter = 0;
                curl_easy_getinfo(easy_.get(), CURLINFO_CONNECT_TIME_T, &connectedAfter);
                return connectedAfter == 0 ? FailureKind::ConnectTimeout
                                           : FailureKind::ResponseTimeout;
            }
            case CURLE_TOO_MANY_REDIRECTS:
                return FailureKind::TooManyRedirects;
            case CURLE_UNSUPPORTED_PROTOCOL:
                return FailureKind::RedirectRefused;
            case CURLE_URL_MALFORMAT:
                return FailureKind::UnsupportedAddress;
            case CURLE_RECV_ERROR:
            case CURLE_SEND_ERROR:
            case CURLE_GOT_NOTHING:
            case CURLE_PARTIAL_FILE:
            case CURLE_BAD_CONTENT_ENCODING:
            case CURLE_HTTP2:
            case CURLE_HTTP2_STREAM:
                return FailureKind::ConnectionCut;
            default:
                return FailureKind::Unknown;
        }
    }

    // The named header of the last answer (after redirects), or empty.
    std::string headerValue(const char* name) const {
        curl_header* header = nullptr;
        if (curl_easy_header(easy_.get(), name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK ||
            header == nullptr || header->value == nullptr) {
            return {};
        }
        return header->value;
    }

    CurlEasy easy_;
    CurlSlist headers_;
    Decoding decoding_;
    std::size_t cap_;
    std::string body_;
    bool overCap_ = false;
    std::array<char, CURL_ERROR_SIZE> errorBuffer_{};
};

TransferPool::TransferPool(HttpLimits limits) : limits_(limits), multi_(curl_multi_init()) {}

TransferPool::~TransferPool() {
    for (auto& [id, transfer] : running_) {
        curl_multi_remove_handle(multi_.get(), transfer->handle());
    }
}

TransferPool::Id TransferPool::start(const Request& request) {
    const Id id = nextId_++;
    if (!sendableUrl(request.url)) {
        done_.emplace(id, Transfer::refused());
        return id;
    }
    auto transfer = std::make_unique<Transfer>(request, limits_);
    if (transfer->handle() == nullptr || !multi_ ||
        curl_multi_add_handle(multi_.get(), transfer->handle()) != CURLM_OK) {
        done_.emplace(id, Transfer::notStarted());
        return id;
    }
    curl_easy_setopt(transfer->handle(), CURLOPT_PRIVATE, reinterpret_cast<void*>(id));
    running_.emplace(id, std::move(transfer));
    return id;
}

void TransferPool::poll(int timeoutMs) {
    if (!multi_) {
        return;
    }
    int stillRunning = 0;
    curl_multi_perform(multi_.get(), &stillRunning);
    if (timeoutMs > 0) {
        // Sleeps in the kernel until a socket is ready or the time is up: an idle
        // wait costs next to nothing.
        curl_multi_poll(multi_.get(), nullptr, 0, timeoutMs, nullptr);
        curl_multi_perform(multi_.get(), &stillRunning);
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        void* privateData = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &privateData);
        const Id id = static_cast<Id>(reinterpret_cast<std::uintptr_t>(privateData));
        const CURLcode code = message->data.result;
        auto it = running_.find(id);
        if (it == running_.end()) {
            continue;
        }
        curl_multi_remove_handle(multi_.get(), it->second->handle());
        done_.emplace(id, it->second->finish(code));
        running_.erase(it);
    }
}

std::optional<FetchResult> TransferPool::take(Id id) {
    auto it = done_.find(id);
    if (it == done_.end()) {
        return std::nullopt;
    }
    FetchResult result = std::move(it->second);
    done_.erase(it);
    return result;
}

void TransferPool::cancel(Id id) {
    if (auto it = running_.find(id); it != running_.end()) {
        curl_multi_remove_handle(multi_.get(), it->second->handle());
        running_.erase(it);
    }
    done_.erase(id);
}

FetchResult TransferPool::fetchBlocking(const Request& request) const {
    if (!sendableUrl(request.url)) {
        return Transfer::refused();
    }
    Transfer transfer(request, limits_);
    if (transfer.handle() == nullptr) {
        return Transfer::notStarted();
    }
    return transfer.finish(curl_easy_perform(transfer.handle()));
}

}  // namespace jilan::net
