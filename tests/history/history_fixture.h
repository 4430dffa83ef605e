#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/reader.h"
#include "history/recorder.h"

namespace jilan::history::testing {

// Feature columns the tests can predict: name before the first dot, tld after it, and a
// kind that carries the rules' version so a recomputation shows.
inline NameColumns simpleColumns(std::string_view domain, int version) {
    NameColumns c;
    const auto dot = domain.find('.');
    c.name = std::string(domain.substr(0, dot));
    c.tld = dot == std::string_view::npos ? std::string{} : std::string(domain.substr(dot + 1));
    c.length = static_cast<int>(c.name.size());
    c.kind = "v" + std::to_string(version);
    c.featuresVersion = version;
    return c;
}

inline RecorderOptions recorderOptions(const std::string& path, int version = 1) {
    RecorderOptions o;
    o.path = path;
    o.columns = [version](std::string_view d) { return simpleColumns(d, version); };
    o.featuresVersion = version;
    return o;
}

// One run: its pages, all seen at `seenUtc` (+ the page's index).
struct RunPlan {
    std::int64_t startedUtc;
    std::vector<std::vector<std::string>> pages;
};

// Records the runs one after the other, each completed, and returns their ids in the store.
inline std::vector<std::int64_t> recordRuns(const std::string& path,
                                            const std::vector<RunPlan>& runs) {
    Recorder recorder(recorderOptions(path));
    std::vector<RunTicket> tickets;
    for (const RunPlan& plan : runs) {
        const RunTicket t = recorder.beginRun(static_cast<int>(plan.pages.size()), plan.startedUtc);
        int entries = 0;
        for (std::size_t i = 0; i < plan.pages.size(); ++i) {
            recorder.recordPage(t, plan.pages[i], plan.startedUtc + static_cast<std::int64_t>(i));
            entries += static_cast<int>(plan.pages[i].size());
        }
        recorder.endRun(
            t, RunStats{plan.startedUtc + 100, static_cast<int>(plan.pages.size()), 0, entries});
        recorder.completeRun(t, plan.startedUtc + 100);
        tickets.push_back(t);
    }
    recorder.close();
    EXPECT_EQ(recorder.unavailableReason(), "");
    std::vector<std::int64_t> ids;
    for (RunTicket t : tickets) {
        ids.push_back(recorder.runId(t).value_or(-1));
    }
    return ids;
}

inline std::vector<std::string> searchDomains(const std::string& path, std::int64_t since,
                                              std::int64_t until) {
    std::vector<std::string> out;
    Reader reader = Reader::open(path);
    EXPECT_EQ(reader.unavailableReason(), "");
    const WalkResult r = reader.search(since, until, [&](const NameRow& row) {
        out.push_back(row.domain);
        return true;
    });
    EXPECT_EQ(r.error, "");
    return out;
}

}  // namespace jilan::history::testing
