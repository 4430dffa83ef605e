#include "detail_parser.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "marker_cut.h"

namespace jilan::query {

namespace {

using app::Slot;

constexpr std::string_view kBookingOver = "该域名的预订时间已过";
constexpr std::string_view kBookingOverCaption = "预定时间已过";
constexpr std::string_view kPriceHeader = "<th>保证金</th>";
constexpr std::string_view kPriceBlockEnd = "</div>";
constexpr std::string_view kCellStart = "<td>";
constexpr std::string_view kCellEnd = "</td>";

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

}  // namespace jilan::query
