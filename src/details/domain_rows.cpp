#include "domain_rows.h"

#include "detail_judges.h"

namespace jilan::details {

namespace {

bool conclusive(const query::PartOutcome& part) {
    return (part.source == query::PartSource::Cache || part.source == query::PartSource::Fetched) &&
           part.value.conclusive;
}

std::string field(const query::PartOutcome& part, std::string_view column) {
    return conclusive(part) ? std::string(fieldOf(part.value, column)) : std::string();
}

}  // namespace

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
    } else if (result.icp.source != query::PartSource::NotAsked ||
               result.icp.value.failure != query::kNotAskedInterrupted) {
        d.filed = std::string(kFilingFailedValue);
    }  // a filing the stop kept from being asked is not known: the cell stays empty
    d.queriedAt = queriedAt;
    d.result = result.outcome;
    return d;
}

}  // namespace jilan::details
