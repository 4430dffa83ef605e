#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "history/detail_cache.h"
#include "query/detail_batch.h"

namespace jilan::details {

// A judged part in the shape the history store keeps, and back. Only conclusive parts
// convert; the booking-over words travel as the store's flag.
history::DetailPart detailPartOf(const query::PartValue& value,
                                 std::chrono::system_clock::time_point fetchedAt);
history::IcpPart icpPartOf(const query::PartValue& value,
                           std::chrono::system_clock::time_point fetchedAt);
query::PartValue valueOf(const history::DetailPart& part);
query::PartValue valueOf(const history::IcpPart& part);

// The batch runner's cache in the history store's own tables (keyed by the lower-cased
// name; a query is never a sighting). A store that cannot be opened gives an empty cache
// that keeps nothing, with the reason in unavailableReason(). Use it from one thread.
class HistoryDetailCache final : public query::DetailCache {
public:
    explicit HistoryDetailCache(const std::string& path);

    Entry lookup(std::string_view name) override;
    void store(std::string_view name, query::Part part, const Stored& stored) override;

    bool ok() const { return cache_ && cache_->ok(); }
    std::string unavailableReason() const;
    // The last failed write (Chinese); empty while every write succeeded.
    const std::string& lastWriteError() const { return lastWriteError_; }
    // When the newest part of `name` that lookup() or store() saw was fetched.
    std::optional<std::chrono::system_clock::time_point> fetchedAt(std::string_view name) const;

private:
    void remember(std::string_view name, std::chrono::system_clock::time_point at);

    std::optional<history::DetailCache> cache_;
    std::string lastWriteError_;
    std::unordered_map<std::string, std::chrono::system_clock::time_point> fetched_;
};

}  // namespace jilan::details
