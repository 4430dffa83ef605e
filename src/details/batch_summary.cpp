#include "batch_summary.h"

#include <algorithm>

namespace jilan::details {

namespace {

// What one answer of either site usually takes, measured against the live sites; the batch
// itself refines its estimate from the answers it gets.
constexpr long long kTypicalAnswerMs = 1200;

}  // namespace

std::chrono::seconds batchEstimate(std::size_t names, int pauseMs) {
    if (names == 0) {
        return std::chrono::seconds{0};
    }
    const long long perName = kTypicalAnswerMs + std::max(0, pauseMs);
    const long long totalMs =
        perName * static_cast<long long>(names) - std::max(0, pauseMs);  // no pause after the last
    return std::chrono::ceil<std::chrono::seconds>(std::chrono::milliseconds(totalMs));
}

std::string durationText(std::chrono::seconds duration) {
    const long long s = std::max<long long>(0, duration.count());
    if (s >= 3600) {
        return std::to_string(s / 3600) + " 小时 " + std::to_string((s % 3600) / 60) + " 分";
    }
    if (s >= 60) {
        return std::to_string(s / 60) + " 分 " + std::to_string(s % 60) + " 秒";
    }
    return std::to_string(s) + " 秒";
}

std::string stoppedSummary(const DetailProgress& progress) {
    return "已停止：完成 " + std::to_string(progress.done) + " / " +
           std::to_string(progress.total) + "，未查询 " + std::to_string(progress.notAsked);
}

}  // namespace jilan::details
