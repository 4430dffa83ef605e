#pragma once

#include <curl/curl.h>

namespace jilan::net {

// libcurl's process-wide state: set up once in main before any thread starts (the harvest's
// and the batch query's transfer pools run on their own threads) and torn down when main
// returns.
class CurlGlobal {
public:
    CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
    ~CurlGlobal() {
        if (ok_) {
            curl_global_cleanup();
        }
    }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
    CurlGlobal(CurlGlobal&&) = delete;
    CurlGlobal& operator=(CurlGlobal&&) = delete;

private:
    bool ok_;
};

}  // namespace jilan::net
