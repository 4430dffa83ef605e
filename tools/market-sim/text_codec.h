// Charset conversion through glibc iconv, wrapped so the descriptor is always closed.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace jilan::sim {

class Iconv {
public:
    // std::nullopt when iconv does not know one of the charsets.
    static std::optional<Iconv> open(const char* toCharset, const char* fromCharset);

    Iconv(Iconv&& other) noexcept;
    Iconv& operator=(Iconv&& other) noexcept;
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    ~Iconv();

    // Strict conversion of the whole input: std::nullopt on any invalid or unmappable sequence.
    std::optional<std::string> convert(std::string_view input);

private:
    explicit Iconv(iconv_t cd) : cd_(cd) {}
    iconv_t cd_;
};

// UTF-8 page text to the bytes served in GBK mode; std::nullopt if a character has no GBK form.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

}  // namespace jilan::sim
