#include "table_row.h"

#include <utility>

namespace jilan::ui::filterwin {

void TableRow::setDetails(DetailCells cells) {
    detailKeys = exporting::sortKeysOf(cells);
    details = std::make_shared<const DetailCells>(std::move(cells));
}

exporting::NameRecord TableRow::record() const {
    std::optional<exporting::Sightings> seen;
    if (firstSeen) {
        seen = exporting::Sightings{
            .firstSeen = *firstSeen, .lastSeen = lastSeen.value_or(*firstSeen), .runs = runsSeen};
    }
    return exporting::NameRecord{.domain = domain,
                                 .features = features,
                                 .seen = seen,
                                 .details = details.get(),
                                 .detailKeys = &detailKeys,
                                 .isNew = isNew,
                                 .score = &score,
                                 .watched = watched};
}

TableRow makeRow(std::string domain, int listIndex) {
    TableRow row;
    row.features = filter::computeFeatures(domain);
    row.domain = std::move(domain);
    row.listIndex = listIndex;
    return row;
}

}  // namespace jilan::ui::filterwin
