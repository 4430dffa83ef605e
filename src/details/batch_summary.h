#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "detail_service.h"

namespace jilan::details {

// A batch with more names than this asks before it starts, with its estimate.
inline constexpr std::size_t kAskBeforeBatchOver = 200;

// How long a batch of `names` takes when nothing is cached: the two sites are asked side by
// side, each name once per site, a pause after every answer of a typical duration.
std::chrono::seconds batchEstimate(std::size_t names, int pauseMs);

// "3 小时 9 分", "4 分 12 秒", "40 秒".
std::string durationText(std::chrono::seconds duration);

// The end of a stopped batch as it is: "已停止：完成 22 / 1000，未查询 978".
std::string stoppedSummary(const DetailProgress& progress);

}  // namespace jilan::details
