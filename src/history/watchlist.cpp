#include "history/watchlist.h"

#include "base/name_key.h"
#include "history/damage.h"

namespace jilan::history {

namespace {

constexpr std::string_view kDue = "due";
constexpr std::string_view kSent = "sent";
constexpr std::string_view kMissed = "missed";

std::string_view stateName(ReminderState state) {
    switch (state) {
        case ReminderState::Sent:
            return kSent;
        case ReminderState::Missed:
            return kMissed;
        case ReminderState::Due:
            break;
    }
    return kDue;
}

ReminderState stateNamed(std::string_view name) {
    return name == kSent ? ReminderState::Sent
                         : (name == kMissed ? ReminderState::Missed : ReminderState::Due);
}

ReminderKind kindNamed(std::string_view name) {
    return name == reminderKindName(ReminderKind::AtDeletion) ? ReminderKind::AtDeletion
                                                              : ReminderKind::BeforeDeadline;
}

ReminderRecord readReminder(const Statement& s) {
    ReminderRecord r;
    r.key = s.text(0);
    r.kind = kindNamed(s.text(1));
    r.moment = s.int64(2);
    r.state = stateNamed(s.text(3));
    r.text = s.text(4);
    r.at = s.int64(5);
    return r;
}

// A statement that must run to its end.
int run(Statement& s) {
    if (s.prepareResult() != SQLITE_OK) {
        return s.prepareResult();
    }
    const int code = s.step();
    return code == SQLITE_DONE || code == SQLITE_ROW ? SQLITE_OK : code;
}

}  // namespace

std::string_view reminderKindName(ReminderKind kind) {
    return kind == ReminderKind::AtDeletion ? "deletion" : "deadline";
}

Watchlist Watchlist::open(const std::string& path, OpenMode mode, const StoreOptions& options) {
    return Watchlist(openStore(path, mode, options));
}

// Runs `body(db)` (returning a SQLite code) in one write transaction; the Chinese reason when
// anything fails, and then nothing of it is kept.
template <typename Body>
std::string Watchlist::inTransaction(Body body) {
    if (!ok()) {
        return store_.unavailableReason;
    }
    if (!hasTables()) {
        return reasonFor(SQLITE_READONLY);  // an older store opened read-only
    }
    if (isMarkedDamaged(store_.path)) {
        return std::string(kDamagedReason);
    }
    sqlite3* db = store_.db.get();
    if (int code = beginImmediate(db); code != SQLITE_OK) {
        return failureReason(store_.path, code);
    }
    int code = body(db);
    if (code == SQLITE_OK) {
        code = execute(db, "COMMIT");
    }
    if (code != SQLITE_OK) {
        execute(db, "ROLLBACK");
        return failureReason(store_.path, code);
    }
    return {};
}

std::string Watchlist::add(const std::vector<std::string>& domains,
                           const std::optional<std::string>& note, std::int64_t now) {
    return inTransaction([&](sqlite3* db) {
        Statement insert(db,
                         "INSERT INTO watchlist(key, domain, added_at) VALUES(?1, ?2, ?3) "
                         "ON CONFLICT(key) DO NOTHING");
        Statement setNote(db, "UPDATE watchlist SET note = ?2 WHERE key = ?1");
        for (const std::string& domain : domains) {
            const std::string key = base::nameKey(domain);
            insert.reset();
            insert.bind(1, key);
            insert.bind(2, domain);
            insert.bind(3, now);
            if (int code = run(insert); code != SQLITE_OK) {
                return code;
            }
            if (note) {
                setNote.reset();
                setNote.bind(1, key);
                setNote.bind(2, std::string_view(*note));
                if (int code = run(setNote); code != SQLITE_OK) {
                    return code;
                }
            }
        }
        return SQLITE_OK;
    });
}

std::string Watchlist::setNote(std::string_view domain, const std::string& note) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db, "UPDATE watchlist SET note = ?2 WHERE key = ?1");
        s.bind(1, base::nameKey(domain));
        s.bind(2, std::string_view(note));
        return run(s);
    });
}

std::string Watchlist::remove(const std::vector<std::string>& domains, int& removed) {
    removed = 0;
    return inTransaction([&](sqlite3* db) {
        Statement name(db, "DELETE FROM watchlist WHERE key = ?1");
        Statement reminders(db, "DELETE FROM watch_reminders WHERE key = ?1");
        for (const std::string& domain : domains) {
            const std::string key = base::nameKey(domain);
            name.reset();
            name.bind(1, key);
            reminders.reset();
            reminders.bind(1, key);
            if (int code = run(name); code != SQLITE_OK) {
                return code;
            }
            removed += sqlite3_changes(db);
            if (int code = run(reminders); code != SQLITE_OK) {
                return code;
            }
        }
        return SQLITE_OK;
    });
}

std::string Watchlist::updateDetails(std::string_view domain, const WatchDetails& details) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db,
                    "UPDATE watchlist SET deletion_time = ?2, booking_deadline = ?3, price = ?4, "
                    "icp_state = ?5, fetched_at = ?6 WHERE key = ?1");
        s.bind(1, base::nameKey(domain));
        s.bind(2, std::string_view(details.deletionTime));
        s.bind(3, std::string_view(details.bookingDeadline));
        s.bind(4, std::string_view(details.price));
        s.bind(5, std::string_view(details.icpState));
        s.bind(6, details.fetchedAt);
        return run(s);
    });
}

std::string Watchlist::setMissing(std::string_view domain, std::optional<std::int64_t> runId) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db, "UPDATE watchlist SET missing_run = ?2 WHERE key = ?1");
        s.bind(1, base::nameKey(domain));
        if (runId) {
            s.bind(2, *runId);
        } else {
            s.bindNull(2);
        }
        return run(s);
    });
}

std::optional<std::vector<WatchedName>> Watchlist::list() {
    if (!ok()) {
        return std::nullopt;
    }
    std::vector<WatchedName> out;
    if (!hasTables()) {
        return out;
    }
    Statement s(store_.db.get(),
                "SELECT w.key, w.domain, w.added_at, w.note, w.deletion_time, w.booking_deadline, "
                "w.price, w.icp_state, w.fetched_at, w.missing_run, n.score FROM watchlist w "
                "LEFT JOIN names n ON n.key = w.key");
    if (s.prepareResult() != SQLITE_OK) {
        return std::nullopt;
    }
    int code = SQLITE_ROW;
    while ((code = s.step()) == SQLITE_ROW) {
        WatchedName w;
        w.key = s.text(0);
        w.domain = s.text(1);
        w.addedAt = s.int64(2);
        w.note = s.text(3);
        w.details = {std::string(s.text(4)), std::string(s.text(5)), std::string(s.text(6)),
                     std::string(s.text(7)), s.int64(8)};
        if (!s.isNull(9)) {
            w.missingRun = s.int64(9);
        }
        w.score = s.isNull(10) ? -1 : s.integer(10);
        out.push_back(std::move(w));
    }
    if (code != SQLITE_DONE) {
        return std::nullopt;
    }
    return out;
}

std::unordered_set<std::string> Watchlist::watchedAmong(const std::vector<std::string>& keys) {
    std::unordered_set<std::string> out;
    if (!ok() || !hasTables()) {
        return out;
    }
    Statement s(store_.db.get(), "SELECT 1 FROM watchlist WHERE key = ?1");
    for (const std::string& key : keys) {
        s.reset();
        s.bind(1, base::nameKey(key));
        if (s.step() == SQLITE_ROW) {
            out.insert(base::nameKey(key));
        }
    }
    return out;
}

std::optional<ReminderRecord> Watchlist::reminder(std::string_view key, ReminderKind kind,
                                                  std::int64_t moment) {
    if (!ok() || !hasTables()) {
        return std::nullopt;
    }
    Statement s(store_.db.get(),
                "SELECT key, kind, moment, state, text, at FROM watch_reminders "
                "WHERE key = ?1 AND kind = ?2 AND moment = ?3");
    s.bind(1, base::nameKey(key));
    s.bind(2, reminderKindName(kind));
    s.bind(3, moment);
    if (s.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return readReminder(s);
}

std::string Watchlist::recordReminder(const ReminderRecord& r) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db,
                    "INSERT INTO watch_reminders(key, kind, moment, state, text, at) "
                    "VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(key, kind, moment) DO UPDATE "
                    "SET state = excluded.state, text = excluded.text, at = excluded.at");
        s.bind(1, base::nameKey(r.key));
        s.bind(2, reminderKindName(r.kind));
        s.bind(3, r.moment);
        s.bind(4, stateName(r.state));
        s.bind(5, std::string_view(r.text));
        s.bind(6, r.at);
        return run(s);
    });
}

std::vector<ReminderRecord> Watchlist::unreportedMissed() {
    std::vector<ReminderRecord> out;
    if (!ok() || !hasTables()) {
        return out;
    }
    Statement s(store_.db.get(),
                "SELECT key, kind, moment, state, text, at FROM watch_reminders "
                "WHERE state = 'missed' AND reported = 0 ORDER BY moment, key");
    while (s.step() == SQLITE_ROW) {
        out.push_back(readReminder(s));
    }
    return out;
}

std::string Watchlist::markReported(const std::vector<ReminderRecord>& records) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db,
                    "UPDATE watch_reminders SET reported = 1 "
                    "WHERE key = ?1 AND kind = ?2 AND moment = ?3");
        for (const ReminderRecord& r : records) {
            s.reset();
            s.bind(1, base::nameKey(r.key));
            s.bind(2, reminderKindName(r.kind));
            s.bind(3, r.moment);
            if (int code = run(s); code != SQLITE_OK) {
                return code;
            }
        }
        return SQLITE_OK;
    });
}

std::string Watchlist::recordChange(std::string_view domain, const std::string& text,
                                    std::int64_t at) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db, "INSERT INTO watch_changes(key, text, at) VALUES(?1, ?2, ?3)");
        s.bind(1, base::nameKey(domain));
        s.bind(2, std::string_view(text));
        s.bind(3, at);
        return run(s);
    });
}

Watchlist::Changes Watchlist::unreportedChanges() {
    Changes out;
    if (!ok() || !hasTables()) {
        return out;
    }
    Statement s(store_.db.get(),
                "SELECT id, text FROM watch_changes WHERE reported = 0 ORDER BY id");
    while (s.step() == SQLITE_ROW) {
        out.lastId = s.int64(0);
        out.ids.push_back(out.lastId);
        out.lines.emplace_back(s.text(1));
    }
    return out;
}

std::string Watchlist::markChangesReported(std::int64_t upToId) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db, "UPDATE watch_changes SET reported = 1 WHERE id <= ?1 AND reported = 0");
        s.bind(1, upToId);
        return run(s);
    });
}

std::string Watchlist::markChangesReported(const std::vector<std::int64_t>& ids) {
    return inTransaction([&](sqlite3* db) {
        Statement s(db, "UPDATE watch_changes SET reported = 1 WHERE id = ?1");
        for (const std::int64_t id : ids) {
            s.reset();
            s.bind(1, id);
            if (int code = run(s); code != SQLITE_OK) {
                return code;
            }
        }
        return SQLITE_OK;
    });
}

}  // namespace jilan::history
