#pragma once

#include <optional>
#include <string_view>
#include <type_traits>

#include "history/sqlite_handles.h"

namespace jilan::history {

// A look-up of one row by its key: prepares `sql` on `db`, binds `key` as ?1, steps once and
// returns what `read` makes of the row. nullopt when the statement cannot be prepared or
// finds no row.
template <typename Key, typename Read>
auto readOneRow(sqlite3* db, std::string_view sql, const Key& key, Read read)
    -> std::optional<std::invoke_result_t<Read&, const Statement&>> {
    Statement s(db, sql);
    if (s.prepareResult() != SQLITE_OK) {
        return std::nullopt;
    }
    s.bind(1, key);
    if (s.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return read(static_cast<const Statement&>(s));
}

}  // namespace jilan::history
