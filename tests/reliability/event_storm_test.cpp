// Event storm: the whole program against a loopback marketplace with random latency, driven by
// thousands of random user events, some of them delivered while a fetch waits (as a window
// delivers them during the wait's event rounds). After every event the window must be in a
// state the program can be in.
//
// The seed is printed; JILAN_STORM_SEED=<n> repeats a run's event sequence (the network timing
// still varies from run to run).
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harvest_rig.h"
#include "temp_dir.h"

namespace jilan::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kEvents = 10'000;
constexpr int kSimPages = 20;
constexpr int kRowsPerPage = 10;
// Events delivered inside a fetch's wait may themselves wait; this bounds the nesting.
constexpr int kMaxNesting = 3;

// Aborts the whole test binary when the storm does not finish in time: a hang must fail the
// run, not stall it.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::string what)
        : thread_([this, limit, what = std::move(what)] {
              std::unique_lock lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: %s did not finish within %lld s\n", what.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

unsigned stormSeed() {
    if (const char* text = std::getenv("JILAN_STORM_SEED")) {
        return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
    }
    return std::random_device{}();
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

enum class Kind {
    Tick,
    Command1,
    TypeText1,
    Scroll,
    Select,
    DoubleClick,
    MouseDown,
    MenuCopy,
    MenuQuery,
    MenuBook,
    Export,
    ForumLink,
    HomeLink,
    ExitButton,
    CloseRequest,
    Count,
};

constexpr std::array<const char*, static_cast<std::size_t>(Kind::Count)> kKindNames{
    "tick",         "Command1",  "type Text1", "HScroll1",   "select",
    "double click", "MouseDown", "menu copy",  "menu query", "menu book",
    "Command5",     "Command2",  "Command4",   "Command3",   "close request",
};

// Relative weights of the event kinds, in Kind order.
constexpr std::array<int, static_cast<std::size_t>(Kind::Count)> kWeights{
    32, 9, 10, 4, 10, 2, 5, 2, 1, 2, 3, 1, 1, 1, 1,
};

sim::Options stormSimOptions(unsigned seed) {
    sim::Options o;
    o.pages = kSimPages;
    o.rowsPerPage = kRowsPerPage;
    o.latencyMs = 2;
    o.jitterMs = 20;
    o.seed = seed;
    return o;
}

net::HttpLimits stormLimits() {
    net::HttpLimits limits = shortLimits();
    limits.pollIntervalMs = 2;
    return limits;
}

class Storm {
public:
    explicit Storm(unsigned seed)
        : seed_(seed),
          rng_(seed),
          rig_(stormSimOptions(seed), harvest::HarvestOptions{3, 1, 20}, stormLimits()) {
        const sim::Options o = rig_.sim.options();
        for (int page = 1; page <= kSimPages + 5; ++page) {
            pageRows_[page] = sim::rowDomains(o, page);
            for (std::size_t row = 0; row < pageRows_[page].size(); ++row) {
                served_[pageRows_[page][row]] = {page, row};
            }
        }
        clearsCount_ = form().List1.itemsCleared.connect([this] { ++clears_; });
        rig_.platform.onProcessEvents = [this] { pump(); };
        rig_.platform.onPopup = [this](app::Menu& menu) { choose(menu); };
    }

    void run(int events) {
        for (event_ = 1; event_ <= events && !failed_; ++event_) {
            randomEvent();
            checkTopLevel();
        }
    }

    bool failed() const { return failed_; }
    int count(Kind k) const { return counts_[static_cast<std::size_t>(k)]; }
    int nestedEvents() const { return nestedEvents_; }
    int batchPagesSeen() const { return batchPagesSeen_; }
    int singlePagesSeen() const { return singlePagesSeen_; }
    int exportsVerified() const { return exportsVerified_; }
    int queriesDone() const { return queriesDone_; }
    int stopsWithPagesOnTheWire() const { return stopsWithPagesOnTheWire_; }

    std::string summary() const {
        std::ostringstream out;
        out << "seed " << seed_ << ":";
        for (std::size_t k = 0; k < counts_.size(); ++k) {
            out << ' ' << kKindNames[k] << '=' << counts_[k];
        }
        out << " nested=" << nestedEvents_ << " batch pages=" << batchPagesSeen_
            << " single pages=" << singlePagesSeen_ << " exports=" << exportsVerified_
            << " queries=" << queriesDone_ << " stops while pages load=" << stopsWithPagesOnTheWire_
            << " longest list=" << maxListSeen_ << " requests=" << rig_.sim.requests().size();
        return out.str();
    }

private:
    app::Form1& form() { return rig_.form; }

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    Kind pickKind() {
        std::discrete_distribution<int> d(kWeights.begin(), kWeights.end());
        return static_cast<Kind>(d(rng_));
    }

    void fail(const std::string& what) {
        if (failed_) {
            return;
        }
        failed_ = true;
        std::string trail;
        for (const auto& t : trail_) {
            trail += "\n  " + t;
        }
        ADD_FAILURE() << "seed " << seed_ << ", event " << event_ << ", nesting " << nesting_
                      << ": " << what << "\nlast events:" << trail;
    }

    void note(Kind kind, const std::string& detail = {}) {
        ++counts_[static_cast<std::size_t>(kind)];
        std::string line = std::string(nesting_ > 0 ? "  (nested) " : "") +
                           kKindNames[static_cast<std::size_t>(kind)];
        if (!detail.empty()) {
            line += " " + detail;
        }
        trail_.push_back(std::move(line));
        if (trail_.size() > 24) {
            trail_.pop_front();
        }
    }

    // The window delivers events while a fetch waits: the clock, and now and then a user event.
    void pump() {
        if (failed_) {
            return;
        }
        checkAnywhere();
        if (chance(0.5)) {
            form().Timer1.tick();
        }
        if (chance(0.5)) {
            rig_.platform.tick();  // a stopped batch collecting its last pages
        }
        if (nesting_ < kMaxNesting && chance(0.15)) {
            ++nesting_;
            ++nestedEvents_;
            randomEvent();
            --nesting_;
            checkAnywhere();
        }
    }

    // The popup menu: an item, or a click beside it.
    void choose(app::Menu& menu) {
        const auto& items = menu.items();
        const int pick = uniform(0, static_cast<int>(items.size()));
        if (pick < static_cast<int>(items.size()) && !items[pick]->separator()) {
            trail_.push_back("  popup -> " + items[pick]->name());
            items[pick]->Click.raise();
        }
    }

    static double limitOf(const std::string& text) {
        // The box only ever holds what the storm typed, after the program's own corrections:
        // digits, "2.5", or the "1" that replaces anything else.
        return text.empty() ? 1.0 : std::strtod(text.c_str(), nullptr);
    }

    std::string randomPageText() {
        switch (uniform(0, 6)) {
            case 0: {
                std::string digits;
                const int n = uniform(1, 3);
                for (int i = 0; i < n; ++i) {
                    digits += static_cast<char>('0' + uniform(0, 9));
                }
                return digits;
            }
            case 1:
                return std::to_string(uniform(2, 5));
            case 2:
                return "1";
            case 3:
                return "";
            case 4:
                return "abc";
            case 5:
                return "2.5";
            default:
                return "1";
        }
    }

    void randomEvent() {
        const Kind kind = pickKind();
        app::Form1& f = form();
        switch (kind) {
            case Kind::Tick: {
                const int wait = uniform(0, 2);
                note(kind, std::to_string(wait));
                f.Timer1.tick();
                rig_.platform.tick();
                rig_.pool.poll(wait);
                break;
            }
            case Kind::Command1: {
                const bool single = f.Command1.enabled() && limitOf(f.Text1.text()) <= 1;
                if (!single && f.Command1.enabled() && f.Command1.caption() == app::kStopCaption &&
                    rig_.application->harvester().inFlight() > 0) {
                    ++stopsWithPagesOnTheWire_;
                }
                note(kind, f.Command1.caption() + " limit \"" + f.Text1.text() + "\"" +
                               (f.Command1.enabled() ? "" : " (disabled)"));
                const std::size_t before = f.List1.listCount();
                const std::uint64_t clearsBefore = clears_;
                if (single) {
                    ++singleDepth_;
                }
                f.Command1.click();
                if (single) {
                    --singleDepth_;
                    if (clears_ == clearsBefore && f.List1.listCount() > before) {
                        ++singlePagesSeen_;
                    }
                }
                break;
            }
            case Kind::TypeText1: {
                if (!f.Text1.enabled()) {
                    break;
                }
                const std::string text = randomPageText();
                note(kind, "\"" + text + "\"");
                f.Text1.setText(text);
                break;
            }
            case Kind::Scroll: {
                const int value = chance(0.9) ? uniform(0, 25) : uniform(0, 32767);
                note(kind, std::to_string(value));
                f.HScroll1.setValue(value);
                break;
            }
            case Kind::Select: {
                const int index = uniform(-1, static_cast<int>(f.List1.listCount()));
                note(kind, std::to_string(index));
                f.List1.setListIndex(index);
                break;
            }
            case Kind::DoubleClick:
                note(kind, f.List1.text());
                runQuery([&] { f.List1.DblClick.raise(); });
                break;
            case Kind::MouseDown: {
                const int button = uniform(1, 2);
                note(kind, std::to_string(button));
                runQuery([&] { f.List1.MouseDown.raise(button, 0, uniform(0, 3000), 10); });
                break;
            }
            case Kind::MenuCopy:
                note(kind);
                f.fz.Click.raise();
                break;
            case Kind::MenuQuery:
                note(kind, f.List1.text());
                runQuery([&] { f.cx.Click.raise(); });
                break;
            case Kind::MenuBook:
                note(kind);
                f.ydym.Click.raise();
                break;
            case Kind::Export:
                exportList();
                break;
            case Kind::ForumLink:
                note(kind);
                f.Command2.click();
                break;
            case Kind::HomeLink:
                note(kind);
                f.Command4.click();
                break;
            case Kind::ExitButton:
            case Kind::CloseRequest: {
                note(kind);
                rig_.platform.messageAnswers.push_back(app::MessageAnswer::Cancel);
                if (kind == Kind::ExitButton) {
                    f.Command3.click();
                } else {
                    f.requestClose();
                }
                if (!rig_.platform.messageAnswers.empty()) {
                    fail("the exit question was not asked");
                    rig_.platform.messageAnswers.clear();
                }
                if (f.ended()) {
                    fail("answering Cancel ended the program");
                }
                break;
            }
            case Kind::Count:
                break;
        }
    }

    // Counts the queries that ran to their end (the status says so).
    template <typename F>
    void runQuery(F raise) {
        raise();
        if (form().status().rfind("查询完毕", 0) == 0) {
            ++queriesDone_;
        }
    }

    void exportList() {
        app::Form1& f = form();
        std::optional<std::string> answer;
        const int pick = uniform(0, 4);
        if (pick <= 2) {
            answer = (dir_.path() / ("list" + std::to_string(pick) + ".txt")).string();
        } else if (pick == 3) {
            answer = (dir_.path() / "missing-folder" / "list.txt").string();
        }
        note(Kind::Export, answer.value_or("(cancel)"));
        auto& platform = rig_.platform;
        const std::size_t dialogs = platform.saveDialogs.size();
        const std::size_t messages = platform.messages.size();
        platform.saveAnswers.push_back(answer);
        f.Command5.click();
        platform.saveAnswers.clear();

        if (f.List1.listCount() == 0) {
            if (platform.saveDialogs.size() != dialogs) {
                fail("export of an empty list opened the save dialog");
            }
            return;
        }
        if (platform.saveDialogs.size() != dialogs + 1) {
            fail("export did not open the save dialog exactly once");
            return;
        }
        if (!answer) {
            if (platform.messages.size() != messages) {
                fail("a cancelled export showed a message");
            }
            return;
        }
        if (platform.messages.size() != messages + 1) {
            fail("export did not report its outcome");
            return;
        }
        const std::string& message = platform.messages.back().prompt;
        if (pick == 3) {
            if (message.rfind("域名保存失败", 0) != 0) {
                fail("export into a missing folder reported: " + message);
            }
            return;
        }
        if (message != "域名保存成功!") {
            fail("export reported: " + message);
            return;
        }
        std::string expected;
        for (const auto& entry : f.List1.items()) {
            expected += entry;
            expected += "\r\n";
        }
        if (readFile(*answer) != expected) {
            fail("exported file differs from the list");
            return;
        }
        ++exportsVerified_;
    }

    // Holds at every moment, also inside a wait.
    void checkAnywhere() {
        app::Form1& f = form();
        if (f.ended()) {
            fail("the program ended");
            return;
        }
        const bool loading = singleDepth_ > 0;
        if (f.Command1.enabled() == loading) {
            fail(loading ? "Command1 is enabled while a single page loads"
                         : "Command1 is disabled while no single page loads");
            return;
        }
        checkList();
    }

    // Holds whenever no handler is mid-way.
    void checkTopLevel() {
        checkAnywhere();
        if (failed_) {
            return;
        }
        app::Form1& f = form();
        const bool stopCaption = f.Command1.caption() == app::kStopCaption;
        if (f.Timer1.enabled() != stopCaption) {
            fail(std::string("Timer1 is ") + (f.Timer1.enabled() ? "running" : "stopped") +
                 " under the caption " + f.Command1.caption());
            return;
        }
        // Without a running batch no listing request is started: what is on the wire belongs
        // to a stopped batch that collects its last pages, and only goes down.
        if (f.Timer1.enabled()) {
            drainInFlight_.reset();
        } else {
            const std::size_t inFlight = rig_.application->harvester().inFlight();
            if (inFlight != 0 && !rig_.application->harvester().draining()) {
                fail("listing requests are on the wire although no batch runs or drains");
                return;
            }
            // A batch started and stopped again inside one event (from a fetch's wait) has
            // emptied the list: its requests are its own.
            if (drainInFlight_ && drainClears_ == clears_ && inFlight > *drainInFlight_) {
                fail("a listing request was started although no batch runs");
                return;
            }
            drainInFlight_ = inFlight;
            drainClears_ = clears_;
        }
        if (rig_.application->queries().busy()) {
            fail("a query is still marked busy after its event ended");
        }
    }

    // Every entry comes from a served page; pages arrive whole, in row order; after the list
    // was last emptied (a batch start), the batch's pages appear in increasing page order.
    // Pages other than 1 come only from the batch: a single-page harvest here always fetches
    // page 1 (or a page without rows).
    void checkList() {
        const auto& items = form().List1.items();
        if (clears_ != seenClears_) {
            seenClears_ = clears_;
            checked_ = 0;
            lastBatchPage_ = 0;
        }
        if (items.size() < checked_) {
            fail("the list shrank without being emptied");
            return;
        }
        maxListSeen_ = std::max(maxListSeen_, static_cast<int>(items.size()));
        while (checked_ < items.size()) {
            const auto it = served_.find(items[checked_]);
            if (it == served_.end()) {
                fail("list entry " + std::to_string(checked_) + " \"" + items[checked_] +
                     "\" was never served");
                return;
            }
            const auto [page, row] = it->second;
            const auto& rows = pageRows_[page];
            if (row != 0 || checked_ + rows.size() > items.size() ||
                !std::equal(rows.begin(), rows.end(),
                            items.begin() + static_cast<std::ptrdiff_t>(checked_))) {
                fail("list entry " + std::to_string(checked_) + " does not start page " +
                     std::to_string(page) + " whole and in row order");
                return;
            }
            if (page != 1) {
                if (page <= lastBatchPage_) {
                    fail("batch page " + std::to_string(page) + " appended after page " +
                         std::to_string(lastBatchPage_));
                    return;
                }
                lastBatchPage_ = page;
                ++batchPagesSeen_;
            }
            checked_ += rows.size();
        }
    }

    unsigned seed_;
    std::mt19937 rng_;
    TempDir dir_;
    HarvestRig rig_;
    std::map<int, std::vector<std::string>> pageRows_;
    std::map<std::string, std::pair<int, std::size_t>> served_;

    int event_ = 0;
    int nesting_ = 0;
    int singleDepth_ = 0;
    bool failed_ = false;
    std::deque<std::string> trail_;
    std::array<int, static_cast<std::size_t>(Kind::Count)> counts_{};

    std::uint64_t clears_ = 0;
    std::uint64_t seenClears_ = 0;
    std::size_t checked_ = 0;
    int lastBatchPage_ = 0;

    int nestedEvents_ = 0;
    int batchPagesSeen_ = 0;
    int singlePagesSeen_ = 0;
    int exportsVerified_ = 0;
    int queriesDone_ = 0;
    int maxListSeen_ = 0;
    int stopsWithPagesOnTheWire_ = 0;
    // Listing requests on the wire when last looked at while no batch ran.
    std::optional<std::size_t> drainInFlight_;
    std::uint64_t drainClears_ = 0;
    app::Connection clearsCount_;
};

TEST(EventStorm, TenThousandRandomEventsKeepTheWindowConsistent) {
    const unsigned seed = stormSeed();
    std::printf("event storm seed: %u (repeat with JILAN_STORM_SEED=%u)\n", seed, seed);
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));

    const Watchdog watchdog(std::chrono::seconds(120), "the event storm");
    Storm storm(seed);
    storm.run(kEvents);
    std::printf("%s\n", storm.summary().c_str());
    ASSERT_FALSE(storm.failed());

    // The storm reached the states it is meant to shake: otherwise the invariants above
    // held trivially.
    for (std::size_t k = 0; k < static_cast<std::size_t>(Kind::Count); ++k) {
        EXPECT_GT(storm.count(static_cast<Kind>(k)), 0) << kKindNames[k];
    }
    EXPECT_GT(storm.nestedEvents(), 0);
    EXPECT_GT(storm.batchPagesSeen(), 0);
    EXPECT_GT(storm.singlePagesSeen(), 0);
    EXPECT_GT(storm.exportsVerified(), 0);
    EXPECT_GT(storm.queriesDone(), 0);
    EXPECT_GT(storm.stopsWithPagesOnTheWire(), 0);
}

}  // namespace
}  // namespace jilan::testing
