#pragma once

#include <curl/curl.h>

#include <memory>

namespace jilan::net {

struct CurlEasyDeleter {
    void operator()(CURL* h) const noexcept { curl_easy_cleanup(h); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* h) const noexcept { curl_multi_cleanup(h); }
};
struct CurlSlistDeleter {
    void operator()(curl_slist* l) const noexcept { curl_slist_free_all(l); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// Appends a header line; the list owns every line it was given.
inline bool appendHeader(CurlSlist& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (grown == nullptr) {
        return false;
    }
    (void)list.release();  // the grown list now owns the old nodes
    list.reset(grown);
    return true;
}

}  // namespace jilan::net
