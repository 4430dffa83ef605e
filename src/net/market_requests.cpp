#include "market_requests.h"

namespace jilan::net {

std::string percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::string listingUrl(std::string_view marketBase, std::string_view page) {
    std::string url(marketBase);
    url += "/search?p=";
    url += percentEncode(page);
    return url;
}

std::string detailUrl(std::string_view marketBase, std::string_view domain) {
    std::string url(marketBase);
    url += "/backorder/";
    url += percentEncode(domain);
    return url;
}

std::string icpUrl(std::string_view icpBase, std::string_view domain) {
    std::string url(icpBase);
    url += percentEncode(domain);
    return url;
}

}  // namespace jilan::net
