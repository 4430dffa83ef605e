#pragma once

#include <string>

#include "export/domain_table.h"
#include "query/detail_batch.h"

namespace jilan::program {

// The table's values of a name live with the column catalogue (export/columns.h).
using exporting::localTimeText;
using exporting::makeDomainRow;
using exporting::NameDetails;

// A finished name of the batch as table values; `queriedAt` is when its newest part was
// fetched (empty when no part was).
NameDetails detailsOf(const query::NameResult& result, const std::string& queriedAt);

}  // namespace jilan::program
