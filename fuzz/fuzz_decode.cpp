// The decoders on arbitrary bytes. Every one of them must return valid UTF-8.
//
// Input layout for the declared-charset path: the first line (up to 64 bytes) is a
// Content-Type value such as "text/html; charset=gbk", or a bare charset label; the rest is
// the body.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "fuzz_check.h"
#include "net/text_decoding.h"

namespace base = jilan::base;
namespace net = jilan::net;
using jilan::fuzz::check;

namespace {

// glibc unloads a converter module when its last descriptor closes, so a run that opens and
// closes the same exotic charset over and over spends most of its time in dlopen. Holding one
// descriptor per charset seen keeps the modules loaded; the code under test is unchanged.
class ModulePins {
public:
    ModulePins() = default;
    ModulePins(const ModulePins&) = delete;
    ModulePins& operator=(const ModulePins&) = delete;
    ~ModulePins() {
        for (auto& [name, cd] : pins_) {
            iconv_close(cd);
        }
    }
    void pin(const std::string& charset) {
        constexpr std::size_t kMaxPins = 512;
        if (pins_.size() >= kMaxPins || pins_.count(charset) != 0) {
            return;
        }
        iconv_t cd = iconv_open("UTF-8", charset.c_str());
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            pins_.emplace(charset, cd);
        }
    }

private:
    std::map<std::string, iconv_t> pins_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = jilan::fuzz::asText(data, size);
    const bool valid = base::isValidUtf8(bytes);

    const std::string gb = net::decodeGb18030(bytes);
    check(base::isValidUtf8(gb), "decodeGb18030 returns valid UTF-8");
    check(bytes.empty() == gb.empty(), "decodeGb18030 drops no input");

    const std::string lossy = base::decodeUtf8Lossy(bytes);
    check(base::isValidUtf8(lossy), "decodeUtf8Lossy returns valid UTF-8");
    check(!valid || lossy == bytes, "valid UTF-8 passes decodeUtf8Lossy unchanged");

    const std::string undeclared = net::decodeUndeclared(bytes);
    check(base::isValidUtf8(undeclared), "decodeUndeclared returns valid UTF-8");
    check(undeclared == (valid ? lossy : gb), "undeclared text is UTF-8 if valid, else GB18030");

    const std::size_t newline = bytes.substr(0, 64).find('\n');
    if (newline == std::string_view::npos) {
        return 0;
    }
    const std::string_view header = bytes.substr(0, newline);
    const std::string_view body = bytes.substr(newline + 1);
    std::optional<std::string> charset = net::charsetFromContentType(header);
    if (!charset && header.find('=') == std::string_view::npos) {
        charset = std::string(header);
    }
    if (charset && charset->find('/') == std::string::npos) {
        static ModulePins pins;
        pins.pin(*charset);
    }
    const std::string decoded = net::decodeWithCharset(
        body, charset ? std::optional<std::string_view>(*charset) : std::nullopt);
    check(base::isValidUtf8(decoded), "decodeWithCharset returns valid UTF-8");
    if (!charset) {
        check(decoded == net::decodeUndeclared(body), "no charset decodes as undeclared");
    }
    return 0;
}
