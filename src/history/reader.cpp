#include "history/reader.h"

#include <limits>

#include "base/name_key.h"
#include "history/damage.h"
#include "history/name_row_read.h"
#include "history/one_row.h"

namespace jilan::history {

namespace {

// New in run ?1: its own completion made the name old, or no completed run has seen it and
// ?1 saw it last. Both halves are ranges of the first-completed-run index; the second is
// the names no completed run has seen, which are few (those of runs still going or killed).
constexpr const char* kNewInRun =
    "(first_completed_run = ?1 OR (first_completed_run IS NULL AND last_run = ?1))";

std::string sqlOf(const char* tail) {
    return std::string(kNameRowSelect) + tail;
}

}  // namespace

Reader Reader::open(const std::string& path, const StoreOptions& options) {
    return Reader(openStore(path, OpenMode::ReadOnly, options));
}

WalkResult Reader::walk(Statement& statement, const RowSink& sink) {
    WalkResult result;
    if (statement.prepareResult() != SQLITE_OK) {
        result.error = failureReason(store_.path, statement.prepareResult());
        return result;
    }
    NameRow row;
    int code = SQLITE_ROW;
    while ((code = statement.step()) == SQLITE_ROW) {
        readNameRow(statement, row);
        ++result.rows;
        if (!sink(row)) {
            return result;
        }
    }
    if (code != SQLITE_DONE) {
        result.error = failureReason(store_.path, code);
    }
    return result;
}

WalkResult Reader::search(std::int64_t sinceUtc, std::int64_t untilUtc, const RowSink& sink,
                          const SearchHints& hints) {
    if (!ok()) {
        return WalkResult{0, store_.unavailableReason};
    }
    // The table is stored in (first_seen, domain) order: a forward scan delivers the rows in
    // the wanted order without a sort and in constant memory, whatever share of them the
    // range keeps. The unary + keeps the planner off the last_seen index, whose rows would
    // have to be sorted (1 000 000 of them for a long range) before the first one is given.
    //
    // Every row of the table is looked at, so each condition costs a million evaluations: only
    // the bounds that can fail are written, the length first (the column a filter's hint most
    // often narrows, and the cheapest to compare), then the kinds, then the sighting range.
    std::string where;
    const auto term = [&where](const std::string& condition) {
        where += where.empty() ? "WHERE " : " AND ";
        where += condition;
    };
    if (hints.minLength > 0) {
        term("+length >= ?3");
    }
    if (hints.maxLength < std::numeric_limits<int>::max()) {
        term("+length <= ?4");
    }
    if (!hints.kinds.empty()) {
        std::string in = "+kind IN (";
        for (std::size_t i = 0; i < hints.kinds.size(); ++i) {
            in += i == 0 ? "?" : ", ?";
            in += std::to_string(5 + i);
        }
        term(in + ")");
    }
    if (!hints.tlds.empty()) {
        std::string in = "+tld IN (";
        for (std::size_t i = 0; i < hints.tlds.size(); ++i) {
            in += i == 0 ? "?" : ", ?";
            in += std::to_string(5 + hints.kinds.size() + i);
        }
        term(in + ")");
    }
    if (sinceUtc > std::numeric_limits<std::int64_t>::min()) {
        term("+last_seen >= ?1");
    }
    if (untilUtc < std::numeric_limits<std::int64_t>::max()) {
        term("+last_seen < ?2");
    }
    Statement s(store_.db.get(), sqlOf((where + " ORDER BY first_seen, domain").c_str()));
    s.bind(1, sinceUtc);
    s.bind(2, untilUtc);
    s.bind(3, hints.minLength);
    s.bind(4, hints.maxLength);
    for (std::size_t i = 0; i < hints.kinds.size(); ++i) {
        s.bind(static_cast<int>(5 + i), hints.kinds[i]);
    }
    for (std::size_t i = 0; i < hints.tlds.size(); ++i) {
        s.bind(static_cast<int>(5 + hints.kinds.size() + i), hints.tlds[i]);
    }
    return walk(s, sink);
}

WalkResult Reader::newInRun(std::int64_t runId, const RowSink& sink) {
    if (!ok()) {
        return WalkResult{0, store_.unavailableReason};
    }
    Statement s(
        store_.db.get(),
        sqlOf((std::string("WHERE ") + kNewInRun + " ORDER BY first_seen, domain").c_str()));
    s.bind(1, runId);
    return walk(s, sink);
}

WalkResult Reader::newDomainsInRun(std::int64_t runId,
                                   const std::function<bool(std::string_view domain)>& sink) {
    if (!ok()) {
        return WalkResult{0, store_.unavailableReason};
    }
    // names_first_completed_run holds the table's key (first_seen, domain) beside the column.
    Statement s(store_.db.get(), std::string("SELECT domain FROM names WHERE ") + kNewInRun);
    if (s.prepareResult() != SQLITE_OK) {
        return WalkResult{0, failureReason(store_.path, s.prepareResult())};
    }
    s.bind(1, runId);
    WalkResult result;
    int code = SQLITE_ROW;
    while ((code = s.step()) == SQLITE_ROW) {
        ++result.rows;
        if (!sink(s.text(0))) {
            return result;
        }
    }
    if (code != SQLITE_DONE) {
        result.error = failureReason(store_.path, code);
    }
    return result;
}

std::optional<NameRow> Reader::lookup(std::string_view domain) {
    if (!ok()) {
        return std::nullopt;
    }
    return readOneRow(store_.db.get(), sqlOf("WHERE key = ?1"), base::nameKey(domain),
                      [](const Statement& s) {
                          NameRow row;
                          readNameRow(s, row);
                          return row;
                      });
}

std::optional<RunRow> Reader::oneRun(const char* sql, std::int64_t id) {
    if (!ok()) {
        return std::nullopt;
    }
    return readOneRow(store_.db.get(), sql, id, [](const Statement& s) {
        RunRow run;
        run.id = s.int64(0);
        run.started = s.int64(1);
        if (!s.isNull(2)) {
            run.ended = s.int64(2);
        }
        run.pageLimit = s.integer(3);
        run.pagesRequested = s.integer(4);
        run.pagesFailed = s.integer(5);
        run.entries = s.integer(6);
        if (!s.isNull(7)) {
            run.completed = s.int64(7);
        }
        return run;
    });
}

std::optional<RunRow> Reader::run(std::int64_t runId) {
    return oneRun(
        "SELECT id, started, ended, page_limit, pages_requested, pages_failed, entries, completed "
        "FROM runs WHERE id = ?1",
        runId);
}

std::optional<RunRow> Reader::lastRun() {
    return oneRun(
        "SELECT id, started, ended, page_limit, pages_requested, pages_failed, entries, completed "
        "FROM runs WHERE id <= ?1 ORDER BY id DESC LIMIT 1",
        INT64_MAX);
}

}  // namespace jilan::history
