#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "curl_handles.h"
#include "fetch_result.h"

namespace jilan::net {

// How the bytes of an answer become text.
enum class Decoding {
    Declared,  // by the charset the answer declares; else UTF-8 if valid, else GB18030
    Gb18030,   // always GB18030, the code page of the systems the program is built for
};

struct Request {
    std::string url;
    // The listing and lookup fetches send "If-Modified-Since: 0"; the detail fetches do not.
    bool ifModifiedSinceZero = false;
    Decoding decoding = Decoding::Declared;
};

class Transfer;

// Runs any number of GET transfers at once on the calling thread, without
// threads of its own: callers drive it with poll(). Every transfer gets a new
// handle and a new connection; nothing survives from one request to the next.
class TransferPool {
public:
    using Id = std::uint64_t;

    explicit TransferPool(HttpLimits limits = {});
    ~TransferPool();
    TransferPool(const TransferPool&) = delete;
    TransferPool& operator=(const TransferPool&) = delete;

    const HttpLimits& limits() const { return limits_; }

    // Starts a transfer. A URL that is refused completes at once with InvalidUrl.
    Id start(const Request& request);
    // Drives every transfer; waits at most timeoutMs for network activity first.
    void poll(int timeoutMs);
    bool finished(Id id) const { return done_.count(id) != 0; }
    // The result of a finished transfer, handed over once.
    std::optional<FetchResult> take(Id id);
    // Abandons a transfer; its result is dropped.
    void cancel(Id id);
    std::size_t running() const { return running_.size(); }

    // A blocking fetch on a handle of its own; the pool's transfers do not move meanwhile.
    FetchResult fetchBlocking(const Request& request) const;

private:
    HttpLimits limits_;
    CurlMulti multi_;
    Id nextId_ = 1;
    std::map<Id, std::unique_ptr<Transfer>> running_;
    std::map<Id, FetchResult> done_;
};

}  // namespace jilan::net
