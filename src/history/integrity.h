#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace jilan::history {

// SQLite's own checks of a store: quick_check (every page and record well formed) or the full
// integrity_check (also every index against its table).
enum class CheckDepth { Quick, Full };

struct CheckOutcome {
    bool passed = false;
    std::vector<std::string> problems;  // SQLite's lines, the first few
    std::string unavailableReason;      // Chinese: the store could not be opened or read
};

// Runs the check on an open connection. A statement that fails counts as a failed check.
CheckOutcome checkConnection(sqlite3* db, CheckDepth depth);

// Checks the store at `path` on a read-only connection, damage mark or not. A pass removes the
// mark; a failure of the pages sets it. A missing or unreadable file is neither.
CheckOutcome checkStore(const std::string& path, CheckDepth depth);

// How often the daily run looks at every page of the store.
inline constexpr std::int64_t kQuickCheckEverySeconds = 7 * 24 * 3600;

struct ScheduledCheck {
    bool ran = false;
    CheckOutcome outcome;
};

// The quick check when the last one recorded in the store's settings is older than
// kQuickCheckEverySeconds (or none is); a pass is recorded, a failure marks the store damaged.
ScheduledCheck quickCheckIfDue(const std::string& path, std::int64_t nowUtc);

}  // namespace jilan::history
