#pragma once

#include "history/reader.h"
#include "history/sqlite_handles.h"

namespace jilan::history {

// The columns of a NameRow, in the order readNameRow reads them; a query appends its own
// WHERE and ORDER BY.
inline constexpr const char* kNameRowSelect =
    "SELECT key, domain, first_run, last_run, first_seen, last_seen, runs_seen, name, tld, "
    "length, kind, structure, pinyin, syllables, features_version, score FROM names ";

// Fills `row` from the current result row of a statement that selects kNameRowSelect.
inline void readNameRow(const Statement& s, NameRow& row) {
    row.key.assign(s.text(0));
    row.domain.assign(s.text(1));
    row.firstRun = s.int64(2);
    row.lastRun = s.int64(3);
    row.firstSeen = s.int64(4);
    row.lastSeen = s.int64(5);
    row.runsSeen = s.integer(6);
    row.columns.name.assign(s.text(7));
    row.columns.tld.assign(s.text(8));
    row.columns.length = s.integer(9);
    row.columns.kind.assign(s.text(10));
    row.columns.structure.assign(s.text(11));
    row.columns.pinyin.assign(s.text(12));
    row.columns.syllables = s.integer(13);
    row.columns.featuresVersion = s.integer(14);
    row.columns.score = s.integer(15);
}

}  // namespace jilan::history
