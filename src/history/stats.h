#pragma once

// Counts over the remembered names for a picture of the history: new names per day by class,
// the share of each suffix and the spread of the score, over the names first seen within a
// range of days. Days are Beijing days (UTC+08:00, no daylight saving), the marketplace's
// calendar, whatever the machine's zone.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/reader.h"
#include "history/store.h"

namespace jilan::history {

// Days since 1970-01-01 on the Beijing calendar.
std::int64_t beijingDay(std::int64_t utcSeconds) noexcept;
// The UTC second at which Beijing day `day` begins.
std::int64_t beijingDayStartUtc(std::int64_t day) noexcept;
// "2026-12-08" as a day number; nullopt unless it is a real date written YYYY-MM-DD.
std::optional<std::int64_t> dayOfDate(std::string_view date);
// The day number as YYYY-MM-DD.
std::string dateOfDay(std::int64_t day);

struct StatsRequest {
    std::int64_t firstDay = 0;  // Beijing days, both included
    std::int64_t lastDay = 0;
    // Narrow the names inside SQLite (the length and class a filter implies).
    SearchHints hints;
    // The caller's own test of a name. Empty: every name the hints let through counts, and
    // only the stored day, class, suffix and score columns are read. Set: the names the hints
    // let through are read and only those it keeps are counted.
    std::function<bool(const NameRow& row)> keep;
    // Asked now and then while reading; true abandons the computation (error "已取消").
    std::function<bool()> stop;
    // What `keep` looks at. False: only the domain, first_seen and the feature columns but the
    // structure and the pinyin (a filter without a score term); the row's other fields stay
    // empty, and SQLite decodes half the columns of each row. True: every column.
    bool keepReadsAllColumns = true;
};

struct SuffixCount {
    std::string tld;
    std::int64_t names = 0;
};

// Score bands of ten points: band i holds 10i..10i+9, the last one 90..100.
inline constexpr int kScoreBands = 10;

struct NameStats {
    std::int64_t firstDay = 0;  // the day of perDay[0]
    // The classes met (the stored 类别 text), most names first, ties by text.
    std::vector<std::string> kinds;
    // perDay[d][k]: names first seen on day firstDay + d of class kinds[k]; one entry per day
    // of the range, days without names included.
    std::vector<std::vector<std::int64_t>> perDay;
    std::vector<SuffixCount> suffixes;  // most names first, ties by suffix
    std::array<std::int64_t, kScoreBands> scoreBands{};
    std::int64_t unscored = 0;  // names whose score is unknown (-1)
    std::int64_t total = 0;
    std::string error;  // Chinese reason when the counts could not be made

    bool ok() const { return error.empty(); }
    bool hasScores() const { return total > unscored; }
};

inline constexpr const char* kStatsCancelled = "已取消";

// A read-only connection of its own for the counts; never writes.
class StatsReader {
public:
    static StatsReader open(const std::string& path, const StoreOptions& options = {});

    bool ok() const { return store_.ok(); }
    const std::string& unavailableReason() const { return store_.unavailableReason; }

    NameStats compute(const StatsRequest& request);

private:
    explicit StatsReader(OpenedStore store) : store_(std::move(store)) {}

    OpenedStore store_;
};

}  // namespace jilan::history
