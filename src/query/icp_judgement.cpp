#include "icp_judgement.h"

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

bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix) {
    auto& sj = form.sj;
    // An error answer is page text too: when it says what was asked, it is the answer.
    sj[Slot::IcpPage] = page.failed() ? std::string() : page.text;
    if (contains(sj[Slot::IcpPage], kNotFiled)) {
        form.Label12.setCaption(std::string(kNotFiledCaption));
        return true;
    }
    sj[Slot::FilingNumber] =
        markerCut(sj[Slot::IcpPage], kFilingStart, kFilingEnd, &sj[Slot::FilingPiece]);
    if (!sj[Slot::FilingNumber].empty()) {
        form.Label12.setCaption(joined(filedPrefix, sj[Slot::FilingNumber]));
        return true;
    }
    if (!page.good()) {
        // An unreachable or failing lookup site that says nothing says nothing about the filing.
        form.Label12.setCaption(std::string(kLookupFailedCaption));
        return false;
    }
    form.Label12.setCaption(std::string(kNotFiledCaption));
    return true;
}

}  // namespace jilan::query
