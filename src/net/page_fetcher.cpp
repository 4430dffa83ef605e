#include "page_fetcher.h"

namespace jilan::net {

FetchResult PageFetcher::GetBody(const std::string& url, const std::string& coding) {
    (void)coding;
    const TransferPool::Id id = pool_.start(Request{url, true, Decoding::Declared});
    for (;;) {
        pool_.poll(pool_.limits().pollIntervalMs);
        if (auto result = pool_.take(id)) {
            return std::move(*result);
        }
        if (!pump_.pumpOnce()) {
            pool_.cancel(id);
            return FetchResult::failure(FetchError::Cancelled, FailureKind::Cancelled);
        }
        // A handler run by the pump may have driven the pool and finished us.
        if (auto result = pool_.take(id)) {
            return std::move(*result);
        }
    }
}

FetchResult PageFetcher::HtmlStr(const std::string& url) {
    return pool_.fetchBlocking(Request{url, false, Decoding::Gb18030});
}

FetchResult PageFetcher::OpenURL(const std::string& url) {
    return pool_.fetchBlocking(Request{url, false, Decoding::Gb18030});
}

}  // namespace jilan::net
