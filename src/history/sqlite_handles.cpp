#include "history/sqlite_handles.h"

namespace jilan::history {

Statement::Statement(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* raw = nullptr;
    prepareResult_ = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    stmt_.reset(raw);
}

int execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

std::int64_t queryInteger(sqlite3* db, const char* sql, int& code) {
    Statement s(db, sql);
    code = s.prepareResult();
    if (code != SQLITE_OK) {
        return -1;
    }
    code = s.step();
    if (code != SQLITE_ROW) {
        return -1;
    }
    code = SQLITE_OK;
    return s.int64(0);
}

}  // namespace jilan::history
