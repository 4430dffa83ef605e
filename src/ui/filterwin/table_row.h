#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "filter/name_features.h"
#include "details/domain_rows.h"

namespace jilan::ui::filterwin {

// The queried values of one name as the table shows them; all text, empty when unknown.
using DetailCells = details::NameDetails;

// A date and time as its numbers in order (year, month, day, hour, minute, second), so that
// "2026-12-07 09:00" sorts before "2026-12-10 06:00" whatever the separators are.
using DateKey = std::array<std::int32_t, 6>;
std::optional<DateKey> dateKey(std::string_view text);
// The first number in a text ("1,280.50 元" -> 1280.5); nullopt when there is none.
std::optional<double> leadingNumber(std::string_view text);

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
    std::optional<DetailCells> details;

    // Sort keys of the detail columns, refreshed by setDetails().
    std::optional<DateKey> deletionKey, deadlineKey;
    std::optional<double> priceKey;

    void setDetails(DetailCells cells);
};

// A row for a listed name: its features computed here.
TableRow makeRow(std::string domain, int listIndex);

}  // namespace jilan::ui::filterwin
