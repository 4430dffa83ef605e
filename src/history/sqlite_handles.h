#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace jilan::history {

struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};

using Connection = std::unique_ptr<sqlite3, SqliteCloser>;

// One prepared statement with typed binds and reads. Indices follow SQLite: binds from 1,
// columns from 0. Every step result is returned; nothing throws.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql);

    bool valid() const { return stmt_ != nullptr; }
    int prepareResult() const { return prepareResult_; }

    void bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_.get(), index, value); }
    void bind(int index, int value) { sqlite3_bind_int(stmt_.get(), index, value); }
    // An empty view may have no data pointer, which SQLite would store as NULL: bind "" then.
    void bind(int index, std::string_view text) {
        sqlite3_bind_text(stmt_.get(), index, text.data() == nullptr ? "" : text.data(),
                          static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    // Binds without a copy: the text must stay alive and unchanged until the statement is
    // rewound or reset.
    void bindStatic(int index, std::string_view text) {
        sqlite3_bind_text(stmt_.get(), index, text.data() == nullptr ? "" : text.data(),
                          static_cast<int>(text.size()), SQLITE_STATIC);
    }
    void bindNull(int index) { sqlite3_bind_null(stmt_.get(), index); }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(stmt_.get()); }
    // Ready for the next step with the binds kept (each is overwritten before that step).
    void rewind() { sqlite3_reset(stmt_.get()); }
    void reset() {
        sqlite3_reset(stmt_.get());
        sqlite3_clear_bindings(stmt_.get());
    }

    std::int64_t int64(int column) const { return sqlite3_column_int64(stmt_.get(), column); }
    int integer(int column) const { return sqlite3_column_int(stmt_.get(), column); }
    bool isNull(int column) const {
        return sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL;
    }
    std::string_view text(int column) const {
        const auto* p = sqlite3_column_text(stmt_.get(), column);
        const int n = sqlite3_column_bytes(stmt_.get(), column);
        return p == nullptr ? std::string_view{}
                            : std::string_view(reinterpret_cast<const char*>(p),
                                               static_cast<std::size_t>(n));
    }

private:
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> stmt_;
    int prepareResult_ = SQLITE_MISUSE;
};

// Runs statements without results (schema steps, pragmas, BEGIN/COMMIT). Returns the SQLite code.
int execute(sqlite3* db, const char* sql);

// Reads a single integer (a pragma's value); nullopt-like -1 with the code in `code` on failure.
std::int64_t queryInteger(sqlite3* db, const char* sql, int& code);

}  // namespace jilan::history
