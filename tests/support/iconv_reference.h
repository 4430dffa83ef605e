#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "net/iconv_handle.h"

namespace jilan::testing {

// Bytes as space-separated hex pairs, for failure messages that must show invalid text.
inline std::string hex(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (const unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

// glibc's own verdict on GB18030 and UTF-8, the reference the decoders are checked against.
class IconvReference {
public:
    IconvReference()
        : gb_(net::IconvHandle::open("UTF-8", "GB18030")),
          utf8_(net::IconvHandle::open("UTF-32LE", "UTF-8")) {}
    bool ok() const { return gb_.has_value() && utf8_.has_value(); }
    std::optional<std::string> gb18030(std::string_view bytes) { return gb_->convertStrict(bytes); }
    bool validUtf8(std::string_view bytes) { return utf8_->convertStrict(bytes).has_value(); }

private:
    std::optional<net::IconvHandle> gb_;
    std::optional<net::IconvHandle> utf8_;
};

}  // namespace jilan::testing
