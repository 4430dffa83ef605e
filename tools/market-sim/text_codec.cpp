#include "text_codec.h"

#include <cerrno>
#include <utility>

namespace jilan::sim {

namespace {
const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
}

std::optional<Iconv> Iconv::open(const char* toCharset, const char* fromCharset) {
    iconv_t cd = iconv_open(toCharset, fromCharset);
    if (cd == kInvalid) {
        return std::nullopt;
    }
    return Iconv(cd);
}

Iconv::Iconv(Iconv&& other) noexcept : cd_(std::exchange(other.cd_, kInvalid)) {}

Iconv& Iconv::operator=(Iconv&& other) noexcept {
    if (this != &other) {
        if (cd_ != kInvalid) {
            iconv_close(cd_);
        }
        cd_ = std::exchange(other.cd_, kInvalid);
    }
    return *this;
}

Iconv::~Iconv() {
    if (cd_ != kInvalid) {
        iconv_close(cd_);
    }
}

std::optional<std::string> Iconv::convert(std::string_view input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    std::string out;
    out.resize(input.size() * 2 + 16);
    // iconv takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    while (true) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        std::size_t rc = iconv(cd_, inLeft > 0 ? &in : nullptr, &inLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (rc != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                break;
            }
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        return std::nullopt;  // EILSEQ or EINVAL: invalid or truncated input
    }
    out.resize(used);
    return out;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    auto cd = Iconv::open("GBK", "UTF-8");
    if (!cd) {
        return std::nullopt;
    }
    return cd->convert(utf8);
}

}  // namespace jilan::sim
