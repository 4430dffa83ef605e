#pragma once

// The time a reminder run reads, passed in so that tests and benchmarks set it: the moment now,
// and the machine zone's offset from UTC at a moment (to know when a site time, always Beijing
// time, needs saying so).

#include <cstdint>
#include <functional>

namespace jilan::watchlist {

struct WallClock {
    std::function<std::int64_t()> nowUtc;                     // seconds
    std::function<std::int64_t(std::int64_t)> localOffsetAt;  // seconds east of UTC
};

// The system's clock and zone (TZ and /etc/localtime, as the C library reads them).
WallClock systemClock();

// A clock that stands at `nowUtc` in a zone `offsetSeconds` east of UTC.
WallClock fixedClock(std::int64_t nowUtc, std::int64_t offsetSeconds);

}  // namespace jilan::watchlist
