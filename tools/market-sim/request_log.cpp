#include "request_log.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <map>

namespace jilan::sim {

namespace {

std::chrono::steady_clock::time_point fromMs(long long ms) {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
}

// Next space-separated field of `rest`, removed from it.
std::string_view nextField(std::string_view& rest) {
    const std::size_t space = rest.find(' ');
    const std::string_view field = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
    return field;
}

template <typename T>
std::optional<T> number(std::string_view text) {
    T value{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string requestLogLine(const RequestRecord& r) {
    return std::to_string(r.arrivalMs()) + " " + std::to_string(r.completionMs()) + " " + r.site +
           " " + std::to_string(r.status) + " " + r.method + " " + r.target;
}

std::optional<RequestRecord> parseRequestLogLine(std::string_view line) {
    const auto arrival = number<long long>(nextField(line));
    const auto completion = number<long long>(nextField(line));
    const std::string_view site = nextField(line);
    const auto status = number<int>(nextField(line));
    const std::string_view method = nextField(line);
    const std::string_view target = line;
    if (!arrival || !completion || !status || site.empty() || method.empty() || target.empty() ||
        target.find(' ') != std::string_view::npos) {
        return std::nullopt;
    }
    RequestRecord r;
    r.received = fromMs(*arrival);
    r.completed = fromMs(*completion);
    r.isComplete = true;
    r.site = std::string(site);
    r.status = *status;
    r.method = std::string(method);
    r.target = std::string(target);
    return r;
}

std::vector<RequestRecord> readRequestLog(const std::string& path) {
    std::vector<RequestRecord> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (auto record = parseRequestLogLine(line)) {
            out.push_back(std::move(*record));
        }
    }
    return out;
}

std::vector<SitePacing> sitePacing(const std::vector<RequestRecord>& records) {
    constexpr long long kOpen = std::numeric_limits<long long>::max();
    std::map<std::string, std::vector<std::pair<long long, long long>>> bySite;
    for (const RequestRecord& r : records) {
        bySite[r.site].emplace_back(r.arrivalMs(), r.isComplete ? r.completionMs() : kOpen);
    }
    std::vector<SitePacing> out;
    for (auto& [site, spans] : bySite) {
        std::sort(spans.begin(), spans.end());
        SitePacing p;
        p.site = site;
        p.requests = static_cast<int>(spans.size());
        // Sweep: arrivals open, completions close; a completion at the same instant as an
        // arrival closes first (the next request started right after the answer ended).
        std::vector<std::pair<long long, int>> events;
        for (const auto& [arrival, completion] : spans) {
            events.emplace_back(arrival, +1);
            if (completion != kOpen) {
                events.emplace_back(completion, -1);
            }
        }
        std::sort(events.begin(), events.end());
        int open = 0;
        for (const auto& [at, delta] : events) {
            open += delta;
            p.maxInFlight = std::max(p.maxInFlight, open);
        }
        for (std::size_t i = 1; i < spans.size(); ++i) {
            const long long previousEnd = spans[i - 1].second;
            const long long gap = previousEnd == kOpen ? std::numeric_limits<long long>::min()
                                                       : spans[i].first - previousEnd;
            p.minGapMs = i == 1 ? gap : std::min(p.minGapMs, gap);
        }
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace jilan::sim
