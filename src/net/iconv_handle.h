#pragma once

// RAII owner of an iconv conversion descriptor, plus the two conversion loops the text layer
// needs: a lossy one (rejected input becomes a replacement string, never stops early, never
// loops forever) and a strict one (any rejected or truncated input is an error).

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace jilan::net {

class IconvHandle {
public:
    // nullopt when iconv does not know one of the encodings.
    static std::optional<IconvHandle> open(const char* toCode, const char* fromCode) noexcept {
        iconv_t cd = iconv_open(toCode, fromCode);
        if (cd == invalidDescriptor()) {
            return std::nullopt;
        }
        return IconvHandle(cd);
    }

    IconvHandle(IconvHandle&& other) noexcept
        : cd_(std::exchange(other.cd_, invalidDescriptor())) {}
    IconvHandle& operator=(IconvHandle&& other) noexcept {
        if (this != &other) {
            close();
            cd_ = std::exchange(other.cd_, invalidDescriptor());
        }
        return *this;
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle() { close(); }

    // Length of the input to drop at a rejected position; receives the rest of the input
    // (never empty) and must return at least 1.
    using RejectedLength = std::size_t (*)(std::string_view rest);

    // Converts all of `input`. Each position iconv rejects is replaced by `replacement` and
    // conversion resumes `rejected(rest)` bytes later (one byte when `rejected` is null); an
    // incomplete sequence at the end becomes one `replacement`.
    std::string convertLossy(std::string_view input, std::string_view replacement,
                             RejectedLength rejected = nullptr) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(input.size() + input.size() / 2 + kMinSpare, '\0');
        std::size_t written = 0;
        char* in = const_cast<char*>(input.data());  // iconv's signature; it does not write
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            if (out.size() - written < kMinSpare) {
                out.resize(out.size() * 2);
            }
            char* outPtr = out.data() + written;
            std::size_t outLeft = out.size() - written;
            const std::size_t inBefore = inLeft;
            const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            const int err = errno;
            written = out.size() - outLeft;
            if (rc != static_cast<std::size_t>(-1)) {
                break;  // all input converted
            }
            if (err == E2BIG && (inLeft != inBefore || outLeft < kMinSpare)) {
                out.resize(out.size() * 2);
            } else if (err == EINVAL) {
                written = appendReplacement(out, written, replacement);
                break;
            } else {
                // EILSEQ, or an error that made no progress: drop the rejected bytes so the
                // loop always advances.
                written = appendReplacement(out, written, replacement);
                skip(in, inLeft, rejected);
            }
        }
        // Return to the initial shift state (only stateful encodings write anything here).
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (out.size() - written < kMinSpare) {
                out.resize(out.size() * 2);
            }
            char* outPtr = out.data() + written;
            std::size_t outLeft = out.size() - written;
            const std::size_t rc = iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
            const int err = errno;
            written = out.size() - outLeft;
            if (rc != static_cast<std::size_t>(-1) || err != E2BIG) {
                break;
            }
            out.resize(out.size() * 2);
        }
        out.resize(written);
        return out;
    }

    // Converts all of `input`; nullopt when iconv rejects any of it or it ends mid-sequence.
    std::optional<std::string> convertStrict(std::string_view input) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(input.size() * 4 + kMinSpare, '\0');
        std::size_t written = 0;
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        // Pass 1 converts the input; pass 2 (no input) writes any pending shift sequence.
        for (int pass = 1; pass <= 2;) {
            char* outPtr = out.data() + written;
            std::size_t outLeft = out.size() - written;
            const std::size_t rc = pass == 1 ? iconv(cd_, &in, &inLeft, &outPtr, &outLeft)
                                             : iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
            const int err = errno;
            const bool progressed = out.size() - outLeft != written;
            written = out.size() - outLeft;
            if (rc != static_cast<std::size_t>(-1)) {
                ++pass;
            } else if (err == E2BIG && (progressed || outLeft < kMinSpare)) {
                out.resize(out.size() * 2);
            } else {
                return std::nullopt;
            }
        }
        out.resize(written);
        return out;
    }

private:
    static constexpr std::size_t kMinSpare = 64;

    explicit IconvHandle(iconv_t cd) noexcept : cd_(cd) {}

    static iconv_t invalidDescriptor() noexcept { return reinterpret_cast<iconv_t>(-1); }

    void close() noexcept {
        if (cd_ != invalidDescriptor()) {
            iconv_close(cd_);
            cd_ = invalidDescriptor();
        }
    }

    static std::size_t appendReplacement(std::string& out, std::size_t written,
                                         std::string_view replacement) {
        if (out.size() - written < replacement.size()) {
            out.resize(out.size() * 2 + replacement.size());
        }
        replacement.copy(out.data() + written, replacement.size());
        return written + replacement.size();
    }

    static void skip(char*& in, std::size_t& inLeft, RejectedLength rejected) {
        std::size_t n = rejected != nullptr ? rejected(std::string_view(in, inLeft)) : 1;
        if (n == 0 || n > inLeft) {
            n = n == 0 ? 1 : inLeft;
        }
        in += n;
        inLeft -= n;
    }

    iconv_t cd_;
};

}  // namespace jilan::net
