#include "watchlist/wall_clock.h"

#include <ctime>

namespace jilan::watchlist {

WallClock systemClock() {
    return {[] { return static_cast<std::int64_t>(std::time(nullptr)); },
            [](std::int64_t at) {
                const auto t = static_cast<std::time_t>(at);
                std::tm local{};
                localtime_r(&t, &local);
                return static_cast<std::int64_t>(local.tm_gmtoff);
            }};
}

WallClock fixedClock(std::int64_t nowUtc, std::int64_t offsetSeconds) {
    return {[nowUtc] { return nowUtc; }, [offsetSeconds](std::int64_t) { return offsetSeconds; }};
}

}  // namespace jilan::watchlist
