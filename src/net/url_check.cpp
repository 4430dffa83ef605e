#include "url_check.h"

namespace jilan::net {

namespace {

// The scheme's length including "://", or 0 for anything but http and https.
std::size_t httpSchemeLength(std::string_view url) {
    if (url.starts_with("http://")) {
        return 7;
    }
    if (url.starts_with("https://")) {
        return 8;
    }
    return 0;
}

}  // namespace

bool sendableUrl(std::string_view url) {
    if (httpSchemeLength(url) == 0) {
        return false;
    }
    for (const unsigned char c : url) {
        if (c <= 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

bool openableUrl(std::string_view url) {
    if (!sendableUrl(url)) {
        return false;
    }
    const std::string_view rest = url.substr(httpSchemeLength(url));
    return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#';
}

}  // namespace jilan::net
