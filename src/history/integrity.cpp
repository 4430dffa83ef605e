#include "history/integrity.h"

#include "history/damage.h"
#include "history/store.h"

namespace jilan::history {

namespace {

constexpr std::size_t kProblemsKept = 10;
constexpr const char* kLastCheck = "last_quick_check";

}  // namespace

CheckOutcome checkConnection(sqlite3* db, CheckDepth depth) {
    CheckOutcome outcome;
    Statement check(
        db, depth == CheckDepth::Quick ? "PRAGMA quick_check(10)" : "PRAGMA integrity_check(10)");
    if (check.prepareResult() != SQLITE_OK) {
        outcome.problems.push_back(reasonFor(check.prepareResult()));
        return outcome;
    }
    int code = SQLITE_ROW;
    while ((code = check.step()) == SQLITE_ROW) {
        if (outcome.problems.size() < kProblemsKept) {
            outcome.problems.emplace_back(check.text(0));
        }
    }
    if (code != SQLITE_DONE) {
        outcome.problems.push_back(reasonFor(code));
        return outcome;
    }
    outcome.passed = outcome.problems.size() == 1 && outcome.problems.front() == "ok";
    if (outcome.passed) {
        outcome.problems.clear();
    }
    return outcome;
}

CheckOutcome checkStore(const std::string& path, CheckDepth depth) {
    StoreOptions options;
    options.ignoreDamageMark = true;
    OpenedStore store = openStore(path, OpenMode::ReadOnly, options);
    if (!store.ok()) {
        CheckOutcome outcome;
        if (isMarkedDamaged(path)) {  // not a database at all: the open marked it
            outcome.problems.push_back(store.unavailableReason);
        } else {
            outcome.unavailableReason = store.unavailableReason;
        }
        return outcome;
    }
    CheckOutcome outcome = checkConnection(store.db.get(), depth);
    store.db.reset();
    if (outcome.passed) {
        clearDamageMark(path);
    } else {
        markDamaged(path);
    }
    return outcome;
}

ScheduledCheck quickCheckIfDue(const std::string& path, std::int64_t nowUtc) {
    ScheduledCheck scheduled;
    OpenedStore store = openStore(path, OpenMode::ReadWrite);
    if (!store.ok()) {
        scheduled.outcome.unavailableReason = store.unavailableReason;
        return scheduled;
    }
    sqlite3* db = store.db.get();
    Statement last(db, "SELECT value FROM settings WHERE name = ?1");
    last.bind(1, std::string_view(kLastCheck));
    // A time in the future (a clock set back since) does not put the check off.
    if (last.step() == SQLITE_ROW && last.int64(0) <= nowUtc &&
        nowUtc - last.int64(0) < kQuickCheckEverySeconds) {
        return scheduled;
    }
    last.reset();
    scheduled.ran = true;
    scheduled.outcome = checkConnection(db, CheckDepth::Quick);
    if (!scheduled.outcome.passed) {
        markDamaged(path);
        return scheduled;
    }
    Statement record(db, "INSERT OR REPLACE INTO settings(name, value) VALUES(?1, ?2)");
    record.bind(1, std::string_view(kLastCheck));
    record.bind(2, nowUtc);
    if (const int code = record.step(); code != SQLITE_DONE) {
        scheduled.outcome.unavailableReason = failureReason(path, code);
    }
    return scheduled;
}

}  // namespace jilan::history
