// A small gzip stream that inflates to a huge run of spaces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace jilan::sim {

// Gzip member whose content is `inflatedBytes` spaces (rounded up to a whole MiB), with a correct
// CRC and length trailer. About 1 KiB per MiB of content; std::nullopt if zlib fails.
std::optional<std::string> makeGzipBomb(std::uint64_t inflatedBytes);

}  // namespace jilan::sim
