#include "history/stats.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

#include "history/damage.h"
#include "history/name_row_read.h"

namespace jilan::history {

namespace {

constexpr std::int64_t kDaySeconds = 86'400;
constexpr std::int64_t kBeijingOffset = 8 * 3'600;

int bandOf(int score) noexcept {
    return std::clamp(score / 10, 0, kScoreBands - 1);
}

// The entry of `entries` whose text is `text`, appended when there is none. A store holds a
// handful of classes and a few dozen suffixes: a look along a short vector beats a tree, and
// the million look-ups of a large store are most of the counting's own cost.
template <typename Entry>
Entry& entryFor(std::vector<Entry>& entries, std::string_view text, std::size_t days) {
    for (Entry& e : entries) {
        if (e.text.size() == text.size() && std::string_view(e.text) == text) {
            return e;
        }
    }
    entries.push_back(Entry{std::string(text), days});
    return entries.back();
}

// The counts as they are gathered; turned into NameStats at the end.
class Tally {
public:
    Tally(std::int64_t firstDay, std::int64_t lastDay)
        : firstDay_(firstDay), days_(static_cast<std::size_t>(lastDay - firstDay + 1)) {}

    // `band` is -1 for an unknown score.
    void add(std::int64_t day, std::string_view kind, std::string_view tld, int band) {
        if (day < firstDay_ || day >= firstDay_ + static_cast<std::int64_t>(days_)) {
            return;
        }
        Kind& k = entryFor(kinds_, kind, days_);
        ++k.perDay[static_cast<std::size_t>(day - firstDay_)];
        ++k.names;
        ++entryFor(suffixes_, tld, 0).names;
        ++(band < 0 ? unscored_ : bands_[static_cast<std::size_t>(band)]);
        ++total_;
    }

    NameStats result() {
        const auto order = [](const auto& a, const auto& b) {
            return a.names != b.names ? a.names > b.names : a.text < b.text;
        };
        std::sort(kinds_.begin(), kinds_.end(), order);
        std::sort(suffixes_.begin(), suffixes_.end(), order);
        NameStats stats;
        stats.firstDay = firstDay_;
        stats.total = total_;
        stats.unscored = unscored_;
        stats.scoreBands = bands_;
        stats.perDay.assign(days_, std::vector<std::int64_t>(kinds_.size()));
        for (std::size_t k = 0; k < kinds_.size(); ++k) {
            stats.kinds.push_back(kinds_[k].text);
            for (std::size_t d = 0; d < days_; ++d) {
                stats.perDay[d][k] = kinds_[k].perDay[d];
            }
        }
        for (const Suffix& t : suffixes_) {
            stats.suffixes.push_back(SuffixCount{t.text, t.names});
        }
        return stats;
    }

private:
    struct Kind {
        Kind(std::string t, std::size_t days) : text(std::move(t)), perDay(days) {}
        std::string text;
        std::vector<std::int64_t> perDay;
        std::int64_t names = 0;
    };
    struct Suffix {
        Suffix(std::string t, std::size_t) : text(std::move(t)) {}
        std::string text;
        std::int64_t names = 0;
    };

    std::int64_t firstDay_;
    std::size_t days_;
    std::vector<Kind> kinds_;
    std::vector<Suffix> suffixes_;
    std::array<std::int64_t, kScoreBands> bands_{};
    std::int64_t unscored_ = 0;
    std::int64_t total_ = 0;
};

// The WHERE clause of the range (?1, ?2: first_seen bounds, the table's leading key) and of the
// hints (?3 on): the rows a filter cannot keep are skipped before their text is read.
std::string whereOf(const SearchHints& hints) {
    std::string where = "WHERE first_seen >= ?1 AND first_seen < ?2";
    if (hints.minLength > 0) {
        where += " AND +length >= ?3";
    }
    if (hints.maxLength < std::numeric_limits<int>::max()) {
        where += " AND +length <= ?4";
    }
    if (!hints.kinds.empty()) {
        where += " AND +kind IN (";
        for (std::size_t i = 0; i < hints.kinds.size(); ++i) {
            where += (i == 0 ? "?" : ", ?") + std::to_string(5 + i);
        }
        where += ")";
    }
    if (!hints.tlds.empty()) {
        where += " AND +tld IN (";
        for (std::size_t i = 0; i < hints.tlds.size(); ++i) {
            where += (i == 0 ? "?" : ", ?") + std::to_string(5 + hints.kinds.size() + i);
        }
        where += ")";
    }
    return where;
}

void bindRange(Statement& s, const StatsRequest& request) {
    s.bind(1, beijingDayStartUtc(request.firstDay));
    s.bind(2, beijingDayStartUtc(request.lastDay + 1));
    s.bind(3, request.hints.minLength);
    s.bind(4, request.hints.maxLength);
    for (std::size_t i = 0; i < request.hints.kinds.size(); ++i) {
        s.bind(static_cast<int>(5 + i), request.hints.kinds[i]);
    }
    for (std::size_t i = 0; i < request.hints.tlds.size(); ++i) {
        s.bind(static_cast<int>(5 + request.hints.kinds.size() + i), request.hints.tlds[i]);
    }
}

// The columns a test without a score term looks at, and the ones counted.
constexpr const char* kNarrowSelect =
    "SELECT first_seen, domain, name, tld, length, kind, syllables, features_version, score "
    "FROM names ";

void readNarrowRow(const Statement& s, NameRow& row) {
    row.firstSeen = s.int64(0);
    row.domain.assign(s.text(1));
    row.columns.name.assign(s.text(2));
    row.columns.tld.assign(s.text(3));
    row.columns.length = s.integer(4);
    row.columns.kind.assign(s.text(5));
    row.columns.syllables = s.integer(6);
    row.columns.featuresVersion = s.integer(7);
    row.columns.score = s.integer(8);
}

// Rows between two looks at the stop request.
constexpr std::int64_t kStopEvery = 4096;

}  // namespace

std::int64_t beijingDay(std::int64_t utcSeconds) noexcept {
    const std::int64_t local = utcSeconds + kBeijingOffset;
    // Floor division: a second before 1970-01-01 00:00 Beijing is day -1.
    return local / kDaySeconds - (local % kDaySeconds < 0 ? 1 : 0);
}

std::int64_t beijingDayStartUtc(std::int64_t day) noexcept {
    return day * kDaySeconds - kBeijingOffset;
}

std::optional<std::int64_t> dayOfDate(std::string_view date) {
    const auto digits = [&](std::size_t from, std::size_t count) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (date[i] < '0' || date[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (date[i] - '0');
        }
        return value;
    };
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') {
        return std::nullopt;
    }
    const auto y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    if (!y || !m || !d) {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{std::chrono::year{*y},
                                          std::chrono::month{static_cast<unsigned>(*m)},
                                          std::chrono::day{static_cast<unsigned>(*d)}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days(ymd).time_since_epoch().count();
}

std::string dateOfDay(std::int64_t day) {
    const std::chrono::year_month_day ymd{
        std::chrono::sys_days(std::chrono::days(static_cast<int>(day)))};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

StatsReader StatsReader::open(const std::string& path, const StoreOptions& options) {
    return StatsReader(openStore(path, OpenMode::ReadOnly, options));
}

NameStats StatsReader::compute(const StatsRequest& request) {
    NameStats failed;
    failed.firstDay = request.firstDay;
    if (!ok()) {
        failed.error = store_.unavailableReason;
        return failed;
    }
    if (request.lastDay < request.firstDay) {
        return Tally(request.firstDay, request.firstDay - 1).result();
    }
    Tally tally(request.firstDay, request.lastDay);
    const std::string where = whereOf(request.hints);
    // Without a test of its own only the four columns counted are read. The counting is done
    // here rather than by GROUP BY: SQLite would sort a million rows before grouping them
    // (about four times the cost of reading them in the table's own order).
    const bool narrow = request.keep && !request.keepReadsAllColumns;
    const std::string sql =
        (!request.keep ? std::string("SELECT first_seen, kind, tld, score FROM names ")
         : narrow      ? std::string(kNarrowSelect)
                       : std::string(kNameRowSelect)) +
        where;
    Statement s(store_.db.get(), sql);
    if (s.prepareResult() != SQLITE_OK) {
        failed.error = failureReason(store_.path, s.prepareResult());
        return failed;
    }
    bindRange(s, request);
    NameRow row;
    std::int64_t read = 0;
    int code = SQLITE_ROW;
    while ((code = s.step()) == SQLITE_ROW) {
        if (++read % kStopEvery == 0 && request.stop && request.stop()) {
            failed.error = kStatsCancelled;
            return failed;
        }
        if (!request.keep) {
            const int score = s.integer(3);
            tally.add(beijingDay(s.int64(0)), s.text(1), s.text(2), score < 0 ? -1 : bandOf(score));
            continue;
        }
        if (narrow) {
            readNarrowRow(s, row);
        } else {
            readNameRow(s, row);
        }
        if (request.keep(row)) {
            const int score = row.columns.score;
            tally.add(beijingDay(row.firstSeen), row.columns.kind, row.columns.tld,
                      score < 0 ? -1 : bandOf(score));
        }
    }
    if (code != SQLITE_DONE) {
        failed.error = failureReason(store_.path, code);
        return failed;
    }
    if (request.stop && request.stop()) {
        failed.error = kStatsCancelled;
        return failed;
    }
    return tally.result();
}

}  // namespace jilan::history
