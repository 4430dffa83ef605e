// Exit anywhere: the exit question answered Yes or No while a fetch waits ends the program at
// once. The waiting fetch gives up promptly, and nothing the interrupted handler would still
// have done happens: no status, label, list or work-array change, no further request.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "harvest_rig.h"

namespace jilan::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Far beyond anything a prompt close takes; the waits below would otherwise last until this.
constexpr long kTotalTimeoutMs = 20'000;
// A late answer arrives this long after its request.
constexpr int kLateMs = 2'500;
// The close must release the wait well before the late answer or any time-out.
constexpr milliseconds kPrompt{1'000};

net::HttpLimits exitLimits() {
    net::HttpLimits limits;
    limits.connectTimeoutMs = 2'000;
    limits.totalTimeoutMs = kTotalTimeoutMs;
    limits.lowSpeedSeconds = 20;
    return limits;
}

// Everything a handler could still change after the close.
struct Snapshot {
    std::string status;
    std::vector<std::string> labels;
    std::string text1;
    std::string text2;
    std::vector<std::string> list;
    int listIndex = -1;
    std::vector<std::string> sj;
    std::string caption;
    bool command1Enabled = true;
    std::int16_t ys = 0;

    static Snapshot of(const app::Form1& f) {
        Snapshot s;
        s.status = f.status();
        for (const app::Label* l :
             {&f.Label1, &f.Label2, &f.Label3, &f.Label4, &f.Label5, &f.Label6, &f.Label7,
              &f.Label8, &f.Label9, &f.Label10, &f.Label11, &f.Label12, &f.Label13}) {
            s.labels.push_back(l->caption());
        }
        s.text1 = f.Text1.text();
        s.text2 = f.Text2.text();
        s.list = f.List1.items();
        s.listIndex = f.List1.listIndex();
        for (std::size_t i = 0; i < app::WorkArray::kSize; ++i) {
            s.sj.push_back(f.sj.at(i));
        }
        s.caption = f.Command1.caption();
        s.command1Enabled = f.Command1.enabled();
        s.ys = f.ys;
        return s;
    }
};

void expectSame(const Snapshot& before, const Snapshot& after) {
    EXPECT_EQ(after.status, before.status);
    EXPECT_EQ(after.labels, before.labels);
    EXPECT_EQ(after.text1, before.text1);
    EXPECT_EQ(after.text2, before.text2);
    EXPECT_EQ(after.list, before.list);
    EXPECT_EQ(after.listIndex, before.listIndex);
    EXPECT_EQ(after.sj, before.sj);
    EXPECT_EQ(after.caption, before.caption);
    EXPECT_EQ(after.command1Enabled, before.command1Enabled);
    EXPECT_EQ(after.ys, before.ys);
}

bool anyRequestTo(const sim::MarketSim& sim, const std::string& prefix) {
    for (const auto& r : sim.requests()) {
        if (r.target.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// A situation in which a handler waits for the network with the window's events running.
struct Situation {
    const char* name;
    std::function<void(sim::Options&)> configure;
    // Brings the program to the moment before the user's action.
    std::function<void(HarvestRig&)> prepare;
    // The user's action whose wait is interrupted by the close.
    std::function<void(HarvestRig&)> act;
    // The request that is waiting at the server when the close is asked for.
    std::string waitingFor;
    // Whether the waiting request is answered later (else it never is).
    bool answersLate;
};

void selectFirstDomain(HarvestRig& rig) {
    rig.form.List1.addItem(sim::domainFor(1, 1));
    rig.form.List1.setListIndex(0);
}

// A batch of three pages whose second page is slow: runs the clock until pages 1 and 3 have
// arrived, page 1 is in the list and page 3 waits behind page 2.
void batchWaitingForPageTwo(HarvestRig& rig) {
    rig.press("3");
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        rig.pool.poll(1);
        rig.form.Timer1.tick();
        if (rig.sim.requests().size() == 3 && rig.application->harvester().inFlight() == 1 &&
            rig.form.List1.listCount() == rig.expectedPages(1, 1).size()) {
            return;
        }
    }
    ADD_FAILURE() << "the batch did not reach page 2's wait";
}

// The stop returns at once; the event loop then goes on with window events and the drain's
// ticker, which collects the pages still on the wire.
void stopThenRunTheEventLoop(HarvestRig& rig) {
    rig.form.Command1.click();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (rig.platform.ticker && !rig.form.ended() && Clock::now() < deadline) {
        rig.pool.poll(5);
        rig.platform.processEvents();
        if (rig.form.ended()) {
            break;
        }
        rig.platform.tick();
    }
}

const std::vector<Situation>& situations() {
    static const std::vector<Situation> all = {
        {"SinglePageNeverAnswered",
         [](sim::Options& o) {
             o.pageFaults = {{1, sim::Fault::NeverAnswer}};
         },
         [](HarvestRig&) {}, [](HarvestRig& rig) { rig.press("1"); }, "/search?p=1", false},
        {"SinglePageAnsweredLate",
         [](sim::Options& o) {
             o.pageLatencyMs = {{1, kLateMs}};
         },
         [](HarvestRig&) {}, [](HarvestRig& rig) { rig.press("1"); }, "/search?p=1", true},
        {"BatchDrainAfterStopNeverAnswered",
         [](sim::Options& o) {
             o.pageFaults = {{2, sim::Fault::NeverAnswer}};
         },
         batchWaitingForPageTwo, stopThenRunTheEventLoop, "/search?p=2", false},
        {"BatchDrainAfterStopAnsweredLate",
         [](sim::Options& o) {
             o.pageLatencyMs = {{2, kLateMs}};
         },
         batchWaitingForPageTwo, stopThenRunTheEventLoop, "/search?p=2", true},
        {"DoubleClickLookupNeverAnswered",
         [](sim::Options& o) { o.icpFault = sim::Fault::NeverAnswer; }, selectFirstDomain,
         [](HarvestRig& rig) { rig.form.List1.DblClick.raise(); }, "/icp/", false},
        {"DoubleClickLookupTrickles", [](sim::Options& o) { o.icpFault = sim::Fault::Trickle; },
         selectFirstDomain, [](HarvestRig& rig) { rig.form.List1.DblClick.raise(); }, "/icp/",
         true},
        {"MenuQueryLookupNeverAnswered",
         [](sim::Options& o) { o.icpFault = sim::Fault::NeverAnswer; },
         [](HarvestRig& rig) {
             selectFirstDomain(rig);
             rig.platform.onPopup = [&rig](app::Menu&) { rig.form.cx.Click.raise(); };
         },
         [](HarvestRig& rig) {
             rig.form.List1.MouseDown.raise(static_cast<int>(app::MouseButton::Right), 0, 100, 100);
         },
         "/icp/", false},
        {"MenuQueryLookupAnsweredLate",
         // Every route is slow here: the detail fetch blocks first, then the lookup waits.
         [](sim::Options& o) { o.latencyMs = kLateMs / 2; },
         [](HarvestRig& rig) {
             selectFirstDomain(rig);
             rig.platform.onPopup = [&rig](app::Menu&) { rig.form.cx.Click.raise(); };
         },
         [](HarvestRig& rig) {
             rig.form.List1.MouseDown.raise(static_cast<int>(app::MouseButton::Right), 0, 100, 100);
         },
         "/icp/", true},
    };
    return all;
}

struct ExitCase {
    std::size_t situation;
    app::MessageAnswer answer;
};

std::string caseName(const ExitCase& c) {
    return std::string(situations()[c.situation].name) +
           (c.answer == app::MessageAnswer::Yes ? "_Yes" : "_No");
}

// Names the case in test listings instead of dumping the struct's bytes.
void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << caseName(c);
}

class ExitAnywhere : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitAnywhere, EndsAtOnceAndNothingHappensAfterwards) {
    const Situation& s = situations()[GetParam().situation];
    const app::MessageAnswer answer = GetParam().answer;

    sim::Options o;
    o.pages = 5;
    s.configure(o);
    HarvestRig rig(o, harvest::HarvestOptions{4, 2, 50}, exitLimits());
    s.prepare(rig);
    ASSERT_FALSE(rig.form.ended());

    // The window's event rounds during the wait: once the request waits at the server, the
    // user closes the window and answers the question.
    bool closed = false;
    bool endedAtOnce = false;
    int endCallsAtClose = 0;
    Clock::time_point closedAt;
    Snapshot beforeClose;
    std::size_t requestsAtClose = 0;
    rig.platform.onProcessEvents = [&] {
        ASSERT_FALSE(closed) << "an event round ran after the program ended";
        rig.form.Timer1.tick();
        if (rig.sim.inFlight() == 0 || !anyRequestTo(rig.sim, s.waitingFor)) {
            return;
        }
        beforeClose = Snapshot::of(rig.form);
        requestsAtClose = rig.sim.requests().size();
        rig.platform.messageAnswers.push_back(answer);
        closed = true;
        closedAt = Clock::now();
        rig.form.requestClose();
        endedAtOnce = rig.form.ended();
        endCallsAtClose = rig.platform.endCalls;
    };

    s.act(rig);
    const auto released = Clock::now() - closedAt;

    ASSERT_TRUE(closed) << "the wait ended before the close was asked for";
    EXPECT_TRUE(endedAtOnce);
    EXPECT_EQ(endCallsAtClose, 1);
    EXPECT_LT(released, kPrompt) << "the waiting fetch was not released promptly";
    EXPECT_TRUE(rig.platform.messageAnswers.empty()) << "the exit question was not asked";
    ASSERT_EQ(rig.platform.messages.size(), 1u);
    EXPECT_EQ(rig.platform.messages[0].buttons, app::MessageButtons::YesNoCancel);

    const Snapshot afterRelease = Snapshot::of(rig.form);
    {
        SCOPED_TRACE("when the wait returned");
        expectSame(beforeClose, afterRelease);
    }
    EXPECT_FALSE(rig.form.Timer1.enabled());

    // The late answer arrives (or nothing does); the clock and the user's hands go on; the
    // ended program does nothing with any of it.
    const auto deadline = Clock::now() + milliseconds(kLateMs * 3);
    for (int round = 0; Clock::now() < deadline; ++round) {
        rig.pool.poll(5);
        rig.form.Timer1.tick();
        rig.platform.tick();
        if (s.answersLate ? rig.sim.inFlight() == 0 : round >= 40) {
            break;
        }
    }
    if (s.answersLate) {
        EXPECT_EQ(rig.sim.inFlight(), 0) << "the late answer never came";
    }
    rig.form.Command1.click();
    rig.form.Text1.setText("abc");
    rig.form.HScroll1.setValue(7);
    rig.form.List1.DblClick.raise();
    rig.form.cx.Click.raise();
    rig.form.Command5.click();
    rig.form.Command2.click();
    rig.form.requestClose();
    rig.pool.poll(5);

    const Snapshot afterAll = Snapshot::of(rig.form);
    {
        SCOPED_TRACE("after later events");
        Snapshot expected = beforeClose;
        // Typing and scrolling change the controls themselves; no handler reacts any more
        // (a running program would have turned "abc" into "1").
        expected.text1 = "abc";
        expectSame(expected, afterAll);
    }
    EXPECT_EQ(rig.form.HScroll1.value(), 7);
    EXPECT_EQ(rig.sim.requests().size(), requestsAtClose) << "a request reached the server";
    EXPECT_EQ(rig.platform.endCalls, 1);
    EXPECT_EQ(rig.platform.messages.size(), 1u) << "the exit question came again";
    EXPECT_TRUE(rig.platform.saveDialogs.empty());

    const std::vector<std::string> expectedUrls =
        answer == app::MessageAnswer::Yes
            ? std::vector<std::string>{HarvestRig::urlsFor(rig.sim.baseUrl()).forum}
            : std::vector<std::string>{};
    EXPECT_EQ(rig.platform.openedUrls, expectedUrls);
}

std::vector<ExitCase> allCases() {
    std::vector<ExitCase> cases;
    for (std::size_t i = 0; i < situations().size(); ++i) {
        for (const auto answer : {app::MessageAnswer::Yes, app::MessageAnswer::No}) {
            cases.push_back({i, answer});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(SituationsAndAnswers, ExitAnywhere, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<ExitCase>& info) {
                             return std::string(situations()[info.param.situation].name) +
                                    (info.param.answer == app::MessageAnswer::Yes ? "_Yes" : "_No");
                         });

}  // namespace
}  // namespace jilan::testing
