#include "history/store.h"

#include "history/damage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

namespace jilan::history {

namespace {

// Version 1: runs and names. The name key is the identity of a name (UNIQUE: the conflict
// target of every upsert and the key of the cache tables); the table itself is ordered by
// (first_seen, domain), the order every search streams in, so a search is one forward scan
// of the table rather than an index walk with a lookup per row. first_seen and domain never
// change once a name is inserted, so the clustering key is stable.
constexpr const char* kStep1 = R"sql(
CREATE TABLE runs(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  started INTEGER NOT NULL,
  ended INTEGER,
  page_limit INTEGER NOT NULL,
  pages_requested INTEGER NOT NULL DEFAULT 0,
  pages_failed INTEGER NOT NULL DEFAULT 0,
  entries INTEGER NOT NULL DEFAULT 0);
CREATE TABLE names(
  key TEXT NOT NULL UNIQUE,
  domain TEXT NOT NULL,
  first_run INTEGER NOT NULL,
  last_run INTEGER NOT NULL,
  first_seen INTEGER NOT NULL,
  last_seen INTEGER NOT NULL,
  runs_seen INTEGER NOT NULL,
  name TEXT NOT NULL,
  tld TEXT NOT NULL,
  length INTEGER NOT NULL,
  kind TEXT NOT NULL,
  structure TEXT NOT NULL,
  pinyin TEXT NOT NULL,
  syllables INTEGER NOT NULL,
  features_version INTEGER NOT NULL,
  PRIMARY KEY(first_seen, domain)) WITHOUT ROWID;
CREATE INDEX names_last_seen ON names(last_seen);
)sql";

// Version 2: the detail and ICP parts of a queried name, each with its fetch time (a query is
// not a sighting, so these never touch names), an index for "new in run R", and settings,
// which holds the features version every name row was last brought to (so opening a store
// does not have to look at a million rows to learn that nothing needs recomputing).
constexpr const char* kStep2 = R"sql(
CREATE TABLE detail_cache(
  key TEXT PRIMARY KEY,
  fetched INTEGER NOT NULL,
  booking_over INTEGER NOT NULL,
  deletion_type TEXT NOT NULL,
  deletion_time TEXT NOT NULL,
  booking_deadline TEXT NOT NULL,
  platform TEXT NOT NULL,
  price TEXT NOT NULL,
  price_cny TEXT NOT NULL,
  deposit TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE icp_cache(
  key TEXT PRIMARY KEY,
  fetched INTEGER NOT NULL,
  state TEXT NOT NULL,
  filing_number TEXT NOT NULL) WITHOUT ROWID;
CREATE INDEX names_first_run ON names(first_run);
CREATE TABLE settings(
  name TEXT PRIMARY KEY,
  value INTEGER NOT NULL) WITHOUT ROWID;
)sql";

// Version 3: a name is new until a run that saw it has completed (its outputs written), so a
// killed run, or one whose file could not be written, leaves its names new for the next one.
// runs.completed is the completion time; names.first_completed_run the first completed run
// that saw the name, NULL while none has. It is set once per run at completion, by key, for
// the names the run's writer counted (see Recorder::completeRun): the page statements stay as
// they were. "New in run R" is first_completed_run = R, or NULL with last_run = R while R has
// not completed. Its index replaces the first-run index, so a new name still costs a page one
// index entry besides the key's and the last-seen one. Rows of older stores read the column's
// default, 0: their runs are treated as completed, and they are no longer new anywhere.
constexpr const char* kStep3 = R"sql(
ALTER TABLE runs ADD COLUMN completed INTEGER;
UPDATE runs SET completed = ended;
ALTER TABLE names ADD COLUMN first_completed_run INTEGER DEFAULT 0;
DROP INDEX names_first_run;
CREATE INDEX names_first_completed_run ON names(first_completed_run);
)sql";

// Version 4: the push outbox: each digest message per channel of a run, delivered or failed,
// so that a second pass sends only what is missing.
constexpr const char* kStepPushOutbox = R"sql(
CREATE TABLE push_outbox(
  run INTEGER NOT NULL,
  digest TEXT NOT NULL,
  channel TEXT NOT NULL,
  number INTEGER NOT NULL,
  delivered INTEGER NOT NULL,
  outcome TEXT NOT NULL,
  at INTEGER NOT NULL,
  PRIMARY KEY(run, digest, channel, number)) WITHOUT ROWID;
)sql";

// Version 5: the score (评分) under the default weights beside the other feature columns.
// Rows from before it hold -1 until the features version brings them up to date.
constexpr const char* kStepScore = R"sql(
ALTER TABLE names ADD COLUMN score INTEGER NOT NULL DEFAULT -1;
)sql";

// Version 6: the watchlist and its reminders. A watched name keeps its latest known details
// as the site gave them (Beijing times as text) with their fetch time, and missing_run, the
// run that reached the listing's end without it (NULL while it is listed). A reminder row is
// written before it is sent and is keyed by the moment it was for, so it goes out once, and a
// deadline that moves is a new moment with a reminder of its own. state: due (written, its
// channels not all reached yet), sent, or missed (its moment passed before any run could send
// it); reported: a missed one has been listed in a digest. watch_changes: what a harvest
// learned of a watched name (left the list, booking closed, price or ICP changed), each line
// listed once by the next digest.
constexpr const char* kStepWatchlist = R"sql(
CREATE TABLE watchlist(
  key TEXT PRIMARY KEY,
  domain TEXT NOT NULL,
  added_at INTEGER NOT NULL,
  note TEXT NOT NULL DEFAULT '',
  deletion_time TEXT NOT NULL DEFAULT '',
  booking_deadline TEXT NOT NULL DEFAULT '',
  price TEXT NOT NULL DEFAULT '',
  icp_state TEXT NOT NULL DEFAULT '',
  fetched_at INTEGER NOT NULL DEFAULT 0,
  missing_run INTEGER) WITHOUT ROWID;
CREATE TABLE watch_reminders(
  key TEXT NOT NULL,
  kind TEXT NOT NULL,
  moment INTEGER NOT NULL,
  state TEXT NOT NULL,
  text TEXT NOT NULL,
  at INTEGER NOT NULL,
  reported INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(key, kind, moment)) WITHOUT ROWID;
CREATE TABLE watch_changes(
  id INTEGER PRIMARY KEY,
  key TEXT NOT NULL,
  text TEXT NOT NULL,
  at INTEGER NOT NULL,
  reported INTEGER NOT NULL DEFAULT 0);
)sql";

constexpr const char* kSteps[] = {kStep1,          kStep2,     kStep3,
                                  kStepPushOutbox, kStepScore, kStepWatchlist};
static_assert(std::size(kSteps) == kSchemaVersion, "one step per schema version");

std::string tooNew(int version) {
    return "历史记录不可用：数据库版本 " + std::to_string(version) + " 比本程序认识的版本 " +
           std::to_string(kSchemaVersion) + " 新";
}

OpenedStore unavailable(std::string reason) {
    OpenedStore out;
    out.unavailableReason = std::move(reason);
    return out;
}

// Applies the missing steps inside one write transaction; another process may have migrated
// the store between our first look and the lock, so the version is read again under it.
int migrate(sqlite3* db, int& version) {
    int code = beginImmediate(db);
    if (code != SQLITE_OK) {
        return code;
    }
    version = static_cast<int>(queryInteger(db, "PRAGMA user_version", code));
    for (int step = version; code == SQLITE_OK && step < kSchemaVersion; ++step) {
        code = execute(db, kSteps[step]);
    }
    if (code == SQLITE_OK && version < kSchemaVersion) {
        const std::string set = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
        code = execute(db, set.c_str());
    }
    if (code == SQLITE_OK) {
        code = execute(db, "COMMIT");
    }
    if (code != SQLITE_OK) {
        execute(db, "ROLLBACK");
        return code;
    }
    version = std::max(version, kSchemaVersion);
    return SQLITE_OK;
}

// WAL, synchronous=NORMAL and the schema steps. While another program creates or converts the
// same file SQLite may answer BUSY at once, without waiting in the busy handler (it would
// deadlock otherwise), so the caller repeats this until the busy time-out has passed.
int prepareForWriting(sqlite3* db, int& version) {
    {
        Statement wal(db, "PRAGMA journal_mode=WAL");
        const int code = wal.step();
        if (code != SQLITE_ROW) {
            return code;
        }
    }  // finalized here: a pending statement would hold its read lock into the migration
    if (int code = execute(db, "PRAGMA synchronous=NORMAL"); code != SQLITE_OK) {
        return code;
    }
    return version < kSchemaVersion ? migrate(db, version) : SQLITE_OK;
}

}  // namespace

std::string defaultHistoryPath(const EnvLookup& env) {
    std::filesystem::path base;
    if (auto xdg = env("XDG_DATA_HOME"); xdg && !xdg->empty() && xdg->front() == '/') {
        base = *xdg;  // the XDG rules ignore a relative value
    } else if (auto home = env("HOME"); home && !home->empty() && home->front() == '/') {
        base = std::filesystem::path(*home) / ".local" / "share";
    } else {
        return {};
    }
    return (base / "jilan-harvester" / "history.sqlite3").string();
}

int schemaStepCount() {
    return kSchemaVersion;
}
const char* schemaStep(int index) {
    return kSteps[index];
}

std::string reasonFor(int sqliteCode) {
    switch (sqliteCode & 0xff) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return std::string(kDamagedReason);
        case SQLITE_READONLY:
            return "历史记录不可用：数据库文件只读";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "历史记录不可用：数据库被其他程序占用过久";
        case SQLITE_FULL:
            return "历史记录不可用：磁盘已满";
        case SQLITE_CANTOPEN:
            return "历史记录不可用：无法打开数据库文件";
        case SQLITE_IOERR:
            return "历史记录不可用：读写数据库文件出错";
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return "历史记录不可用：没有访问数据库文件的权限";
        default:
            return "历史记录不可用：数据库错误（代码 " + std::to_string(sqliteCode) + "）";
    }
}

int beginImmediate(sqlite3* db, int attempts) {
    int code = SQLITE_BUSY;
    for (int i = 0; i < attempts; ++i) {
        code = execute(db, "BEGIN IMMEDIATE");
        if ((code & 0xff) != SQLITE_BUSY) {
            return code;
        }
    }
    return code;
}

OpenedStore openStore(const std::string& path, OpenMode mode, const StoreOptions& options) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (fs::is_directory(status)) {
        return unavailable("历史记录不可用：该路径是一个文件夹");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return unavailable("历史记录不可用：该路径不是普通文件");
    }
    const bool existed = fs::exists(status);
    if (existed && !options.ignoreDamageMark && isMarkedDamaged(path)) {
        return unavailable(std::string(kDamagedReason));
    }
    if (mode == OpenMode::ReadOnly && !existed) {
        return unavailable("历史记录不可用：还没有历史记录文件");
    }
    if (mode == OpenMode::ReadWrite && !existed) {
        const fs::path parent = fs::path(path).parent_path();
        if (!parent.empty()) {
            fs::create_directories(parent, ec);
            if (ec) {
                return unavailable("历史记录不可用：无法创建文件夹 " + parent.string());
            }
        }
    }

    const int flags = mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY
                                                 : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    int code = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection db(raw);  // owns the handle even when the open failed
    if (code != SQLITE_OK) {
        return unavailable(failureReason(path, code));
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), static_cast<int>(options.busyTimeout.count()));

    if (mode == OpenMode::ReadWrite && sqlite3_db_readonly(db.get(), "main") == 1) {
        return unavailable("历史记录不可用：数据库文件只读");
    }
    // The first read checks the header: a file that is not a database fails here, before
    // anything could be written to it.
    int version = static_cast<int>(queryInteger(db.get(), "PRAGMA user_version", code));
    if (code != SQLITE_OK) {
        return unavailable(failureReason(path, code));
    }
    if (version > kSchemaVersion) {
        return unavailable(tooNew(version));
    }
    if (mode == OpenMode::ReadOnly) {
        if (version == 0) {
            return unavailable("历史记录不可用：还没有历史记录文件");
        }
        OpenedStore out;
        out.db = std::move(db);
        out.path = path;
        out.schemaVersion = version;
        return out;
    }

    const auto deadline = std::chrono::steady_clock::now() + options.busyTimeout;
    for (;;) {
        code = prepareForWriting(db.get(), version);
        if ((code & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (code != SQLITE_OK) {
        return unavailable(failureReason(path, code));
    }
    if (version > kSchemaVersion) {  // another program moved it on meanwhile
        return unavailable(tooNew(version));
    }
    OpenedStore out;
    out.db = std::move(db);
    out.path = path;
    out.schemaVersion = version;
    return out;
}

}  // namespace jilan::history
