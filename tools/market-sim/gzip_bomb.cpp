#include "gzip_bomb.h"

#include <zlib.h>

#include <array>
#include <vector>

namespace jilan::sim {

namespace {

// Owns a raw-deflate z_stream.
class Deflater {
public:
    Deflater() {
        ok_ = deflateInit2(&zs_, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() {
        if (ok_) {
            deflateEnd(&zs_);
        }
    }
    bool ok() const { return ok_; }

    // Compresses `input` and flushes with `flush`; appends the produced bytes to `out`.
    bool run(const std::vector<unsigned char>& input, int flush, std::string& out) {
        zs_.next_in = const_cast<unsigned char*>(input.data());  // zlib does not write input
        zs_.avail_in = static_cast<uInt>(input.size());
        std::array<unsigned char, 64 * 1024> buf{};
        while (true) {
            zs_.next_out = buf.data();
            zs_.avail_out = static_cast<uInt>(buf.size());
            int rc = deflate(&zs_, flush);
            if (rc == Z_STREAM_ERROR) {
                return false;
            }
            out.append(reinterpret_cast<const char*>(buf.data()), buf.size() - zs_.avail_out);
            if (flush == Z_FINISH ? rc == Z_STREAM_END : zs_.avail_out != 0) {
                return true;
            }
        }
    }

private:
    z_stream zs_{};
    bool ok_ = false;
};

void appendLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

}  // namespace

std::optional<std::string> makeGzipBomb(std::uint64_t inflatedBytes) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    const std::vector<unsigned char> spaces(kChunk, ' ');
    const std::uint64_t chunks = (inflatedBytes + kChunk - 1) / kChunk;

    Deflater deflater;
    if (!deflater.ok()) {
        return std::nullopt;
    }
    // gzip header: magic, deflate, no flags, no mtime, max compression, Unix.
    std::string out = {'\x1f', '\x8b', '\x08', '\0', '\0', '\0', '\0', '\0', '\x02', '\x03'};

    // A full flush resets the compressor's history, so once two consecutive chunks compress to
    // the same bytes every later chunk will too: compress until that happens, then repeat.
    std::string previous;
    bool repeating = false;
    for (std::uint64_t i = 0; i < chunks; ++i) {
        if (!repeating) {
            std::string piece;
            if (!deflater.run(spaces, Z_FULL_FLUSH, piece)) {
                return std::nullopt;
            }
            repeating = piece == previous;
            previous = std::move(piece);
        }
        out += previous;
    }
    if (!deflater.run({}, Z_FINISH, out)) {
        return std::nullopt;
    }

    const uLong chunkCrc = crc32(0L, spaces.data(), static_cast<uInt>(kChunk));
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::uint64_t i = 0; i < chunks; ++i) {
        crc = crc32_combine(crc, chunkCrc, static_cast<z_off_t>(kChunk));
    }
    appendLe32(out, static_cast<std::uint32_t>(crc));
    appendLe32(out, static_cast<std::uint32_t>((chunks * kChunk) & 0xFFFFFFFFULL));
    return out;
}

}  // namespace jilan::sim
