#pragma once

#include <cstddef>
#include <string>

namespace jilan::net {

// Limits of the HTTP client. Tests shorten them; the program uses the defaults.
struct HttpLimits {
    long connectTimeoutMs = 10'000;
    long totalTimeoutMs = 60'000;
    // Abort a transfer that moves fewer than lowSpeedBytes per second for lowSpeedSeconds.
    long lowSpeedBytes = 1;
    long lowSpeedSeconds = 20;
    long maxRedirects = 5;
    // Counted after decompression: a gzip bomb is cut off here too.
    std::size_t maxBodyBytes = std::size_t{16} * 1024 * 1024;
    // Longest single wait of GetBody between two rounds of window events.
    int pollIntervalMs = 5;
};

enum class FetchError {
    None,
    InvalidUrl,   // refused before anything was sent
    Transport,    // no connection, reset, dropped in the middle of the body
    Timeout,      // connect, total or low-speed limit
    TooLarge,     // body over the cap
    BadRedirect,  // too many redirects or a redirect to a non-http scheme
    Cancelled,    // the wait was abandoned (the program is ending)
};

// One fetched page: the decoded text, the HTTP status and whether the transfer failed.
// An error answer (404, 500) is not a failed transfer: its body is page text.
struct FetchResult {
    std::string text;
    long status = 0;
    FetchError error = FetchError::None;
    std::string reason;  // short Chinese text for the status line; empty when fine

    bool failed() const { return error != FetchError::None; }
    bool httpError() const { return !failed() && status >= 400; }
    // Neither a failed transfer nor an error status.
    bool good() const { return !failed() && status < 400; }
};

}  // namespace jilan::net
