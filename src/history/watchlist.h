#pragma once

// The watchlist: names an investor follows until they are booked or gone, each with a note, the
// latest details known of it, and the reminders already sent for it. Keyed by the name key, as
// every table of the store. Writes are synchronous; the window uses it from a worker thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "history/store.h"

namespace jilan::history {

// What the store keeps of a watched name's latest detail and ICP queries.
struct WatchDetails {
    std::string deletionTime;     // Beijing time as the site gave it; empty: unknown
    std::string bookingDeadline;  // likewise; empty: unknown or booking over
    std::string price;
    std::string icpState;        // 已备案 / 未备案; empty: not asked
    std::int64_t fetchedAt = 0;  // UTC seconds; 0: never fetched
};

struct WatchedName {
    std::string key;
    std::string domain;  // as first added
    std::int64_t addedAt = 0;
    std::string note;
    WatchDetails details;
    std::optional<std::int64_t> missingRun;  // the run that reached the listing's end without it
    int score = -1;  // 评分 the history stores for the name; -1: not harvested or not scored
};

enum class ReminderKind { BeforeDeadline, AtDeletion };
enum class ReminderState { Due, Sent, Missed };

// A reminder the store holds: written as Due before it is sent, then Sent, or Missed when its
// moment passed before any run could send it.
struct ReminderRecord {
    std::string key;
    ReminderKind kind = ReminderKind::BeforeDeadline;
    std::int64_t moment = 0;  // UTC seconds of the deadline or deletion time it is for
    ReminderState state = ReminderState::Due;
    std::string text;  // the message (for a missed one, the line a digest lists)
    std::int64_t at = 0;
};

// The longest note a watched name keeps, in characters (code points).
inline constexpr std::size_t kMaxNoteChars = 1000;

class Watchlist {
public:
    // ReadWrite creates or migrates the store; ReadOnly never writes, and a store from before
    // the watchlist reads as an empty list.
    static Watchlist open(const std::string& path, OpenMode mode, const StoreOptions& options = {});

    bool ok() const { return store_.ok(); }
    const std::string& unavailableReason() const { return store_.unavailableReason; }

    // Each name is added at `now`, or kept with its added time when already watched; `note`,
    // when given, replaces the note of every one of them. One transaction: all or none. Empty
    // on success, otherwise the Chinese reason.
    std::string add(const std::vector<std::string>& domains, const std::optional<std::string>& note,
                    std::int64_t now);
    std::string setNote(std::string_view domain, const std::string& note);
    // Forgets the names and their reminders; `removed` counts the names that were watched.
    std::string remove(const std::vector<std::string>& domains, int& removed);
    std::string updateDetails(std::string_view domain, const WatchDetails& details);
    // missingRun set: the run that reached the listing's end without the name; nullopt: seen.
    std::string setMissing(std::string_view domain, std::optional<std::int64_t> run);

    // Every watched name with its stored 评分, in no particular order (nullopt: unreadable).
    std::optional<std::vector<WatchedName>> list();
    // Which of `keys` are watched.
    std::unordered_set<std::string> watchedAmong(const std::vector<std::string>& keys);

    // The reminder kept for that name, kind and moment, if any.
    std::optional<ReminderRecord> reminder(std::string_view key, ReminderKind kind,
                                           std::int64_t moment);
    // Writes (or moves on) a reminder's record.
    std::string recordReminder(const ReminderRecord& record);
    // Missed reminders no digest has listed yet, oldest first, and the mark that one has.
    std::vector<ReminderRecord> unreportedMissed();
    std::string markReported(const std::vector<ReminderRecord>& records);

    // A change a harvest saw ("关注变化：8848.com 已不在列表"), kept until a digest lists it.
    std::string recordChange(std::string_view domain, const std::string& text, std::int64_t at);
    struct Changes {
        std::vector<std::string> lines;  // oldest first
        std::vector<std::int64_t> ids;   // each line's, for marking single lines
        std::int64_t lastId = 0;         // the newest of them, for markChangesReported
    };
    Changes unreportedChanges();
    std::string markChangesReported(std::int64_t upToId);
    // Only these lines (--remind sent them on every channel; the next digest skips them).
    std::string markChangesReported(const std::vector<std::int64_t>& ids);

private:
    explicit Watchlist(OpenedStore store) : store_(std::move(store)) {}
    bool hasTables() const { return store_.schemaVersion >= 6; }
    template <typename Body>
    std::string inTransaction(Body body);

    OpenedStore store_;
};

std::string_view reminderKindName(ReminderKind kind);

}  // namespace jilan::history
