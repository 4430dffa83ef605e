#pragma once

// One POST through libcurl: no redirect followed (a hook that moves to another host is a
// failure, not a place to send secrets), a time-out for the whole answer, and a cap on its size.

#include <cstddef>
#include <string>

#include "push/platform_request.h"

namespace jilan::push {

struct HttpOptions {
    long timeoutMs = 20000;
    long connectTimeoutMs = 10000;
    std::size_t maxAnswerBytes = 64 * 1024;
};

HttpAnswer postOnce(const PostRequest& request, const std::string& proxy,
                    const HttpOptions& options);

}  // namespace jilan::push
