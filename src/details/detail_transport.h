#pragma once

#include <vector>

#include "net/fetch_result.h"
#include "net/transfer_pool.h"
#include "query/detail_batch.h"

namespace jilan::details {

// The request for a part: the detail page as the window's double-click fetches it (no added
// header, always GB18030), the ICP page as its lookup does (If-Modified-Since: 0, by the
// charset the answer declares).
net::Request partRequest(const std::string& url, query::Site site);

// A finished fetch as the batch runner reads it: a failed transfer carries its Chinese
// reason; an answer with a status (any, 429 included) carries its page and Retry-After.
query::BatchTransport::Answer answerOf(query::BatchTransport::Id id, net::FetchResult result);

// The batch runner's transport on a transfer pool of its own. Not thread-safe: the thread
// that drives poll() is the only one that touches it.
class PoolTransport final : public query::BatchTransport {
public:
    explicit PoolTransport(net::HttpLimits limits = {});

    Id start(const std::string& url, query::Site site) override;
    std::vector<Answer> takeFinished() override;
    void cancel(Id id) override;

    // Moves the transfers on; waits at most timeoutMs for network activity (also when none
    // is running, so an idle driver sleeps here).
    void poll(int timeoutMs) { pool_.poll(timeoutMs); }
    std::size_t running() const { return pool_.running(); }

private:
    net::TransferPool pool_;
    std::vector<Id> open_;
};

}  // namespace jilan::details
