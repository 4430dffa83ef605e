#include "listing_health.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "history/run_sizes.h"

namespace jilan::cli {
namespace {

// 2350 -> "2 350"
std::string grouped(int n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), " ");
    }
    return digits;
}

}  // namespace

std::string diagnosticsFolder(const config::EnvLookup& env) {
    std::filesystem::path base;
    if (auto xdg = env("XDG_STATE_HOME"); xdg && !xdg->empty() && xdg->front() == '/') {
        base = *xdg;
    } else if (auto home = env("HOME"); home && !home->empty() && home->front() == '/') {
        base = std::filesystem::path(*home) / ".local" / "state";
    } else {
        return {};
    }
    return (base / "jilan-harvester" / "diagnostics").string();
}

SavedSample saveListingSample(const std::string& folder, const std::string& url, long status,
                              const std::string& text, std::time_t at) {
    if (folder.empty()) {
        return {{}, "没有可用的诊断文件夹（未设置 HOME）"};
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::tm local{};
    localtime_r(&at, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    const std::string path =
        (std::filesystem::path(folder) / ("listing-" + std::string(stamp) + ".html")).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<!-- 采集时间：" << when << "\n     网址：" << url << "\n     HTTP 状态：" << status
        << " -->\n"
        << text;
    out.close();
    if (ec || !out) {
        return {{}, "无法保存样本到 " + folder};
    }
    return {path, {}};
}

std::optional<std::string> belowMedianNote(const std::string& historyPath, std::int64_t runId,
                                           int pageLimit, int entries) {
    std::vector<int> recent = history::recentRunEntries(historyPath, runId, pageLimit, 7);
    if (recent.size() < 3) {
        return std::nullopt;
    }
    std::sort(recent.begin(), recent.end());
    const std::size_t mid = recent.size() / 2;
    const int median = recent.size() % 2 == 1 ? recent[mid] : (recent[mid - 1] + recent[mid]) / 2;
    if (2 * entries >= median) {
        return std::nullopt;
    }
    return "今日条目 " + grouped(entries) + "，低于近 " + std::to_string(recent.size()) +
           " 次中位数 " + grouped(median);
}

}  // namespace jilan::cli
