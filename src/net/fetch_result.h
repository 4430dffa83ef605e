#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

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

// Why a transfer failed, fine enough for the status line to tell the user what happened.
enum class FailureKind {
    None,
    Refused,             // the host answered the connect with a refusal
    ConnectTimeout,      // no connection within the connect limit
    ResponseTimeout,     // connected, then the total limit ran out or the body stalled
    HostNotResolved,     // the name did not resolve
    ConnectionCut,       // the connection broke before the answer was complete
    TooLarge,            // the body went over the cap
    TooManyRedirects,    // more redirects than allowed
    RedirectRefused,     // a redirect to something other than http or https
    UnsupportedAddress,  // refused before anything was sent
    HttpStatus,          // an answer whose status the caller treats as a failure
    Cancelled,           // the wait was abandoned
    Unknown,
};

// A stable code for each kind ("connect-timeout"): the layers above net map it to text.
std::string_view causeCode(FailureKind kind);

struct FailureCause {
    FailureKind kind = FailureKind::None;
    int curlCode = 0;         // CURLcode of the failed transfer, 0 when curl was not involved
    std::string curlMessage;  // curl's own description, for logs; never shown as status text
};

// One fetched page: the decoded text, the HTTP status and whether the transfer failed.
// An error answer (404, 500) is not a failed transfer: its body is page text.
struct FetchResult {
    std::string text;
    long status = 0;
    FetchError error = FetchError::None;
    FailureCause cause;
    // The answer's Retry-After header as sent (seconds or an HTTP date); empty when absent.
    std::string retryAfter;

    bool failed() const { return error != FetchError::None; }
    bool httpError() const { return !failed() && status >= 400; }
    // Neither a failed transfer nor an error status.
    bool good() const { return !failed() && status < 400; }

    // An answer that arrived: its text and status.
    static FetchResult answer(std::string text, long status) {
        FetchResult result;
        result.text = std::move(text);
        result.status = status;
        return result;
    }

    static FetchResult failure(FetchError error, FailureKind kind, int curlCode = 0,
                               std::string curlMessage = {}) {
        FetchResult result;
        result.error = error;
        result.cause = {.kind = kind, .curlCode = curlCode, .curlMessage = std::move(curlMessage)};
        return result;
    }
};

}  // namespace jilan::net
