#include "domain_rows.h"

#include <cstdio>
#include <ctime>

#include "detail_judges.h"

namespace jilan::details {

namespace {

using exporting::Column;

bool conclusive(const query::PartOutcome& part) {
    return (part.source == query::PartSource::Cache || part.source == query::PartSource::Fetched) &&
           part.value.conclusive;
}

std::string field(const query::PartOutcome& part, std::string_view column) {
    return conclusive(part) ? std::string(fieldOf(part.value, column)) : std::string();
}

}  // namespace

std::string localTimeText(std::int64_t utcSeconds) {
    if (utcSeconds == 0) {
        return {};
    }
    const auto t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string localTimeText(std::chrono::system_clock::time_point at) {
    return localTimeText(
        std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count());
}

NameDetails detailsOf(const query::NameResult& result, const std::string& queriedAt) {
    NameDetails d;
    d.domain = result.name;
    d.deletionType = field(result.detail, kColDeletionType);
    d.deletionTime = field(result.detail, kColDeletionTime);
    d.bookingDeadline = field(result.detail, kColBookingDeadline);
    d.bookingPlatform = field(result.detail, kColPlatform);
    d.bookingPrice = field(result.detail, kColPrice);
    d.priceInYuan = field(result.detail, kColPriceInYuan);
    d.deposit = field(result.detail, kColDeposit);
    if (conclusive(result.icp)) {
        d.filed = field(result.icp, kColFiled);
        if (d.filed == kFiledValue) {
            d.filingNumber = field(result.icp, kColFilingNumber);
        }
    } else {
        d.filed = std::string(kFilingFailedValue);
    }
    d.queriedAt = queriedAt;
    d.result = result.outcome;
    return d;
}

exporting::DomainRow makeDomainRow(const filter::NameFeatures& features,
                                   const history::NameRow* seen, const NameDetails* details) {
    exporting::DomainRow row;
    if (details != nullptr && !details->domain.empty()) {
        row[Column::Domain] = details->domain;
    } else if (seen != nullptr && !seen->domain.empty()) {
        row[Column::Domain] = seen->domain;
    } else {
        row[Column::Domain] =
            features.tld.empty() ? features.name : features.name + "." + features.tld;
    }
    row[Column::Length] = std::to_string(features.length);
    row[Column::Suffix] = features.tld;
    row[Column::Kind] = std::string(filter::classText(features.kind));
    row[Column::Structure] = features.structure;
    row[Column::Pinyin] = features.pinyin;
    if (seen != nullptr) {
        row[Column::FirstSeen] = localTimeText(seen->firstSeen);
        row[Column::LastSeen] = localTimeText(seen->lastSeen);
        row[Column::Runs] = std::to_string(seen->runsSeen);
    }
    if (details != nullptr) {
        row[Column::DeletionType] = details->deletionType;
        row[Column::DeletionTime] = details->deletionTime;
        row[Column::BookingDeadline] = details->bookingDeadline;
        row[Column::Filed] = details->filed;
        row[Column::FilingNumber] = details->filed == kFiledValue ? details->filingNumber : "";
        row[Column::BookingPlatform] = details->bookingPlatform;
        row[Column::BookingPrice] = details->bookingPrice;
        row[Column::PriceInYuan] = details->priceInYuan;
        row[Column::Deposit] = details->deposit;
        row[Column::QueriedAt] = details->queriedAt;
        row[Column::QueryResult] = details->result;
        if (details->result != query::kQuerySucceeded) {
            row.failure = details->result;
        }
    }
    return row;
}

}  // namespace jilan::details
