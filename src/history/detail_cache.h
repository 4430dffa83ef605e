#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "history/store.h"

namespace jilan::history {

// The detail part of a queried name as the batch table shows it. Either bookingOver is set
// (the page said booking has ended) or the fields hold the page's values.
struct DetailPart {
    std::int64_t fetchedUtc = 0;
    bool bookingOver = false;
    std::string deletionType, deletionTime, bookingDeadline, platform, price, priceCny, deposit;
};

enum class IcpState { Filed, NotFiled };

// The ICP part: filed (with its number) or not filed.
struct IcpPart {
    std::int64_t fetchedUtc = 0;
    IcpState state = IcpState::NotFiled;
    std::string filingNumber;  // empty unless filed
};

// "已备案" / "未备案", the words stored and shown.
std::string_view icpStateText(IcpState state);

// Whether a part fetched at `fetchedUtc` may still be used at `nowUtc`: younger than
// maxAgeSeconds; a maximum age of 0 means always fetch again.
bool isFresh(std::int64_t fetchedUtc, std::int64_t nowUtc, std::int64_t maxAgeSeconds);

// The cached detail and ICP parts, keyed by the name key. A query is not a sighting: nothing
// here touches the names table. Writes are synchronous; use it from a worker thread.
class DetailCache {
public:
    static DetailCache open(const std::string& path, const StoreOptions& options = {});

    bool ok() const { return store_.ok(); }
    const std::string& unavailableReason() const { return store_.unavailableReason; }

    std::optional<DetailPart> detail(std::string_view domain);
    std::optional<IcpPart> icp(std::string_view domain);
    // Empty on success, otherwise the Chinese reason.
    std::string putDetail(std::string_view domain, const DetailPart& part);
    std::string putIcp(std::string_view domain, const IcpPart& part);

private:
    explicit DetailCache(OpenedStore store) : store_(std::move(store)) {}
    std::string write(Statement& statement);

    OpenedStore store_;
};

}  // namespace jilan::history
