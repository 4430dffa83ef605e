#include "history/run_sizes.h"

#include "history/store.h"

namespace jilan::history {

std::vector<int> recentRunEntries(const std::string& path, std::int64_t beforeRun, int pageLimit,
                                  int count) {
    std::vector<int> entries;
    const OpenedStore store = openStore(path, OpenMode::ReadOnly);
    if (!store.ok()) {
        return entries;
    }
    Statement s(store.db.get(),
                "SELECT entries FROM runs WHERE id < ?1 AND page_limit = ?2 AND ended IS NOT NULL "
                "ORDER BY id DESC LIMIT ?3");
    s.bind(1, beforeRun);
    s.bind(2, pageLimit);
    s.bind(3, count);
    while (s.step() == SQLITE_ROW) {
        entries.push_back(s.integer(0));
    }
    return entries;
}

}  // namespace jilan::history
