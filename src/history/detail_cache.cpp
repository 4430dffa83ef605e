#include "history/detail_cache.h"

#include "base/name_key.h"
#include "history/damage.h"
#include "history/one_row.h"

namespace jilan::history {

namespace {
constexpr std::string_view kFiled = "已备案";
constexpr std::string_view kNotFiled = "未备案";
}  // namespace

std::string_view icpStateText(IcpState state) {
    return state == IcpState::Filed ? kFiled : kNotFiled;
}

bool isFresh(std::int64_t fetchedUtc, std::int64_t nowUtc, std::int64_t maxAgeSeconds) {
    if (maxAgeSeconds <= 0) {
        return false;
    }
    // A time in the future (a clock set back since) is not trusted as fresh.
    return fetchedUtc <= nowUtc && nowUtc - fetchedUtc < maxAgeSeconds;
}

DetailCache DetailCache::open(const std::string& path, const StoreOptions& options) {
    return DetailCache(openStore(path, OpenMode::ReadWrite, options));
}

std::optional<DetailPart> DetailCache::detail(std::string_view domain) {
    if (!ok()) {
        return std::nullopt;
    }
    return readOneRow(store_.db.get(),
                      "SELECT fetched, booking_over, deletion_type, deletion_time, "
                      "booking_deadline, platform, price, price_cny, deposit FROM detail_cache "
                      "WHERE key = ?1",
                      base::nameKey(domain), [](const Statement& s) {
                          DetailPart part;
                          part.fetchedUtc = s.int64(0);
                          part.bookingOver = s.integer(1) != 0;
                          part.deletionType = s.text(2);
                          part.deletionTime = s.text(3);
                          part.bookingDeadline = s.text(4);
                          part.platform = s.text(5);
                          part.price = s.text(6);
                          part.priceCny = s.text(7);
                          part.deposit = s.text(8);
                          return part;
                      });
}

std::optional<IcpPart> DetailCache::icp(std::string_view domain) {
    if (!ok()) {
        return std::nullopt;
    }
    return readOneRow(store_.db.get(),
                      "SELECT fetched, state, filing_number FROM icp_cache WHERE key = ?1",
                      base::nameKey(domain), [](const Statement& s) {
                          IcpPart part;
                          part.fetchedUtc = s.int64(0);
                          part.state = s.text(1) == kFiled ? IcpState::Filed : IcpState::NotFiled;
                          part.filingNumber = s.text(2);
                          return part;
                      });
}

std::string DetailCache::write(Statement& statement) {
    if (isMarkedDamaged(store_.path)) {
        return std::string(kDamagedReason);  // found damaged since it was opened: no more writes
    }
    if (statement.prepareResult() != SQLITE_OK) {
        return failureReason(store_.path, statement.prepareResult());
    }
    sqlite3* db = store_.db.get();
    if (int code = beginImmediate(db); code != SQLITE_OK) {
        return failureReason(store_.path, code);
    }
    int code = statement.step();
    if (code != SQLITE_DONE) {
        execute(db, "ROLLBACK");
        return failureReason(store_.path, code);
    }
    code = execute(db, "COMMIT");
    if (code != SQLITE_OK) {
        execute(db, "ROLLBACK");
        return failureReason(store_.path, code);
    }
    return {};
}

std::string DetailCache::putDetail(std::string_view domain, const DetailPart& part) {
    if (!ok()) {
        return store_.unavailableReason;
    }
    Statement s(store_.db.get(),
                "INSERT OR REPLACE INTO detail_cache(key, fetched, booking_over, deletion_type, "
                "deletion_time, booking_deadline, platform, price, price_cny, deposit) "
                "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    s.bind(1, base::nameKey(domain));
    s.bind(2, part.fetchedUtc);
    s.bind(3, part.bookingOver ? 1 : 0);
    s.bind(4, part.deletionType);
    s.bind(5, part.deletionTime);
    s.bind(6, part.bookingDeadline);
    s.bind(7, part.platform);
    s.bind(8, part.price);
    s.bind(9, part.priceCny);
    s.bind(10, part.deposit);
    return write(s);
}

std::string DetailCache::putIcp(std::string_view domain, const IcpPart& part) {
    if (!ok()) {
        return store_.unavailableReason;
    }
    Statement s(store_.db.get(),
                "INSERT OR REPLACE INTO icp_cache(key, fetched, state, filing_number) "
                "VALUES(?1, ?2, ?3, ?4)");
    s.bind(1, base::nameKey(domain));
    s.bind(2, part.fetchedUtc);
    s.bind(3, icpStateText(part.state));
    s.bind(4, part.state == IcpState::Filed ? std::string_view(part.filingNumber)
                                            : std::string_view{});
    return write(s);
}

}  // namespace jilan::history
