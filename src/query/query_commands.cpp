#include "query_commands.h"

#include <array>
#include <cstddef>
#include <utility>

#include "net/market_requests.h"

namespace jilan::query {

namespace {

using app::Slot;

constexpr std::string_view kNothingSelected = "请先进行获取 ..";
constexpr std::string_view kQueryRunning = "正在进行查询 ..";
constexpr std::string_view kQueryDone = "查询完毕 ..";
constexpr std::string_view kQueryBusy = "正在进行查询，请稍候 ..";
constexpr std::string_view kDetailFailed = "详情页获取失败";
constexpr std::string_view kLookupFailed = "备案查询失败";

constexpr std::string_view kBookingOver = "该域名的预订时间已过";
constexpr std::string_view kBookingOverCaption = "预定时间已过";
constexpr std::string_view kPriceHeader = "<th>保证金</th>";
constexpr std::string_view kPriceBlockEnd = "</div>";
constexpr std::string_view kCellStart = "<td>";
constexpr std::string_view kCellEnd = "</td>";

constexpr std::string_view kNotFiled = "未备案";
constexpr std::string_view kFilingStart = "网站备案/许可证号</td><td>";
constexpr std::string_view kFilingEnd = "</td>";
constexpr std::string_view kNotFiledCaption = "是否备案：未备案";
constexpr std::string_view kLookupFailedCaption = "是否备案：查询失败";

// The text between the first and the second occurrence of `start` (or the end
// of `source`); false when `start` does not occur.
bool pieceBehind(std::string_view source, std::string_view start, std::string_view& piece) {
    if (start.empty()) {
        return false;
    }
    const std::size_t first = source.find(start);
    if (first == std::string_view::npos) {
        return false;
    }
    const std::size_t from = first + start.size();
    const std::size_t second = source.find(start, from);
    piece =
        second == std::string_view::npos ? source.substr(from) : source.substr(from, second - from);
    return true;
}

// Length in bytes of the UTF-8 character that `text` starts with.
std::size_t firstCharLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    std::size_t n = 1;
    if (lead >= 0xF0) {
        n = 4;
    } else if (lead >= 0xE0) {
        n = 3;
    } else if (lead >= 0xC0) {
        n = 2;
    }
    return n <= text.size() ? n : text.size();
}

void removeAll(std::string& text, std::string_view what) {
    if (what.empty()) {
        return;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t hit = text.find(what, at);
        if (hit == std::string::npos) {
            out.append(text, at, std::string::npos);
            break;
        }
        out.append(text, at, hit - at);
        at = hit + what.size();
    }
    text = std::move(out);
}

// Leading and trailing ordinary spaces only: tabs, line breaks and the
// full-width space stay.
std::string trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

std::string joined(std::string_view prefix, std::string_view value) {
    std::string s(prefix);
    s += value;
    return s;
}

// The price block cut into its four cells, each finished and shown.
void readPriceTable(app::Form1& form) {
    auto& sj = form.sj;
    std::string_view piece;
    if (pieceBehind(sj[Slot::DetailPage], kPriceHeader, piece)) {
        sj[Slot::PricePiece] = std::string(piece);
    }
    const std::string& behindHeader = sj[Slot::PricePiece];
    const std::size_t end = behindHeader.find(kPriceBlockEnd);
    if (end != std::string::npos) {
        // Up to and including the "<" of "</div>".
        sj[Slot::PriceBlock] = behindHeader.substr(0, end + 1);
    }

    // Split the block at every "<td>"; raw[n] is the text behind the n-th one.
    const std::string_view block = sj[Slot::PriceBlock];
    std::array<std::string_view, 5> raw{};
    std::array<bool, 5> present{};
    std::size_t at = block.find(kCellStart);
    for (std::size_t n = 1; n <= 4 && at != std::string_view::npos; ++n) {
        const std::size_t from = at + kCellStart.size();
        const std::size_t next = block.find(kCellStart, from);
        raw[n] =
            next == std::string_view::npos ? block.substr(from) : block.substr(from, next - from);
        present[n] = true;
        at = next;
    }

    // Cell 1 is trimmed before "</td>" goes, cells 2 to 4 after.
    if (present[1]) {
        sj[Slot::Cell1] = trimSpaces(raw[1]);
        removeAll(sj[Slot::Cell1], kCellEnd);
    }
    form.Label8.setCaption(sj[Slot::Cell1]);

    struct Later {
        std::size_t n;
        Slot rawSlot;
        Slot finished;
        app::Label& label;
    };
    const std::array<Later, 3> later{{{2, Slot::Cell2Raw, Slot::Cell2, form.Label9},
                                      {3, Slot::Cell3Raw, Slot::Cell3, form.Label10},
                                      {4, Slot::Cell4Raw, Slot::Cell4, form.Label11}}};
    for (const Later& cell : later) {
        if (present[cell.n]) {
            sj[cell.rawSlot] = std::string(raw[cell.n]);
            std::string finished = sj[cell.rawSlot];
            removeAll(finished, kCellEnd);
            sj[cell.finished] = trimSpaces(finished);
        }
        cell.label.setCaption(sj[cell.finished]);
    }
}

}  // namespace

std::string markerCut(std::string_view source, std::string_view start, std::string_view end,
                      std::string* piece) {
    std::string_view found;
    if (!pieceBehind(source, start, found)) {
        return {};
    }
    if (piece != nullptr) {
        *piece = std::string(found);
    }
    if (end.empty()) {
        return {};
    }
    const std::size_t at = found.find(end);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string kept(found.substr(0, at));
    kept += end.substr(0, firstCharLength(end));
    removeAll(kept, "<");
    return trimSpaces(kept);
}

void parseDetail(app::Form1& form) {
    auto& sj = form.sj;
    struct Field {
        std::string_view start;
        std::string_view end;
        Slot piece;
        Slot value;
    };
    // Each control is written right after its value is found.
    constexpr std::array<Field, 4> fields{{
        {"删除类型：</label>", "</p>", Slot::DeleteTypePiece, Slot::DeleteType},
        {"删除时间：</label>", "</p>", Slot::DeleteTimePiece, Slot::DeleteTime},
        {"预订截止时间：</label>", "</p>", Slot::DeadlinePiece, Slot::Deadline},
        {"<pre>", "</pre>", Slot::WhoisPiece, Slot::Whois},
    }};
    const auto cut = [&](const Field& f) {
        sj[f.value] = markerCut(sj[Slot::DetailPage], f.start, f.end, &sj[f.piece]);
    };

    cut(fields[0]);
    form.Label1.setCaption(joined("删除类型：", sj[Slot::DeleteType]));
    cut(fields[1]);
    form.Label2.setCaption(joined("删除时间：", sj[Slot::DeleteTime]));
    cut(fields[2]);
    form.Label13.setCaption(joined("预定截止：", sj[Slot::Deadline]));
    cut(fields[3]);
    form.Text2.setText(sj[Slot::Whois]);

    if (contains(sj[Slot::DetailPage], kBookingOver)) {
        for (app::Label* label : {&form.Label8, &form.Label9, &form.Label10, &form.Label11}) {
            label->setCaption(std::string(kBookingOverCaption));
        }
        return;
    }
    readPriceTable(form);
}

bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix) {
    auto& sj = form.sj;
    sj[Slot::IcpPage] = page.failed() ? std::string() : page.text;
    if (!page.good()) {
        // An unreachable or failing lookup site says nothing about the filing.
        form.Label12.setCaption(std::string(kLookupFailedCaption));
        return false;
    }
    if (contains(sj[Slot::IcpPage], kNotFiled)) {
        form.Label12.setCaption(std::string(kNotFiledCaption));
        return true;
    }
    sj[Slot::FilingNumber] =
        markerCut(sj[Slot::IcpPage], kFilingStart, kFilingEnd, &sj[Slot::FilingPiece]);
    if (sj[Slot::FilingNumber].empty()) {
        form.Label12.setCaption(std::string(kNotFiledCaption));
    } else {
        form.Label12.setCaption(joined(filedPrefix, sj[Slot::FilingNumber]));
    }
    return true;
}

QueryCommands::QueryCommands(app::Form1& form, net::PageFetcher& fetcher, config::Urls urls)
    : form_(form), fetcher_(fetcher), urls_(std::move(urls)) {}

void QueryCommands::csh() {
    form_.sj.clear();
}

void QueryCommands::cx_Click() {
    runQuery(Command::Menu);
}

void QueryCommands::List1_DblClick() {
    runQuery(Command::DoubleClick);
}

void QueryCommands::runQuery(Command command) {
    if (form_.List1.text().empty()) {
        form_.setStatus(std::string(kNothingSelected));
        return;
    }
    // The lookup wait runs window events; a query started from there would
    // mix its results with this one's.
    if (busy_) {
        form_.setStatus(std::string(kQueryBusy));
        return;
    }
    struct BusyGuard {
        bool& flag;
        explicit BusyGuard(bool& f) : flag(f) { flag = true; }
        ~BusyGuard() { flag = false; }
        BusyGuard(const BusyGuard&) = delete;
        BusyGuard& operator=(const BusyGuard&) = delete;
    } guard(busy_);

    form_.setStatus(std::string(kQueryRunning));
    csh();

    const std::string detailUrl = net::detailUrl(urls_.market, form_.List1.text());
    const net::FetchResult detail =
        command == Command::Menu ? fetcher_.OpenURL(detailUrl) : fetcher_.HtmlStr(detailUrl);
    if (form_.ended()) {
        return;
    }
    const bool detailOk = detail.good();
    form_.sj[Slot::DetailPage] = detail.failed() ? std::string() : detail.text;
    if (command == Command::Menu || !form_.sj[Slot::DetailPage].empty()) {
        parseDetail(form_);
    }

    const std::string icpUrl = net::icpUrl(urls_.icp, form_.List1.text());
    const net::FetchResult lookup = fetcher_.GetBody(icpUrl, "gbk");
    if (form_.ended()) {
        return;
    }
    const bool lookupOk =
        applyFiling(form_, lookup, command == Command::Menu ? kFiledPrefixMenu : kFiledPrefixList);

    std::string status(kQueryDone);
    if (!detailOk || !lookupOk) {
        status += ' ';
        if (!detailOk) {
            status += kDetailFailed;
        }
        if (!detailOk && !lookupOk) {
            status += "，";
        }
        if (!lookupOk) {
            status += kLookupFailed;
        }
    }
    form_.setStatus(std::move(status));
}

}  // namespace jilan::query
