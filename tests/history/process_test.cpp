#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "history/recorder.h"
#include "history_fixture.h"
#include "temp_dir.h"

namespace jilan::history {
namespace {

constexpr int kNamesPerPage = 50;

std::vector<std::string> pageNames(const std::string& prefix, int page) {
    std::vector<std::string> names;
    for (int j = 0; j < kNamesPerPage; ++j) {
        names.push_back(prefix + std::to_string(page) + "n" + std::to_string(j) + ".com");
    }
    return names;
}

// --- A writer killed in the middle of a run ------------------------------------------------

class KilledWriter : public ::testing::TestWithParam<int> {};

TEST_P(KilledWriter, StoreOpensAndHoldsEveryCommittedPage) {
    const int killAfter = GetParam();
    constexpr int kPages = 2000;
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");

    jilan::testing::ForkedChild child([&](int report) {
        RecorderOptions options = testing::recorderOptions(path);
        options.onPageCommitted = [report](std::size_t) {
            const char one = 1;
            if (::write(report, &one, 1) != 1) {
                ::_exit(3);
            }
        };
        Recorder recorder(std::move(options));
        const RunTicket t = recorder.beginRun(kPages, 1000);
        for (int i = 0; i < kPages; ++i) {
            recorder.recordPage(t, pageNames("p", i), 1000 + i);
        }
        recorder.flush();
        for (;;) {
            ::pause();  // the parent kills us before, or here
        }
        return 0;
    });
    ASSERT_TRUE(child.started());
    for (int seen = 0; seen < killAfter; ++seen) {
        ASSERT_TRUE(child.readByte()) << "the child stopped before page " << seen;
    }
    ASSERT_TRUE(child.kill());
    const std::optional<int> status = child.wait();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSIGNALED(*status));
    const int committed = killAfter + static_cast<int>(child.readReport().size());

    Reader reader = Reader::open(path);
    ASSERT_TRUE(reader.ok()) << reader.unavailableReason();
    std::vector<int> perPage(kPages, 0);
    reader.search(0, 1'000'000, [&](const NameRow& row) {
        ++perPage.at(static_cast<std::size_t>(std::stoi(row.domain.substr(1))));
        return true;
    });
    for (int i = 0; i < kPages; ++i) {
        if (i < committed) {
            EXPECT_EQ(perPage[i], kNamesPerPage) << "committed page " << i << " was lost";
        } else {
            EXPECT_TRUE(perPage[i] == 0 || perPage[i] == kNamesPerPage)
                << "page " << i << " is half written";
        }
    }
    const auto run = reader.lastRun();
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->ended, std::nullopt) << "a killed run has no end";

    const auto ids = testing::recordRuns(path, {{5000, {pageNames("p", 0)}}});
    EXPECT_EQ(Reader::open(path).lookup("p0n0.com").value_or(NameRow{}).runsSeen, 2);
    EXPECT_GT(ids.at(0), run->id);
}

INSTANTIATE_TEST_SUITE_P(History, KilledWriter, ::testing::Values(1, 7, 40),
                         [](const auto& info) { return "AfterPage" + std::to_string(info.param); });

// --- Two programs recording at the same time -----------------------------------------------

struct TwoWritersCase {
    const char* rule;
    int sharedPerPage;  // names both programs list on each page; the rest are their own
};

class TwoWriters : public ::testing::TestWithParam<TwoWritersCase> {};

TEST_P(TwoWriters, BothRecordEveryPage) {
    const TwoWritersCase& c = GetParam();
    constexpr int kPages = 30;
    jilan::testing::TempDir dir;
    const std::string path = dir.file("h.sqlite3");

    auto pageOf = [&](int writer, int page) {
        std::vector<std::string> names;
        for (int j = 0; j < kNamesPerPage; ++j) {
            names.push_back(j < c.sharedPerPage
                                ? "s" + std::to_string(page) + "n" + std::to_string(j) + ".cn"
                                : "w" + std::to_string(writer) + "p" + std::to_string(page) + "n" +
                                      std::to_string(j) + ".cn");
        }
        return names;
    };

    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<std::unique_ptr<jilan::testing::ForkedChild>> children;
    for (int writer = 0; writer < 2; ++writer) {
        children.push_back(std::make_unique<jilan::testing::ForkedChild>([&, writer](int) {
            ::close(start[1]);
            char go = 0;
            if (::read(start[0], &go, 1) != 0) {  // wait until the parent lets both go
                return 4;
            }
            Recorder recorder(testing::recorderOptions(path));
            const RunTicket t = recorder.beginRun(kPages, 1000 + writer);
            for (int i = 0; i < kPages; ++i) {
                recorder.recordPage(t, pageOf(writer, i), 1000 + i);
            }
            recorder.endRun(t, RunStats{2000, kPages, 0, kPages * kNamesPerPage});
            recorder.close();
            const bool ok = !recorder.unavailable() && recorder.pagesCommitted() == kPages;
            if (!ok) {
                const std::string why = recorder.unavailableReason() + "\n";
                (void)!::write(2, why.data(), why.size());
            }
            return ok ? 0 : 1;
        }));
        ASSERT_TRUE(children.back()->started());
    }
    ::close(start[0]);
    ::close(start[1]);  // both children read end-of-file at once
    for (const auto& child : children) {
        const std::optional<int> status = child->wait();
        ASSERT_TRUE(status.has_value());
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 0) << "a recording program failed";
    }

    Reader reader = Reader::open(path);
    ASSERT_TRUE(reader.ok()) << reader.unavailableReason();
    std::size_t shared = 0, own = 0;
    const WalkResult walked = reader.search(0, 1'000'000, [&](const NameRow& row) {
        if (row.domain[0] == 's') {
            ++shared;
            EXPECT_EQ(row.runsSeen, 2) << row.domain;
        } else {
            ++own;
            EXPECT_EQ(row.runsSeen, 1) << row.domain;
        }
        return true;
    });
    EXPECT_EQ(walked.error, "");
    EXPECT_EQ(shared, static_cast<std::size_t>(kPages * c.sharedPerPage));
    EXPECT_EQ(own, static_cast<std::size_t>(2 * kPages * (kNamesPerPage - c.sharedPerPage)));
    const auto last = reader.lastRun();
    ASSERT_TRUE(last.has_value());
    for (std::int64_t id = last->id - 1; id <= last->id; ++id) {
        const auto run = reader.run(id);
        ASSERT_TRUE(run.has_value()) << id;
        EXPECT_EQ(run->ended, std::optional<std::int64_t>(2000));
        EXPECT_EQ(run->entries, kPages * kNamesPerPage);
    }
}

INSTANTIATE_TEST_SUITE_P(History, TwoWriters,
                         ::testing::Values(TwoWritersCase{"DisjointNames", 0},
                                           TwoWritersCase{"HalfTheNamesShared", 25},
                                           TwoWritersCase{"SameNames", kNamesPerPage}),
                         [](const auto& info) { return std::string(info.param.rule); });

}  // namespace
}  // namespace jilan::history
