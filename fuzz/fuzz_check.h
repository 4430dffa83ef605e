// Property checks for the fuzz targets: a broken property aborts, which libFuzzer reports as
// a crash and keeps the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace jilan::fuzz {

inline void check(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// True when `part` lies inside `whole` (same memory, not just equal text).
inline bool within(std::string_view part, std::string_view whole) {
    if (part.empty()) {
        return true;
    }
    const char* const begin = whole.data();
    const char* const end = whole.data() + whole.size();
    return part.data() >= begin && part.data() + part.size() <= end;
}

}  // namespace jilan::fuzz
