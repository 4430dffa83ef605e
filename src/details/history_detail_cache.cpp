#include "history_detail_cache.h"

#include <utility>

#include "base/name_key.h"
#include "detail_judges.h"
#include "history/store.h"

namespace jilan::details {

namespace {

using SysClock = std::chrono::system_clock;

std::int64_t utcSeconds(SysClock::time_point at) {
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}

SysClock::time_point fromUtc(std::int64_t seconds) {
    return SysClock::time_point(std::chrono::seconds(seconds));
}

void put(query::PartValue& value, std::string_view column, const std::string& text) {
    if (!text.empty()) {
        value.fields.push_back({std::string(column), text});
    }
}

}  // namespace

history::DetailPart detailPartOf(const query::PartValue& value, SysClock::time_point fetchedAt) {
    history::DetailPart part;
    part.fetchedUtc = utcSeconds(fetchedAt);
    part.deletionType = fieldOf(value, kColDeletionType);
    part.deletionTime = fieldOf(value, kColDeletionTime);
    part.bookingDeadline = fieldOf(value, kColBookingDeadline);
    part.platform = fieldOf(value, kColPlatform);
    part.bookingOver = part.platform == kBookingOverValue;
    if (part.bookingOver) {
        part.platform.clear();
    }
    part.price = fieldOf(value, kColPrice);
    part.priceCny = fieldOf(value, kColPriceInYuan);
    part.deposit = fieldOf(value, kColDeposit);
    return part;
}

history::IcpPart icpPartOf(const query::PartValue& value, SysClock::time_point fetchedAt) {
    history::IcpPart part;
    part.fetchedUtc = utcSeconds(fetchedAt);
    part.state = fieldOf(value, kColFiled) == kFiledValue ? history::IcpState::Filed
                                                          : history::IcpState::NotFiled;
    if (part.state == history::IcpState::Filed) {
        part.filingNumber = fieldOf(value, kColFilingNumber);
    }
    return part;
}

query::PartValue valueOf(const history::DetailPart& part) {
    query::PartValue value;
    put(value, kColDeletionType, part.deletionType);
    put(value, kColDeletionTime, part.deletionTime);
    put(value, kColBookingDeadline, part.bookingDeadline);
    put(value, kColPlatform, part.bookingOver ? std::string(kBookingOverValue) : part.platform);
    put(value, kColPrice, part.price);
    put(value, kColPriceInYuan, part.priceCny);
    put(value, kColDeposit, part.deposit);
    value.conclusive = !value.fields.empty();
    if (!value.conclusive) {
        value.failure = std::string(query::kPageNotRecognised);
    }
    return value;
}

query::PartValue valueOf(const history::IcpPart& part) {
    query::PartValue value;
    const bool filed = part.state == history::IcpState::Filed && !part.filingNumber.empty();
    put(value, kColFiled, std::string(filed ? kFiledValue : kNotFiledValue));
    if (filed) {
        put(value, kColFilingNumber, part.filingNumber);
    }
    value.conclusive = true;
    return value;
}

HistoryDetailCache::HistoryDetailCache(const std::string& path) {
    if (!path.empty()) {
        cache_.emplace(history::DetailCache::open(path));
    }
}

std::string HistoryDetailCache::unavailableReason() const {
    if (!cache_) {
        return {};
    }
    return cache_->unavailableReason();
}

query::DetailCache::Entry HistoryDetailCache::lookup(std::string_view name) {
    Entry entry;
    if (!ok()) {
        return entry;
    }
    if (std::optional<history::DetailPart> part = cache_->detail(name)) {
        entry.detail = Stored{.value = valueOf(*part), .fetchedAt = fromUtc(part->fetchedUtc)};
        remember(name, entry.detail->fetchedAt);
    }
    if (std::optional<history::IcpPart> part = cache_->icp(name)) {
        entry.icp = Stored{.value = valueOf(*part), .fetchedAt = fromUtc(part->fetchedUtc)};
        remember(name, entry.icp->fetchedAt);
    }
    return entry;
}

void HistoryDetailCache::store(std::string_view name, query::Part part, const Stored& stored) {
    remember(name, stored.fetchedAt);
    if (!ok() || !stored.value.conclusive) {
        return;
    }
    std::string error = part == query::Part::Detail
                            ? cache_->putDetail(name, detailPartOf(stored.value, stored.fetchedAt))
                            : cache_->putIcp(name, icpPartOf(stored.value, stored.fetchedAt));
    if (!error.empty()) {
        lastWriteError_ = std::move(error);
    }
}

void HistoryDetailCache::remember(std::string_view name, SysClock::time_point at) {
    auto [it, inserted] = fetched_.try_emplace(base::nameKey(name), at);
    if (!inserted && it->second < at) {
        it->second = at;
    }
}

std::optional<SysClock::time_point> HistoryDetailCache::fetchedAt(std::string_view name) const {
    const auto it = fetched_.find(base::nameKey(name));
    if (it == fetched_.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace jilan::details
