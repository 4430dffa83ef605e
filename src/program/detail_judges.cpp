#include "detail_judges.h"

#include <string>

#include "app/form1.h"
#include "net/fetch_result.h"
#include "query/detail_parser.h"
#include "query/icp_judgement.h"
#include "query/table_value.h"

namespace jilan::program {

namespace {

using app::Slot;

// The words the window reads as "not filed".
constexpr std::string_view kNotFiledMarker = "未备案";
// Where the window's cut of a labelled detail field ends.
constexpr std::string_view kFieldEnd = "</p>";
constexpr std::string_view kFilingEnd = "</td>";

void addField(query::PartValue& part, std::string_view column, const std::string& rawPiece) {
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
    // The window's own parser fills its work array; the table takes the same pieces.
    app::Form1 form;
    form.sj[Slot::DetailPage] = std::string(page);
    query::parseDetail(form);
    const auto& sj = form.sj;

    query::PartValue part;
    // The window's value has lost every "<", so a tag with attributes would stay half in it;
    // the table reads the piece behind the marker up to the field's end instead.
    const auto upToEnd = [](const std::string& piece, const std::string& value) {
        const std::size_t end = piece.find(kFieldEnd);
        return value.empty() || end == std::string::npos ? std::string() : piece.substr(0, end);
    };
    addField(part, kColDeletionType, upToEnd(sj[Slot::DeleteTypePiece], sj[Slot::DeleteType]));
    addField(part, kColDeletionTime, upToEnd(sj[Slot::DeleteTimePiece], sj[Slot::DeleteTime]));
    addField(part, kColBookingDeadline, upToEnd(sj[Slot::DeadlinePiece], sj[Slot::Deadline]));
    // The window shows the booking-over words instead of the prices (its Label8 says so).
    const bool bookingOver = form.Label8.caption() == kBookingOverValue && sj[Slot::Cell1].empty();
    if (bookingOver) {
        part.fields.push_back({std::string(kColPlatform), std::string(kBookingOverValue)});
    } else {
        addField(part, kColPlatform, sj[Slot::Cell1]);
        addField(part, kColPrice, sj[Slot::Cell2Raw]);
        addField(part, kColPriceInYuan, sj[Slot::Cell3Raw]);
        addField(part, kColDeposit, sj[Slot::Cell4Raw]);
    }
    if (part.fields.empty()) {
        return unrecognised();
    }
    part.conclusive = true;
    return part;
}

query::PartValue judgeIcpPage(std::string_view page) {
    app::Form1 form;
    net::FetchResult fetched;
    fetched.text = std::string(page);
    fetched.status = 200;
    query::applyFiling(form, fetched, query::kFiledPrefixList);

    query::PartValue part;
    // As for the detail fields, the piece up to its end keeps tags whole for tableValue.
    const std::string& piece = form.sj[Slot::FilingPiece];
    const std::size_t end = piece.find(kFilingEnd);
    std::string number = form.sj[Slot::FilingNumber].empty() || end == std::string::npos
                             ? std::string()
                             : query::tableValue(std::string_view(piece).substr(0, end));
    if (!number.empty()) {
        part.fields.push_back({std::string(kColFiled), std::string(kFiledValue)});
        part.fields.push_back({std::string(kColFilingNumber), std::move(number)});
    } else if (page.find(kNotFiledMarker) != std::string_view::npos) {
        // applyFiling says 未备案 also when the page holds no marker at all; only a page that
        // says so is an answer.
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

}  // namespace jilan::program
