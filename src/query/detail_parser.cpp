#include "detail_parser.h"

#include <cstddef>

#include "app/form1.h"
#include "marker_cut.h"
#include "net/text_search.h"

namespace jilan::query {

namespace {

using app::Slot;

constexpr std::string_view kBookingOver = "该域名的预订时间已过";
constexpr std::string_view kBookingOverCaption = "预定时间已过";
constexpr std::string_view kPriceHeader = "<th>保证金</th>";
constexpr std::string_view kPriceBlockEnd = "</div>";
constexpr std::string_view kCellStart = "<td>";
constexpr std::string_view kCellEnd = "</td>";

DetailField readField(std::string_view page, std::string_view start, std::string_view end,
                      std::string_view captionPrefix) {
    DetailField field;
    field.value = markerCut(page, start, end, &field.piece);
    const std::size_t at = field.piece.find(end);
    if (!end.empty() && at != std::string::npos) {
        field.raw = field.piece.substr(0, at);
    }
    field.caption = joined(captionPrefix, field.value);
    return field;
}

// The price block cut into its first four cells.
void readPriceTable(std::string_view page, DetailValues& values) {
    values.pricePiece = std::string(net::pieceBehind(page, kPriceHeader).value_or(""));
    const std::size_t end = values.pricePiece.find(kPriceBlockEnd);
    if (end != std::string::npos) {
        // Up to and including the "<" of "</div>".
        values.priceBlock = values.pricePiece.substr(0, end + 1);
    }

    // Split the block at every "<td>"; a cell is the text behind its "<td>".
    const std::string_view block = values.priceBlock;
    std::size_t at = block.find(kCellStart);
    for (std::size_t n = 0; n < values.cells.size() && at != std::string_view::npos; ++n) {
        const std::size_t from = at + kCellStart.size();
        const std::size_t next = block.find(kCellStart, from);
        PriceCell& cell = values.cells[n];
        cell.raw = std::string(next == std::string_view::npos ? block.substr(from)
                                                              : block.substr(from, next - from));
        if (n == 0) {
            cell.value = trimSpaces(cell.raw);
            removeAll(cell.value, kCellEnd);
        } else {
            std::string withoutEnds = cell.raw;
            removeAll(withoutEnds, kCellEnd);
            cell.value = trimSpaces(withoutEnds);
        }
        at = next;
    }
    for (std::size_t n = 0; n < values.cells.size(); ++n) {
        values.priceCaptions[n] = values.cells[n].value;
    }
}

}  // namespace

DetailValues readDetail(std::string_view page) {
    DetailValues values;
    values.deletionType = readField(page, "删除类型：</label>", "</p>", "删除类型：");
    values.deletionTime = readField(page, "删除时间：</label>", "</p>", "删除时间：");
    values.deadline = readField(page, "预订截止时间：</label>", "</p>", "预定截止：");
    values.whois = readField(page, "<pre>", "</pre>", "");
    values.bookingOver = contains(page, kBookingOver);
    if (values.bookingOver) {
        values.priceCaptions.fill(std::string(kBookingOverCaption));
    } else {
        readPriceTable(page, values);
    }
    return values;
}

void showDetail(app::Form1& form, const DetailValues& values) {
    auto& sj = form.sj;
    const auto keep = [&](const DetailField& field, Slot piece, Slot value) {
        sj[piece] = field.piece;
        sj[value] = field.value;
    };
    keep(values.deletionType, Slot::DeleteTypePiece, Slot::DeleteType);
    form.Label1.setCaption(values.deletionType.caption);
    keep(values.deletionTime, Slot::DeleteTimePiece, Slot::DeleteTime);
    form.Label2.setCaption(values.deletionTime.caption);
    keep(values.deadline, Slot::DeadlinePiece, Slot::Deadline);
    form.Label13.setCaption(values.deadline.caption);
    keep(values.whois, Slot::WhoisPiece, Slot::Whois);
    form.Text2.setText(values.whois.caption);

    // Each price label right after its cell's slots, as the cells are read.
    const std::array<app::Label*, 4> labels{&form.Label8, &form.Label9, &form.Label10,
                                            &form.Label11};
    constexpr std::array<std::array<Slot, 2>, 3> kLaterCells{{{Slot::Cell2Raw, Slot::Cell2},
                                                              {Slot::Cell3Raw, Slot::Cell3},
                                                              {Slot::Cell4Raw, Slot::Cell4}}};
    for (std::size_t n = 0; n < labels.size(); ++n) {
        if (!values.bookingOver && n == 0) {
            // The work array keeps the price cuts; of cell 1 only its value.
            sj[Slot::PricePiece] = values.pricePiece;
            sj[Slot::PriceBlock] = values.priceBlock;
            sj[Slot::Cell1] = values.cells[0].value;
        } else if (!values.bookingOver) {
            sj[kLaterCells[n - 1][0]] = values.cells[n].raw;
            sj[kLaterCells[n - 1][1]] = values.cells[n].value;
        }
        labels[n]->setCaption(values.priceCaptions[n]);
    }
}

void parseDetail(app::Form1& form) {
    showDetail(form, readDetail(form.sj[Slot::DetailPage]));
}

}  // namespace jilan::query
