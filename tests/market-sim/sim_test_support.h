// Helpers for the market-sim tests: a raw HTTP exchange that reports exactly what happened on
// the socket, independent decoding, and the client's marker cutting.
#pragma once

#include <chrono>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jilan::sim::test {

struct RawResponse {
    bool connected = false;
    bool gotHead = false;       // a complete status line and header block arrived
    bool closedByPeer = false;  // the server closed the connection
    bool timedOut = false;      // the deadline passed before the exchange was complete
    std::size_t bytesReceived = 0;
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // raw bytes after the head (chunked framing left in place)

    std::optional<std::string> header(std::string_view name) const;
};

// "GET target HTTP/1.1" with Host and Connection: close, plus extra header lines.
std::string getRequest(std::string_view target, std::string_view extraHeaderLines = "",
                       std::string_view method = "GET");

// Sends `request` to 127.0.0.1:port and reads until the response is complete (Content-Length
// reached), the server closes, `maxBody` body bytes arrived, or `timeout` passes.
RawResponse rawExchange(int port, std::string_view request, std::chrono::milliseconds timeout,
                        std::size_t maxBody = std::numeric_limits<std::size_t>::max());

// Strict iconv conversion to UTF-8; std::nullopt on any invalid sequence.
std::optional<std::string> decodeToUtf8(std::string_view bytes, const char* fromCharset);

std::size_t countOf(std::string_view haystack, std::string_view needle);

// What the harvester does with a listing page: for each row marker, the text up to the next
// double quote.
std::vector<std::string> extractRowDomains(std::string_view page);

// Text between `open` and the next `close` after it; std::nullopt when either is missing.
std::optional<std::string> between(std::string_view text, std::string_view open,
                                   std::string_view close);

// The query's price cut: the text behind the first "<th>保证金</th>" up to the first "</div>",
// split at "<td>", each piece up to "</td>". Empty when the marker is missing.
std::vector<std::string> cutPriceCells(std::string_view page);

// Integer value of a milliseconds duration since `start`.
long long elapsedMs(std::chrono::steady_clock::time_point start);

}  // namespace jilan::sim::test
