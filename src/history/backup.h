#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace jilan::history {

// Backups of the store beside it, two generations: PATH.bak (newest) and PATH.bak.1.

// generation 0: PATH.bak; 1: PATH.bak.1.
std::string backupPath(const std::string& storePath, int generation);

struct BackupOutcome {
    bool made = false;
    std::string error;  // Chinese; empty when made or not due
};

// At most once per local day (the newest backup's time says when the last was made): copies
// the store with SQLite's online backup API to a temporary name beside it, which must pass
// quick_check (the API copies corrupt pages without complaint; a copy that fails marks the
// store damaged), then moves PATH.bak to PATH.bak.1 and the copy into PATH.bak, stamped
// `nowUtc`. A store marked damaged is not copied.
BackupOutcome backupIfDue(const std::string& storePath, std::int64_t nowUtc);

// The newest backup that passes quick_check, or nullopt.
std::optional<std::string> newestGoodBackup(const std::string& storePath);

// Puts a copy of `backup` in the store's place. The store, with its WAL, is kept as
// PATH.damaged-YYYYMMDD (the local date of `nowUtc`; -2, -3... when taken), the copy goes in
// through a temporary name, and the damage mark is removed. Empty, or the Chinese reason.
std::string restoreBackup(const std::string& storePath, const std::string& backup,
                          std::int64_t nowUtc);

}  // namespace jilan::history
