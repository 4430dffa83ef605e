#include "icp_judgement.h"

#include <cstddef>
#include <string>

#include "marker_cut.h"

namespace jilan::query {

namespace {

using app::Slot;

constexpr std::string_view kNotFiled = "未备案";
constexpr std::string_view kFilingStart = "网站备案/许可证号</td><td>";
constexpr std::string_view kFilingEnd = "</td>";
constexpr std::string_view kNotFiledCaption = "是否备案：未备案";
constexpr std::string_view kLookupFailedCaption = "是否备案：查询失败";

}  // namespace

FilingValues readFiling(const net::FetchResult& page) {
    FilingValues values;
    // An error answer is page text too: when it says what was asked, it is the answer.
    values.page = page.failed() ? std::string() : page.text;
    if (contains(values.page, kNotFiled)) {
        values.state = FilingState::NotFiled;
        return values;
    }
    values.number = markerCut(values.page, kFilingStart, kFilingEnd, &values.piece);
    const std::size_t end = values.piece.find(kFilingEnd);
    if (end != std::string::npos) {
        values.raw = values.piece.substr(0, end);
    }
    if (!values.number.empty()) {
        values.state = FilingState::Filed;
    } else if (!page.good()) {
        // An unreachable or failing lookup site that says nothing says nothing about the filing.
        values.state = FilingState::LookupFailed;
    } else {
        values.state = FilingState::NothingFound;
    }
    return values;
}

std::string filingCaption(const FilingValues& values, std::string_view filedPrefix) {
    switch (values.state) {
        case FilingState::Filed:
            return joined(filedPrefix, values.number);
        case FilingState::LookupFailed:
            return std::string(kLookupFailedCaption);
        case FilingState::NotFiled:
        case FilingState::NothingFound:
            break;
    }
    return std::string(kNotFiledCaption);
}

bool showFiling(app::Form1& form, const FilingValues& values, std::string_view filedPrefix) {
    auto& sj = form.sj;
    sj[Slot::IcpPage] = values.page;
    if (values.state != FilingState::NotFiled) {
        sj[Slot::FilingNumber] = values.number;
        sj[Slot::FilingPiece] = values.piece;
    }
    form.Label12.setCaption(filingCaption(values, filedPrefix));
    return values.state != FilingState::LookupFailed;
}

bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix) {
    return showFiling(form, readFiling(page), filedPrefix);
}

}  // namespace jilan::query
