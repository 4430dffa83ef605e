#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "export/domain_table.h"
#include "filter/name_features.h"
#include "history/reader.h"
#include "query/detail_batch.h"

namespace jilan::details {

// What the batch learned about one name, each value as its table cell shows it.
struct NameDetails {
    std::string domain, deletionType, deletionTime, bookingDeadline;
    std::string filed;         // 已备案 / 未备案 / 查询失败
    std::string filingNumber;  // only when filed
    std::string bookingPlatform, bookingPrice, priceInYuan, deposit;
    std::string queriedAt;  // local YYYY-MM-DD HH:MM:SS of the newest part; empty if none
    std::string result;     // 成功, or the Chinese reason
};

// Local time "YYYY-MM-DD HH:MM:SS" of a UTC second count; empty for 0.
std::string localTimeText(std::int64_t utcSeconds);
std::string localTimeText(std::chrono::system_clock::time_point at);

// A finished name of the batch as table values; `queriedAt` is when its newest part was
// fetched (empty when no part was).
NameDetails detailsOf(const query::NameResult& result, const std::string& queriedAt);

// One table row of the twenty columns: the features, the sightings when the history knows the
// name, the details when it was queried. The domain is the one queried, else the one first
// listed, else the features' name and suffix.
exporting::DomainRow makeDomainRow(const filter::NameFeatures& features,
                                   const history::NameRow* seen, const NameDetails* details);

}  // namespace jilan::details
