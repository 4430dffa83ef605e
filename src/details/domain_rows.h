#pragma once

#include <string>

#include "export/name_record.h"
#include "query/detail_batch.h"

namespace jilan::details {

// The values of a name as the table shows them, and their times, belong to the column
// catalogue (export/columns.h); the batch fills them.
using exporting::localTimeText;
using exporting::NameDetails;

// A finished name of the batch as table values; `queriedAt` is when its newest part was
// fetched (empty when no part was).
NameDetails detailsOf(const query::NameResult& result, const std::string& queriedAt);

}  // namespace jilan::details
