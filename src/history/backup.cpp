#include "history/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <system_error>

#include "history/damage.h"
#include "history/integrity.h"
#include "history/store.h"

namespace jilan::history {

namespace {

namespace fs = std::filesystem;

std::string localDate(std::int64_t utc, const char* format) {
    const auto t = static_cast<std::time_t>(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

std::optional<std::int64_t> modifiedUtc(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(st.st_mtim.tv_sec);
}

void stamp(const std::string& path, std::int64_t utc) {
    const timespec times[2] = {{static_cast<std::time_t>(utc), 0},
                               {static_cast<std::time_t>(utc), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

Connection openFile(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection db(raw);
    if (db) {
        sqlite3_extended_result_codes(db.get(), 1);
    }
    return db;
}

bool passesQuickCheck(const std::string& path) {
    Connection db = openFile(path, SQLITE_OPEN_READONLY);
    return db && checkConnection(db.get(), CheckDepth::Quick).passed;
}

// The backup API's copy of the store into `target`, left as one file (rollback journal).
// Returns the SQLite code.
int copyStore(sqlite3* source, const std::string& target) {
    Connection db = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!db) {
        return SQLITE_CANTOPEN;
    }
    sqlite3_backup* backup = sqlite3_backup_init(db.get(), "main", source, "main");
    if (backup == nullptr) {
        return sqlite3_extended_errcode(db.get());
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE || finished != SQLITE_OK) {
        return stepped != SQLITE_DONE ? stepped : finished;
    }
    return execute(db.get(), "PRAGMA journal_mode=DELETE");
}

bool copyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        return false;
    }
    const int fd = ::open(to.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return synced;
}

}  // namespace

std::string backupPath(const std::string& storePath, int generation) {
    return storePath + (generation == 0 ? ".bak" : ".bak." + std::to_string(generation));
}

BackupOutcome backupIfDue(const std::string& storePath, std::int64_t nowUtc) {
    BackupOutcome outcome;
    const std::string newest = backupPath(storePath, 0);
    std::error_code ec;
    if (const auto made = modifiedUtc(newest);
        made && localDate(*made, "%Y%m%d") == localDate(nowUtc, "%Y%m%d")) {
        return outcome;
    }
    OpenedStore store = openStore(storePath, OpenMode::ReadOnly);
    if (!store.ok()) {
        outcome.error = store.unavailableReason;
        return outcome;
    }
    const std::string temp = storePath + ".bak-new";
    fs::remove(temp, ec);
    fs::remove(temp + "-journal", ec);
    if (const int code = copyStore(store.db.get(), temp); code != SQLITE_OK) {
        fs::remove(temp, ec);
        outcome.error = isDamageCode(code) ? failureReason(storePath, code)
                                           : "历史记录备份失败：" + reasonFor(code);
        return outcome;
    }
    store.db.reset();
    if (!passesQuickCheck(temp)) {
        fs::remove(temp, ec);
        markDamaged(storePath);
        outcome.error = std::string(kDamagedReason);
        return outcome;
    }
    if (fs::exists(newest, ec)) {
        fs::rename(newest, backupPath(storePath, 1), ec);
    }
    if (!ec) {
        fs::rename(temp, newest, ec);
    }
    if (ec) {
        fs::remove(temp, ec);
        outcome.error = "历史记录备份失败：无法替换 " + newest;
        return outcome;
    }
    stamp(newest, nowUtc);
    outcome.made = true;
    return outcome;
}

std::optional<std::string> newestGoodBackup(const std::string& storePath) {
    for (int generation = 0; generation < 2; ++generation) {
        const std::string candidate = backupPath(storePath, generation);
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && passesQuickCheck(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string restoreBackup(const std::string& storePath, const std::string& backup,
                          std::int64_t nowUtc) {
    std::error_code ec;
    const std::string base = storePath + ".damaged-" + localDate(nowUtc, "%Y%m%d");
    std::string kept = base;
    for (int n = 2; fs::exists(kept, ec) || fs::exists(kept + "-wal", ec); ++n) {
        kept = base + "-" + std::to_string(n);
    }
    const std::string temp = storePath + ".restore-new";
    if (!copyFile(backup, temp)) {
        fs::remove(temp, ec);
        return "无法复制备份 " + backup;
    }
    if (fs::exists(storePath, ec)) {
        fs::rename(storePath, kept, ec);
        if (ec) {
            fs::remove(temp, ec);
            return "无法移开已损坏的历史记录 " + storePath;
        }
    }
    // The old WAL belongs to the damaged file: beside the restored one it would be replayed
    // into it.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        if (fs::exists(storePath + suffix, ec)) {
            fs::rename(storePath + suffix, kept + suffix, ec);
        }
    }
    fs::rename(temp, storePath, ec);
    if (ec) {
        return "无法放回备份：" + storePath;
    }
    clearDamageMark(storePath);
    return {};
}

}  // namespace jilan::history
