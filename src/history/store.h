#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "history/sqlite_handles.h"

namespace jilan::history {

// The features of a name, computed by the layer that knows them and stored as columns when
// the name is first inserted. featuresVersion says which rules computed them: rows with another
// version are computed again when a store is opened for writing.
struct NameColumns {
    std::string name, tld, kind, structure, pinyin;
    int length = 0;
    int syllables = 0;
    int score = -1;  // 评分 under the default weights; -1 when the name cannot be scored
    int featuresVersion = 0;
};
using ColumnsFn = std::function<NameColumns(std::string_view domain)>;

// Looks an environment variable up; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// $XDG_DATA_HOME/jilan-harvester/history.sqlite3, XDG_DATA_HOME defaulting to ~/.local/share.
// Empty when neither XDG_DATA_HOME nor HOME is set to an absolute path.
std::string defaultHistoryPath(const EnvLookup& env);

// The newest schema this program knows. A store with a higher user_version is never touched.
inline constexpr int kSchemaVersion = 6;

enum class OpenMode { ReadWrite, ReadOnly };

struct StoreOptions {
    std::chrono::milliseconds busyTimeout{5000};
    // Opens a store marked damaged (see damage.h) anyway: only for checking or restoring it.
    bool ignoreDamageMark = false;
};

// An open connection, or the Chinese reason the store cannot be used.
struct OpenedStore {
    Connection db;
    std::string path;
    std::string unavailableReason;
    int schemaVersion = 0;

    bool ok() const { return db != nullptr; }
};

// Opens the store at `path`. ReadWrite creates the file (and its folder) when missing, switches
// it to WAL and migrates it step by step to kSchemaVersion. ReadOnly never writes. A corrupt,
// read-only, too-new or long-locked file, or a folder in its place, gives a reason and is left
// exactly as it was. A store marked damaged is refused with kDamagedReason, and a corrupt one
// gets that mark.
OpenedStore openStore(const std::string& path, OpenMode mode, const StoreOptions& options = {});

// The schema steps: step i (from 0) takes a store from version i to version i + 1.
// Exposed so tests can build a store of an older version.
int schemaStepCount();
const char* schemaStep(int index);

// Chinese reason for a failed SQLite call on the store.
std::string reasonFor(int sqliteCode);

// Begins a write transaction, retrying while another process holds the write lock past the
// connection's busy time-out, up to `attempts` times. Returns the last SQLite code.
int beginImmediate(sqlite3* db, int attempts = 3);

}  // namespace jilan::history
