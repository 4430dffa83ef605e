// The ICP lookup: the marker cut with the filing-number markers and the filing judgement on
// arbitrary page text, plus the marker cut with markers taken from the input itself.
//
// Input layout: byte 0 picks the mode and the answer's status; the rest is the page. In the
// free-marker mode the page is "START\0END\0SOURCE".
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/form1.h"
#include "base/utf8.h"
#include "fuzz_check.h"
#include "net/fetch_result.h"
#include "query/query_commands.h"

namespace app = jilan::app;
namespace base = jilan::base;
namespace net = jilan::net;
namespace query = jilan::query;
using jilan::fuzz::check;

namespace {

constexpr std::string_view kFilingStart = "网站备案/许可证号</td><td>";
constexpr std::string_view kFilingEnd = "</td>";
constexpr std::string_view kNotFiled = "未备案";
constexpr std::string_view kCaptionPrefix = "是否备案：";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Properties every marker cut has, whatever the markers.
void checkCut(std::string_view source, std::string_view start, std::string_view end) {
    std::string piece = "untouched";
    const std::string value = query::markerCut(source, start, end, &piece);
    check(value.find('<') == std::string::npos, "a cut value holds no '<'");
    check(value.empty() || (value.front() != ' ' && value.back() != ' '), "a cut value is trimmed");
    const bool found = !start.empty() && source.find(start) != std::string_view::npos;
    if (!found) {
        check(value.empty(), "no start marker, no value");
        check(piece == "untouched", "no start marker, the piece is left alone");
        return;
    }
    check(source.find(piece) != std::string_view::npos, "the piece is text of the source");
    check(piece.size() + start.size() <= source.size(), "the piece is shorter than the source");
    if (base::isValidUtf8(source) && base::isValidUtf8(start) && base::isValidUtf8(end)) {
        check(base::isValidUtf8(value), "a cut of valid UTF-8 is valid UTF-8");
    }
}

void judge(std::uint8_t mode, std::string_view page) {
    constexpr std::array<long, 4> kStatuses{200, 304, 404, 500};
    net::FetchResult answer;
    answer.text = std::string(page);
    answer.status = kStatuses[(mode >> 1) % kStatuses.size()];
    if ((mode & 0x20) != 0) {
        answer.error = net::FetchError::Transport;
        answer.cause.kind = net::FailureKind::ConnectionCut;
    }
    const std::string_view prefix =
        (mode & 0x40) != 0 ? query::kFiledPrefixMenu : query::kFiledPrefixList;

    // One window for the whole run; the judgement always writes Label12.
    static app::Form1 form;
    form.sj.clear();
    form.Label12.setCaption({});
    const bool judged = query::applyFiling(form, answer, prefix);
    const std::string& caption = form.Label12.caption();
    check(startsWith(caption, kCaptionPrefix), "Label12 keeps its label");
    if (answer.failed()) {
        check(!judged, "a failed transfer is not judged");
        check(caption == "是否备案：查询失败", "a failed lookup says so");
        return;
    }
    // An error answer is page text: it is judged when it answers the question.
    const bool notFiled = page.find(kNotFiled) != std::string_view::npos;
    const std::string& number = form.sj[app::Slot::FilingNumber];
    check(judged == (notFiled || !number.empty() || answer.good()),
          "an error answer is judged exactly when it says 未备案 or holds a number");
    if (!judged) {
        check(caption == "是否备案：查询失败",
              "an error answer that says nothing is a failed lookup");
        return;
    }
    if (notFiled) {
        check(caption == "是否备案：未备案", "\"未备案\" on the page means not filed");
        return;
    }
    if (number.empty()) {
        check(caption == "是否备案：未备案", "no number means not filed");
    } else {
        check(caption == std::string(prefix) + number, "a number is shown behind the prefix");
    }
    checkCut(page, kFilingStart, kFilingEnd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const std::string_view rest = jilan::fuzz::asText(data + 1, size - 1);
    if ((mode & 1) == 0) {
        judge(mode, rest);
        return 0;
    }
    const std::size_t firstNul = rest.find('\0');
    const std::size_t secondNul =
        firstNul == std::string_view::npos ? firstNul : rest.find('\0', firstNul + 1);
    if (secondNul == std::string_view::npos) {
        checkCut(rest, kFilingStart, kFilingEnd);
        return 0;
    }
    checkCut(rest.substr(secondNul + 1), rest.substr(0, firstNul),
             rest.substr(firstNul + 1, secondNul - firstNul - 1));
    return 0;
}
