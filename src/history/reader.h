#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/store.h"

namespace jilan::history {

// One remembered name with its sightings and stored features.
struct NameRow {
    std::string key;
    std::string domain;  // as first listed
    std::int64_t firstRun = 0, lastRun = 0;
    std::int64_t firstSeen = 0, lastSeen = 0;  // UTC seconds
    int runsSeen = 0;
    NameColumns columns;
};

struct RunRow {
    std::int64_t id = 0;
    std::int64_t started = 0;
    std::optional<std::int64_t> ended;  // empty while running, or when the run was killed
    // When everything the run was for was done (see Recorder::completeRun); empty until then,
    // and for ever when it was killed or its output failed.
    std::optional<std::int64_t> completed;
    int pageLimit = 0, pagesRequested = 0, pagesFailed = 0, entries = 0;
};

// Called per row; the row is reused between calls (copy what must outlive the call).
// Return false to stop the walk.
using RowSink = std::function<bool(const NameRow& row)>;

// Result of a walk: the rows delivered, or the Chinese reason it stopped on an error.
struct WalkResult {
    std::size_t rows = 0;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Conditions a caller's filter implies on the stored columns. Rows that fail them are skipped
// inside SQLite before their other columns are read; the caller still applies its own filter
// to what it is given.
struct SearchHints {
    int minLength = 0;
    int maxLength = std::numeric_limits<int>::max();
    std::vector<std::string> kinds;  // any of these; empty = every kind
    std::vector<std::string> tlds;   // any of these suffixes; empty = every suffix
};

// A read-only connection of its own; never writes, never migrates.
class Reader {
public:
    static Reader open(const std::string& path, const StoreOptions& options = {});

    bool ok() const { return store_.ok(); }
    const std::string& unavailableReason() const { return store_.unavailableReason; }

    // Names whose last sighting lies in [sinceUtc, untilUtc), in order of first sighting then
    // domain, streamed one row at a time.
    WalkResult search(std::int64_t sinceUtc, std::int64_t untilUtc, const RowSink& sink,
                      const SearchHints& hints = {});
    // Names new in run `runId`, in the same order: those whose first completed run it is, and
    // while it has not completed, those it saw last that no completed run has seen (a name
    // a killed run recorded first is new again in the next run that sees it).
    WalkResult newInRun(std::int64_t runId, const RowSink& sink);
    // Only the domains of those names, read from the first-completed-run index (no row is
    // looked up for the completed half): what a caller needs to tell new names from others.
    WalkResult newDomainsInRun(std::int64_t runId,
                               const std::function<bool(std::string_view domain)>& sink);
    std::optional<NameRow> lookup(std::string_view domain);
    std::optional<RunRow> run(std::int64_t runId);
    std::optional<RunRow> lastRun();

private:
    explicit Reader(OpenedStore store) : store_(std::move(store)) {}
    WalkResult walk(Statement& statement, const RowSink& sink);
    std::optional<RunRow> oneRun(const char* sql, std::int64_t id);

    OpenedStore store_;
};

}  // namespace jilan::history
