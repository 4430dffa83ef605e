#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "export/name_record.h"
#include "filter/name_features.h"
#include "filter/score.h"

namespace jilan::ui::filterwin {

// The queried values of one name as the table shows them; all text, empty when unknown.
using DetailCells = exporting::NameDetails;

// One name of the table with everything sorting and filtering need, computed once.
struct TableRow {
    std::string domain;
    filter::NameFeatures features;
    // Its index in the main window's list (当前列表); -1 for a name from the history.
    int listIndex = -1;
    std::optional<std::int64_t> firstSeen, lastSeen;  // UTC seconds, from the history
    int runsSeen = 0;
    // 新: unknown until the run that harvested the name is known.
    std::optional<bool> isNew;
    // On the watchlist (关注).
    bool watched = false;
    // Shared and off the row: most rows are never queried, and 100 000 rows each carrying
    // twelve empty texts cost the window's opening a fault for every page they fill.
    std::shared_ptr<const DetailCells> details;
    // 评分 under the table's weights: the value only, the breakdown is made when asked.
    filter::Score score;

    // Sort keys of the detail columns, refreshed by setDetails().
    exporting::DetailSortKeys detailKeys;

    void setDetails(DetailCells cells);
    // The row as the column catalogue reads it; it refers to this row.
    exporting::NameRecord record() const;
};

// A row for a listed name: its features computed here.
TableRow makeRow(std::string domain, int listIndex);

}  // namespace jilan::ui::filterwin
