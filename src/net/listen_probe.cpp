#include "net/listen_probe.h"

#include "net/curl_handles.h"
#include "net/url_check.h"

namespace jilan::net {

bool acceptsConnections(const std::string& url, long timeoutMs) {
    if (!sendableUrl(url)) {
        return false;
    }
    const CurlEasy easy(curl_easy_init());
    if (!easy) {
        return false;
    }
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROXY, "*");
    return curl_easy_perform(easy.get()) == CURLE_OK;
}

}  // namespace jilan::net
