#include "history/push_outbox.h"

#include "history/one_row.h"

namespace jilan::history {

PushOutbox::PushOutbox(const std::string& path) : store_(openStore(path, OpenMode::ReadWrite)) {}

bool PushOutbox::delivered(std::int64_t run, const std::string& digest, const std::string& channel,
                           int number) {
    if (!ok()) {
        return false;
    }
    Statement s(store_.db.get(),
                "SELECT delivered FROM push_outbox WHERE run = ?1 AND digest = ?2 AND "
                "channel = ?3 AND number = ?4");
    s.bind(1, run);
    s.bind(2, std::string_view(digest));
    s.bind(3, std::string_view(channel));
    s.bind(4, number);
    return s.step() == SQLITE_ROW && s.integer(0) == 1;
}

bool PushOutbox::record(std::int64_t run, const std::string& digest, const std::string& channel,
                        int number, bool delivered, const std::string& outcome, std::int64_t at) {
    if (!ok()) {
        return false;
    }
    Statement s(store_.db.get(),
                "INSERT OR REPLACE INTO push_outbox(run, digest, channel, number, delivered, "
                "outcome, at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    s.bind(1, run);
    s.bind(2, std::string_view(digest));
    s.bind(3, std::string_view(channel));
    s.bind(4, number);
    s.bind(5, delivered ? 1 : 0);
    s.bind(6, std::string_view(outcome));
    s.bind(7, at);
    return s.step() == SQLITE_DONE;
}

bool PushOutbox::forget(std::int64_t run) {
    if (!ok()) {
        return false;
    }
    Statement s(store_.db.get(), "DELETE FROM push_outbox WHERE run = ?1");
    s.bind(1, run);
    return s.step() == SQLITE_DONE;
}

std::optional<std::int64_t> PushOutbox::newestCompletedRun() {
    if (!ok()) {
        return std::nullopt;
    }
    return readOneRow(store_.db.get(),
                      "SELECT id FROM runs WHERE ended IS NOT NULL AND id <= ?1 "
                      "ORDER BY id DESC LIMIT 1",
                      INT64_MAX, [](const Statement& s) { return s.int64(0); });
}

}  // namespace jilan::history
