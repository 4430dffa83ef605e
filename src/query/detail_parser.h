#pragma once

#include <array>
#include <string>
#include <string_view>

namespace jilan::app {
class Form1;
}

namespace jilan::query {

// One labelled value of the detail page (deletion type, time, deadline, whois).
struct DetailField {
    // Behind the start marker, up to the marker's next occurrence or the page's end; the
    // window keeps it in the work array.
    std::string piece;
    // The piece up to its end marker, tags and all: what lies between the two markers. Empty
    // when either marker is missing.
    std::string raw;
    // The window's reading: raw with the end marker's "<", every "<" taken out, ordinary
    // spaces trimmed ("<b>x</b>" reads "b>x/b>").
    std::string value;
    // The control's text: the label's prefix and the value (the whois box shows the value).
    std::string caption;
};

// One cell of the price row.
struct PriceCell {
    // Behind its "<td>", up to the next "<td>" or the end of the price block.
    std::string raw;
    // The window's reading: "</td>" taken out and ordinary spaces trimmed (cell 1 is trimmed
    // before "</td>" goes, cells 2 to 4 after).
    std::string value;
};

// Everything the detail page says, read once; the window and the batch table both take
// their values from here.
struct DetailValues {
    DetailField deletionType;
    DetailField deletionTime;
    DetailField deadline;
    DetailField whois;
    // The page says the booking is over; the price table is then not read at all.
    bool bookingOver = false;
    // Behind "<th>保证金</th>" up to its next occurrence or the page's end.
    std::string pricePiece;
    // The price piece up to and including the "<" of its first "</div>".
    std::string priceBlock;
    // The first four cells of the block; a cell the block lacks stays empty.
    std::array<PriceCell, 4> cells;
    // Label8..Label11: the cells' values, or "预定时间已过" in each when the booking is over.
    std::array<std::string, 4> priceCaptions;
};

// Reads a detail page into its values.
DetailValues readDetail(std::string_view page);

// Writes read values into the window as the query has always shown them: the slots and
// Label1, Label2, Label13, Text2, then Label8..Label11, each control right after its slots.
void showDetail(app::Form1& form, const DetailValues& values);

// Reads the detail page in slot 4 and shows it: readDetail, then showDetail.
void parseDetail(app::Form1& form);

}  // namespace jilan::query
