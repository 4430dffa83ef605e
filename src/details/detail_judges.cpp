#include "detail_judges.h"

#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "net/fetch_result.h"
#include "query/detail_parser.h"
#include "query/icp_judgement.h"
#include "query/table_value.h"

namespace jilan::details {

namespace {

void addField(query::PartValue& part, std::string_view column, std::string_view rawPiece) {
    std::string value = query::tableValue(rawPiece);
    if (!value.empty()) {
        part.fields.push_back({std::string(column), std::move(value)});
    }
}

query::PartValue unrecognised() {
    query::PartValue part;
    part.failure = std::string(query::kPageNotRecognised);
    return part;
}

}  // namespace

query::PartValue judgeDetailPage(std::string_view page) {
    // The window's parser reads the page; the table takes each value from the raw piece
    // between its markers, where a tag with attributes is still whole.
    const query::DetailValues values = query::readDetail(page);
    query::PartValue part;
    addField(part, kColDeletionType, values.deletionType.raw);
    addField(part, kColDeletionTime, values.deletionTime.raw);
    addField(part, kColBookingDeadline, values.deadline.raw);
    if (values.bookingOver) {
        // The window shows the booking-over words instead of the prices.
        part.fields.push_back({std::string(kColPlatform), std::string(kBookingOverValue)});
    } else {
        constexpr std::array<std::string_view, 4> kPriceColumns{kColPlatform, kColPrice,
                                                                kColPriceInYuan, kColDeposit};
        for (std::size_t n = 0; n < kPriceColumns.size(); ++n) {
            addField(part, kPriceColumns[n], values.cells[n].raw);
        }
    }
    if (part.fields.empty()) {
        return unrecognised();
    }
    part.conclusive = true;
    return part;
}

query::PartValue judgeIcpPage(std::string_view page) {
    const query::FilingValues filing =
        query::readFiling(net::FetchResult::answer(std::string(page), 200));
    query::PartValue part;
    std::string number =
        filing.state == query::FilingState::Filed ? query::tableValue(filing.raw) : std::string();
    if (!number.empty()) {
        part.fields.push_back({std::string(kColFiled), std::string(kFiledValue)});
        part.fields.push_back({std::string(kColFilingNumber), std::move(number)});
    } else if (filing.state == query::FilingState::NotFiled) {
        // The window says 未备案 also for a page without any marker; only a page that says so
        // is an answer.
        part.fields.push_back({std::string(kColFiled), std::string(kNotFiledValue)});
    } else {
        return unrecognised();
    }
    part.conclusive = true;
    return part;
}

std::string_view fieldOf(const query::PartValue& part, std::string_view column) {
    for (const query::FieldValue& field : part.fields) {
        if (field.column == column) {
            return field.value;
        }
    }
    return {};
}

}  // namespace jilan::details
